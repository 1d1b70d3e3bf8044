// Thumbnails follow their files in the user's thumbnail cache, or through the
// cache service of the session bus when one runs.
#include "platform/services/kivel-thumbnail.h"
#include "support/ui-test.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gio/gio.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace
{

using ulvo_test::path_exists;
using ulvo_test::pump_until;

const char *const kFolders[] = {"normal", "large", "x-large", "xx-large", "fail/some-program"};

std::string cache_folder(const std::string &name)
{
    return std::string(g_get_user_cache_dir()) + "/thumbnails/" + name;
}

void make_cache_folders()
{
    for (const char *name : kFolders)
        ASSERT_EQ(g_mkdir_with_parents(cache_folder(name).c_str(), 0700), 0);
}

std::string thumb_path(const std::string &folder, const std::string &uri)
{
    gchar *md5 = g_compute_checksum_for_string(G_CHECKSUM_MD5, uri.c_str(), -1);
    std::string path = cache_folder(folder) + "/" + md5 + ".png";
    g_free(md5);
    return path;
}

// A real file in the home folder; its URI as the cache's writers spell it.
std::string real_file(const std::string &name)
{
    std::string path = ulvo_test::test_home() + "/MyDocs/" + name;
    ulvo_test::write_file(path, "picture");
    return ulvo_test::file_uri(path);
}

// Writes the thumbnail of `uri` in `folder` with `stored_uri` as its
// Thumb::URI (that of `uri` when empty).
void write_thumb(const std::string &folder, const std::string &uri,
                 const std::string &stored_uri = "", int mode = 0600)
{
    GdkPixbuf *pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 16, 16);
    gdk_pixbuf_fill(pixbuf, 0x3366ccff);
    std::string path = thumb_path(folder, uri);
    GError *error = nullptr;
    gboolean saved =
        gdk_pixbuf_save(pixbuf, path.c_str(), "png", &error, "tEXt::Thumb::URI",
                        (stored_uri.empty() ? uri : stored_uri).c_str(), "tEXt::Thumb::MTime",
                        "1234567890", "tEXt::Software", "thumbnail-test", nullptr);
    g_object_unref(pixbuf);
    ASSERT_TRUE(saved) << (error ? error->message : "");
    g_chmod(path.c_str(), mode);
}

// A text key of the PNG at `path` as a decoder sees it; "" when it does not
// decode.
std::string thumb_key(const std::string &path, const char *key)
{
    GdkPixbuf *pixbuf = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
    if (!pixbuf)
        return "";
    const gchar *value = gdk_pixbuf_get_option(pixbuf, (std::string("tEXt::") + key).c_str());
    std::string text = value ? value : "";
    g_object_unref(pixbuf);
    return text;
}

std::string file_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

int mode_of(const std::string &path)
{
    struct stat st {
    };
    return g_stat(path.c_str(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

bool all_exist(const std::string &uri, bool wanted = true)
{
    for (const char *folder : kFolders)
        if (path_exists(thumb_path(folder, uri)) != wanted)
            return false;
    return true;
}

// Jobs run in order: once a later removal is seen, the earlier calls are done.
void wait_for_earlier_calls(const std::string &folder)
{
    static int n = 0;
    std::string sentinel = "file:///sentinel-" + std::to_string(++n);
    write_thumb(folder, sentinel);
    kivel_thumbnail_factory_remove(sentinel.c_str());
    ASSERT_TRUE(pump_until([&] { return !path_exists(thumb_path(folder, sentinel)); }));
}

TEST(Thumbnails, CopyThenMoveCarryEverySizeWithTheNewUriAndMode)
{
    make_cache_folders();
    std::string a = real_file("a.jpg"), b = real_file("b.jpg"), c = real_file("c.jpg");
    for (const char *folder : kFolders)
        write_thumb(folder, a, "", 0644);

    kivel_thumbnail_factory_copy(a.c_str(), b.c_str());
    ASSERT_TRUE(pump_until([&] { return all_exist(b); }));
    for (const char *folder : kFolders) {
        std::string copied = thumb_path(folder, b);
        EXPECT_EQ(thumb_key(copied, "Thumb::URI"), b) << folder;
        EXPECT_EQ(thumb_key(copied, "Thumb::MTime"), "1234567890") << folder;
        EXPECT_EQ(thumb_key(copied, "Software"), "thumbnail-test") << folder;
        EXPECT_EQ(mode_of(copied), 0600) << folder;
        EXPECT_EQ(mode_of(cache_folder(folder)), 0700) << folder;
        EXPECT_EQ(thumb_key(thumb_path(folder, a), "Thumb::URI"), a) << folder;
    }

    kivel_thumbnail_factory_move(b.c_str(), c.c_str());
    ASSERT_TRUE(pump_until([&] { return all_exist(c) && all_exist(b, false); }));
    for (const char *folder : kFolders) {
        EXPECT_EQ(thumb_key(thumb_path(folder, c), "Thumb::URI"), c) << folder;
        EXPECT_EQ(thumb_key(thumb_path(folder, c), "Thumb::MTime"), "1234567890") << folder;
    }
    EXPECT_TRUE(all_exist(a));
}

TEST(Thumbnails, TheFilesOfAMovedOrCopiedFolderKeepTheirThumbnails)
{
    make_cache_folders();
    std::string docs = ulvo_test::test_home() + "/MyDocs/";
    std::string p1 = real_file("album/p1.jpg"), p2 = real_file("album/trip/p 2.jpg");
    write_thumb("normal", p1);
    write_thumb("large", p2);
    ASSERT_EQ(g_rename((docs + "album").c_str(), (docs + "moved album").c_str()), 0);
    std::string moved = ulvo_test::file_uri(docs + "moved album");
    std::string moved_p1 = moved + "/p1.jpg", moved_p2 = moved + "/trip/p%202.jpg";

    kivel_thumbnail_factory_move(ulvo_test::file_uri(docs + "album").c_str(), moved.c_str());
    ASSERT_TRUE(pump_until([&] {
        return path_exists(thumb_path("normal", moved_p1)) &&
               path_exists(thumb_path("large", moved_p2)) &&
               !path_exists(thumb_path("normal", p1)) && !path_exists(thumb_path("large", p2));
    }));
    EXPECT_EQ(thumb_key(thumb_path("large", moved_p2), "Thumb::URI"), moved_p2);

    ASSERT_EQ(system(("cp -r '" + docs + "moved album' '" + docs + "copy'").c_str()), 0);
    std::string copy_p2 = ulvo_test::file_uri(docs + "copy/trip/p 2.jpg");
    kivel_thumbnail_factory_copy(moved.c_str(), ulvo_test::file_uri(docs + "copy").c_str());
    ASSERT_TRUE(pump_until([&] { return path_exists(thumb_path("large", copy_p2)); }));
    EXPECT_EQ(thumb_key(thumb_path("large", copy_p2), "Thumb::URI"), copy_p2);
    EXPECT_TRUE(path_exists(thumb_path("large", moved_p2)));
}

TEST(Thumbnails, OnlyTheFilesOwnThumbnailsAreTouched)
{
    make_cache_folders();
    std::string a = real_file("a.jpg"), other = real_file("other.jpg");
    for (const char *folder : kFolders)
        write_thumb(folder, a, folder == std::string("large") ? other : "");
    std::string foreign = file_bytes(thumb_path("large", a));

    kivel_thumbnail_factory_remove(a.c_str());
    ASSERT_TRUE(pump_until([&] {
        return !path_exists(thumb_path("normal", a)) && !path_exists(thumb_path("x-large", a)) &&
               !path_exists(thumb_path("xx-large", a)) &&
               !path_exists(thumb_path("fail/some-program", a));
    }));
    wait_for_earlier_calls("normal");
    EXPECT_EQ(file_bytes(thumb_path("large", a)), foreign);

    // A thumbnail of another file is neither moved nor copied.
    std::string b = real_file("b.jpg");
    kivel_thumbnail_factory_move(a.c_str(), b.c_str());
    kivel_thumbnail_factory_copy(a.c_str(), b.c_str());
    wait_for_earlier_calls("normal");
    EXPECT_EQ(file_bytes(thumb_path("large", a)), foreign);
    EXPECT_FALSE(path_exists(thumb_path("large", b)));

    // Moving a file onto another spelling of its own URI keeps its thumbnail.
    write_thumb("normal", b);
    std::string b_spelled = "file://" + ulvo_test::test_home() + "/MyDocs/./b%2Ejpg";
    kivel_thumbnail_factory_move(b.c_str(), b_spelled.c_str());
    wait_for_earlier_calls("normal");
    EXPECT_EQ(thumb_key(thumb_path("normal", b), "Thumb::URI"), b);
}

TEST(Thumbnails, DamagedOrStrangeThumbnailsAreNotCopiedAndStaleOnesGo)
{
    make_cache_folders();
    std::string a = real_file("a.jpg"), b = real_file("b.jpg");
    for (const char *folder : {"normal", "x-large"})
        write_thumb(folder, a);
    // One flipped byte in the image data: its checksum no longer holds.
    std::string damaged = file_bytes(thumb_path("normal", a));
    damaged[damaged.find("IDAT") + 6] ^= 0x55;
    ulvo_test::write_file(thumb_path("normal", a), damaged);
    ASSERT_EQ(mkfifo(thumb_path("large", a).c_str(), 0600), 0);
    // The copy's former thumbnail shows what it held before.
    write_thumb("xx-large", b);

    kivel_thumbnail_factory_copy(a.c_str(), b.c_str());
    ASSERT_TRUE(pump_until([&] { return path_exists(thumb_path("x-large", b)); }));
    wait_for_earlier_calls("x-large");
    EXPECT_EQ(thumb_key(thumb_path("x-large", b), "Thumb::URI"), b);
    EXPECT_FALSE(path_exists(thumb_path("normal", b)));
    EXPECT_FALSE(path_exists(thumb_path("large", b)));
    EXPECT_FALSE(path_exists(thumb_path("xx-large", b)));
    EXPECT_EQ(file_bytes(thumb_path("normal", a)), damaged);
}

TEST(Thumbnails, MissingCacheFoldersAreNoError)
{
    std::string a = real_file("a.jpg"), b = real_file("b.jpg");
    kivel_thumbnail_factory_copy(a.c_str(), b.c_str());
    kivel_thumbnail_factory_move(a.c_str(), b.c_str());
    kivel_thumbnail_factory_remove(a.c_str());

    // Other files, as those calls may still be waiting their turn.
    std::string c = real_file("c.jpg"), d = real_file("d.jpg");
    ASSERT_EQ(g_mkdir_with_parents(cache_folder("large").c_str(), 0700), 0);
    write_thumb("large", c);
    kivel_thumbnail_factory_copy(c.c_str(), d.c_str());
    ASSERT_TRUE(pump_until([&] { return path_exists(thumb_path("large", d)); }));
    EXPECT_FALSE(path_exists(cache_folder("normal")));
    EXPECT_FALSE(path_exists(cache_folder("fail")));
}

// "%c3%a9" where GIO writes "%C3%A9".
std::string lower_escapes(std::string uri)
{
    for (size_t i = uri.find('%'); i != std::string::npos; i = uri.find('%', i + 1))
        for (size_t k = i + 1; k <= i + 2 && k < uri.size(); k++)
            uri[k] = g_ascii_tolower(uri[k]);
    return uri;
}

TEST(Thumbnails, NamesWithSpacesAndLettersBeyondAsciiInAnySpelling)
{
    make_cache_folders();
    std::string folder = ulvo_test::test_home() + "/MyDocs/";
    std::string source = real_file("my photo é.jpg");
    std::string target = real_file("Ünï cödé.jpg");
    ASSERT_NE(source.find("%20"), std::string::npos);
    write_thumb("normal", source);

    // Unescaped on the one side, escaped in lower case on the other.
    std::string raw_source = "file://" + folder + "my photo é.jpg";
    kivel_thumbnail_factory_move(raw_source.c_str(), lower_escapes(target).c_str());
    ASSERT_TRUE(pump_until([&] { return path_exists(thumb_path("normal", target)); }));
    EXPECT_EQ(thumb_key(thumb_path("normal", target), "Thumb::URI"), target);
    EXPECT_FALSE(path_exists(thumb_path("normal", source)));

    // A plain path names the file too.
    kivel_thumbnail_factory_remove((folder + "Ünï cödé.jpg").c_str());
    EXPECT_TRUE(pump_until([&] { return !path_exists(thumb_path("normal", target)); }));
}

TEST(Thumbnails, CallsFromWorkerThreads)
{
    make_cache_folders();
    std::vector<std::string> sources, targets;
    for (int i = 0; i < 12; i++) {
        sources.push_back(real_file("s" + std::to_string(i) + ".jpg"));
        targets.push_back(real_file("t" + std::to_string(i) + ".jpg"));
        write_thumb("normal", sources.back());
    }
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; w++)
        workers.emplace_back([&, w] {
            for (int i = w; i < 12; i += 3)
                kivel_thumbnail_factory_move(sources[i].c_str(), targets[i].c_str());
        });
    for (std::thread &worker : workers)
        worker.join();
    ASSERT_TRUE(pump_until([&] {
        for (int i = 0; i < 12; i++)
            if (path_exists(thumb_path("normal", sources[i])) ||
                !path_exists(thumb_path("normal", targets[i])))
                return false;
        return true;
    }));
    for (int i = 0; i < 12; i++)
        EXPECT_EQ(thumb_key(thumb_path("normal", targets[i]), "Thumb::URI"), targets[i]);
}

// A stand-in for the thumbnail cache service on the private session bus.
class FakeCacheService
{
  public:
    FakeCacheService()
    {
        GError *error = nullptr;
        bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        EXPECT_NE(bus_, nullptr) << (error ? error->message : "");
        g_clear_error(&error);
        if (!bus_)
            return;
        GDBusNodeInfo *node = g_dbus_node_info_new_for_xml(kInterface, nullptr);
        static const GDBusInterfaceVTable vtable = {
            &FakeCacheService::on_call, nullptr, nullptr, {}};
        registration_ =
            g_dbus_connection_register_object(bus_, "/org/freedesktop/thumbnails/Cache1",
                                              node->interfaces[0], &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        GVariant *reply = g_dbus_connection_call_sync(
            bus_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.freedesktop.thumbnails.Cache1", 4u),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        guint result = 0;
        if (reply) {
            g_variant_get(reply, "(u)", &result);
            g_variant_unref(reply);
        }
        EXPECT_EQ(result, 1u) << "the name is not ours";
    }
    ~FakeCacheService()
    {
        if (bus_) {
            g_dbus_connection_unregister_object(bus_, registration_);
            g_object_unref(bus_);
        }
    }

    std::vector<std::string> calls;
    bool fail = false;

  private:
    static constexpr const char *kInterface =
        "<node><interface name='org.freedesktop.thumbnails.Cache1'>"
        "<method name='Move'><arg type='as' direction='in'/><arg type='as' direction='in'/>"
        "</method>"
        "<method name='Copy'><arg type='as' direction='in'/><arg type='as' direction='in'/>"
        "</method>"
        "<method name='Delete'><arg type='as' direction='in'/></method>"
        "</interface></node>";

    static void on_call(GDBusConnection *, const gchar *, const gchar *, const gchar *,
                        const gchar *method, GVariant *parameters,
                        GDBusMethodInvocation *invocation, gpointer self)
    {
        auto *service = static_cast<FakeCacheService *>(self);
        gchar *args = g_variant_print(parameters, FALSE);
        service->calls.push_back(std::string(method) + args);
        g_free(args);
        if (service->fail)
            g_dbus_method_invocation_return_dbus_error(
                invocation, "org.freedesktop.thumbnails.Cache1.Error.Failed", "no room");
        else
            g_dbus_method_invocation_return_value(invocation, nullptr);
    }

    GDBusConnection *bus_ = nullptr;
    guint registration_ = 0;
};

TEST(Thumbnails, TheCacheServiceGetsTheCallsAndAFailedCallFallsBack)
{
    make_cache_folders();
    FakeCacheService service;
    std::string a = real_file("a b.jpg"), b = real_file("b.jpg"), c = real_file("c.jpg");
    write_thumb("normal", a);
    std::string before = file_bytes(thumb_path("normal", a));

    std::string raw_a = "file://" + ulvo_test::test_home() + "/MyDocs/a b.jpg";
    kivel_thumbnail_factory_copy(raw_a.c_str(), b.c_str());
    kivel_thumbnail_factory_move(b.c_str(), c.c_str());
    kivel_thumbnail_factory_remove(c.c_str());
    ASSERT_TRUE(pump_until([&] { return service.calls.size() == 3; }));
    EXPECT_EQ(service.calls[0], "Copy(['" + a + "'], ['" + b + "'])");
    EXPECT_EQ(service.calls[1], "Move(['" + b + "'], ['" + c + "'])");
    EXPECT_EQ(service.calls[2], "Delete(['" + c + "'],)");
    EXPECT_EQ(file_bytes(thumb_path("normal", a)), before);
    EXPECT_FALSE(path_exists(thumb_path("normal", b)));
    EXPECT_FALSE(path_exists(thumb_path("normal", c)));

    service.fail = true;
    kivel_thumbnail_factory_move(a.c_str(), b.c_str());
    ASSERT_TRUE(pump_until([&] { return path_exists(thumb_path("normal", b)); }));
    EXPECT_EQ(service.calls.size(), 4u);
    EXPECT_EQ(thumb_key(thumb_path("normal", b), "Thumb::URI"), b);
    EXPECT_TRUE(pump_until([&] { return !path_exists(thumb_path("normal", a)); }));
}

} // namespace

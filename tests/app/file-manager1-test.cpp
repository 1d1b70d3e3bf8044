// Other desktop programs' "show in folder", through the command-line D-Bus
// tool as they would call it.
#include "app/file-manager1.h"
#include "browser-fixture.h"
#include "model/paths.h"
#include "support/fake-bus-service.h"

#include <vector>

using namespace browser_test;

namespace
{

struct ToolResult {
    bool ok = false;
    std::string error;
};

// Runs `gdbus call` on the interface without blocking the window's loop.
ToolResult call_file_manager(const char *method, const std::string &uri_array)
{
    std::string full = std::string(ULVO_FM_FILE_MANAGER1_NAME) + "." + method;
    GError *error = nullptr;
    GSubprocess *tool = g_subprocess_new(
        GSubprocessFlags(G_SUBPROCESS_FLAGS_STDOUT_SILENCE | G_SUBPROCESS_FLAGS_STDERR_PIPE),
        &error, "gdbus", "call", "--session", "--dest", ULVO_FM_FILE_MANAGER1_NAME, "--object-path",
        ULVO_FM_FILE_MANAGER1_PATH, "--method", full.c_str(), uri_array.c_str(), "", nullptr);
    ToolResult result;
    if (!tool) {
        result.error = error->message;
        g_error_free(error);
        return result;
    }
    bool done = false;
    gchar *err_text = nullptr;
    struct Wait {
        bool *done;
        gchar **err;
    } wait{&done, &err_text};
    g_subprocess_communicate_utf8_async(
        tool, nullptr, nullptr,
        [](GObject *source, GAsyncResult *res, gpointer data) {
            auto *w = static_cast<Wait *>(data);
            g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), res, nullptr, w->err,
                                                 nullptr);
            *w->done = true;
        },
        &wait);
    ulvo_test::pump_until([&] { return done; }, 20000);
    result.ok = done && g_subprocess_get_successful(tool);
    result.error = err_text ? err_text : "";
    g_free(err_text);
    g_object_unref(tool);
    return result;
}

std::vector<std::string> selected(UlvoFmBrowser *browser)
{
    std::vector<std::string> out;
    GSList *uris = kivel_file_selection_get_selected_uris(file_selection_of(browser));
    for (GSList *l = uris; l; l = l->next)
        out.push_back(static_cast<const char *>(l->data));
    ulvo_fm_free_texturi_list(uris);
    return out;
}

std::string name_owner(const char *name)
{
    GDBusConnection *c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GVariant *reply = g_dbus_connection_call_sync(
        c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "GetNameOwner",
        g_variant_new("(s)", name), G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
        nullptr);
    g_object_unref(c);
    if (!reply)
        return "";
    const gchar *owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    std::string out = owner;
    g_variant_unref(reply);
    return out;
}

} // namespace

TEST(FileManager1, ShowItemsOpensTheFolderWithTheItemsSelected)
{
    std::string folder = docs_dir() + "/Shared/Inbox";
    ulvo_test::make_dir(folder);
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        ulvo_test::write_file(folder + "/" + name, "x");
    ulvo_test::make_dir(docs_dir() + "/Other");
    ulvo_test::write_file(docs_dir() + "/Other/d.txt");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    ASSERT_TRUE(
        ulvo_test::pump_until([] { return !name_owner(ULVO_FM_FILE_MANAGER1_NAME).empty(); }));

    std::string a = file_uri(folder + "/a.txt"), c = file_uri(folder + "/c.txt");
    std::string d = file_uri(docs_dir() + "/Other/d.txt");
    ToolResult shown = call_file_manager("ShowItems", "['" + c + "','" + a + "','" + d + "']");
    ASSERT_TRUE(shown.ok) << shown.error;
    EXPECT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == file_uri(folder); }));
    // Items of another folder than the first one's are left out.
    EXPECT_TRUE(ulvo_test::pump_until([&] {
        return selected(browser) == std::vector<std::string>{a, c};
    }));

    // Bad requests are answered with an error and change nothing.
    for (const std::string &bad : {std::string("['not a uri']"), std::string("@as []"),
                                   "['" + file_uri(folder + "/gone.txt") + "']"}) {
        ToolResult refused = call_file_manager("ShowItems", bad);
        EXPECT_FALSE(refused.ok) << bad;
        EXPECT_NE(refused.error.find("Error"), std::string::npos) << refused.error;
    }
    EXPECT_EQ(current_folder(browser), file_uri(folder));

    ToolResult folders =
        call_file_manager("ShowFolders", "['" + file_uri(docs_dir() + "/Other") + "']");
    ASSERT_TRUE(folders.ok) << folders.error;
    EXPECT_TRUE(ulvo_test::pump_until(
        [&] { return current_folder(browser) == file_uri(docs_dir() + "/Other"); }));
}

TEST(FileManager1, TheNameIsNotTakenFromAnotherOwner)
{
    std::string other;
    {
        ulvo_test::FakeBusService holder({ULVO_FM_FILE_MANAGER1_NAME});
        ASSERT_TRUE(holder.owns_all());
        other = name_owner(ULVO_FM_FILE_MANAGER1_NAME);
        UlvoFmBrowser *browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        // Once the window's request has reached the bus it waits in the queue.
        GDBusConnection *c = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        EXPECT_TRUE(ulvo_test::pump_until([&] {
            GVariant *reply = g_dbus_connection_call_sync(
                c, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "ListQueuedOwners", g_variant_new("(s)", ULVO_FM_FILE_MANAGER1_NAME),
                G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            if (!reply)
                return false;
            GVariant *owners = g_variant_get_child_value(reply, 0);
            gsize queued = g_variant_n_children(owners);
            g_variant_unref(owners);
            g_variant_unref(reply);
            return queued == 2;
        }));
        g_object_unref(c);
        EXPECT_EQ(name_owner(ULVO_FM_FILE_MANAGER1_NAME), other);
    }
    // Free again: the window serves it.
    EXPECT_TRUE(ulvo_test::pump_until([&] {
        std::string owner = name_owner(ULVO_FM_FILE_MANAGER1_NAME);
        return !owner.empty() && owner != other;
    }));
}

namespace
{

// Answers the first dialog that shows, once its labels read `name`, noting
// what it showed; gives up after 20 s so that a fault fails instead of hangs.
struct DialogWatch {
    std::string name;
    std::string text;
    bool details_open = false;
    bool answered = false;
    gint64 deadline = g_get_monotonic_time() + 20 * G_USEC_PER_SEC;
};

gboolean answer_dialog(gpointer data)
{
    auto *watch = static_cast<DialogWatch *>(data);
    GtkWidget *dialog = ulvo_test::find_showing_dialog();
    if (!dialog)
        return g_get_monotonic_time() < watch->deadline;
    watch->text = ulvo_test::collect_label_text(dialog);
    if (watch->text.find(watch->name) == std::string::npos &&
        g_get_monotonic_time() < watch->deadline)
        return TRUE;
    watch->details_open = details_dialog_open;
    watch->answered = true;
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_DELETE_EVENT);
    return FALSE;
}

bool await_bus_name(const char *name)
{
    return ulvo_test::pump_until([&] { return !name_owner(name).empty(); });
}

} // namespace

TEST(FileManager1, ShowItemPropertiesOpensTheDetailsOfTheFirstItem)
{
    std::string folder = docs_dir() + "/Shared";
    ulvo_test::write_file(folder + "/first.txt", "12345");
    ulvo_test::write_file(folder + "/second.txt", "x");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    ASSERT_TRUE(await_bus_name(ULVO_FM_FILE_MANAGER1_NAME));

    DialogWatch watch;
    watch.name = "first.txt";
    guint id = gdk_threads_add_timeout(20, answer_dialog, &watch);
    std::string first = file_uri(folder + "/first.txt");
    ToolResult shown = call_file_manager(
        "ShowItemProperties", "['" + first + "','" + file_uri(folder + "/second.txt") + "']");
    ASSERT_TRUE(shown.ok) << shown.error;
    ASSERT_TRUE(ulvo_test::pump_until([&] { return watch.answered; }, 25000));
    if (!watch.answered)
        g_source_remove(id);
    EXPECT_NE(watch.text.find("first.txt"), std::string::npos) << watch.text;
    EXPECT_EQ(watch.text.find("second.txt"), std::string::npos) << watch.text;
    EXPECT_TRUE(watch.details_open);
    EXPECT_FALSE(details_dialog_open);
    EXPECT_EQ(current_folder(browser), file_uri(folder));
    EXPECT_EQ(selected(browser), std::vector<std::string>{first});
}

TEST(FileManager1, BadRequestsAreRefusedAndLoseNothing)
{
    std::string folder = docs_dir() + "/Shared";
    ulvo_test::write_file(folder + "/a.txt", "keep");
    ulvo_test::make_dir(docs_dir() + "/Other");
    UlvoFmBrowser *browser = start_browser();
    ASSERT_TRUE(await_construction(browser));
    ASSERT_TRUE(await_bus_name(ULVO_FM_FILE_MANAGER1_NAME));
    ToolResult first = call_file_manager("ShowFolders", "['" + file_uri(folder) + "']");
    ASSERT_TRUE(first.ok) << first.error;
    ASSERT_TRUE(ulvo_test::pump_until([&] { return current_folder(browser) == file_uri(folder); }));

    const std::string a = file_uri(folder + "/a.txt");
    const std::string bad[] = {
        "@as []",
        "['Shared/a.txt']",
        "['" + file_uri(folder) + "/../Other']",
        "['" + file_uri(folder) + "/%2E%2E/Other']",
        "['" + a + "','" + file_uri(folder) + "/../../..']",
        "['http://example.com/Shared/a.txt']",
        "['mailto:someone@example.com']",
    };
    for (const char *method : {"ShowItems", "ShowFolders", "ShowItemProperties"}) {
        for (const std::string &uris : bad) {
            SCOPED_TRACE(std::string(method) + " " + uris);
            ToolResult refused = call_file_manager(method, uris);
            EXPECT_FALSE(refused.ok);
            EXPECT_NE(refused.error.find("Error"), std::string::npos) << refused.error;
        }
    }
    // A file is no folder to show.
    ToolResult file_as_folder = call_file_manager("ShowFolders", "['" + a + "']");
    EXPECT_FALSE(file_as_folder.ok);
    EXPECT_NE(file_as_folder.error.find("not a folder"), std::string::npos) << file_as_folder.error;

    EXPECT_EQ(pending_folder_uri, nullptr);
    EXPECT_EQ(ulvo_test::find_showing_dialog(), nullptr);
    EXPECT_EQ(current_folder(browser), file_uri(folder));
    EXPECT_TRUE(ulvo_test::path_exists(folder + "/a.txt"));
    ToolResult other =
        call_file_manager("ShowFolders", "['" + file_uri(docs_dir() + "/Other") + "']");
    ASSERT_TRUE(other.ok) << other.error;
    EXPECT_TRUE(ulvo_test::pump_until(
        [&] { return current_folder(browser) == file_uri(docs_dir() + "/Other"); }));
}

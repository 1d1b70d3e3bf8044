#include "vfs-test-support.h"

#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"
#include "vfs/vfs-result.h"

using ulvo::GObjPtr;
using vfs_test::take;
using vfs_test::VfsTest;

namespace
{

const char kGateway[] = "obex://[00:11:22:33:44:55]";

std::string short_name(const char *uri)
{
    return take(ulvo_vfs_uri_short_name(uri));
}
std::string short_path_name(const char *uri)
{
    return take(ulvo_vfs_uri_short_path_name(uri));
}
std::string parent(const char *uri)
{
    return take(ulvo_vfs_uri_get_parent(uri));
}
std::string dirname(const char *uri)
{
    return take(ulvo_vfs_uri_extract_dirname(uri));
}

} // namespace

TEST(VfsUri, ValidityFollowsWhatCanBeParsed)
{
    const char *valid[] = {"file:///",
                           "file:///home/user/a%20b.txt",
                           "file:/tmp/x",
                           "file://localhost/tmp",
                           "/tmp/plain path",
                           "smb://server",
                           "smb://user:pw@server:445/share/",
                           "obex://[00:11:22:33:44:55]/Phone",
                           "upnpav://",
                           "files:///",
                           "drive:///card",
                           "FILE:///MEDIA/MMC2",
                           "file:///tmp/a%C3%A9",
                           "file:///tmp/caf\xc3\xa9"};
    for (const char *uri : valid)
        EXPECT_TRUE(ulvo_vfs_uri_is_valid(uri)) << uri;
    const char *invalid[] = {"",
                             "not a uri",
                             "relative/path",
                             "://x",
                             "1x:/y",
                             "file:relative",
                             "file:",
                             "file:///tmp/a%2Fb",
                             "file:///tmp/%zz",
                             "file:///tmp/a%2",
                             "file:///tmp/a%00b",
                             "obex://[00:11/x",
                             "file:///tmp/a\nb",
                             "file:///tmp/\xff"};
    for (const char *uri : invalid)
        EXPECT_FALSE(ulvo_vfs_uri_is_valid(uri)) << uri;
    EXPECT_FALSE(ulvo_vfs_uri_is_valid(nullptr));
}

TEST(VfsUri, ShortNamesOfItemsRootsAndHosts)
{
    EXPECT_EQ("a b.txt", short_name("file:///home/user/MyDocs/a%20b.txt"));
    EXPECT_EQ("a%20b.txt", short_path_name("file:///home/user/MyDocs/a%20b.txt"));
    EXPECT_EQ("Phone", short_name("obex://[00:11:22:33:44:55]/Phone/"));
    EXPECT_EQ("dir", short_name("file:///tmp/dir//"));
    EXPECT_EQ("dir", short_path_name("file:///tmp/dir/"));
    EXPECT_EQ("a", short_name("file:///a/b/.."));
    EXPECT_EQ("caf\xc3\xa9 #1", short_name("/tmp/caf\xc3\xa9 #1"));

    EXPECT_EQ("/", short_name("file:///"));
    EXPECT_EQ("/", short_name("file://localhost/"));
    EXPECT_EQ("/", short_name("files:///"));
    EXPECT_EQ("/", short_name("upnpav://"));
    EXPECT_EQ("server", short_name("smb://server/"));
    EXPECT_EQ("server", short_name("smb://server"));
    EXPECT_EQ("host", short_name("sftp://user@host:22/"));
    EXPECT_EQ("00:11:22:33:44:55", short_name(kGateway));
    EXPECT_EQ("/", short_path_name("smb://server/"));
    EXPECT_EQ("/", short_path_name(kGateway));

    EXPECT_EQ("<null>", short_name("not a uri"));
    EXPECT_EQ("<null>", short_path_name("file:///a%zz"));
}

TEST(VfsUri, ParentIsTextArithmeticForEveryScheme)
{
    EXPECT_EQ("file:///tmp", parent("file:///tmp/a%20b/"));
    EXPECT_EQ("file:///", parent("file:///tmp"));
    EXPECT_EQ("file:///a/b", parent("file:///a//b/./c/../d"));
    EXPECT_EQ("file:///tmp", parent("/tmp/x y"));
    EXPECT_EQ("file:///", parent("file:///a.tar#gzip:"));
    EXPECT_EQ("smb://server/", parent("smb://server/share"));
    EXPECT_EQ("sftp://h/home/u", parent("sftp://h/home/u/a%20b/"));
    EXPECT_EQ("obex://[00:11:22:33:44:55]/", parent("obex://[00:11:22:33:44:55]/Phone/"));
    EXPECT_EQ("obex://[00:11:22:33:44:55]/Phone", parent("obex://[00:11:22:33:44:55]/Phone/a"));
    EXPECT_EQ("files:///", parent("files:///x"));

    const char *roots[] = {"file:///",  "file://",   "smb://server/",  "smb://server", kGateway,
                           "files:///", "upnpav://", "mailto:someone", "not a uri"};
    for (const char *root : roots)
        EXPECT_EQ("<null>", parent(root)) << root;
}

TEST(VfsUri, DirnameIsTheEscapedFolderPath)
{
    EXPECT_EQ("/home/u/", dirname("file:///home/u/a.txt"));
    EXPECT_EQ("/home/a%20b/", dirname("file:///home/a%20b/c/"));
    EXPECT_EQ("/", dirname("file:///a.txt"));
    EXPECT_EQ("/", dirname("file:///"));
    EXPECT_EQ("/Phone/", dirname("obex://[00:11:22:33:44:55]/Phone/x%20y"));

    // Callers glue the host part, the dirname and a name together with "/";
    // the result names the same place as the proper child URI.
    std::string glued = std::string(kGateway) + dirname("obex://[00:11:22:33:44:55]/Phone/old") +
                        "/" + "new%20name";
    gchar *child = ulvo_vfs_uri_append_file_name("obex://[00:11:22:33:44:55]/Phone", "new name");
    EXPECT_TRUE(ulvo_vfs_uri_equal(glued.c_str(), child)) << glued << " vs " << child;
    g_free(child);
}

TEST(VfsUri, IsParentDirectlyAndRecursively)
{
    EXPECT_TRUE(ulvo_vfs_uri_is_parent("file:///tmp", "file:///tmp/a", FALSE));
    EXPECT_TRUE(ulvo_vfs_uri_is_parent("file:///tmp/", "file:///tmp/a/b", TRUE));
    EXPECT_FALSE(ulvo_vfs_uri_is_parent("file:///tmp", "file:///tmp/a/b", FALSE));
    EXPECT_TRUE(ulvo_vfs_uri_is_parent("file:///", "file:///tmp", FALSE));
    EXPECT_TRUE(ulvo_vfs_uri_is_parent("file:///tmp/a%20b", "file:///tmp/a b/c", FALSE));
    EXPECT_TRUE(ulvo_vfs_uri_is_parent("file://localhost/tmp", "FILE:///tmp/x", FALSE));
    EXPECT_TRUE(ulvo_vfs_uri_is_parent("/tmp", "file:///tmp/x/y", TRUE));
    EXPECT_TRUE(ulvo_vfs_uri_is_parent("smb://server", "smb://SERVER/share", FALSE));
    EXPECT_TRUE(ulvo_vfs_uri_is_parent(kGateway, "obex://[00:11:22:33:44:55]/Phone/x", TRUE));

    // Not a parent: itself, a sibling with a longer name, a child's child
    // upside down, another scheme or host.
    EXPECT_FALSE(ulvo_vfs_uri_is_parent("file:///tmp/a", "file:///tmp/a/", TRUE));
    EXPECT_FALSE(ulvo_vfs_uri_is_parent("file:///tmp/a", "file:///tmp/ab", TRUE));
    EXPECT_FALSE(ulvo_vfs_uri_is_parent("file:///tmp/a", "file:///tmp/a/%2E%2E/b", TRUE));
    EXPECT_FALSE(ulvo_vfs_uri_is_parent("file:///tmp/a/b", "file:///tmp/a", TRUE));
    EXPECT_FALSE(ulvo_vfs_uri_is_parent("file:///tmp", "smb:///tmp/a", TRUE));
    EXPECT_FALSE(ulvo_vfs_uri_is_parent("smb://one/", "smb://two/share", TRUE));
    EXPECT_FALSE(ulvo_vfs_uri_is_parent("file:///tmp", "not a uri", TRUE));
}

TEST(VfsUri, EqualityIgnoresSpellingNotPlace)
{
    const char *same[][2] = {{"file:///tmp/a", "file:///tmp/a/"},
                             {"file:///tmp/%61%20b", "file:///tmp/a b"},
                             {"file:///tmp/%c3%a9", "file:///tmp/%C3%A9"},
                             {"file://localhost/tmp", "file:///tmp"},
                             {"FILE:///tmp//x/.", "file:///tmp/x"},
                             {"/tmp/a b", "file:///tmp/a%20b"},
                             {"smb://Server/x", "smb://server/x"},
                             {"smb://server", "smb://server/"},
                             {"files:///", "files://"}};
    for (const auto &pair : same)
        EXPECT_TRUE(ulvo_vfs_uri_equal(pair[0], pair[1])) << pair[0] << " " << pair[1];
    const char *different[][2] = {{"file:///tmp/a", "file:///tmp/b"},
                                  {"file:///tmp/a", "file:///tmp/A"},
                                  {"file:///a", "smb:///a"},
                                  {"smb://h1/x", "smb://h2/x"},
                                  {"smb://user@h/x", "smb://h/x"},
                                  {"file:///a#x", "file:///a#y"},
                                  {"file:///tmp/a%2Fb", "file:///tmp/a%2Fb"}};
    for (const auto &pair : different)
        EXPECT_FALSE(ulvo_vfs_uri_equal(pair[0], pair[1])) << pair[0] << " " << pair[1];
}

TEST(VfsUri, EscapingMatchesGioAndRoundTrips)
{
    EXPECT_EQ("a%20b%2Fc%26d%3D%C3%A9!'()*~-._",
              take(ulvo_vfs_escape_string("a b/c&d=\xc3\xa9!'()*~-._")));
    EXPECT_EQ("/home/a%20b/%23x%3F%25.txt",
              take(ulvo_vfs_escape_path_string("/home/a b/#x?%.txt")));

    for (int byte = 1; byte < 256; byte++) {
        char name[3] = {'n', char(byte), '\0'};
        std::string path = std::string("/") + name;
        gchar *gio = g_filename_to_uri(path.c_str(), nullptr, nullptr);
        EXPECT_EQ(std::string(gio).substr(strlen("file://")),
                  take(ulvo_vfs_escape_path_string(path.c_str())))
            << byte;
        g_free(gio);
        gchar *escaped = ulvo_vfs_escape_string(name);
        EXPECT_EQ(std::string(name), take(ulvo_vfs_unescape_string(escaped, nullptr))) << byte;
        EXPECT_EQ(nullptr, strchr(escaped, '/'));
        g_free(escaped);
    }
}

TEST(VfsUri, UnescapeRefusesWhatCannotBeText)
{
    EXPECT_EQ("a b+c", take(ulvo_vfs_unescape_string("a%20b+c", nullptr)));
    EXPECT_EQ("a/b", take(ulvo_vfs_unescape_string("a%2Fb", nullptr)));
    EXPECT_EQ("<null>", take(ulvo_vfs_unescape_string("a%2Fb", "/")));
    EXPECT_EQ("<null>", take(ulvo_vfs_unescape_string("a%00b", nullptr)));
    EXPECT_EQ("<null>", take(ulvo_vfs_unescape_string("a%zz", nullptr)));
    EXPECT_EQ("<null>", take(ulvo_vfs_unescape_string("a%2", nullptr)));
}

TEST(VfsUri, StringFormHidesTheAskedParts)
{
    const char *full = "sftp://user:pw@host:2222/a//a%20b#frag";
    auto shown = [&](guint hide) { return take(ulvo_vfs_uri_to_string(full, hide)); };
    EXPECT_EQ("sftp://user:pw@host:2222/a/a%20b#frag", shown(ULVO_VFS_URI_HIDE_NONE));
    EXPECT_EQ("sftp://user@host:2222/a/a%20b#frag", shown(ULVO_VFS_URI_HIDE_PASSWORD));
    EXPECT_EQ("sftp://host:2222/a/a%20b#frag",
              shown(ULVO_VFS_URI_HIDE_USER_NAME | ULVO_VFS_URI_HIDE_PASSWORD));
    EXPECT_EQ("sftp://user:pw@host/a/a%20b",
              shown(ULVO_VFS_URI_HIDE_HOST_PORT | ULVO_VFS_URI_HIDE_FRAGMENT_IDENTIFIER));
    EXPECT_EQ("//user:pw@host:2222/a/a%20b#frag", shown(ULVO_VFS_URI_HIDE_TOPLEVEL_METHOD));

    EXPECT_EQ("/tmp/a%20b/", take(ulvo_vfs_uri_to_string("file:///tmp/a%20b/",
                                                         ULVO_VFS_URI_HIDE_TOPLEVEL_METHOD)));
    EXPECT_EQ("file:///tmp/x", take(ulvo_vfs_uri_to_string("file:/tmp/x", 0)));
    EXPECT_EQ("file:///", take(ulvo_vfs_uri_to_string("file://", 0)));
    EXPECT_EQ("file:///tmp/a%20b", take(ulvo_vfs_uri_to_string("/tmp/a b", 0)));
    EXPECT_EQ("obex://[00:11:22:33:44:55]/",
              take(ulvo_vfs_uri_to_string("obex://[00:11:22:33:44:55]/", 0)));
    EXPECT_EQ("<null>", take(ulvo_vfs_uri_to_string("file:relative", 0)));
}

TEST(VfsUri, LocalPathsAndFileUris)
{
    const char *path = "/tmp/a b/caf\xc3\xa9 #1?.txt";
    gchar *uri = ulvo_vfs_make_uri_from_path(path);
    EXPECT_STREQ("file:///tmp/a%20b/caf%C3%A9%20%231%3F.txt", uri);
    EXPECT_EQ(path, take(ulvo_vfs_get_local_path_from_uri(uri)));
    g_free(uri);
    EXPECT_EQ("file:///tmp/dir/", take(ulvo_vfs_make_uri_from_path("/tmp/dir/")));
    EXPECT_EQ("<null>", take(ulvo_vfs_make_uri_from_path("relative/x")));

    EXPECT_EQ("/tmp/a b", take(ulvo_vfs_get_local_path_from_uri("file:///tmp/a%20b/")));
    EXPECT_EQ("/tmp", take(ulvo_vfs_get_local_path_from_uri("file://localhost/tmp")));
    EXPECT_EQ("/etc", take(ulvo_vfs_get_local_path_from_uri("file:///tmp/../etc")));
    EXPECT_EQ("/", take(ulvo_vfs_get_local_path_from_uri("file:///")));
    EXPECT_EQ("/media/mmc2", take(ulvo_vfs_get_local_path_from_uri("FILE:///media/mmc2")));
    const char *not_local[] = {"file://otherhost/tmp", "smb://server/share", "files:///",
                               "file:///a#frag",       "file:///a%2Fb",      "file:relative"};
    for (const char *text : not_local)
        EXPECT_EQ("<null>", take(ulvo_vfs_get_local_path_from_uri(text))) << text;
}

TEST(VfsUri, AppendedNamesAreEscapedChildren)
{
    const char *names[] = {"plain.txt", "a b#1?.txt", "caf\xc3\xa9", "100%", "x:y=z&w@v"};
    GObjPtr<GFile> tmp(g_file_new_for_path("/tmp"));
    for (const char *name : names) {
        GObjPtr<GFile> child(g_file_get_child(tmp.get(), name));
        gchar *gio = g_file_get_uri(child.get());
        EXPECT_EQ(gio, take(ulvo_vfs_uri_append_file_name("file:///tmp/", name))) << name;
        g_free(gio);
    }
    EXPECT_EQ("smb://server/share", take(ulvo_vfs_uri_append_file_name("smb://server", "share")));
    EXPECT_EQ("obex://[00:11:22:33:44:55]/Phone",
              take(ulvo_vfs_uri_append_file_name("obex://[00:11:22:33:44:55]/", "Phone")));
    EXPECT_EQ("files:///x", take(ulvo_vfs_uri_append_file_name("files:///", "x")));
    EXPECT_EQ("file:///x", take(ulvo_vfs_uri_append_file_name("file:///", "x")));

    const char *bad_names[] = {"", ".", "..", "a/b"};
    for (const char *name : bad_names)
        EXPECT_EQ("<null>", take(ulvo_vfs_uri_append_file_name("file:///tmp", name))) << name;
    EXPECT_EQ("<null>", take(ulvo_vfs_uri_append_file_name("not a uri", "x")));
}

TEST_F(VfsTest, ExistsLooksWithoutFollowingLinks)
{
    ulvo_test::write_file(path("here.txt"), "x");
    ASSERT_EQ(0, symlink("nowhere", path("dangling").c_str()));
    EXPECT_TRUE(ulvo_vfs_uri_exists(uri("here.txt").c_str()));
    EXPECT_TRUE(ulvo_vfs_uri_exists(path("here.txt").c_str()));
    EXPECT_TRUE(ulvo_vfs_uri_exists(uri("dangling").c_str()));
    EXPECT_FALSE(ulvo_vfs_uri_exists(uri("missing").c_str()));
    EXPECT_FALSE(ulvo_vfs_uri_exists("smb://server/share"));
    EXPECT_FALSE(ulvo_vfs_uri_exists("not a uri"));

    ulvo_test::write_file(path("a b.txt"), "x");
    EXPECT_TRUE(ulvo_vfs_uri_exists((uri("") + "a%20b.txt").c_str()));
}

TEST_F(VfsTest, LocalMeansAFileOfThisMachine)
{
    ulvo_test::write_file(path("here.txt"), "x");
    EXPECT_TRUE(ulvo_vfs_uri_is_local(uri("here.txt").c_str()));
    EXPECT_TRUE(ulvo_vfs_uri_is_local(uri("not/yet/there").c_str()));
    EXPECT_TRUE(ulvo_vfs_uri_is_local("file:///"));
    EXPECT_FALSE(ulvo_vfs_uri_is_local("smb://server/share"));
    EXPECT_FALSE(ulvo_vfs_uri_is_local("obex://[00:11:22:33:44:55]/Phone"));
    EXPECT_FALSE(ulvo_vfs_uri_is_local("file://otherhost/tmp"));
    EXPECT_FALSE(ulvo_vfs_uri_is_local("not a uri"));
}

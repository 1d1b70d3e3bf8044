#include "vfs-test-support.h"

#include "vfs/vfs-info.h"
#include "vfs/vfs-uri.h"

#include <sys/stat.h>
#include <utime.h>

using vfs_test::run_unprivileged;
using vfs_test::VfsTest;

namespace
{

const guint kAccessBits =
    ULVO_VFS_PERM_ACCESS_READABLE | ULVO_VFS_PERM_ACCESS_WRITABLE | ULVO_VFS_PERM_ACCESS_EXECUTABLE;

// Owns the record for one test.
struct Info : UlvoVfsFileInfo {
    Info() : UlvoVfsFileInfo() {}
    ~Info() { ulvo_vfs_file_info_clear(this); }
    bool has(guint field) const { return (valid_fields & field) == field; }
};

} // namespace

TEST_F(VfsTest, RegularFileIsDescribedFully)
{
    ulvo_test::write_file(path("hello.txt"), "hello");
    g_chmod(path("hello.txt").c_str(), 0640);
    struct utimbuf times = {1200000000, 1100000000};
    ASSERT_EQ(0, utime(path("hello.txt").c_str(), &times));
    ASSERT_EQ(0, link(path("hello.txt").c_str(), path("second-name.txt").c_str()));
    struct stat st;
    ASSERT_EQ(0, stat(path("hello.txt").c_str(), &st));

    Info info;
    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(uri("hello.txt").c_str(), &info, 0));
    EXPECT_STREQ("hello.txt", info.name);
    EXPECT_TRUE(info.has(ULVO_VFS_FILE_INFO_FIELDS_TYPE | ULVO_VFS_FILE_INFO_FIELDS_PERMISSIONS |
                         ULVO_VFS_FILE_INFO_FIELDS_SIZE | ULVO_VFS_FILE_INFO_FIELDS_MTIME |
                         ULVO_VFS_FILE_INFO_FIELDS_ATIME | ULVO_VFS_FILE_INFO_FIELDS_CTIME |
                         ULVO_VFS_FILE_INFO_FIELDS_LINK_COUNT | ULVO_VFS_FILE_INFO_FIELDS_INODE |
                         ULVO_VFS_FILE_INFO_FIELDS_DEVICE | ULVO_VFS_FILE_INFO_FIELDS_IDS));
    EXPECT_FALSE(info.has(ULVO_VFS_FILE_INFO_FIELDS_ACCESS));
    EXPECT_FALSE(info.has(ULVO_VFS_FILE_INFO_FIELDS_MIME_TYPE));
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_REGULAR, info.type);
    EXPECT_EQ(0640u, info.permissions);
    EXPECT_EQ(5u, info.size);
    EXPECT_EQ(1100000000, info.mtime);
    EXPECT_EQ(1200000000, info.atime);
    EXPECT_EQ(st.st_ctime, info.ctime);
    EXPECT_EQ(2u, info.link_count);
    EXPECT_EQ(guint64(st.st_ino), info.inode);
    EXPECT_EQ(guint64(st.st_dev), info.device);
    EXPECT_EQ(st.st_uid, info.uid);
    EXPECT_EQ(ULVO_VFS_FILE_FLAGS_LOCAL, info.flags);
    EXPECT_EQ(nullptr, info.symlink_name);
}

TEST_F(VfsTest, EscapedNamesAndFoldersAndSpecialFiles)
{
    const char *name = "caf\xc3\xa9 #1?.txt";
    ulvo_test::write_file(path(name), "x");
    Info info;
    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(uri(name).c_str(), &info, 0));
    EXPECT_STREQ(name, info.name);

    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(path("").c_str(), &info, 0));
    EXPECT_STREQ("EscapedNamesAndFoldersAndSpecialFiles", info.name);
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_DIRECTORY, info.type);

    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info("file:///", &info, 0));
    EXPECT_STREQ("/", info.name);

    ASSERT_EQ(0, mkfifo(path("pipe").c_str(), 0600));
    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(uri("pipe").c_str(), &info, 0));
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_FIFO, info.type);
    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info("file:///dev/null", &info, 0));
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_CHARACTER_DEVICE, info.type);
}

TEST_F(VfsTest, AccessRightsFollowTheModeEvenForRoot)
{
    struct Case {
        const char *name;
        int mode;
        guint access;
    };
    const Case cases[] = {
        {"read-only", 0444, ULVO_VFS_PERM_ACCESS_READABLE},
        {"writable", 0644, ULVO_VFS_PERM_ACCESS_READABLE | ULVO_VFS_PERM_ACCESS_WRITABLE},
        {"program", 0755, kAccessBits},
        {"locked", 0000, 0},
    };
    for (const Case &c : cases) {
        ulvo_test::write_file(path(c.name), "#!/bin/sh\n");
        g_chmod(path(c.name).c_str(), c.mode);
        Info info;
        ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(uri(c.name).c_str(), &info,
                                                      ULVO_VFS_FILE_INFO_GET_ACCESS_RIGHTS));
        EXPECT_TRUE(info.has(ULVO_VFS_FILE_INFO_FIELDS_ACCESS));
        EXPECT_EQ(guint(c.mode), info.permissions & 07777) << c.name;
        EXPECT_EQ(c.access, info.permissions & kAccessBits) << c.name;
    }
    Info folder;
    ASSERT_EQ(ULVO_VFS_OK,
              ulvo_vfs_get_file_info(dir_.c_str(), &folder, ULVO_VFS_FILE_INFO_GET_ACCESS_RIGHTS));
    EXPECT_EQ(kAccessBits, folder.permissions & kAccessBits);
}

TEST_F(VfsTest, AccessRightsOfAnotherUsersFile)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to own a file that another user looks at";
    ulvo_test::write_file(path("roots.txt"), "x");
    g_chmod(path("roots.txt").c_str(), 0644);
    std::string text_uri = uri("roots.txt");
    int access = run_unprivileged([&] {
        Info info;
        if (ulvo_vfs_get_file_info(text_uri.c_str(), &info, ULVO_VFS_FILE_INFO_GET_ACCESS_RIGHTS) !=
            ULVO_VFS_OK)
            return 255;
        return int((info.permissions & kAccessBits) >> 16);
    });
    EXPECT_EQ(int(ULVO_VFS_PERM_ACCESS_READABLE >> 16), access);
}

TEST_F(VfsTest, SymbolicLinksWithAndWithoutFollowing)
{
    ulvo_test::write_file(path("target.txt"), "0123456789");
    ASSERT_EQ(0, symlink("target.txt", path("link").c_str()));
    ASSERT_EQ(0, symlink(dir_.c_str(), path("folder-link").c_str()));
    ASSERT_EQ(0, symlink("nowhere", path("dangling").c_str()));

    Info info;
    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(uri("link").c_str(), &info, 0));
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_SYMBOLIC_LINK, info.type);
    EXPECT_STREQ("link", info.name);
    EXPECT_TRUE(info.flags & ULVO_VFS_FILE_FLAGS_SYMLINK);
    EXPECT_TRUE(info.has(ULVO_VFS_FILE_INFO_FIELDS_SYMLINK_NAME));
    EXPECT_STREQ("target.txt", info.symlink_name);
    EXPECT_EQ(strlen("target.txt"), info.size);

    ASSERT_EQ(ULVO_VFS_OK,
              ulvo_vfs_get_file_info(uri("link").c_str(), &info, ULVO_VFS_FILE_INFO_FOLLOW_LINKS));
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_REGULAR, info.type);
    EXPECT_EQ(10u, info.size);
    EXPECT_TRUE(info.flags & ULVO_VFS_FILE_FLAGS_SYMLINK);
    EXPECT_STREQ("target.txt", info.symlink_name);

    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(uri("folder-link").c_str(), &info,
                                                  ULVO_VFS_FILE_INFO_FOLLOW_LINKS));
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_DIRECTORY, info.type);

    // A dangling link is no error: it describes itself.
    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(uri("dangling").c_str(), &info,
                                                  ULVO_VFS_FILE_INFO_FOLLOW_LINKS));
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_SYMBOLIC_LINK, info.type);
    EXPECT_STREQ("nowhere", info.symlink_name);
}

TEST_F(VfsTest, MimeTypesOnlyWhenAsked)
{
    static const unsigned char png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n',
                                        0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    ulvo_test::write_file(path("notes.txt"), "some words\n");
    ulvo_test::write_file(path("picture"),
                          std::string(reinterpret_cast<const char *>(png), sizeof png));
    struct Case {
        std::string uri;
        guint options;
        const char *mime;
    };
    const Case cases[] = {
        {uri("notes.txt"), ULVO_VFS_FILE_INFO_GET_MIME_TYPE, "text/plain"},
        {uri("picture"), ULVO_VFS_FILE_INFO_GET_MIME_TYPE, "image/png"},
        {uri("picture"), ULVO_VFS_FILE_INFO_GET_MIME_TYPE | ULVO_VFS_FILE_INFO_FORCE_FAST_MIME_TYPE,
         ULVO_VFS_MIME_TYPE_UNKNOWN},
        {uri(""), ULVO_VFS_FILE_INFO_GET_MIME_TYPE, "inode/directory"},
    };
    for (const Case &c : cases) {
        Info info;
        ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(c.uri.c_str(), &info, c.options));
        EXPECT_TRUE(info.has(ULVO_VFS_FILE_INFO_FIELDS_MIME_TYPE)) << c.uri;
        EXPECT_STREQ(c.mime, info.mime_type) << c.uri;
    }
    Info plain;
    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(uri("notes.txt").c_str(), &plain,
                                                  ULVO_VFS_FILE_INFO_FORCE_FAST_MIME_TYPE));
    EXPECT_EQ(nullptr, plain.mime_type);
}

TEST_F(VfsTest, NameOnlyAsksForTheName)
{
    ulvo_test::write_file(path("a.txt"), "abc");
    Info info;
    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(uri("a.txt").c_str(), &info,
                                                  ULVO_VFS_FILE_INFO_NAME_ONLY |
                                                      ULVO_VFS_FILE_INFO_GET_MIME_TYPE));
    EXPECT_STREQ("a.txt", info.name);
    EXPECT_EQ(0u, info.valid_fields);
    EXPECT_EQ(nullptr, info.mime_type);
}

TEST_F(VfsTest, FailuresLeaveTheRecordEmpty)
{
    ulvo_test::write_file(path("a.txt"), "abc");
    Info info;
    ASSERT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info(uri("a.txt").c_str(), &info,
                                                  ULVO_VFS_FILE_INFO_GET_MIME_TYPE));

    struct Case {
        std::string uri;
        UlvoVfsResult result;
    };
    const Case cases[] = {
        {uri("missing"), ULVO_VFS_ERROR_NOT_FOUND},
        {uri("a.txt") + "/child", ULVO_VFS_ERROR_NOT_A_DIRECTORY},
        {uri(std::string(300, 'n')), ULVO_VFS_ERROR_NAME_TOO_LONG},
        {"not a uri", ULVO_VFS_ERROR_INVALID_URI},
        {"file:///tmp/a%2Fb", ULVO_VFS_ERROR_INVALID_URI},
        {"smb://server/share/a.txt", ULVO_VFS_ERROR_NOT_SUPPORTED},
        {"obex://[00:11:22:33:44:55]/Phone", ULVO_VFS_ERROR_NOT_SUPPORTED},
        {"file://otherhost/tmp", ULVO_VFS_ERROR_NOT_SUPPORTED},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.result, ulvo_vfs_get_file_info(c.uri.c_str(), &info, 0)) << c.uri;
        EXPECT_EQ(0u, info.valid_fields);
        EXPECT_EQ(nullptr, info.name);
        EXPECT_EQ(nullptr, info.mime_type);
    }
}

TEST(VfsInfo, HeapRecordStartsEmpty)
{
    UlvoVfsFileInfo *info = ulvo_vfs_file_info_new();
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(0u, info->valid_fields);
    EXPECT_EQ(ULVO_VFS_OK, ulvo_vfs_get_file_info("file:///", info, ULVO_VFS_FILE_INFO_DEFAULT));
    EXPECT_EQ(ULVO_VFS_FILE_TYPE_DIRECTORY, info->type);
    ulvo_vfs_file_info_free(info);
    ulvo_vfs_file_info_free(nullptr);
}

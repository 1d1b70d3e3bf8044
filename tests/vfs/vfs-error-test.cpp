#include "vfs-test-support.h"

#include "vfs/glib-ptr.h"
#include "vfs/vfs-error.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <set>

using ulvo::ErrorOut;
using ulvo::GObjPtr;
using vfs_test::run_in_child;
using vfs_test::run_unprivileged;
using vfs_test::VfsTest;

namespace
{

// The result of reading `path` through GIO.
UlvoVfsResult read_result(const std::string &path)
{
    GObjPtr<GFile> file(g_file_new_for_path(path.c_str()));
    ErrorOut error;
    GObjPtr<GFileInputStream> stream(g_file_read(file.get(), nullptr, error.out()));
    return stream ? ULVO_VFS_OK : ulvo_vfs_result_from_gerror(error.get());
}

UlvoVfsResult list_result(const std::string &path)
{
    GObjPtr<GFile> file(g_file_new_for_path(path.c_str()));
    ErrorOut error;
    GObjPtr<GFileEnumerator> children(g_file_enumerate_children(
        file.get(), G_FILE_ATTRIBUTE_STANDARD_NAME, G_FILE_QUERY_INFO_NONE, nullptr, error.out()));
    return children ? ULVO_VFS_OK : ulvo_vfs_result_from_gerror(error.get());
}

UlvoVfsResult write_result(const std::string &path, gsize bytes)
{
    GObjPtr<GFile> file(g_file_new_for_path(path.c_str()));
    ErrorOut error;
    GObjPtr<GFileOutputStream> stream(
        g_file_append_to(file.get(), G_FILE_CREATE_NONE, nullptr, error.out()));
    if (!stream)
        return ulvo_vfs_result_from_gerror(error.get());
    std::string data(bytes, 'x');
    if (!g_output_stream_write_all(G_OUTPUT_STREAM(stream.get()), data.data(), data.size(), nullptr,
                                   nullptr, error.out()) ||
        !g_output_stream_close(G_OUTPUT_STREAM(stream.get()), nullptr, error.out()))
        return ulvo_vfs_result_from_gerror(error.get());
    return ULVO_VFS_OK;
}

} // namespace

TEST_F(VfsTest, MissingFilesAndFoldersAreNotFound)
{
    EXPECT_EQ(ULVO_VFS_ERROR_NOT_FOUND, read_result(path("missing.txt")));
    EXPECT_EQ(ULVO_VFS_ERROR_NOT_FOUND, list_result(path("no-folder")));

    ErrorOut error;
    gchar *contents = nullptr;
    EXPECT_FALSE(g_file_get_contents(path("missing.txt").c_str(), &contents, nullptr, error.out()));
    ASSERT_TRUE(error);
    EXPECT_EQ(G_FILE_ERROR, error.get()->domain);
    EXPECT_EQ(ULVO_VFS_ERROR_NOT_FOUND, ulvo_vfs_result_from_gerror(error.get()));
}

TEST_F(VfsTest, WrongKindOfFileIsReported)
{
    ulvo_test::write_file(path("plain.txt"), "text");
    EXPECT_EQ(ULVO_VFS_ERROR_NOT_A_DIRECTORY, list_result(path("plain.txt")));
    EXPECT_EQ(ULVO_VFS_ERROR_NOT_A_DIRECTORY, read_result(path("plain.txt/child")));
    EXPECT_EQ(ULVO_VFS_ERROR_IS_DIRECTORY, read_result(dir_));

    GObjPtr<GFile> folder(g_file_new_for_path(dir_.c_str()));
    ErrorOut exists;
    EXPECT_FALSE(g_file_make_directory(folder.get(), nullptr, exists.out()));
    EXPECT_EQ(ULVO_VFS_ERROR_FILE_EXISTS, ulvo_vfs_result_from_gerror(exists.get()));

    ErrorOut not_empty;
    EXPECT_FALSE(g_file_delete(folder.get(), nullptr, not_empty.out()));
    EXPECT_EQ(ULVO_VFS_ERROR_DIRECTORY_NOT_EMPTY, ulvo_vfs_result_from_gerror(not_empty.get()));
}

TEST_F(VfsTest, LongNamesAndLinkLoopsAreReported)
{
    EXPECT_EQ(ULVO_VFS_ERROR_NAME_TOO_LONG, read_result(path(std::string(300, 'n'))));

    ASSERT_EQ(0, symlink("loop-b", path("loop-a").c_str()));
    ASSERT_EQ(0, symlink("loop-a", path("loop-b").c_str()));
    EXPECT_EQ(ULVO_VFS_ERROR_LOOP, read_result(path("loop-a")));
}

TEST_F(VfsTest, FullDeviceIsNoSpaceThroughGioAndErrno)
{
    if (!ulvo_test::path_exists("/dev/full"))
        GTEST_SKIP() << "/dev/full is not on this machine";
    EXPECT_EQ(ULVO_VFS_ERROR_NO_SPACE, write_result("/dev/full", 4096));

    int fd = open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    char byte = 'x';
    ASSERT_EQ(-1, write(fd, &byte, 1));
    int saved = errno;
    close(fd);
    EXPECT_EQ(ULVO_VFS_ERROR_NO_SPACE, ulvo_vfs_result_from_errno(saved));
}

TEST_F(VfsTest, CancelledOperationIsCancelled)
{
    ulvo_test::write_file(path("a.txt"), "a");
    GObjPtr<GFile> file(g_file_new_for_path(path("a.txt").c_str()));
    GObjPtr<GCancellable> cancellable(g_cancellable_new());
    g_cancellable_cancel(cancellable.get());
    ErrorOut error;
    GObjPtr<GFileInputStream> stream(g_file_read(file.get(), cancellable.get(), error.out()));
    EXPECT_FALSE(stream);
    EXPECT_EQ(ULVO_VFS_ERROR_CANCELLED, ulvo_vfs_result_from_gerror(error.get()));
}

TEST_F(VfsTest, ClosedFolderDeniesAccessToOtherUsers)
{
    ulvo_test::write_file(path("closed/inside.txt"), "x");
    g_chmod(path("closed").c_str(), 0000);
    std::string folder = path("closed");
    std::string inside = path("closed/inside.txt");

    EXPECT_EQ(ULVO_VFS_ERROR_ACCESS_DENIED,
              run_unprivileged([&] { return int(list_result(folder)); }));
    EXPECT_EQ(ULVO_VFS_ERROR_ACCESS_DENIED,
              run_unprivileged([&] { return int(read_result(inside)); }));
    EXPECT_EQ(ULVO_VFS_ERROR_ACCESS_DENIED, run_unprivileged([&] {
                  int fd = g_open(inside.c_str(), O_RDONLY, 0);
                  return fd >= 0 ? int(ULVO_VFS_OK) : int(ulvo_vfs_result_from_errno(errno));
              }));
}

// GIO says PERMISSION_DENIED for EPERM too; its message still tells them apart.
TEST_F(VfsTest, StickyFolderRefusalIsNotPermitted)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to own a file that another user cannot remove";
    ulvo_test::make_dir(path("sticky"), 01777);
    ulvo_test::write_file(path("sticky/roots.txt"), "x");
    std::string file_path = path("sticky/roots.txt");

    EXPECT_EQ(ULVO_VFS_ERROR_NOT_PERMITTED, run_unprivileged([&] {
                  GObjPtr<GFile> file(g_file_new_for_path(file_path.c_str()));
                  ErrorOut error;
                  g_file_delete(file.get(), nullptr, error.out());
                  return int(ulvo_vfs_result_from_gerror(error.get()));
              }));
    EXPECT_TRUE(ulvo_test::path_exists(file_path));
}

// GIO folds EFBIG into G_IO_ERROR_FAILED; the mapping still finds "too big".
TEST_F(VfsTest, FileSizeLimitIsTooBigAlthoughGioSaysFailed)
{
    std::string target = path("limited.bin");
    int answer = run_in_child(
        [&] {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {1024, 1024};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
                return 251;
            return int(write_result(target, 8192));
        },
        false);
    EXPECT_EQ(ULVO_VFS_ERROR_TOO_BIG, answer);
}

TEST(VfsError, FoldedErrnoIsRecoveredOnlyFromTheMessageTail)
{
    struct Case {
        int errnum;
        UlvoVfsResult expected;
    };
    const Case cases[] = {{EIO, ULVO_VFS_ERROR_IO},
                          {EXDEV, ULVO_VFS_ERROR_NOT_SAME_FILE_SYSTEM},
                          {EDQUOT, ULVO_VFS_ERROR_NO_SPACE},
                          {ENOMEM, ULVO_VFS_ERROR_NO_MEMORY},
                          {EMLINK, ULVO_VFS_ERROR_TOO_MANY_LINKS},
                          {ENOMEDIUM, ULVO_VFS_ERROR_IO}};
    for (const Case &c : cases) {
        ulvo::GErrorPtr error(g_error_new(G_IO_ERROR, g_io_error_from_errno(c.errnum),
                                          "Error writing to file: %s", g_strerror(c.errnum)));
        EXPECT_EQ(c.expected, ulvo_vfs_result_from_gerror(error.get())) << g_strerror(c.errnum);
    }
    // A file called like an error text is no error text.
    std::string name = std::string("/tmp/") + g_strerror(EIO);
    ulvo::GErrorPtr named(g_error_new(G_IO_ERROR, G_IO_ERROR_FAILED, "%s", name.c_str()));
    EXPECT_EQ(ULVO_VFS_ERROR_GENERIC, ulvo_vfs_result_from_gerror(named.get()));
}

// Whichever way an errno arrives, as itself, inside a GIO error or inside a
// GLib file error, it means the same result.
TEST(VfsError, ErrnoMeansTheSameResultOnEveryRoute)
{
    const int errnos[] = {
        EPERM,     ENOENT,    EINTR,   EIO,       EBADF,        ENOMEM,    EACCES, EBUSY,   EEXIST,
        EXDEV,     ENODEV,    ENOTDIR, EISDIR,    EINVAL,       ENFILE,    EMFILE, ETXTBSY, EFBIG,
        ENOSPC,    EROFS,     EMLINK,  EPIPE,     ENAMETOOLONG, ENOTEMPTY, ELOOP,  ENOTSUP, EDQUOT,
        ETIMEDOUT, ECANCELED, ESTALE,  ENOMEDIUM, ECONNREFUSED, ENOSYS};
    for (int errnum : errnos) {
        UlvoVfsResult direct = ulvo_vfs_result_from_errno(errnum);
        EXPECT_NE(ULVO_VFS_ERROR_GENERIC, direct) << g_strerror(errnum);
        ulvo::GErrorPtr io(g_error_new(G_IO_ERROR, g_io_error_from_errno(errnum),
                                       "Error opening file /x: %s", g_strerror(errnum)));
        EXPECT_EQ(direct, ulvo_vfs_result_from_gerror(io.get())) << g_strerror(errnum);
        GFileError file_code = g_file_error_from_errno(errnum);
        if (file_code != G_FILE_ERROR_FAILED) {
            ulvo::GErrorPtr file(g_error_new(G_FILE_ERROR, file_code, "%s", g_strerror(errnum)));
            EXPECT_EQ(direct, ulvo_vfs_result_from_gerror(file.get())) << g_strerror(errnum);
        }
    }
    EXPECT_EQ(ULVO_VFS_OK, ulvo_vfs_result_from_errno(0));
    EXPECT_EQ(ULVO_VFS_ERROR_GENERIC, ulvo_vfs_result_from_errno(EAGAIN));
}

TEST(VfsError, OtherDomainsAndNoError)
{
    EXPECT_EQ(ULVO_VFS_OK, ulvo_vfs_result_from_gerror(nullptr));

    ErrorOut convert;
    EXPECT_EQ(nullptr, g_filename_from_uri("http://host/x", nullptr, convert.out()));
    EXPECT_EQ(ULVO_VFS_ERROR_INVALID_URI, ulvo_vfs_result_from_gerror(convert.get()));

    GKeyFile *keys = g_key_file_new();
    ErrorOut key_error;
    EXPECT_FALSE(
        g_key_file_load_from_data(keys, "not [a key file", -1, G_KEY_FILE_NONE, key_error.out()));
    g_key_file_free(keys);
    EXPECT_EQ(ULVO_VFS_ERROR_GENERIC, ulvo_vfs_result_from_gerror(key_error.get()));

    ulvo::GErrorPtr future(g_error_new(G_IO_ERROR, 4000, "a code from a later GLib"));
    EXPECT_EQ(ULVO_VFS_ERROR_GENERIC, ulvo_vfs_result_from_gerror(future.get()));
}

TEST(VfsError, EveryResultHasItsOwnText)
{
    std::set<std::string> seen;
    for (int value = 0; value < ULVO_VFS_NUM_ERRORS; value++) {
        std::string text = ulvo_vfs_result_to_string(UlvoVfsResult(value));
        EXPECT_NE("Unknown error", text) << value;
        EXPECT_TRUE(seen.insert(text).second) << text;
    }
    EXPECT_STREQ("No error", ulvo_vfs_result_to_string(ULVO_VFS_OK));
    EXPECT_STREQ("Read only file system",
                 ulvo_vfs_result_to_string(ULVO_VFS_ERROR_READ_ONLY_FILE_SYSTEM));
    EXPECT_STREQ("Unknown error", ulvo_vfs_result_to_string(ULVO_VFS_NUM_ERRORS));
    EXPECT_STREQ("Unknown error", ulvo_vfs_result_to_string(UlvoVfsResult(-1)));
}

// Bounded reads of the program's own small files, on real files.
#include "vfs/vfs-read.h"
#include "vfs-test-support.h"

#include <sys/stat.h>

namespace
{

using vfs_test::VfsTest;

// "ok:<bytes>" or the error's domain and code.
std::string read_with_bound(const std::string &path, gsize max_size)
{
    gchar *contents = nullptr;
    gsize length = 0;
    GError *error = nullptr;
    if (!ulvo_vfs_read_regular_file(path.c_str(), max_size, &contents, &length, &error)) {
        std::string what =
            error->domain == ULVO_VFS_READ_ERROR
                ? (error->code == ULVO_VFS_READ_ERROR_TOO_LARGE ? "too large" : "not regular")
                : "file error " + std::to_string(error->code);
        g_error_free(error);
        return what;
    }
    EXPECT_EQ(contents[length], '\0');
    std::string bytes(contents, length);
    g_free(contents);
    return "ok:" + bytes;
}

} // namespace

TEST_F(VfsTest, ReadsOnlyRegularFilesWithinTheBound)
{
    ulvo_test::write_file(path("ten"), std::string("0123\0"
                                                   "5678\n",
                                                   10));
    EXPECT_EQ(read_with_bound(path("ten"), 10), "ok:" + std::string("0123\0"
                                                                    "5678\n",
                                                                    10));
    EXPECT_EQ(read_with_bound(path("ten"), 9), "too large");
    ulvo_test::write_file(path("empty"), "");
    EXPECT_EQ(read_with_bound(path("empty"), 0), "ok:");
    EXPECT_EQ(read_with_bound(path("missing"), 10),
              "file error " + std::to_string(G_FILE_ERROR_NOENT));
    EXPECT_EQ(read_with_bound(dir_, 10), "not regular");

    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0600), 0);
    std::string fifo_result;
    EXPECT_TRUE(ulvo_test::returns_despite_fifo(
        path("fifo"), [&] { fifo_result = read_with_bound(path("fifo"), 10); }));
    EXPECT_EQ(fifo_result, "not regular");
    EXPECT_EQ(read_with_bound("/dev/zero", 10), "not regular");

    // A regular file whose size says nothing of its contents: the bound
    // holds while reading too.
    EXPECT_EQ(read_with_bound("/proc/self/maps", 16), "too large");
    EXPECT_EQ(read_with_bound("/proc/self/maps", 1 << 20).rfind("ok:", 0), 0u);
}

// Bounded reads of the program's own small files, on real files.
#include "vfs/vfs-read.h"
#include "vfs-test-support.h"

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

TEST_F(VfsTest, ReadsWithinTheBoundAlsoWhenTheSizeSaysNothing)
{
    std::string ten = "0123 5678\n";
    ten[4] = '\0';
    ulvo_test::write_file(path("ten"), ten);
    EXPECT_EQ(read_with_bound(path("ten"), 10), "ok:" + ten);
    EXPECT_EQ(read_with_bound(path("ten"), 9), "too large");
    // A regular file whose size says nothing of its contents: the bound
    // holds while reading too.
    EXPECT_EQ(read_with_bound("/proc/self/maps", 16), "too large");
    EXPECT_EQ(read_with_bound("/proc/self/maps", 1 << 20).rfind("ok:", 0), 0u);
}

// Times the transfer engine against cp on the same data and file system:
// (a) one 1 GiB file, (b) a tree of 20,000 files of 4 KiB.
//   bench/xfer [folder [big|tree]]   (default /tmp, both; about 2.5 GiB free)
// The engine flushes what it wrote before giving files their names, cp does
// not; "cp+sync" is cp followed by sync(1), the like-for-like figure.
#include "vfs/vfs-xfer.h"

#include <fcntl.h>
#include <glib/gstdio.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

static const guint64 BIG_SIZE = guint64(1) << 30;
static const int TREE_FOLDERS = 20;
static const int TREE_FILES = 20000;
static const size_t TREE_FILE_SIZE = 4096;

static bool write_data(const std::string &path, guint64 size)
{
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    std::string block(1 << 20, '\0');
    for (guint64 done = 0; done < size;) {
        size_t n = size_t(MIN(guint64(block.size()), size - done));
        for (size_t i = 0; i < n; i += 512)
            block[i] = char(done / 512 + i);
        if (write(fd, block.data(), n) != ssize_t(n)) {
            close(fd);
            return false;
        }
        done += n;
    }
    return close(fd) == 0;
}

static bool make_tree(const std::string &root)
{
    for (int i = 0; i < TREE_FILES; i++) {
        std::string folder = root + "/folder" + std::to_string(i % TREE_FOLDERS);
        g_mkdir_with_parents(folder.c_str(), 0755);
        if (!write_data(folder + "/file" + std::to_string(i), TREE_FILE_SIZE))
            return false;
    }
    return true;
}

static gint on_update(UlvoVfsAsyncHandle *, UlvoVfsXferProgressInfo *info, gpointer)
{
    if (info->status == ULVO_VFS_XFER_PROGRESS_STATUS_OK)
        return 1;
    fprintf(stderr, "asked about %s (%s) in phase %d\n", info->target_name,
            ulvo_vfs_result_to_string(info->vfs_status), info->phase);
    return 0;
}

static gint on_sync(UlvoVfsXferProgressInfo *info, gpointer loop)
{
    if (info->phase == ULVO_VFS_XFER_PHASE_COMPLETED) {
        if (info->vfs_status != ULVO_VFS_OK)
            fprintf(stderr, "transfer ended with %s\n",
                    ulvo_vfs_result_to_string(info->vfs_status));
        g_main_loop_quit(static_cast<GMainLoop *>(loop));
    }
    return 1;
}

static double engine_copy(const std::string &source, const std::string &target)
{
    gchar *s = g_filename_to_uri(source.c_str(), nullptr, nullptr);
    gchar *t = g_filename_to_uri(target.c_str(), nullptr, nullptr);
    GList *sources = g_list_append(nullptr, s), *targets = g_list_append(nullptr, t);
    GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
    UlvoVfsAsyncHandle *handle = nullptr;
    gint64 start = g_get_monotonic_time();
    ulvo_vfs_async_xfer(&handle, sources, targets,
                        ULVO_VFS_XFER_RECURSIVE | ULVO_VFS_XFER_TARGET_DEFAULT_PERMS,
                        ULVO_VFS_XFER_ERROR_MODE_QUERY, ULVO_VFS_XFER_OVERWRITE_MODE_QUERY, 0,
                        on_update, nullptr, on_sync, loop);
    g_main_loop_run(loop);
    double seconds = (g_get_monotonic_time() - start) / 1e6;
    g_main_loop_unref(loop);
    g_list_free_full(sources, g_free);
    g_list_free_full(targets, g_free);
    return seconds;
}

static double run_timed(const std::string &command)
{
    gint64 start = g_get_monotonic_time();
    if (system(command.c_str()) != 0)
        fprintf(stderr, "failed: %s\n", command.c_str());
    return (g_get_monotonic_time() - start) / 1e6;
}

static void remove_tree(const std::string &path)
{
    run_timed("rm -rf '" + path + "' && sync");
}

// The best of two runs each, in turns: the machine may be shared.
static void compare(const char *what, const std::string &source, const std::string &target)
{
    const std::string cp = "cp -r '" + source + "' '" + target + "'";
    double engine = 1e9, plain = 1e9, synced = 1e9;
    for (int round = 0; round < 2; round++) {
        remove_tree(target);
        plain = std::min(plain, run_timed(cp));
        remove_tree(target);
        engine = std::min(engine, engine_copy(source, target));
        remove_tree(target);
        synced = std::min(synced, run_timed(cp + " && sync"));
    }
    remove_tree(target);
    printf("%s: engine %.2f s, cp %.2f s, cp+sync %.2f s; engine/cp %.2f, engine/(cp+sync) %.2f\n",
           what, engine, plain, synced, engine / plain, engine / synced);
}

int main(int argc, char **argv)
{
    std::string base = argc > 1 ? argv[1] : "/tmp";
    struct statvfs fs;
    if (statvfs(base.c_str(), &fs) != 0 ||
        guint64(fs.f_bavail) * fs.f_frsize < (guint64(5) << 29)) {
        fprintf(stderr, "%s: less than 2.5 GiB free\n", base.c_str());
        return 1;
    }
    gchar *root = g_build_filename(base.c_str(), "ulvo-bench-xfer-XXXXXX", nullptr);
    if (!g_mkdtemp(root)) {
        perror(root);
        return 1;
    }
    std::string dir = root;
    g_free(root);
    std::string only = argc > 2 ? argv[2] : "";
    bool big = only != "tree", small = only != "big";
    bool made =
        (!big || write_data(dir + "/big.bin", BIG_SIZE)) && (!small || make_tree(dir + "/tree"));
    run_timed("sync");
    if (made) {
        if (big)
            compare("1 GiB file", dir + "/big.bin", dir + "/big-copy.bin");
        if (small)
            compare("20,000 files of 4 KiB", dir + "/tree", dir + "/tree-copy");
    } else {
        perror("making the data");
    }
    remove_tree(dir);
    return made ? 0 : 1;
}

// Times the transfer engine against cp on the same data and file system:
// (a) one 1 GiB file, (b) a tree of 20,000 files of 4 KiB.
//   bench/xfer [--runs N] [--warm] [folder [big|tree]]
// (default 3 runs, /tmp, both; about 2.5 GiB free). The engine flushes what
// it wrote before giving files their names, cp does not; "cp+sync" is cp
// followed by sync(1), the like-for-like figure.
//
// Every timed run starts from the same state: the previous copy removed and
// flushed, then the page cache dropped (as root), so that cp and the engine
// both read their source from the disk. Where the cache cannot be dropped,
// or with --warm, the source is read whole before each run instead, so that
// both find it in memory. The sides take turns, in a different order each
// round, and the medians are printed with the machine's load.
#include "vfs/vfs-xfer.h"

#include <fcntl.h>
#include <ftw.h>
#include <glib/gstdio.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

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

struct EngineRun {
    GMainLoop *loop;
    UlvoVfsResult result;
};

static gint on_sync(UlvoVfsXferProgressInfo *info, gpointer data)
{
    auto *run = static_cast<EngineRun *>(data);
    if (info->phase == ULVO_VFS_XFER_PHASE_COMPLETED) {
        run->result = info->vfs_status;
        g_main_loop_quit(run->loop);
    }
    return 1;
}

static bool engine_copy(const std::string &source, const std::string &target)
{
    gchar *s = g_filename_to_uri(source.c_str(), nullptr, nullptr);
    gchar *t = g_filename_to_uri(target.c_str(), nullptr, nullptr);
    GList *sources = g_list_append(nullptr, s), *targets = g_list_append(nullptr, t);
    EngineRun run = {g_main_loop_new(nullptr, FALSE), ULVO_VFS_OK};
    UlvoVfsAsyncHandle *handle = nullptr;
    ulvo_vfs_async_xfer(&handle, sources, targets,
                        ULVO_VFS_XFER_RECURSIVE | ULVO_VFS_XFER_TARGET_DEFAULT_PERMS,
                        ULVO_VFS_XFER_ERROR_MODE_QUERY, ULVO_VFS_XFER_OVERWRITE_MODE_QUERY, 0,
                        on_update, nullptr, on_sync, &run);
    g_main_loop_run(run.loop);
    g_main_loop_unref(run.loop);
    g_list_free_full(sources, g_free);
    g_list_free_full(targets, g_free);
    if (run.result != ULVO_VFS_OK)
        fprintf(stderr, "transfer ended with %s\n", ulvo_vfs_result_to_string(run.result));
    return run.result == ULVO_VFS_OK;
}

static bool run_command(const std::string &command)
{
    if (system(command.c_str()) == 0)
        return true;
    fprintf(stderr, "failed: %s\n", command.c_str());
    return false;
}

static bool drop_caches()
{
    sync();
    int fd = open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    bool dropped = fd >= 0 && write(fd, "3", 1) == 1;
    if (fd >= 0)
        close(fd);
    return dropped;
}

static int read_whole(const char *path, const struct stat *, int type, struct FTW *)
{
    if (type != FTW_F)
        return 0;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    static std::vector<char> buffer(1 << 20);
    while (fd >= 0 && read(fd, buffer.data(), buffer.size()) > 0) {
    }
    if (fd >= 0)
        close(fd);
    return 0;
}

struct Bench {
    bool drop = true;
    int runs = 3;
};

// The same start for every side: no copy, nothing dirty, the source cold
// (or, where that cannot be, warm).
static void prepare(Bench *bench, const std::string &source, const std::string &target)
{
    run_command("rm -rf '" + target + "'");
    if (bench->drop && drop_caches())
        return;
    if (bench->drop)
        fprintf(stderr, "cannot drop the page cache: the source is read into it instead\n");
    bench->drop = false;
    sync();
    nftw(source.c_str(), read_whole, 16, FTW_PHYS);
}

static double seconds_of(const std::function<bool()> &work, bool *ok)
{
    gint64 start = g_get_monotonic_time();
    *ok = work() && *ok;
    return (g_get_monotonic_time() - start) / 1e6;
}

static double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    size_t n = times.size();
    return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

static std::string listed(const std::vector<double> &times)
{
    std::string text;
    for (double t : times) {
        char one[32];
        snprintf(one, sizeof one, "%s%.2f", text.empty() ? "" : " ", t);
        text += one;
    }
    return text;
}

static std::string load_average()
{
    double load[3] = {};
    FILE *file = fopen("/proc/loadavg", "r");
    if (file && fscanf(file, "%lf %lf %lf", &load[0], &load[1], &load[2]) != 3)
        load[0] = load[1] = load[2] = -1;
    if (file)
        fclose(file);
    char text[64];
    snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

static bool compare(Bench *bench, const char *what, const std::string &source,
                    const std::string &target)
{
    const std::string cp = "cp -r '" + source + "' '" + target + "'";
    std::vector<std::function<bool()>> sides = {
        [&] { return engine_copy(source, target); },
        [&] { return run_command(cp); },
        [&] { return run_command(cp + " && sync"); },
    };
    std::vector<std::vector<double>> times(sides.size());
    std::string load_before = load_average();
    bool ok = true;
    for (int round = 0; round < bench->runs && ok; round++) {
        for (size_t turn = 0; turn < sides.size() && ok; turn++) {
            size_t side = (turn + size_t(round)) % sides.size();
            prepare(bench, source, target);
            times[side].push_back(seconds_of(sides[side], &ok));
        }
    }
    run_command("rm -rf '" + target + "' && sync");
    if (!ok)
        return false;
    double engine = median(times[0]), plain = median(times[1]), synced = median(times[2]);
    printf("%s (%s source, medians of %d; load %s, then %s):\n"
           "  engine %.2f s (%s), cp %.2f s (%s), cp+sync %.2f s (%s)\n"
           "  engine/cp %.2f, engine/(cp+sync) %.2f\n",
           what, bench->drop ? "cold" : "warm", bench->runs, load_before.c_str(),
           load_average().c_str(), engine, listed(times[0]).c_str(), plain,
           listed(times[1]).c_str(), synced, listed(times[2]).c_str(), engine / plain,
           engine / synced);
    fflush(stdout);
    return true;
}

int main(int argc, char **argv)
{
    Bench bench;
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--warm") == 0)
            bench.drop = false;
        else if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            bench.runs = std::max(1, atoi(argv[++i]));
        else
            args.push_back(argv[i]);
    }
    std::string base = args.size() > 0 ? args[0] : "/tmp";
    std::string only = args.size() > 1 ? args[1] : "";
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
    bool big = only != "tree", small = only != "big";
    bool ok =
        (!big || write_data(dir + "/big.bin", BIG_SIZE)) && (!small || make_tree(dir + "/tree"));
    if (!ok)
        perror("making the data");
    sync();
    ok = ok && (!big || compare(&bench, "1 GiB file", dir + "/big.bin", dir + "/big-copy.bin"));
    ok = ok &&
         (!small || compare(&bench, "20,000 files of 4 KiB", dir + "/tree", dir + "/tree-copy"));
    run_command("rm -rf '" + dir + "' && sync");
    return ok ? 0 : 1;
}

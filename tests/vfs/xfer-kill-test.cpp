// A copy killed in the middle (SIGKILL, as by a crash or a pulled battery)
// leaves no half-written file under a final name.
#include "xfer-test-support.h"

#include <signal.h>

namespace
{

using xfer_test::partial_files;
using xfer_test::tree;
using xfer_test::XferTest;

struct Child {
    int ready = -1; // the child writes a byte here at the chosen moment
    int pause = -1; // and then waits for one that never comes
    int reports = 0;
    int kill_after = 0;
};

gint on_update(UlvoVfsAsyncHandle *, UlvoVfsXferProgressInfo *info, gpointer)
{
    return info->status == ULVO_VFS_XFER_PROGRESS_STATUS_OK ? 1 : 0;
}

// Halts the worker (and tells the parent) at the chosen report, or when half
// of the bytes are written.
gint on_sync(UlvoVfsXferProgressInfo *info, gpointer data)
{
    auto *child = static_cast<Child *>(data);
    bool half = info->bytes_total > 0 && info->total_bytes_copied * 2 >= info->bytes_total;
    if (++child->reports == child->kill_after || (child->kill_after == 0 && half)) {
        char byte = 1;
        if (write(child->ready, &byte, 1) == 1)
            (void)read(child->pause, &byte, 1);
    }
    return 1;
}

// Starts a copy in a child process, kills it at the chosen moment and reaps
// it. False when it ended before being killed.
bool copy_and_kill(const std::string &source, const std::string &target, int kill_after)
{
    int ready[2], pause[2];
    if (pipe(ready) != 0 || pipe(pause) != 0)
        return false;
    g_object_unref(g_file_new_for_path("/"));
    pid_t pid = fork();
    if (pid == 0) {
        // Not the default context: GDK's event source there would take the
        // GDK lock this thread held when it forked.
        GMainContext *context = g_main_context_new();
        g_main_context_push_thread_default(context);
        Child child{ready[1], pause[0], 0, kill_after};
        GList *s = g_list_append(nullptr, const_cast<char *>(source.c_str()));
        GList *t = g_list_append(nullptr, const_cast<char *>(target.c_str()));
        UlvoVfsAsyncHandle *handle = nullptr;
        ulvo_vfs_async_xfer(&handle, s, t, ULVO_VFS_XFER_RECURSIVE, ULVO_VFS_XFER_ERROR_MODE_QUERY,
                            ULVO_VFS_XFER_OVERWRITE_MODE_QUERY, 0, on_update, nullptr, on_sync,
                            &child);
        GMainLoop *loop = g_main_loop_new(context, FALSE);
        g_main_loop_run(loop);
        _exit(0);
    }
    close(ready[1]);
    close(pause[0]);
    char byte;
    bool reached = read(ready[0], &byte, 1) == 1;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(ready[0]);
    close(pause[1]);
    return reached;
}

} // namespace

TEST_F(XferTest, KilledCopyLeavesNoHalfWrittenFileUnderAFinalName)
{
    std::string big(48 << 20, '\0');
    for (size_t i = 0; i < big.size(); i += 4096)
        big[i] = char(i / 4096);
    ulvo_test::write_file(path("src/big.bin"), big);
    ulvo_test::make_dir(path("dst"));
    ASSERT_TRUE(copy_and_kill(uri("src/big.bin"), uri("dst/big.bin"), 0));
    EXPECT_FALSE(ulvo_test::path_exists(path("dst/big.bin")));
    // What was written is there, under a name that says what it is.
    EXPECT_EQ(partial_files(path("dst")).size(), 1u);

    // A tree killed at several points: every file with a final name is whole.
    for (int i = 0; i < 40; i++)
        ulvo_test::write_file(path("tree/f" + std::to_string(i)),
                              std::string(5000 + i, 'a' + i % 26));
    auto source = tree(path("tree"));
    for (int point : {8, 60, 150, 230, 245}) {
        std::string target = "copy" + std::to_string(point);
        ASSERT_TRUE(copy_and_kill(uri("tree"), uri(target), point));
        for (const auto &[name, contents] : tree(path(target))) {
            if (ulvo_vfs_xfer_is_partial_name(name.c_str()))
                continue;
            EXPECT_EQ(contents, source.at(name)) << "killed at report " << point << ": " << name;
        }
    }
}

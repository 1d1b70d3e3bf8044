// Transfers between two file systems and onto a full one: small tmpfs
// mounts in a private mount namespace.
#include "support/private-mounts.h"
#include "xfer-test-support.h"

#include <sys/mount.h>

namespace
{

using xfer_test::make_sample_tree;
using xfer_test::partial_files;
using xfer_test::Transfer;
using xfer_test::tree;
using Tree = std::map<std::string, std::string>;

const guint MOVE =
    ULVO_VFS_XFER_RECURSIVE | ULVO_VFS_XFER_REMOVESOURCE | ULVO_VFS_XFER_TARGET_DEFAULT_PERMS;
const guint COPY = ULVO_VFS_XFER_RECURSIVE | ULVO_VFS_XFER_TARGET_DEFAULT_PERMS;

class XferMountsTest : public xfer_test::XferTest
{
  protected:
    // Mounts "a" and "b" in the private namespace; false when the test is
    // to return (it ran in the namespace, or was skipped).
    bool enter(const char *b_options = "size=16m")
    {
        if (!ulvo_test::inside_private_mounts()) {
            ulvo_test::run_in_private_mounts();
            return false;
        }
        ulvo_test::make_dir(path("a"));
        ulvo_test::make_dir(path("b"));
        if (mount("xfer-a", path("a").c_str(), "tmpfs", 0, "size=16m") != 0 ||
            mount("xfer-b", path("b").c_str(), "tmpfs", 0, b_options) != 0) {
            [] { GTEST_SKIP() << "tmpfs cannot be mounted here"; }();
            return false;
        }
        return true;
    }

    void TearDown() override
    {
        if (ulvo_test::inside_private_mounts()) {
            umount2(path("a").c_str(), MNT_DETACH);
            umount2(path("b").c_str(), MNT_DETACH);
        }
    }

    void clear()
    {
        for (const char *side : {"a", "b"}) {
            std::string cmd = "rm -rf '" + path(side) + "'/* '" + path(side) + "'/.[!.]*";
            ASSERT_EQ(system(cmd.c_str()), 0);
        }
    }

    // Every file or link of `source_before` is at exactly one place, whole:
    // at its source, or at its target (where what was there before and was
    // not replaced keeps its old contents), and no temporary is left.
    void expect_each_once(const Tree &source_before, const Tree &target_before,
                          const std::string &context)
    {
        Tree source = tree(path("a/src")), target = tree(path("b/src"));
        for (const auto &[name, contents] : source_before) {
            if (contents == "d")
                continue;
            if (source.count(name)) {
                EXPECT_EQ(source[name], contents) << context << " " << name;
                EXPECT_NE(target[name], contents) << context << " in both places: " << name;
            } else {
                EXPECT_EQ(target[name], contents) << context << " lost: " << name;
            }
        }
        for (const auto &[name, contents] : target_before) {
            if (target[name] != source_before.at(name)) {
                EXPECT_EQ(target[name], contents) << context << " damaged: " << name;
            }
        }
        EXPECT_EQ(partial_files(path("a")), std::vector<std::string>()) << context;
        EXPECT_EQ(partial_files(path("b")), std::vector<std::string>()) << context;
    }

    // Moves a/src to b/src, cancelling at each report in turn (up to 60
    // points spread over the whole run), after `prepare` set the files up.
    void cancel_at_every_point(const std::function<Tree()> &prepare,
                               const std::function<gint(const UlvoVfsXferProgressInfo *)> &answer)
    {
        clear();
        prepare();
        Transfer whole;
        whole.answer = answer;
        whole.run({uri("a/src")}, {uri("b/src")}, MOVE);
        const int reports = int(whole.sync_reports.size());
        const int step = std::max(1, reports / 60);
        for (int point = 1; point < reports; point += step) {
            clear();
            Tree target_before = prepare();
            Tree source_before = tree(path("a/src"));
            Transfer transfer;
            transfer.answer = answer;
            transfer.on_sync = [point](Transfer &t, const UlvoVfsXferProgressInfo *, int number) {
                if (number == point)
                    ulvo_vfs_async_cancel(t.handle);
            };
            int result = transfer.run({uri("a/src")}, {uri("b/src")}, MOVE);
            EXPECT_TRUE(result == ULVO_VFS_ERROR_CANCELLED || result == ULVO_VFS_OK ||
                        result == ULVO_VFS_ERROR_INTERRUPTED)
                << result;
            expect_each_once(source_before, target_before,
                             "cancelled at report " + std::to_string(point));
            if (HasFailure())
                return;
        }
    }
};

gint answer_overwrite(const UlvoVfsXferProgressInfo *info, gint action)
{
    if (info->status == ULVO_VFS_XFER_PROGRESS_STATUS_OK)
        return 1;
    // The folder is merged into; its files are asked about.
    if (info->status == ULVO_VFS_XFER_PROGRESS_STATUS_OVERWRITE && info->top_level_item)
        return ULVO_VFS_XFER_OVERWRITE_ACTION_REPLACE;
    return info->status == ULVO_VFS_XFER_PROGRESS_STATUS_OVERWRITE ? action : 0;
}

} // namespace

TEST_F(XferMountsTest, MoveAcrossFileSystemsLandsExactlyAndEmptiesTheSource)
{
    if (!enter())
        return;
    make_sample_tree(path("a/src"));
    ulvo_test::write_file(path("a/single.txt"), "single");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1200000000, 0}};
    utimensat(AT_FDCWD, path("a/src/sub/deeper/file3.txt").c_str(), times, 0);
    Tree before = tree(path("a/src"));

    Transfer move;
    EXPECT_EQ(
        move.run({uri("a/src"), uri("a/single.txt")}, {uri("b/src"), uri("b/single.txt")}, MOVE),
        ULVO_VFS_OK);
    EXPECT_EQ(tree(path("b/src")), before);
    EXPECT_EQ(tree(path("a")), Tree());
    EXPECT_EQ(tree(path("b")).at("single.txt"), "f:single");
    struct stat st;
    ASSERT_EQ(stat(path("b/src/sub/deeper/file3.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1200000000);
    bool deleted = false;
    for (const auto &r : move.sync_reports)
        deleted = deleted || r.phase == ULVO_VFS_XFER_PHASE_DELETESOURCE;
    EXPECT_TRUE(deleted);
}

TEST_F(XferMountsTest, FullTargetReportsNoSpaceAndKeepsTheSource)
{
    if (!enter("size=1m"))
        return;
    std::string big(3 << 20, 'b');
    ulvo_test::write_file(path("a/big.bin"), big);
    for (guint options : {COPY, MOVE}) {
        Transfer transfer;
        int result = transfer.run({uri("a/big.bin")}, {uri("b/big.bin")}, options);
        EXPECT_EQ(result, ULVO_VFS_ERROR_INTERRUPTED);
        ASSERT_EQ(transfer.questions().size(), 1u);
        EXPECT_EQ(transfer.questions()[0].vfs_status, ULVO_VFS_ERROR_NO_SPACE);
        EXPECT_EQ(transfer.questions()[0].phase, ULVO_VFS_XFER_PHASE_WRITETARGET);
        EXPECT_EQ(transfer.questions()[0].target, uri("b/big.bin"));
        EXPECT_EQ(tree(path("a")), (Tree{{"big.bin", "f:" + big}}));
        EXPECT_EQ(tree(path("b")), Tree());
    }
}

TEST_F(XferMountsTest, CancelAtAnyPointLeavesEveryFileOnceAndWhole)
{
    if (!enter())
        return;
    cancel_at_every_point(
        [this] {
            make_sample_tree(path("a/src"), 10);
            return Tree();
        },
        [](const UlvoVfsXferProgressInfo *) { return 1; });
}

TEST_F(XferMountsTest, SkipOrAbortAtOverwriteQuestionsKeepsEveryFileOnce)
{
    if (!enter())
        return;
    auto prepare = [this] {
        make_sample_tree(path("a/src"), 10);
        ulvo_test::write_file(path("b/src/sub/file2.txt"), "old two");
        ulvo_test::write_file(path("b/src/sub/deeper/file5.txt"), "old five");
        ulvo_test::write_file(path("b/src/top.bin"), "old top");
        return tree(path("b/src"));
    };
    for (gint action :
         {int(ULVO_VFS_XFER_OVERWRITE_ACTION_SKIP), int(ULVO_VFS_XFER_OVERWRITE_ACTION_SKIP_ALL),
          int(ULVO_VFS_XFER_OVERWRITE_ACTION_ABORT)}) {
        cancel_at_every_point(prepare, [action](const UlvoVfsXferProgressInfo *info) {
            return answer_overwrite(info, action);
        });
        if (HasFailure())
            return;
    }
}

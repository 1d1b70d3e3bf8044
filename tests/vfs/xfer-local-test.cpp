// Copy, move and delete on one file system, with real files.
#include "xfer-test-support.h"

#include <set>

namespace
{

using xfer_test::make_sample_tree;
using xfer_test::partial_files;
using xfer_test::Report;
using xfer_test::Transfer;
using xfer_test::tree;
using xfer_test::XferTest;

const guint COPY = ULVO_VFS_XFER_RECURSIVE | ULVO_VFS_XFER_TARGET_DEFAULT_PERMS;
const guint MOVE = COPY | ULVO_VFS_XFER_REMOVESOURCE;
const guint DELETE = ULVO_VFS_XFER_RECURSIVE | ULVO_VFS_XFER_DELETE_ITEMS;

struct stat stat_of(const std::string &path)
{
    struct stat st = {};
    lstat(path.c_str(), &st);
    return st;
}

} // namespace

TEST_F(XferTest, CopyLandsExactlyWithCountsPhasesAndTimes)
{
    make_sample_tree(path("src"));
    ulvo_test::write_file(path("plain.txt"), "plain");
    chmod(path("src/sub/file2.txt").c_str(), 0755);
    struct timespec old_times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
    utimensat(AT_FDCWD, path("src/sub/file2.txt").c_str(), old_times, 0);
    ulvo_test::make_dir(path("dst"));
    auto before = tree(path("src"));

    Transfer run;
    EXPECT_EQ(run.run({uri("src"), uri("plain.txt")}, {uri("dst/src"), uri("dst/plain.txt")}, COPY),
              ULVO_VFS_OK);

    EXPECT_EQ(tree(path("dst/src")), before);
    EXPECT_EQ(tree(path("src")), before);
    EXPECT_EQ(tree(path("dst")).at("plain.txt"), "f:plain");
    EXPECT_TRUE(partial_files(dir_).empty());
    EXPECT_EQ(stat_of(path("dst/src/sub/file2.txt")).st_mtime, 1000000000);
    EXPECT_EQ(stat_of(path("dst/src/sub/file2.txt")).st_mode & 0111, 0111u);

    const auto &reports = run.sync_reports;
    ASSERT_GE(reports.size(), 5u);
    EXPECT_EQ(reports.front().phase, ULVO_VFS_XFER_PHASE_INITIAL);
    const Report &done = reports.back();
    // src, empty, sub, deeper, 6 files, top.bin, 2 links, and plain.txt.
    EXPECT_EQ(done.files_total, 14u);
    EXPECT_EQ(done.bytes_total, guint64((3 << 20) + 1500 * 15 + 5));
    EXPECT_EQ(done.total_bytes_copied, done.bytes_total);
    gulong last_index = 0;
    bool ready = false;
    for (const Report &r : reports) {
        ready = ready || r.phase == ULVO_VFS_XFER_PHASE_READYTOGO;
        if (r.phase > ULVO_VFS_XFER_PHASE_READYTOGO && r.phase != ULVO_VFS_XFER_PHASE_COMPLETED) {
            EXPECT_TRUE(ready);
            EXPECT_EQ(r.files_total, 14u);
            last_index = std::max(last_index, r.file_index);
        }
        // The final name is in every report, never the temporary one.
        EXPECT_EQ(r.target.find(".ulvo-part-"), std::string::npos);
    }
    EXPECT_EQ(last_index, 14u);
}

TEST_F(XferTest, EveryStepBeforeTheItemsReachesTheMainLoopHoweverFastItPasses)
{
    // A small copy passes all its steps within one update interval.
    ulvo_test::write_file(path("one.txt"), "one");
    Transfer run;
    EXPECT_EQ(run.run({uri("one.txt")}, {uri("copy.txt")}, COPY), ULVO_VFS_OK);
    std::set<int> passed, shown;
    for (const Report &r : run.sync_reports)
        if (r.phase <= ULVO_VFS_XFER_PHASE_READYTOGO)
            passed.insert(r.phase);
    for (const Report &r : run.updates)
        if (r.phase <= ULVO_VFS_XFER_PHASE_READYTOGO)
            shown.insert(r.phase);
    EXPECT_TRUE(passed.count(ULVO_VFS_XFER_PHASE_READYTOGO));
    EXPECT_EQ(shown, passed);
}

TEST_F(XferTest, MoveWithinOneFileSystemRenamesTopLevelItems)
{
    make_sample_tree(path("src"));
    ulvo_test::make_dir(path("dst"));
    auto before = tree(path("src"));
    ino_t inode = stat_of(path("src/sub/file0.txt")).st_ino;

    Transfer run;
    EXPECT_EQ(run.run({uri("src")}, {uri("dst/moved")}, MOVE), ULVO_VFS_OK);
    EXPECT_EQ(tree(path("dst/moved")), before);
    EXPECT_FALSE(ulvo_test::path_exists(path("src")));
    EXPECT_EQ(stat_of(path("dst/moved/sub/file0.txt")).st_ino, inode);
    EXPECT_EQ(run.sync_reports.back().files_total, 1u);
}

TEST_F(XferTest, DeleteRemovesTreesButNotWhatLinksPointTo)
{
    make_sample_tree(path("doomed"));
    ulvo_test::write_file(path("kept/target.txt"), "keep me");
    symlink(path("kept").c_str(), path("doomed/sub/to-kept").c_str());
    ulvo_test::write_file(path("single.txt"), "x");

    Transfer run;
    EXPECT_EQ(run.run({uri("doomed"), uri("single.txt")}, {}, DELETE), ULVO_VFS_OK);
    EXPECT_FALSE(ulvo_test::path_exists(path("doomed")));
    EXPECT_FALSE(ulvo_test::path_exists(path("single.txt")));
    EXPECT_EQ(tree(path("kept")).at("target.txt"), "f:keep me");
    const Report &done = run.sync_reports.back();
    EXPECT_EQ(done.files_total, 15u);
    EXPECT_EQ(done.total_bytes_copied, done.bytes_total);

    // The synchronous form, as used to clear a folder before replacing it.
    make_sample_tree(path("again"));
    std::string again = uri("again"), missing = uri("missing");
    GList *list = g_list_append(nullptr, const_cast<char *>(again.c_str()));
    list = g_list_append(list, const_cast<char *>(missing.c_str()));
    EXPECT_EQ(
        ulvo_vfs_xfer_delete_list(list, ULVO_VFS_XFER_ERROR_MODE_ABORT, DELETE, nullptr, nullptr),
        ULVO_VFS_ERROR_NOT_FOUND);
    // Collecting ends at the missing item, before anything was deleted.
    EXPECT_TRUE(ulvo_test::path_exists(path("again/sub/file0.txt")));
    list = g_list_remove(list, missing.c_str());
    EXPECT_EQ(
        ulvo_vfs_xfer_delete_list(list, ULVO_VFS_XFER_ERROR_MODE_ABORT, DELETE, nullptr, nullptr),
        ULVO_VFS_OK);
    g_list_free(list);
    EXPECT_FALSE(ulvo_test::path_exists(path("again")));
}

TEST_F(XferTest, OverwriteAnswersReplaceSkipReplaceAllAndAbort)
{
    auto prepare = [this](const std::string &name) {
        for (const char *f : {"a", "b", "c"}) {
            ulvo_test::write_file(path(name + "/src/" + f), std::string("new ") + f);
            ulvo_test::write_file(path(name + "/dst/" + f), std::string("old ") + f);
        }
    };
    auto files = [this](const std::string &name, const std::string &side) {
        std::vector<std::string> uris;
        for (const char *f : {"a", "b", "c"})
            uris.push_back(uri(name + "/" + side + "/" + f));
        return uris;
    };

    // Replace the first, skip the others: a skipped move source stays.
    prepare("one");
    Transfer one;
    int asked = 0;
    one.answer = [&asked](const UlvoVfsXferProgressInfo *info) {
        if (info->status != ULVO_VFS_XFER_PROGRESS_STATUS_OVERWRITE)
            return 1;
        EXPECT_EQ(info->vfs_status, ULVO_VFS_ERROR_FILE_EXISTS);
        return asked++ == 0 ? int(ULVO_VFS_XFER_OVERWRITE_ACTION_REPLACE)
                            : int(ULVO_VFS_XFER_OVERWRITE_ACTION_SKIP);
    };
    EXPECT_EQ(one.run(files("one", "src"), files("one", "dst"), MOVE), ULVO_VFS_OK);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(tree(path("one/dst")), (std::map<std::string, std::string>{
                                         {"a", "f:new a"}, {"b", "f:old b"}, {"c", "f:old c"}}));
    EXPECT_EQ(tree(path("one/src")),
              (std::map<std::string, std::string>{{"b", "f:new b"}, {"c", "f:new c"}}));

    // Replace all: one question for three conflicts.
    prepare("all");
    Transfer all;
    all.answer = [](const UlvoVfsXferProgressInfo *info) {
        return info->status == ULVO_VFS_XFER_PROGRESS_STATUS_OVERWRITE
                   ? int(ULVO_VFS_XFER_OVERWRITE_ACTION_REPLACE_ALL)
                   : 1;
    };
    EXPECT_EQ(all.run(files("all", "src"), files("all", "dst"), COPY), ULVO_VFS_OK);
    EXPECT_EQ(all.questions().size(), 1u);
    EXPECT_EQ(tree(path("all/dst")).at("c"), "f:new c");

    // Abort at the first question: nothing changes.
    prepare("abort");
    auto untouched = tree(path("abort"));
    Transfer abort;
    abort.answer = [](const UlvoVfsXferProgressInfo *info) {
        return info->status == ULVO_VFS_XFER_PROGRESS_STATUS_OK ? 1 : 0;
    };
    EXPECT_EQ(abort.run(files("abort", "src"), files("abort", "dst"), MOVE),
              ULVO_VFS_ERROR_INTERRUPTED);
    EXPECT_EQ(abort.questions().size(), 1u);
    EXPECT_EQ(tree(path("abort")), untouched);
    EXPECT_TRUE(partial_files(dir_).empty());
}

TEST_F(XferTest, FolderOntoOrIntoItselfIsRefusedBeforeAnyQuestion)
{
    make_sample_tree(path("a"));
    auto before = tree(path("a"));
    for (guint options : {COPY, MOVE}) {
        Transfer onto;
        EXPECT_EQ(onto.run({uri("a")}, {uri("a")}, options), ULVO_VFS_ERROR_INTERRUPTED);
        ASSERT_EQ(onto.questions().size(), 1u);
        EXPECT_EQ(onto.questions()[0].vfs_status, ULVO_VFS_ERROR_DIRECTORY_NOT_EMPTY);
        EXPECT_EQ(onto.questions()[0].source, onto.questions()[0].target);

        Transfer into;
        EXPECT_EQ(into.run({uri("a")}, {uri("a/sub/a")}, options), ULVO_VFS_ERROR_INTERRUPTED);
        ASSERT_EQ(into.questions().size(), 1u);
        EXPECT_EQ(into.questions()[0].vfs_status, ULVO_VFS_ERROR_DIRECTORY_NOT_EMPTY);
        EXPECT_NE(into.questions()[0].source, into.questions()[0].target);
        EXPECT_EQ(tree(path("a")), before);
    }
}

TEST_F(XferTest, VanishedSourceIsReportedAndSkipped)
{
    ulvo_test::write_file(path("here.txt"), "here");
    ulvo_test::make_dir(path("dst"));
    Transfer run;
    run.answer = [](const UlvoVfsXferProgressInfo *info) {
        return info->status == ULVO_VFS_XFER_PROGRESS_STATUS_VFSERROR
                   ? int(ULVO_VFS_XFER_ERROR_ACTION_SKIP)
                   : 1;
    };
    EXPECT_EQ(run.run({uri("gone.txt"), uri("here.txt")},
                      {uri("dst/gone.txt"), uri("dst/here.txt")}, COPY),
              ULVO_VFS_OK);
    ASSERT_EQ(run.questions().size(), 1u);
    EXPECT_EQ(run.questions()[0].vfs_status, ULVO_VFS_ERROR_NOT_FOUND);
    EXPECT_EQ(run.questions()[0].source, uri("gone.txt"));
    EXPECT_EQ(tree(path("dst")), (std::map<std::string, std::string>{{"here.txt", "f:here"}}));
}

// Several copy windows and a tail, copied in the kernel (same file system)
// and through the buffer (from another one, where there is one): the copy is
// whole, and progress comes in steps small enough to show movement and to
// cancel promptly.
TEST_F(XferTest, LargeFileCopiesWholeInPromptSteps)
{
    std::string big((25 << 20) + 4321, '\0');
    for (size_t i = 0; i < big.size(); i += 4096)
        big[i] = char(i / 4096 * 7 + 1);
    big.back() = 'z';
    std::vector<std::string> sources = {path("big.bin")};
    gchar *other = g_strdup("/dev/shm/ulvo-xfer-XXXXXX");
    if (g_mkdtemp(other) && stat_of(other).st_dev != stat_of(dir_).st_dev)
        sources.push_back(std::string(other) + "/big.bin");
    for (const std::string &source : sources) {
        ulvo_test::write_file(source, big);
        gchar *source_uri = g_filename_to_uri(source.c_str(), nullptr, nullptr);
        Transfer run;
        EXPECT_EQ(run.run({source_uri}, {uri("copy.bin")}, COPY), ULVO_VFS_OK);
        g_free(source_uri);
        unlink(source.c_str());
        EXPECT_TRUE(tree(dir_).at("copy.bin") == "f:" + big) << source;
        EXPECT_TRUE(partial_files(dir_).empty());
        guint64 last = 0;
        for (const Report &r : run.sync_reports) {
            if (r.phase != ULVO_VFS_XFER_PHASE_COPYING)
                continue;
            EXPECT_GT(r.total_bytes_copied, last);
            EXPECT_LE(r.total_bytes_copied - last, guint64(8 << 20)) << source;
            last = r.total_bytes_copied;
        }
        EXPECT_EQ(last, big.size());
        unlink(path("copy.bin").c_str());
    }
    rmdir(other);
    g_free(other);
}

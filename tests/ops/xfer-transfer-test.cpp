// Copy, move, delete and rename through the engine on real files: what lands
// where, the replace questions, vanished sources, and cancel from the note.
#include "xfer-fixture.h"

using namespace xfer_app_test;

TEST_F(XferAppTest, CopyMoveAndDeleteLandExactlyAndHoldTheOperationUntilTheEnd)
{
    write_file(from("tree/a.txt"), "alpha");
    write_file(from("tree/deep/b.txt"), std::string(300000, 'b'));
    write_file(from("c.txt"), "gamma");
    LogRecorder log("Kivel");

    run({from("tree"), from("c.txt")}, {to("tree"), to("c.txt")}, XFER_COPY);
    EXPECT_TRUE(started);
    EXPECT_EQ(operation_while_running, OPER_COPY) << "the operation lasts as long as the transfer";
    EXPECT_EQ(read_file(to("tree/a.txt")), "alpha");
    EXPECT_EQ(read_file(to("tree/deep/b.txt")), std::string(300000, 'b'));
    EXPECT_EQ(read_file(to("c.txt")), "gamma");
    EXPECT_EQ(read_file(from("c.txt")), "gamma");
    EXPECT_TRUE(log.contains("note: " + text("ulvo-filemanager", "hfil_nw_preparing")))
        << "the progress note shows";

    ulvo_test::make_dir(root + "/moved");
    run({from("tree"), from("c.txt")}, {root + "/moved/tree", root + "/moved/c.txt"}, XFER_MOVE);
    EXPECT_FALSE(path_exists(from("tree")));
    EXPECT_FALSE(path_exists(from("c.txt")));
    EXPECT_EQ(read_file(root + "/moved/tree/deep/b.txt"), std::string(300000, 'b'));
    EXPECT_EQ(read_file(root + "/moved/c.txt"), "gamma");

    run({root + "/moved/tree", root + "/moved/c.txt"}, {}, XFER_DELETE);
    EXPECT_TRUE(names_in(root + "/moved").empty());
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
    EXPECT_FALSE(log.contains("note: " + text("kivel-common-strings", "sfil_ni_operation_failed")))
        << log.text();
}

TEST_F(XferAppTest, OneYesToReplaceMultipleReplacesAllAndOneNoEndsTheTransfer)
{
    for (const char *name : {"1.txt", "2.txt", "3.txt"}) {
        write_file(from(name), std::string("new ") + name);
        write_file(to(name), "old");
    }
    std::vector<std::string> sources = {from("1.txt"), from("2.txt"), from("3.txt")};
    std::vector<std::string> targets = {to("1.txt"), to("2.txt"), to("3.txt")};
    const std::string question = text("kivel-fm", "docm_nc_replace_multiple");

    NoteWatch *no = answer(question, text("kivel-libs", "wdgt_bd_no"));
    run(sources, targets, XFER_COPY);
    EXPECT_EQ(no->seen, 1);
    for (const char *name : {"1.txt", "2.txt", "3.txt"})
        EXPECT_EQ(read_file(to(name)), "old") << name;
    no->fragment = "never asked again";

    NoteWatch *yes = answer(question, text("kivel-libs", "wdgt_bd_yes"));
    run(sources, targets, XFER_COPY);
    EXPECT_EQ(yes->seen, 1) << "one question for all targets";
    for (const char *name : {"1.txt", "2.txt", "3.txt"})
        EXPECT_EQ(read_file(to(name)), std::string("new ") + name);
}

TEST_F(XferAppTest, AFolderReplacesAFolderWithoutMerging)
{
    write_file(from("album/new.jpg"), "new");
    write_file(to("album/old.jpg"), "old");
    write_file(to("album/inner/older.jpg"), "older");
    const std::string question = text("ulvo-filemanager", "docm_nc_replace_folder");
    NoteWatch *yes = answer(question, text("kivel-libs", "wdgt_bd_yes"));

    run({from("album")}, {to("album")}, XFER_COPY);
    EXPECT_EQ(yes->seen, 1);
    EXPECT_EQ(names_in(to("album")), std::vector<std::string>{"new.jpg"});
    EXPECT_EQ(read_file(from("album/new.jpg")), "new");
}

namespace
{

// Looks at a folder being replaced every millisecond while the transfer
// runs, and notes when some of it is gone and some not yet: the loop turns
// while the old folder is being deleted.
class OldFolderWatch
{
  public:
    OldFolderWatch(std::vector<std::string> sample, std::function<void()> on_partly_gone = {})
        : sample_(std::move(sample)), on_partly_gone_(std::move(on_partly_gone))
    {
        id_ = gdk_threads_add_timeout(1, look, this);
    }
    ~OldFolderWatch() { g_source_remove(id_); }
    OldFolderWatch(const OldFolderWatch &) = delete;
    OldFolderWatch &operator=(const OldFolderWatch &) = delete;

    bool partly_gone = false;

  private:
    static gboolean look(gpointer data)
    {
        auto *self = static_cast<OldFolderWatch *>(data);
        size_t left = count_existing(self->sample_);
        if (!self->partly_gone && left > 0 && left < self->sample_.size()) {
            self->partly_gone = true;
            if (self->on_partly_gone_)
                self->on_partly_gone_();
        }
        return TRUE;
    }
    std::vector<std::string> sample_;
    std::function<void()> on_partly_gone_;
    guint id_ = 0;
};

} // namespace

TEST_F(XferAppTest, ABigFolderIsReplacedWhileTheWindowRunsAndEndsAsItsSource)
{
    write_file(from("album/new.jpg"), "new");
    write_file(from("album/d0/g"), "new g");
    write_file(from("album/inner/deep/n.txt"), "n");
    const auto source_tree = tree_of(from("album"));
    answer(text("ulvo-filemanager", "docm_nc_replace_folder"), text("kivel-libs", "wdgt_bd_yes"));
    LogRecorder log("Kivel");

    {
        OldFolderWatch watch(write_big_tree(to("album"), 20, 100));
        run({from("album")}, {to("album")}, XFER_COPY);
        EXPECT_TRUE(watch.partly_gone) << "the window stood still while the old folder went";
    }
    EXPECT_EQ(tree_of(to("album")), source_tree) << "replaced, not merged";
    EXPECT_EQ(tree_of(from("album")), source_tree);

    // A move within one file system, which renames.
    const std::string other = root + "/other/album";
    {
        OldFolderWatch watch(write_big_tree(other, 20, 100));
        run({from("album")}, {other}, XFER_MOVE);
        EXPECT_TRUE(watch.partly_gone);
    }
    EXPECT_EQ(tree_of(other), source_tree);
    EXPECT_FALSE(path_exists(from("album")));
    EXPECT_FALSE(log.contains("note: " + text("kivel-common-strings", "sfil_ni_operation_failed")))
        << log.text();
}

TEST_F(XferAppTest, StopWhileTheOldFolderGoesLosesNoSourceFile)
{
    write_file(from("album/new.jpg"), "new");
    write_file(from("album/inner/n.txt"), "n");
    const auto source_tree = tree_of(from("album"));
    answer(text("ulvo-filemanager", "docm_nc_replace_folder"), text("kivel-libs", "wdgt_bd_yes"));
    LogRecorder log("Kivel");
    bool stopped = false;

    OldFolderWatch watch(write_big_tree(to("album"), 20, 100), [&] {
        // As a person taps the progress note's button.
        stopped = tap_showing(text("kivel-fm", "docm_bd_moving_files"));
    });
    run({from("album")}, {to("album")}, XFER_MOVE);
    EXPECT_TRUE(watch.partly_gone);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(tree_of(from("album")), source_tree) << "the source is whole";
    for (const auto &entry : tree_of(to("album")))
        EXPECT_EQ(entry.first.compare(0, 1, "d"), 0)
            << "nothing new lands in a half-deleted folder: " << entry.first;
    EXPECT_FALSE(log.contains(text("kivel-common-strings", "sfil_ni_operation_failed")))
        << "a stop needs no notice: " << log.text();
}

TEST_F(XferAppTest, NoToReplacingAMovedFileKeepsBothFiles)
{
    // The stopped move must not take the source because a file of the same
    // name waits at the target: that file is another one.
    write_file(from("report.txt"), "mine");
    write_file(to("report.txt"), "theirs");
    write_file(from("zz.txt"), "later");
    NoteWatch *no =
        answer(text("kivel-fm", "docm_nc_replace_file"), text("kivel-libs", "wdgt_bd_no"));

    run({from("report.txt"), from("zz.txt")}, {to("report.txt"), to("zz.txt")}, XFER_MOVE);
    EXPECT_EQ(no->seen, 1);
    EXPECT_EQ(read_file(from("report.txt")), "mine");
    EXPECT_EQ(read_file(to("report.txt")), "theirs");
    EXPECT_EQ(read_file(from("zz.txt")), "later") << "the transfer ended at the answer";
}

TEST_F(XferAppTest, VanishedSourcesOfACopyAreSkipped)
{
    write_file(from("here.txt"), "here");
    LogRecorder log("Kivel");
    const std::string nothing = text("kivel-common-strings", "ecoc_ib_edwin_nothing_to_paste");

    run({from("gone.txt"), from("here.txt")}, {to("gone.txt"), to("here.txt")}, XFER_COPY);
    EXPECT_EQ(read_file(to("here.txt")), "here");
    EXPECT_FALSE(log.contains("banner: " + nothing)) << "something was copied";
    EXPECT_FALSE(log.contains("note: " + text("kivel-common-strings", "sfil_ni_operation_failed")));

    run({from("gone1.txt"), from("gone2.txt")}, {to("gone1.txt"), to("gone2.txt")}, XFER_COPY);
    EXPECT_TRUE(log.contains("banner: " + nothing)) << log.text();
    EXPECT_EQ(names_in(root + "/to"), std::vector<std::string>{"here.txt"});
}

TEST_F(XferAppTest, ARenameShowsNoNoteAndMovesTheCursorToItsTarget)
{
    write_file(from("before.txt"), "text");
    LogRecorder log("Kivel");
    global_ofm->cur_operation = OPER_RENAME;
    global_ofm->xfer_started = FALSE;
    GList *s = files({from("before.txt")});
    GList *t = files({from("after.txt")});
    xfer_uri(s, t, main_window(), XFER_RENAME, 0, 0, 0);
    g_list_free(s);
    g_list_free(t);
    EXPECT_TRUE(global_ofm->xfer_started);
    ASSERT_TRUE(ulvo_test::pump_until([] { return global_ofm->cur_operation == OPER_NONE; }));
    EXPECT_EQ(read_file(from("after.txt")), "text");
    EXPECT_FALSE(path_exists(from("before.txt")));
    EXPECT_FALSE(log.contains("note:")) << log.text();
}

TEST_F(XferAppTest, MissingArgumentsLaunchNothing)
{
    write_file(from("a.txt"), "a");
    global_ofm->xfer_started = FALSE;
    GList *s = files({from("a.txt")});
    xfer_uri(s, nullptr, main_window(), XFER_COPY, 0, 0, 0);
    g_list_free(s);
    EXPECT_FALSE(global_ofm->xfer_started);
    EXPECT_TRUE(global_ofm->xfer_callback_data_freed);
    EXPECT_TRUE(path_exists(from("a.txt")));
}

TEST_F(XferAppTest, CancelFromTheNoteLosesNothing)
{
    const std::string chunk(1 << 20, 'x');
    std::vector<std::string> sources, targets;
    for (int i = 0; i < 40; i++) {
        std::string name = "f" + std::to_string(i) + ".bin";
        write_file(from(name), chunk + std::to_string(i));
        sources.push_back(from(name));
        targets.push_back(to(name));
    }
    {
        XferKind kind = XFER_COPY;
        NoteWatch *cancel =
            watch(text("ulvo-filemanager", "docm_nw_duplicating_file"), [](GtkWidget *note) {
                gtk_dialog_response(GTK_DIALOG(note), GTK_RESPONSE_CANCEL);
            });
        run(sources, targets, kind);
        EXPECT_EQ(cancel->seen, 1) << kind;
        for (int i = 0; i < 40; i++) {
            std::string name = "f" + std::to_string(i) + ".bin";
            bool at_source = path_exists(from(name)), at_target = path_exists(to(name));
            EXPECT_TRUE(at_source) << name << " stays where it was";
            if (at_target) {
                EXPECT_EQ(read_file(to(name)), chunk + std::to_string(i)) << name << " is whole";
            }
        }
        for (const std::string &name : names_in(root + "/to"))
            EXPECT_FALSE(ulvo_vfs_xfer_is_partial_name(name.c_str())) << name;
    }
}

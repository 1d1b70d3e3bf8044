// A small file system of its own that fills up; the case runs in a
// private mount namespace.
#include "support/private-mounts.h"
#include "xfer-fixture.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <atomic>

using namespace xfer_app_test;

namespace
{

class XferMountsTest : public XferAppTest
{
  protected:
    // False when the case ran (or was skipped) in the namespace copy.
    bool enter()
    {
        if (!ulvo_test::inside_private_mounts()) {
            ulvo_test::run_in_private_mounts();
            return false;
        }
        return true;
    }

    bool mount_on(const std::string &folder, const char *options)
    {
        if (mount("xfer-app", folder.c_str(), "tmpfs", 0, options) != 0)
            return false;
        mounted_.push_back(folder);
        return true;
    }

    void TearDown() override
    {
        for (auto it = mounted_.rbegin(); it != mounted_.rend(); ++it)
            umount2(it->c_str(), MNT_DETACH);
        XferAppTest::TearDown();
    }

    std::vector<std::string> mounted_;
};

std::string full_note()
{
    return "note: " + text("kivel-common-strings", "sfil_ni_not_enough_memory");
}

} // namespace

TEST_F(XferMountsTest, AFullTargetEndsWithTheNoteAndLosesNothing)
{
    if (!enter())
        return;
    if (!mount_on(root + "/to", "size=8m"))
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    const std::string ok = text("kivel-common-strings", "sfil_ni_not_enough_memory_ok");
    answer(text("kivel-common-strings", "sfil_ni_not_enough_memory"), ok);

    // Counted before the first byte: 6 MiB do not fit beside the reserve.
    write_file(from("big.bin"), std::string(6 << 20, 'b'));
    {
        LogRecorder kivel("Kivel"), app("filemanager");
        run({from("big.bin")}, {to("big.bin")}, XFER_COPY);
        EXPECT_TRUE(kivel.contains(full_note())) << kivel.text();
        EXPECT_FALSE(app.contains("PROGRESS ERROR")) << "nothing was tried: " << app.text();
        EXPECT_TRUE(names_in(root + "/to").empty());
    }

    // Fits when counted, then the target fills up while the file is written:
    // the file it was to replace stays, the source stays, no leftover.
    write_file(from("song.bin"), std::string(3 << 20, 's'));
    write_file(to("song.bin"), "the old song");
    NoteWatch *fill = watch(text("kivel-fm", "docm_nc_replace_file"), [this](GtkWidget *note) {
        write_file(to("filler"), std::string(6 << 20, 'f'));
        notices_test::click(note, text("kivel-libs", "wdgt_bd_yes"));
    });
    LogRecorder kivel("Kivel");
    run({from("song.bin")}, {to("song.bin")}, XFER_MOVE);
    EXPECT_EQ(fill->seen, 1);
    EXPECT_TRUE(kivel.contains(full_note())) << kivel.text();
    EXPECT_EQ(read_file(from("song.bin")), std::string(3 << 20, 's'));
    EXPECT_EQ(read_file(to("song.bin")), "the old song");
    EXPECT_EQ(names_in(root + "/to"), (std::vector<std::string>{"filler", "song.bin"}));
}

TEST_F(XferMountsTest, AnOldFolderThatCannotGoEndsWithItsTextAndKeepsTheSource)
{
    if (!enter())
        return;
    const std::string sealed = to("album/sealed");
    ulvo_test::make_dir(sealed);
    if (!mount_on(sealed, "size=1m"))
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    write_file(sealed + "/kept.jpg", "kept");
    ASSERT_EQ(mount(nullptr, sealed.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    write_file(from("album/new.jpg"), "new");
    write_file(from("album/inner/n.txt"), "n");
    const auto source_tree = tree_of(from("album"));
    answer(text("ulvo-filemanager", "docm_nc_replace_folder"), text("kivel-libs", "wdgt_bd_yes"));
    std::string read_only = text("ulvo-filemanager", "sfil_ib_unable_to_continue_read_only_folder");
    read_only.replace(read_only.find("%s"), 2, "sealed");

    for (XferKind kind : {XFER_MOVE, XFER_COPY}) {
        LogRecorder log("Kivel");
        run({from("album")}, {to("album")}, kind);
        EXPECT_TRUE(log.contains(read_only)) << kind << ": " << log.text();
        EXPECT_EQ(tree_of(from("album")), source_tree) << kind;
        EXPECT_EQ(tree_of(to("album")), (std::map<std::string, std::string>{
                                            {"sealed/", ""}, {"sealed/kept.jpg", "kept"}}))
            << kind << ": nothing lands beside what could not go";
    }
}

namespace
{

// Stops the transfer at its `stop_at`-th report.
struct ReportCounter {
    std::atomic<int> seen{0};
    int stop_at = 0;
};

gboolean count_report(const UlvoVfsXferProgressInfo *, gpointer data)
{
    auto *counter = static_cast<ReportCounter *>(data);
    return ++counter->seen != counter->stop_at;
}

} // namespace

TEST_F(XferMountsTest, AMoveAcrossFileSystemsStoppedAnywhereLeavesEveryFileOnceAndWhole)
{
    if (!enter())
        return;
    if (!mount_on(root + "/to", "size=16m"))
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    const std::vector<std::string> items = {"a.bin", "Album", "m.bin", "z.bin", "empty.txt"};
    const std::vector<std::string> files = {
        "a.bin", "Album/p1.bin", "Album/p2.bin", "Album/Deep/d.bin", "m.bin", "z.bin", "empty.txt"};
    auto contents = [](const std::string &name) {
        return name == "empty.txt" ? std::string() : std::string(300000, 'x') + name;
    };
    std::vector<std::string> sources, targets;
    for (const std::string &item : items) {
        sources.push_back(from(item));
        targets.push_back(to(item));
    }
    NoteWatch *no =
        answer(text("kivel-fm", "docm_nc_replace_file"), text("kivel-libs", "wdgt_bd_no"));
    ReportCounter counter;
    xfer_set_report_observer(count_report, &counter);

    // With a file waiting at the target, the "no" ends the move at the
    // question unless the stop came first.
    for (bool question : {false, true}) {
        for (int stop_at = 1; stop_at <= 200; stop_at += question ? 2 : 1) {
            SCOPED_TRACE(std::string(question ? "with a question, " : "") + "stopped at report " +
                         std::to_string(stop_at));
            remove_tree(root + "/from");
            for (const std::string &name : names_in(root + "/to"))
                remove_tree(to(name));
            for (const std::string &name : files)
                write_file(from(name), contents(name));
            if (question)
                write_file(to("m.bin"), "theirs");
            counter.seen = 0;
            counter.stop_at = stop_at;
            no->seen = 0;
            run(sources, targets, XFER_MOVE, 0, false);
            bool asked = no->seen > 0;
            for (const std::string &name : files) {
                bool here = path_exists(from(name)), there = path_exists(to(name));
                if (question && name == "m.bin") {
                    EXPECT_EQ(read_file(from(name)), contents(name));
                    EXPECT_EQ(read_file(to(name)), "theirs");
                    continue;
                }
                EXPECT_NE(here, there) << name << " is in exactly one place";
                EXPECT_TRUE(read_file(there ? to(name) : from(name)) == contents(name))
                    << name << " is whole";
            }
            for (const auto &entry : tree_of(root + "/to")) {
                gchar *base = g_path_get_basename(entry.first.c_str());
                EXPECT_FALSE(ulvo_vfs_xfer_is_partial_name(base)) << entry.first;
                g_free(base);
            }
            EXPECT_EQ(asked, question && counter.seen < stop_at);
            if (counter.seen < stop_at)
                break; // ended before that report: later ones stop nothing new
        }
    }
    xfer_set_report_observer(nullptr, nullptr);
}

namespace
{

// Pulls the card mounted at `card` when the transfer reaches `phase` of its
// `at_file`-th item.
struct CardPull {
    std::string card;
    UlvoVfsXferPhase phase;
    gulong at_file = 3;
    std::atomic<bool> pulled{false};
};

gboolean pull_card(const UlvoVfsXferProgressInfo *info, gpointer data)
{
    auto *pull = static_cast<CardPull *>(data);
    if (!pull->pulled && info->phase == pull->phase && info->file_index == pull->at_file &&
        info->status == ULVO_VFS_XFER_PROGRESS_STATUS_OK)
        pull->pulled = umount2(pull->card.c_str(), MNT_DETACH) == 0;
    return TRUE;
}

} // namespace

TEST_F(XferMountsTest, ACardPulledMidTransferEndsWithItsTextAndLosesNoSource)
{
    if (!enter())
        return;
    const std::string gone =
        text("kivel-common-strings", "sfil_ni_cannot_continue_target_folder_deleted");
    NoteWatch *read = answer(
        gone, text("kivel-common-strings", "sfil_ni_cannot_continue_target_folder_deleted_ok"));
    std::vector<std::string> names, sources, targets;
    for (int i = 1; i <= 6; i++) {
        names.push_back("f" + std::to_string(i) + ".bin");
        sources.push_back(from(names.back()));
        targets.push_back(to(names.back()));
    }
    auto contents = [](const std::string &name) { return std::string(200000, 'c') + name; };

    // Before a file is begun, and with one written but not yet in place.
    for (UlvoVfsXferPhase phase :
         {ULVO_VFS_XFER_PHASE_OPENTARGET, ULVO_VFS_XFER_PHASE_CLOSESOURCE}) {
        for (XferKind kind : {XFER_COPY, XFER_MOVE}) {
            SCOPED_TRACE("kind " + std::to_string(kind) + ", phase " + std::to_string(phase));
            remove_tree(root + "/from");
            for (const std::string &name : names)
                write_file(from(name), contents(name));
            if (!mount_on(root + "/to", "size=16m"))
                GTEST_SKIP() << "tmpfs cannot be mounted here";
            // The card stays readable through this after it is pulled.
            int card_fd = open((root + "/to").c_str(), O_RDONLY | O_DIRECTORY);
            ASSERT_GE(card_fd, 0);
            const std::string card = "/proc/self/fd/" + std::to_string(card_fd);
            CardPull pull;
            pull.card = root + "/to";
            pull.phase = phase;
            xfer_set_report_observer(pull_card, &pull);
            read->seen = 0;
            LogRecorder log("Kivel");
            run(sources, targets, kind);
            xfer_set_report_observer(nullptr, nullptr);

            EXPECT_TRUE(pull.pulled);
            EXPECT_TRUE(log.contains("note: " + gone)) << log.text();
            EXPECT_EQ(read->seen, 1);
            EXPECT_TRUE(names_in(root + "/to").empty())
                << "nothing lands beneath where the card was";
            for (const std::string &name : names) {
                bool here = path_exists(from(name)), there = path_exists(card + "/" + name);
                if (kind == XFER_COPY)
                    EXPECT_TRUE(here) << name;
                else
                    EXPECT_NE(here, there) << name << " is in exactly one place";
                EXPECT_EQ(read_file(here ? from(name) : card + "/" + name), contents(name))
                    << name << " is whole";
            }
            EXPECT_TRUE(path_exists(from("f3.bin")) && path_exists(from("f6.bin")))
                << "what came after the pull stays";
            close(card_fd);
            mounted_.clear();
            // Nothing stays open over the window.
            EXPECT_FALSE(dialog_showing());
            EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
        }
    }
}

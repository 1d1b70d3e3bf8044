// Moving and copying from the context menu and the wrappers: the folder
// chooser, its refusals, the names of targets, what is left out, replace
// questions and a stopped move, all on real files.
#include "command-fixture.h"
#include "support/private-mounts.h"

#include <glib/gstdio.h>
#include <sys/mount.h>

using namespace command_test;

TEST_F(CommandTest, MoveAndCopyLandWhereChosenAndTheWindowFollows)
{
    write_files({{"work/a.txt", "a"}, {"work/Album/p.jpg", "p"}, {"work/Images/x.jpg", "x"}});
    ulvo_test::make_dir(path("dest"));
    start("work");

    select({"work/a.txt"});
    {
        ChooserPerson person({choose(uri("dest"))});
        tap("Copy");
        EXPECT_EQ(person.title, text("ulvo-filemanager", "hfil_ti_copy_to"));
        EXPECT_TRUE(started);
        EXPECT_EQ(operation_after_command, OPER_COPY) << "the transfer still runs";
        ASSERT_TRUE(xfer_app_test::await_transfer_end());
    }
    EXPECT_EQ(read_file(path("dest/a.txt")), "a");
    EXPECT_EQ(read_file(path("work/a.txt")), "a");
    EXPECT_EQ(browser_test::current_folder(browser), uri("dest"));

    show("work");
    select({"work/Album"});
    {
        ChooserPerson person({choose(uri("dest"))});
        tap("Move");
        EXPECT_EQ(person.title, text("kivel-fm", "ckdg_ti_move_to_folder"));
        EXPECT_EQ(operation_after_command, OPER_MOVE);
        ASSERT_TRUE(xfer_app_test::await_transfer_end());
    }
    EXPECT_EQ(read_file(path("dest/Album/p.jpg")), "p");
    EXPECT_FALSE(path_exists(path("work/Album")));
    EXPECT_EQ(browser_test::current_folder(browser), uri("dest"));

    // Beside the special folder of that name, a copy gets a number.
    show("work");
    select({"work/Images"});
    {
        ChooserPerson person({choose(uri(""))});
        tap("Copy");
        ASSERT_TRUE(xfer_app_test::await_transfer_end());
    }
    EXPECT_EQ(read_file(path("Images (1)/x.jpg")), "x");
    EXPECT_EQ(read_file(path("work/Images/x.jpg")), "x");
}

TEST_F(CommandTest, NothingGoesIntoItselfOntoItsFolderOrWhereItCannotBeWritten)
{
    write_file(path("work/A/B/in.txt"), "in");
    write_file(path("work/f.txt"), "f");
    write_file(path("work/x/b/b/deep.txt"), "deep");
    ulvo_test::make_dir(path("work/ro"));
    g_chmod(path("work/ro").c_str(), 0555);
    start("work");
    LogRecorder log("Kivel");
    auto count = [&](const std::string &line) {
        size_t n = 0;
        for (size_t at = log.text().find(line); at != std::string::npos;
             at = log.text().find(line, at + 1))
            n++;
        return n;
    };

    select({"work/A"});
    {
        // Each refusal leaves the chooser open for another choice.
        ChooserPerson person({choose(uri("work/A/B")), choose(uri("work/A")), choose(uri("work")),
                              choose(uri("work/ro")), cancel()});
        tap("Move");
        EXPECT_EQ(person.left(), 0u);
    }
    EXPECT_EQ(count(banner("kivel-common-strings", "ckdg_ib_unable_to_move_folder_into_itself")),
              2u)
        << log.text();
    EXPECT_EQ(count(banner("kivel-common-strings", "ckdg_ib_unable_to_move_to_current_location")),
              1u);
    EXPECT_EQ(count(banner("kivel-fm", "sfil_ib_readonly_location")), 1u);
    EXPECT_FALSE(started);
    EXPECT_EQ(operation_after_command, OPER_NONE);
    EXPECT_EQ(global_ofm->registered_dialog, nullptr);

    select({"work/A"});
    {
        ChooserPerson person({choose(uri("work")), choose(uri("work/A/B")), cancel()});
        tap("Copy");
        EXPECT_EQ(person.left(), 0u);
    }
    EXPECT_EQ(count(banner("kivel-fm", "sfil_ib_file_already_saved")), 1u) << log.text();
    EXPECT_EQ(count(banner("kivel-common-strings", "ckdg_ib_unable_to_copy_folder_into_itself")),
              1u);

    // x/b/b to x would land on x/b, which holds it.
    show("work/x/b");
    select({"work/x/b/b"});
    {
        ChooserPerson person({choose(uri("work/x")), cancel()});
        tap("Move");
    }
    EXPECT_EQ(count(banner("kivel-common-strings",
                           "sfil_ib_unable_to_copy_or_move_a_subfolder_within_original_folder")),
              1u)
        << log.text();
    EXPECT_EQ(read_file(path("work/A/B/in.txt")), "in");
    EXPECT_EQ(read_file(path("work/x/b/b/deep.txt")), "deep");
    EXPECT_EQ(names_in(path("work/ro")).size(), 0u);
    EXPECT_EQ(names_in(path("work/A/B")), std::vector<std::string>{"in.txt"});
}

TEST_F(CommandTest, LockedSpecialAndVanishedItemsGiveTheirTexts)
{
    write_file(path("work/locked.txt"), "l");
    g_chmod(path("work/locked.txt").c_str(), 0444);
    write_file(path("work/Sealed/in.txt"), "s");
    g_chmod(path("work/Sealed").c_str(), 0555);
    write_file(path("work/gone.txt"), "g");
    ulvo_test::make_dir(path("dest"));
    start("work");
    LogRecorder log("Kivel");

    // Not offered in the menu; an edit window reaches the command.
    {
        ChooserPerson never({cancel()});
        select({"work/locked.txt"});
        run(on_popup_move_activate);
        EXPECT_TRUE(log.contains(banner("kivel-fm", "sfil_ib_cannot_move_file"))) << log.text();
        select({"work/Sealed"});
        run(on_popup_move_activate);
        EXPECT_TRUE(
            log.contains(banner("kivel-common-strings", "sfil_ib_unable_to_move_selected_folder")));
        show("");
        select({".images"});
        run(on_popup_move_activate);
        EXPECT_EQ(never.left(), 1u) << "no chooser for what may not move";
        EXPECT_EQ(operation_after_command, OPER_NONE);
    }

    // The file goes while the chooser is open.
    show("work");
    select({"work/gone.txt"});
    ChooserPerson person({[&](GtkWidget *chooser) {
        g_unlink(path("work/gone.txt").c_str());
        choose(uri("dest"))(chooser);
    }});
    tap("Move");
    ASSERT_TRUE(xfer_app_test::await_transfer_end());
    EXPECT_TRUE(
        log.contains("note: " + text("ulvo-filemanager", "sfil_ni_cannot_move_file_not_found")))
        << log.text();
    EXPECT_EQ(names_in(path("dest")).size(), 0u);
    EXPECT_EQ(read_file(path("work/locked.txt")), "l");
    EXPECT_EQ(read_file(path("work/Sealed/in.txt")), "s");
}

TEST_F(CommandTest, AMoveLeavesOutSpecialFoldersAndSaysSo)
{
    write_file(path("plain.txt"), "p");
    write_file(path(".images/kept.jpg"), "k");
    ulvo_test::make_dir(path("dest"));
    start("");
    LogRecorder log("Kivel");

    select({"plain.txt", ".images"});
    ChooserPerson person({choose(uri("")), choose(uri("dest"))});
    run(on_popup_move_activate);
    EXPECT_EQ(person.left(), 0u);
    ASSERT_TRUE(started);
    ASSERT_TRUE(xfer_app_test::await_transfer_end());
    EXPECT_TRUE(
        log.contains(banner("kivel-common-strings", "ckdg_ib_unable_to_move_to_current_location")));
    // Counted in the first round, told at the end of the second.
    EXPECT_TRUE(log.contains("note: " + text("ulvo-filemanager", "sfil_ni_cannot_move_some_items")))
        << log.text();
    EXPECT_EQ(read_file(path("dest/plain.txt")), "p");
    EXPECT_EQ(read_file(path(".images/kept.jpg")), "k");
}

TEST_F(CommandTest, OneAnswerToReplaceMultipleHoldsForAll)
{
    for (const char *name : {"1.txt", "2.txt", "3.txt"}) {
        write_file(path(std::string("work/") + name), std::string("new ") + name);
        write_file(path(std::string("dest/") + name), "old");
    }
    start("work");
    const std::string multiple = "note: " + text("kivel-fm", "docm_nc_replace_multiple");

    select({"work/1.txt", "work/2.txt", "work/3.txt"});
    {
        LogRecorder log("Kivel");
        NotePerson answer(no());
        ChooserPerson person({choose(uri("dest"))});
        run(on_popup_copy_activate);
        ASSERT_TRUE(xfer_app_test::await_transfer_end());
        EXPECT_EQ(answer.taps, 1);
        EXPECT_TRUE(log.contains(multiple)) << log.text();
    }
    for (const char *name : {"1.txt", "2.txt", "3.txt"})
        EXPECT_EQ(read_file(path(std::string("dest/") + name)), "old") << name;

    show("work");
    select({"work/1.txt", "work/2.txt", "work/3.txt"});
    {
        NotePerson answer(yes());
        ChooserPerson person({choose(uri("dest"))});
        run(on_popup_move_activate);
        ASSERT_TRUE(xfer_app_test::await_transfer_end());
        EXPECT_EQ(answer.taps, 1) << "one question for all";
    }
    for (const char *name : {"1.txt", "2.txt", "3.txt"}) {
        EXPECT_EQ(read_file(path(std::string("dest/") + name)), std::string("new ") + name);
        EXPECT_FALSE(path_exists(path(std::string("work/") + name)));
    }
}

TEST_F(CommandTest, TheChooserClosesWhenTheSelectionChangesAndTheFolderItselfMoves)
{
    write_files({{"work/a.txt", "a"}, {"work/b.txt", "b"}, {"work/Trip/t.jpg", "t"}});
    ulvo_test::make_dir(path("dest"));
    start("work");

    select({"work/a.txt"});
    {
        FirstSightPerson person([this] {
            kivel_file_selection_unselect_all(fs);
            kivel_file_selection_select_uri(fs, uri("work/b.txt").c_str());
        });
        tap("Move");
        EXPECT_TRUE(person.seen);
    }
    EXPECT_EQ(showing_dialogs().chooser, nullptr);
    EXPECT_EQ(global_ofm->registered_dialog, nullptr);
    EXPECT_EQ(operation_after_command, OPER_NONE);
    EXPECT_EQ(names_in(path("work")), (std::vector<std::string>{"Trip", "a.txt", "b.txt"}));

    // Nothing selected: the menu offered to move the folder one stands in.
    show("work/Trip");
    {
        ChooserPerson person({choose(uri("dest"))});
        tap("Move");
        ASSERT_TRUE(started);
        ASSERT_TRUE(xfer_app_test::await_transfer_end());
    }
    EXPECT_EQ(read_file(path("dest/Trip/t.jpg")), "t");
    EXPECT_FALSE(path_exists(path("work/Trip")));
    EXPECT_EQ(browser_test::current_folder(browser), uri("dest"));
}

// The card is a file system of its own, so the move copies and deletes.
class StoppedMove : public CommandTest
{
  protected:
    void TearDown() override
    {
        if (mounted)
            umount2(path("card").c_str(), MNT_DETACH);
        CommandTest::TearDown();
    }
    bool mounted = false;
};

TEST_F(StoppedMove, AStoppedMoveLeavesEveryFileOnceAndWhole)
{
    if (!ulvo_test::inside_private_mounts()) {
        ulvo_test::run_in_private_mounts();
        return;
    }
    ulvo_test::make_dir(path("card"));
    mounted = mount("card", path("card").c_str(), "tmpfs", 0, "size=32m") == 0;
    if (!mounted)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    const std::string chunk(1 << 20, 'x');
    std::vector<std::string> files;
    for (const char *name : {"a1.bin", "a2.bin", "a3.bin", "Album/p1.bin", "Album/p2.bin", "m.bin",
                             "z1.bin", "z2.bin"}) {
        write_file(path(std::string("work/") + name), chunk + name);
        files.push_back(name);
    }
    // The question about m.bin holds the move in the middle.
    write_file(path("card/m.bin"), "theirs");
    start("work");

    select({"work/Album", "work/a1.bin", "work/a2.bin", "work/a3.bin", "work/m.bin", "work/z1.bin",
            "work/z2.bin"});
    // Stop on the progress note first, then say yes to the question.
    NotePerson answer(yes(), [] {
        for (GtkWidget *note : showing_dialogs().notes)
            if (!ulvo_test::find_button(note, yes()))
                gtk_dialog_response(GTK_DIALOG(note), GTK_RESPONSE_CANCEL);
    });
    ChooserPerson person({choose(uri("card"))});
    LogRecorder log("Kivel");
    run(on_popup_move_activate);
    EXPECT_EQ(operation_after_command, OPER_MOVE);
    ASSERT_TRUE(xfer_app_test::await_transfer_end());
    EXPECT_EQ(answer.taps, 1) << log.text();

    int moved = 0;
    for (const std::string &name : files) {
        bool here = path_exists(path("work/" + name));
        bool there = path_exists(path("card/" + name));
        if (name == "m.bin") {
            EXPECT_TRUE(read_file(path("work/m.bin")) == chunk + name) << "the stop keeps it";
            EXPECT_EQ(read_file(path("card/m.bin")), "theirs");
            continue;
        }
        EXPECT_NE(here, there) << name << " is in exactly one place";
        EXPECT_TRUE(read_file(path((there ? "card/" : "work/") + name)) == chunk + name)
            << name << " is whole";
        moved += there ? 1 : 0;
    }
    EXPECT_GT(moved, 0) << "stopped in the middle";
    EXPECT_TRUE(path_exists(path("work/z2.bin"))) << "nothing after the stop moved";
    for (const std::string &name : names_in(path("card")))
        EXPECT_FALSE(ulvo_vfs_xfer_is_partial_name(name.c_str())) << name;
}

// Deleting from the context menu and from the wrappers the edit window
// uses: the question asked, what is refused, what is left out.
#include "command-fixture.h"

#include <glib/gstdio.h>

using namespace command_test;

namespace
{

std::string question(const char *catalog, const char *id, const std::string &name = "")
{
    return "note: " + text(catalog, id) + (name.empty() ? "" : "\n" + name);
}

} // namespace

TEST_F(CommandTest, DeleteFromTheContextMenuAsksFirstAndHoldsTheOperationUntilTheEnd)
{
    write_file(path("work/note.txt"), "n");
    write_file(path("work/Trip/a.jpg"), "a");
    start("work");
    LogRecorder log("Kivel");

    select({"work/Trip"});
    {
        NotePerson person(no());
        tap("Delete");
        EXPECT_EQ(person.taps, 1);
    }
    EXPECT_TRUE(log.contains(question("ulvo-filemanager", "docm_nc_delete_folder", "Trip")))
        << log.text();
    EXPECT_FALSE(started);
    EXPECT_EQ(operation_after_command, OPER_NONE) << "no transfer, no operation";
    EXPECT_EQ(read_file(path("work/Trip/a.jpg")), "a");

    select({"work/note.txt"});
    {
        NotePerson person(yes());
        tap("Delete");
        EXPECT_TRUE(started);
        EXPECT_EQ(operation_after_command, OPER_DELETE) << "the transfer still runs";
        ASSERT_TRUE(xfer_app_test::await_transfer_end());
    }
    EXPECT_TRUE(log.contains(question("ulvo-filemanager", "docm_nc_delete_file", "note.txt")))
        << log.text();
    EXPECT_FALSE(path_exists(path("work/note.txt")));
    EXPECT_TRUE(path_exists(path("work/Trip/a.jpg")));
}

TEST_F(CommandTest, TheQuestionFitsWhatIsSelected)
{
    for (const char *name : {"f1.txt", "f2.txt", "f3.txt", "r1.txt", "r2.txt", "r3.txt"})
        write_file(path(std::string("work/") + name), name);
    for (const char *name : {"r1.txt", "r2.txt", "r3.txt"})
        g_chmod(path(std::string("work/") + name).c_str(), 0444);
    write_file(path("work/A/in.txt"), "in");
    write_file(path("work/B/in.txt"), "in");
    start("work");
    NotePerson person(no());

    struct Case {
        std::initializer_list<std::string> items;
        const char *id;
    } cases[] = {
        {{"work/f1.txt", "work/f2.txt", "work/f3.txt"}, "docm_nc_delete_files"},
        {{"work/r1.txt", "work/r2.txt", "work/r3.txt"}, "sfil_nc_delete_read_only_files"},
        {{"work/f1.txt", "work/r1.txt", "work/r2.txt"}, "sfil_nc_delete_partially_read_only_items"},
        {{"work/A", "work/B"}, "docm_nc_delete_folders"},
        {{"work/A", "work/f1.txt"}, "docm_nc_delete_folder_and_file"},
        {{"work/A", "work/B", "work/f1.txt"}, "docm_nc_delete_folders_and_file"},
        {{"work/A", "work/f1.txt", "work/f2.txt"}, "docm_nc_delete_folder_and_files"},
        {{"work/A", "work/B", "work/f1.txt", "work/f2.txt"}, "docm_nc_delete_folders_and_files"},
        {{"work/A", "work/r1.txt"}, "sfil_nc_delete_partially_read_only_items"},
    };
    for (const Case &c : cases) {
        select(c.items);
        LogRecorder log("Kivel");
        run(on_popup_delete_activate);
        // Whole: one question is the start of no other.
        EXPECT_TRUE(log.contains(question("ulvo-filemanager", c.id) + "\n"))
            << c.id << ": " << log.text();
        EXPECT_EQ(operation_after_command, OPER_NONE);
    }
    EXPECT_EQ(person.taps, int(std::size(cases)));
    EXPECT_EQ(names_in(path("work")).size(), 8u) << "nothing was deleted";
}

TEST_F(CommandTest, WhatMayNotBeDeletedIsRefusedWithoutAQuestion)
{
    write_file(path("work/locked.txt"), "l");
    g_chmod(path("work/locked.txt").c_str(), 0444);
    write_file(path("work/Sealed/in.txt"), "s");
    g_chmod(path("work/Sealed").c_str(), 0555);
    write_file(path("work/Closed/in.txt"), "c");
    write_file(path("work/Closed/other.txt"), "o");
    g_chmod(path("work/Closed").c_str(), 0555);
    start("work");
    NotePerson person(yes());

    struct Case {
        std::initializer_list<std::string> items;
        std::string banner;
    } cases[] = {
        {{"work/locked.txt"}, banner("kivel-fm", "sfil_ib_cannot_delete_file")},
        {{"work/Sealed"},
         banner("kivel-common-strings", "sfil_ib_unable_to_delete_selected_folder")},
    };
    for (const Case &c : cases) {
        // Not offered in the menu; an edit window reaches the command.
        select(c.items);
        LogRecorder log("Kivel");
        run(on_popup_delete_activate);
        EXPECT_TRUE(log.contains(c.banner)) << log.text();
        EXPECT_EQ(operation_after_command, OPER_NONE);
    }

    // Items of a folder that may not be written.
    show("work/Closed");
    select({"work/Closed/in.txt", "work/Closed/other.txt"});
    LogRecorder log("Kivel");
    run(on_popup_delete_activate);
    EXPECT_TRUE(
        log.contains(banner("kivel-common-strings", "sfil_ib_unable_to_delete_selected_items")))
        << log.text();

    // The special folders of the documents folder.
    show("");
    select({".images", ".videos"});
    run(on_popup_delete_activate);
    EXPECT_TRUE(
        log.contains(banner("kivel-common-strings", "sfil_ib_unable_to_delete_selected_items")));
    select({".images"});
    run(on_popup_delete_activate);
    EXPECT_TRUE(
        log.contains(banner("kivel-common-strings", "sfil_ib_unable_to_delete_selected_folder")));

    EXPECT_EQ(person.taps, 0);
    EXPECT_TRUE(path_exists(path("work/locked.txt")));
    EXPECT_TRUE(path_exists(path("work/Sealed/in.txt")));
    EXPECT_TRUE(path_exists(path("work/Closed/in.txt")));
    EXPECT_TRUE(path_exists(path(".images")));
}

TEST_F(CommandTest, SpecialFoldersAmongTheItemsAreLeftOutAndCounted)
{
    write_file(path("plain.txt"), "p");
    write_file(path(".images/kept.jpg"), "k");
    start("");
    NotePerson person(yes());
    LogRecorder log("Kivel");

    select({".images", "plain.txt"});
    run(on_popup_delete_activate);
    ASSERT_TRUE(started);
    ASSERT_TRUE(xfer_app_test::await_transfer_end());
    EXPECT_TRUE(log.contains(question("ulvo-filemanager", "docm_nc_delete_folder_and_file")))
        << log.text();
    EXPECT_TRUE(
        log.contains("note: " + text("ulvo-filemanager", "sfil_ni_cannot_delete_some_items")))
        << log.text();
    EXPECT_FALSE(path_exists(path("plain.txt")));
    EXPECT_EQ(read_file(path(".images/kept.jpg")), "k");
}

TEST_F(CommandTest, TheQuestionClosesWhenTheSelectionChanges)
{
    write_file(path("work/a.txt"), "a");
    write_file(path("work/b.txt"), "b");
    start("work");
    select({"work/a.txt"});
    // Selects b.txt instead while the question waits.
    FirstSightPerson person([this] {
        kivel_file_selection_unselect_all(fs);
        kivel_file_selection_select_uri(fs, uri("work/b.txt").c_str());
    });
    LogRecorder log("Kivel");
    tap("Delete");
    EXPECT_TRUE(person.seen);
    EXPECT_TRUE(log.contains(question("ulvo-filemanager", "docm_nc_delete_file", "a.txt")));
    EXPECT_TRUE(showing_dialogs().notes.empty()) << "the question closed by itself";
    EXPECT_EQ(global_ofm->registered_dialog, nullptr);
    EXPECT_FALSE(started);
    EXPECT_EQ(operation_after_command, OPER_NONE);
    EXPECT_EQ(names_in(path("work")), (std::vector<std::string>{"a.txt", "b.txt"}));
}

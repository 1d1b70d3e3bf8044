// The process-wide selection count, read from the files on disk.
#include "selection-fixture.h"

#include <unistd.h>

using namespace selection_record_test;
using ulvo_test::LogRecorder;
using ulvo_test::make_dir;
using ulvo_test::write_file;

TEST_F(SelectionRecordTest, StateCountsFilesAndFoldersOnDisk)
{
    std::string work = docs + "/work";
    write_file(work + "/a.txt");
    write_file(work + "/b.txt");
    make_dir(work + "/photos");
    ASSERT_EQ(symlink((work + "/photos").c_str(), (work + "/shortcut").c_str()), 0);
    enter(work, 4);

    select_only({work + "/a.txt"});
    update_current_selection_state(fs());
    EXPECT_TRUE(selection_state_valid);
    EXPECT_EQ(selection_state.n_files, 1);
    EXPECT_EQ(selection_state.n_folders, 0);
    EXPECT_STREQ(selection_uri, uri_of(work + "/a.txt").c_str());

    select_only({work + "/a.txt", work + "/b.txt", work + "/shortcut"});
    EXPECT_FALSE(selection_state_valid) << "a selection change invalidates the count";
    update_current_selection_state(fs());
    EXPECT_EQ(selection_state.n_files, 2);
    EXPECT_EQ(selection_state.n_folders, 1) << "a link to a folder counts as a folder";
    EXPECT_STREQ(selection_uri, uri_of(work).c_str()) << "several items: the current folder";

    kivel_file_selection_unselect_all(fs());
    update_current_selection_state(fs());
    EXPECT_EQ(selection_state.n_files, 0);
    EXPECT_EQ(selection_state.n_folders, 1) << "the current folder stands in";
    EXPECT_STREQ(selection_uri, uri_of(work).c_str());
}

TEST_F(SelectionRecordTest, StateIsKeptWhileValid)
{
    std::string work = docs + "/work";
    write_file(work + "/a.txt");
    write_file(work + "/b.txt");
    enter(work, 2);
    select_only({work + "/a.txt"});
    update_current_selection_state(fs());
    ASSERT_EQ(selection_state.n_files, 1);

    // A refresh while valid changes nothing, even if the selection moved on
    // without telling.
    g_signal_handlers_block_by_func(fs(), (gpointer)on_selection_changed, nullptr);
    kivel_file_selection_select_uri(fs(), uri_of(work + "/b.txt").c_str());
    g_signal_handlers_unblock_by_func(fs(), (gpointer)on_selection_changed, nullptr);
    update_current_selection_state(fs());
    EXPECT_EQ(selection_state.n_files, 1);
    EXPECT_STREQ(selection_uri, uri_of(work + "/a.txt").c_str());

    ulvo_fm_invalidate_selection_state();
    update_current_selection_state(fs());
    EXPECT_EQ(selection_state.n_files, 2);
}

TEST_F(SelectionRecordTest, StateSkipsItemsThatCannotBeRead)
{
    std::string work = docs + "/work";
    write_file(work + "/a.txt");
    write_file(work + "/b.txt");
    enter(work, 2);
    select_only({work + "/a.txt", work + "/b.txt"});

    // Gone from disk before the model has heard of it.
    ASSERT_EQ(g_unlink((work + "/a.txt").c_str()), 0);
    LogRecorder log("filemanager");
    update_current_selection_state(fs());
    EXPECT_TRUE(log.contains("update_current_selection_state::Error reading file info:"))
        << log.text();
    EXPECT_EQ(selection_state.n_files, 1);
    EXPECT_STREQ(selection_uri, uri_of(work + "/b.txt").c_str())
        << "the one item counted, not the first one listed";
}

// The selection record refreshed from a real file selection over real files.
#include "selection-fixture.h"

using namespace selection_record_test;
using ulvo_test::LogRecorder;
using ulvo_test::make_dir;
using ulvo_test::write_file;

namespace
{

const UlvoFmPathInfo *entry(const UlvoFmSelectionInfo *info, guint n)
{
    return static_cast<const UlvoFmPathInfo *>(g_slist_nth_data(info->path_info, n));
}

} // namespace

TEST_F(SelectionRecordTest, NothingSelectedLetsTheCurrentFolderStandIn)
{
    std::string work = docs + "/work";
    write_file(work + "/notes.txt");
    enter(work, 1);

    EXPECT_EQ(type(), SIT_ERROR_IN_GETTING_INFO) << "a new record is stale";
    refresh(0);
    EXPECT_TRUE(info()->folder_as_selection);
    EXPECT_EQ(info()->current_folder, uri_of(work));
    EXPECT_EQ(strings_of(info()->current_selection), std::vector<std::string>{uri_of(work)});
    ASSERT_EQ(g_slist_length(info()->path_info), 1u);
    EXPECT_STREQ(entry(info(), 0)->uri, uri_of(work).c_str());
    EXPECT_EQ(entry(info(), 0)->type, KIVEL_FILE_SYSTEM_MODEL_FOLDER);
    EXPECT_EQ(info()->n_folders, 1);
    EXPECT_EQ(info()->n_files, 0);
    EXPECT_EQ(type(), SIT_SINGLE_FOLDER);
    EXPECT_FALSE(info()->in_gateway || info()->in_mmc || info()->in_media_server ||
                 info()->in_samba_server);

    // The documents folder itself is the device's own storage root.
    enter(docs, 6);
    refresh(0);
    EXPECT_TRUE(info()->folder_as_selection);
    EXPECT_EQ(info()->n_device_roots, 1);
    EXPECT_EQ(type(), SIT_DEVICE_ROOT);
    ASSERT_EQ(g_slist_length(info()->path_info), 1u);
    EXPECT_NE(entry(info(), 0)->model_extra, nullptr) << "the device column is carried";
}

TEST_F(SelectionRecordTest, TypesFollowTheSelectedFilesAndFolders)
{
    std::string work = docs + "/work";
    write_file(work + "/a.txt");
    write_file(work + "/b.txt");
    make_dir(work + "/photos");
    make_dir(work + "/music");
    enter(work, 4);

    struct Case {
        std::vector<std::string> names;
        UlvoFmSelectionInfoType type;
        int files, folders;
    } cases[] = {
        {{"a.txt"}, SIT_SINGLE_FILE, 1, 0},
        {{"a.txt", "b.txt"}, SIT_MULTIPLE_FILES, 2, 0},
        {{"photos"}, SIT_SINGLE_FOLDER, 0, 1},
        {{"music", "photos"}, SIT_MULTIPLE_FOLDERS, 0, 2},
        {{"photos", "b.txt"}, SIT_FILES_AND_FOLDERS, 1, 1},
    };
    for (const Case &c : cases) {
        std::vector<std::string> paths;
        for (const std::string &name : c.names)
            paths.push_back(work + "/" + name);
        select_only(paths);
        EXPECT_EQ(type(), SIT_ERROR_IN_GETTING_INFO) << "a selection change makes it stale";
        refresh(0);
        EXPECT_EQ(type(), c.type) << c.names[0];
        EXPECT_EQ(info()->n_files, c.files) << c.names[0];
        EXPECT_EQ(info()->n_folders, c.folders) << c.names[0];
        EXPECT_FALSE(info()->folder_as_selection);
        EXPECT_EQ(info()->current_folder, uri_of(work));
    }

    // The widget's order (folders first) is kept in both lists.
    std::vector<std::string> expected = {uri_of(work + "/photos"), uri_of(work + "/b.txt")};
    EXPECT_EQ(strings_of(info()->current_selection), expected);
    ASSERT_EQ(g_slist_length(info()->path_info), 2u);
    EXPECT_EQ(entry(info(), 0)->uri, info()->current_selection->data) << "borrowed, not copied";
    EXPECT_EQ(entry(info(), 0)->type, KIVEL_FILE_SYSTEM_MODEL_FOLDER);
    EXPECT_EQ(entry(info(), 1)->type, KIVEL_FILE_SYSTEM_MODEL_FILE);
}

TEST_F(SelectionRecordTest, SpecialFoldersAreSafeFolders)
{
    make_dir(docs + "/trips");
    enter(docs, 6);

    select_only({docs + "/.images"});
    refresh(1);
    EXPECT_EQ(type(), SIT_SINGLE_SAFE_FOLDER);
    EXPECT_EQ(entry(info(), 0)->type, KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_IMAGES);

    select_only({docs + "/.images", docs + "/.camera"});
    refresh(1);
    EXPECT_EQ(type(), SIT_MULTIPLE_SAFE_FOLDERS);
    EXPECT_EQ(info()->n_safe_folders, 2);
    EXPECT_EQ(info()->n_readonly_folders, 0);

    select_only({docs + "/.images", docs + "/.camera", docs + "/trips"});
    refresh(1);
    EXPECT_EQ(type(), SIT_MULTIPLE_FOLDERS);
    EXPECT_EQ(info()->n_folders, 3);
    EXPECT_EQ(info()->n_safe_folders, 2);
}

TEST_F(SelectionRecordTest, FocusInTheNavigationPaneSelectsTheCurrentFolder)
{
    std::string work = docs + "/work";
    write_file(work + "/a.txt");
    enter(work, 1);
    select_only({work + "/a.txt"});

    g_object_set(fs(), "active-pane", KIVEL_FILE_SELECTION_PANE_NAVIGATION, NULL);
    ASSERT_EQ(kivel_file_selection_get_active_pane(fs()), KIVEL_FILE_SELECTION_PANE_NAVIGATION);
    refresh(0);
    EXPECT_TRUE(info()->folder_as_selection);
    EXPECT_EQ(strings_of(info()->current_selection), std::vector<std::string>{uri_of(work)});
    EXPECT_EQ(type(), SIT_SINGLE_FOLDER);

    g_object_set(fs(), "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, NULL);
    refresh(0);
    EXPECT_EQ(type(), SIT_SINGLE_FILE);
}

TEST_F(SelectionRecordTest, ReadOnlyTestsLookAtTheOwnerBits)
{
    std::string work = docs + "/work";
    write_file(work + "/kept.txt");
    write_file(work + "/open.txt");
    make_dir(work + "/sealed", 0555);
    make_dir(work + "/shared", 0755);
    g_chmod((work + "/kept.txt").c_str(), 0444);
    enter(work, 4);

    select_only({work + "/sealed", work + "/shared", work + "/kept.txt", work + "/open.txt"});
    refresh(1);
    EXPECT_EQ(info()->n_readonly_files, 1);
    EXPECT_EQ(info()->n_readonly_folders, 1);
    ASSERT_EQ(g_slist_length(info()->path_info), 4u);
    std::vector<bool> readonly;
    for (guint i = 0; i < 4; i++)
        readonly.push_back(entry(info(), i)->readonly);
    EXPECT_EQ(readonly, (std::vector<bool>{true, false, true, false}));
    EXPECT_FALSE(info()->folder_readonly) << "the folder's own folder is writable";

    // Without the tests nothing is found read-only.
    ulvo_fm_selection_info_mark_stale(info());
    refresh(0);
    EXPECT_EQ(info()->n_readonly_files, 0);
    EXPECT_EQ(info()->n_readonly_folders, 0);
    EXPECT_FALSE(entry(info(), 0)->readonly);
}

TEST_F(SelectionRecordTest, CurrentFolderIsReadOnlyWhenItsParentIs)
{
    std::string locked = docs + "/locked";
    write_file(locked + "/inner/a.txt");
    g_chmod(locked.c_str(), 0555);
    enter(locked + "/inner", 1);

    refresh(1);
    EXPECT_TRUE(info()->folder_readonly);
    refresh(0);
    EXPECT_TRUE(info()->folder_readonly) << "a current record is left as it is";
    ulvo_fm_selection_info_mark_stale(info());
    refresh(0);
    EXPECT_FALSE(info()->folder_readonly) << "only a refresh with the tests computes it";
}

TEST_F(SelectionRecordTest, CurrentRecordIsKeptUntilStaleOrAskedForTests)
{
    std::string work = docs + "/work";
    std::string file = work + "/a.txt";
    write_file(file);
    write_file(work + "/b.txt");
    enter(work, 2);
    select_only({file});
    refresh(1);
    ASSERT_EQ(info()->n_readonly_files, 0);

    g_chmod(file.c_str(), 0444);
    refresh(0);
    EXPECT_EQ(info()->n_readonly_files, 0) << "no refresh without a change of selection";
    refresh(1);
    EXPECT_EQ(info()->n_readonly_files, 1) << "the tests always rebuild";

    select_only({work + "/b.txt"});
    EXPECT_TRUE(info()->stale);
    refresh(0);
    EXPECT_EQ(strings_of(info()->current_selection),
              std::vector<std::string>{uri_of(work + "/b.txt")});
    EXPECT_EQ(info()->n_readonly_files, 0);
}

// Memory cards and gateways cannot be shown by the model here: their counts
// are fed the way a refresh feeds them.
TEST_F(SelectionRecordTest, CountingByItemType)
{
    std::string file = docs + "/kept.txt";
    write_file(file);
    g_chmod(file.c_str(), 0444);
    std::string uri = uri_of(file);
    UlvoFmSelectionInfo *record = ulvo_fm_selection_info_new();
    record->stale = FALSE;

    ulvo_fm_selection_info_update_path_info(record, "file:///media/mmc1", 8, 1,
                                            g_strdup("/dev/mmcblk0p1"));
    EXPECT_EQ(ulvo_fm_selection_info_get_selection_type(record), SIT_DEVICE_ROOT);
    ulvo_fm_selection_info_update_path_info(record, uri.c_str(), 1, 1, nullptr);
    EXPECT_EQ(ulvo_fm_selection_info_get_selection_type(record), SIT_FILES_AND_FOLDERS);
    EXPECT_EQ(record->n_readonly_files, 1);
    ASSERT_EQ(g_slist_length(record->path_info), 2u);
    EXPECT_STREQ(entry(record, 0)->model_extra, "/dev/mmcblk0p1");
    EXPECT_TRUE(entry(record, 1)->readonly);

    ulvo_fm_selection_info_reset(record);
    {
        LogRecorder log("filemanager");
        ulvo_fm_selection_info_update_path_info(record, "x", 0, 1, nullptr);
        ulvo_fm_selection_info_update_path_info(record, "y", 11, 1, nullptr);
        EXPECT_TRUE(log.contains("Undefined type of item in model")) << log.text();
    }
    EXPECT_EQ(ulvo_fm_selection_info_get_selection_type(record), SIT_NONE);
    EXPECT_EQ(g_slist_length(record->path_info), 4u) << "every item gets an entry";

    // Inside a gateway nothing is tested for read-only.
    ulvo_fm_selection_info_set_current_selection(record, nullptr);
    ulvo_fm_selection_info_reset(record);
    EXPECT_EQ(record->path_info, nullptr);
    record->in_gateway = TRUE;
    ulvo_fm_selection_info_update_path_info(record, "obex://[00:11:22:33:44:55]", 9, 1, nullptr);
    EXPECT_EQ(ulvo_fm_selection_info_get_selection_type(record), SIT_GATEWAY);
    ulvo_fm_selection_info_update_path_info(record, uri.c_str(), 1, 1, nullptr);
    EXPECT_EQ(record->n_readonly_files, 0);
    EXPECT_FALSE(entry(record, 1)->readonly);

    ulvo_fm_selection_info_set_current_folder(record, uri.c_str());
    ulvo_fm_selection_info_set_current_folder(record, record->current_folder);
    EXPECT_EQ(record->current_folder, uri) << "setting the folder to itself keeps it";
    ulvo_fm_selection_info_free(record);
}

TEST_F(SelectionRecordTest, BadArgumentsAreRefusedWithTheirAssertion)
{
    LogRecorder log("filemanager");
    EXPECT_FALSE(ulvo_fm_update_selection_info(nullptr, fs(), 1));
    EXPECT_TRUE(log.contains("selection_info != NULL")) << log.text();
    EXPECT_EQ(ulvo_fm_selection_info_get_selection_type(nullptr), SIT_ERROR_IN_GETTING_INFO);

    GtkWidget *label = gtk_label_new("not a file selection");
    g_object_ref_sink(label);
    EXPECT_FALSE(
        ulvo_fm_update_selection_info(info(), reinterpret_cast<KivelFileSelection *>(label), 1));
    EXPECT_TRUE(log.contains("KIVEL_IS_FILE_SELECTION (file_selection)")) << log.text();
    EXPECT_TRUE(info()->stale) << "a refused refresh leaves the record stale";
    update_current_selection_state(reinterpret_cast<KivelFileSelection *>(label));
    EXPECT_TRUE(log.contains("KIVEL_IS_FILE_SELECTION (fileselection)")) << log.text();
    EXPECT_FALSE(selection_state_valid);
    g_object_unref(label);
}

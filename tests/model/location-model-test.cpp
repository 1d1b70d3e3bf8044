// Location answers that come from the file system model and the file
// selection: item types, path forms and the current-folder check.
#include "model/location.h"

#include "model-fixture.h"

#include <gtest/gtest.h>

using model_test::AppModelTest;
using model_test::set_mode;
using model_test::uri_of;
using ulvo_test::make_dir;
using ulvo_test::write_file;

namespace
{

class LocationModelTest : public AppModelTest
{
  protected:
    gint type_of(const std::string &path)
    {
        return ulvo_fm_fs_get_path_type(fs(), uri_of(path).c_str());
    }
};

} // namespace

TEST_F(LocationModelTest, ItemTypesComeFromTheModel)
{
    make_dir(docs + "/trip");
    write_file(docs + "/note.txt", "x");
    ASSERT_TRUE(await_row(docs + "/.camera"));
    ASSERT_TRUE(await_row(docs + "/trip"));
    ASSERT_TRUE(await_row(docs + "/note.txt"));

    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_LOCAL_DEVICE, type_of(docs));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_IMAGES, type_of(docs + "/.images"));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_CAMERA, type_of(docs + "/.camera"));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_FOLDER, type_of(docs + "/trip"));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_FILE, type_of(docs + "/note.txt"));
}

TEST_F(LocationModelTest, AnUnknownLocationCountsAsAFile)
{
    make_dir(docs + "/trip");
    ASSERT_TRUE(await_row(docs + "/trip"));
    ulvo_test::LogRecorder log("filemanager");
    std::string unknown = uri_of(docs + "/trip/not-loaded");
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_FILE, ulvo_fm_fs_get_path_type(fs(), unknown.c_str()));
    EXPECT_TRUE(log.contains("Unable to find path in the model " + unknown)) << log.text();
}

TEST_F(LocationModelTest, PathFormsAnswerAsTheirTextUris)
{
    make_dir(docs + "/trip");
    write_file(docs + "/note.txt", "x");
    EXPECT_TRUE(is_path_virtual(KIVEL_FILE_SYSTEM_ROOT_URI));
    EXPECT_FALSE(is_path_virtual(uri_of(docs).c_str()));
    EXPECT_TRUE(is_path_in_gateway("obex://[00:11:22:33:44:55]/Phone"));
    EXPECT_FALSE(is_path_in_gateway(uri_of(docs).c_str()));
    EXPECT_TRUE(is_path_in_samba_server("smb://server/share"));
    EXPECT_TRUE(is_path_in_media_server("upnpav://server/Music"));
    EXPECT_FALSE(is_path_in_media_server("smb://server/share"));
    EXPECT_TRUE(ulvo_fm_is_path_directory(uri_of(docs + "/trip").c_str()));
    EXPECT_FALSE(ulvo_fm_is_path_directory(uri_of(docs + "/note.txt").c_str()));

    ulvo_test::LogRecorder log("filemanager");
    EXPECT_FALSE(is_path_in_gateway("no scheme"));
    EXPECT_TRUE(log.contains("is_path_in_gateway: assertion 'path_texturi != NULL' failed"))
        << log.text();
}

TEST_F(LocationModelTest, TheVirtualRootFailsOnlyItsOwnTest)
{
    ASSERT_TRUE(await_row(docs));
    ASSERT_EQ(KIVEL_FILE_SYSTEM_ROOT_URI,
              model_test::take(kivel_file_selection_get_current_folder_uri(fs())));
    EXPECT_TRUE(ulvo_fm_check_current_folder(global_ofm, 0));
    EXPECT_FALSE(ulvo_fm_check_current_folder(global_ofm, 1));
    EXPECT_FALSE(ulvo_fm_check_current_folder(global_ofm, 7));
    EXPECT_TRUE(ulvo_fm_check_current_folder(global_ofm, 6));
    EXPECT_TRUE(ulvo_fm_check_current_folder(global_ofm, 8)) << "the root lists the documents";
}

TEST_F(LocationModelTest, AWritableFolderWithItemsPassesEveryTest)
{
    make_dir(docs + "/trip");
    write_file(docs + "/trip/a.jpg", "x");
    enter(docs + "/trip");
    EXPECT_TRUE(ulvo_fm_check_current_folder(global_ofm, 15));
    EXPECT_TRUE(ulvo_fm_check_current_folder(global_ofm, 31));
}

TEST_F(LocationModelTest, EmptyAndReadOnlyFoldersFailTheirTests)
{
    make_dir(docs + "/empty");
    enter(docs + "/empty");
    EXPECT_FALSE(ulvo_fm_check_current_folder(global_ofm, 8));
    EXPECT_FALSE(ulvo_fm_check_current_folder(global_ofm, 9));
    EXPECT_TRUE(ulvo_fm_check_current_folder(global_ofm, 6));

    make_dir(docs + "/locked");
    write_file(docs + "/locked/a.txt", "x");
    set_mode(docs + "/locked", 0555);
    enter(docs + "/locked");
    EXPECT_FALSE(ulvo_fm_check_current_folder(global_ofm, 4));
    EXPECT_FALSE(ulvo_fm_check_current_folder(global_ofm, 6));
    EXPECT_TRUE(ulvo_fm_check_current_folder(global_ofm, 9));
}

TEST_F(LocationModelTest, SafeFoldersSelectedInTheDocumentsFolderFailTest16)
{
    enter(docs);
    EXPECT_TRUE(ulvo_fm_check_current_folder(global_ofm, 22));
    global_ofm->selection_info->n_safe_folders = 1;
    EXPECT_FALSE(ulvo_fm_check_current_folder(global_ofm, 16));
    EXPECT_FALSE(ulvo_fm_check_current_folder(global_ofm, 22));
    EXPECT_TRUE(ulvo_fm_check_current_folder(global_ofm, 15));

    make_dir(docs + "/trip");
    write_file(docs + "/trip/a.jpg", "x");
    enter(docs + "/trip");
    EXPECT_TRUE(ulvo_fm_check_current_folder(global_ofm, 16)) << "only the documents folder";
}

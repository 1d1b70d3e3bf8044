// Display names and short names of locations, as the user sees them.
#include "model/paths.h"

#include "model-fixture.h"

#include <gtest/gtest.h>

using model_test::AppModelTest;
using model_test::take;
using model_test::uri_of;
using ulvo_test::make_dir;
using ulvo_test::write_file;

namespace
{

class PathsNamesTest : public AppModelTest
{
  protected:
    std::string short_of_path(const std::string &local)
    {
        return take(ulvo_fm_path_get_shortname(global_ofm->filesystem, uri_of(local).c_str()));
    }
    std::string short_of_texturi(const std::string &uri)
    {
        return take(ulvo_fm_texturi_get_shortname(global_ofm->filesystem, uri.c_str()));
    }
    std::string display_of_texturi(const std::string &uri)
    {
        return take(ulvo_fm_texturi_get_display_name(fs_model(), uri.c_str()));
    }
};

} // namespace

TEST_F(PathsNamesTest, SpecialFoldersAreCalledByTheirTitles)
{
    ASSERT_TRUE(await_row(docs + "/.camera"));
    EXPECT_EQ("Images", short_of_path(docs + "/.images"));
    EXPECT_EQ("Images", short_of_texturi(uri_of(docs + "/.images")));
    EXPECT_EQ("Video clips", short_of_texturi(uri_of(docs + "/.videos")));
    EXPECT_EQ("Camera", short_of_path(docs + "/.camera"));
}

TEST_F(PathsNamesTest, DeviceRootsAreCalledAsTheModelShowsThem)
{
    ASSERT_TRUE(await_row(docs));
    EXPECT_EQ("My documents", short_of_path(docs));
    EXPECT_EQ("My documents", short_of_texturi(uri_of(docs)));
    EXPECT_EQ("My documents", display_of_texturi(uri_of(docs)));
}

TEST_F(PathsNamesTest, OrdinaryItemsAreCalledByTheirLastComponent)
{
    write_file(docs + "/a b.txt", "x");
    write_file(docs + "/100%.txt", "x");
    make_dir(docs + "/.hidden-like");
    ASSERT_TRUE(await_row(docs + "/a b.txt"));
    EXPECT_EQ("a b.txt", short_of_path(docs + "/a b.txt"));
    EXPECT_EQ("a b.txt", short_of_texturi(uri_of(docs + "/a b.txt")));
    EXPECT_EQ("100%.txt", short_of_path(docs + "/100%.txt"));
    EXPECT_EQ(".hidden-like", short_of_texturi(uri_of(docs + "/.hidden-like")));
    // Places the model has never loaded, and places without a model row.
    EXPECT_EQ("x y", short_of_texturi("file:///home/user/MyDocs/x%20y"));
    EXPECT_EQ("a b.txt", take(ulvo_fm_path_get_shortname(global_ofm->filesystem,
                                                         "file:///home/user/MyDocs/a%20b.txt")));
    EXPECT_EQ("share", short_of_texturi("smb://server/share"));
}

TEST_F(PathsNamesTest, AnUnparsableLocationHasNoShortName)
{
    ulvo_test::LogRecorder log("filemanager");
    EXPECT_EQ("(null)", short_of_texturi("no scheme"));
    EXPECT_TRUE(log.contains("Error allocating memory")) << log.text();
}

TEST_F(PathsNamesTest, DisplayNamesOfLoadedItems)
{
    write_file(docs + "/a b.txt", "x");
    ASSERT_TRUE(await_row(docs + "/a b.txt"));
    EXPECT_EQ("a b.txt", display_of_texturi(uri_of(docs + "/a b.txt")));
    EXPECT_EQ("Images",
              take(ulvo_fm_path_get_display_name(fs_model(), uri_of(docs + "/.images").c_str())));
}

TEST_F(PathsNamesTest, ALocationTheModelLacksFallsBackToItsLastComponent)
{
    make_dir(docs + "/trip");
    ASSERT_TRUE(await_row(docs + "/trip"));
    ulvo_test::LogRecorder log("filemanager");
    std::string unloaded = uri_of(docs + "/trip/sea view.jpg");
    EXPECT_EQ("sea view.jpg", display_of_texturi(unloaded));
    EXPECT_TRUE(log.contains("Unable to find path in the model " + unloaded)) << log.text();
    EXPECT_EQ("sea view.jpg", take(ulvo_fm_path_get_display_name(fs_model(), unloaded.c_str())));
}

TEST_F(PathsNamesTest, BadArgumentsGiveNoName)
{
    ulvo_test::LogRecorder log("filemanager");
    EXPECT_EQ("(null)", display_of_texturi("no scheme"));
    EXPECT_TRUE(log.contains("ulvo_fm_texturi_get_display_name:path == NULL")) << log.text();
    EXPECT_EQ(nullptr, ulvo_fm_path_get_display_name(fs_model(), "no scheme"));
    EXPECT_TRUE(log.contains("ulvo_fm_path_get_display_name:path_texturi == NULL"));

    GtkTreeModel *other = GTK_TREE_MODEL(gtk_list_store_new(1, G_TYPE_STRING));
    EXPECT_EQ(nullptr, ulvo_fm_texturi_get_display_name(
                           reinterpret_cast<KivelFileSystemModel *>(other), "file:///tmp"));
    EXPECT_TRUE(log.contains("assertion 'KIVEL_IS_FILE_SYSTEM_MODEL (model)' failed"));
    EXPECT_EQ(nullptr, ulvo_fm_texturi_get_shortname(
                           reinterpret_cast<KivelFileSystemBackend *>(other), "file:///tmp"));
    EXPECT_TRUE(log.contains(
        "ulvo_fm_texturi_get_shortname: assertion 'GTK_IS_FILE_SYSTEM (file_system)' failed"));
    g_object_unref(other);
}

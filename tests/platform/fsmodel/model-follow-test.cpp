// A loaded folder follows the disk: through its monitor, and through
// explicit reloads.
#include "platform/fsmodel/model-fixture.h"

#include <glib/gstdio.h>

#include <atomic>
#include <thread>

using namespace model_test;
using ulvo_test::make_dir;
using ulvo_test::pump_until;
using ulvo_test::write_file;

namespace
{

class ModelFollow : public ModelTest
{
  protected:
    gint64 size_of(const std::string &path)
    {
        GtkTreeIter row;
        if (!find(uri_of(path), &row))
            return -1;
        return int64_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_SIZE);
    }
};

void count_finished(KivelFileSystemModel *model, GtkTreeIter *folder, gpointer data)
{
    auto *uris = static_cast<std::vector<std::string> *>(data);
    uris->push_back(string_column(GTK_TREE_MODEL(model), folder, KIVEL_FILE_SYSTEM_MODEL_URI));
}

TEST_F(ModelFollow, LoadedFolderFollowsCreateDeleteRenameAndChange)
{
    std::string dir = docs_ + "/watched";
    write_file(dir + "/a.txt", "a");
    write_file(dir + "/b.txt", "b");
    GtkTreeIter documents, folder;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(load(dir, &folder));
    ASSERT_EQ(2, gtk_tree_model_iter_n_children(tree_, &folder));

    write_file(dir + "/new file.txt", "created");
    ASSERT_TRUE(pump_until([&] { return has_child_named(&folder, "new file.txt"); }));
    EXPECT_TRUE(pump_until([&] { return size_of(dir + "/new file.txt") == 7; }));

    ASSERT_EQ(0, g_rename((dir + "/a.txt").c_str(), (dir + "/renamed.txt").c_str()));
    ASSERT_TRUE(pump_until([&] {
        return has_child_named(&folder, "renamed.txt") && !has_child_named(&folder, "a.txt");
    }));

    ASSERT_EQ(0, g_unlink((dir + "/b.txt").c_str()));
    ASSERT_TRUE(pump_until([&] { return !has_child_named(&folder, "b.txt"); }));

    write_file(dir + "/renamed.txt", "now ten by");
    EXPECT_TRUE(pump_until([&] { return size_of(dir + "/renamed.txt") == 10; }));

    make_dir(dir + "/made later");
    ASSERT_TRUE(pump_until([&] { return has_child_named(&folder, "made later"); }));
    GtkTreeIter made;
    ASSERT_TRUE(find(uri_of(dir + "/made later"), &made));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_FOLDER,
              int_column(tree_, &made, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE));

    // A hidden file never shows: the marker made after it shows first.
    write_file(dir + "/.hidden", "x");
    write_file(dir + "/marker", "x");
    ASSERT_TRUE(pump_until([&] { return has_child_named(&folder, "marker"); }));
    EXPECT_FALSE(has_child_named(&folder, ".hidden"));
    EXPECT_EQ(4, gtk_tree_model_iter_n_children(tree_, &folder));

    // A file moved in from elsewhere appears, one moved out goes.
    write_file(ulvo_test::test_home() + "/outside.txt", "o");
    ASSERT_EQ(0, g_rename((ulvo_test::test_home() + "/outside.txt").c_str(),
                          (dir + "/moved in.txt").c_str()));
    ASSERT_EQ(0, g_rename((dir + "/marker").c_str(), (ulvo_test::test_home() + "/marker").c_str()));
    ASSERT_TRUE(pump_until([&] {
        return has_child_named(&folder, "moved in.txt") && !has_child_named(&folder, "marker");
    }));
}

TEST_F(ModelFollow, RemovedFolderTakesItsLoadedRowsAlong)
{
    std::string outer = docs_ + "/outer";
    write_file(outer + "/inner/deep.txt");
    GtkTreeIter documents, outer_row, inner_row;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(load(outer, &outer_row));
    ASSERT_TRUE(load(outer + "/inner", &inner_row));
    std::string deep_uri = uri_of(outer + "/inner/deep.txt");
    GtkTreeIter deep;
    ASSERT_TRUE(find(deep_uri, &deep));

    ASSERT_EQ(0, system(("rm -rf '" + outer + "'").c_str()));
    ASSERT_TRUE(pump_until([&] { return !find(uri_of(outer), &outer_row); }));
    EXPECT_FALSE(find(deep_uri, &deep));
    // The same name again is a new, unloaded folder.
    make_dir(outer);
    ASSERT_TRUE(pump_until([&] { return find(uri_of(outer), &outer_row); }));
    EXPECT_FALSE(kivel_file_system_model_children_loaded(model_, &outer_row));
    EXPECT_FALSE(gtk_tree_model_iter_has_child(tree_, &outer_row));
}

TEST_F(ModelFollow, ReloadMakesRowsMatchTheDisk)
{
    std::string dir = docs_ + "/reloaded";
    for (int i = 0; i < 40; i++)
        write_file(dir + "/old" + std::to_string(i), "x");
    GtkTreeIter documents, folder;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(load(dir, &folder));

    std::vector<std::string> finished;
    g_signal_connect(model_, "finished-loading", G_CALLBACK(count_finished), &finished);
    for (int i = 0; i < 40; i += 2)
        ASSERT_EQ(0, g_unlink((dir + "/old" + std::to_string(i)).c_str()));
    for (int i = 0; i < 30; i++)
        write_file(dir + "/fresh" + std::to_string(i), "yy");
    write_file(dir + "/old1", "grown");
    // A file's URI reloads its folder.
    kivel_file_system_model_reload_uri(model_, uri_of(dir + "/old1").c_str());
    ASSERT_TRUE(pump_until([&] { return !finished.empty(); }));
    EXPECT_EQ(uri_of(dir), finished.front());
    EXPECT_TRUE(kivel_file_system_model_children_loaded(model_, &folder));
    EXPECT_TRUE(pump_until([&] { return gtk_tree_model_iter_n_children(tree_, &folder) == 50; }));
    EXPECT_FALSE(has_child_named(&folder, "old0"));
    EXPECT_TRUE(has_child_named(&folder, "fresh29"));
    EXPECT_TRUE(pump_until([&] { return size_of(dir + "/old1") == 5; }));

    // A folder that was never loaded stays unloaded.
    make_dir(docs_ + "/untouched");
    GtkTreeIter untouched;
    ASSERT_TRUE(pump_until([&] { return find(uri_of(docs_ + "/untouched"), &untouched); }));
    kivel_file_system_model_reload_uri(model_, uri_of(docs_ + "/untouched").c_str());
    EXPECT_FALSE(kivel_file_system_model_children_loaded(model_, &untouched));
    EXPECT_FALSE(gtk_tree_model_iter_has_child(tree_, &untouched));
}

TEST_F(ModelFollow, ReloadAskedDuringALoadRunsAfterIt)
{
    std::string dir = docs_ + "/busy";
    for (int i = 0; i < 600; i++)
        write_file(dir + "/n" + std::to_string(i));
    GtkTreeIter documents, folder;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(find(uri_of(dir), &folder));
    std::vector<std::string> finished;
    g_signal_connect(model_, "finished-loading", G_CALLBACK(count_finished), &finished);
    kivel_file_system_model_load_children(model_, &folder);
    kivel_file_system_model_reload_uri(model_, uri_of(dir).c_str());
    ASSERT_TRUE(pump_until([&] { return finished.size() == 2; }));
    EXPECT_EQ(600, gtk_tree_model_iter_n_children(tree_, &folder));
}

TEST_F(ModelFollow, FilesDeletedWhileReadOrQueriedLeaveNoRows)
{
    // Deleted while their entries wait to be inserted.
    std::string dir = docs_ + "/big";
    make_dir(docs_ + "/churn");
    for (int i = 0; i < 3000; i++)
        write_file(dir + "/f" + std::to_string(i), "x");
    GtkTreeIter documents, folder;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(find(uri_of(dir), &folder));
    kivel_file_system_model_set_slice_budget(0); // most entries still wait
    kivel_file_system_model_load_children(model_, &folder);
    ASSERT_TRUE(pump_until([&] { return gtk_tree_model_iter_n_children(tree_, &folder) > 1; }));
    for (int i = 0; i < 3000; i++)
        ASSERT_EQ(0, g_unlink((dir + "/f" + std::to_string(i)).c_str()));
    EXPECT_TRUE(pump_until([&] {
        return kivel_file_system_model_children_loaded(model_, &folder) &&
               gtk_tree_model_iter_n_children(tree_, &folder) == 0;
    }));

    // Short-lived files, each read just before it goes.
    dir = docs_ + "/churn";
    ASSERT_TRUE(load(dir, &folder));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 3000; i++) {
            std::string path = dir + "/t" + std::to_string(i);
            g_file_set_contents(path.c_str(), "x", 1, nullptr);
            g_usleep(200); // long enough for a query to find the file
            g_unlink(path.c_str());
        }
        done = true;
    });
    bool finished = pump_until([&] { return done.load(); }, 60000);
    writer.join();
    ASSERT_TRUE(finished);
    // Changes come in order: once the marker is in, every deletion was seen.
    write_file(dir + "/marker", "x");
    EXPECT_TRUE(pump_until([&] {
        return child_names(&folder) == std::vector<std::string>{"marker"};
    })) << gtk_tree_model_iter_n_children(tree_, &folder)
        << " rows";
}

} // namespace

TEST_F(ModelFollow, AFileReplacedByAFolderOpensWithItsOwnRows)
{
    std::string dir = docs_ + "/swap";
    write_file(dir + "/was file", "f");
    write_file(dir + "/plain.txt", "p");
    GtkTreeIter documents, folder;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(load(dir, &folder));
    GtkTreeIter row;
    ASSERT_TRUE(find(uri_of(dir + "/plain.txt"), &row));
    EXPECT_EQ(uri_of(dir + "/plain.txt"), string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_URI));
    EXPECT_EQ(dir + "/plain.txt", string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_LOCAL_PATH));

    ASSERT_EQ(0, g_unlink((dir + "/was file").c_str()));
    write_file(dir + "/was file/inner #1.txt", "i");
    kivel_file_system_model_reload_uri(model_, uri_of(dir).c_str());
    ASSERT_TRUE(pump_until([&] {
        GtkTreeIter changed;
        return find(uri_of(dir + "/was file"), &changed) &&
               bool_column(tree_, &changed, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER);
    }));

    GtkTreeIter opened;
    ASSERT_TRUE(load(dir + "/was file", &opened));
    ASSERT_TRUE(find(uri_of(dir + "/was file/inner #1.txt"), &row));
    EXPECT_EQ(uri_of(dir + "/was file/inner #1.txt"),
              string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_URI));
}

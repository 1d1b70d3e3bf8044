// What the content pane lists: a folder's items in order, the model's
// changes from the disk, the listing rules and the top of the tree.
#include "platform/selection/selection-fixture.h"
#include "platform/toolkit/kivel-file-size.h"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <sys/stat.h>
#include <utime.h>

using namespace ulvo_test;
using namespace selection_test;
using Names = std::vector<std::string>;

namespace
{

void set_mtime(const std::string &path, time_t when)
{
    struct utimbuf times = {when, when};
    ASSERT_EQ(utime(path.c_str(), &times), 0);
}

class SelectionListing : public SelectionTest
{
};

TEST_F(SelectionListing, EnteringAFolderListsExactlyItsItemsFoldersFirstByName)
{
    std::string dir = folder("list");
    make_dir(dir + "/beta");
    make_dir(dir + "/alpha");
    write_file(dir + "/c.txt", "c");
    write_file(dir + "/a.txt", "a");
    write_file(dir + "/b.txt", "b");
    write_file(dir + "/.secret", "dot files stay out of sight");
    build();
    enter(dir);

    ASSERT_TRUE(await_count(5));
    EXPECT_EQ(names(), (Names{"alpha", "beta", "a.txt", "b.txt", "c.txt"}));
    gchar *current = kivel_file_selection_get_current_folder_uri(fs());
    EXPECT_STREQ(current, uri_of(dir).c_str());
    g_free(current);

    GtkTreeIter iter;
    ASSERT_TRUE(kivel_file_selection_get_current_folder_iter(fs(), &iter));
    gchar *row_uri = nullptr;
    gtk_tree_model_get(model_, &iter, KIVEL_FILE_SYSTEM_MODEL_URI, &row_uri, -1);
    EXPECT_STREQ(row_uri, uri_of(dir).c_str());
    g_free(row_uri);
    EXPECT_EQ(log.count("current-folder-changed"), 1);
}

TEST_F(SelectionListing, SortsByDateAndSizeInBothOrdersWithFoldersFirst)
{
    std::string dir = folder("sort");
    make_dir(dir + "/zz-folder");
    write_file(dir + "/old-big", std::string(3000, 'x'));
    write_file(dir + "/new-small", "x");
    write_file(dir + "/mid-mid", std::string(200, 'x'));
    set_mtime(dir + "/old-big", 1000000000);
    set_mtime(dir + "/mid-mid", 1100000000);
    set_mtime(dir + "/new-small", 1200000000);
    build();
    enter(dir);
    ASSERT_TRUE(await_count(4));

    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_MODIFIED,
                                      GTK_SORT_ASCENDING);
    EXPECT_EQ(names(), (Names{"zz-folder", "old-big", "mid-mid", "new-small"}));
    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_MODIFIED,
                                      GTK_SORT_DESCENDING);
    EXPECT_EQ(names(), (Names{"zz-folder", "new-small", "mid-mid", "old-big"}));
    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_SIZE,
                                      GTK_SORT_DESCENDING);
    EXPECT_EQ(names(), (Names{"zz-folder", "old-big", "mid-mid", "new-small"}));
    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_SIZE, GTK_SORT_ASCENDING);
    EXPECT_EQ(names(), (Names{"zz-folder", "new-small", "mid-mid", "old-big"}));
    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_NAME,
                                      GTK_SORT_DESCENDING);
    EXPECT_EQ(names(), (Names{"zz-folder", "old-big", "new-small", "mid-mid"}));

    KivelFileSelectionSortKey key;
    GtkSortType order;
    kivel_file_selection_get_sort_key(fs(), &key, &order);
    EXPECT_EQ(key, KIVEL_FILE_SELECTION_SORT_KEY_NAME);
    EXPECT_EQ(order, GTK_SORT_DESCENDING);

    // A file arriving later goes to its place in the order in force.
    write_file(dir + "/nnn", "x");
    kivel_file_system_model_reload_uri(model(), uri_of(dir).c_str());
    ASSERT_TRUE(await_count(5));
    EXPECT_EQ(names(), (Names{"zz-folder", "old-big", "nnn", "new-small", "mid-mid"}));
}

TEST_F(SelectionListing, ColumnHeadersShowDateAndSize)
{
    std::string dir = folder("headers");
    write_file(dir + "/file", std::string(2000, 'x'));
    build();
    enter(dir);
    ASSERT_TRUE(await_count(1));
    GtkTreeView *view = content_view();
    EXPECT_FALSE(gtk_tree_view_column_get_visible(gtk_tree_view_get_column(view, 2)));

    kivel_file_selection_set_column_headers(fs(), TRUE);
    EXPECT_TRUE(gtk_tree_view_get_headers_visible(view));
    EXPECT_STREQ(gtk_tree_view_column_get_title(gtk_tree_view_get_column(view, 2)), "Size");
    EXPECT_TRUE(gtk_tree_view_column_get_visible(gtk_tree_view_get_column(view, 2)));
    gchar *size = kivel_format_file_size_for_display(2000);
    EXPECT_EQ(column_text(2, 0), size);
    g_free(size);
    EXPECT_FALSE(column_text(1, 0).empty());

    // Clicking the size header sorts by size; clicking again reverses.
    gtk_tree_view_column_clicked(gtk_tree_view_get_column(view, 2));
    KivelFileSelectionSortKey key;
    GtkSortType order;
    kivel_file_selection_get_sort_key(fs(), &key, &order);
    EXPECT_EQ(key, KIVEL_FILE_SELECTION_SORT_KEY_SIZE);
    EXPECT_EQ(order, GTK_SORT_ASCENDING);
    gtk_tree_view_column_clicked(gtk_tree_view_get_column(view, 2));
    kivel_file_selection_get_sort_key(fs(), &key, &order);
    EXPECT_EQ(order, GTK_SORT_DESCENDING);
}

TEST_F(SelectionListing, FollowsFilesCreatedAndDeletedOnDisk)
{
    std::string dir = folder("live");
    write_file(dir + "/first", "1");
    build();
    enter(dir);
    ASSERT_TRUE(await_count(1));

    write_file(dir + "/second", "2");
    ASSERT_TRUE(await_count(2)) << "a new file never appeared";
    EXPECT_EQ(names(), (Names{"first", "second"}));

    ASSERT_EQ(g_remove((dir + "/first").c_str()), 0);
    ASSERT_TRUE(await_count(1)) << "a deleted file never went away";
    EXPECT_EQ(names(), (Names{"second"}));
}

TEST_F(SelectionListing, ShowFoldersFalseListsOnlyFilesAndShowFilesFalseOnlyFolders)
{
    std::string dir = folder("rules");
    make_dir(dir + "/sub");
    write_file(dir + "/file", "x");

    widget_ = kivel_file_selection_new_with_model(model());
    g_object_set(widget_, "show-folders", FALSE, nullptr);
    gtk_container_add(GTK_CONTAINER(window_), widget_);
    gtk_widget_show_all(window_);
    enter(dir);
    ASSERT_TRUE(await_count(1));
    EXPECT_EQ(names(), (Names{"file"}));

    g_object_set(widget_, "show-folders", TRUE, "show-files", FALSE, nullptr);
    ASSERT_TRUE(await_count(1));
    EXPECT_EQ(names(), (Names{"sub"}));
}

TEST_F(SelectionListing, ShowReadonlyFalseLeavesOutReadOnlyItems)
{
    std::string dir = folder("ro");
    write_file(dir + "/locked", "x");
    write_file(dir + "/open", "x");
    ASSERT_EQ(g_chmod((dir + "/locked").c_str(), 0444), 0);

    widget_ = GTK_WIDGET(g_object_new(KIVEL_TYPE_FILE_SELECTION, "model", model_, "edit-mode", TRUE,
                                      "show-readonly", FALSE, nullptr));
    gtk_container_add(GTK_CONTAINER(window_), widget_);
    gtk_widget_show_all(window_);
    enter(dir);
    ASSERT_TRUE(await_count(1));
    EXPECT_EQ(names(), (Names{"open"}));

    // Made writable, it is offered again.
    ASSERT_EQ(g_chmod((dir + "/locked").c_str(), 0644), 0);
    kivel_file_system_model_reload_uri(model(), uri_of(dir).c_str());
    ASSERT_TRUE(await_count(2));
    EXPECT_EQ(names(), (Names{"locked", "open"}));
}

TEST_F(SelectionListing, AtTheTopListsTheTopLevelRows)
{
    build();
    gchar *current = kivel_file_selection_get_current_folder_uri(fs());
    EXPECT_STREQ(current, KIVEL_FILE_SYSTEM_ROOT_URI);
    g_free(current);
    GtkTreeIter iter;
    EXPECT_FALSE(kivel_file_selection_get_current_folder_iter(fs(), &iter));

    ASSERT_TRUE(pump_until([&] { return kivel_file_selection_get_content_count(fs()) > 0; }));
    Names top;
    for (gboolean ok = gtk_tree_model_get_iter_first(model_, &iter); ok;
         ok = gtk_tree_model_iter_next(model_, &iter)) {
        gchar *name = nullptr;
        gtk_tree_model_get(model_, &iter, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME, &name, -1);
        top.push_back(name ? name : "");
        g_free(name);
    }
    EXPECT_EQ(names(), top);

    // Going into the first row and back to the top.
    ASSERT_TRUE(gtk_tree_model_get_iter_first(model_, &iter));
    ASSERT_TRUE(kivel_file_selection_set_current_folder_iter(fs(), &iter));
    current = kivel_file_selection_get_current_folder_uri(fs());
    EXPECT_STREQ(current, uri_of(docs).c_str());
    g_free(current);
    GError *error = nullptr;
    ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs(), "files:///", &error));
    EXPECT_EQ(names(), top);
}

TEST_F(SelectionListing, AMissingFolderIsRefusedWithAnError)
{
    std::string dir = folder("here");
    build();
    enter(dir);
    log.clear();

    GError *error = nullptr;
    std::string missing = uri_of(docs + "/not-there");
    EXPECT_FALSE(kivel_file_selection_set_current_folder_uri(fs(), missing.c_str(), &error));
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND));
    g_error_free(error);
    gchar *current = kivel_file_selection_get_current_folder_uri(fs());
    EXPECT_STREQ(current, uri_of(dir).c_str());
    g_free(current);
    EXPECT_EQ(log.count("current-folder-changed"), 0);

    // A file is no folder to go into.
    write_file(dir + "/plain", "x");
    ASSERT_TRUE(await_count(1));
    error = nullptr;
    EXPECT_FALSE(
        kivel_file_selection_set_current_folder_uri(fs(), uri_of(dir + "/plain").c_str(), &error));
    EXPECT_TRUE(g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_DIRECTORY));
    g_clear_error(&error);
}

TEST_F(SelectionListing, DeletingTheCurrentFolderMovesToItsParent)
{
    std::string parent = folder("parent");
    std::string child = parent + "/child";
    make_dir(child);
    write_file(child + "/inside", "x");
    build();
    enter(child);
    ASSERT_TRUE(await_count(1));

    ASSERT_EQ(system(("rm -rf '" + child + "'").c_str()), 0);
    kivel_file_system_model_reload_uri(model(), uri_of(parent).c_str());
    std::string expected = uri_of(parent);
    ASSERT_TRUE(pump_until([&] {
        gchar *current = kivel_file_selection_get_current_folder_uri(fs());
        bool moved = current && expected == current;
        g_free(current);
        return moved;
    }));
    EXPECT_EQ(kivel_file_selection_get_content_count(fs()), 0);
}

} // namespace

namespace
{

TEST_F(SelectionListing, ABigLoadedFolderFillsCompletelyWhileTheDiskChanges)
{
    std::string dir = folder("big");
    Names expected;
    for (int i = 0; i < 3000; i++) {
        gchar *name = g_strdup_printf("f%04d", i);
        write_file(dir + "/" + name);
        if (i % 300 != 7)
            expected.push_back(name);
        g_free(name);
    }
    // Steps of a few rows, so that the filling takes many steps on any
    // machine.
    kivel_file_selection_set_fill_budget(0);
    build();
    enter(dir);
    ASSERT_TRUE(await_count(3000, 60000)); // a slow machine takes its time

    // Back in again: the loaded children are copied over in steps, while
    // files come and go.
    GError *error = nullptr;
    ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs(), "files:///", &error));
    enter(dir);
    for (int i = 7; i < 3000; i += 300) {
        gchar *name = g_strdup_printf("%s/f%04d", dir.c_str(), i);
        ASSERT_EQ(g_remove(name), 0);
        g_free(name);
    }
    for (const char *name : {"g1", "g2", "g3"}) {
        write_file(dir + "/" + name);
        expected.push_back(name);
    }
    int steps = 0;
    ASSERT_TRUE(pump_until_counting(
        [&] { return kivel_file_selection_get_content_count(fs()) == int(expected.size()); },
        [&] { return kivel_file_selection_get_content_count(fs()); }, &steps, 60000))
        << kivel_file_selection_get_content_count(fs()) << " of " << expected.size() << " after "
        << steps << " steps";
    EXPECT_GT(steps, 10);
    EXPECT_EQ(names(), expected);
}

TEST_F(SelectionListing, ThumbnailsModeShowsTallerRows)
{
    std::string dir = folder("thumbs");
    write_file(dir + "/picture.png", "x");
    build();
    enter(dir);
    ASSERT_TRUE(await_count(1));
    auto row_height = [&] {
        GdkRectangle area = {};
        GtkTreePath *path = gtk_tree_path_new_first();
        gtk_tree_view_get_cell_area(content_view(), path, nullptr, &area);
        gtk_tree_path_free(path);
        return area.height;
    };
    ASSERT_TRUE(pump_until([&] { return row_height() > 0; }));
    int list_height = row_height();
    kivel_file_selection_set_mode(fs(), KIVEL_FILE_SELECTION_MODE_THUMBNAILS);
    EXPECT_EQ(kivel_file_selection_get_mode(fs()), KIVEL_FILE_SELECTION_MODE_THUMBNAILS);
    EXPECT_TRUE(pump_until([&] { return row_height() > list_height + 16; }));
    EXPECT_EQ(names(), (Names{"picture.png"}));
}

} // namespace

// The file system model as a tree: its top-level rows, lazy loading with the
// placeholder row, columns, finding rows by URI, and views on top of it.
#include "platform/fsmodel/model-fixture.h"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

using namespace model_test;
using ulvo_test::make_dir;
using ulvo_test::pump_until;
using ulvo_test::write_file;

namespace
{

class ModelTree : public ModelTest
{
};

struct FinishedCount {
    int count = 0;
    std::string last_uri;
};

void on_finished(KivelFileSystemModel *model, GtkTreeIter *folder, gpointer data)
{
    auto *seen = static_cast<FinishedCount *>(data);
    seen->count++;
    seen->last_uri = string_column(GTK_TREE_MODEL(model), folder, KIVEL_FILE_SYSTEM_MODEL_URI);
}

TEST_F(ModelTree, DocumentsFolderComesFirstWithItsSpecialFolders)
{
    GtkTreeIter top;
    ASSERT_TRUE(gtk_tree_model_get_iter_first(tree_, &top));
    EXPECT_EQ(uri_of(docs_), string_column(tree_, &top, KIVEL_FILE_SYSTEM_MODEL_URI));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_LOCAL_DEVICE,
              int_column(tree_, &top, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE));
    EXPECT_EQ("My documents", string_column(tree_, &top, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME));
    EXPECT_NE(0, int_column(tree_, &top, KIVEL_FILE_SYSTEM_MODEL_AVAILABLE));
    EXPECT_TRUE(bool_column(tree_, &top, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER));
    EXPECT_EQ("", string_column(tree_, &top, KIVEL_FILE_SYSTEM_MODEL_DEVICE));
    GdkPixbuf *icon = nullptr;
    gtk_tree_model_get(tree_, &top, KIVEL_FILE_SYSTEM_MODEL_ICON, &icon, -1);
    EXPECT_NE(nullptr, icon);
    g_clear_object(&icon);
    // Nothing is read before it is asked for.
    EXPECT_FALSE(gtk_tree_model_iter_has_child(tree_, &top));
    EXPECT_FALSE(bool_column(tree_, &top, KIVEL_FILE_SYSTEM_MODEL_IS_LOADED));

    write_file(docs_ + "/.profile", "hidden");
    make_dir(docs_ + "/.cache");
    write_file(docs_ + "/plain.txt", "x");
    GtkTreeIter folder;
    ASSERT_TRUE(load(docs_, &folder));

    struct Expected {
        const char *dir;
        int type;
        const char *title;
    } expected[] = {{".images", 3, "Images"},
                    {".videos", 4, "Video clips"},
                    {".sounds", 5, "Sound clips"},
                    {".documents", 6, "Documents"},
                    {".camera", 7, "Camera"}};
    for (const Expected &e : expected) {
        std::string path = docs_ + "/" + e.dir;
        EXPECT_TRUE(g_file_test(path.c_str(), G_FILE_TEST_IS_DIR)) << path;
        GtkTreeIter row;
        ASSERT_TRUE(find(uri_of(path), &row)) << path;
        EXPECT_EQ(e.type, int_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE));
        EXPECT_EQ(e.title, string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME));
        EXPECT_EQ(e.dir, string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_NAME));
    }
    EXPECT_TRUE(has_child_named(&folder, "plain.txt"));
    EXPECT_FALSE(has_child_named(&folder, ".profile"));
    EXPECT_FALSE(has_child_named(&folder, ".cache"));
    EXPECT_EQ(6u, child_names(&folder).size());
}

// The documents folder carries the name its owner gave the device, when one
// is set; a file that cannot be read as text leaves the catalog's title.
TEST_F(ModelTree, DocumentsFolderIsShownUnderTheDeviceName)
{
    std::string info = ulvo_test::test_home() + "/machine-info";
    g_setenv("ULVO_MACHINE_INFO", info.c_str(), TRUE);
    struct Case {
        const char *contents;
        const char *shown;
    } cases[] = {{"CHASSIS=handset\nPRETTY_HOSTNAME=\"Anna's tablet\"\n", "Anna's tablet"},
                 {"PRETTY_HOSTNAME=\n", "My documents"},
                 {"ICON_NAME=computer\n", "My documents"},
                 {nullptr, "My documents"}};
    for (const Case &c : cases) {
        g_unlink(info.c_str());
        if (c.contents)
            write_file(info, c.contents);
        GtkTreeModel *tree = kivel_file_system_model_new(nullptr);
        GtkTreeIter top;
        ASSERT_TRUE(gtk_tree_model_get_iter_first(tree, &top));
        EXPECT_EQ(c.shown, string_column(tree, &top, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME))
            << (c.contents ? c.contents : "(no file)");
        g_object_unref(tree);
    }
    // Never read: a FIFO in its place does not hang the model.
    g_unlink(info.c_str());
    ASSERT_EQ(0, mkfifo(info.c_str(), 0600));
    GtkTreeModel *tree = kivel_file_system_model_new(nullptr);
    GtkTreeIter top;
    ASSERT_TRUE(gtk_tree_model_get_iter_first(tree, &top));
    EXPECT_EQ("My documents", string_column(tree, &top, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME));
    g_object_unref(tree);
}

TEST_F(ModelTree, SpecialNamesAreSpecialOnlyInTheDocumentsFolder)
{
    make_dir(docs_ + "/Trip/.images");
    GtkTreeIter folder, trip;
    ASSERT_TRUE(load(docs_, &folder));
    ASSERT_TRUE(load(docs_ + "/Trip", &trip));
    EXPECT_TRUE(child_names(&trip).empty()) << "a dot folder deeper down stays hidden";
}

TEST_F(ModelTree, FolderShowsPlaceholderWhileItLoads)
{
    std::string big = docs_ + "/big";
    make_dir(big);
    const int files = 1800; // several batches
    for (int i = 0; i < files; i++)
        write_file(big + "/f" + std::to_string(i));
    write_file(big + "/notes.txt", "hello");
    write_file(big + "/photo.png", "not really");
    make_dir(big + "/sub");
    write_file(big + "/locked.txt", "x");
    g_chmod((big + "/locked.txt").c_str(), 0444);

    GtkTreeIter documents, folder;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(find(uri_of(big), &folder));
    EXPECT_FALSE(gtk_tree_model_iter_has_child(tree_, &folder));

    FinishedCount finished;
    g_signal_connect(model_, "finished-loading", G_CALLBACK(on_finished), &finished);
    // A row per turn of the loop, so that the rows take many turns on any
    // machine.
    kivel_file_system_model_set_slice_budget(0);
    kivel_file_system_model_load_children(model_, &folder);

    ASSERT_EQ(1, gtk_tree_model_iter_n_children(tree_, &folder));
    GtkTreeIter placeholder;
    ASSERT_TRUE(gtk_tree_model_iter_children(tree_, &placeholder, &folder));
    EXPECT_TRUE(bool_column(tree_, &placeholder, KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER));
    EXPECT_EQ("Loading…", string_column(tree_, &placeholder, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME));
    EXPECT_FALSE(kivel_file_system_model_children_loaded(model_, &folder));
    // Asking again while it loads changes nothing.
    kivel_file_system_model_load_children(model_, &folder);
    EXPECT_EQ(1, gtk_tree_model_iter_n_children(tree_, &folder));

    int turns = 0;
    ASSERT_TRUE(ulvo_test::pump_until_counting(
        [&] { return finished.count > 0; },
        [&] { return gtk_tree_model_iter_n_children(tree_, &folder); }, &turns));
    EXPECT_GT(turns, 10);
    EXPECT_EQ(1, finished.count);
    EXPECT_EQ(uri_of(big), finished.last_uri);
    EXPECT_TRUE(kivel_file_system_model_children_loaded(model_, &folder));
    EXPECT_TRUE(bool_column(tree_, &folder, KIVEL_FILE_SYSTEM_MODEL_IS_LOADED));
    EXPECT_EQ(files + 4, gtk_tree_model_iter_n_children(tree_, &folder));
    GtkTreeIter child;
    int placeholders = 0;
    for (bool ok = gtk_tree_model_iter_children(tree_, &child, &folder); ok;
         ok = gtk_tree_model_iter_next(tree_, &child))
        placeholders += bool_column(tree_, &child, KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER);
    EXPECT_EQ(0, placeholders);

    GtkTreeIter notes;
    std::string notes_path = big + "/notes.txt";
    ASSERT_TRUE(find(uri_of(notes_path), &notes));
    GStatBuf st;
    ASSERT_EQ(0, g_stat(notes_path.c_str(), &st));
    EXPECT_EQ(uri_of(notes_path), string_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_URI));
    EXPECT_EQ(notes_path, string_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_LOCAL_PATH));
    EXPECT_EQ("notes.txt", string_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_NAME));
    EXPECT_EQ("notes.txt", string_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME));
    EXPECT_EQ("text/plain", string_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_MIME_TYPE));
    EXPECT_EQ(5, int64_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_SIZE));
    EXPECT_EQ(gint64(st.st_mtime), int64_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_MTIME));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_FILE,
              int_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE));
    EXPECT_FALSE(bool_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER));
    EXPECT_FALSE(bool_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_IS_READONLY));
    EXPECT_NE(0, int_column(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_AVAILABLE));

    GtkTreeIter sub, locked, photo;
    ASSERT_TRUE(find(uri_of(big + "/sub"), &sub));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_FOLDER,
              int_column(tree_, &sub, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE));
    EXPECT_TRUE(bool_column(tree_, &sub, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER));
    EXPECT_EQ("inode/directory", string_column(tree_, &sub, KIVEL_FILE_SYSTEM_MODEL_MIME_TYPE));
    ASSERT_TRUE(find(uri_of(big + "/locked.txt"), &locked));
    EXPECT_TRUE(bool_column(tree_, &locked, KIVEL_FILE_SYSTEM_MODEL_IS_READONLY));
    ASSERT_TRUE(find(uri_of(big + "/photo.png"), &photo));
    EXPECT_EQ("image/png", string_column(tree_, &photo, KIVEL_FILE_SYSTEM_MODEL_MIME_TYPE));
    // Icons are shared, one per kind.
    GdkPixbuf *folder_icon = nullptr, *other_folder_icon = nullptr, *file_icon = nullptr;
    gtk_tree_model_get(tree_, &sub, KIVEL_FILE_SYSTEM_MODEL_ICON, &folder_icon, -1);
    gtk_tree_model_get(tree_, &folder, KIVEL_FILE_SYSTEM_MODEL_ICON, &other_folder_icon, -1);
    gtk_tree_model_get(tree_, &notes, KIVEL_FILE_SYSTEM_MODEL_ICON, &file_icon, -1);
    EXPECT_NE(nullptr, folder_icon);
    EXPECT_EQ(folder_icon, other_folder_icon);
    EXPECT_NE(folder_icon, file_icon);
    g_clear_object(&folder_icon);
    g_clear_object(&other_folder_icon);
    g_clear_object(&file_icon);
}

TEST_F(ModelTree, FolderThatCannotBeReadEndsItsLoadEmpty)
{
    // A link whose folder goes away: the row stays, reading it fails.
    std::string target = ulvo_test::test_home() + "/elsewhere";
    make_dir(target);
    write_file(target + "/inside.txt");
    ASSERT_EQ(0, symlink(target.c_str(), (docs_ + "/link").c_str()));
    GtkTreeIter documents, folder;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(find(uri_of(docs_ + "/link"), &folder));
    EXPECT_TRUE(bool_column(tree_, &folder, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER));
    ASSERT_EQ(0, g_unlink((target + "/inside.txt").c_str()));
    ASSERT_EQ(0, g_rmdir(target.c_str()));

    FinishedCount finished;
    g_signal_connect(model_, "finished-loading", G_CALLBACK(on_finished), &finished);
    kivel_file_system_model_load_children(model_, &folder);
    ASSERT_TRUE(pump_until([&] { return finished.count > 0; }));
    EXPECT_TRUE(kivel_file_system_model_children_loaded(model_, &folder));
    EXPECT_EQ(0, gtk_tree_model_iter_n_children(tree_, &folder)) << "no placeholder is left";
    EXPECT_EQ(0, int_column(tree_, &folder, KIVEL_FILE_SYSTEM_MODEL_AVAILABLE));
}

// A folder's rows carry what GIO tells of each file, whatever its kind.
TEST_F(ModelTree, RowsOfAFolderReadAgreeWithGioOnEveryKindOfFile)
{
    std::string dir = docs_ + "/kinds";
    make_dir(dir);
    write_file(dir + "/a.jpg"); // empty: text, whatever its name
    write_file(dir + "/notes.txt", "abc");
    write_file(dir + "/plain", "abc");
    write_file(dir + "/song.mp3", "x");
    write_file(dir + "/b~");
    write_file(dir + "/locked.txt", "x");
    ASSERT_EQ(0, g_chmod((dir + "/locked.txt").c_str(), 0444));
    write_file(dir + "/secret.txt");
    write_file(dir + "/.dot");
    write_file(dir + "/.hidden", "secret.txt\nnot-there\n");
    write_file(dir + "/bad\xff.txt", "x");
    make_dir(dir + "/sub");
    ASSERT_EQ(0, symlink("nowhere", (dir + "/broken").c_str()));
    ASSERT_EQ(0, symlink("sub", (dir + "/linkdir").c_str()));
    ASSERT_EQ(0, symlink("notes.txt", (dir + "/linkfile").c_str()));
    ASSERT_EQ(0, mkfifo((dir + "/fifo").c_str(), 0600));

    GtkTreeIter documents, folder, row;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(load(dir, &folder));
    std::vector<std::string> names = child_names(&folder);
    std::sort(names.begin(), names.end());
    // The name column holds text: a name that is not UTF-8 is shown as can be.
    EXPECT_EQ(names, (std::vector<std::string>{"a.jpg", "bad\uFFFD.txt", "broken", "b~", "fifo",
                                               "linkdir", "linkfile", "locked.txt", "notes.txt",
                                               "plain", "song.mp3", "sub"}));
    for (bool ok = gtk_tree_model_iter_children(tree_, &row, &folder); ok;
         ok = gtk_tree_model_iter_next(tree_, &row)) {
        std::string name = string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_LOCAL_PATH);
        GFile *file = g_file_new_for_path(name.c_str());
        GFileInfo *info = g_file_query_info(file, "standard::*,time::modified,unix::mode",
                                            G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
        g_object_unref(file);
        ASSERT_NE(info, nullptr) << name;
        SCOPED_TRACE(name);
        EXPECT_EQ(string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME),
                  g_file_info_get_display_name(info));
        EXPECT_EQ(
            string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_MIME_TYPE),
            g_file_info_get_attribute_string(info, G_FILE_ATTRIBUTE_STANDARD_FAST_CONTENT_TYPE));
        EXPECT_EQ(bool_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER),
                  g_file_info_get_file_type(info) == G_FILE_TYPE_DIRECTORY);
        EXPECT_EQ(int64_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_SIZE),
                  g_file_info_get_size(info));
        EXPECT_EQ(int64_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_MTIME),
                  gint64(g_file_info_get_attribute_uint64(info, G_FILE_ATTRIBUTE_TIME_MODIFIED)));
        EXPECT_EQ(bool_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_IS_READONLY),
                  !(g_file_info_get_attribute_uint32(info, G_FILE_ATTRIBUTE_UNIX_MODE) & S_IWUSR));
        g_object_unref(info);
    }
    ASSERT_TRUE(find(uri_of(dir + "/locked.txt"), &row));
    EXPECT_TRUE(bool_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_IS_READONLY));
}

// Counts the rows below one folder from the row signals alone.
struct RowMirror {
    GtkTreePath *folder;
    int rows = 0;
    int bad_paths = 0;
};

void mirror_inserted(GtkTreeModel *model, GtkTreePath *path, GtkTreeIter *iter, gpointer data)
{
    auto *mirror = static_cast<RowMirror *>(data);
    GtkTreePath *again = gtk_tree_model_get_path(model, iter);
    if (gtk_tree_path_compare(again, path) != 0)
        mirror->bad_paths++;
    gtk_tree_path_free(again);
    if (gtk_tree_path_get_depth(path) == gtk_tree_path_get_depth(mirror->folder) + 1 &&
        gtk_tree_path_is_descendant(path, mirror->folder))
        mirror->rows++;
}

void mirror_deleted(GtkTreeModel *, GtkTreePath *path, gpointer data)
{
    auto *mirror = static_cast<RowMirror *>(data);
    if (gtk_tree_path_get_depth(path) == gtk_tree_path_get_depth(mirror->folder) + 1 &&
        gtk_tree_path_is_descendant(path, mirror->folder))
        mirror->rows--;
}

TEST_F(ModelTree, ViewsFollowTheRowsWithoutComplaint)
{
    ulvo_test::LogRecorder gtk_log("Gtk");
    ulvo_test::LogRecorder gobject_log("GLib-GObject");
    std::string dir = docs_ + "/many";
    for (int i = 0; i < 1200; i++)
        write_file(dir + "/item" + std::to_string(i) + ".txt");
    make_dir(dir + "/inner");

    GtkTreeIter documents, folder;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(find(uri_of(dir), &folder));
    GtkTreePath *folder_path = gtk_tree_model_get_path(tree_, &folder);

    // A navigation view of the whole tree, and a sorted content view of the
    // folder, as the file selection widget builds them.
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    GtkWidget *navigation = gtk_tree_view_new_with_model(tree_);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(navigation), -1, "name",
                                                gtk_cell_renderer_text_new(), "text",
                                                KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME, nullptr);
    GtkTreeModel *filter = gtk_tree_model_filter_new(tree_, folder_path);
    GtkTreeModel *sorted = gtk_tree_model_sort_new_with_model(filter);
    gtk_tree_sortable_set_sort_column_id(GTK_TREE_SORTABLE(sorted),
                                         KIVEL_FILE_SYSTEM_MODEL_SORT_KEY, GTK_SORT_ASCENDING);
    GtkWidget *content = gtk_tree_view_new_with_model(sorted);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(content), -1, "name",
                                                gtk_cell_renderer_text_new(), "text",
                                                KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME, nullptr);
    for (GtkWidget *view : {navigation, content}) {
        GtkWidget *scrolled = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_container_add(GTK_CONTAINER(scrolled), view);
        gtk_box_pack_start(GTK_BOX(box), scrolled, TRUE, TRUE, 0);
    }
    gtk_container_add(GTK_CONTAINER(window), box);
    gtk_window_set_default_size(GTK_WINDOW(window), 400, 300);
    gtk_widget_show_all(window);

    RowMirror mirror{folder_path};
    g_signal_connect(tree_, "row-inserted", G_CALLBACK(mirror_inserted), &mirror);
    g_signal_connect(tree_, "row-deleted", G_CALLBACK(mirror_deleted), &mirror);

    kivel_file_system_model_load_children(model_, &folder);
    gtk_tree_view_expand_to_path(GTK_TREE_VIEW(navigation), folder_path);
    ASSERT_TRUE(
        pump_until([&] { return kivel_file_system_model_children_loaded(model_, &folder); }));
    g_unlink((dir + "/item7.txt").c_str());
    ASSERT_TRUE(pump_until([&] { return !has_child_named(&folder, "item7.txt"); }));

    int rows = gtk_tree_model_iter_n_children(tree_, &folder);
    EXPECT_EQ(1200, rows);
    EXPECT_EQ(rows, mirror.rows);
    EXPECT_EQ(0, mirror.bad_paths);
    EXPECT_EQ(rows, gtk_tree_model_iter_n_children(sorted, nullptr));
    EXPECT_TRUE(gtk_tree_view_row_expanded(GTK_TREE_VIEW(navigation), folder_path));

    // Every row's path leads back to the row, and the order is stable.
    GtkTreeIter child;
    int index = 0;
    for (bool ok = gtk_tree_model_iter_children(tree_, &child, &folder); ok;
         ok = gtk_tree_model_iter_next(tree_, &child), index++) {
        GtkTreePath *path = gtk_tree_model_get_path(tree_, &child);
        ASSERT_EQ(index, gtk_tree_path_get_indices(path)[gtk_tree_path_get_depth(path) - 1]);
        GtkTreeIter again;
        ASSERT_TRUE(gtk_tree_model_get_iter(tree_, &again, path));
        ASSERT_EQ(child.user_data, again.user_data);
        GtkTreeIter parent;
        ASSERT_TRUE(gtk_tree_model_iter_parent(tree_, &parent, &child));
        ASSERT_EQ(folder.user_data, parent.user_data);
        gtk_tree_path_free(path);
    }
    GtkTreeIter nth;
    ASSERT_TRUE(gtk_tree_model_iter_nth_child(tree_, &nth, &folder, rows - 1));
    EXPECT_FALSE(gtk_tree_model_iter_nth_child(tree_, &nth, &folder, rows));

    // The sorted view reads the rows in name order.
    GtkTreeIter first;
    ASSERT_TRUE(gtk_tree_model_get_iter_first(sorted, &first));
    EXPECT_EQ("inner", string_column(sorted, &first, KIVEL_FILE_SYSTEM_MODEL_NAME));

    gtk_widget_destroy(window);
    g_object_unref(sorted);
    g_object_unref(filter);
    gtk_tree_path_free(folder_path);
    EXPECT_EQ("", gtk_log.text());
    EXPECT_EQ("", gobject_log.text());
}

TEST_F(ModelTree, FindsRowsOfEscapedNames)
{
    const char *names[] = {"a b.txt", "hash#1", "100%.txt", "café ünï.txt", "semi;colon&plus+"};
    for (const char *name : names)
        write_file(docs_ + "/sub dir/" + name);
    GtkTreeIter documents, sub;
    ASSERT_TRUE(load(docs_, &documents));
    ASSERT_TRUE(load(docs_ + "/sub dir", &sub));

    for (const char *name : names) {
        std::string path = docs_ + "/sub dir/" + name;
        GtkTreeIter row;
        ASSERT_TRUE(find(uri_of(path), &row)) << name;
        EXPECT_EQ(uri_of(path), string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_URI));
        EXPECT_EQ(name, string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME));
        EXPECT_TRUE(
            kivel_file_system_model_search_uri(model_, uri_of(path).c_str(), &row, nullptr, TRUE));
        // Only as a child of its own folder when not searching recursively.
        EXPECT_FALSE(kivel_file_system_model_search_path(model_, uri_of(path).c_str(), &row,
                                                         nullptr, FALSE));
        EXPECT_TRUE(
            kivel_file_system_model_search_path(model_, uri_of(path).c_str(), &row, &sub, FALSE));
        EXPECT_FALSE(kivel_file_system_model_search_path(model_, uri_of(path).c_str(), &row,
                                                         &documents, FALSE));
        EXPECT_TRUE(kivel_file_system_model_search_path(model_, uri_of(path).c_str(), &row,
                                                        &documents, TRUE));
    }

    // Other spellings of the same locations.
    std::string docs_uri = uri_of(docs_);
    GtkTreeIter row;
    EXPECT_TRUE(kivel_file_system_model_search_uri(model_, (docs_uri + "/sub%20dir/").c_str(), &row,
                                                   nullptr, TRUE));
    EXPECT_EQ(uri_of(docs_ + "/sub dir"), string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_URI));
    EXPECT_TRUE(kivel_file_system_model_search_uri(
        model_, (docs_uri + "/sub%20dir/./caf%c3%a9%20%c3%bcn%c3%af.txt").c_str(), &row, nullptr,
        TRUE));
    EXPECT_EQ("café ünï.txt", string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_NAME));
    std::string upper = "FILE" + docs_uri.substr(4) + "/sub%20dir/hash%231";
    EXPECT_TRUE(kivel_file_system_model_search_uri(model_, upper.c_str(), &row, nullptr, TRUE));
    EXPECT_TRUE(kivel_file_system_model_search_uri(model_, docs_uri.c_str(), &row, nullptr, FALSE));
    EXPECT_EQ(KIVEL_FILE_SYSTEM_MODEL_LOCAL_DEVICE,
              int_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE));

    // Locations the model has no row for.
    EXPECT_FALSE(find(docs_uri + "/sub%20dir/missing", &row));
    EXPECT_FALSE(find(docs_uri + "/sub%20dir/a%2Fb", &row));
    EXPECT_FALSE(find("file:///", &row));
    EXPECT_FALSE(find(KIVEL_FILE_SYSTEM_ROOT_URI, &row));
    EXPECT_FALSE(find(docs_uri + "x", &row)) << "a sibling sharing the prefix";
    EXPECT_FALSE(kivel_file_system_model_search_uri(model_, "not a uri", &row, nullptr, TRUE));
}

TEST_F(ModelTree, LoadPathReachesADeepFolderStepByStep)
{
    std::string deep = docs_ + "/a/b c/d#e/f";
    make_dir(deep);
    write_file(docs_ + "/a/file.txt");
    std::string path = uri_of(deep);
    GtkTreeIter row;
    int calls = 0;
    ASSERT_TRUE(pump_until([&] {
        calls++;
        return kivel_file_system_model_load_path(model_, path.c_str(), &row);
    }));
    EXPECT_GT(calls, 1) << "the folders on the way load asynchronously";
    EXPECT_EQ(path, string_column(tree_, &row, KIVEL_FILE_SYSTEM_MODEL_URI));
    EXPECT_TRUE(kivel_file_system_model_load_path(model_, path.c_str(), nullptr));

    // A folder made after its parent was read is found too.
    make_dir(docs_ + "/a/b c/late");
    std::string late = uri_of(docs_ + "/a/b c/late");
    EXPECT_TRUE(
        pump_until([&] { return kivel_file_system_model_load_path(model_, late.c_str(), &row); }));

    // What is not there never loads.
    std::string missing = uri_of(docs_ + "/a/b c/nothing/here");
    std::string under_file = uri_of(docs_ + "/a/file.txt/x");
    ulvo_test::pump_for(300);
    EXPECT_FALSE(kivel_file_system_model_load_path(model_, missing.c_str(), &row));
    EXPECT_FALSE(kivel_file_system_model_load_path(model_, under_file.c_str(), &row));
    EXPECT_FALSE(kivel_file_system_model_load_path(model_, "file:///nowhere/at/all", &row));
}

} // namespace

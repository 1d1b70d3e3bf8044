// Reaching every place by taps: the top level, the folder-up button, and where
// a folder's list starts.
#include "browser-fixture.h"
#include "support/pointer.h"
#include "support/private-mounts.h"

#include <sys/mount.h>

using namespace browser_test;

class BrowserPlaces : public testing::Test
{
  protected:
    void start()
    {
        browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        fs = file_selection_of(browser);
        view = GTK_TREE_VIEW(kivel_file_selection_get_content_view(fs));
    }

    // The name the content pane shows on `row`.
    std::string shown_name(gint row)
    {
        GtkTreeModel *store = gtk_tree_view_get_model(view);
        GtkTreeIter iter;
        if (!gtk_tree_model_iter_nth_child(store, &iter, nullptr, row))
            return "";
        GtkTreeViewColumn *column = gtk_tree_view_get_column(view, 0);
        gtk_tree_view_column_cell_set_cell_data(column, store, &iter, FALSE, FALSE);
        GList *cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column));
        gchar *text = nullptr;
        g_object_get(g_list_nth_data(cells, 1), "text", &text, nullptr);
        g_list_free(cells);
        std::string name = text ? text : "";
        g_free(text);
        return name;
    }

    gint row_named(const std::string &name)
    {
        gint n = gtk_tree_model_iter_n_children(gtk_tree_view_get_model(view), nullptr);
        for (gint row = 0; row < n; row++)
            if (shown_name(row) == name)
                return row;
        return -1;
    }

    // The row at the top of the content pane once it is drawn, or -1.
    gint top_row()
    {
        GtkTreePath *start = nullptr, *end = nullptr;
        if (!gtk_tree_view_get_visible_range(view, &start, &end))
            return -1;
        gint index = gtk_tree_path_get_indices(start)[0];
        gtk_tree_path_free(start);
        gtk_tree_path_free(end);
        return index;
    }

    // Taps the row named `name` with real pointer events until it opens: a
    // tap selects it, a tap on it selected (past the double-click time)
    // opens it. A row the model puts back (a card just mounted) loses its
    // selection, as a person's would: one more tap then.
    void open_by_taps(const std::string &name)
    {
        ASSERT_TRUE(ulvo_test::pump_until([&] { return row_named(name) >= 0; })) << name;
        for (int tap = 0; tap < 3 && row_named(name) >= 0; tap++) {
            gint x = 0, y = 0;
            scroll_to_row(row_named(name));
            ASSERT_TRUE(ulvo_test::tree_row_point(view, row_named(name), &x, &y)) << name;
            ulvo_test::pointer_move(GTK_WIDGET(view), x, y);
            ulvo_test::pointer_click();
            ulvo_test::pump_for(600);
        }
    }

    void scroll_to_row(gint row)
    {
        GtkTreePath *path = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_view_scroll_to_cell(view, path, nullptr, FALSE, 0, 0);
        gtk_tree_path_free(path);
    }

    // Taps the folder-up button with real pointer events.
    void tap_folder_up()
    {
        GtkWidget *button = browser->folder_up_button;
        GtkAllocation area;
        gtk_widget_get_allocation(button, &area);
        ulvo_test::pointer_move(button, area.width / 2, area.height / 2);
        ulvo_test::pointer_click();
    }

    bool await_folder(const std::string &uri)
    {
        return ulvo_test::pump_until([&] { return current_folder(browser) == uri; });
    }

    // TRUE once the current folder has been read to its end.
    bool folder_read()
    {
        GtkTreeIter folder;
        GtkTreeModel *model = nullptr;
        g_object_get(fs, "model", &model, NULL);
        bool read =
            kivel_file_selection_get_current_folder_iter(fs, &folder) &&
            kivel_file_system_model_children_loaded(KIVEL_FILE_SYSTEM_MODEL(model), &folder);
        g_object_unref(model);
        return read;
    }

    bool up_sensitive() { return gtk_widget_get_sensitive(browser->folder_up_button); }

    std::string label() { return gtk_label_get_text(GTK_LABEL(browser->path_label)); }

    // The one item selected in the content pane, or "".
    std::string selected()
    {
        GSList *uris = kivel_file_selection_get_selected_uris(fs);
        std::string one = uris && !uris->next ? static_cast<const char *>(uris->data) : "";
        g_slist_free_full(uris, g_free);
        return one;
    }

    bool row_in_sight(gint row)
    {
        GtkTreePath *start = nullptr, *end = nullptr;
        if (!gtk_tree_view_get_visible_range(view, &start, &end))
            return false;
        bool inside =
            gtk_tree_path_get_indices(start)[0] <= row && row <= gtk_tree_path_get_indices(end)[0];
        gtk_tree_path_free(start);
        gtk_tree_path_free(end);
        return inside;
    }

    std::string menu_entries() { return visible_menu_entries(browser); }

    UlvoFmBrowser *browser = nullptr;
    KivelFileSelection *fs = nullptr;
    GtkTreeView *view = nullptr;
};

TEST_F(BrowserPlaces, StartFolderShowsItsFirstRows)
{
    // Read in the disk's order, listed in the name order.
    for (int i = 0; i < 3000; i++)
        ulvo_test::write_file(docs_dir() + "/file" + std::to_string(i * 7919 % 3000));
    start();
    ASSERT_TRUE(await_content_count(browser, 3005));
    ulvo_test::pump_for(300);
    EXPECT_EQ(top_row(), 0);
}

TEST_F(BrowserPlaces, FolderUpFromTheDocumentsFolderReachesTheTopLevel)
{
    ulvo_test::write_file(docs_dir() + "/note.txt");
    start();
    std::string docs = file_uri(docs_dir());
    ASSERT_EQ(current_folder(browser), docs);
    EXPECT_TRUE(up_sensitive());
    EXPECT_EQ(label(), "");

    tap_folder_up();
    ASSERT_TRUE(await_folder("files:///"));
    EXPECT_FALSE(up_sensitive());
    EXPECT_EQ(label(), "");
    // The top level lists the devices with their icons; the folder just left
    // is the one selected.
    ASSERT_TRUE(ulvo_test::pump_until([&] { return row_named("My documents") == 0; }));
    EXPECT_EQ(selected(), docs);
    GtkTreeIter row;
    ASSERT_TRUE(kivel_file_selection_get_current_content_iter(fs, &row));
    GtkTreeModel *model = nullptr;
    g_object_get(fs, "model", &model, NULL);
    GdkPixbuf *icon = nullptr;
    gtk_tree_model_get(model, &row, KIVEL_FILE_SYSTEM_MODEL_ICON, &icon, -1);
    EXPECT_NE(icon, nullptr);
    if (icon)
        g_object_unref(icon);
    g_object_unref(model);
    EXPECT_EQ(menu_entries(), "000001");

    // At the top a tap on the button does nothing; taps on the row go back.
    tap_folder_up();
    ulvo_test::pump_for(100);
    EXPECT_EQ(current_folder(browser), "files:///");
    open_by_taps("My documents");
    ASSERT_TRUE(await_folder(docs));
    EXPECT_TRUE(up_sensitive());
    EXPECT_EQ(menu_entries(), "111111");
}

TEST_F(BrowserPlaces, TheTopLevelReachedOverDBusOrRestoreDisablesTheButton)
{
    ulvo_test::make_dir(docs_dir() + "/Trip");
    start();
    std::string trip = file_uri(docs_dir() + "/Trip");
    ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs, trip.c_str(), nullptr));
    EXPECT_EQ(label(), "Trip/");
    ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs, "files:///", nullptr));
    EXPECT_FALSE(up_sensitive());
    EXPECT_EQ(label(), "");
    ASSERT_TRUE(kivel_file_selection_set_current_folder_uri(fs, trip.c_str(), nullptr));
    EXPECT_TRUE(up_sensitive());
}

TEST_F(BrowserPlaces, FolderUpShowsTheFolderJustLeftSelected)
{
    for (int i = 10; i < 70; i++)
        ulvo_test::make_dir(docs_dir() + "/f" + std::to_string(i));
    start();
    std::string left = file_uri(docs_dir() + "/f63");
    open_by_taps("f63");
    ASSERT_TRUE(await_folder(left));
    ulvo_test::pump_for(100);
    tap_folder_up();
    ASSERT_TRUE(await_folder(file_uri(docs_dir())));
    ASSERT_TRUE(ulvo_test::pump_until([&] { return selected() == left; }));
    gint row = row_named("f63");
    EXPECT_TRUE(ulvo_test::pump_until([&] { return row_in_sight(row); }, 2000));
}

TEST_F(BrowserPlaces, CardsAreReachedByTapsAndARemovedCardLeadsToTheTopLevel)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    ulvo_test::make_dir("/media/mmc1");
    ASSERT_TRUE(ulvo_test::mount_tmpfs("cardone", "/media/mmc1"));
    ulvo_test::write_file("/media/mmc1/trip/photo.jpg", "jpeg");
    start();

    tap_folder_up();
    ASSERT_TRUE(await_folder("files:///"));
    ASSERT_TRUE(ulvo_test::pump_until([&] { return row_named("Memory card") == 1; }));
    open_by_taps("Memory card");
    ASSERT_TRUE(await_folder("file:///media/mmc1"));
    EXPECT_TRUE(up_sensitive());
    open_by_taps("trip");
    ASSERT_TRUE(await_folder("file:///media/mmc1/trip"));
    ASSERT_TRUE(
        ulvo_test::pump_until([&] { return row_named("photo.jpg") == 0 && folder_read(); }));

    // Taken out while shown: the top level, where the card is no longer listed.
    ASSERT_EQ(0, umount("/media/mmc1"));
    ASSERT_TRUE(await_folder("files:///"));
    EXPECT_FALSE(up_sensitive());
    EXPECT_TRUE(ulvo_test::pump_until([&] {
        return kivel_file_selection_get_content_count(fs) == 1 && row_named("My documents") == 0;
    }));
    EXPECT_EQ(menu_entries(), "000001");

    // Taken out while its root is shown, too.
    ASSERT_TRUE(ulvo_test::mount_tmpfs("cardtwo", "/media/mmc1"));
    open_by_taps("Memory card");
    ASSERT_TRUE(await_folder("file:///media/mmc1"));
    ASSERT_TRUE(ulvo_test::pump_until([&] { return folder_read(); }));
    ASSERT_EQ(0, umount("/media/mmc1"));
    ASSERT_TRUE(await_folder("files:///"));
    EXPECT_FALSE(up_sensitive());
}

TEST_F(BrowserPlaces, ACardPutBackWhileShownListsTheNewCard)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    ulvo_test::make_dir("/media/mmc1");
    ASSERT_TRUE(ulvo_test::mount_tmpfs("cardone", "/media/mmc1"));
    ulvo_test::write_file("/media/mmc1/old.jpg", "jpeg");
    start();
    ASSERT_TRUE(ulvo_test::pump_until([&] {
        return kivel_file_selection_set_current_folder_uri(fs, "file:///media/mmc1", nullptr);
    }));
    ASSERT_TRUE(ulvo_test::pump_until([&] { return row_named("old.jpg") == 0 && folder_read(); }));

    // Out and in again before the window looks.
    ASSERT_EQ(0, umount("/media/mmc1"));
    ASSERT_TRUE(ulvo_test::mount_tmpfs("cardtwo", "/media/mmc1"));
    ulvo_test::write_file("/media/mmc1/new.jpg", "jpeg");
    EXPECT_TRUE(ulvo_test::pump_until(
        [&] {
            return row_named("new.jpg") == 0 && kivel_file_selection_get_content_count(fs) == 1;
        },
        1000));
    EXPECT_EQ(current_folder(browser), "file:///media/mmc1");
}

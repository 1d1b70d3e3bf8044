// Selecting, activating, the active pane, edit mode, menus and dimming,
// driven on a shown widget.
#include "platform/selection/selection-fixture.h"

#include <glib/gstdio.h>

using namespace ulvo_test;
using namespace selection_test;
using Names = std::vector<std::string>;

namespace
{

class SelectionInteraction : public SelectionTest
{
  protected:
    // ~/MyDocs/work with a folder "sub" and files a, b, c.
    void make_work_folder(bool edit_mode = false)
    {
        dir = folder("work");
        make_dir(dir + "/sub");
        write_file(dir + "/a", "a");
        write_file(dir + "/b", "b");
        write_file(dir + "/c", "c");
        build(edit_mode);
        enter(dir);
        ASSERT_TRUE(await_count(4));
        // The focused view is the active pane: a late keyboard focus for the
        // window then changes nothing.
        g_object_set(widget_, "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, nullptr);
        log.clear();
    }
    std::string uri(const std::string &name) const { return uri_of(dir + "/" + name); }
    std::string dir;
};

TEST_F(SelectionInteraction, SelectAndUnselectByUriReportChanges)
{
    make_work_folder();
    EXPECT_TRUE(selected_uris().empty());

    EXPECT_TRUE(kivel_file_selection_select_uri(fs(), uri("b").c_str()));
    EXPECT_EQ(selected_uris(), (Names{uri("b")}));
    EXPECT_EQ(log.count("selection-changed"), 1);

    // Selecting by URI adds to the selection, in display order.
    EXPECT_TRUE(kivel_file_selection_select_uri(fs(), uri("c").c_str()));
    EXPECT_EQ(selected_uris(), (Names{uri("b"), uri("c")}));

    kivel_file_selection_unselect_uri(fs(), uri("b").c_str());
    kivel_file_selection_unselect_uri(fs(), uri("c").c_str());
    EXPECT_TRUE(selected_uris().empty());
    EXPECT_FALSE(kivel_file_selection_select_uri(fs(), uri("nothing").c_str()));

    // The focused content item is the selected one.
    kivel_file_selection_select_uri(fs(), uri("a").c_str());
    GtkTreeIter iter;
    ASSERT_TRUE(kivel_file_selection_get_current_content_iter(fs(), &iter));
    gchar *row_uri = nullptr;
    gtk_tree_model_get(model_, &iter, KIVEL_FILE_SYSTEM_MODEL_URI, &row_uri, -1);
    EXPECT_STREQ(row_uri, uri("a").c_str());
    g_free(row_uri);
}

TEST_F(SelectionInteraction, ChangingFolderClearsTheSelectionAndReportsIt)
{
    make_work_folder();
    kivel_file_selection_select_uri(fs(), uri("a").c_str());
    log.clear();

    enter(dir + "/sub");
    EXPECT_TRUE(selected_uris().empty());
    EXPECT_EQ(log.names,
              (Names{"current-folder-changed", "folder-activated", "selection-changed"}));
}

TEST_F(SelectionInteraction, RemovingTheSelectedItemReportsAChangedSelection)
{
    make_work_folder();
    kivel_file_selection_select_uri(fs(), uri("b").c_str());
    log.clear();

    ASSERT_EQ(g_remove((dir + "/b").c_str()), 0);
    ASSERT_TRUE(await_count(3));
    EXPECT_TRUE(selected_uris().empty());
    EXPECT_GE(log.count("selection-changed"), 1);
}

TEST_F(SelectionInteraction, ActivatingAFileReportsItAndAFolderEntersIt)
{
    make_work_folder();
    int file_row = row_of("b");
    ASSERT_GE(file_row, 0);
    GtkTreePath *path = gtk_tree_path_new_from_indices(file_row, -1);
    gtk_tree_view_row_activated(content_view(), path, nullptr);
    gtk_tree_path_free(path);
    EXPECT_EQ(log.count("file-activated"), 1);
    EXPECT_EQ(selected_uris(), (Names{uri("b")}));
    log.clear();

    path = gtk_tree_path_new_from_indices(row_of("sub"), -1);
    gtk_tree_view_row_activated(content_view(), path, nullptr);
    gtk_tree_path_free(path);
    EXPECT_EQ(log.names,
              (Names{"current-folder-changed", "folder-activated", "selection-changed"}));
    gchar *current = kivel_file_selection_get_current_folder_uri(fs());
    EXPECT_STREQ(current, uri("sub").c_str());
    g_free(current);
    EXPECT_EQ(log.count("file-activated"), 0);
}

TEST_F(SelectionInteraction, ATapOnTheSelectedFileOpensIt)
{
    make_work_folder();
    int row = row_of("c");
    press_row(row, 1);
    release_row(row, 1);
    EXPECT_EQ(selected_uris(), (Names{uri("c")}));
    EXPECT_EQ(log.count("file-activated"), 0) << "the first tap only selects";

    press_row(row, 1);
    release_row(row, 1);
    EXPECT_TRUE(pump_until([&] { return log.count("file-activated") == 1; }));

    // A double click opens once.
    row = row_of("a");
    press_row(row, 1);
    release_row(row, 1);
    press_row(row, 1, 100);
    release_row(row, 1);
    pump_for(50);
    EXPECT_EQ(log.count("file-activated"), 2);
    EXPECT_EQ(selected_uris(), (Names{uri("a")}));
}

TEST_F(SelectionInteraction, EditModeMarksSeveralItemsInDisplayOrder)
{
    make_work_folder(true);
    kivel_file_selection_select_uri(fs(), uri("c").c_str());
    kivel_file_selection_select_uri(fs(), uri("a").c_str());
    EXPECT_EQ(selected_uris(), (Names{uri("a"), uri("c")}));

    // A tap toggles one mark and keeps the others.
    press_row(row_of("b"), 1);
    release_row(row_of("b"), 1);
    EXPECT_EQ(selected_uris(), (Names{uri("a"), uri("b"), uri("c")}));
    press_row(row_of("a"), 1);
    release_row(row_of("a"), 1);
    EXPECT_EQ(selected_uris(), (Names{uri("b"), uri("c")}));

    // Activating a file in edit mode opens nothing.
    GtkTreePath *path = gtk_tree_path_new_from_indices(row_of("b"), -1);
    gtk_tree_view_row_activated(content_view(), path, nullptr);
    gtk_tree_path_free(path);
    EXPECT_EQ(log.count("file-activated"), 0);

    kivel_file_selection_select_all(fs());
    EXPECT_EQ(selected_uris(), (Names{uri("sub"), uri("a"), uri("b"), uri("c")}));
    kivel_file_selection_unselect_all(fs());
    EXPECT_TRUE(selected_uris().empty());
}

TEST_F(SelectionInteraction, ActivePaneFollowsThePropertyPressesAndFocus)
{
    make_work_folder();
    // The window may take the keyboard focus at any moment; from here on the
    // focused view is always the active pane, so that changes nothing.
    g_object_set(widget_, "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, nullptr);
    log.clear();

    g_object_set(widget_, "active-pane", KIVEL_FILE_SELECTION_PANE_NAVIGATION, nullptr);
    EXPECT_EQ(kivel_file_selection_get_active_pane(fs()), KIVEL_FILE_SELECTION_PANE_NAVIGATION);
    EXPECT_EQ(log.count("notify::active-pane"), 1);
    EXPECT_EQ(log.count("selection-changed"), 1);
    EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(window_)),
              kivel_file_selection_get_navigation_view(fs()));
    log.clear();

    // A tap in the content pane makes it the active one.
    press_row(row_of("a"), 1);
    release_row(row_of("a"), 1);
    EXPECT_EQ(kivel_file_selection_get_active_pane(fs()), KIVEL_FILE_SELECTION_PANE_CONTENT);
    EXPECT_EQ(log.count("notify::active-pane"), 1);
    log.clear();

    // So does the keyboard focus arriving in the navigation pane.
    GtkWidget *navi = kivel_file_selection_get_navigation_view(fs());
    gtk_widget_grab_focus(navi);
    GdkEvent *focus = gdk_event_new(GDK_FOCUS_CHANGE);
    focus->focus_change.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(navi)));
    focus->focus_change.in = TRUE;
    gtk_widget_send_focus_change(navi, focus);
    gdk_event_free(focus);
    EXPECT_EQ(kivel_file_selection_get_active_pane(fs()), KIVEL_FILE_SELECTION_PANE_NAVIGATION);
    EXPECT_EQ(log.count("notify::active-pane"), 1);
    EXPECT_EQ(log.count("selection-changed"), 1);
}

TEST_F(SelectionInteraction, SelectingAFolderInTheNavigationPaneMakesItCurrent)
{
    make_work_folder();
    kivel_file_selection_show_navigation_pane(fs());
    GtkTreeView *navi = GTK_TREE_VIEW(kivel_file_selection_get_navigation_view(fs()));
    // The tree shows the current folder, unfolded to its subfolder.
    GtkTreeModel *tree = gtk_tree_view_get_model(navi);
    GtkTreeIter selected;
    ASSERT_TRUE(
        gtk_tree_selection_get_selected(gtk_tree_view_get_selection(navi), nullptr, &selected));
    GtkTreePath *selected_path = gtk_tree_model_get_path(tree, &selected);
    bool unfolded = pump_until([&] { return gtk_tree_view_row_expanded(navi, selected_path); });
    gtk_tree_path_free(selected_path);
    ASSERT_TRUE(unfolded);
    GtkTreeIter sub;
    ASSERT_TRUE(gtk_tree_model_iter_children(tree, &sub, &selected));
    gchar *sub_uri = nullptr;
    gtk_tree_model_get(tree, &sub, KIVEL_FILE_SYSTEM_MODEL_URI, &sub_uri, -1);
    EXPECT_STREQ(sub_uri, uri("sub").c_str());
    g_free(sub_uri);
    EXPECT_FALSE(gtk_tree_model_iter_next(tree, &sub)) << "files are not in the tree";

    ASSERT_TRUE(gtk_tree_model_iter_children(tree, &sub, &selected));
    gtk_tree_selection_select_iter(gtk_tree_view_get_selection(navi), &sub);
    gchar *current = kivel_file_selection_get_current_folder_uri(fs());
    EXPECT_STREQ(current, uri("sub").c_str());
    g_free(current);
    EXPECT_EQ(log.count("current-folder-changed"), 1);
}

TEST_F(SelectionInteraction, RightClickAndLongPressAskForTheContextMenu)
{
    make_work_folder();
    int row = row_of("a");
    press_row(row, 3);
    release_row(row, 3);
    EXPECT_EQ(log.count("content-pane-context-menu"), 1);
    EXPECT_EQ(selected_uris(), (Names{uri("a")})) << "the item under the pointer is selected";

    // Held still: the menu opens while the finger rests.
    row = row_of("c");
    press_row(row, 1);
    ASSERT_TRUE(pump_until([&] { return log.count("content-pane-context-menu") == 2; }, 3000));
    EXPECT_EQ(selected_uris(), (Names{uri("c")}));
    release_row(row, 1);
    EXPECT_EQ(log.count("file-activated"), 0) << "the release after a long press opens nothing";
}

TEST_F(SelectionInteraction, MoveCursorSelectsAnItemAndWaitsForOneStillToCome)
{
    make_work_folder();
    kivel_file_selection_move_cursor_to_uri(fs(), uri("b").c_str());
    EXPECT_EQ(selected_uris(), (Names{uri("b")}));

    // A renamed item arrives after the call.
    kivel_file_selection_move_cursor_to_uri(fs(), uri("later").c_str());
    write_file(dir + "/later", "x");
    ASSERT_TRUE(await_count(5));
    EXPECT_EQ(selected_uris(), (Names{uri("later")}));
}

TEST_F(SelectionInteraction, DimmedItemsAreDrawnInsensitiveUntilUndimmed)
{
    make_work_folder();
    kivel_file_selection_dim_uri(fs(), uri("b").c_str());
    EXPECT_TRUE(kivel_file_selection_uri_is_dimmed(fs(), uri("b").c_str()));
    EXPECT_FALSE(kivel_file_selection_uri_is_dimmed(fs(), uri("a").c_str()));

    GtkTreeViewColumn *column = gtk_tree_view_get_column(content_view(), 0);
    auto sensitive = [&](const std::string &name) {
        GtkTreeIter iter;
        gtk_tree_model_iter_nth_child(gtk_tree_view_get_model(content_view()), &iter, nullptr,
                                      row_of(name));
        gtk_tree_view_column_cell_set_cell_data(column, gtk_tree_view_get_model(content_view()),
                                                &iter, FALSE, FALSE);
        GList *cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(column));
        gboolean value = TRUE;
        g_object_get(g_list_nth_data(cells, 1), "sensitive", &value, nullptr);
        g_list_free(cells);
        return value != FALSE;
    };
    EXPECT_FALSE(sensitive("b"));
    EXPECT_TRUE(sensitive("a"));

    kivel_file_selection_undim_all(fs());
    EXPECT_TRUE(sensitive("b"));
}

void record_activated(KivelFileSelection *fs, gpointer data)
{
    GSList *uris = kivel_file_selection_get_selected_uris(fs);
    Names selected;
    for (GSList *l = uris; l; l = l->next)
        selected.push_back(static_cast<const char *>(l->data));
    g_slist_free_full(uris, g_free);
    static_cast<std::vector<Names> *>(data)->push_back(selected);
}

TEST_F(SelectionInteraction, ATapOpensTheItemItWasOnWhileRowsMove)
{
    make_work_folder();
    std::vector<Names> opened;
    g_signal_connect(widget_, "file-activated", G_CALLBACK(record_activated), &opened);
    ASSERT_EQ(0, g_remove((dir + "/a").c_str()));
    ASSERT_TRUE(await_count(3));
    int row = row_of("c");
    press_row(row, 1);
    release_row(row, 1);
    ASSERT_EQ(selected_uris(), (Names{uri("c")}));

    // An item appears above "c" while the finger rests: the release lands
    // on another item, which is no tap.
    press_row(row, 1);
    write_file(dir + "/a", "a");
    ASSERT_TRUE(await_count(4));
    release_row(row, 1);

    // The rows move between the tap and its opening.
    press_row(row_of("c"), 1);
    release_row(row_of("c"), 1);
    kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_NAME,
                                      GTK_SORT_DESCENDING);
    EXPECT_TRUE(pump_until([&] { return !opened.empty(); }));
    EXPECT_EQ(opened, (std::vector<Names>{{uri("c")}}));
}

} // namespace

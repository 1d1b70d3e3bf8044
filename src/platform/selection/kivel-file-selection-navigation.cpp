// The navigation pane: a tree of the model's folders in name order. Its
// filter visits every row the model adds, also the files of a 100,000-file
// folder, so the tree exists only while the pane shows.
#include "platform/selection/kivel-file-selection-private.h"
#include "platform/selection/kivel-folder-tree.h"

static gboolean navi_row_visible(GtkTreeModel *model, GtkTreeIter *iter, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    // Called for every row of a folder with its 100,000 files: files leave
    // after one cheap look.
    gboolean folder = FALSE;
    gint type = 0;
    gtk_tree_model_get(model, iter, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER, &folder,
                       KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE, &type, -1);
    if (!folder && type < KIVEL_FILE_SYSTEM_MODEL_FOLDER)
        return FALSE;
    gchar *uri = nullptr;
    gboolean placeholder = FALSE, hidden = FALSE;
    gtk_tree_model_get(model, iter, KIVEL_FILE_SYSTEM_MODEL_URI, &uri,
                       KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER, &placeholder,
                       KIVEL_FILE_SYSTEM_MODEL_IS_HIDDEN, &hidden, -1);
    gboolean visible = !placeholder && uri &&
                       !(hidden && type < KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_IMAGES) &&
                       (fs->show_upnp || !g_str_has_prefix(uri, KIVEL_UPNP_PREFIX));
    g_free(uri);
    return visible;
}

static void on_navi_selection_changed(GtkTreeSelection *selection, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    GtkTreeIter shown, row, current;
    if (fs->navi_signal_blocked || !gtk_tree_selection_get_selected(selection, nullptr, &shown))
        return;
    kivel_folder_tree_model_iter(fs->navi_tree, &row, &shown);
    if (kivel_file_selection_current_folder_model_iter(fs, &current)) {
        GtkTreePath *a = gtk_tree_model_get_path(fs->model, &row);
        GtkTreePath *b = gtk_tree_model_get_path(fs->model, &current);
        gboolean same = gtk_tree_path_compare(a, b) == 0;
        gtk_tree_path_free(a);
        gtk_tree_path_free(b);
        if (same)
            return;
    }
    kivel_file_selection_change_current_folder(fs, &row);
}

static gboolean on_navi_test_expand_row(GtkTreeView *, GtkTreeIter *shown, GtkTreePath *,
                                        gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    GtkTreeIter row;
    kivel_folder_tree_model_iter(fs->navi_tree, &row, shown);
    kivel_file_system_model_load_children(KIVEL_FILE_SYSTEM_MODEL(fs->model), &row);
    return FALSE;
}

static void on_navi_row_activated(GtkTreeView *view, GtkTreePath *path, GtkTreeViewColumn *,
                                  gpointer)
{
    if (gtk_tree_view_row_expanded(view, path))
        gtk_tree_view_collapse_row(view, path);
    else
        gtk_tree_view_expand_row(view, path, FALSE);
}

void kivel_file_selection_navigation_attach(KivelFileSelection *fs)
{
    if (fs->navi_tree || !fs->model)
        return;
    fs->navi_tree = kivel_folder_tree_new(fs->model, navi_row_visible, fs);
    fs->navi_signal_blocked++;
    gtk_tree_view_set_model(GTK_TREE_VIEW(fs->navi_view), fs->navi_tree);
    fs->navi_signal_blocked--;
}

void kivel_file_selection_navigation_detach(KivelFileSelection *fs)
{
    if (!fs->navi_tree)
        return;
    fs->navi_signal_blocked++;
    gtk_tree_view_set_model(GTK_TREE_VIEW(fs->navi_view), nullptr);
    fs->navi_signal_blocked--;
    g_clear_object(&fs->navi_tree);
}

void kivel_file_selection_navigation_build(KivelFileSelection *fs)
{
    fs->navi_view = gtk_tree_view_new();
    GtkTreeView *view = GTK_TREE_VIEW(fs->navi_view);
    gtk_tree_view_set_headers_visible(view, FALSE);
    GtkTreeViewColumn *column = gtk_tree_view_column_new();
    GtkCellRenderer *icon = gtk_cell_renderer_pixbuf_new();
    gtk_tree_view_column_pack_start(column, icon, FALSE);
    gtk_tree_view_column_add_attribute(column, icon, "pixbuf", KIVEL_FILE_SYSTEM_MODEL_ICON);
    GtkCellRenderer *name = gtk_cell_renderer_text_new();
    g_object_set(name, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
    gtk_tree_view_column_pack_start(column, name, TRUE);
    gtk_tree_view_column_add_attribute(column, name, "text", KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME);
    gtk_tree_view_append_column(view, column);
    gtk_tree_selection_set_mode(gtk_tree_view_get_selection(view), GTK_SELECTION_SINGLE);
    g_signal_connect(gtk_tree_view_get_selection(view), "changed",
                     G_CALLBACK(on_navi_selection_changed), fs);
    g_signal_connect(view, "test-expand-row", G_CALLBACK(on_navi_test_expand_row), fs);
    g_signal_connect(view, "row-activated", G_CALLBACK(on_navi_row_activated), fs);
}

// Shows the current folder in the navigation tree, unfolded.
void kivel_file_selection_navigation_sync(KivelFileSelection *fs)
{
    if (!fs->navi_tree || !gtk_widget_get_visible(fs->navi_scroller))
        return;
    GtkTreeView *view = GTK_TREE_VIEW(fs->navi_view);
    fs->navi_signal_blocked++;
    GtkTreePath *path = fs->current ? gtk_tree_row_reference_get_path(fs->current) : nullptr;
    GtkTreePath *shown = path ? kivel_folder_tree_shown_path(fs->navi_tree, path) : nullptr;
    if (shown) {
        gtk_tree_view_expand_to_path(view, shown);
        gtk_tree_view_set_cursor(view, shown, nullptr, FALSE);
        gtk_tree_view_scroll_to_cell(view, shown, nullptr, FALSE, 0, 0);
        gtk_tree_path_free(shown);
    } else {
        gtk_tree_selection_unselect_all(gtk_tree_view_get_selection(view));
    }
    if (path)
        gtk_tree_path_free(path);
    fs->navi_signal_blocked--;
}

void kivel_file_selection_navigation_unfold(KivelFileSelection *fs, GtkTreePath *folder)
{
    if (!fs->navi_tree)
        return;
    GtkTreePath *shown = kivel_folder_tree_shown_path(fs->navi_tree, folder);
    if (shown) {
        gtk_tree_view_expand_row(GTK_TREE_VIEW(fs->navi_view), shown, FALSE);
        gtk_tree_path_free(shown);
    }
}

void kivel_file_selection_navigation_refilter(KivelFileSelection *fs)
{
    if (fs->navi_tree)
        kivel_folder_tree_refilter(fs->navi_tree);
}

void kivel_file_selection_show_navigation_pane(KivelFileSelection *fs)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    if (gtk_widget_get_visible(fs->navi_scroller))
        return;
    gtk_widget_show(fs->navi_scroller);
    kivel_file_selection_navigation_attach(fs);
    kivel_file_selection_navigation_sync(fs);
    g_object_notify(G_OBJECT(fs), "hide-navi");
}

void kivel_file_selection_hide_navigation_pane(KivelFileSelection *fs)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    if (!gtk_widget_get_visible(fs->navi_scroller))
        return;
    gtk_widget_hide(fs->navi_scroller);
    kivel_file_selection_navigation_detach(fs);
    if (fs->active_pane == KIVEL_FILE_SELECTION_PANE_NAVIGATION)
        kivel_file_selection_set_active_pane_from_user(fs, KIVEL_FILE_SELECTION_PANE_CONTENT);
    g_object_notify(G_OBJECT(fs), "hide-navi");
}

GtkWidget *kivel_file_selection_get_navigation_view(KivelFileSelection *fs)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), nullptr);
    return fs->navi_view;
}

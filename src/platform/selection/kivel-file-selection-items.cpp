// The content pane's view: its columns and how items are drawn, and the
// public calls on the items it lists.
#include "platform/selection/kivel-file-selection-private.h"
#include "platform/toolkit/kivel-file-size.h"
#include "platform/toolkit/kivel-locale.h"

#include <libintl.h>
#include <string.h>
#include <time.h>

#define LARGE_ICON_SIZE 64

GtkTreeSelection *kivel_file_selection_content_selection(KivelFileSelection *fs)
{
    return gtk_tree_view_get_selection(GTK_TREE_VIEW(fs->content_view));
}

// ---- Drawing --------------------------------------------------------------

// Cells read the model's row itself, so they show its latest state.
static KivelFileSystemRow *shown_row(KivelFileSelection *fs, GtkTreeIter *iter)
{
    return kivel_content_list_row(fs->list, iter);
}

static void set_dimmed(KivelFileSelection *fs, GtkCellRenderer *cell, KivelFileSystemRow *row)
{
    gboolean dimmed = FALSE;
    if (g_hash_table_size(fs->dimmed)) {
        gchar *uri = kivel_file_system_row_dup_uri(row);
        dimmed = uri && g_hash_table_contains(fs->dimmed, uri);
        g_free(uri);
    }
    g_object_set(cell, "sensitive", !dimmed, nullptr);
}

static GdkPixbuf *large_icon(KivelFileSelection *fs, GdkPixbuf *icon)
{
    auto scaled = static_cast<GdkPixbuf *>(g_hash_table_lookup(fs->large_icons, icon));
    if (!scaled) {
        scaled =
            gdk_pixbuf_scale_simple(icon, LARGE_ICON_SIZE, LARGE_ICON_SIZE, GDK_INTERP_BILINEAR);
        if (!scaled)
            return icon;
        g_hash_table_insert(fs->large_icons, g_object_ref(icon), scaled);
    }
    return scaled;
}

static void icon_cell(GtkTreeViewColumn *, GtkCellRenderer *cell, GtkTreeModel *, GtkTreeIter *iter,
                      gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    KivelFileSystemRow *row = shown_row(fs, iter);
    GdkPixbuf *icon = kivel_file_system_model_row_icon(KIVEL_FILE_SYSTEM_MODEL(fs->model), row);
    if (icon && fs->mode == KIVEL_FILE_SELECTION_MODE_THUMBNAILS)
        icon = large_icon(fs, icon);
    g_object_set(cell, "pixbuf", icon, nullptr);
    set_dimmed(fs, cell, row);
}

static void name_cell(GtkTreeViewColumn *, GtkCellRenderer *cell, GtkTreeModel *, GtkTreeIter *iter,
                      gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    KivelFileSystemRow *row = shown_row(fs, iter);
    g_object_set(cell, "text", kivel_file_system_row_get_display_name(row), nullptr);
    set_dimmed(fs, cell, row);
}

static void date_cell(GtkTreeViewColumn *, GtkCellRenderer *cell, GtkTreeModel *, GtkTreeIter *iter,
                      gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    KivelFileSystemRow *row = shown_row(fs, iter);
    gint64 mtime = kivel_file_system_row_get_mtime(row);
    gchar text[64] = "";
    time_t when = static_cast<time_t>(mtime);
    struct tm local;
    if (mtime > 0 && localtime_r(&when, &local))
        strftime(text, sizeof text, "%x %H:%M", &local);
    g_object_set(cell, "text", text, nullptr);
    set_dimmed(fs, cell, row);
}

static void size_cell(GtkTreeViewColumn *, GtkCellRenderer *cell, GtkTreeModel *, GtkTreeIter *iter,
                      gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    KivelFileSystemRow *row = shown_row(fs, iter);
    gchar *text = kivel_file_system_row_is_folder(row)
                      ? g_strdup("")
                      : kivel_format_file_size_for_display(kivel_file_system_row_get_size(row));
    g_object_set(cell, "text", text, nullptr);
    g_free(text);
    set_dimmed(fs, cell, row);
}

// ---- Sorting by the column headers ----------------------------------------------

static void show_sort_indicator(KivelFileSelection *fs)
{
    GtkTreeViewColumn *columns[] = {fs->name_column, fs->date_column, fs->size_column};
    KivelFileSelectionSortKey keys[] = {KIVEL_FILE_SELECTION_SORT_KEY_NAME,
                                        KIVEL_FILE_SELECTION_SORT_KEY_MODIFIED,
                                        KIVEL_FILE_SELECTION_SORT_KEY_SIZE};
    for (int i = 0; i < 3; i++) {
        gtk_tree_view_column_set_sort_indicator(columns[i], keys[i] == fs->sort_key);
        gtk_tree_view_column_set_sort_order(columns[i], fs->sort_order);
    }
}

static void on_header_clicked(GtkTreeViewColumn *column, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    auto key = static_cast<KivelFileSelectionSortKey>(
        GPOINTER_TO_INT(g_object_get_data(G_OBJECT(column), "kivel-sort-key")));
    GtkSortType order = GTK_SORT_ASCENDING;
    if (key == fs->sort_key && fs->sort_order == GTK_SORT_ASCENDING)
        order = GTK_SORT_DESCENDING;
    kivel_file_selection_set_sort_key(fs, key, order);
}

static GtkTreeViewColumn *add_text_column(KivelFileSelection *fs, const gchar *title,
                                          GtkTreeCellDataFunc func, KivelFileSelectionSortKey key)
{
    GtkTreeViewColumn *column = gtk_tree_view_column_new();
    gtk_tree_view_column_set_title(column, title);
    gtk_tree_view_column_set_sizing(column, GTK_TREE_VIEW_COLUMN_FIXED);
    GtkCellRenderer *cell = gtk_cell_renderer_text_new();
    gtk_tree_view_column_pack_start(column, cell, TRUE);
    gtk_tree_view_column_set_cell_data_func(column, cell, func, fs, nullptr);
    gtk_tree_view_column_set_clickable(column, TRUE);
    g_object_set_data(G_OBJECT(column), "kivel-sort-key", GINT_TO_POINTER(key));
    g_signal_connect(column, "clicked", G_CALLBACK(on_header_clicked), fs);
    gtk_tree_view_append_column(GTK_TREE_VIEW(fs->content_view), column);
    return column;
}

void kivel_file_selection_content_build_view(KivelFileSelection *fs)
{
    fs->content_view = gtk_tree_view_new();
    GtkTreeView *view = GTK_TREE_VIEW(fs->content_view);
    gtk_tree_view_set_headers_visible(view, FALSE);
    gtk_tree_view_set_rules_hint(view, TRUE);

    fs->name_column = gtk_tree_view_column_new();
    gtk_tree_view_column_set_title(fs->name_column, dgettext("kivel-fm", "sfil_li_header_name"));
    gtk_tree_view_column_set_sizing(fs->name_column, GTK_TREE_VIEW_COLUMN_FIXED);
    gtk_tree_view_column_set_expand(fs->name_column, TRUE);
    gtk_tree_view_column_set_clickable(fs->name_column, TRUE);
    g_object_set_data(G_OBJECT(fs->name_column), "kivel-sort-key",
                      GINT_TO_POINTER(KIVEL_FILE_SELECTION_SORT_KEY_NAME));
    g_signal_connect(fs->name_column, "clicked", G_CALLBACK(on_header_clicked), fs);
    fs->icon_renderer = gtk_cell_renderer_pixbuf_new();
    gtk_tree_view_column_pack_start(fs->name_column, fs->icon_renderer, FALSE);
    gtk_tree_view_column_set_cell_data_func(fs->name_column, fs->icon_renderer, icon_cell, fs,
                                            nullptr);
    GtkCellRenderer *name = gtk_cell_renderer_text_new();
    g_object_set(name, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
    gtk_tree_view_column_pack_start(fs->name_column, name, TRUE);
    gtk_tree_view_column_set_cell_data_func(fs->name_column, name, name_cell, fs, nullptr);
    gtk_tree_view_append_column(view, fs->name_column);

    fs->date_column = add_text_column(fs, dgettext("kivel-fm", "sfil_li_header_date"), date_cell,
                                      KIVEL_FILE_SELECTION_SORT_KEY_MODIFIED);
    gtk_tree_view_column_set_fixed_width(fs->date_column, 160);
    fs->size_column = add_text_column(fs, dgettext("kivel-fm", "sfil_li_header_size"), size_cell,
                                      KIVEL_FILE_SELECTION_SORT_KEY_SIZE);
    gtk_tree_view_column_set_fixed_width(fs->size_column, 90);

    // Every row is as high as the first: the view need not measure 100,000 rows.
    gtk_tree_view_set_fixed_height_mode(view, TRUE);
    kivel_file_selection_content_apply_mode(fs);
    kivel_file_selection_content_apply_headers(fs);
    show_sort_indicator(fs);
    kivel_locale_show_column_titles_as_written(view);
}

void kivel_file_selection_content_apply_mode(KivelFileSelection *fs)
{
    gint size = fs->mode == KIVEL_FILE_SELECTION_MODE_THUMBNAILS ? LARGE_ICON_SIZE + 4 : -1;
    gtk_cell_renderer_set_fixed_size(fs->icon_renderer, size, size);
    // The fixed row height is measured again from the first row.
    GtkTreeView *view = GTK_TREE_VIEW(fs->content_view);
    gtk_tree_view_set_fixed_height_mode(view, FALSE);
    gtk_tree_view_set_fixed_height_mode(view, TRUE);
    gtk_widget_queue_resize(fs->content_view);
}

// Both modes hold several items: outside edit mode a tap selects one item
// and Control or Shift extend the selection, in edit mode a tap marks.
void kivel_file_selection_content_apply_edit_mode(KivelFileSelection *fs)
{
    gtk_tree_selection_set_mode(kivel_file_selection_content_selection(fs), GTK_SELECTION_MULTIPLE);
}

void kivel_file_selection_content_apply_headers(KivelFileSelection *fs)
{
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(fs->content_view), fs->column_headers);
    gtk_tree_view_column_set_visible(fs->date_column, fs->column_headers);
    gtk_tree_view_column_set_visible(fs->size_column, fs->column_headers);
}

// ---- Public calls on content items ---------------------------------------

static void collect_selected(GtkTreeModel *model, GtkTreePath *, GtkTreeIter *iter, gpointer data)
{
    KivelFileSystemRow *row =
        kivel_content_list_row(reinterpret_cast<KivelContentList *>(model), iter);
    auto list = static_cast<GSList **>(data);
    *list = g_slist_prepend(*list, kivel_file_system_row_dup_uri(row));
}

GSList *kivel_file_selection_get_selected_uris(KivelFileSelection *fs)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), nullptr);
    GSList *list = nullptr;
    gtk_tree_selection_selected_foreach(kivel_file_selection_content_selection(fs),
                                        collect_selected, &list);
    return g_slist_reverse(list);
}

gboolean kivel_file_selection_select_uri(KivelFileSelection *fs, const gchar *uri)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), FALSE);
    g_return_val_if_fail(uri != nullptr, FALSE);
    GtkTreeIter iter;
    KivelFileSystemRow *row = kivel_file_selection_content_listed_row(fs, uri);
    if (!row || !kivel_content_list_iter(fs->list, row, &iter))
        return FALSE;
    gtk_tree_selection_select_iter(kivel_file_selection_content_selection(fs), &iter);
    return TRUE;
}

void kivel_file_selection_unselect_uri(KivelFileSelection *fs, const gchar *uri)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    g_return_if_fail(uri != nullptr);
    GtkTreeIter iter;
    KivelFileSystemRow *row = kivel_file_selection_content_listed_row(fs, uri);
    if (row && kivel_content_list_iter(fs->list, row, &iter))
        gtk_tree_selection_unselect_iter(kivel_file_selection_content_selection(fs), &iter);
}

void kivel_file_selection_select_all(KivelFileSelection *fs)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    gtk_tree_selection_select_all(kivel_file_selection_content_selection(fs));
}

void kivel_file_selection_unselect_all(KivelFileSelection *fs)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    gtk_tree_selection_unselect_all(kivel_file_selection_content_selection(fs));
}

void kivel_file_selection_move_cursor_to_uri(KivelFileSelection *fs, const gchar *uri)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    g_return_if_fail(uri != nullptr);
    KivelFileSystemRow *row = kivel_file_selection_content_listed_row(fs, uri);
    if (!row) {
        // The item may be on its way (a rename finishing): the cursor goes
        // there when it is listed.
        g_free(fs->pending_cursor_uri);
        fs->pending_cursor_uri = g_strdup(uri);
        return;
    }
    GtkTreePath *path = kivel_content_list_path(fs->list, row);
    GtkTreeView *view = GTK_TREE_VIEW(fs->content_view);
    // Setting the cursor selects the row; edit mode keeps its marks.
    if (!fs->edit_mode)
        gtk_tree_view_set_cursor(view, path, nullptr, FALSE);
    gtk_tree_view_scroll_to_cell(view, path, nullptr, FALSE, 0, 0);
    gtk_tree_path_free(path);
}

gboolean kivel_file_selection_get_current_content_iter(KivelFileSelection *fs, GtkTreeIter *iter)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), FALSE);
    g_return_val_if_fail(iter != nullptr, FALSE);
    GtkTreePath *cursor = nullptr;
    gtk_tree_view_get_cursor(GTK_TREE_VIEW(fs->content_view), &cursor, nullptr);
    GtkTreeSelection *selection = kivel_file_selection_content_selection(fs);
    // The focused item, unless the selection lies elsewhere: then its first item.
    if (!cursor || !gtk_tree_selection_path_is_selected(selection, cursor)) {
        GList *rows = gtk_tree_selection_get_selected_rows(selection, nullptr);
        if (rows) {
            if (cursor)
                gtk_tree_path_free(cursor);
            cursor = gtk_tree_path_copy(static_cast<GtkTreePath *>(rows->data));
        }
        g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    }
    KivelFileSystemRow *row = kivel_file_selection_content_row_at(fs, cursor);
    if (cursor)
        gtk_tree_path_free(cursor);
    if (!row)
        return FALSE;
    kivel_file_selection_content_model_iter(fs, row, iter);
    return TRUE;
}

gint kivel_file_selection_get_content_count(KivelFileSelection *fs)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), 0);
    return fs->list ? kivel_content_list_length(fs->list) : 0;
}

gboolean kivel_file_selection_content_is_complete(KivelFileSelection *fs)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), FALSE);
    return fs->fill_source == 0;
}

void kivel_file_selection_dim_uri(KivelFileSelection *fs, const gchar *uri)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    g_return_if_fail(uri != nullptr);
    g_hash_table_add(fs->dimmed, g_strdup(uri));
    KivelFileSystemRow *row = kivel_file_selection_content_listed_row(fs, uri);
    if (row)
        kivel_content_list_row_changed(fs->list, row);
}

void kivel_file_selection_undim_all(KivelFileSelection *fs)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    if (g_hash_table_size(fs->dimmed) == 0)
        return;
    g_hash_table_remove_all(fs->dimmed);
    gtk_widget_queue_draw(fs->content_view);
}

gboolean kivel_file_selection_uri_is_dimmed(KivelFileSelection *fs, const gchar *uri)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), FALSE);
    return uri && g_hash_table_contains(fs->dimmed, uri);
}

void kivel_file_selection_get_sort_key(KivelFileSelection *fs, KivelFileSelectionSortKey *key,
                                       GtkSortType *order)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    if (key)
        *key = fs->sort_key;
    if (order)
        *order = fs->sort_order;
}

void kivel_file_selection_set_sort_key(KivelFileSelection *fs, KivelFileSelectionSortKey key,
                                       GtkSortType order)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    g_return_if_fail(key >= KIVEL_FILE_SELECTION_SORT_KEY_NAME &&
                     key <= KIVEL_FILE_SELECTION_SORT_KEY_SIZE);
    if (key == fs->sort_key && order == fs->sort_order)
        return;
    fs->sort_key = key;
    fs->sort_order = order == GTK_SORT_DESCENDING ? GTK_SORT_DESCENDING : GTK_SORT_ASCENDING;
    kivel_file_selection_content_resort(fs);
    show_sort_indicator(fs);
}

KivelFileSelectionMode kivel_file_selection_get_mode(KivelFileSelection *fs)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), KIVEL_FILE_SELECTION_MODE_LIST);
    return fs->mode;
}

void kivel_file_selection_set_mode(KivelFileSelection *fs, KivelFileSelectionMode mode)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    g_return_if_fail(mode == KIVEL_FILE_SELECTION_MODE_LIST ||
                     mode == KIVEL_FILE_SELECTION_MODE_THUMBNAILS);
    if (mode == fs->mode)
        return;
    fs->mode = mode;
    kivel_file_selection_content_apply_mode(fs);
}

void kivel_file_selection_set_column_headers(KivelFileSelection *fs, gboolean visible)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    fs->column_headers = visible != FALSE;
    kivel_file_selection_content_apply_headers(fs);
}

// The content pane: a list store mirroring the listed children of the
// current folder. The model's levels can hold 100,000 rows; filter and sort
// models over them cost a linear array move per inserted row, so the pane
// keeps its own ordered sequences instead and touches the store in O(log n)
// per row. A folder whose children are already loaded is copied in time-boxed
// idle steps, so the window keeps drawing while it fills.
#include "platform/kivel-file-selection-private.h"

#include <libintl.h>
#include <string.h>
#include <time.h>

#define STORE_ENTRY 0
// Time one fill step may take before the main loop runs again.
#define FILL_STEP_BUDGET_US 15000
#define LARGE_ICON_SIZE 64

static void entry_free(KivelContentEntry *entry)
{
    g_free(entry->uri);
    g_free(entry->display_name);
    g_free(entry->collate_key);
    g_free(entry->mime_type);
    if (entry->icon)
        g_object_unref(entry->icon);
    g_free(entry);
}

// Copies the model row into `entry`; TRUE when the pane lists it.
static gboolean entry_read(KivelFileSelection *fs, KivelContentEntry *entry, GtkTreeIter *iter)
{
    gchar *uri = nullptr, *display = nullptr, *key = nullptr, *mime = nullptr;
    GdkPixbuf *icon = nullptr;
    gint64 size = 0, mtime = 0;
    gboolean folder = FALSE, hidden = FALSE, readonly = FALSE, placeholder = FALSE;
    gint type = 0;
    gtk_tree_model_get(fs->model, iter, KIVEL_FILE_SYSTEM_MODEL_URI, &uri,
                       KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME, &display,
                       KIVEL_FILE_SYSTEM_MODEL_SORT_KEY, &key, KIVEL_FILE_SYSTEM_MODEL_MIME_TYPE,
                       &mime, KIVEL_FILE_SYSTEM_MODEL_SIZE, &size, KIVEL_FILE_SYSTEM_MODEL_MTIME,
                       &mtime, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER, &folder,
                       KIVEL_FILE_SYSTEM_MODEL_IS_HIDDEN, &hidden,
                       KIVEL_FILE_SYSTEM_MODEL_IS_READONLY, &readonly,
                       KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE, &type, KIVEL_FILE_SYSTEM_MODEL_ICON, &icon,
                       KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER, &placeholder, -1);
    folder = folder || type >= KIVEL_FILE_SYSTEM_MODEL_FOLDER;
    if (!display)
        display = g_strdup(uri ? uri : "");
    if (!key)
        key = g_utf8_collate_key_for_filename(display, -1);

    g_free(entry->uri);
    g_free(entry->display_name);
    g_free(entry->collate_key);
    g_free(entry->mime_type);
    if (entry->icon)
        g_object_unref(entry->icon);
    entry->uri = uri;
    entry->display_name = display;
    entry->collate_key = key;
    entry->mime_type = mime;
    entry->icon = icon;
    entry->size = size;
    entry->mtime = mtime;
    entry->is_folder = folder;
    return kivel_file_selection_item_is_shown(fs, uri, folder, placeholder, hidden, readonly,
                                              type);
}

static gint compare_int64(gint64 a, gint64 b) { return a < b ? -1 : (a > b ? 1 : 0); }

// Folders come first in every order; ties fall back to the name, then the URI.
static gint compare_entries(gconstpointer a, gconstpointer b, gpointer data)
{
    const KivelFileSelection *fs = static_cast<const KivelFileSelection *>(data);
    const KivelContentEntry *x = static_cast<const KivelContentEntry *>(a);
    const KivelContentEntry *y = static_cast<const KivelContentEntry *>(b);
    if (x->is_folder != y->is_folder)
        return x->is_folder ? -1 : 1;
    gint result = 0;
    switch (fs->sort_key) {
    case KIVEL_FILE_SELECTION_SORT_KEY_MODIFIED:
        result = compare_int64(x->mtime, y->mtime);
        break;
    case KIVEL_FILE_SELECTION_SORT_KEY_SIZE:
        result = compare_int64(x->size, y->size);
        break;
    case KIVEL_FILE_SELECTION_SORT_KEY_TYPE:
        result = g_strcmp0(x->mime_type, y->mime_type);
        break;
    case KIVEL_FILE_SELECTION_SORT_KEY_NAME:
        result = strcmp(x->collate_key, y->collate_key);
        break;
    }
    if (fs->sort_order == GTK_SORT_DESCENDING)
        result = -result;
    if (result == 0)
        result = strcmp(x->collate_key, y->collate_key);
    if (result == 0)
        result = g_strcmp0(x->uri, y->uri);
    return result;
}

static GtkTreeSelection *content_selection(KivelFileSelection *fs)
{
    return gtk_tree_view_get_selection(GTK_TREE_VIEW(fs->content_view));
}

static void apply_pending_cursor(KivelFileSelection *fs, KivelContentEntry *entry)
{
    if (!fs->pending_cursor_uri || g_strcmp0(fs->pending_cursor_uri, entry->uri) != 0)
        return;
    g_free(fs->pending_cursor_uri);
    fs->pending_cursor_uri = nullptr;
    kivel_file_selection_move_cursor_to_uri(fs, entry->uri);
}

static void entry_list(KivelFileSelection *fs, KivelContentEntry *entry)
{
    entry->shown = g_sequence_insert_sorted(fs->shown, entry, compare_entries, fs);
    entry->listed = TRUE;
    gint position = g_sequence_iter_get_position(entry->shown);
    gtk_list_store_insert_with_values(fs->store, &entry->row, position, STORE_ENTRY, entry, -1);
}

// Takes the entry off the pane; the tree view reports a selected row's removal.
static void entry_unlist(KivelFileSelection *fs, KivelContentEntry *entry)
{
    entry->listed = FALSE;
    g_sequence_remove(entry->shown);
    entry->shown = nullptr;
    GtkTreeIter row = entry->row;
    gtk_list_store_remove(fs->store, &row);
}

static void entry_forget_uri(KivelFileSelection *fs, KivelContentEntry *entry)
{
    if (entry->uri && g_hash_table_lookup(fs->by_uri, entry->uri) == entry)
        g_hash_table_remove(fs->by_uri, entry->uri);
}

static void entry_add(KivelFileSelection *fs, gint index, GtkTreeIter *iter)
{
    KivelContentEntry *entry = g_new0(KivelContentEntry, 1);
    gboolean listed = entry_read(fs, entry, iter);
    entry->position =
        g_sequence_insert_before(g_sequence_get_iter_at_pos(fs->positions, index), entry);
    if (entry->uri)
        g_hash_table_replace(fs->by_uri, entry->uri, entry);
    if (listed) {
        entry_list(fs, entry);
        apply_pending_cursor(fs, entry);
    }
}

static void entry_remove(KivelFileSelection *fs, KivelContentEntry *entry)
{
    entry_forget_uri(fs, entry);
    g_sequence_remove(entry->position);
    if (entry->listed)
        entry_unlist(fs, entry);
    entry_free(entry);
}

static gboolean entry_in_order(KivelFileSelection *fs, KivelContentEntry *entry)
{
    GSequenceIter *prev = g_sequence_iter_prev(entry->shown);
    if (prev != entry->shown && compare_entries(g_sequence_get(prev), entry, fs) >= 0)
        return FALSE;
    GSequenceIter *next = g_sequence_iter_next(entry->shown);
    return g_sequence_iter_is_end(next) || compare_entries(entry, g_sequence_get(next), fs) < 0;
}

// ---- Filling ----------------------------------------------------------------

static void free_entries(KivelFileSelection *fs)
{
    g_hash_table_remove_all(fs->by_uri);
    GSequenceIter *it = g_sequence_get_begin_iter(fs->positions);
    while (!g_sequence_iter_is_end(it)) {
        entry_free(static_cast<KivelContentEntry *>(g_sequence_get(it)));
        it = g_sequence_iter_next(it);
    }
    g_sequence_free(fs->positions);
    g_sequence_free(fs->shown);
    fs->positions = g_sequence_new(nullptr);
    fs->shown = g_sequence_new(nullptr);
}

// Copies model children into the mirror from where it stands; TRUE while
// some remain.
static gboolean fill_step(KivelFileSelection *fs)
{
    GtkTreeIter folder, child;
    GtkTreeIter *parent = nullptr;
    if (fs->current) {
        if (!kivel_file_selection_current_folder_model_iter(fs, &folder))
            return FALSE;
        parent = &folder;
    }
    gint index = g_sequence_get_length(fs->positions);
    if (!gtk_tree_model_iter_nth_child(fs->model, &child, parent, index))
        return FALSE;
    guint generation = fs->generation;
    gint64 deadline = g_get_monotonic_time() + FILL_STEP_BUDGET_US;
    for (gint done = 1;; done++) {
        entry_add(fs, index++, &child);
        if (fs->generation != generation)
            return FALSE; // a handler rebuilt the mirror meanwhile
        if (!gtk_tree_model_iter_next(fs->model, &child))
            return FALSE;
        if (done % 64 == 0 && g_get_monotonic_time() > deadline)
            return TRUE;
    }
}

static gboolean fill_idle(gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    if (fill_step(fs))
        return TRUE;
    fs->fill_source = 0;
    return FALSE;
}

static void stop_filling(KivelFileSelection *fs)
{
    if (fs->fill_source) {
        g_source_remove(fs->fill_source);
        fs->fill_source = 0;
    }
}

void kivel_file_selection_content_reload(KivelFileSelection *fs)
{
    fs->generation++;
    stop_filling(fs);
    GtkListStore *old = fs->store;
    fs->store = gtk_list_store_new(1, G_TYPE_POINTER);
    fs->selection_signal_blocked++;
    gtk_tree_view_set_model(GTK_TREE_VIEW(fs->content_view), GTK_TREE_MODEL(fs->store));
    fs->selection_signal_blocked--;
    free_entries(fs);
    if (old)
        g_object_unref(old);
    if (fill_step(fs))
        fs->fill_source = gdk_threads_add_idle(fill_idle, fs);
}

// ---- The model's changes below the current folder ------------------------------

static KivelContentEntry *entry_at_index(KivelFileSelection *fs, gint index)
{
    if (index < 0 || index >= g_sequence_get_length(fs->positions))
        return nullptr;
    return static_cast<KivelContentEntry *>(
        g_sequence_get(g_sequence_get_iter_at_pos(fs->positions, index)));
}

void kivel_file_selection_content_row_inserted(KivelFileSelection *fs, gint index,
                                               GtkTreeIter *iter)
{
    // Rows past the mirrored ones are read by the fill when it gets there.
    if (index <= g_sequence_get_length(fs->positions))
        entry_add(fs, index, iter);
}

void kivel_file_selection_content_row_deleted(KivelFileSelection *fs, gint index)
{
    KivelContentEntry *entry = entry_at_index(fs, index);
    if (entry)
        entry_remove(fs, entry);
}

void kivel_file_selection_content_row_changed(KivelFileSelection *fs, gint index,
                                              GtkTreeIter *iter)
{
    KivelContentEntry *entry = entry_at_index(fs, index);
    if (!entry)
        return;
    gboolean was_listed = entry->listed;
    gboolean was_selected =
        was_listed && gtk_tree_selection_iter_is_selected(content_selection(fs), &entry->row);
    entry_forget_uri(fs, entry);
    gboolean listed = entry_read(fs, entry, iter);
    if (entry->uri)
        g_hash_table_replace(fs->by_uri, entry->uri, entry);

    if (was_listed && listed && entry_in_order(fs, entry)) {
        gtk_list_store_set(fs->store, &entry->row, STORE_ENTRY, entry, -1);
        return;
    }
    if (was_listed && listed) {
        // Moved in the display order: take it out and put it back, marks kept.
        fs->selection_signal_blocked++;
        entry_unlist(fs, entry);
        entry_list(fs, entry);
        if (was_selected)
            gtk_tree_selection_select_iter(content_selection(fs), &entry->row);
        fs->selection_signal_blocked--;
        return;
    }
    if (was_listed)
        entry_unlist(fs, entry);
    else if (listed) {
        entry_list(fs, entry);
        apply_pending_cursor(fs, entry);
    }
}

void kivel_file_selection_content_rows_reordered(KivelFileSelection *fs, gint *new_order)
{
    GtkTreeIter folder;
    GtkTreeIter *parent = nullptr;
    if (fs->current) {
        if (!kivel_file_selection_current_folder_model_iter(fs, &folder))
            return;
        parent = &folder;
    }
    gint n = gtk_tree_model_iter_n_children(fs->model, parent);
    gint mirrored = g_sequence_get_length(fs->positions);
    if (mirrored != n) {
        // Only a complete mirror can follow a new order; start over.
        gboolean had_selection = gtk_tree_selection_count_selected_rows(content_selection(fs)) > 0;
        kivel_file_selection_content_reload(fs);
        if (had_selection)
            kivel_file_selection_emit_selection_changed(fs);
        return;
    }
    KivelContentEntry **old = g_new(KivelContentEntry *, n);
    GSequenceIter *it = g_sequence_get_begin_iter(fs->positions);
    for (gint i = 0; i < n; i++, it = g_sequence_iter_next(it))
        old[i] = static_cast<KivelContentEntry *>(g_sequence_get(it));
    GSequence *positions = g_sequence_new(nullptr);
    for (gint i = 0; i < n; i++) {
        KivelContentEntry *entry = old[new_order[i]];
        entry->position = g_sequence_append(positions, entry);
    }
    g_sequence_free(fs->positions);
    fs->positions = positions;
    g_free(old);
}

void kivel_file_selection_content_resort(KivelFileSelection *fs)
{
    gint n = g_sequence_get_length(fs->shown);
    if (n < 2)
        return;
    gint i = 0;
    for (GSequenceIter *it = g_sequence_get_begin_iter(fs->shown); !g_sequence_iter_is_end(it);
         it = g_sequence_iter_next(it))
        static_cast<KivelContentEntry *>(g_sequence_get(it))->scratch = i++;
    g_sequence_sort(fs->shown, compare_entries, fs);
    gint *new_order = g_new(gint, n);
    i = 0;
    for (GSequenceIter *it = g_sequence_get_begin_iter(fs->shown); !g_sequence_iter_is_end(it);
         it = g_sequence_iter_next(it))
        new_order[i++] = static_cast<KivelContentEntry *>(g_sequence_get(it))->scratch;
    gtk_list_store_reorder(fs->store, new_order);
    g_free(new_order);
}

gboolean kivel_file_selection_content_model_iter(KivelFileSelection *fs, KivelContentEntry *entry,
                                                 GtkTreeIter *iter)
{
    GtkTreeIter folder;
    GtkTreeIter *parent = nullptr;
    if (fs->current) {
        if (!kivel_file_selection_current_folder_model_iter(fs, &folder))
            return FALSE;
        parent = &folder;
    }
    gint index = g_sequence_iter_get_position(entry->position);
    return gtk_tree_model_iter_nth_child(fs->model, iter, parent, index);
}

KivelContentEntry *kivel_file_selection_content_entry_at(KivelFileSelection *fs, GtkTreePath *path)
{
    GtkTreeIter row;
    if (!path || !gtk_tree_model_get_iter(GTK_TREE_MODEL(fs->store), &row, path))
        return nullptr;
    KivelContentEntry *entry = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(fs->store), &row, STORE_ENTRY, &entry, -1);
    return entry;
}

static KivelContentEntry *listed_entry(KivelFileSelection *fs, const gchar *uri)
{
    if (!uri)
        return nullptr;
    auto entry = static_cast<KivelContentEntry *>(g_hash_table_lookup(fs->by_uri, uri));
    return entry && entry->listed ? entry : nullptr;
}

// ---- Drawing --------------------------------------------------------------

static KivelContentEntry *row_entry(GtkTreeModel *store, GtkTreeIter *row)
{
    KivelContentEntry *entry = nullptr;
    gtk_tree_model_get(store, row, STORE_ENTRY, &entry, -1);
    return entry;
}

static void set_dimmed(KivelFileSelection *fs, GtkCellRenderer *cell, KivelContentEntry *entry)
{
    gboolean dimmed = entry->uri && g_hash_table_contains(fs->dimmed, entry->uri);
    g_object_set(cell, "sensitive", !dimmed, nullptr);
}

static GdkPixbuf *large_icon(KivelFileSelection *fs, GdkPixbuf *icon)
{
    auto scaled = static_cast<GdkPixbuf *>(g_hash_table_lookup(fs->large_icons, icon));
    if (!scaled) {
        scaled = gdk_pixbuf_scale_simple(icon, LARGE_ICON_SIZE, LARGE_ICON_SIZE,
                                         GDK_INTERP_BILINEAR);
        if (!scaled)
            return icon;
        g_hash_table_insert(fs->large_icons, g_object_ref(icon), scaled);
    }
    return scaled;
}

static void icon_cell(GtkTreeViewColumn *, GtkCellRenderer *cell, GtkTreeModel *store,
                      GtkTreeIter *row, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    KivelContentEntry *entry = row_entry(store, row);
    GdkPixbuf *icon = entry->icon;
    if (icon && fs->mode == KIVEL_FILE_SELECTION_MODE_THUMBNAILS)
        icon = large_icon(fs, icon);
    g_object_set(cell, "pixbuf", icon, nullptr);
    set_dimmed(fs, cell, entry);
}

static void name_cell(GtkTreeViewColumn *, GtkCellRenderer *cell, GtkTreeModel *store,
                      GtkTreeIter *row, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    KivelContentEntry *entry = row_entry(store, row);
    g_object_set(cell, "text", entry->display_name, nullptr);
    set_dimmed(fs, cell, entry);
}

static void date_cell(GtkTreeViewColumn *, GtkCellRenderer *cell, GtkTreeModel *store,
                      GtkTreeIter *row, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    KivelContentEntry *entry = row_entry(store, row);
    gchar text[64] = "";
    time_t when = static_cast<time_t>(entry->mtime);
    struct tm local;
    if (entry->mtime > 0 && localtime_r(&when, &local))
        strftime(text, sizeof text, "%x %H:%M", &local);
    g_object_set(cell, "text", text, nullptr);
    set_dimmed(fs, cell, entry);
}

static void size_cell(GtkTreeViewColumn *, GtkCellRenderer *cell, GtkTreeModel *store,
                      GtkTreeIter *row, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    KivelContentEntry *entry = row_entry(store, row);
    gchar *text = entry->is_folder ? g_strdup("") : g_format_size(entry->size);
    g_object_set(cell, "text", text, nullptr);
    g_free(text);
    set_dimmed(fs, cell, entry);
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

void kivel_file_selection_content_init(KivelFileSelection *fs)
{
    fs->positions = g_sequence_new(nullptr);
    fs->shown = g_sequence_new(nullptr);
    fs->by_uri = g_hash_table_new(g_str_hash, g_str_equal);
    fs->dimmed = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, nullptr);
    fs->large_icons = g_hash_table_new_full(nullptr, nullptr, g_object_unref, g_object_unref);

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
}

void kivel_file_selection_content_dispose(KivelFileSelection *fs)
{
    stop_filling(fs);
    if (fs->positions) {
        free_entries(fs);
        g_sequence_free(fs->positions);
        g_sequence_free(fs->shown);
        fs->positions = nullptr;
        fs->shown = nullptr;
    }
    g_clear_pointer(&fs->by_uri, g_hash_table_destroy);
    g_clear_pointer(&fs->dimmed, g_hash_table_destroy);
    g_clear_pointer(&fs->large_icons, g_hash_table_destroy);
    g_clear_object(&fs->store);
    g_clear_pointer(&fs->pending_cursor_uri, g_free);
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

void kivel_file_selection_content_apply_edit_mode(KivelFileSelection *fs)
{
    gtk_tree_selection_set_mode(content_selection(fs),
                                fs->edit_mode ? GTK_SELECTION_MULTIPLE : GTK_SELECTION_SINGLE);
}

void kivel_file_selection_content_apply_headers(KivelFileSelection *fs)
{
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(fs->content_view), fs->column_headers);
    gtk_tree_view_column_set_visible(fs->date_column, fs->column_headers);
    gtk_tree_view_column_set_visible(fs->size_column, fs->column_headers);
}

// ---- Public calls on content items ---------------------------------------

static void collect_selected(GtkTreeModel *store, GtkTreePath *, GtkTreeIter *row, gpointer data)
{
    KivelContentEntry *entry = row_entry(store, row);
    auto list = static_cast<GSList **>(data);
    *list = g_slist_prepend(*list, g_strdup(entry->uri));
}

GSList *kivel_file_selection_get_selected_uris(KivelFileSelection *fs)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), nullptr);
    GSList *list = nullptr;
    gtk_tree_selection_selected_foreach(content_selection(fs), collect_selected, &list);
    return g_slist_reverse(list);
}

gboolean kivel_file_selection_select_uri(KivelFileSelection *fs, const gchar *uri)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), FALSE);
    g_return_val_if_fail(uri != nullptr, FALSE);
    KivelContentEntry *entry = listed_entry(fs, uri);
    if (!entry)
        return FALSE;
    gtk_tree_selection_select_iter(content_selection(fs), &entry->row);
    return TRUE;
}

void kivel_file_selection_unselect_uri(KivelFileSelection *fs, const gchar *uri)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    g_return_if_fail(uri != nullptr);
    KivelContentEntry *entry = listed_entry(fs, uri);
    if (entry)
        gtk_tree_selection_unselect_iter(content_selection(fs), &entry->row);
}

void kivel_file_selection_select_all(KivelFileSelection *fs)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    // One item at most is selected outside edit mode.
    if (fs->edit_mode)
        gtk_tree_selection_select_all(content_selection(fs));
}

void kivel_file_selection_unselect_all(KivelFileSelection *fs)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    gtk_tree_selection_unselect_all(content_selection(fs));
}

void kivel_file_selection_move_cursor_to_uri(KivelFileSelection *fs, const gchar *uri)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    g_return_if_fail(uri != nullptr);
    KivelContentEntry *entry = listed_entry(fs, uri);
    if (!entry) {
        // The item may be on its way (a rename finishing): the cursor goes
        // there when it is listed.
        g_free(fs->pending_cursor_uri);
        fs->pending_cursor_uri = g_strdup(uri);
        return;
    }
    GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(fs->store), &entry->row);
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
    GtkTreeSelection *selection = content_selection(fs);
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
    KivelContentEntry *entry = kivel_file_selection_content_entry_at(fs, cursor);
    if (cursor)
        gtk_tree_path_free(cursor);
    return entry && kivel_file_selection_content_model_iter(fs, entry, iter);
}

gint kivel_file_selection_get_content_count(KivelFileSelection *fs)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), 0);
    return g_sequence_get_length(fs->shown);
}

void kivel_file_selection_dim_uri(KivelFileSelection *fs, const gchar *uri)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    g_return_if_fail(uri != nullptr);
    g_hash_table_add(fs->dimmed, g_strdup(uri));
    KivelContentEntry *entry = listed_entry(fs, uri);
    if (entry) {
        GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(fs->store), &entry->row);
        gtk_tree_model_row_changed(GTK_TREE_MODEL(fs->store), path, &entry->row);
        gtk_tree_path_free(path);
    }
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

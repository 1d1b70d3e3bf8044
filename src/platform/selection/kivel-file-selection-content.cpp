// The content pane: a sorted view over the current folder's rows of the
// file system model. It lists the model's rows themselves and reads their
// fields when a row is drawn or compared, so nothing per row is copied. A
// folder whose children are already loaded is looked through in time-boxed
// idle steps, so the window keeps drawing while the pane fills.
#include "platform/selection/kivel-file-selection-private.h"

#include <string.h>
#include <vector>

// Time one fill step may take before the main loop runs again.
static gint64 fill_step_budget_us = 15000;

void kivel_file_selection_set_fill_budget(gint64 microseconds)
{
    fill_step_budget_us = microseconds;
}

// TRUE when the pane lists the row.
static gboolean row_is_listed(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    // An empty card slot at the top level leads nowhere.
    if (!fs->current && !kivel_file_system_row_is_available(row))
        return FALSE;
    return kivel_file_selection_item_is_shown(
        fs, kivel_file_system_row_has_scheme_prefix(row, KIVEL_UPNP_PREFIX),
        kivel_file_system_row_is_folder(row), kivel_file_system_row_is_placeholder(row), FALSE,
        kivel_file_system_row_is_readonly(row), kivel_file_system_row_get_item_type(row));
}

static gint compare_int64(gint64 a, gint64 b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Folders come first in every order; ties fall back to the name, then the URI.
static gint compare_rows(gconstpointer a, gconstpointer b, gpointer data)
{
    const KivelFileSelection *fs = static_cast<const KivelFileSelection *>(data);
    auto x = static_cast<KivelFileSystemRow *>(const_cast<gpointer>(a));
    auto y = static_cast<KivelFileSystemRow *>(const_cast<gpointer>(b));
    // The top level keeps the model's order: the documents folder, then cards.
    if (!fs->current)
        return kivel_file_system_row_compare_position(x, y);
    gboolean x_folder = kivel_file_system_row_is_folder(x);
    if (x_folder != kivel_file_system_row_is_folder(y))
        return x_folder ? -1 : 1;
    gint result = 0;
    switch (fs->sort_key) {
    case KIVEL_FILE_SELECTION_SORT_KEY_MODIFIED:
        result =
            compare_int64(kivel_file_system_row_get_mtime(x), kivel_file_system_row_get_mtime(y));
        break;
    case KIVEL_FILE_SELECTION_SORT_KEY_SIZE:
        result =
            compare_int64(kivel_file_system_row_get_size(x), kivel_file_system_row_get_size(y));
        break;
    case KIVEL_FILE_SELECTION_SORT_KEY_TYPE:
        result = g_strcmp0(kivel_file_system_row_get_mime_type(x),
                           kivel_file_system_row_get_mime_type(y));
        break;
    case KIVEL_FILE_SELECTION_SORT_KEY_NAME:
        break; // the name decides below
    }
    if (fs->sort_order == GTK_SORT_DESCENDING)
        result = -result;
    if (result == 0) {
        result =
            strcmp(kivel_file_system_row_get_sort_key(x), kivel_file_system_row_get_sort_key(y));
        if (fs->sort_key == KIVEL_FILE_SELECTION_SORT_KEY_NAME &&
            fs->sort_order == GTK_SORT_DESCENDING)
            result = -result;
    }
    // Rows of one folder: the name tells their URIs apart.
    if (result == 0)
        result = g_strcmp0(kivel_file_system_row_get_name(x), kivel_file_system_row_get_name(y));
    return result;
}

static void apply_pending_cursor(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    if (!fs->pending_cursor_uri)
        return;
    gchar *uri = kivel_file_system_row_dup_uri(row);
    if (g_strcmp0(fs->pending_cursor_uri, uri) == 0) {
        g_clear_pointer(&fs->pending_cursor_uri, g_free);
        kivel_file_selection_move_cursor_to_uri(fs, uri);
    }
    g_free(uri);
}

static gboolean view_shows_first_row(KivelFileSelection *fs)
{
    GtkAdjustment *vadj = gtk_tree_view_get_vadjustment(GTK_TREE_VIEW(fs->content_view));
    return !vadj || gtk_adjustment_get_value(vadj) <= 0;
}

// ---- Items selected as their rows are listed -----------------------------------

struct _KivelPendingSelection {
    gchar *folder_uri;
    GHashTable *wanted;  // uri (owned) -> nothing: the items not selected yet
    gchar *first_uri;    // kept in view
    gboolean entered;    // the folder is the current one
    guint notify_source; // a "selection-changed" is owed for rows selected
};

static void pending_selection_end(KivelFileSelection *fs, gboolean notify)
{
    KivelPendingSelection *pending = fs->pending_selection;
    if (!pending)
        return;
    fs->pending_selection = nullptr;
    gboolean owed = pending->notify_source != 0;
    if (owed)
        g_source_remove(pending->notify_source);
    g_free(pending->folder_uri);
    g_hash_table_destroy(pending->wanted);
    g_free(pending->first_uri);
    g_free(pending);
    if (owed && notify)
        kivel_file_selection_emit_selection_changed(fs);
}

// Rows arrive one by one; listeners hear of them once per main loop turn.
static gboolean emit_owed_selection_changed(gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    fs->pending_selection->notify_source = 0;
    kivel_file_selection_emit_selection_changed(fs);
    return FALSE;
}

static void scroll_to_row(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    GtkTreePath *path = kivel_content_list_path(fs->list, row);
    if (!path)
        return;
    gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(fs->content_view), path, nullptr, FALSE, 0, 0);
    gtk_tree_path_free(path);
}

// Selects a listed row that the pending selection holds; the caller takes
// it out of the wanted ones.
static void select_wanted(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    KivelPendingSelection *pending = fs->pending_selection;
    GtkTreeIter iter;
    kivel_content_list_iter(fs->list, row, &iter);
    fs->selection_signal_blocked++;
    gtk_tree_selection_select_iter(kivel_file_selection_content_selection(fs), &iter);
    fs->selection_signal_blocked--;
    gchar *uri = kivel_file_system_row_dup_uri(row);
    if (g_strcmp0(uri, pending->first_uri) == 0)
        scroll_to_row(fs, row);
    g_free(uri);
    if (!pending->notify_source)
        pending->notify_source = gdk_threads_add_idle(emit_owed_selection_changed, fs);
}

static void apply_pending_selection(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    KivelPendingSelection *pending = fs->pending_selection;
    if (!pending || !pending->entered)
        return;
    gchar *uri = kivel_file_system_row_dup_uri(row);
    if (uri && g_hash_table_remove(pending->wanted, uri))
        select_wanted(fs, row);
    g_free(uri);
}

void kivel_file_selection_select_uris_when_listed(KivelFileSelection *fs, const gchar *folder_uri,
                                                  GSList *uris)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    g_return_if_fail(folder_uri != nullptr);
    pending_selection_end(fs, FALSE);
    if (!uris)
        return;
    KivelPendingSelection *pending = g_new0(KivelPendingSelection, 1);
    KivelFileSystemBackend *backend = nullptr;
    g_object_get(fs->model, "backend-object", &backend, nullptr);
    pending->folder_uri =
        backend ? kivel_file_system_backend_uri_to_path(backend, folder_uri) : nullptr;
    if (backend)
        g_object_unref(backend);
    if (!pending->folder_uri)
        pending->folder_uri = g_strdup(folder_uri);
    pending->wanted = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, nullptr);
    for (GSList *l = uris; l; l = l->next) {
        if (l->data)
            g_hash_table_add(pending->wanted, g_strdup(static_cast<const gchar *>(l->data)));
    }
    pending->first_uri = g_strdup(static_cast<const gchar *>(uris->data));
    fs->pending_selection = pending;
}

void kivel_file_selection_pending_selection_folder_entered(KivelFileSelection *fs)
{
    KivelPendingSelection *pending = fs->pending_selection;
    if (!pending)
        return;
    if (pending->entered || g_strcmp0(pending->folder_uri, fs->current_uri) != 0) {
        pending_selection_end(fs, FALSE);
        return;
    }
    pending->entered = TRUE;
    GHashTableIter iter;
    gpointer uri;
    g_hash_table_iter_init(&iter, pending->wanted);
    while (g_hash_table_iter_next(&iter, &uri, nullptr)) {
        KivelFileSystemRow *row =
            kivel_file_selection_content_listed_row(fs, static_cast<const gchar *>(uri));
        if (row) {
            g_hash_table_iter_remove(&iter);
            select_wanted(fs, row);
        }
    }
    kivel_file_selection_pending_selection_check_done(fs);
}

void kivel_file_selection_pending_selection_check_done(KivelFileSelection *fs)
{
    KivelPendingSelection *pending = fs->pending_selection;
    if (!pending || !pending->entered || fs->fill_source)
        return;
    GtkTreeIter folder;
    if (fs->current &&
        !(kivel_file_selection_current_folder_model_iter(fs, &folder) &&
          kivel_file_system_model_children_loaded(KIVEL_FILE_SYSTEM_MODEL(fs->model), &folder)))
        return;
    // Rows that came later may have pushed the first one out of sight.
    KivelFileSystemRow *first = kivel_file_selection_content_listed_row(fs, pending->first_uri);
    GtkTreeIter iter;
    if (first && kivel_content_list_iter(fs->list, first, &iter) &&
        gtk_tree_selection_iter_is_selected(kivel_file_selection_content_selection(fs), &iter))
        scroll_to_row(fs, first);
    pending_selection_end(fs, TRUE);
}

void kivel_file_selection_pending_selection_user_changed(KivelFileSelection *fs)
{
    if (fs->pending_selection && fs->pending_selection->entered)
        pending_selection_end(fs, FALSE);
}

static void list_row(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    gboolean at_top = view_shows_first_row(fs);
    gint position = kivel_content_list_insert(fs->list, row);
    // The view keeps its top row where it is, so a row arriving above it
    // would push the list's start out of sight while a folder fills.
    if (at_top && position == 0) {
        GtkTreePath *first = gtk_tree_path_new_first();
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(fs->content_view), first, nullptr, TRUE, 0, 0);
        gtk_tree_path_free(first);
    }
}

// ---- Rows held while a folder fills -------------------------------------------

// A screenful goes in at once, so that a person sees rows while the rest
// of a big folder arrives.
static const gint FIRST_ROWS = 64;
// Held rows go in when they are as many as the listed ones: each row is
// moved a few times only, whatever the folder's size.
static const int FLUSH_PRIORITY = GDK_PRIORITY_REDRAW - 10;
// Detaching and attaching the view costs time in proportion to the list:
// past this many rows, rows go in one by one again, which never stalls.
static const gint HELD_LIST_MAX = 16384;

static void row_listed(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    apply_pending_cursor(fs, row);
    apply_pending_selection(fs, row);
}

static GList *selected_rows(KivelFileSelection *fs)
{
    GList *paths =
        gtk_tree_selection_get_selected_rows(kivel_file_selection_content_selection(fs), nullptr);
    GList *rows = nullptr;
    for (GList *l = paths; l; l = l->next)
        rows = g_list_prepend(
            rows, kivel_file_selection_content_row_at(fs, static_cast<GtkTreePath *>(l->data)));
    g_list_free_full(paths, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    return rows;
}

static KivelFileSystemRow *cursor_row(KivelFileSelection *fs)
{
    GtkTreePath *cursor = nullptr;
    gtk_tree_view_get_cursor(GTK_TREE_VIEW(fs->content_view), &cursor, nullptr);
    KivelFileSystemRow *row = kivel_file_selection_content_row_at(fs, cursor);
    if (cursor)
        gtk_tree_path_free(cursor);
    return row;
}

// The view takes a list it is given whole in one sweep, but each row
// inserted under it costs a search and a signal: held rows go in with the
// view detached, its marks, cursor and scroll position put back after.
static void merge_detached(KivelFileSelection *fs, std::vector<KivelFileSystemRow *> &rows)
{
    GtkTreeView *view = GTK_TREE_VIEW(fs->content_view);
    GtkAdjustment *vadj = gtk_tree_view_get_vadjustment(view);
    gdouble top = vadj ? gtk_adjustment_get_value(vadj) : 0;
    GList *marked = selected_rows(fs);
    KivelFileSystemRow *cursor = cursor_row(fs);
    fs->selection_signal_blocked++;
    gtk_tree_view_set_model(view, nullptr);
    kivel_content_list_merge(fs->list, rows.data(), gint(rows.size()));
    gtk_tree_view_set_model(view, GTK_TREE_MODEL(fs->list));
    GtkTreeIter iter;
    if (cursor) {
        GtkTreePath *path = kivel_content_list_path(fs->list, cursor);
        gtk_tree_view_set_cursor(view, path, nullptr, FALSE);
        gtk_tree_path_free(path);
    }
    GtkTreeSelection *selection = kivel_file_selection_content_selection(fs);
    gtk_tree_selection_unselect_all(selection);
    for (GList *l = marked; l; l = l->next) {
        if (kivel_content_list_iter(fs->list, static_cast<KivelFileSystemRow *>(l->data), &iter))
            gtk_tree_selection_select_iter(selection, &iter);
    }
    fs->selection_signal_blocked--;
    g_list_free(marked);
    if (vadj)
        gtk_adjustment_set_value(
            vadj,
            CLAMP(top, 0, gtk_adjustment_get_upper(vadj) - gtk_adjustment_get_page_size(vadj)));
}

// Lists the held rows.
static void flush_held(KivelFileSelection *fs)
{
    g_clear_handle_id(&fs->flush_source, g_source_remove);
    if (!fs->held || g_hash_table_size(fs->held) == 0)
        return;
    std::vector<KivelFileSystemRow *> rows;
    rows.reserve(g_hash_table_size(fs->held));
    GHashTableIter it;
    gpointer row;
    g_hash_table_iter_init(&it, fs->held);
    while (g_hash_table_iter_next(&it, &row, nullptr))
        rows.push_back(static_cast<KivelFileSystemRow *>(row));
    g_hash_table_remove_all(fs->held);
    gint listed = kivel_content_list_length(fs->list);
    if (!gtk_widget_get_realized(fs->content_view) || rows.size() < 16 ||
        listed + gint(rows.size()) > HELD_LIST_MAX) {
        for (KivelFileSystemRow *one : rows)
            list_row(fs, one);
    } else {
        merge_detached(fs, rows);
    }
    for (KivelFileSystemRow *one : rows)
        row_listed(fs, one);
}

static gboolean flush_idle(gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    fs->flush_source = 0;
    flush_held(fs);
    return FALSE;
}

static void drop_held(KivelFileSelection *fs)
{
    g_clear_handle_id(&fs->flush_source, g_source_remove);
    if (fs->held)
        g_hash_table_remove_all(fs->held);
}

// TRUE when `row` waits to be listed.
static gboolean is_held(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    return fs->held && g_hash_table_contains(fs->held, row);
}

static gboolean hold_row(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    gint listed = kivel_content_list_length(fs->list);
    gint held = fs->held ? gint(g_hash_table_size(fs->held)) : 0;
    if (!fs->filling || listed < FIRST_ROWS || listed + held >= HELD_LIST_MAX)
        return FALSE;
    if (!fs->held)
        fs->held = g_hash_table_new(nullptr, nullptr);
    g_hash_table_add(fs->held, row);
    // Made now, its comparing key does not lengthen the merge.
    kivel_file_system_row_get_sort_key(row);
    held++;
    if (!fs->flush_source && (held >= listed || listed + held >= HELD_LIST_MAX))
        fs->flush_source = gdk_threads_add_idle_full(FLUSH_PRIORITY, flush_idle, fs, nullptr);
    return TRUE;
}

// TRUE once the current folder's children are all in the model.
static gboolean folder_loaded(KivelFileSelection *fs)
{
    GtkTreeIter folder;
    return kivel_file_selection_current_folder_model_iter(fs, &folder) &&
           kivel_file_system_model_children_loaded(KIVEL_FILE_SYSTEM_MODEL(fs->model), &folder);
}

void kivel_file_selection_content_folder_loaded(KivelFileSelection *fs)
{
    // Rows arrive one by one from here on.
    if (!fs->filling)
        return;
    fs->filling = FALSE;
    flush_held(fs);
}

// A model child of the current folder was looked at for the first time.
static void consider_row(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    if (!row_is_listed(fs, row) || hold_row(fs, row))
        return;
    list_row(fs, row);
    row_listed(fs, row);
}

// ---- Filling ----------------------------------------------------------------

// The model row whose children the pane lists: NULL at the top. FALSE
// when the current folder has no row any more.
static gboolean listed_parent(KivelFileSelection *fs, GtkTreeIter *folder, GtkTreeIter **parent)
{
    *parent = nullptr;
    if (!fs->current)
        return TRUE;
    if (!kivel_file_selection_current_folder_model_iter(fs, folder))
        return FALSE;
    *parent = folder;
    return TRUE;
}

// Looks at model children from where the fill stands; TRUE while some remain.
static gboolean fill_step(KivelFileSelection *fs)
{
    GtkTreeIter folder, child;
    GtkTreeIter *parent;
    if (!listed_parent(fs, &folder, &parent))
        return FALSE;
    if (!gtk_tree_model_iter_nth_child(fs->model, &child, parent, fs->considered))
        return FALSE;
    KivelFileSystemModel *model = KIVEL_FILE_SYSTEM_MODEL(fs->model);
    guint generation = fs->generation;
    gint64 deadline = g_get_monotonic_time() + fill_step_budget_us;
    for (gint done = 1;; done++) {
        fs->considered++;
        consider_row(fs, kivel_file_system_model_get_row(model, &child));
        if (fs->generation != generation)
            return FALSE; // a handler rebuilt the list meanwhile
        if (!gtk_tree_model_iter_next(fs->model, &child))
            return FALSE;
        if (done % 64 == 0 && g_get_monotonic_time() > deadline)
            return TRUE;
    }
}

static gboolean fill_idle(gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    guint generation = fs->generation;
    if (fill_step(fs))
        return TRUE;
    // A rebuild during the step has a fill of its own.
    if (fs->generation == generation) {
        fs->fill_source = 0;
        kivel_file_selection_pending_selection_check_done(fs);
    }
    return FALSE;
}

static void stop_filling(KivelFileSelection *fs)
{
    if (fs->fill_source) {
        g_source_remove(fs->fill_source);
        fs->fill_source = 0;
    }
}

// Gives the view a new empty list.
static void start_list(KivelFileSelection *fs)
{
    fs->generation++;
    stop_filling(fs);
    drop_held(fs);
    fs->filling = FALSE;
    KivelContentList *old = fs->list;
    fs->list = kivel_content_list_new(compare_rows, fs);
    fs->considered = 0;
    fs->selection_signal_blocked++;
    gtk_tree_view_set_model(GTK_TREE_VIEW(fs->content_view), GTK_TREE_MODEL(fs->list));
    fs->selection_signal_blocked--;
    if (old)
        g_object_unref(old);
}

void kivel_file_selection_content_reload(KivelFileSelection *fs)
{
    start_list(fs);
    // Rows of a folder that is read now arrive from the disk: they are held.
    fs->filling = fs->current && !folder_loaded(fs);
    if (fill_step(fs))
        fs->fill_source = gdk_threads_add_idle(fill_idle, fs);
}

void kivel_file_selection_content_forget(KivelFileSelection *fs)
{
    start_list(fs);
}

// ---- The model's changes below the current folder ------------------------------

void kivel_file_selection_content_row_inserted(KivelFileSelection *fs, gint index,
                                               GtkTreeIter *iter)
{
    // Rows past the ones looked at are read by the fill when it gets there.
    if (index > fs->considered)
        return;
    fs->considered++;
    consider_row(fs, kivel_file_system_model_get_row(KIVEL_FILE_SYSTEM_MODEL(fs->model), iter));
}

void kivel_file_selection_content_row_removing(KivelFileSelection *fs, GtkTreeIter *iter)
{
    KivelFileSystemRow *row =
        kivel_file_system_model_get_row(KIVEL_FILE_SYSTEM_MODEL(fs->model), iter);
    if (fs->held)
        g_hash_table_remove(fs->held, row);
    // The tree view reports a selected row's removal.
    kivel_content_list_remove(fs->list, row);
}

void kivel_file_selection_content_row_deleted(KivelFileSelection *fs, gint index)
{
    if (index < fs->considered)
        fs->considered--;
}

// Puts a listed row that sorts elsewhere now in its place, marks kept.
static void move_row(KivelFileSelection *fs, KivelFileSystemRow *row)
{
    GtkTreeSelection *selection = kivel_file_selection_content_selection(fs);
    GtkTreeIter iter;
    kivel_content_list_iter(fs->list, row, &iter);
    gboolean was_selected = gtk_tree_selection_iter_is_selected(selection, &iter);
    fs->selection_signal_blocked++;
    kivel_content_list_remove(fs->list, row);
    list_row(fs, row);
    if (was_selected && kivel_content_list_iter(fs->list, row, &iter))
        gtk_tree_selection_select_iter(selection, &iter);
    fs->selection_signal_blocked--;
}

void kivel_file_selection_content_row_changed(KivelFileSelection *fs, gint index, GtkTreeIter *iter)
{
    if (index >= fs->considered)
        return;
    KivelFileSystemRow *row =
        kivel_file_system_model_get_row(KIVEL_FILE_SYSTEM_MODEL(fs->model), iter);
    gboolean listed = row_is_listed(fs, row);
    // A held row takes its place when it goes in.
    if (is_held(fs, row)) {
        if (!listed)
            g_hash_table_remove(fs->held, row);
        return;
    }
    gboolean was_listed = kivel_content_list_has(fs->list, row);
    if (was_listed && listed && kivel_content_list_in_order(fs->list, row))
        kivel_content_list_row_changed(fs->list, row);
    else if (was_listed && listed)
        move_row(fs, row);
    else if (was_listed)
        kivel_content_list_remove(fs->list, row);
    else if (listed)
        consider_row(fs, row);
}

void kivel_file_selection_content_rows_reordered(KivelFileSelection *fs)
{
    // Only the top level follows the model's order; the fill starts over.
    if (fs->current)
        return;
    gboolean had_selection =
        gtk_tree_selection_count_selected_rows(kivel_file_selection_content_selection(fs)) > 0;
    kivel_file_selection_content_reload(fs);
    if (had_selection)
        kivel_file_selection_emit_selection_changed(fs);
}

void kivel_file_selection_content_resort(KivelFileSelection *fs)
{
    kivel_content_list_resort(fs->list);
}

void kivel_file_selection_content_model_iter(KivelFileSelection *fs, KivelFileSystemRow *row,
                                             GtkTreeIter *iter)
{
    kivel_file_system_model_row_iter(KIVEL_FILE_SYSTEM_MODEL(fs->model), row, iter);
}

KivelFileSystemRow *kivel_file_selection_content_row_at(KivelFileSelection *fs, GtkTreePath *path)
{
    GtkTreeIter iter;
    if (!path || !gtk_tree_model_get_iter(GTK_TREE_MODEL(fs->list), &iter, path))
        return nullptr;
    return kivel_content_list_row(fs->list, &iter);
}

KivelFileSystemRow *kivel_file_selection_content_listed_row(KivelFileSelection *fs,
                                                            const gchar *uri)
{
    GtkTreeIter iter;
    if (!uri || !fs->list ||
        !kivel_file_system_model_search_uri(KIVEL_FILE_SYSTEM_MODEL(fs->model), uri, &iter, nullptr,
                                            TRUE))
        return nullptr;
    KivelFileSystemRow *row =
        kivel_file_system_model_get_row(KIVEL_FILE_SYSTEM_MODEL(fs->model), &iter);
    if (row && is_held(fs, row))
        flush_held(fs); // asked for by name: it is shown now
    return row && kivel_content_list_has(fs->list, row) ? row : nullptr;
}

// ---- Life of the list ----------------------------------------------------

void kivel_file_selection_content_init(KivelFileSelection *fs)
{
    fs->dimmed = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, nullptr);
    fs->large_icons = g_hash_table_new_full(nullptr, nullptr, g_object_unref, g_object_unref);
}

void kivel_file_selection_content_dispose(KivelFileSelection *fs)
{
    stop_filling(fs);
    drop_held(fs);
    g_clear_pointer(&fs->held, g_hash_table_destroy);
    g_clear_object(&fs->list);
    g_clear_pointer(&fs->dimmed, g_hash_table_destroy);
    g_clear_pointer(&fs->large_icons, g_hash_table_destroy);
    g_clear_pointer(&fs->pending_cursor_uri, g_free);
    pending_selection_end(fs, FALSE);
}

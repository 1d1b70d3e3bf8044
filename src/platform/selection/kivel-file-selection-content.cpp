// The content pane: a list store mirroring the listed children of the
// current folder. The model's levels can hold 100,000 rows; filter and sort
// models over them cost a linear array move per inserted row, so the pane
// keeps its own ordered sequences instead and touches the store in O(log n)
// per row. A folder whose children are already loaded is copied in time-boxed
// idle steps, so the window keeps drawing while it fills.
#include "platform/selection/kivel-file-selection-private.h"

#include <string.h>

// Time one fill step may take before the main loop runs again.
static gint64 fill_step_budget_us = 15000;

void kivel_file_selection_set_fill_budget(gint64 microseconds)
{
    fill_step_budget_us = microseconds;
}

static void entry_release_fields(KivelContentEntry *entry)
{
    g_free(entry->uri);
    g_free(entry->display_name);
    g_free(entry->collate_key);
    g_free(entry->mime_type);
    if (entry->icon)
        g_object_unref(entry->icon);
}

static void entry_free(KivelContentEntry *entry)
{
    entry_release_fields(entry);
    g_free(entry);
}

// Copies the model row into `entry`; TRUE when the pane lists it.
static gboolean entry_read(KivelFileSelection *fs, KivelContentEntry *entry, GtkTreeIter *iter)
{
    gchar *uri = nullptr, *display = nullptr, *key = nullptr, *mime = nullptr;
    GdkPixbuf *icon = nullptr;
    gint64 size = 0, mtime = 0;
    gboolean folder = FALSE, hidden = FALSE, readonly = FALSE, placeholder = FALSE;
    gint type = 0, available = 0;
    gtk_tree_model_get(
        fs->model, iter, KIVEL_FILE_SYSTEM_MODEL_URI, &uri, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME,
        &display, KIVEL_FILE_SYSTEM_MODEL_SORT_KEY, &key, KIVEL_FILE_SYSTEM_MODEL_MIME_TYPE, &mime,
        KIVEL_FILE_SYSTEM_MODEL_SIZE, &size, KIVEL_FILE_SYSTEM_MODEL_MTIME, &mtime,
        KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER, &folder, KIVEL_FILE_SYSTEM_MODEL_IS_HIDDEN, &hidden,
        KIVEL_FILE_SYSTEM_MODEL_IS_READONLY, &readonly, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE, &type,
        KIVEL_FILE_SYSTEM_MODEL_ICON, &icon, KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER, &placeholder,
        KIVEL_FILE_SYSTEM_MODEL_AVAILABLE, &available, -1);
    folder = folder || type >= KIVEL_FILE_SYSTEM_MODEL_FOLDER;
    if (!display)
        display = g_strdup(uri ? uri : "");
    if (!key)
        key = g_utf8_collate_key_for_filename(display, -1);

    entry_release_fields(entry);
    entry->uri = uri;
    entry->display_name = display;
    entry->collate_key = key;
    entry->mime_type = mime;
    entry->icon = icon;
    entry->size = size;
    entry->mtime = mtime;
    entry->is_folder = folder;
    // An empty card slot at the top level leads nowhere.
    if (!fs->current && !available)
        return FALSE;
    return kivel_file_selection_item_is_shown(fs, uri, folder, placeholder, hidden, readonly, type);
}

static gint compare_int64(gint64 a, gint64 b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

// Folders come first in every order; ties fall back to the name, then the URI.
static gint compare_entries(gconstpointer a, gconstpointer b, gpointer data)
{
    const KivelFileSelection *fs = static_cast<const KivelFileSelection *>(data);
    const KivelContentEntry *x = static_cast<const KivelContentEntry *>(a);
    const KivelContentEntry *y = static_cast<const KivelContentEntry *>(b);
    // The top level keeps the model's order: the documents folder, then cards.
    if (!fs->current)
        return g_sequence_iter_compare(x->position, y->position);
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

static void apply_pending_cursor(KivelFileSelection *fs, KivelContentEntry *entry)
{
    if (!fs->pending_cursor_uri || g_strcmp0(fs->pending_cursor_uri, entry->uri) != 0)
        return;
    g_free(fs->pending_cursor_uri);
    fs->pending_cursor_uri = nullptr;
    kivel_file_selection_move_cursor_to_uri(fs, entry->uri);
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

static void scroll_to_entry(KivelFileSelection *fs, KivelContentEntry *entry)
{
    GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(fs->store), &entry->row);
    gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(fs->content_view), path, nullptr, FALSE, 0, 0);
    gtk_tree_path_free(path);
}

// Selects a listed entry that the pending selection holds; the caller takes
// it out of the wanted ones.
static void select_wanted(KivelFileSelection *fs, KivelContentEntry *entry)
{
    KivelPendingSelection *pending = fs->pending_selection;
    fs->selection_signal_blocked++;
    gtk_tree_selection_select_iter(kivel_file_selection_content_selection(fs), &entry->row);
    fs->selection_signal_blocked--;
    if (g_strcmp0(entry->uri, pending->first_uri) == 0)
        scroll_to_entry(fs, entry);
    if (!pending->notify_source)
        pending->notify_source = gdk_threads_add_idle(emit_owed_selection_changed, fs);
}

static void apply_pending_selection(KivelFileSelection *fs, KivelContentEntry *entry)
{
    KivelPendingSelection *pending = fs->pending_selection;
    if (pending && pending->entered && entry->uri &&
        g_hash_table_remove(pending->wanted, entry->uri))
        select_wanted(fs, entry);
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
        auto entry = static_cast<KivelContentEntry *>(g_hash_table_lookup(fs->by_uri, uri));
        if (entry && entry->listed) {
            g_hash_table_iter_remove(&iter);
            select_wanted(fs, entry);
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
    auto first =
        static_cast<KivelContentEntry *>(g_hash_table_lookup(fs->by_uri, pending->first_uri));
    if (first && first->listed &&
        gtk_tree_selection_iter_is_selected(kivel_file_selection_content_selection(fs),
                                            &first->row))
        scroll_to_entry(fs, first);
    pending_selection_end(fs, TRUE);
}

void kivel_file_selection_pending_selection_user_changed(KivelFileSelection *fs)
{
    if (fs->pending_selection && fs->pending_selection->entered)
        pending_selection_end(fs, FALSE);
}

static void entry_list(KivelFileSelection *fs, KivelContentEntry *entry)
{
    entry->shown = g_sequence_insert_sorted(fs->shown, entry, compare_entries, fs);
    entry->listed = TRUE;
    gint position = g_sequence_iter_get_position(entry->shown);
    gboolean at_top = position == 0 && view_shows_first_row(fs);
    gtk_list_store_insert_with_values(fs->store, &entry->row, position, KIVEL_CONTENT_STORE_ENTRY,
                                      entry, -1);
    // The view keeps its top row where it is, so a row arriving above it
    // would push the list's start out of sight while a folder fills.
    if (at_top) {
        GtkTreePath *first = gtk_tree_path_new_first();
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(fs->content_view), first, nullptr, TRUE, 0, 0);
        gtk_tree_path_free(first);
    }
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
        apply_pending_selection(fs, entry);
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

// A mirror left behind by a folder change. Freeing 100,000 rows at once
// would hold up the window, so it goes a slice at a time.
typedef struct {
    GSequence *positions;
    GSequence *shown;
    GSequenceIter *next; // the next entry to free
    GtkListStore *store;
} KivelLeftover;

// Frees up to the deadline (no deadline when 0); TRUE when done.
static gboolean leftover_free(KivelLeftover *leftover, gint64 deadline)
{
    gint done = 0;
    while (!g_sequence_iter_is_end(leftover->next)) {
        entry_free(static_cast<KivelContentEntry *>(g_sequence_get(leftover->next)));
        leftover->next = g_sequence_iter_next(leftover->next);
        if (deadline && ++done % 256 == 0 && g_get_monotonic_time() > deadline)
            return FALSE;
    }
    if (leftover->store) {
        GtkTreeIter row;
        while (gtk_tree_model_get_iter_first(GTK_TREE_MODEL(leftover->store), &row)) {
            gtk_list_store_remove(leftover->store, &row);
            if (deadline && ++done % 256 == 0 && g_get_monotonic_time() > deadline)
                return FALSE;
        }
        g_clear_object(&leftover->store);
    }
    g_sequence_free(leftover->positions);
    g_sequence_free(leftover->shown);
    g_free(leftover);
    return TRUE;
}

static gboolean reap_idle(gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    gint64 deadline = g_get_monotonic_time() + fill_step_budget_us;
    while (!g_queue_is_empty(fs->leftovers)) {
        if (!leftover_free(static_cast<KivelLeftover *>(g_queue_peek_head(fs->leftovers)),
                           deadline))
            return TRUE;
        g_queue_pop_head(fs->leftovers);
    }
    fs->reap_source = 0;
    return FALSE;
}

// Hands the mirror's entries and `store` over to be freed, and starts an
// empty mirror.
static void leave_mirror(KivelFileSelection *fs, GtkListStore *store)
{
    g_hash_table_remove_all(fs->by_uri);
    auto leftover = g_new0(KivelLeftover, 1);
    leftover->positions = fs->positions;
    leftover->shown = fs->shown;
    leftover->next = g_sequence_get_begin_iter(fs->positions);
    leftover->store = store;
    g_queue_push_tail(fs->leftovers, leftover);
    if (!fs->reap_source)
        fs->reap_source = gdk_threads_add_idle(reap_idle, fs);
    fs->positions = g_sequence_new(nullptr);
    fs->shown = g_sequence_new(nullptr);
}

// The model row whose children the mirror lists: NULL at the top. FALSE
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

// Copies model children into the mirror from where it stands; TRUE while
// some remain.
static gboolean fill_step(KivelFileSelection *fs)
{
    GtkTreeIter folder, child;
    GtkTreeIter *parent;
    if (!listed_parent(fs, &folder, &parent))
        return FALSE;
    gint index = g_sequence_get_length(fs->positions);
    if (!gtk_tree_model_iter_nth_child(fs->model, &child, parent, index))
        return FALSE;
    guint generation = fs->generation;
    gint64 deadline = g_get_monotonic_time() + fill_step_budget_us;
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

void kivel_file_selection_content_reload(KivelFileSelection *fs)
{
    fs->generation++;
    stop_filling(fs);
    GtkListStore *old = fs->store;
    fs->store = gtk_list_store_new(1, G_TYPE_POINTER);
    fs->selection_signal_blocked++;
    gtk_tree_view_set_model(GTK_TREE_VIEW(fs->content_view), GTK_TREE_MODEL(fs->store));
    fs->selection_signal_blocked--;
    leave_mirror(fs, old);
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

void kivel_file_selection_content_row_changed(KivelFileSelection *fs, gint index, GtkTreeIter *iter)
{
    KivelContentEntry *entry = entry_at_index(fs, index);
    if (!entry)
        return;
    gboolean was_listed = entry->listed;
    gboolean was_selected =
        was_listed && gtk_tree_selection_iter_is_selected(
                          kivel_file_selection_content_selection(fs), &entry->row);
    entry_forget_uri(fs, entry);
    gboolean listed = entry_read(fs, entry, iter);
    if (entry->uri)
        g_hash_table_replace(fs->by_uri, entry->uri, entry);

    if (was_listed && listed && entry_in_order(fs, entry)) {
        gtk_list_store_set(fs->store, &entry->row, KIVEL_CONTENT_STORE_ENTRY, entry, -1);
        return;
    }
    if (was_listed && listed) {
        // Moved in the display order: take it out and put it back, marks kept.
        fs->selection_signal_blocked++;
        entry_unlist(fs, entry);
        entry_list(fs, entry);
        if (was_selected)
            gtk_tree_selection_select_iter(kivel_file_selection_content_selection(fs), &entry->row);
        fs->selection_signal_blocked--;
        return;
    }
    if (was_listed)
        entry_unlist(fs, entry);
    else if (listed) {
        entry_list(fs, entry);
        apply_pending_cursor(fs, entry);
        apply_pending_selection(fs, entry);
    }
}

void kivel_file_selection_content_rows_reordered(KivelFileSelection *fs, gint *new_order)
{
    GtkTreeIter folder;
    GtkTreeIter *parent;
    if (!listed_parent(fs, &folder, &parent))
        return;
    gint n = gtk_tree_model_iter_n_children(fs->model, parent);
    gint mirrored = g_sequence_get_length(fs->positions);
    if (mirrored != n) {
        // Only a complete mirror can follow a new order; start over.
        gboolean had_selection =
            gtk_tree_selection_count_selected_rows(kivel_file_selection_content_selection(fs)) > 0;
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
    GtkTreeIter *parent;
    if (!listed_parent(fs, &folder, &parent))
        return FALSE;
    gint index = g_sequence_iter_get_position(entry->position);
    return gtk_tree_model_iter_nth_child(fs->model, iter, parent, index);
}

KivelContentEntry *kivel_file_selection_content_entry_at(KivelFileSelection *fs, GtkTreePath *path)
{
    GtkTreeIter row;
    if (!path || !gtk_tree_model_get_iter(GTK_TREE_MODEL(fs->store), &row, path))
        return nullptr;
    KivelContentEntry *entry = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(fs->store), &row, KIVEL_CONTENT_STORE_ENTRY, &entry, -1);
    return entry;
}

// ---- Life of the mirror ----------------------------------------------------

void kivel_file_selection_content_init(KivelFileSelection *fs)
{
    fs->positions = g_sequence_new(nullptr);
    fs->shown = g_sequence_new(nullptr);
    fs->leftovers = g_queue_new();
    fs->by_uri = g_hash_table_new(g_str_hash, g_str_equal);
    fs->dimmed = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, nullptr);
    fs->large_icons = g_hash_table_new_full(nullptr, nullptr, g_object_unref, g_object_unref);
}

void kivel_file_selection_content_dispose(KivelFileSelection *fs)
{
    stop_filling(fs);
    if (fs->positions) {
        leave_mirror(fs, nullptr);
        g_sequence_free(fs->positions);
        g_sequence_free(fs->shown);
        fs->positions = nullptr;
        fs->shown = nullptr;
    }
    if (fs->reap_source) {
        g_source_remove(fs->reap_source);
        fs->reap_source = 0;
    }
    if (fs->leftovers) {
        while (!g_queue_is_empty(fs->leftovers))
            leftover_free(static_cast<KivelLeftover *>(g_queue_pop_head(fs->leftovers)), 0);
        g_queue_free(fs->leftovers);
        fs->leftovers = nullptr;
    }
    g_clear_pointer(&fs->by_uri, g_hash_table_destroy);
    g_clear_pointer(&fs->dimmed, g_hash_table_destroy);
    g_clear_pointer(&fs->large_icons, g_hash_table_destroy);
    g_clear_object(&fs->store);
    g_clear_pointer(&fs->pending_cursor_uri, g_free);
    pending_selection_end(fs, FALSE);
}

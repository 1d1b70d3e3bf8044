#include "ops/xfer.h"

#include "app/ulvo-fm-app.h"
#include "model/app-record.h"
#include "model/fm-assert.h"
#include "naming/shorten-names-dialog.h"
#include "naming/unique-names.h"
#include "ops/xfer-progress.h"
#include "platform/selection/kivel-file-selection.h"
#include "platform/fsmodel/kivel-file-system-model.h"
#include "platform/toolkit/kivel-note.h"
#include "platform/services/kivel-thumbnail.h"
#include "ui/notices.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <libintl.h>
#include <locale.h>
#include <string.h>
#include <string>

using ulvo::GCharPtr;

const gchar *xfer_text(const gchar *catalog, const gchar *id)
{
    return dcgettext(catalog, id, LC_MESSAGES);
}

gchar *xfer_uri_text(GFile *file)
{
    return file ? g_file_get_uri(file) : nullptr;
}

// ---- Lists -----------------------------------------------------------------

// The target's path as the person reads it: without scheme, unescaped.
static glong local_path_length(GFile *target)
{
    GCharPtr uri(xfer_uri_text(target));
    GCharPtr path(uri ? ulvo_vfs_uri_to_string(uri.get(), ULVO_VFS_URI_HIDE_TOPLEVEL_METHOD)
                      : nullptr);
    GCharPtr unescaped(path ? ulvo_vfs_unescape_string(path.get(), nullptr) : nullptr);
    if (!unescaped || !g_utf8_validate(unescaped.get(), -1, nullptr))
        return 0;
    return g_utf8_strlen(unescaped.get(), -1);
}

void xfer_build_uri_lists(GList *sources, GList *targets, XferData *cdata)
{
    for (GList *s = sources, *t = targets; s && t; s = s->next, t = t->next) {
        auto *target = static_cast<GFile *>(t->data);
        cdata->source_uris = g_list_append(cdata->source_uris, g_object_ref(s->data));
        cdata->target_uris = g_list_append(cdata->target_uris, g_object_ref(target));
        if (local_path_length(target) > XFER_MAX_NAME_LENGTH)
            cdata->long_name_uris = g_list_append(cdata->long_name_uris, g_object_ref(target));
    }
}

static void unref_uri_list(GList **list)
{
    g_list_free_full(*list, g_object_unref);
    *list = nullptr;
}

// ---- Long names ------------------------------------------------------------

// FALSE when even the bare extension would not fit beside the folder.
static gboolean can_be_shortened(GFile *target)
{
    GCharPtr uri(xfer_uri_text(target));
    GCharPtr dirname(ulvo_vfs_uri_extract_dirname(uri.get()));
    GCharPtr folder(dirname ? ulvo_vfs_unescape_string(dirname.get(), nullptr) : nullptr);
    GCharPtr name(ulvo_vfs_uri_short_name(uri.get()));
    if (!folder || !name)
        return FALSE;
    const gchar *extension = ulvo_fm_path_get_extension(name.get());
    glong shortest = g_utf8_strlen(folder.get(), -1) +
                     (g_str_has_suffix(folder.get(), "/") ? 0 : 1) +
                     (extension ? g_utf8_strlen(extension, -1) : 0);
    return shortest <= XFER_MAX_NAME_LENGTH;
}

// The local path of `uri` cut to the longest allowed length in bytes, its
// extension kept at the end.
static GFile *cut_to_length(const gchar *uri)
{
    GCharPtr path(ulvo_vfs_get_local_path_from_uri(uri));
    if (!path || strlen(path.get()) <= XFER_MAX_NAME_LENGTH)
        return g_file_new_for_uri(uri);
    GCharPtr base_name(g_path_get_basename(path.get()));
    const gchar *extension = ulvo_fm_path_get_extension(base_name.get());
    std::string ext = extension ? extension : "";
    std::string stem(path.get(), strlen(path.get()) - ext.size());
    size_t keep = XFER_MAX_NAME_LENGTH > ext.size() ? XFER_MAX_NAME_LENGTH - ext.size() : 0;
    if (stem.size() > keep) {
        // Never end inside a character.
        const gchar *end = g_utf8_find_prev_char(stem.c_str(), stem.c_str() + keep + 1);
        stem.resize(end ? static_cast<size_t>(end - stem.c_str()) : 0);
    }
    return g_file_new_for_path((stem + ext).c_str());
}

static void replace_targets(XferData *cdata, const gchar *old_uri, const gchar *new_uri)
{
    for (GList *t = cdata->target_uris; t; t = t->next) {
        GCharPtr text(xfer_uri_text(static_cast<GFile *>(t->data)));
        if (g_strcmp0(text.get(), old_uri) != 0)
            continue;
        g_object_unref(t->data);
        t->data = cut_to_length(new_uri);
    }
}

int xfer_shorten_long_names(GtkWindow *parent_window, XferData *cdata)
{
    ulvo::GObjPtr<GtkListStore> list(gtk_list_store_new(2, G_TYPE_STRING, G_TYPE_STRING));
    gint rows = 0;
    for (GList *l = cdata->long_name_uris; l; l = l->next) {
        auto *target = static_cast<GFile *>(l->data);
        if (!can_be_shortened(target))
            return 1;
        GCharPtr uri(xfer_uri_text(target));
        GtkTreeIter iter;
        gtk_list_store_append(list.get(), &iter);
        gtk_list_store_set(list.get(), &iter, 0, uri.get(), -1);
        rows++;
    }
    GtkWidget *dialog = kivel_shorten_names_dialog_new(parent_window);
    kivel_shorten_names_dialog_set_items(KIVEL_SHORTEN_NAMES_DIALOG(dialog),
                                         GTK_TREE_MODEL(list.get()), XFER_MAX_NAME_LENGTH);
    if (rows == 1)
        gtk_window_set_title(GTK_WINDOW(dialog), xfer_text("ulvo-backup", "back_fi_general_error"));
    if (gtk_dialog_run(GTK_DIALOG(dialog)) != GTK_RESPONSE_ACCEPT) {
        gtk_widget_destroy(dialog);
        return 2;
    }
    ulvo::GObjPtr<GtkListStore> result(
        kivel_shorten_names_dialog_get_items(KIVEL_SHORTEN_NAMES_DIALOG(dialog)));
    GtkTreeIter old_row, new_row;
    gboolean more_old = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(list.get()), &old_row);
    gboolean more_new =
        result && gtk_tree_model_get_iter_first(GTK_TREE_MODEL(result.get()), &new_row);
    while (more_old && more_new) {
        gchar *old_uri = nullptr, *new_uri = nullptr;
        gtk_tree_model_get(GTK_TREE_MODEL(list.get()), &old_row, 0, &old_uri, -1);
        gtk_tree_model_get(GTK_TREE_MODEL(result.get()), &new_row, 0, &new_uri, -1);
        if (old_uri && new_uri)
            replace_targets(cdata, old_uri, new_uri);
        g_free(old_uri);
        g_free(new_uri);
        more_old = gtk_tree_model_iter_next(GTK_TREE_MODEL(list.get()), &old_row);
        more_new = gtk_tree_model_iter_next(GTK_TREE_MODEL(result.get()), &new_row);
    }
    gtk_widget_destroy(dialog);
    return 0;
}

// ---- Record ----------------------------------------------------------------

static void set_kind_texts(XferData *cdata, XferKind kind)
{
    struct Texts {
        const gchar *catalog, *progress, *button_catalog, *button;
    };
    static const Texts texts[] = {
        {"ulvo-filemanager", "docm_nw_duplicating_file", "kivel-libs", "wdgt_bd_stop"},
        {"kivel-fm", "sfil_nw_moving_file", "kivel-fm", "docm_bd_moving_files"},
        {"kivel-fm", "docm_nw_deleting_file", "kivel-fm", "docm_bd_deleting_files"},
    };
    cdata->kind = kind;
    if (kind == XFER_RENAME)
        return;
    const Texts &t = texts[kind];
    cdata->progress_text = g_strdup(xfer_text(t.catalog, t.progress));
    cdata->button_text_single = g_strdup(xfer_text(t.button_catalog, t.button));
    cdata->button_text_multi = g_strdup(cdata->button_text_single);
}

void xfer_init(XferData *cdata)
{
    FM_RETURN_IF_FAIL(cdata != NULL, "cdata != NULL");
    cdata->cancelled = FALSE;
    cdata->sweep_sources = FALSE;
    if (cdata->kind == XFER_RENAME)
        return;
    GtkWidget *bar = gtk_progress_bar_new();
    GtkWidget *note = kivel_note_new_cancel_with_progress_bar(
        cdata->parent_window, cdata->progress_text, GTK_PROGRESS_BAR(bar));
    if (!note) {
        FM_ASSERTION_TEXT("cdata->status_window");
        gtk_widget_destroy(bar);
        return;
    }
    cdata->progress_bar = GTK_PROGRESS_BAR(bar);
    g_get_current_time(&cdata->last_update_time);
    cdata->last_file_index = 0;
    cdata->last_percent = 0;
    gtk_window_set_modal(GTK_WINDOW(note), TRUE);
    // Reports come at most every 100 ms, so the one that would name the
    // button may never arrive.
    if (cdata->button_text_single)
        kivel_note_set_button_text(KIVEL_NOTE(note), cdata->button_text_single);
    cdata->status_window = note;
    g_signal_connect(note, "response", G_CALLBACK(xfer_dialog_on_response_event), cdata);
}

void xfer_cleanup(XferData **cdata)
{
    FM_RETURN_IF_FAIL(cdata != NULL && *cdata != NULL, "(*cdata) != NULL");
    XferData *data = *cdata;
    if (data->status_window)
        gtk_widget_destroy(data->status_window);
    g_free(data->progress_text);
    g_free(data->button_text_single);
    g_free(data->button_text_multi);
    g_free(data->error_text);
    g_free(data->error_button_text);
    unref_uri_list(&data->source_uris);
    unref_uri_list(&data->target_uris);
    unref_uri_list(&data->long_name_uris);
    g_list_free_full(data->partial_file, g_free);
    if (data->completed_sources)
        g_hash_table_destroy(data->completed_sources);
    g_free(data->target_folder);
    g_free(data);
    *cdata = nullptr;
    if (global_ofm)
        global_ofm->xfer_callback_data_freed = TRUE;
}

void xfer_dialog_on_response_event(GtkDialog *, gint, gpointer data)
{
    FM_RETURN_IF_FAIL(data != NULL, "data != NULL");
    auto *cdata = static_cast<XferData *>(data);
    // Read by a folder being deleted for a replace on its own thread.
    g_atomic_int_set(&cdata->cancelled, TRUE);
    if (cdata->handle)
        ulvo_vfs_async_cancel(cdata->handle);
}

// ---- Launch ----------------------------------------------------------------

static int count_existing(GList *targets)
{
    int count = 0;
    for (GList *t = targets; t; t = t->next)
        count += g_file_query_exists(static_cast<GFile *>(t->data), nullptr) ? 1 : 0;
    return count;
}

// (transfer full) Text URIs of a GFile list.
static GList *text_list(GList *files)
{
    GList *out = nullptr;
    for (GList *l = files; l; l = l->next)
        out = g_list_append(out, xfer_uri_text(static_cast<GFile *>(l->data)));
    return out;
}

static void launch(XferData *cdata, GList *sources, GList *targets, guint options)
{
    global_ofm->xfer_started = TRUE;
    GList *source_texts = text_list(sources);
    GList *target_texts = text_list(targets);
    UlvoVfsResult result =
        ulvo_vfs_async_xfer(&cdata->handle, source_texts, target_texts, options,
                            ULVO_VFS_XFER_ERROR_MODE_QUERY, ULVO_VFS_XFER_OVERWRITE_MODE_QUERY, 0,
                            xfer_progress_callback, cdata, xfer_sync_callback, cdata);
    g_list_free_full(source_texts, g_free);
    g_list_free_full(target_texts, g_free);
    if (result != ULVO_VFS_OK) {
        // Nothing runs, so nothing would ever end the operation.
        g_warning("Transfer not started: %d\n", result);
        global_ofm->xfer_started = FALSE;
        xfer_cleanup(&cdata);
    }
}

// The copy and move half of xfer_uri; FALSE when it launched nothing.
static gboolean start_copy_or_move(XferData *cdata, GList *sources, GList *targets)
{
    gboolean shortened = FALSE;
    if (cdata->long_name_uris) {
        int outcome = xfer_shorten_long_names(cdata->parent_window, cdata);
        if (outcome == 1)
            fm_infonote(cdata->parent_window, xfer_text("ulvo-backup", "back_fi_general_error"),
                        nullptr);
        if (outcome != 0)
            return FALSE;
        shortened = TRUE;
    }
    xfer_init(cdata);
    cdata->existing_target_count = count_existing(targets);
    guint options = ULVO_VFS_XFER_TARGET_DEFAULT_PERMS;
    if (cdata->kind == XFER_MOVE)
        options |= ULVO_VFS_XFER_REMOVESOURCE;
    if (!shortened) {
        launch(cdata, sources, targets, options | ULVO_VFS_XFER_RECURSIVE);
        return TRUE;
    }
    if (cdata->kind == XFER_MOVE) {
        if (!cdata->target_uris)
            return FALSE;
        cdata->sweep_sources = TRUE;
    }
    launch(cdata, cdata->source_uris, cdata->target_uris, options);
    return TRUE;
}

static gboolean start_transfer(XferData *cdata, GList *sources, GList *targets, XferKind kind)
{
    if (!sources || (kind != XFER_DELETE && !targets) || !cdata->parent_window)
        return FALSE;
    set_kind_texts(cdata, kind);
    switch (kind) {
    case XFER_COPY:
    case XFER_MOVE:
        return start_copy_or_move(cdata, sources, targets);
    case XFER_DELETE:
        xfer_init(cdata);
        launch(cdata, sources, nullptr, ULVO_VFS_XFER_RECURSIVE | ULVO_VFS_XFER_DELETE_ITEMS);
        return TRUE;
    case XFER_RENAME: {
        xfer_init(cdata);
        GCharPtr target(xfer_uri_text(static_cast<GFile *>(targets->data)));
        if (global_ofm->file_selection)
            kivel_file_selection_move_cursor_to_uri(
                KIVEL_FILE_SELECTION(global_ofm->file_selection), target.get());
        launch(cdata, sources, targets, ULVO_VFS_XFER_RECURSIVE | ULVO_VFS_XFER_REMOVESOURCE);
        return TRUE;
    }
    }
    return FALSE;
}

static void unref_caller_list(GList *list)
{
    for (GList *l = list; l; l = l->next)
        if (l->data)
            g_object_unref(l->data);
}

void xfer_uri(GList *sources, GList *targets, GtkWindow *parent_window, XferKind kind,
              int excluded_count, int skipped_count, int)
{
    if (!GTK_IS_WINDOW(parent_window) || !global_ofm) {
        FM_ASSERTION_TEXT("GTK_IS_WINDOW (mainwindow)");
        unref_caller_list(sources);
        unref_caller_list(targets);
        return;
    }
    auto *cdata = g_new0(XferData, 1);
    cdata->parent_window = parent_window;
    cdata->excluded_count = excluded_count;
    cdata->skipped_count = skipped_count;
    cdata->overwrite_answer = -1;
    cdata->completed_sources = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, nullptr);
    global_ofm->xfer_callback_data_freed = FALSE;
    xfer_build_uri_lists(sources, kind == XFER_DELETE ? sources : targets, cdata);
    if (!start_transfer(cdata, sources, targets, kind))
        xfer_cleanup(&cdata);
    unref_caller_list(sources);
    unref_caller_list(targets);
}

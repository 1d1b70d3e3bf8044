#include "ops/xfer-progress.h"

#include "model/app-record.h"
#include "model/fm-assert.h"
#include "model/location.h"
#include "model/paths.h"
#include "platform/toolkit/kivel-note.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <string.h>

using ulvo::GCharPtr;

// The file index whose counter the note shows.
static gulong shown_file_index = 0;

// ---- Progress note ---------------------------------------------------------

gint ulvo_fm_predict_progress_dialog_width_based_on_text(GtkWidget *dialog, const gchar *text)
{
    FM_RETURN_VAL_IF_FAIL(GTK_IS_WIDGET(dialog), "GTK_IS_WIDGET (dialog)", -1);
    PangoLayout *layout = gtk_widget_create_pango_layout(dialog, text);
    gint width = 0;
    pango_layout_get_pixel_size(layout, &width, nullptr);
    g_object_unref(layout);
    return width + 50;
}

gboolean can_progress_update(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    FM_RETURN_VAL_IF_FAIL(cdata != NULL, "cdata != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(info != NULL, "progress_info != NULL", FALSE);
    GTimeVal now;
    g_get_current_time(&now);
    gint elapsed = timeval_diff(&now, &cdata->last_update_time);
    if (info->bytes_total == 0)
        return FALSE;
    int percent = static_cast<int>(info->total_bytes_copied * 100 / info->bytes_total);
    if (elapsed <= 500000 && percent - cdata->last_percent <= 10 &&
        info->file_index == cdata->last_file_index)
        return FALSE;
    cdata->last_percent = percent;
    cdata->last_update_time = now;
    cdata->last_file_index = info->file_index;
    return TRUE;
}

gboolean ulvo_fm_file_operations_progress_update(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    if (!cdata->status_window)
        return TRUE;
    shown_file_index = cdata->last_file_index;
    if (!can_progress_update(info, cdata))
        return TRUE;
    gdouble fraction = static_cast<gdouble>(info->total_bytes_copied) / info->bytes_total;
    gtk_progress_bar_set_fraction(cdata->progress_bar, CLAMP(fraction, 0.0, 1.0));
    if (info->file_index == shown_file_index)
        return TRUE;
    if (info->files_total > 1) {
        GCharPtr text(g_strdup_printf("%s %ld/%ld", cdata->progress_text,
                                      static_cast<long>(info->file_index),
                                      static_cast<long>(info->files_total)));
        gtk_widget_set_size_request(
            cdata->status_window,
            ulvo_fm_predict_progress_dialog_width_based_on_text(cdata->status_window, text.get()),
            -1);
        g_object_set(cdata->status_window, "description", text.get(), NULL);
    }
    shown_file_index = info->file_index;
    return TRUE;
}

static void run_pending_events()
{
    while (gtk_events_pending())
        gtk_main_iteration();
}

static gint handle_ok(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    // The transfer was stopped from its own thread (no room on the target).
    if (cdata->cancelled)
        return 0;
    GtkWidget *note = cdata->status_window;
    switch (info->phase) {
    case ULVO_VFS_XFER_PHASE_INITIAL:
        if (note) {
            g_object_set(note, "description", xfer_text("ulvo-filemanager", "hfil_nw_preparing"),
                         NULL);
            gtk_widget_show(note);
            run_pending_events();
        }
        break;
    case ULVO_VFS_XFER_PHASE_COLLECTING:
        if (note)
            gtk_progress_bar_pulse(cdata->progress_bar);
        break;
    case ULVO_VFS_XFER_PHASE_READYTOGO:
        if (note) {
            g_object_set(note, "description", cdata->progress_text, NULL);
            kivel_note_set_button_text(KIVEL_NOTE(note), info->files_total < 2
                                                             ? cdata->button_text_single
                                                             : cdata->button_text_multi);
            gtk_progress_bar_set_fraction(cdata->progress_bar, 0.0);
            run_pending_events();
        }
        break;
    case ULVO_VFS_XFER_PHASE_COPYING:
    case ULVO_VFS_XFER_PHASE_MOVING:
        ulvo_fm_file_operations_progress_update(info, cdata);
        break;
    case ULVO_VFS_XFER_PHASE_DELETESOURCE:
        if (cdata->kind == XFER_DELETE)
            ulvo_fm_file_operations_progress_update(info, cdata);
        break;
    default:
        break;
    }
    return 1;
}

void xfer_track_partial_file(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    g_list_free_full(cdata->partial_file, g_free);
    cdata->partial_file = nullptr;
    if (info->phase != ULVO_VFS_XFER_PHASE_COMPLETED && info->source_name && info->target_name &&
        g_ascii_strcasecmp(info->source_name, info->target_name) != 0 && info->bytes_copied > 0 &&
        info->bytes_copied < info->file_size) {
        cdata->partial_file = g_list_append(cdata->partial_file, g_strdup(info->target_name));
        cdata->partial_file = g_list_append(cdata->partial_file, g_strdup(info->source_name));
    }
}

gint xfer_progress_callback(UlvoVfsAsyncHandle *handle, UlvoVfsXferProgressInfo *info,
                            gpointer data)
{
    FM_RETURN_VAL_IF_FAIL(handle != NULL, "handle != NULL", 1);
    FM_RETURN_VAL_IF_FAIL(info != NULL, "progress_info != NULL", 1);
    FM_RETURN_VAL_IF_FAIL(global_ofm && !global_ofm->xfer_callback_data_freed,
                          "global_ofm->xfer_callback_data_freed == FALSE", 1);
    FM_RETURN_VAL_IF_FAIL(data != NULL, "xfer_data != NULL", 1);
    auto *cdata = static_cast<XferData *>(data);
    xfer_track_partial_file(info, cdata);
    gdk_threads_enter();
    gint answer = 1;
    switch (info->status) {
    case ULVO_VFS_XFER_PROGRESS_STATUS_OK:
        answer = handle_ok(info, cdata);
        break;
    case ULVO_VFS_XFER_PROGRESS_STATUS_VFSERROR:
        answer = xfer_handle_vfs_error(info, cdata);
        break;
    case ULVO_VFS_XFER_PROGRESS_STATUS_OVERWRITE:
        answer = xfer_handle_overwrite(info, cdata);
        break;
    case ULVO_VFS_XFER_PROGRESS_STATUS_DUPLICATE:
        answer = 2;
        break;
    }
    gdk_threads_leave();
    return answer;
}

// ---- Replace questions -----------------------------------------------------

static GCharPtr display_name(const gchar *texturi)
{
    KivelFileSystemModel *model = nullptr;
    if (global_ofm->file_selection)
        g_object_get(global_ofm->file_selection, "model", &model, NULL);
    GCharPtr name(ulvo_fm_texturi_get_display_name(model, texturi));
    if (model)
        g_object_unref(model);
    if (!name)
        name.reset(ulvo_vfs_uri_short_name(texturi));
    return name;
}

static gint stop_by_answer(XferData *cdata)
{
    cdata->overwrite_answer = 0;
    cdata->cancelled = TRUE;
    return ULVO_VFS_XFER_OVERWRITE_ACTION_ABORT;
}

static gint replace(UlvoVfsXferProgressInfo *info, XferData *cdata, gboolean both_folders)
{
    UlvoVfsResult cleared =
        both_folders ? xfer_clear_target_folder(cdata, info->source_name, info->target_name)
                     : ULVO_VFS_OK;
    if (cleared != ULVO_VFS_OK) {
        // A cancel needs no notice; any other failure says at least this.
        if (cleared != ULVO_VFS_ERROR_CANCELLED)
            xfer_set_error(cdata, 1, FALSE,
                           xfer_text("kivel-common-strings", "sfil_ni_operation_failed"),
                           xfer_text("kivel-common-strings", "sfil_ni_operation_failed_ok"));
        return stop_by_answer(cdata);
    }
    cdata->overwrite_answer = 1;
    return ULVO_VFS_XFER_OVERWRITE_ACTION_REPLACE;
}

gint xfer_handle_overwrite(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    if (cdata->kind == XFER_DELETE || cdata->kind == XFER_RENAME || !info->target_name ||
        !info->source_name)
        return stop_by_answer(cdata);
    GCharPtr name(display_name(info->target_name));
    gboolean target_is_folder = ulvo_fm_is_texturi_directory(info->target_name);
    gboolean both_folders = target_is_folder && ulvo_fm_is_texturi_directory(info->source_name);
    GCharPtr question;
    if (cdata->existing_target_count < 2) {
        const gchar *replace_text = target_is_folder
                                        ? xfer_text("ulvo-filemanager", "docm_nc_replace_folder")
                                        : xfer_text("kivel-fm", "docm_nc_replace_file");
        question.reset(g_strdup_printf("%s\n%s", replace_text, name ? name.get() : ""));
    } else if (cdata->overwrite_answer == -1) {
        question.reset(g_strdup(xfer_text("kivel-fm", "docm_nc_replace_multiple")));
    } else if (cdata->overwrite_answer == 0) {
        return ULVO_VFS_XFER_OVERWRITE_ACTION_ABORT;
    } else {
        return replace(info, cdata, both_folders);
    }
    GtkWidget *note = kivel_note_new_confirmation(cdata->parent_window, question.get());
    gint response = gtk_dialog_run(GTK_DIALOG(note));
    gtk_widget_destroy(note);
    if (response == GTK_RESPONSE_OK)
        return replace(info, cdata, both_folders);
    return stop_by_answer(cdata);
}

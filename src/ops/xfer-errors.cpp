// Error reports of a running transfer: the answer (abort or skip) and the
// one notice the person sees once the transfer has ended.
#include "model/app-record.h"
#include "model/location.h"
#include "model/paths.h"
#include "model/selection-info.h"
#include "ops/xfer-progress.h"
#include "platform/selection/kivel-file-selection.h"
#include "vfs/glib-ptr.h"

#include <string>

using ulvo::GCharPtr;

namespace
{

const gint ABORT = ULVO_VFS_XFER_ERROR_ACTION_ABORT;
const gint SKIP = ULVO_VFS_XFER_ERROR_ACTION_SKIP;

const gchar *ok_button()
{
    return xfer_text("kivel-common-strings", "sfil_ni_operation_failed_ok");
}

void note(XferData *cdata, const gchar *catalog, const gchar *id, const gchar *button = nullptr)
{
    xfer_set_error(cdata, 1, FALSE, xfer_text(catalog, id), button ? button : ok_button());
}

void banner(XferData *cdata, const gchar *catalog, const gchar *id, gboolean replace = FALSE)
{
    xfer_set_error(cdata, 0, replace, xfer_text(catalog, id), nullptr);
}

gint failed(XferData *cdata)
{
    note(cdata, "kivel-common-strings", "sfil_ni_operation_failed");
    return ABORT;
}

gint in_use(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    cdata->in_use_count++;
    if (info->files_total <= 1) {
        xfer_set_error(cdata, 1, FALSE,
                       xfer_text("ulvo-filemanager", "sfil_ni_selected_item_in_use"), nullptr);
    } else {
        gboolean some = static_cast<gulong>(cdata->in_use_count) < info->files_total ||
                        cdata->excluded_count > 0;
        const gchar *id =
            some ? "sfil_ni_some_selected_items_in_use" : "sfil_ni_selected_items_in_use";
        xfer_set_error(cdata, 1, TRUE, xfer_text("ulvo-filemanager", id), nullptr);
    }
    return SKIP;
}

// The catalog's text with the folder's name at its "%s". Not a printf
// format: a translation with other directives must not read stray arguments.
std::string fill_in_name(const gchar *format, const gchar *name)
{
    std::string text = format;
    size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, name);
    return text;
}

gint folder_count()
{
    return selection_state.n_folders;
}

// The rows every kind shares: an item in use is skipped, names the layer
// refuses end the transfer silently, the rest fails.
gint other_error(UlvoVfsXferProgressInfo *info, XferData *cdata, gboolean exists_is_silent)
{
    switch (info->vfs_status) {
    case ULVO_VFS_ERROR_LOCKED:
        return in_use(info, cdata);
    case ULVO_VFS_ERROR_FILE_EXISTS:
        return exists_is_silent ? ABORT : failed(cdata);
    case ULVO_VFS_ERROR_INVALID_FILENAME:
    case ULVO_VFS_ERROR_NOT_A_SYMBOLIC_LINK:
        return ABORT;
    default:
        return failed(cdata);
    }
}

// Where the person was: the first source's folder, or the documents folder.
void show_source_folder(XferData *cdata)
{
    if (!global_ofm || !global_ofm->file_selection)
        return;
    GCharPtr uri(cdata->source_uris ? xfer_uri_text(static_cast<GFile *>(cdata->source_uris->data))
                                    : nullptr);
    if (!uri)
        uri.reset(g_strconcat("file:///home/", g_get_user_name(), "/MyDocs", nullptr));
    GError *error = nullptr;
    kivel_file_selection_set_current_folder_uri(KIVEL_FILE_SELECTION(global_ofm->file_selection),
                                                uri.get(), &error);
    if (error)
        g_error_free(error);
}

// A not-found on the target's side: the folder the items go to is gone.
bool target_side_phase(UlvoVfsXferPhase phase)
{
    return phase == ULVO_VFS_XFER_PHASE_OPENTARGET ||
           phase == ULVO_VFS_XFER_PHASE_CHECKING_DESTINATION ||
           phase == ULVO_VFS_XFER_PHASE_CLOSETARGET;
}

gint copy_error(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    switch (info->vfs_status) {
    case ULVO_VFS_ERROR_NOT_FOUND:
        // Only a vanished source is skipped; without its folder no target
        // can be written.
        if (target_side_phase(info->phase)) {
            xfer_target_folder_gone(cdata);
            return ABORT;
        }
        cdata->skipped_count++;
        return SKIP;
    case ULVO_VFS_ERROR_IO:
        note(cdata, "ulvo-backup", "back_fi_general_error",
             xfer_text("ulvo-filemanager", "sfil_bd_cannot_paste_no_connection_ok"));
        xfer_track_partial_file(info, cdata);
        show_source_folder(cdata);
        return ABORT;
    case ULVO_VFS_ERROR_NO_SPACE:
        xfer_no_space(cdata);
        return ABORT;
    case ULVO_VFS_ERROR_READ_ONLY:
    case ULVO_VFS_ERROR_ACCESS_DENIED:
    case ULVO_VFS_ERROR_READ_ONLY_FILE_SYSTEM:
        banner(cdata, "kivel-fm", "sfil_ib_readonly_location");
        return ABORT;
    default:
        return other_error(info, cdata, TRUE);
    }
}

gint move_not_found(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    if (target_side_phase(info->phase)) {
        xfer_target_folder_gone(cdata);
        return ABORT;
    }
    GCharPtr path(info->target_name ? ulvo_fm_texturi_to_path(info->target_name) : nullptr);
    GCharPtr parent(path ? ulvo_fm_get_parent(path.get()) : nullptr);
    GCharPtr folder(parent ? ulvo_fm_path_to_texturi(parent.get()) : nullptr);
    if (!folder ||
        (info->phase == ULVO_VFS_XFER_PHASE_MOVING && !ulvo_fm_uri_exists(folder.get()))) {
        xfer_target_folder_gone(cdata);
        return ABORT;
    }
    if (info->files_total <= 1) {
        note(cdata, "ulvo-filemanager", "sfil_ni_cannot_move_file_not_found");
        return ABORT;
    }
    if (info->file_index != info->files_total)
        return SKIP;
    note(cdata, "ulvo-filemanager", "sfil_ni_cannot_move_items_not_found");
    return ABORT;
}

gint move_refused(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    if (info->files_total <= 1) {
        if (folder_count() < 1)
            banner(cdata, "kivel-fm", "sfil_ib_cannot_move_file");
        else
            banner(cdata, "kivel-common-strings", "sfil_ib_unable_to_move_selected_folder");
    } else if (static_cast<gulong>(cdata->error_count) < info->files_total ||
               cdata->excluded_count > 0) {
        note(cdata, "ulvo-filemanager", "sfil_ni_cannot_move_some_items");
    } else {
        banner(cdata, "kivel-common-strings", "sfil_ib_unable_to_move_selected_items", TRUE);
    }
    return ABORT;
}

gint move_into_itself(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    if (!info->source_name || !info->target_name)
        return failed(cdata);
    banner(cdata, "kivel-common-strings",
           g_strcmp0(info->source_name, info->target_name) != 0
               ? "ckdg_ib_unable_to_move_folder_into_itself"
               : "ckdg_ib_unable_to_move_to_current_location");
    return ABORT;
}

gint move_error(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    switch (info->vfs_status) {
    case ULVO_VFS_ERROR_NOT_FOUND:
    case ULVO_VFS_ERROR_BAD_PARAMETERS:
    case ULVO_VFS_ERROR_CORRUPTED_DATA:
    case ULVO_VFS_ERROR_BAD_FILE:
    case ULVO_VFS_ERROR_INVALID_URI:
        return move_not_found(info, cdata);
    case ULVO_VFS_ERROR_IO:
        note(cdata, "ulvo-filemanager", "sfil_ni_cannot_move_no_connection");
        xfer_track_partial_file(info, cdata);
        return ABORT;
    case ULVO_VFS_ERROR_TOO_BIG:
    case ULVO_VFS_ERROR_NO_SPACE:
        xfer_no_space(cdata);
        return ABORT;
    case ULVO_VFS_ERROR_READ_ONLY:
    case ULVO_VFS_ERROR_NOT_OPEN:
    case ULVO_VFS_ERROR_INVALID_OPEN_MODE:
    case ULVO_VFS_ERROR_ACCESS_DENIED:
        return move_refused(info, cdata);
    case ULVO_VFS_ERROR_DIRECTORY_NOT_EMPTY:
        return move_into_itself(info, cdata);
    case ULVO_VFS_ERROR_READ_ONLY_FILE_SYSTEM:
        banner(cdata, "ulvo-backup", "back_fi_general_error");
        return ABORT;
    default:
        return other_error(info, cdata, TRUE);
    }
}

gint rename_error(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    switch (info->vfs_status) {
    case ULVO_VFS_ERROR_NOT_FOUND:
    case ULVO_VFS_ERROR_BAD_PARAMETERS:
    case ULVO_VFS_ERROR_BAD_FILE:
    case ULVO_VFS_ERROR_INVALID_URI:
        if (folder_count() < 1)
            note(cdata, "kivel-common-strings", "sfil_ni_unable_to_rename_file_not_found",
                 xfer_text("kivel-common-strings", "sfil_ni_unable_to_rename_file_not_found_ok"));
        else
            note(cdata, "ulvo-filemanager", "sfil_ni_cannot_rename_folder_not_found");
        return ABORT;
    case ULVO_VFS_ERROR_READ_ONLY:
    case ULVO_VFS_ERROR_ACCESS_DENIED:
    case ULVO_VFS_ERROR_READ_ONLY_FILE_SYSTEM:
        banner(cdata, "kivel-common-strings", "ckdg_ib_unable_to_rename");
        return ABORT;
    case ULVO_VFS_ERROR_FILE_EXISTS:
        banner(cdata, "kivel-common-strings",
               folder_count() >= 1 ? "ckdg_ib_folder_already_exists" : "ckdg_ib_file_exists");
        return ABORT;
    case ULVO_VFS_ERROR_LOCKED:
        xfer_set_error(cdata, 1, FALSE,
                       xfer_text("ulvo-filemanager", "sfil_ni_selected_item_in_use"), nullptr);
        return ABORT;
    default:
        return other_error(info, cdata, FALSE);
    }
}

} // namespace

void xfer_set_error(XferData *cdata, int kind, gboolean replace, const gchar *text,
                    const gchar *button_text)
{
    if (cdata->error_text && !replace)
        return;
    g_free(cdata->error_text);
    g_free(cdata->error_button_text);
    cdata->error_text = g_strdup(text);
    cdata->error_button_text = g_strdup(button_text);
    cdata->error_kind = kind;
}

void xfer_target_folder_gone(XferData *cdata)
{
    xfer_set_error(
        cdata, 1, TRUE,
        xfer_text("kivel-common-strings", "sfil_ni_cannot_continue_target_folder_deleted"),
        xfer_text("kivel-common-strings", "sfil_ni_cannot_continue_target_folder_deleted_ok"));
}

void xfer_no_space(XferData *cdata)
{
    note(cdata, "kivel-common-strings", "sfil_ni_not_enough_memory",
         xfer_text("kivel-common-strings", "sfil_ni_not_enough_memory_ok"));
    cdata->cancelled = TRUE;
}

gint xfer_handle_delete_error(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    switch (info->vfs_status) {
    case ULVO_VFS_ERROR_NOT_FOUND:
        cdata->skipped_count++;
        return SKIP;
    case ULVO_VFS_ERROR_READ_ONLY:
    case ULVO_VFS_ERROR_ACCESS_DENIED:
    case ULVO_VFS_ERROR_READ_ONLY_FILE_SYSTEM: {
        GCharPtr path(info->source_name ? ulvo_fm_texturi_to_path(info->source_name) : nullptr);
        GCharPtr parent(path ? ulvo_fm_get_parent(path.get()) : nullptr);
        KivelFileSystemModel *model = nullptr;
        if (global_ofm && global_ofm->file_selection)
            g_object_get(global_ofm->file_selection, "model", &model, NULL);
        GCharPtr name(parent ? ulvo_fm_path_get_display_name(model, parent.get()) : nullptr);
        if (model)
            g_object_unref(model);
        std::string text = fill_in_name(
            xfer_text("ulvo-filemanager", "sfil_ib_unable_to_continue_read_only_folder"),
            name ? name.get() : "");
        xfer_set_error(cdata, 1, TRUE, text.c_str(), nullptr);
        return ABORT;
    }
    default:
        return other_error(info, cdata, FALSE);
    }
}

gint xfer_handle_vfs_error(UlvoVfsXferProgressInfo *info, XferData *cdata)
{
    g_warning("PROGRESS ERROR ::: [%d][%s], phase %d\n", info->vfs_status,
              ulvo_vfs_result_to_string(info->vfs_status), info->phase);
    cdata->error_count++;
    if (info->vfs_status <= ULVO_VFS_OK || info->vfs_status >= ULVO_VFS_NUM_ERRORS)
        return ABORT;
    switch (cdata->kind) {
    case XFER_DELETE:
        return xfer_handle_delete_error(info, cdata);
    case XFER_COPY:
        return copy_error(info, cdata);
    case XFER_MOVE:
        return move_error(info, cdata);
    case XFER_RENAME:
        return rename_error(info, cdata);
    }
    return ABORT;
}

#include "naming/new-folder.h"

#include "model/fm-assert.h"
#include "model/location.h"
#include "model/paths.h"
#include "platform/selection/kivel-file-chooser-dialog.h"
#include "settings/folder-state.h"
#include "ui/notices.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-error.h"

#include <errno.h>
#include <glib/gstdio.h>
#include <libintl.h>
#include <locale.h>
#include <string.h>

using ulvo::GCharPtr;
using ulvo::GObjPtr;

namespace
{

// Longest folder URI a name can still be added to.
const gsize MAX_FOLDER_URI_LENGTH = 253;
const gint MAX_NAME_LENGTH = 255;
const int NEW_FOLDER_MODE = 0775;

// A name of these at a storage root would pass for the special folder.
const char *const SPECIAL_FOLDER_IDS[] = {"sfil_li_folder_documents", "sfil_li_folder_sound_clips",
                                          "sfil_li_folder_video_clips", "sfil_li_folder_images",
                                          "sfil_li_folder_camera"};
const char *const NUMBERED = "%20(1)";
const char *const NUMBERED_TWICE = ")%20(1)";

const gchar *text(const char *catalog, const char *id)
{
    return dcgettext(catalog, id, LC_MESSAGES);
}

void banner(GtkWidget *over, const char *catalog, const char *id)
{
    fm_infoprint(GTK_IS_WINDOW(over) ? GTK_WINDOW(over) : nullptr, text(catalog, id));
}

void failure_note(GtkWidget *over, const char *id)
{
    fm_infonote(GTK_WINDOW(over), text("kivel-common-strings", id),
                text("kivel-common-strings", "sfil_ni_operation_failed_ok"));
}

gboolean names_special_folder(const gchar *short_name)
{
    for (const char *id : SPECIAL_FOLDER_IDS)
        if (g_str_has_prefix(short_name, text("kivel-fm", id)))
            return TRUE;
    return FALSE;
}

GObjPtr<KivelFileSystemModel> model_of(UlvoFmApp *app)
{
    KivelFileSystemModel *model = nullptr;
    g_object_get(app->file_selection, "model", &model, NULL);
    return GObjPtr<KivelFileSystemModel>(model);
}

// (transfer full) `uri`, or a numbered free variant of it where its name
// would pass for a special folder at a storage root.
gchar *unmistakable_uri(UlvoFmApp *app, const gchar *uri)
{
    GCharPtr current(
        kivel_file_selection_get_current_folder_uri(KIVEL_FILE_SELECTION(app->file_selection)));
    GCharPtr short_name(ulvo_fm_texturi_get_shortname(app->filesystem, uri));
    if (!current || !short_name || !ulvo_fm_uri_is_root(current.get()) ||
        !names_special_folder(short_name.get()))
        return g_strdup(uri);

    GCharPtr numbered(g_strconcat(uri, NUMBERED, NULL));
    GObjPtr<KivelFileSystemModel> model(model_of(app));
    GCharPtr proposal(
        model ? kivel_file_system_model_autoname_uri(model.get(), numbered.get(), nullptr)
              : nullptr);
    if (!proposal || g_str_has_suffix(proposal.get(), NUMBERED_TWICE))
        return numbered.release();
    return proposal.release();
}

// Local folders are made with the system call, so that the cause of a
// failure (a full or read-only medium) is not folded away.
UlvoVfsResult make_directory(const gchar *uri)
{
    GObjPtr<GFile> folder(g_file_new_for_uri(uri));
    GCharPtr path(g_file_get_path(folder.get()));
    if (path)
        return g_mkdir(path.get(), NEW_FOLDER_MODE) == 0 ? ULVO_VFS_OK
                                                         : ulvo_vfs_result_from_errno(errno);
    ulvo::ErrorOut error;
    if (g_file_make_directory(folder.get(), nullptr, error.out()))
        return ULVO_VFS_OK;
    return ulvo_vfs_result_from_gerror(error.get());
}

// The new folder is viewed as the folder that holds it, and comes into
// sight in the content pane as soon as it is listed.
void welcome_new_folder(UlvoFmApp *app, const gchar *uri)
{
    GObjPtr<GFile> folder(g_file_new_for_uri(uri));
    GObjPtr<GFile> parent(g_file_get_parent(folder.get()));
    if (parent)
        ulvo_fm_copy_uri_view_settings(folder.get(), parent.get());
    if (KIVEL_IS_FILE_SELECTION(app->file_selection))
        kivel_file_selection_move_cursor_to_uri(KIVEL_FILE_SELECTION(app->file_selection), uri);
}

void report_result(UlvoFmApp *app, GtkWidget *dialog, const gchar *uri, UlvoVfsResult result)
{
    switch (result) {
    case ULVO_VFS_OK:
        welcome_new_folder(app, uri);
        break;
    case ULVO_VFS_ERROR_FILE_EXISTS:
        banner(dialog, "kivel-common-strings", "ckdg_ib_folder_already_exists");
        g_warning("Error creating folder : %d", result);
        break;
    case ULVO_VFS_ERROR_NOT_SUPPORTED:
        banner(dialog, "kivel-fm", "sfil_ib_create_folder_not_allowed");
        break;
    case ULVO_VFS_ERROR_NO_SPACE:
        failure_note(dialog, "sfil_ni_not_enough_memory");
        break;
    case ULVO_VFS_ERROR_READ_ONLY_FILE_SYSTEM:
        banner(dialog, "kivel-fm", "sfil_ib_readonly_location");
        break;
    default:
        failure_note(dialog, "sfil_ni_operation_failed");
        break;
    }
}

// The OK of the name dialog: TRUE when the dialog is to ask again.
gboolean newfolder_okbutton_clicked(UlvoFmApp *app, GtkWidget *dialog, const gchar *newpathFolder)
{
    FM_RETURN_VAL_IF_FAIL(newpathFolder != NULL, "newpathFolder != NULL", FALSE);
    GCharPtr uri(unmistakable_uri(app, newpathFolder));
    if (ulvo_fm_uri_exists(uri.get())) {
        banner(dialog, "kivel-common-strings", "ckdg_ib_folder_already_exists");
        return TRUE;
    }
    report_result(app, dialog, uri.get(), make_directory(uri.get()));
    return FALSE;
}

} // namespace

void create_new_folder(UlvoFmApp *app, const gchar *path_texturi)
{
    FM_RETURN_IF_FAIL(path_texturi != NULL, "path_texturi != NULL");
    FM_RETURN_IF_FAIL(app != NULL && KIVEL_IS_FILE_SELECTION(app->file_selection),
                      "KIVEL_IS_FILE_SELECTION (app->file_selection)");
    if (strlen(path_texturi) > MAX_FOLDER_URI_LENGTH) {
        banner(app->window, "kivel-common-strings", "file_ib_name_too_long");
        return;
    }
    GObjPtr<KivelFileSystemModel> model(model_of(app));
    GtkWidget *dialog = kivel_file_chooser_dialog_new_with_properties(
        GTK_IS_WINDOW(app->window) ? GTK_WINDOW(app->window) : nullptr, "action",
        GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER, "file-system-model", model.get(), "max-name-length",
        MAX_NAME_LENGTH, NULL);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    if (!gtk_file_chooser_set_current_folder_uri(GTK_FILE_CHOOSER(dialog), path_texturi)) {
        g_critical("Set current Folder failed\n");
        gtk_widget_destroy(dialog);
        return;
    }

    gboolean ask = TRUE;
    while (ask) {
        // Shown again after a refused name, so the name can be typed over.
        g_signal_emit_by_name(dialog, "show");
        gint response = gtk_dialog_run(GTK_DIALOG(dialog));
        GCharPtr chosen(gtk_file_chooser_get_uri(GTK_FILE_CHOOSER(dialog)));
        ask = response == GTK_RESPONSE_OK && newfolder_okbutton_clicked(app, dialog, chosen.get());
    }
    gtk_widget_destroy(dialog);
}

gboolean ulvo_fm_new_folder(UlvoFmApp *app)
{
    FM_RETURN_VAL_IF_FAIL(app != NULL, "app != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(app->selection_info != NULL, "app->selection_info != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SELECTION(app->file_selection),
                          "KIVEL_IS_FILE_SELECTION (app->file_selection)", FALSE);
    UlvoFmSelectionInfo *info = app->selection_info;
    ulvo_fm_update_selection_info(info, KIVEL_FILE_SELECTION(app->file_selection), 1);
    if (media_items_check_operation(OPER_NEW_FOLDER, app))
        return FALSE;
    if (info->current_folder && is_texturi_virtual(info->current_folder)) {
        banner(app->window, "kivel-fm", "sfil_ib_create_folder_not_allowed");
        return FALSE;
    }
    UlvoFmSelectionInfoType type = ulvo_fm_selection_info_get_selection_type(info);
    if (type == SIT_NONE || type == SIT_ERROR_IN_GETTING_INFO || !info->current_folder)
        return FALSE;
    if (!ulvo_fm_uri_is_readonly(info->current_folder, 0) || info->in_gateway) {
        // A copy: the dialog's own loop may refresh the record.
        GCharPtr folder(g_strdup(info->current_folder));
        create_new_folder(app, folder.get());
        return TRUE;
    }
    banner(app->window, "kivel-fm", "sfil_ib_readonly_location");
    return FALSE;
}

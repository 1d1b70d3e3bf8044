#include "ui/send.h"

#include "model/fm-assert.h"
#include "platform/services/kivel-sharing-dialog.h"
#include "ui/notices.h"

#include "vfs/glib-ptr.h"

#include <libintl.h>
#include <locale.h>

using ulvo::GUriList;

static gpointer copy_string(gconstpointer text, gpointer)
{
    return g_strdup(static_cast<const gchar *>(text));
}

static void show_banner(UlvoFmApp *app, const gchar *catalog, const gchar *id)
{
    fm_infoprint(GTK_WINDOW(app->window), dcgettext(catalog, id, LC_MESSAGES));
}

void ulvo_fm_send_selection(UlvoFmApp *app)
{
    FM_RETURN_IF_FAIL(app != NULL, "app != NULL");
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(app->file_selection),
                      "KIVEL_IS_FILE_SELECTION (app->file_selection)");
    ulvo_fm_update_selection_info(app->selection_info, KIVEL_FILE_SELECTION(app->file_selection),
                                  1);
    if (media_items_check_operation(OPER_SEND, app))
        return;

    UlvoFmSelectionInfo *info = app->selection_info;
    switch (ulvo_fm_selection_info_get_selection_type(info)) {
    case SIT_SINGLE_FILE:
    case SIT_MULTIPLE_FILES: {
        // A copy: a refresh of the record while the dialog runs frees its list.
        GUriList uris(g_slist_copy_deep(info->current_selection, copy_string, nullptr));
        sharing_dialog_button_mask_with_files(fm_app_ctx, GTK_WINDOW(app->window), uris.get(),
                                              SHARING_DIALOG_ALL);
        break;
    }
    case SIT_GATEWAY:
        if (info->in_gateway)
            show_banner(app, "ulvo-filemanager", "sfil_ib_unable_send_bluetooth");
        else if (info->in_media_server)
            show_banner(app, "ulvo-backup", "back_fi_general_error");
        else
            show_banner(app, "kivel-common-strings", "sfil_ib_unable_to_send_folders");
        break;
    case SIT_SINGLE_FOLDER:
    case SIT_MULTIPLE_FOLDERS:
    case SIT_SINGLE_SAFE_FOLDER:
    case SIT_MULTIPLE_SAFE_FOLDERS:
    case SIT_FILES_AND_FOLDERS:
        show_banner(app, "kivel-common-strings", "sfil_ib_unable_to_send_folders");
        break;
    case SIT_DEVICE_ROOT:
        show_banner(app, "ulvo-backup", "back_fi_general_error");
        break;
    case SIT_NONE:
    case SIT_ERROR_IN_GETTING_INFO:
        break;
    }
}

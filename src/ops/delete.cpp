#include "ops/delete.h"

#include "model/fm-assert.h"
#include "model/location.h"
#include "model/paths.h"
#include "ops/xfer.h"
#include "ui/notices.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

using ulvo::GCharPtr;

namespace
{

const gint FILE_TYPE = 1;
const gint FOLDER_TYPE = 2;
const gint LAST_KNOWN_TYPE = 10;

const gchar *first_item(const UlvoFmSelectionInfo *info)
{
    return info->current_selection ? static_cast<const gchar *>(info->current_selection->data)
                                   : nullptr;
}

void show_banner(UlvoFmApp *app, const gchar *catalog, const gchar *id)
{
    fm_infoprint(GTK_WINDOW(app->window), xfer_text(catalog, id));
}

// The banner of a selection that may not be deleted at all, or NULL when the
// type of selection may go on to the read-only rules.
const gchar *refusal_for_type(UlvoFmSelectionInfoType type, const gchar **catalog)
{
    *catalog = "kivel-common-strings";
    switch (type) {
    case SIT_SINGLE_SAFE_FOLDER:
        return "sfil_ib_unable_to_delete_selected_folder";
    case SIT_MULTIPLE_SAFE_FOLDERS:
        return "sfil_ib_unable_to_delete_selected_items";
    case SIT_GATEWAY:
    case SIT_DEVICE_ROOT:
        *catalog = "ulvo-backup";
        return "back_fi_general_error";
    default:
        return nullptr;
    }
}

void refuse_readonly(UlvoFmApp *app, UlvoFmSelectionInfoType type)
{
    switch (type) {
    case SIT_SINGLE_FILE:
        show_banner(app, "kivel-fm", "sfil_ib_cannot_delete_file");
        return;
    case SIT_SINGLE_FOLDER:
        show_banner(app, "kivel-common-strings", "sfil_ib_unable_to_delete_selected_folder");
        return;
    case SIT_MULTIPLE_FILES:
    case SIT_MULTIPLE_FOLDERS:
    case SIT_FILES_AND_FOLDERS:
        break;
    default:
        g_warning("get_del_err_for_preadonly: Unexpected value %d\n", type);
        break;
    }
    show_banner(app, "kivel-common-strings", "sfil_ib_unable_to_delete_selected_items");
}

// (transfer full) "question\nname of the first item".
gchar *question_with_name(UlvoFmApp *app, const gchar *catalog, const gchar *id)
{
    GCharPtr name;
    GtkTreeModel *model = nullptr;
    g_object_get(app->file_selection, "model", &model, NULL);
    const gchar *uri = first_item(app->selection_info);
    if (model && uri)
        name.reset(ulvo_fm_texturi_get_display_name(KIVEL_FILE_SYSTEM_MODEL(model), uri));
    if (model)
        g_object_unref(model);
    return g_strdup_printf("%s\n%s", xfer_text(catalog, id), name ? name.get() : "");
}

const gchar *files_and_folders_question(const UlvoFmSelectionInfo *info)
{
    if (info->n_readonly_files + info->n_readonly_folders >= 1)
        return "sfil_nc_delete_partially_read_only_items";
    if (info->n_files == 1)
        return info->n_folders == 1 ? "docm_nc_delete_folder_and_file"
                                    : "docm_nc_delete_folders_and_file";
    return info->n_folders == 1 ? "docm_nc_delete_folder_and_files"
                                : "docm_nc_delete_folders_and_files";
}

// (transfer full) (nullable) The confirmation question for the selection.
gchar *get_del_conf_note(UlvoFmApp *app, UlvoFmSelectionInfoType type)
{
    const UlvoFmSelectionInfo *info = app->selection_info;
    const gchar *id = nullptr;
    switch (type) {
    case SIT_SINGLE_FILE:
        if (info->n_readonly_files >= 1)
            return question_with_name(app, "ulvo-backup", "back_fi_general_error");
        return question_with_name(app, "ulvo-filemanager", "docm_nc_delete_file");
    case SIT_SINGLE_FOLDER:
        return question_with_name(app, "ulvo-filemanager", "docm_nc_delete_folder");
    case SIT_MULTIPLE_FILES:
        id = info->n_readonly_files == 0               ? "docm_nc_delete_files"
             : info->n_readonly_files == info->n_files ? "sfil_nc_delete_read_only_files"
                                                       : "sfil_nc_delete_partially_read_only_items";
        break;
    case SIT_MULTIPLE_FOLDERS:
        id = "docm_nc_delete_folders";
        break;
    case SIT_FILES_AND_FOLDERS:
        id = files_and_folders_question(info);
        break;
    case SIT_NONE:
        g_warning("NO ITEMS SELECTED\n");
        return nullptr;
    case SIT_ERROR_IN_GETTING_INFO:
        g_warning("SIT_ERROR_IN_GETTING_INFO\n");
        return nullptr;
    default:
        g_warning("get_del_conf_note:default NOT EXPECTED\n");
        return nullptr;
    }
    return g_strdup(xfer_text("ulvo-filemanager", id));
}

gboolean confirmed(UlvoFmApp *app, const gchar *question)
{
    gint answer = fm_confnote(GTK_WINDOW(app->window), question ? question : "",
                              xfer_text("kivel-libs", "wdgt_bd_yes"), GTK_RESPONSE_OK,
                              xfer_text("kivel-libs", "wdgt_bd_no"), GTK_RESPONSE_CANCEL, TRUE);
    return answer == GTK_RESPONSE_OK;
}

// Files and folders of the selection as GFiles, in order; special folders,
// devices and what cannot be named are counted in `left_out`.
GList *deletable_items(const UlvoFmSelectionInfo *info, int *left_out)
{
    GList *items = nullptr;
    *left_out = 0;
    for (const GSList *l = info->path_info; l; l = l->next) {
        auto *entry = static_cast<const UlvoFmPathInfo *>(l->data);
        if (entry->type > LAST_KNOWN_TYPE)
            continue;
        if ((entry->type != FILE_TYPE && entry->type != FOLDER_TYPE) ||
            !ulvo_vfs_uri_is_valid(entry->uri)) {
            (*left_out)++;
            continue;
        }
        items = g_list_prepend(items, g_file_new_for_uri(entry->uri));
    }
    return g_list_reverse(items);
}

} // namespace

gboolean ulvo_fm_delete_selection(UlvoFmApp *app)
{
    FM_RETURN_VAL_IF_FAIL(app != NULL, "app != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SELECTION(app->file_selection),
                          "KIVEL_IS_FILE_SELECTION (app->file_selection)", FALSE);
    UlvoFmSelectionInfo *info = app->selection_info;
    FM_RETURN_VAL_IF_FAIL(info != NULL, "selection_info != NULL", FALSE);
    ulvo_fm_update_selection_info(info, KIVEL_FILE_SELECTION(app->file_selection), 1);
    const gchar *first = first_item(info);
    gboolean readonly = !info->in_gateway && first && ulvo_fm_uri_is_readonly(first, 1);
    if (media_items_check_operation(OPER_DELETE, app))
        return FALSE;

    UlvoFmSelectionInfoType type = ulvo_fm_selection_info_get_selection_type(info);
    const gchar *catalog = nullptr;
    if (const gchar *refusal = refusal_for_type(type, &catalog)) {
        show_banner(app, catalog, refusal);
        return FALSE;
    }
    switch (type) {
    case SIT_NONE:
        g_warning("NO ITEMS SELECTED\n");
        return FALSE;
    case SIT_ERROR_IN_GETTING_INFO:
        g_warning("SIT_ERROR_IN_GETTING_INFO\n");
        return FALSE;
    case SIT_SINGLE_FILE:
    case SIT_SINGLE_FOLDER:
        readonly = readonly || ulvo_fm_uri_is_readonly(first, 0);
        break;
    default:
        break;
    }

    gboolean deletable = (!readonly || info->in_gateway) && !is_smb_share(first);
    if (!deletable) {
        refuse_readonly(app, type);
        return FALSE;
    }

    // Taken before the question: the record may be refreshed while it waits.
    int left_out = 0;
    GList *items = deletable_items(info, &left_out);
    GCharPtr question(get_del_conf_note(app, type));
    if (!confirmed(app, question.get())) {
        g_list_free_full(items, g_object_unref);
        return TRUE;
    }
    if (!items) {
        show_banner(app, "kivel-common-strings", "sfil_ib_unable_to_delete_selected_items");
        return TRUE;
    }
    xfer_uri(items, nullptr, GTK_WINDOW(app->window), XFER_DELETE, left_out, 0, 0);
    g_list_free(items);
    return TRUE;
}

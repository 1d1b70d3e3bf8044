#include "model/selection-info.h"

#include "model/fm-assert.h"
#include "model/location.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-info.h"

using ulvo::GCharPtr;
using ulvo::GObjPtr;
using ulvo::GUriList;

UlvoFmSelectionState selection_state = {0, 0};
gboolean selection_state_valid = FALSE;
gchar *selection_uri = nullptr;

UlvoFmSelectionInfo *ulvo_fm_selection_info_new(void)
{
    UlvoFmSelectionInfo *info = g_new0(UlvoFmSelectionInfo, 1);
    info->stale = TRUE;
    return info;
}

static void path_info_free(gpointer data)
{
    auto *entry = static_cast<UlvoFmPathInfo *>(data);
    g_free(entry->model_extra);
    g_free(entry);
}

void ulvo_fm_selection_info_free(UlvoFmSelectionInfo *selection_info)
{
    FM_RETURN_IF_FAIL(selection_info != NULL, "selection_info != NULL");
    g_free(selection_info->current_folder);
    g_slist_free_full(selection_info->path_info, path_info_free);
    g_slist_free_full(selection_info->current_selection, g_free);
    g_free(selection_info);
}

void ulvo_fm_selection_info_mark_stale(UlvoFmSelectionInfo *selection_info)
{
    if (selection_info)
        selection_info->stale = TRUE;
}

void ulvo_fm_selection_info_reset(UlvoFmSelectionInfo *selection_info)
{
    FM_RETURN_IF_FAIL(selection_info != NULL, "selection_info != NULL");
    selection_info->folder_as_selection = FALSE;
    selection_info->folder_readonly = FALSE;
    selection_info->n_files = 0;
    selection_info->n_folders = 0;
    selection_info->n_readonly_files = 0;
    selection_info->n_readonly_folders = 0;
    selection_info->n_safe_folders = 0;
    selection_info->n_gateways = 0;
    selection_info->n_device_roots = 0;
}

void ulvo_fm_selection_info_set_current_folder(UlvoFmSelectionInfo *selection_info,
                                               const gchar *uri)
{
    FM_RETURN_IF_FAIL(selection_info != NULL, "selection_info != NULL");
    // Copy first: `uri` may be the string being replaced.
    gchar *copy = g_strdup(uri);
    g_free(selection_info->current_folder);
    selection_info->current_folder = copy;
}

void ulvo_fm_selection_info_set_current_selection(UlvoFmSelectionInfo *selection_info, GSList *list)
{
    FM_RETURN_IF_FAIL(selection_info != NULL, "selection_info != NULL");
    // The entries borrow the old strings: they go first.
    g_slist_free_full(selection_info->path_info, path_info_free);
    selection_info->path_info = nullptr;
    if (list != selection_info->current_selection)
        g_slist_free_full(selection_info->current_selection, g_free);
    selection_info->current_selection = list;
}

static gboolean is_safe_folder(gint type)
{
    return type >= KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_IMAGES &&
           type <= KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_CAMERA;
}

// (transfer full) The entry of one item, counted into the record.
static UlvoFmPathInfo *count_item(UlvoFmSelectionInfo *info, const gchar *uri, gint type,
                                  gint check_readonly, gchar *model_extra)
{
    auto *entry = g_new0(UlvoFmPathInfo, 1);
    entry->uri = const_cast<gchar *>(uri);
    entry->model_extra = model_extra;
    entry->type = type;

    gboolean may_be_readonly = FALSE;
    if (type == KIVEL_FILE_SYSTEM_MODEL_UNDEFINED) {
        g_critical("Undefined type of item in model");
    } else if (type == KIVEL_FILE_SYSTEM_MODEL_FILE) {
        info->n_files++;
        may_be_readonly = TRUE;
    } else if (type == KIVEL_FILE_SYSTEM_MODEL_FOLDER || is_safe_folder(type)) {
        info->n_folders++;
        if (is_safe_folder(type))
            info->n_safe_folders++;
        may_be_readonly = TRUE;
    } else if (type == KIVEL_FILE_SYSTEM_MODEL_MMC ||
               type == KIVEL_FILE_SYSTEM_MODEL_LOCAL_DEVICE) {
        info->n_folders++;
        info->n_device_roots++;
    } else if (type == KIVEL_FILE_SYSTEM_MODEL_GATEWAY) {
        info->n_folders++;
        info->n_gateways++;
    }

    if (may_be_readonly && check_readonly && !info->in_gateway) {
        entry->readonly = ulvo_fm_uri_is_readonly(uri, 0);
        if (entry->readonly && type == KIVEL_FILE_SYSTEM_MODEL_FILE)
            info->n_readonly_files++;
        else if (entry->readonly)
            info->n_readonly_folders++;
    }
    return entry;
}

void ulvo_fm_selection_info_update_path_info(UlvoFmSelectionInfo *selection_info, const gchar *uri,
                                             gint type, gint check_readonly, gchar *model_extra)
{
    // `model_extra` is taken even when the call is refused.
    if (!selection_info)
        g_free(model_extra);
    FM_RETURN_IF_FAIL(selection_info != NULL, "selection_info != NULL");
    UlvoFmPathInfo *entry = count_item(selection_info, uri, type, check_readonly, model_extra);
    selection_info->path_info = g_slist_append(selection_info->path_info, entry);
}

GSList *ulvo_fm_selection_items(KivelFileSelection *file_selection, const gchar *current_folder,
                                gboolean *folder_as_selection)
{
    GSList *items = nullptr;
    if (kivel_file_selection_get_active_pane(file_selection) == KIVEL_FILE_SELECTION_PANE_CONTENT)
        items = kivel_file_selection_get_selected_uris(file_selection);
    gboolean stands_in = !items && current_folder;
    if (stands_in)
        items = g_slist_prepend(nullptr, g_strdup(current_folder));
    if (folder_as_selection)
        *folder_as_selection = stands_in;
    return items;
}

static void classify_current_folder(UlvoFmSelectionInfo *info)
{
    const gchar *folder = info->current_folder;
    gint which = -1;
    info->in_gateway = ulvo_fm_uri_is_in_gateway(folder);
    info->in_mmc = ulvo_fm_uri_is_in_mmc(folder, &which) && which == 0;
    info->in_media_server = ulvo_fm_uri_is_in_media_server(folder);
    info->in_samba_server = ulvo_fm_uri_is_in_samba_server(folder);
}

// Counts the items of current_selection that the model knows and lists
// their entries in the same order.
static void count_selection(UlvoFmSelectionInfo *info, KivelFileSelection *file_selection,
                            gint check_readonly)
{
    GtkTreeModel *raw_model = nullptr;
    g_object_get(file_selection, "model", &raw_model, NULL);
    GObjPtr<GtkTreeModel> model(raw_model);

    GSList *entries = nullptr;
    for (GSList *l = info->current_selection; l; l = l->next) {
        const gchar *uri = static_cast<const gchar *>(l->data);
        GtkTreeIter iter;
        if (!model || !kivel_file_system_model_search_uri(KIVEL_FILE_SYSTEM_MODEL(model.get()), uri,
                                                          &iter, nullptr, TRUE)) {
            g_critical("Unable to find path in the model %s", uri);
            continue;
        }
        gint type = KIVEL_FILE_SYSTEM_MODEL_UNDEFINED;
        gchar *extra = nullptr;
        gtk_tree_model_get(model.get(), &iter, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE, &type,
                           KIVEL_FILE_SYSTEM_MODEL_DEVICE, &extra, -1);
        entries = g_slist_prepend(entries, count_item(info, uri, type, check_readonly, extra));
    }
    info->path_info = g_slist_reverse(entries);
}

gboolean ulvo_fm_update_selection_info(UlvoFmSelectionInfo *selection_info,
                                       KivelFileSelection *file_selection, gint check_readonly)
{
    FM_RETURN_VAL_IF_FAIL(selection_info != NULL, "selection_info != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SELECTION(file_selection),
                          "KIVEL_IS_FILE_SELECTION (file_selection)", FALSE);
    if (!check_readonly && !selection_info->stale)
        return TRUE;

    ulvo_fm_selection_info_reset(selection_info);
    selection_info->stale = TRUE;
    GCharPtr folder(kivel_file_selection_get_current_folder_uri(file_selection));
    GSList *items =
        ulvo_fm_selection_items(file_selection, folder.get(), &selection_info->folder_as_selection);
    ulvo_fm_selection_info_set_current_folder(selection_info, folder.get());
    ulvo_fm_selection_info_set_current_selection(selection_info, items);
    classify_current_folder(selection_info);
    count_selection(selection_info, file_selection, check_readonly);
    if (check_readonly && !selection_info->in_gateway)
        selection_info->folder_readonly =
            ulvo_fm_uri_is_readonly(selection_info->current_folder, 1);
    selection_info->stale = FALSE;
    return TRUE;
}

static UlvoFmSelectionInfoType single_folder_type(const UlvoFmSelectionInfo *info)
{
    if (info->n_safe_folders == 1)
        return SIT_SINGLE_SAFE_FOLDER;
    if (info->n_gateways == 1)
        return SIT_GATEWAY;
    if (info->n_device_roots == 1)
        return SIT_DEVICE_ROOT;
    return SIT_SINGLE_FOLDER;
}

UlvoFmSelectionInfoType
ulvo_fm_selection_info_get_selection_type(UlvoFmSelectionInfo *selection_info)
{
    FM_RETURN_VAL_IF_FAIL(selection_info != NULL, "selection_info != NULL",
                          SIT_ERROR_IN_GETTING_INFO);
    const UlvoFmSelectionInfo *info = selection_info;
    if (info->stale)
        return SIT_ERROR_IN_GETTING_INFO;
    if (info->n_files > 0 && info->n_folders > 0)
        return SIT_FILES_AND_FOLDERS;
    if (info->n_files == 1)
        return SIT_SINGLE_FILE;
    if (info->n_files > 1)
        return SIT_MULTIPLE_FILES;
    if (info->n_folders == 1)
        return single_folder_type(info);
    if (info->n_folders > 1)
        return info->n_folders == info->n_safe_folders ? SIT_MULTIPLE_SAFE_FOLDERS
                                                       : SIT_MULTIPLE_FOLDERS;
    return SIT_NONE;
}

// ---- Process-wide count -------------------------------------------------------

void ulvo_fm_invalidate_selection_state(void)
{
    selection_state_valid = FALSE;
}

void ulvo_fm_set_selection_uri(const gchar *uri)
{
    gchar *copy = g_strdup(uri ? uri : "");
    g_free(selection_uri);
    selection_uri = copy;
}

static void count_kind(gboolean is_file, gboolean is_folder)
{
    if (is_file)
        selection_state.n_files++;
    else if (is_folder)
        selection_state.n_folders++;
}

// Gateways are counted from the model: reading them would reach the device.
static gboolean count_gateway_item(GtkTreeModel *model, const gchar *uri)
{
    GtkTreeIter iter;
    if (!kivel_file_system_model_search_path(KIVEL_FILE_SYSTEM_MODEL(model), uri, &iter, nullptr,
                                             TRUE)) {
        g_warning("Unable to get iter\n");
        return FALSE;
    }
    gint type = KIVEL_FILE_SYSTEM_MODEL_UNDEFINED;
    gtk_tree_model_get(model, &iter, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE, &type, -1);
    gboolean is_file = type == KIVEL_FILE_SYSTEM_MODEL_FILE;
    gboolean is_folder =
        type == KIVEL_FILE_SYSTEM_MODEL_FOLDER || type == KIVEL_FILE_SYSTEM_MODEL_GATEWAY;
    if (!is_file && !is_folder)
        g_warning("Invalid type in KivelFileSystemModelItemType in gw %d\n", type);
    count_kind(is_file, is_folder);
    return is_file || is_folder;
}

static gboolean count_local_item(UlvoVfsFileInfo *info, const gchar *uri)
{
    UlvoVfsResult result = ulvo_vfs_get_file_info(uri, info, ULVO_VFS_FILE_INFO_FOLLOW_LINKS);
    if (result != ULVO_VFS_OK) {
        g_warning("update_current_selection_state::Error reading file info:%s\n",
                  ulvo_vfs_result_to_string(result));
        return FALSE;
    }
    gboolean is_file = info->type == ULVO_VFS_FILE_TYPE_REGULAR;
    gboolean is_folder = info->type == ULVO_VFS_FILE_TYPE_DIRECTORY;
    count_kind(is_file, is_folder);
    return is_file || is_folder;
}

void update_current_selection_state(KivelFileSelection *fileselection)
{
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(fileselection),
                      "KIVEL_IS_FILE_SELECTION (fileselection)");
    if (selection_state_valid)
        return;
    selection_state_valid = TRUE;
    selection_state.n_files = 0;
    selection_state.n_folders = 0;
    ulvo_fm_set_selection_uri("");

    GCharPtr folder(kivel_file_selection_get_current_folder_uri(fileselection));
    GUriList items(ulvo_fm_selection_items(fileselection, folder.get(), nullptr));
    if (!items) {
        g_warning("update_current_selection_state:No items selected");
        return;
    }
    gboolean in_gateway = folder && ulvo_fm_uri_is_in_gateway(folder.get());
    GObjPtr<GtkTreeModel> model;
    if (in_gateway) {
        GtkTreeModel *raw_model = nullptr;
        g_object_get(fileselection, "model", &raw_model, NULL);
        model.reset(raw_model);
        if (!model) {
            g_warning("Unable to get Model\n");
            return;
        }
    }

    std::unique_ptr<UlvoVfsFileInfo, decltype(&ulvo_vfs_file_info_free)> info(
        ulvo_vfs_file_info_new(), ulvo_vfs_file_info_free);
    const gchar *counted_uri = nullptr;
    for (GSList *l = items.get(); l; l = l->next) {
        const gchar *uri = static_cast<const gchar *>(l->data);
        gboolean counted;
        if (g_str_has_prefix(uri, "drive://")) {
            selection_state.n_folders++;
            counted = TRUE;
        } else if (in_gateway) {
            counted = count_gateway_item(model.get(), uri);
        } else {
            counted = count_local_item(info.get(), uri);
        }
        if (counted)
            counted_uri = uri;
    }
    // The single counted item is where a restart comes back to.
    if (selection_state.n_files + selection_state.n_folders == 1)
        ulvo_fm_set_selection_uri(counted_uri);
    else
        ulvo_fm_set_selection_uri(folder.get());
}

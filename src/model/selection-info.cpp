#include "model/selection-info.h"
#include "model/fm-assert.h"

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
    g_slist_free_full(selection_info->current_selection, g_free);
    g_slist_free_full(selection_info->path_info, path_info_free);
    g_free(selection_info);
}

void ulvo_fm_selection_info_mark_stale(UlvoFmSelectionInfo *selection_info)
{
    if (selection_info)
        selection_info->stale = TRUE;
}

void ulvo_fm_invalidate_selection_state(void)
{
    selection_state_valid = FALSE;
}

void ulvo_fm_set_selection_uri(const gchar *uri)
{
    g_free(selection_uri);
    selection_uri = g_strdup(uri ? uri : "");
}

// Counting selected items by their file type comes with the selection
// record's full refresh; until then a refresh only records that it ran.
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
}

// The selection record every command reads, and the process-wide count.
#pragma once

#include "platform/selection/kivel-file-selection.h"

#include <glib.h>

G_BEGIN_DECLS

typedef struct {
    gchar *uri;         // borrowed from current_selection
    gchar *model_extra; // owned: the model's device column
    gint type;          // model item type
    gboolean readonly;
} UlvoFmPathInfo;

typedef struct {
    gboolean folder_as_selection;
    gboolean folder_readonly;
    gint n_files;
    gint n_folders;
    gint n_readonly_files;
    gint n_readonly_folders;
    gint n_safe_folders;
    gint n_gateways;
    gint n_device_roots;
    gchar *current_folder;
    GSList *current_selection;
    GSList *path_info;
    gboolean stale;
    gboolean in_gateway;
    gboolean in_mmc;
    gboolean in_media_server;
    gboolean in_samba_server;
} UlvoFmSelectionInfo;

typedef enum {
    SIT_NONE = 0,
    SIT_SINGLE_FILE = 1,
    SIT_SINGLE_FOLDER = 2,
    SIT_MULTIPLE_FILES = 3,
    SIT_MULTIPLE_FOLDERS = 4,
    SIT_SINGLE_SAFE_FOLDER = 5,
    SIT_MULTIPLE_SAFE_FOLDERS = 6,
    SIT_GATEWAY = 7,
    SIT_DEVICE_ROOT = 8,
    SIT_FILES_AND_FOLDERS = 9,
    SIT_ERROR_IN_GETTING_INFO = 10
} UlvoFmSelectionInfoType;

typedef struct {
    gint n_files;
    gint n_folders;
} UlvoFmSelectionState;

extern UlvoFmSelectionState selection_state;
extern gboolean selection_state_valid;
// The single selected item, else the current folder; "" after a reset.
extern gchar *selection_uri;

// (transfer full) A new record: all zero but stale. Free with
// ulvo_fm_selection_info_free().
UlvoFmSelectionInfo *ulvo_fm_selection_info_new(void);
void ulvo_fm_selection_info_free(UlvoFmSelectionInfo *selection_info);
void ulvo_fm_selection_info_mark_stale(UlvoFmSelectionInfo *selection_info);

// Brings the record in line with `file_selection` when it is stale, or
// always when `check_readonly` asks for the read-only tests. FALSE only for
// bad arguments.
gboolean ulvo_fm_update_selection_info(UlvoFmSelectionInfo *selection_info,
                                       KivelFileSelection *file_selection, gint check_readonly);
UlvoFmSelectionInfoType
ulvo_fm_selection_info_get_selection_type(UlvoFmSelectionInfo *selection_info);

// Zeroes the counts and the two folder flags; lists and location flags stay.
void ulvo_fm_selection_info_reset(UlvoFmSelectionInfo *selection_info);
// Stores a copy of `uri` (nullable).
void ulvo_fm_selection_info_set_current_folder(UlvoFmSelectionInfo *selection_info,
                                               const gchar *uri);
// Takes `list` and its strings (transfer full) and empties path_info.
void ulvo_fm_selection_info_set_current_selection(UlvoFmSelectionInfo *selection_info,
                                                  GSList *list);
// Counts one item of model item `type` and appends its entry to path_info.
// The entry borrows `uri` (a string of current_selection) and takes
// `model_extra` (transfer full, nullable).
void ulvo_fm_selection_info_update_path_info(UlvoFmSelectionInfo *selection_info, const gchar *uri,
                                             gint type, gint check_readonly, gchar *model_extra);

// (transfer full) The items a command acts on: the content pane's selected
// items while that pane is active; with none, the current folder
// `current_folder` (nullable) alone. `folder_as_selection` (nullable) tells
// whether the folder stood in.
GSList *ulvo_fm_selection_items(KivelFileSelection *file_selection, const gchar *current_folder,
                                gboolean *folder_as_selection);

// Marks the process-wide count out of date; the next refresh recounts.
void ulvo_fm_invalidate_selection_state(void);
// Replaces selection_uri with a copy of `uri` (NULL gives "").
void ulvo_fm_set_selection_uri(const gchar *uri);

// Refreshes the process-wide selection count unless it is valid.
void update_current_selection_state(KivelFileSelection *fileselection);

G_END_DECLS

// The sort dialog of the content pane, and the per-folder view state that it
// stores and that comes back when the folder is shown again.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// The Sort menu entry: runs the dialog on `fileselection` with the
// application's key file. FALSE when `fileselection` is no file selection.
gboolean on_sort_activate(KivelFileSelection *fileselection);

// Offers the six orders; the one chosen is applied to the content pane and
// stored for its current folder in `keyfile` (in memory). Closing the
// dialog changes nothing.
void ulvo_fm_dialog_sort(KivelFileSelection *file_selection, GKeyFile *keyfile);

// Stores the view mode, sort key and order now in effect for the current
// folder of `file_selection`.
void ulvo_fm_save_path_preferences(KivelFileSelection *file_selection, GKeyFile *keyfile);

// Shows the current folder of `file_selection` in the view mode and order
// stored for it (the defaults when none is); nothing without a key file.
void ulvo_fm_apply_path_preferences(KivelFileSelection *file_selection, GKeyFile *keyfile);

G_END_DECLS

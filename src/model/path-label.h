// The header row's path label, the item count of the current folder, and
// navigation to folders the model has not loaded yet.
#pragma once

#include "platform/selection/kivel-file-selection.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

// Rebuilds the label from the display names of the current folder and its
// ancestors below the first top-level row; may make `button_up` sensitive.
void ulvo_fm_update_path_label(KivelFileSelection *file_selection, GtkWidget *button_up,
                               GtkWidget *label_path);

// The current folder's items (placeholder rows not counted); -1 without a
// current folder.
gint ulvo_fm_count_current_folder_items(KivelFileSelection *file_selection);

// Makes `path` the current folder once the model has it, retrying every
// 500 ms, five times at most; replaces a navigation still waiting. `pane` 0
// is the navigation pane.
void ulvo_fm_select_path_with_time(const gchar *path, gint pane);
void ulvo_fm_select_texturi_with_time(const gchar *text_uri, gint pane);

G_END_DECLS

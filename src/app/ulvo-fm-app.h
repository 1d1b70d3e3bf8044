// Operation state, the hibernation rule and the command wrappers.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// Stores the operation state; ending an operation in the background lets
// the platform hibernate the program again.
void ulvo_fm_set_operation(gint operation);

// The background half of the hibernation rule: allows hibernation when no
// command but details runs and the current folder qualifies.
void ulvo_fm_allow_hibernation_in_background(UlvoFmApp *ofm, const gchar *current_folder);

// Command wrappers: bracket a command with the operation state.
void on_menu_file_open_activate(GtkWidget *widget, gpointer data);
void on_newfolder_activate(gpointer data);
void on_menu_file_rename_activate(GtkWidget *widget, gpointer data);
void on_details_activate(gpointer data);
void on_popup_delete_activate(GtkWidget *widget, gpointer data);
void on_popup_move_activate(GtkWidget *widget, gpointer data);
void on_popup_copy_activate(GtkWidget *widget, gpointer data);
void on_menu_sort_clicked(GtkButton *button, gpointer browser);

G_END_DECLS

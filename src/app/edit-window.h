// Edit-mode windows for working on several items at once: a full-screen
// window with a toolbar (title, action button, back arrow) above a file
// selection where taps mark items. While one is open, its file selection is
// the one that commands act on.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// Kinds of edit window.
enum {
    ULVO_FM_EDIT_COPY = 0,
    ULVO_FM_EDIT_MOVE = 1,
    ULVO_FM_EDIT_DELETE = 2,
    ULVO_FM_EDIT_SHARE = 3
};

// Opens the edit window of `kind` on the main window's current folder. An
// edit window already open is brought to the front instead; an unknown
// kind opens nothing.
void create_edit_window(UlvoFmApp *ofm, gint kind);

// Closes the edit window and gives the main file selection back to the
// commands. `toolbar` (nullable) is the window's toolbar.
void ulvo_fm_close_edit_window(GtkWidget *toolbar, gpointer ofm);

G_END_DECLS

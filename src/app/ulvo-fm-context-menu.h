// The tap-and-hold menu of the file selection: rebuilt at every popup for
// the one item under the finger, or for the current folder.
#pragma once

#include "model/app-record.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

struct _UlvoFmBrowser;

// Handler of "navigation-pane-context-menu" and "content-pane-context-menu"
// of every file selection that commands act on; `ofm` is the application
// record. Pops up the menu for the current selection, if it has entries.
void ulvo_fm_popup_context_menu(KivelFileSelection *file_selection, gpointer ofm);

// Connects both panes' context menu signals of `file_selection` (an edit
// window's, for instance) to ulvo_fm_popup_context_menu().
void ulvo_fm_context_menu_attach(KivelFileSelection *file_selection, UlvoFmApp *ofm);

// (transfer full) (nullable) A new, not yet shown menu for what the
// commands act on now: the file selection in the application record, else
// the browser's. NULL when no entry would be visible.
GtkWidget *ulvo_fm_build_context_menu(struct _UlvoFmBrowser *browser);

G_END_DECLS

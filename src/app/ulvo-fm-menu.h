// The application menu and the context menu of the file selection.
#pragma once

#include "model/app-record.h"
#include "platform/kivel-app-menu.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

struct _UlvoFmBrowser;

// "show" handler of the application menu: hides the entries that make no
// sense in the current folder.
void ulvo_fm_browser_menu_show_cb(GtkWidget *menu, gpointer browser);

// Handler of both panes' context menu signals.
void ulvo_fm_popup_context_menu(KivelFileSelection *file_selection, gpointer ofm);

G_END_DECLS

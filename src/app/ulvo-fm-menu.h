// The application menu of the browser window.
#pragma once

#include "model/app-record.h"
#include "platform/toolkit/kivel-app-menu.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

struct _UlvoFmBrowser;

// "show" handler of the application menu: hides the entries that make no
// sense in the current folder.
void ulvo_fm_browser_menu_show_cb(GtkWidget *menu, gpointer browser);

G_END_DECLS

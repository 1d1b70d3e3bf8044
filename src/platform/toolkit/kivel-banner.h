// Banners: a short text near the top of the screen that goes away by itself.
// Every banner text is also logged at debug level under the domain "Kivel" as
// "banner: <text>".
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

// How long a banner stays, unless changed with kivel_banner_set_timeout().
#define KIVEL_BANNER_DEFAULT_TIMEOUT_MS 3000

// Shows `text` (with the icon `icon_name` when not NULL) in an undecorated
// popup near the top of the screen of `widget` (NULL: the default screen).
// A newer banner replaces the one on screen. The banner hides and destroys
// itself after the timeout; nothing waits for it.
// (transfer none) The banner window, valid until it goes.
GtkWidget *kivel_banner_show_information(GtkWidget *widget, const gchar *icon_name,
                                         const gchar *text);

// How long banners shown from now on stay, in milliseconds (0: the default).
void kivel_banner_set_timeout(guint milliseconds);

G_END_DECLS

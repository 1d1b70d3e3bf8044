// Context menus: a GtkMenu whose insensitive items still answer a tap.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

// (transfer none) A new GtkMenu that, like a window, lives until it is
// destroyed. A tap (button release) on one of its visible but insensitive
// items closes the menu and emits "insensitive-press" on the item.
GtkWidget *kivel_gtk_menu_new(void);

// Registers the signal "insensitive-press" (void (GtkWidget *item, gpointer))
// on every GtkMenuItem. Done by kivel_init() and kivel_gtk_menu_new(); safe
// to call again.
void kivel_gtk_menu_register_signals(void);

G_END_DECLS

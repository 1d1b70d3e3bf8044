// The application menu: a popup of large buttons that a window opens from
// its title strip (or the F10/Menu key).
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_APP_MENU (kivel_app_menu_get_type())
#define KIVEL_APP_MENU(o) (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_APP_MENU, KivelAppMenu))
#define KIVEL_IS_APP_MENU(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_APP_MENU))

typedef struct _KivelAppMenu KivelAppMenu;
typedef struct _KivelAppMenuClass KivelAppMenuClass;

GType kivel_app_menu_get_type(void);

// (transfer none: a toplevel, destroyed with gtk_widget_destroy or with the
// window it is attached to) A new, empty menu.
//
// The menu opens only through a window it is attached to (see
// kivel_window_set_app_menu) or kivel_app_menu_popup(); a gtk_widget_show()
// while it is not attached to a mapped window is ignored and stops the
// "show" emission. When it opens, "show" is emitted before the menu is laid
// out and mapped, so handlers can hide buttons that make no sense now.
GtkWidget *kivel_app_menu_new(void);

// Adds `button` after the others; visible buttons are laid out in two
// columns. A click closes the menu from a "clicked" handler connected here,
// so handlers connected with g_signal_connect_after run after the menu has
// closed.
void kivel_app_menu_append(KivelAppMenu *menu, GtkButton *button);

// Opens the menu over `parent`, near its top. It closes on a button click,
// a tap outside it, Escape, or when `parent` goes away.
void kivel_app_menu_popup(KivelAppMenu *menu, GtkWindow *parent);

// Closes the menu when it is open.
void kivel_app_menu_close(KivelAppMenu *menu);

G_END_DECLS

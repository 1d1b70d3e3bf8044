// Windows of the touch toolkit: a window that opens an application menu from
// its title strip, and stackable windows on the program's window stack.
#pragma once

#include "platform/toolkit/kivel-app-menu.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_WINDOW (kivel_window_get_type())
#define KIVEL_WINDOW(o) (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_WINDOW, KivelWindow))
#define KIVEL_IS_WINDOW(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_WINDOW))

#define KIVEL_TYPE_STACKABLE_WINDOW (kivel_stackable_window_get_type())
#define KIVEL_STACKABLE_WINDOW(o)                                                                  \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_STACKABLE_WINDOW, KivelStackableWindow))
#define KIVEL_IS_STACKABLE_WINDOW(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_STACKABLE_WINDOW))

#define KIVEL_TYPE_WINDOW_STACK (kivel_window_stack_get_type())
#define KIVEL_WINDOW_STACK(o)                                                                      \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_WINDOW_STACK, KivelWindowStack))
#define KIVEL_IS_WINDOW_STACK(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_WINDOW_STACK))

typedef struct _KivelWindow {
    GtkWindow parent;
} KivelWindow;

typedef struct _KivelWindowClass {
    GtkWindowClass parent_class;
} KivelWindowClass;

typedef struct _KivelStackableWindow {
    KivelWindow parent;
} KivelStackableWindow;

typedef struct _KivelStackableWindowClass {
    KivelWindowClass parent_class;
} KivelStackableWindowClass;

typedef struct _KivelWindowStack KivelWindowStack;
typedef struct _KivelWindowStackClass KivelWindowStackClass;

GType kivel_window_get_type(void);
GType kivel_stackable_window_get_type(void);
GType kivel_window_stack_get_type(void);

// (transfer none: a toplevel) A new window.
GtkWidget *kivel_window_new(void);

// Attaches `menu` (or NULL to detach) to `window`. While a menu is attached
// the window shows a title strip above its child, with the window title and
// a down arrow; a tap on the strip, F10 or the Menu key opens the menu. The
// window keeps a reference on the menu; the menu is destroyed with the
// window.
void kivel_window_set_app_menu(KivelWindow *window, KivelAppMenu *menu);
// (transfer none) (nullable) The attached menu.
KivelAppMenu *kivel_window_get_app_menu(KivelWindow *window);
// Opens the attached menu as a tap on the title strip does; FALSE when
// there is no menu or the window is not mapped.
gboolean kivel_window_open_app_menu(KivelWindow *window);
// Height in pixels of the title strip: 0 without an attached menu.
gint kivel_window_get_title_height(KivelWindow *window);

// (transfer none: a toplevel) A new stackable window. Showing it puts it on
// top of the default window stack and presents it; hiding or destroying it
// takes it off the stack and presents the window below.
//
// Property "is-topmost" (gboolean, read-only, notified on change): TRUE while
// the window is the top of the default stack and the active toplevel is the
// window itself or a window transient for it (its notes and dialogs).
// Focus changes settle for a moment before the property follows them, so a
// dialog that takes the focus from its window does not flip it.
//
// Under a bare X server nothing gives a window the focus unless the program
// asks (a window shown stays inactive, and when the focused window goes the
// focus goes nowhere); a window manager focuses each window it maps. Both
// work because the stack asks: it presents the window it puts on top, and
// the window below when the top one leaves.
GtkWidget *kivel_stackable_window_new(void);
gboolean kivel_stackable_window_get_is_topmost(KivelStackableWindow *window);

// (transfer none) The window stack of this process.
KivelWindowStack *kivel_window_stack_get_default(void);
// (transfer none) (nullable) The window on top of `stack`.
GtkWidget *kivel_window_stack_peek(KivelWindowStack *stack);
// Takes the top window off `stack` and hides it; the window below is
// presented. (transfer none) (nullable) The window taken off, still alive:
// the caller destroys it when done with it.
GtkWidget *kivel_window_stack_pop_1(KivelWindowStack *stack);
// Number of windows on `stack`.
gint kivel_window_stack_size(KivelWindowStack *stack);

G_END_DECLS

// The toolbar of an edit-mode window: a title, one action button and a back
// arrow.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_EDIT_TOOLBAR (kivel_edit_toolbar_get_type())
#define KIVEL_EDIT_TOOLBAR(o)                                                                      \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_EDIT_TOOLBAR, KivelEditToolbar))
#define KIVEL_IS_EDIT_TOOLBAR(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_EDIT_TOOLBAR))

typedef struct _KivelEditToolbar KivelEditToolbar;
typedef struct _KivelEditToolbarClass KivelEditToolbarClass;

GType kivel_edit_toolbar_get_type(void);

// (transfer full, floating) A new toolbar titled `label` with an action button
// showing `button`. Signals (void (KivelEditToolbar *, gpointer)):
//   "button-clicked": the action button was clicked
//   "arrow-clicked":  the back arrow was clicked
GtkWidget *kivel_edit_toolbar_new_with_text(const gchar *label, const gchar *button);

void kivel_edit_toolbar_set_label(KivelEditToolbar *toolbar, const gchar *label);
void kivel_edit_toolbar_set_button_label(KivelEditToolbar *toolbar, const gchar *label);

// (transfer none) The action button and the back arrow button, for tests
// and for the window's focus chain.
GtkWidget *kivel_edit_toolbar_get_button(KivelEditToolbar *toolbar);
GtkWidget *kivel_edit_toolbar_get_arrow(KivelEditToolbar *toolbar);

G_END_DECLS

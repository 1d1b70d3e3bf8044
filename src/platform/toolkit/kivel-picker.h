// The picker: a modal dialog that offers a list of texts; tapping one
// chooses it and answers GTK_RESPONSE_OK, closing the dialog answers
// GTK_RESPONSE_DELETE_EVENT.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_PICKER_DIALOG (kivel_picker_dialog_get_type())
#define KIVEL_PICKER_DIALOG(o)                                                                     \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_PICKER_DIALOG, KivelPickerDialog))
#define KIVEL_IS_PICKER_DIALOG(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_PICKER_DIALOG))

#define KIVEL_TYPE_TOUCH_SELECTOR (kivel_touch_selector_get_type())
#define KIVEL_TOUCH_SELECTOR(o)                                                                    \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_TOUCH_SELECTOR, KivelTouchSelector))
#define KIVEL_IS_TOUCH_SELECTOR(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_TOUCH_SELECTOR))

typedef struct _KivelPickerDialog KivelPickerDialog;
typedef struct _KivelPickerDialogClass KivelPickerDialogClass;
typedef struct _KivelTouchSelector KivelTouchSelector;
typedef struct _KivelTouchSelectorClass KivelTouchSelectorClass;

GType kivel_picker_dialog_get_type(void);
GType kivel_touch_selector_get_type(void);

// (transfer none: a toplevel) A new modal picker, transient for `parent`
// (may be NULL). Run it with gtk_dialog_run.
GtkWidget *kivel_picker_dialog_new(GtkWindow *parent);

// Puts `selector` into the dialog, replacing the previous one. A tap on a row
// (or Enter on it) chooses it: the dialog answers GTK_RESPONSE_OK.
void kivel_picker_dialog_set_selector(KivelPickerDialog *dialog, KivelTouchSelector *selector);
// (transfer none) (nullable) The dialog's selector.
KivelTouchSelector *kivel_picker_dialog_get_selector(KivelPickerDialog *dialog);

// (transfer full, floating) A new selector of one column of texts, with
// finger-high rows. Signal "changed" (void (KivelTouchSelector *, gint column,
// gpointer)): the selected row changed.
GtkWidget *kivel_touch_selector_new_text(void);
void kivel_touch_selector_append_text(KivelTouchSelector *selector, const gchar *text);
// (transfer full) (nullable) The text of the selected row; NULL when none is.
gchar *kivel_touch_selector_get_current_text(KivelTouchSelector *selector);
// Selects row `index` of `column` (only column 0 exists); -1 selects none.
void kivel_touch_selector_set_active(KivelTouchSelector *selector, gint column, gint index);
// The selected row of `column`, or -1.
gint kivel_touch_selector_get_active(KivelTouchSelector *selector, gint column);
// (transfer none) The tree view that shows the rows.
GtkTreeView *kivel_touch_selector_get_tree_view(KivelTouchSelector *selector);

G_END_DECLS

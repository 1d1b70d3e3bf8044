// The dialog that lists targets whose text URIs are too long, before a copy
// or move starts: the person renames entries or accepts that they are cut.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_SHORTEN_NAMES_DIALOG (kivel_shorten_names_dialog_get_type())
#define KIVEL_SHORTEN_NAMES_DIALOG(o)                                                              \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_SHORTEN_NAMES_DIALOG, KivelShortenNamesDialog))
#define KIVEL_IS_SHORTEN_NAMES_DIALOG(o)                                                           \
    (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_SHORTEN_NAMES_DIALOG))

typedef struct _KivelShortenNamesDialog {
    GtkDialog parent;
} KivelShortenNamesDialog;

typedef struct _KivelShortenNamesDialogClass {
    GtkDialogClass parent_class;
} KivelShortenNamesDialogClass;

GType kivel_shorten_names_dialog_get_type(void);

// (transfer floating) Transient for `parent` when it is not NULL.
GtkWidget *kivel_shorten_names_dialog_new(GtkWindow *parent);

// Shows the text URIs of column 0 of `list`, one row each, and takes rows
// longer than `max_length` bytes as too long.
void kivel_shorten_names_dialog_set_items(KivelShortenNamesDialog *dialog, GtkTreeModel *list,
                                          int max_length);

// The rows' text URIs, renamed ones included, in the order they were given.
// (transfer full): a one-column string store.
GtkListStore *kivel_shorten_names_dialog_get_items(KivelShortenNamesDialog *dialog);

// "clicked" of the rename button: asks for a new name for the selected row.
void open_rename(GtkButton *button, gpointer dialog);

// The Pango markup that shows a target's name: its base without the
// extension, with what does not fit in `max_length` in grey. Names show as
// typed, markup characters included.
// (transfer full)
gchar *kivel_shorten_names_markup(const gchar *texturi, int max_length);

G_END_DECLS

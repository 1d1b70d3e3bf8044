// The file details dialog: name, type, location, size, modification date,
// read-only state and permissions of one row of the file system model, with
// a close button (GTK_RESPONSE_CLOSE). The texts follow the row as it
// changes; when the row goes away the dialog says that the item is gone.
#pragma once

#include "platform/fsmodel/kivel-file-system-model.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_FILE_DETAILS_DIALOG (kivel_file_details_dialog_get_type())
#define KIVEL_FILE_DETAILS_DIALOG(o)                                                               \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_FILE_DETAILS_DIALOG, KivelFileDetailsDialog))
#define KIVEL_IS_FILE_DETAILS_DIALOG(o)                                                            \
    (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_FILE_DETAILS_DIALOG))

typedef struct _KivelFileDetailsDialog KivelFileDetailsDialog;
typedef struct _KivelFileDetailsDialogClass KivelFileDetailsDialogClass;

GType kivel_file_details_dialog_get_type(void);

// (transfer none: a toplevel) A new dialog over `model`, transient for
// `parent` (may be NULL).
GtkWidget *kivel_file_details_dialog_new_with_model(GtkWindow *parent, KivelFileSystemModel *model);

// Shows the details of the model row `iter`.
void kivel_file_details_dialog_set_file_iter(GtkWidget *dialog, GtkTreeIter *iter);

G_END_DECLS

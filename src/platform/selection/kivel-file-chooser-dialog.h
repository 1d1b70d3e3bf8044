// The file chooser dialog used for every folder and name prompt: a GtkDialog
// that implements GtkFileChooser over the file system model.
//
// GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER shows the model's folders as a tree
// that a finger pans; a tap on a folder chooses it and unfolds it (its
// subfolders load then). GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER shows a name
// entry for a new name inside the current folder. On GTK_RESPONSE_OK,
// gtk_file_chooser_get_uri gives the chosen folder, or the typed name inside
// the current folder, escaped as a text URI.
//
// Properties besides GtkFileChooser's ("action", "select-multiple", ...):
//   "file-system-model"  KivelFileSystemModel*: the folders offered
//   "show-folder-button" gboolean, TRUE: a button that makes a new folder in
//                        the chosen one (folder action)
//   "show-location"      gboolean, TRUE: the current folder's name is shown
//   "max-name-length"    gint, 255: longest name in bytes; typing beyond it
//                        is refused
//   "autonaming"         gboolean, TRUE: the name the program proposes is
//                        made free in the current folder
#pragma once

#include "platform/fsmodel/kivel-file-system-model.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_FILE_CHOOSER_DIALOG (kivel_file_chooser_dialog_get_type())
#define KIVEL_FILE_CHOOSER_DIALOG(o)                                                               \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_FILE_CHOOSER_DIALOG, KivelFileChooserDialog))
#define KIVEL_IS_FILE_CHOOSER_DIALOG(o)                                                            \
    (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_FILE_CHOOSER_DIALOG))

typedef struct _KivelFileChooserDialog KivelFileChooserDialog;
typedef struct _KivelFileChooserDialogClass KivelFileChooserDialogClass;

GType kivel_file_chooser_dialog_get_type(void);

// (transfer none: a toplevel) A new dialog, transient for `parent` (may be
// NULL), with the property pairs given, ended by NULL.
GtkWidget *kivel_file_chooser_dialog_new_with_properties(GtkWindow *parent,
                                                         const gchar *first_property_name,
                                                         ...) G_GNUC_NULL_TERMINATED;

// (transfer none) The name as typed in the name entry, before it is made a
// location: a caller can refuse what no location may be named.
const gchar *kivel_file_chooser_dialog_get_name(GtkWidget *dialog);

// Whether media servers ("upnpav://") are offered as folders (default TRUE).
void kivel_file_chooser_dialog_set_show_upnp(GtkWidget *dialog, gboolean show);

G_END_DECLS

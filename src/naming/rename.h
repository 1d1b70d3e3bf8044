// Renaming the selected file, folder or memory card.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// The rename command on the application's selection. TRUE when a rename
// dialog was opened, FALSE when the command was refused or had nothing to
// act on.
gboolean ulvo_fm_rename_selection(UlvoFmApp *app);

// Asks for the new name of the item at the text URI `oldname` until a name
// is accepted or the person cancels; the accepted rename runs on after the
// dialog is gone.
void ulvo_create_rename_dialog(GtkWidget *mainwindow, const gchar *oldname);

// Checks the confirmed text URI `newname` and starts the rename. TRUE when
// the dialog may close, FALSE when it must be shown again.
gboolean on_rename_dialog_okbutton_clicked(GtkWidget *mainwindow, const gchar *oldname,
                                           const gchar *newname);

// Starts the rename of `sourcepath` to `targetpath` (text URIs) through the
// transfer engine; TRUE also when there was nothing to do.
gboolean ulvo_fm_rename_path(GtkWidget *mainwindow, const gchar *sourcepath,
                             const gchar *targetpath);

// (transfer full) The rename dialog's title for the file `oldpath`, after
// the kind of its content.
gchar *get_rename_file_title(const gchar *oldpath);

// (transfer full) The text telling that the file `newname` exists, after
// the kind of its content.
gchar *get_rename_file_existing_error(const gchar *newname);

// The width in pixels that lets `title` show whole in the dialog's title.
gint ulvo_fm_predict_dialog_width_based_on_title(GtkWidget *dialog, const gchar *title);

// (transfer full) (nullable) How a short name is shown: "~id" is the message
// `id` of the file manager's platform catalog when it has one.
gchar *ulvo_fm_localize_name(const gchar *name);

G_END_DECLS

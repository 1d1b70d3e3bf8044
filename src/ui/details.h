// Details of the selected item: the platform's details of a file, the
// folder details dialog with its background count, the memory usage view
// of a device.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

void ulvo_fm_show_details(UlvoFmApp *app);

// (transfer none: a toplevel) (nullable) The details dialog of the folder
// `path`, transient for `parent`, counting its contents while it is shown.
// The caller runs and destroys it; destroying it stops the count.
GtkWidget *create_FolderDetailsDialog(const gchar *path, GtkWindow *parent);

// (transfer full) What a folder holds, as the contents row says it.
gchar *ulvo_fm_folder_contents_text(gint folders, gint files);

G_END_DECLS

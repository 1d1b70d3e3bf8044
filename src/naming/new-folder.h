// Creating a folder in the current folder.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// Asks for a name and creates the folder in the current folder, which it
// refuses (with a banner that says why) where no folder can be made. TRUE
// when the name dialog was opened.
gboolean ulvo_fm_new_folder(UlvoFmApp *app);

// Runs the name dialog for a new folder inside `path_texturi` and creates
// it; the new folder takes the view settings of `path_texturi`.
void create_new_folder(UlvoFmApp *app, const gchar *path_texturi);

G_END_DECLS

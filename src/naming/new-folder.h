// Creating a folder in the current folder.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

void ulvo_fm_new_folder(UlvoFmApp *app);

G_END_DECLS

// Moving and copying the selected items to a chosen folder.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

gboolean ulvo_fm_move_selection(UlvoFmApp *app);
gboolean ulvo_fm_copy_selection(UlvoFmApp *app);

G_END_DECLS

// Deleting the selected items after a confirmation.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

gboolean ulvo_fm_delete_selection(UlvoFmApp *app);

G_END_DECLS

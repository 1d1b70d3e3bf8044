// Edit-mode windows for working on several items at once.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

void create_edit_window(UlvoFmApp *ofm, gint kind);

G_END_DECLS

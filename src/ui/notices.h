// Notes, banners and the dialog that closes when the selection changes.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

void fm_check_registered_dialog(UlvoFmApp *app);

G_END_DECLS

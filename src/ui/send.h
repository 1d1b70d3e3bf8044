// Sending the selected files through the platform's sharing dialog.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// Opens the sharing dialog for the selected files; folders, device roots and
// items of gateways are refused with a banner that says why.
void ulvo_fm_send_selection(UlvoFmApp *app);

G_END_DECLS

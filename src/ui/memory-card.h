// Memory card commands: rename and format through the removable media
// service.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// Formats the selected memory card after a confirmation; TRUE when the
// confirmation was shown.
gboolean ulvo_fm_format_selection(UlvoFmApp *app);

G_END_DECLS

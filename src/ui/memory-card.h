// Memory card commands: rename and format through the removable media
// service.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// Formats the selected memory card after a confirmation; TRUE when the
// confirmation was shown.
gboolean ulvo_fm_format_selection(UlvoFmApp *app);

// TRUE when the memory card at the text URI `uri` is in use as swap.
gboolean ulvo_fm_mmc_is_swap(const gchar *uri);

// Asks for a new label of the memory card at `uri` and has the removable
// media service apply it; `model_extra` is the card's device from the model.
void ulvo_fm_rename_mmc(UlvoFmApp *app, const gchar *uri, const gchar *model_extra);

G_END_DECLS

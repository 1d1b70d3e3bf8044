// Memory card commands: rename and format through the removable media
// service, and the memory usage view.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// TRUE when the card at the text URI serves as swap space.
gboolean ulvo_fm_mmc_is_swap(const gchar *uri);

// TRUE when every character of the UTF-8 `name` may be in a card label;
// otherwise FALSE and, when `illegal` is given, a new string of the
// offending characters, each once, in order of first appearance.
gboolean ulvo_fm_check_mmc_name(const gchar *name, gchar **illegal);

// Asks for a new label of the card at `uri` and sends it to the removable
// media service; `model_extra` is the model's device string for the card.
void ulvo_fm_rename_mmc(UlvoFmApp *app, const gchar *uri, const gchar *model_extra);

// Formats the selected memory card after a confirmation; TRUE when the
// confirmation was shown.
gboolean ulvo_fm_format_selection(UlvoFmApp *app);

// The confirmation and the format request for the card at `uri`. The
// confirmation ends unanswered when the card is taken out meanwhile.
void ulvo_fm_format_mmc(const gchar *uri, const gchar *model_extra);

// Opens the platform's memory usage view over `data` (a widget).
void ulvo_fm_show_memory_usage(gpointer data);

G_END_DECLS

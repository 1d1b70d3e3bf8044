#include "ui/memory-card.h"

gboolean ulvo_fm_format_selection(UlvoFmApp *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
    return FALSE;
}

gboolean ulvo_fm_mmc_is_swap(const gchar *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
    return FALSE;
}

void ulvo_fm_rename_mmc(UlvoFmApp *, const gchar *, const gchar *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
}

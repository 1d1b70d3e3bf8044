#include "ui/memory-card.h"

gboolean ulvo_fm_format_selection(UlvoFmApp *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
    return FALSE;
}

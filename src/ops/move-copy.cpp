#include "ops/move-copy.h"

gboolean ulvo_fm_move_selection(UlvoFmApp *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
    return FALSE;
}

gboolean ulvo_fm_copy_selection(UlvoFmApp *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
    return FALSE;
}

#include "ops/delete.h"

gboolean ulvo_fm_delete_selection(UlvoFmApp *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
    return FALSE;
}

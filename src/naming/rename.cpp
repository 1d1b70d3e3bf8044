#include "naming/rename.h"

void ulvo_fm_rename_selection(UlvoFmApp *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
}

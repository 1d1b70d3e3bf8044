#include "naming/new-folder.h"

void ulvo_fm_new_folder(UlvoFmApp *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
}

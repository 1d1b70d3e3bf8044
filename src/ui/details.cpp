#include "ui/details.h"

void ulvo_fm_show_details(UlvoFmApp *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
}

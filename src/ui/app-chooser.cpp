#include "ui/app-chooser.h"

void ulvo_fm_show_application_chooser(UlvoFmApp *, GSList *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
}

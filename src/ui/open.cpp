#include "ui/open.h"

void invoke_application(UlvoFmApp *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
}

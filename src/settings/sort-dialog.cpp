#include "settings/sort-dialog.h"

void on_sort_activate(KivelFileSelection *)
{
    g_warning("%s: not available in this version", G_STRFUNC);
}

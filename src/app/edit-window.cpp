#include "app/edit-window.h"

void create_edit_window(UlvoFmApp *, gint)
{
    g_warning("%s: not available in this version", G_STRFUNC);
}

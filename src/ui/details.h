// Details of the selected item.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

void ulvo_fm_show_details(UlvoFmApp *app);

G_END_DECLS

// Opening the selected items with their applications.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

void invoke_application(UlvoFmApp *app);

G_END_DECLS

// The sort dialog of the content pane.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

void on_sort_activate(KivelFileSelection *fileselection);

G_END_DECLS

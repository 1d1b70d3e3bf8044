// Picking the application that opens files which have none of their own.
#pragma once

#include "model/app-record.h"

G_BEGIN_DECLS

// Offers the applications for the text URIs `uris` (borrowed, in selection
// order) and hands them to the one picked.
void ulvo_fm_show_application_chooser(UlvoFmApp *app, GSList *uris);

G_END_DECLS

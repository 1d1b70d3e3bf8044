// The D-Bus methods "open_folder" and "top_application".
#pragma once

#include "platform/libulvo/ulvo.h"

G_BEGIN_DECLS

// The platform context's default RPC callback; `data` is the program object.
gint ulvo_fm_rpc_handler(const gchar *interface, const gchar *method, GArray *arguments,
                         gpointer data, ulvo_rpc_t *retval);

// Moves the view to the pending folder, brings the window to the front and
// forgets the folder.
void ulvo_fm_show_pending_folder(void);

// Why `uri` can never be a place of this file manager (a static text that
// completes "the location ..."), or NULL.
const gchar *ulvo_fm_location_uri_problem(const gchar *uri);

// Shows the folder `uri` now, or once it appears (a card being mounted).
// FALSE, with `error` set, when it can never be shown as a folder.
gboolean ulvo_fm_open_folder(const gchar *uri, GError **error);

G_END_DECLS

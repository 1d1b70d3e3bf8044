// Classification of locations by their text URI.
#pragma once

#include <glib.h>

G_BEGIN_DECLS

// TRUE when the URI lies on a gateway (Bluetooth) device.
gboolean ulvo_fm_uri_is_in_gateway(const gchar *uri);

G_END_DECLS

#include "model/location.h"

#include "model/fm-assert.h"

#include <string.h>

gboolean ulvo_fm_uri_is_in_gateway(const gchar *uri)
{
    FM_RETURN_VAL_IF_FAIL(uri != NULL, "uri != NULL", FALSE);
    return strncmp(uri, "obex://", strlen("obex://")) == 0;
}

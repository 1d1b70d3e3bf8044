// Thumbnail bookkeeping after files were copied, moved or deleted.
#pragma once

#include <glib.h>

G_BEGIN_DECLS

void kivel_thumbnail_factory_copy(const gchar *source_uri, const gchar *target_uri);
void kivel_thumbnail_factory_move(const gchar *source_uri, const gchar *target_uri);
void kivel_thumbnail_factory_remove(const gchar *uri);

G_END_DECLS

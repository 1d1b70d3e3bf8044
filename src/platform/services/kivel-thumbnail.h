// Keeps the thumbnails of the user's thumbnail cache with their files after a
// copy, move or delete. Each call returns at once; the work is done in order
// on a thread of this module, by the thumbnail cache service of the session
// bus when one runs, else in the cache folders directly. Safe from any
// thread; makes no GTK or GDK calls.
#pragma once

#include <glib.h>

G_BEGIN_DECLS

// Gives the copy at `target_uri` the thumbnails of `source_uri`.
void kivel_thumbnail_factory_copy(const gchar *source_uri, const gchar *target_uri);

// Moves the thumbnails of `source_uri` over to `target_uri`.
void kivel_thumbnail_factory_move(const gchar *source_uri, const gchar *target_uri);

// Forgets the thumbnails of `uri`.
void kivel_thumbnail_factory_remove(const gchar *uri);

G_END_DECLS

#include "platform/kivel-thumbnail.h"

// Placeholders until the thumbnail cache is written.
void kivel_thumbnail_factory_copy(const gchar *, const gchar *) {}

void kivel_thumbnail_factory_move(const gchar *, const gchar *) {}

void kivel_thumbnail_factory_remove(const gchar *) {}

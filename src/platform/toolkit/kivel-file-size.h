// Sizes of files as people read them.
#pragma once

#include <glib.h>

G_BEGIN_DECLS

// (transfer full) `bytes` for display: below 1000 bytes in bytes ("0 B",
// "999 B"); above, in kB, MB, GB or TB of 1024 of the unit below, with
// one decimal under 10 ("1.5 kB", "9.9 MB") and none from 10 on ("10 kB",
// "999 MB"); a value that would round to 1000 moves to the next unit
// ("1.0 MB"). The number uses the locale's decimal mark; the unit formats come
// from the catalog "kivel-libs". A negative count is shown as 0 B.
gchar *kivel_format_file_size_for_display(goffset bytes);

G_END_DECLS

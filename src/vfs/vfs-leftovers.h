// Temporary files that an interrupted replacement of a file leaves beside it.
#pragma once

#include <glib.h>

G_BEGIN_DECLS

// TRUE when `name` is one that g_mkstemp() gives to "<target>.XXXXXX": the
// target's name, a dot and six ASCII letters or digits. Both
// g_file_set_contents() and the program's own writers make such names.
gboolean ulvo_vfs_is_temporary_sibling_name(const gchar *name, const gchar *target);

// Removes, beside `path`, the regular files of this user whose names are
// temporary siblings of it. Links, folders and other names are left alone.
// Returns how many were removed.
guint ulvo_vfs_remove_temporary_siblings(const gchar *path);

G_END_DECLS

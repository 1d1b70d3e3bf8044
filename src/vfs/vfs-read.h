// Reading the small files the program keeps for itself (settings, saved
// state), where a FIFO, a device or a huge file in their place must neither
// block the caller nor eat its memory.
#pragma once

#include <glib.h>

G_BEGIN_DECLS

#define ULVO_VFS_READ_ERROR (ulvo_vfs_read_error_quark())

typedef enum {
    // A FIFO, device, socket or folder: never read.
    ULVO_VFS_READ_ERROR_NOT_REGULAR,
    // Larger than the caller's bound, on opening or while being read.
    ULVO_VFS_READ_ERROR_TOO_LARGE,
} UlvoVfsReadError;

GQuark ulvo_vfs_read_error_quark(void);

// Reads the whole of `path` when it is a regular file of at most `max_size`
// bytes. The file is opened without blocking and checked on the opened
// descriptor, so nothing can be swapped in between. `contents` gets
// (transfer full) the bytes with a NUL after them, free with g_free().
// Errors: G_FILE_ERROR when opening or reading fails (G_FILE_ERROR_NOENT for
// a missing file), ULVO_VFS_READ_ERROR for a file that is not read at all.
gboolean ulvo_vfs_read_regular_file(const gchar *path, gsize max_size, gchar **contents,
                                    gsize *length, GError **error);

G_END_DECLS

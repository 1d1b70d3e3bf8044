// What the file layer knows about one location.
#pragma once

#include <glib.h>

#include "vfs/vfs-result.h"

G_BEGIN_DECLS

typedef struct {
    // UlvoVfsFileInfoFields: which of the fields below hold a value.
    guint valid_fields;
    // The name on disk, "/" for the root.
    gchar *name;
    UlvoVfsFileType type;
    // UlvoVfsFilePermissions: the mode bits (07777) and, when asked for, the
    // ACCESS bits.
    guint permissions;
    // UlvoVfsFileFlags. SYMLINK is set for a link also when it was followed.
    guint flags;
    guint64 device;
    guint64 inode;
    guint link_count;
    guint uid;
    guint gid;
    guint64 size;
    gint64 atime;
    gint64 mtime;
    gint64 ctime;
    // Where a symbolic link points, as stored in the link.
    gchar *symlink_name;
    gchar *mime_type;
} UlvoVfsFileInfo;

// A zeroed record.
// (transfer full): free with ulvo_vfs_file_info_free().
UlvoVfsFileInfo *ulvo_vfs_file_info_new(void);
void ulvo_vfs_file_info_free(UlvoVfsFileInfo *info);

// Frees what `info` holds and zeroes it; the record itself stays.
void ulvo_vfs_file_info_clear(UlvoVfsFileInfo *info);

// Fills `info` (zeroed, or holding an earlier answer, which is freed) for a
// local file. `options` are UlvoVfsFileInfoOptions:
// - FOLLOW_LINKS describes what a symbolic link points to; a dangling link is
//   then described itself. Without it a link is type SYMBOLIC_LINK.
// - GET_ACCESS_RIGHTS adds ULVO_VFS_PERM_ACCESS_*: what this process may do,
//   as access(2) says; for root, which access(2) lets write anything, a right
//   also needs the owner's bit, so that a 0444 file reads as not writable.
// - GET_MIME_TYPE adds the MIME type (from name and content; FORCE_FAST_MIME_TYPE
//   from the name alone). Folders are "inode/directory".
// - NAME_ONLY fills the name alone.
// Result: ULVO_VFS_ERROR_INVALID_URI for an invalid URI,
// ULVO_VFS_ERROR_NOT_SUPPORTED for one that names no local file, else the
// mapped GIO error. On failure `info` is left zeroed.
UlvoVfsResult ulvo_vfs_get_file_info(const char *text_uri, UlvoVfsFileInfo *info, guint options);

G_END_DECLS

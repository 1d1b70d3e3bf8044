// The one translation of GIO errors and errno values into UlvoVfsResult.
//
// GIO folds several errno values into one code (EIO, EXDEV, EFBIG, EDQUOT and
// others all become G_IO_ERROR_FAILED; ENOMEM becomes NO_SPACE; EPERM becomes
// PERMISSION_DENIED; EMLINK becomes TOO_MANY_LINKS). The errno is gone by the
// time the GError reaches us; ulvo_vfs_result_from_gerror recovers it only
// when GIO's message ends with the system's text for it. Code whose answer
// depends on the exact cause (the transfer's read/write/close/rename path)
// should make the POSIX calls itself (g_open, read, write, close, g_rename,
// g_unlink, g_mkdir, g_lstat), save errno right after the failing call and
// map it with ulvo_vfs_result_from_errno.
#pragma once

#include <glib.h>

#include "vfs/vfs-result.h"

G_BEGIN_DECLS

// ULVO_VFS_OK for NULL. G_IO_ERROR, G_FILE_ERROR (by the errno it stands for)
// and the URI codes of G_CONVERT_ERROR are mapped; any other domain or an
// unknown code gives ULVO_VFS_ERROR_GENERIC.
UlvoVfsResult ulvo_vfs_result_from_gerror(const GError *error);

// ULVO_VFS_OK for 0; ULVO_VFS_ERROR_GENERIC for a value without a closer match.
UlvoVfsResult ulvo_vfs_result_from_errno(int errnum);

G_END_DECLS

#include "vfs/vfs-error.h"

#include <gio/gio.h>
#include <errno.h>
#include <string.h>

UlvoVfsResult ulvo_vfs_result_from_errno(int errnum)
{
    switch (errnum) {
    case 0:
        return ULVO_VFS_OK;
    case ENOENT:
        return ULVO_VFS_ERROR_NOT_FOUND;
    case EEXIST:
        return ULVO_VFS_ERROR_FILE_EXISTS;
    case ENOTDIR:
        return ULVO_VFS_ERROR_NOT_A_DIRECTORY;
    case EISDIR:
        return ULVO_VFS_ERROR_IS_DIRECTORY;
    case ENOTEMPTY:
        return ULVO_VFS_ERROR_DIRECTORY_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
        return ULVO_VFS_ERROR_NO_SPACE;
    case EROFS:
        return ULVO_VFS_ERROR_READ_ONLY_FILE_SYSTEM;
    case EACCES:
        return ULVO_VFS_ERROR_ACCESS_DENIED;
    case EPERM:
        return ULVO_VFS_ERROR_NOT_PERMITTED;
    case EXDEV:
        return ULVO_VFS_ERROR_NOT_SAME_FILE_SYSTEM;
    // No result means "file in use"; LOCKED is the one callers treat so.
    case EBUSY:
    case ETXTBSY:
        return ULVO_VFS_ERROR_LOCKED;
    case EIO:
    case EPIPE:
    case ECONNRESET:
    case ENOTCONN:
    // The device or medium went away.
    case ENODEV:
    case ENXIO:
    case ENOMEDIUM:
    case ESTALE:
        return ULVO_VFS_ERROR_IO;
    case ENAMETOOLONG:
        return ULVO_VFS_ERROR_NAME_TOO_LONG;
    case ELOOP:
        return ULVO_VFS_ERROR_LOOP;
    case EMLINK:
        return ULVO_VFS_ERROR_TOO_MANY_LINKS;
    case EINVAL:
        return ULVO_VFS_ERROR_BAD_PARAMETERS;
    case EMFILE:
    case ENFILE:
        return ULVO_VFS_ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
        return ULVO_VFS_ERROR_NO_MEMORY;
    case EFBIG:
    case E2BIG:
    case EMSGSIZE:
        return ULVO_VFS_ERROR_TOO_BIG;
    case EINTR:
        return ULVO_VFS_ERROR_INTERRUPTED;
    case EBADF:
        return ULVO_VFS_ERROR_BAD_FILE;
    case EFAULT:
        return ULVO_VFS_ERROR_INTERNAL;
    case ETIMEDOUT:
        return ULVO_VFS_ERROR_TIMEOUT;
    case ECANCELED:
        return ULVO_VFS_ERROR_CANCELLED;
    case EOPNOTSUPP:
    case ENOSYS:
        return ULVO_VFS_ERROR_NOT_SUPPORTED;
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ECONNREFUSED:
        return ULVO_VFS_ERROR_SERVICE_NOT_AVAILABLE;
    case EINPROGRESS:
    case EALREADY:
        return ULVO_VFS_ERROR_IN_PROGRESS;
    default:
        return ULVO_VFS_ERROR_GENERIC;
    }
}

static UlvoVfsResult result_from_io_error_code(int code)
{
    switch (code) {
    case G_IO_ERROR_NOT_FOUND:
    case G_IO_ERROR_NOT_MOUNTED:
        return ULVO_VFS_ERROR_NOT_FOUND;
    case G_IO_ERROR_EXISTS:
        return ULVO_VFS_ERROR_FILE_EXISTS;
    case G_IO_ERROR_IS_DIRECTORY:
    case G_IO_ERROR_WOULD_RECURSE:
        return ULVO_VFS_ERROR_IS_DIRECTORY;
    case G_IO_ERROR_NOT_DIRECTORY:
        return ULVO_VFS_ERROR_NOT_A_DIRECTORY;
    case G_IO_ERROR_NOT_EMPTY:
    case G_IO_ERROR_WOULD_MERGE:
        return ULVO_VFS_ERROR_DIRECTORY_NOT_EMPTY;
    case G_IO_ERROR_NOT_REGULAR_FILE:
    case G_IO_ERROR_NOT_MOUNTABLE_FILE:
    case G_IO_ERROR_NOT_SUPPORTED:
        return ULVO_VFS_ERROR_NOT_SUPPORTED;
    case G_IO_ERROR_NOT_SYMBOLIC_LINK:
        return ULVO_VFS_ERROR_NOT_A_SYMBOLIC_LINK;
    case G_IO_ERROR_FILENAME_TOO_LONG:
        return ULVO_VFS_ERROR_NAME_TOO_LONG;
    case G_IO_ERROR_INVALID_FILENAME:
        return ULVO_VFS_ERROR_INVALID_FILENAME;
    // ELOOP, the common case; EMLINK is recovered from the message.
    case G_IO_ERROR_TOO_MANY_LINKS:
        return ULVO_VFS_ERROR_LOOP;
    case G_IO_ERROR_NO_SPACE:
        return ULVO_VFS_ERROR_NO_SPACE;
    case G_IO_ERROR_INVALID_ARGUMENT:
        return ULVO_VFS_ERROR_BAD_PARAMETERS;
    case G_IO_ERROR_PERMISSION_DENIED:
    case G_IO_ERROR_PROXY_NOT_ALLOWED:
        return ULVO_VFS_ERROR_ACCESS_DENIED;
    case G_IO_ERROR_CLOSED:
        return ULVO_VFS_ERROR_NOT_OPEN;
    case G_IO_ERROR_CANCELLED:
    case G_IO_ERROR_FAILED_HANDLED:
        return ULVO_VFS_ERROR_CANCELLED;
    case G_IO_ERROR_PENDING:
        return ULVO_VFS_ERROR_IN_PROGRESS;
    case G_IO_ERROR_READ_ONLY:
        return ULVO_VFS_ERROR_READ_ONLY_FILE_SYSTEM;
    case G_IO_ERROR_TIMED_OUT:
        return ULVO_VFS_ERROR_TIMEOUT;
    case G_IO_ERROR_BUSY:
        return ULVO_VFS_ERROR_LOCKED;
    case G_IO_ERROR_HOST_NOT_FOUND:
        return ULVO_VFS_ERROR_HOST_NOT_FOUND;
    case G_IO_ERROR_TOO_MANY_OPEN_FILES:
        return ULVO_VFS_ERROR_TOO_MANY_OPEN_FILES;
    case G_IO_ERROR_NOT_INITIALIZED:
        return ULVO_VFS_ERROR_INTERNAL;
    case G_IO_ERROR_PARTIAL_INPUT:
    case G_IO_ERROR_INVALID_DATA:
        return ULVO_VFS_ERROR_CORRUPTED_DATA;
    case G_IO_ERROR_DBUS_ERROR:
    case G_IO_ERROR_HOST_UNREACHABLE:
    case G_IO_ERROR_NETWORK_UNREACHABLE:
    case G_IO_ERROR_CONNECTION_REFUSED:
    case G_IO_ERROR_PROXY_FAILED:
        return ULVO_VFS_ERROR_SERVICE_NOT_AVAILABLE;
    case G_IO_ERROR_PROXY_AUTH_FAILED:
    case G_IO_ERROR_PROXY_NEED_AUTH:
        return ULVO_VFS_ERROR_LOGIN_FAILED;
    case G_IO_ERROR_BROKEN_PIPE:
    case G_IO_ERROR_NOT_CONNECTED:
    case G_IO_ERROR_NO_SUCH_DEVICE:
        return ULVO_VFS_ERROR_IO;
    case G_IO_ERROR_MESSAGE_TOO_LARGE:
        return ULVO_VFS_ERROR_TOO_BIG;
    default:
        // FAILED, ALREADY_MOUNTED, CANT_CREATE_BACKUP, WRONG_ETAG,
        // WOULD_BLOCK, ADDRESS_IN_USE and codes added after 2.74.
        return ULVO_VFS_ERROR_GENERIC;
    }
}

// The errno values that GIO turns into `code` although they mean something
// else to us.
static const int *folded_errnos(int code, size_t *count)
{
    static const int failed[] = {EIO,    EXDEV,   EFBIG,     EDQUOT,      ESTALE,
                                 EINTR,  EBADF,   EFAULT,    E2BIG,       ESPIPE,
                                 EPROTO, ENOLINK, ENOMEDIUM, EINPROGRESS, EALREADY};
    static const int no_space[] = {ENOMEM};
    static const int permission[] = {EPERM};
    static const int links[] = {EMLINK};
    switch (code) {
    case G_IO_ERROR_FAILED:
        *count = G_N_ELEMENTS(failed);
        return failed;
    case G_IO_ERROR_NO_SPACE:
        *count = G_N_ELEMENTS(no_space);
        return no_space;
    case G_IO_ERROR_PERMISSION_DENIED:
        *count = G_N_ELEMENTS(permission);
        return permission;
    case G_IO_ERROR_TOO_MANY_LINKS:
        *count = G_N_ELEMENTS(links);
        return links;
    default:
        *count = 0;
        return nullptr;
    }
}

// GIO's local file errors end in ": " and g_strerror(errno) (in the same
// locale as now), which is all that is left of the errno.
static gboolean message_ends_with_strerror(const char *message, int errnum)
{
    const char *text = g_strerror(errnum);
    size_t message_len = strlen(message);
    size_t text_len = strlen(text);
    if (text_len == 0 || message_len < text_len)
        return FALSE;
    const char *tail = message + message_len - text_len;
    if (strcmp(tail, text) != 0)
        return FALSE;
    return tail == message || (tail - message >= 2 && tail[-2] == ':' && tail[-1] == ' ');
}

static UlvoVfsResult result_from_io_error(const GError *error)
{
    size_t count = 0;
    const int *candidates = folded_errnos(error->code, &count);
    for (size_t i = 0; i < count && error->message; i++) {
        if (message_ends_with_strerror(error->message, candidates[i]))
            return ulvo_vfs_result_from_errno(candidates[i]);
    }
    return result_from_io_error_code(error->code);
}

static int errno_of_file_error(int code)
{
    switch (code) {
    case G_FILE_ERROR_EXIST:
        return EEXIST;
    case G_FILE_ERROR_ISDIR:
        return EISDIR;
    case G_FILE_ERROR_ACCES:
        return EACCES;
    case G_FILE_ERROR_NAMETOOLONG:
        return ENAMETOOLONG;
    case G_FILE_ERROR_NOENT:
        return ENOENT;
    case G_FILE_ERROR_NOTDIR:
        return ENOTDIR;
    case G_FILE_ERROR_NXIO:
        return ENXIO;
    case G_FILE_ERROR_NODEV:
        return ENODEV;
    case G_FILE_ERROR_ROFS:
        return EROFS;
    case G_FILE_ERROR_TXTBSY:
        return ETXTBSY;
    case G_FILE_ERROR_FAULT:
        return EFAULT;
    case G_FILE_ERROR_LOOP:
        return ELOOP;
    case G_FILE_ERROR_NOSPC:
        return ENOSPC;
    case G_FILE_ERROR_NOMEM:
        return ENOMEM;
    case G_FILE_ERROR_MFILE:
        return EMFILE;
    case G_FILE_ERROR_NFILE:
        return ENFILE;
    case G_FILE_ERROR_BADF:
        return EBADF;
    case G_FILE_ERROR_INVAL:
        return EINVAL;
    case G_FILE_ERROR_PIPE:
        return EPIPE;
    case G_FILE_ERROR_AGAIN:
        return EAGAIN;
    case G_FILE_ERROR_INTR:
        return EINTR;
    case G_FILE_ERROR_IO:
        return EIO;
    case G_FILE_ERROR_PERM:
        return EPERM;
    case G_FILE_ERROR_NOSYS:
        return ENOSYS;
    default:
        return -1;
    }
}

UlvoVfsResult ulvo_vfs_result_from_gerror(const GError *error)
{
    if (!error)
        return ULVO_VFS_OK;
    if (error->domain == G_IO_ERROR)
        return result_from_io_error(error);
    if (error->domain == G_FILE_ERROR) {
        int errnum = errno_of_file_error(error->code);
        return errnum < 0 ? ULVO_VFS_ERROR_GENERIC : ulvo_vfs_result_from_errno(errnum);
    }
    if (error->domain == G_CONVERT_ERROR && (error->code == G_CONVERT_ERROR_BAD_URI ||
                                             error->code == G_CONVERT_ERROR_NOT_ABSOLUTE_PATH))
        return ULVO_VFS_ERROR_INVALID_URI;
    return ULVO_VFS_ERROR_GENERIC;
}

#include "vfs/vfs-read.h"

#include "vfs/glib-ptr.h"

#include <glib/gstdio.h>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

G_DEFINE_QUARK(ulvo - vfs - read - error - quark, ulvo_vfs_read_error)

namespace
{

struct FdCloser {
    int fd;
    ~FdCloser() { close(fd); }
};

void set_errno_error(GError **error, int saved_errno, const char *what, const gchar *path)
{
    g_set_error(error, G_FILE_ERROR, g_file_error_from_errno(saved_errno), "Cannot %s %s: %s", what,
                path, g_strerror(saved_errno));
}

void set_too_large_error(GError **error, const gchar *path, gsize max_size)
{
    g_set_error(error, ULVO_VFS_READ_ERROR, ULVO_VFS_READ_ERROR_TOO_LARGE,
                "%s is larger than %" G_GSIZE_FORMAT " bytes", path, max_size);
}

// Reads up to one byte past `max_size`, so that a file grown since it was
// measured shows as too large rather than being read without end.
// (transfer full) (nullable)
gchar *read_bounded(int fd, gsize expected, gsize max_size, gsize *length, int *failure)
{
    gsize capacity = MIN(expected, max_size) + 1;
    ulvo::GCharPtr buffer(static_cast<gchar *>(g_malloc(capacity + 1)));
    gsize used = 0;
    for (;;) {
        if (used == capacity) {
            if (capacity > max_size)
                break;
            capacity = MIN(capacity * 2, max_size + 1);
            buffer.reset(static_cast<gchar *>(g_realloc(buffer.release(), capacity + 1)));
        }
        ssize_t got = read(fd, buffer.get() + used, capacity - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *failure = errno;
            return nullptr;
        }
        if (got == 0)
            break;
        used += gsize(got);
    }
    buffer.get()[used] = '\0';
    *length = used;
    return buffer.release();
}

} // namespace

gboolean ulvo_vfs_read_regular_file(const gchar *path, gsize max_size, gchar **contents,
                                    gsize *length, GError **error)
{
    g_return_val_if_fail(path != nullptr, FALSE);
    g_return_val_if_fail(contents != nullptr && length != nullptr, FALSE);
    g_return_val_if_fail(max_size < G_MAXSSIZE, FALSE);
    *contents = nullptr;
    *length = 0;

    // O_NONBLOCK: opening a FIFO with no writer returns at once.
    int fd = g_open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
    if (fd < 0) {
        set_errno_error(error, errno, "open", path);
        return FALSE;
    }
    FdCloser closer{fd};
    struct stat info;
    if (fstat(fd, &info) != 0) {
        set_errno_error(error, errno, "examine", path);
        return FALSE;
    }
    if (!S_ISREG(info.st_mode)) {
        g_set_error(error, ULVO_VFS_READ_ERROR, ULVO_VFS_READ_ERROR_NOT_REGULAR,
                    "%s is not a regular file", path);
        return FALSE;
    }
    if (guint64(info.st_size) > max_size) {
        set_too_large_error(error, path, max_size);
        return FALSE;
    }
    int failure = 0;
    gsize read_length = 0;
    ulvo::GCharPtr data(read_bounded(fd, gsize(info.st_size), max_size, &read_length, &failure));
    if (!data) {
        set_errno_error(error, failure, "read", path);
        return FALSE;
    }
    if (read_length > max_size) {
        set_too_large_error(error, path, max_size);
        return FALSE;
    }
    *contents = data.release();
    *length = read_length;
    return TRUE;
}

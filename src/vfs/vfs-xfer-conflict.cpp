// Targets that already exist: ask, or decide by the mode and earlier answers.
#include "vfs/vfs-xfer-private.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <unistd.h>

namespace ulvo_xfer
{

static Conflict decide_by_mode(Job *job)
{
    if (job->replace_all)
        return Conflict::REPLACE;
    if (job->skip_all)
        return Conflict::SKIP;
    switch (job->overwrite_mode) {
    case ULVO_VFS_XFER_OVERWRITE_MODE_REPLACE:
        return Conflict::REPLACE;
    case ULVO_VFS_XFER_OVERWRITE_MODE_SKIP:
        return Conflict::SKIP;
    case ULVO_VFS_XFER_OVERWRITE_MODE_QUERY:
        return Conflict::NONE; // ask
    default:
        stop(job, ULVO_VFS_ERROR_FILE_EXISTS);
        return Conflict::ABORT;
    }
}

Conflict resolve_conflict(Job *job, Item &item, size_t index, UlvoVfsXferPhase phase)
{
    struct stat st;
    if (lstat(item.nodes[index].target.c_str(), &st) != 0)
        return Conflict::NONE;
    if (index == 0 && item.replace_confirmed)
        return Conflict::REPLACE;
    Conflict decided = decide_by_mode(job);
    if (decided != Conflict::NONE)
        return decided;
    gint answer =
        report(job, ULVO_VFS_XFER_PROGRESS_STATUS_OVERWRITE, ULVO_VFS_ERROR_FILE_EXISTS, phase);
    if (cancelled(job)) {
        stop(job, ULVO_VFS_ERROR_CANCELLED);
        return Conflict::ABORT;
    }
    switch (answer) {
    case ULVO_VFS_XFER_OVERWRITE_ACTION_REPLACE_ALL:
        job->replace_all = true;
        /* fall through */
    case ULVO_VFS_XFER_OVERWRITE_ACTION_REPLACE:
        if (index == 0)
            item.replace_confirmed = true;
        return Conflict::REPLACE;
    case ULVO_VFS_XFER_OVERWRITE_ACTION_SKIP_ALL:
        job->skip_all = true;
        /* fall through */
    case ULVO_VFS_XFER_OVERWRITE_ACTION_SKIP:
        return Conflict::SKIP;
    default:
        stop(job, ULVO_VFS_ERROR_INTERRUPTED);
        return Conflict::ABORT;
    }
}

int rename_no_replace(const char *from, const char *to)
{
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // File systems without the flag: a hard link fails on an existing name.
    if (link(from, to) == 0) {
        // The file has its name; a temporary name left over is only clutter.
        unlink(from);
        return 0;
    }
    if (errno == EEXIST)
        return -1;
    // Nor hard links (FAT): the check cannot be atomic there.
    struct stat st;
    if (lstat(to, &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return rename(from, to);
}

bool is_letter_case_change(const char *from, const char *to)
{
    if (strcmp(from, to) == 0)
        return false;
    gchar *a = g_utf8_casefold(from, -1);
    gchar *b = g_utf8_casefold(to, -1);
    bool same_letters = strcmp(a, b) == 0;
    g_free(a);
    g_free(b);
    struct stat from_st, to_st;
    return same_letters && lstat(from, &from_st) == 0 && lstat(to, &to_st) == 0 &&
           from_st.st_dev == to_st.st_dev && from_st.st_ino == to_st.st_ino;
}

int rename_letter_case(const char *from, const char *to)
{
    gchar *folder = g_path_get_dirname(from);
    std::string temp;
    struct stat st;
    for (unsigned n = 0;; n++) {
        gchar *name = g_strdup_printf("%s/.case-%d-%u", folder, (int)getpid(), n);
        temp = name;
        g_free(name);
        if (lstat(temp.c_str(), &st) != 0)
            break;
    }
    g_free(folder);
    if (rename_no_replace(from, temp.c_str()) != 0)
        return -1;
    if (rename_no_replace(temp.c_str(), to) == 0)
        return 0;
    int errnum = errno;
    // The file keeps its old name; failing that, the person must learn
    // where it is rather than find it gone.
    if (rename_no_replace(temp.c_str(), from) != 0)
        g_warning("Could not give %s its name back; it is kept as %s", from, temp.c_str());
    errno = errnum;
    return -1;
}

} // namespace ulvo_xfer

#include "vfs/vfs-leftovers.h"

#include "vfs/glib-ptr.h"

#include <glib/gstdio.h>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const gsize TEMPLATE_LENGTH = 6;
}

gboolean ulvo_vfs_is_temporary_sibling_name(const gchar *name, const gchar *target)
{
    g_return_val_if_fail(name != nullptr && target != nullptr, FALSE);
    const gsize target_length = strlen(target);
    if (strncmp(name, target, target_length) != 0 || name[target_length] != '.')
        return FALSE;
    const gchar *suffix = name + target_length + 1;
    if (strlen(suffix) != TEMPLATE_LENGTH)
        return FALSE;
    for (gsize i = 0; i < TEMPLATE_LENGTH; i++)
        if (!g_ascii_isalnum(suffix[i]))
            return FALSE;
    return TRUE;
}

guint ulvo_vfs_remove_temporary_siblings(const gchar *path)
{
    g_return_val_if_fail(path != nullptr, 0);
    ulvo::GCharPtr folder(g_path_get_dirname(path));
    ulvo::GCharPtr target(g_path_get_basename(path));
    GDir *dir = g_dir_open(folder.get(), 0, nullptr);
    if (!dir)
        return 0;
    guint removed = 0;
    while (const gchar *name = g_dir_read_name(dir)) {
        if (!ulvo_vfs_is_temporary_sibling_name(name, target.get()))
            continue;
        ulvo::GCharPtr candidate(g_build_filename(folder.get(), name, nullptr));
        GStatBuf info;
        // Only what a writer of ours could have made: never a link or a
        // folder, never someone else's file.
        if (g_lstat(candidate.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != geteuid())
            continue;
        if (g_unlink(candidate.get()) == 0)
            removed++;
    }
    g_dir_close(dir);
    return removed;
}

#include "ui/dir-visit.h"

#include "vfs/glib-ptr.h"
#include "vfs/vfs-error.h"

#include <string.h>

namespace
{

const char kEntryAttributes[] = G_FILE_ATTRIBUTE_STANDARD_NAME "," G_FILE_ATTRIBUTE_STANDARD_TYPE
                                                               "," G_FILE_ATTRIBUTE_STANDARD_SIZE;

// (transfer full) (nullable) The open folder `dir`; `result` gets why not.
UlvoFmDirVisitEntry *open_entry(GFile *dir, UlvoVfsResult *result)
{
    ulvo::ErrorOut error;
    // Links are described, never followed: a link to a large folder is
    // neither counted nor entered, and a link loop cannot trap the walk.
    GFileEnumerator *handle = g_file_enumerate_children(
        dir, kEntryAttributes, G_FILE_QUERY_INFO_NOFOLLOW_SYMLINKS, nullptr, error.out());
    *result = ulvo_vfs_result_from_gerror(error.get());
    if (!handle)
        return nullptr;
    auto *entry = g_new0(UlvoFmDirVisitEntry, 1);
    entry->handle = handle;
    entry->dir = G_FILE(g_object_ref(dir));
    return entry;
}

void free_entry(gpointer data)
{
    auto *entry = static_cast<UlvoFmDirVisitEntry *>(data);
    g_file_enumerator_close(entry->handle, nullptr, nullptr);
    g_object_unref(entry->handle);
    g_object_unref(entry->dir);
    g_free(entry);
}

// Opens the subfolder `info` of the head folder and puts it at the head, so
// that it is read next; a subfolder that cannot be opened is skipped.
void descend(UlvoFmDirVisit *visit, UlvoFmDirVisitEntry *head, GFileInfo *info)
{
    ulvo::GObjPtr<GFile> child(g_file_get_child(head->dir, g_file_info_get_name(info)));
    UlvoVfsResult result = ULVO_VFS_OK;
    UlvoFmDirVisitEntry *entry = open_entry(child.get(), &result);
    if (!entry) {
        g_warning("ulvo_fm_dir_visit_fetch_next:directory_open err: %d\n", result);
        return;
    }
    g_queue_push_head(visit->queue, entry);
}

} // namespace

UlvoFmDirVisit *ulvo_fm_dir_visit_init(const gchar *path, UlvoFmDirVisitFunc callback,
                                       gpointer user_data)
{
    g_return_val_if_fail(path != NULL, nullptr);
    ulvo::GObjPtr<GFile> dir(g_file_new_for_uri(path));
    UlvoVfsResult result = ULVO_VFS_OK;
    UlvoFmDirVisitEntry *entry = open_entry(dir.get(), &result);
    if (!entry) {
        g_warning("ulvo_fm_dir_visit_init:directory_open err: %d\n", result);
        return nullptr;
    }
    auto *visit = g_new0(UlvoFmDirVisit, 1);
    visit->queue = g_queue_new();
    g_queue_push_head(visit->queue, entry);
    visit->callback = callback;
    visit->user_data = user_data;
    return visit;
}

gboolean ulvo_fm_dir_visit_fetch_next(UlvoFmDirVisit *visit, gint count)
{
    if (!visit)
        return FALSE;
    for (gint i = 0; count == -1 || i < count;) {
        auto *head = static_cast<UlvoFmDirVisitEntry *>(g_queue_peek_head(visit->queue));
        // An error half-way (the folder vanished, a bad medium) ends this
        // folder with what was read so far.
        ulvo::GObjPtr<GFileInfo> info(g_file_enumerator_next_file(head->handle, nullptr, nullptr));
        if (!info) {
            free_entry(g_queue_pop_head(visit->queue));
            if (g_queue_is_empty(visit->queue))
                return FALSE;
            continue;
        }
        const char *name = g_file_info_get_name(info.get());
        if (!name || strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        gboolean recurse = TRUE;
        if (visit->callback)
            visit->callback(info.get(), &recurse, visit->user_data);
        i++;
        if (recurse && g_file_info_get_file_type(info.get()) == G_FILE_TYPE_DIRECTORY)
            descend(visit, head, info.get());
    }
    return TRUE;
}

void ulvo_fm_dir_visit_free(UlvoFmDirVisit *visit)
{
    if (!visit)
        return;
    g_queue_free_full(visit->queue, free_entry);
    g_free(visit);
}

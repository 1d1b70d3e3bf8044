// A depth-first walk over a folder tree, advanced a few entries at a time so
// that a caller on the main loop never waits for a whole tree.
#pragma once

#include <gio/gio.h>

G_BEGIN_DECLS

// Called once for every entry met; `info` describes the entry itself (a
// symbolic link is never followed). Clearing `*recurse` keeps the walk out
// of a folder entry.
typedef void (*UlvoFmDirVisitFunc)(GFileInfo *info, gboolean *recurse, gpointer user_data);

typedef struct {
    GFileEnumerator *handle;
    GFile *dir;
} UlvoFmDirVisitEntry;

typedef struct {
    GQueue *queue; // of UlvoFmDirVisitEntry, the deepest open folder at the head
    UlvoFmDirVisitFunc callback;
    gpointer user_data;
} UlvoFmDirVisit;

// (transfer full) (nullable) A walk positioned at the first entry of the
// folder `path` (a text URI); NULL when it cannot be opened. Free with
// ulvo_fm_dir_visit_free().
UlvoFmDirVisit *ulvo_fm_dir_visit_init(const gchar *path, UlvoFmDirVisitFunc callback,
                                       gpointer user_data);

// Calls the callback for at most `count` more entries (-1: no limit).
// TRUE while entries may remain; FALSE once the walk is finished or for NULL.
gboolean ulvo_fm_dir_visit_fetch_next(UlvoFmDirVisit *visit, gint count);

// Closes every folder still open. NULL is fine.
void ulvo_fm_dir_visit_free(UlvoFmDirVisit *visit);

G_END_DECLS

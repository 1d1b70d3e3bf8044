// The asynchronous multi-file transfer: copy, move and delete of local files
// on a worker thread, with progress reports, questions answered on the main
// loop, and cancel at any point.
//
// Reports. Every report reaches the sync callback first, on the worker
// thread. Then:
// - an OK report reaches the update callback on the main loop (the
//   thread-default main context of the caller who started the transfer) when the last
//   one it got is at least 100 ms old; the worker waits for its answer;
// - an error (VFSERROR) or OVERWRITE report always reaches it, and the worker
//   waits for the answer.
// Neither callback is called with the GDK lock held: each takes it itself.
// The sync callback's answer counts only for OK reports the update callback
// did not see (0 aborts). Without an update callback, it answers everything.
//
// Phases. INITIAL, CHECKING_DESTINATION (not for delete), COLLECTING (at
// least once), READYTOGO (files_total and bytes_total final), then per item
// with file_index 1..files_total, folders before their contents:
// - copy: a folder OPENTARGET, FILECOMPLETED; a link OPENTARGET,
//   FILECOMPLETED; a file OPENSOURCE, OPENTARGET, COPYING..., CLOSESOURCE,
//   SETATTRIBUTES, CLOSETARGET, FILECOMPLETED;
// - move within one file system: MOVING, FILECOMPLETED per top-level item;
// - move across file systems: the copy sequence, each source followed by
//   DELETESOURCE once its target is in place (folders after their contents);
// - delete: DELETESOURCE per item, contents before their folder.
// Last comes COMPLETED, to the sync callback only, exactly once, also after
// a cancel or an abort; source_name and target_name are NULL there and
// vfs_status is OK, INTERRUPTED (an answer aborted), CANCELLED, or the error
// that ended a transfer in error mode ABORT.
//
// Counters. files_total counts files, folders and links (top-level items for
// a move by rename); bytes_total sums the sizes of regular files;
// total_bytes_copied only grows (deletes add each file's size as it goes).
//
// Files are written under a hidden temporary name beside the target (see
// ulvo_vfs_xfer_is_partial_name), flushed to the medium, and only then
// renamed to their name, so no half-written file ever carries a final name.
// An existing target stays until the new file replaces it. A move deletes a
// source only after its target was written completely and put in place; a
// cancelled or failed file's temporary is removed. Symbolic links are copied
// as links unless FOLLOW_LINKS says otherwise. Copies keep the source's
// modification time (a move must not change it, and a copy keeps what the
// user sorts by); permission bits are the source's, or with
// TARGET_DEFAULT_PERMS the defaults of new files (0666, or 0777 for folders
// and executables, less the umask), so that copies from read-only media are
// writable.
#pragma once

#include <glib.h>

#include "vfs/vfs-result.h"

G_BEGIN_DECLS

typedef struct {
    UlvoVfsXferProgressStatus status;
    UlvoVfsResult vfs_status;
    UlvoVfsXferPhase phase;
    // Text URIs of the item being worked on (transfer none; valid during the
    // call). target_name is NULL for a delete.
    gchar *source_name;
    gchar *target_name;
    gulong file_index;
    gulong files_total;
    guint64 bytes_total;
    guint64 file_size;
    guint64 bytes_copied;
    guint64 total_bytes_copied;
    // Not used: unique names are not supported.
    gchar *duplicate_name;
    int duplicate_count;
    // TRUE while an item of the caller's list is worked on, FALSE inside it.
    gboolean top_level_item;
} UlvoVfsXferProgressInfo;

typedef struct UlvoVfsAsyncHandle UlvoVfsAsyncHandle;

// Main loop. Answer for OK: 0 aborts, else go on. VFSERROR:
// UlvoVfsXferErrorAction. OVERWRITE: UlvoVfsXferOverwriteAction.
typedef gint (*UlvoVfsAsyncXferProgressCallback)(UlvoVfsAsyncHandle *handle,
                                                 UlvoVfsXferProgressInfo *info, gpointer data);
// Worker thread (or the caller's thread for ulvo_vfs_xfer_delete_list).
typedef gint (*UlvoVfsXferProgressCallback)(UlvoVfsXferProgressInfo *info, gpointer data);

// Starts a transfer of `source_uri_list` (text URIs, gchar *) to
// `target_uri_list` (the same length; NULL for DELETE_ITEMS). `options` are
// UlvoVfsXferOptions: copy by default, REMOVESOURCE moves, DELETE_ITEMS
// deletes; RECURSIVE, SAMEFS, FOLLOW_LINKS, FOLLOW_LINKS_RECURSIVE and
// TARGET_DEFAULT_PERMS modify them. Without RECURSIVE a folder is moved only
// by a rename, deleted only when empty, and never copied (IS_DIRECTORY).
// Both lists are copied; the caller keeps them. `priority` is ignored.
// Returns ULVO_VFS_OK and sets *handle_return before any callback runs; or
// ULVO_VFS_ERROR_BAD_PARAMETERS, starting nothing, for lists that do not
// pair, a missing update callback, or an operation not supported here
// (LINK_ITEMS, EMPTY_DIRECTORIES, NEW_UNIQUE_DIRECTORY, USE_UNIQUE_NAMES).
// A URI that names no local file is reported as an error of its own item.
// The handle stays valid until the COMPLETED report has been delivered.
UlvoVfsResult ulvo_vfs_async_xfer(UlvoVfsAsyncHandle **handle_return, const GList *source_uri_list,
                                  const GList *target_uri_list, guint options,
                                  UlvoVfsXferErrorMode error_mode,
                                  UlvoVfsXferOverwriteMode overwrite_mode, int priority,
                                  UlvoVfsAsyncXferProgressCallback progress_update_callback,
                                  gpointer update_callback_data,
                                  UlvoVfsXferProgressCallback progress_sync_callback,
                                  gpointer sync_callback_data);

// Stops the transfer at its next step; from any thread. A question being
// asked still gets its answer, which is then taken as abort. The update
// callback is not called again once this returns on the main thread; the sync
// callback still gets COMPLETED.
void ulvo_vfs_async_cancel(UlvoVfsAsyncHandle *handle);

// Deletes the items of `source_uri_list` (text URIs) on the calling thread;
// `options` as for ulvo_vfs_async_xfer with DELETE_ITEMS implied.
// `progress_callback` (nullable) gets every report and answers the questions
// in error mode QUERY. Returns the first error that ended the deletion, or
// ULVO_VFS_OK.
UlvoVfsResult ulvo_vfs_xfer_delete_list(const GList *source_uri_list,
                                        UlvoVfsXferErrorMode error_mode, guint options,
                                        UlvoVfsXferProgressCallback progress_callback,
                                        gpointer data);

// TRUE for the name of a temporary file of a transfer
// (".<name>.ulvo-part-XXXXXX"); what such files a crash left behind can be
// found by.
gboolean ulvo_vfs_xfer_is_partial_name(const gchar *name);

G_END_DECLS

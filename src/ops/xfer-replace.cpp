// A folder that replaces a folder: the old one is deleted first, so that the
// new one does not merge into it. A big folder takes a while, so the delete
// runs on a thread of its own while the main loop keeps the progress note
// drawn and its cancel button answering; the transfer's own thread waits for
// the answer meanwhile.
#include "ops/xfer-progress.h"

#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <glib/gstdio.h>

using ulvo::GCharPtr;

namespace
{

struct Clearing {
    XferData *cdata;
    const gchar *target; // text URI
    // Set on the deleting thread before `done`, read after it.
    UlvoVfsResult failure = ULVO_VFS_OK;
    gchar *failed_name = nullptr;
    gint done = 0;
    GMainContext *context;
};

gint on_delete_report(UlvoVfsXferProgressInfo *info, gpointer data)
{
    auto *clearing = static_cast<Clearing *>(data);
    if (g_atomic_int_get(&clearing->cdata->cancelled))
        return 0;
    if (info->status != ULVO_VFS_XFER_PROGRESS_STATUS_VFSERROR || clearing->failed_name)
        return 1;
    clearing->failure = info->vfs_status;
    clearing->failed_name = g_strdup(info->source_name);
    return ULVO_VFS_XFER_ERROR_ACTION_ABORT;
}

gpointer delete_old_folder(gpointer data)
{
    auto *clearing = static_cast<Clearing *>(data);
    GList targets = {const_cast<gchar *>(clearing->target), nullptr, nullptr};
    ulvo_vfs_xfer_delete_list(&targets, ULVO_VFS_XFER_ERROR_MODE_QUERY,
                              ULVO_VFS_XFER_RECURSIVE | ULVO_VFS_XFER_DELETE_ITEMS,
                              on_delete_report, clearing);
    g_atomic_int_set(&clearing->done, 1);
    g_main_context_wakeup(clearing->context);
    return nullptr;
}

gboolean pulse(gpointer data)
{
    gdk_threads_enter();
    auto *cdata = static_cast<XferData *>(data);
    if (cdata->progress_bar)
        gtk_progress_bar_pulse(cdata->progress_bar);
    gdk_threads_leave();
    return G_SOURCE_CONTINUE;
}

// Runs the delete to its end with the main loop turning; called and
// returning with the GDK lock held.
void delete_while_the_loop_runs(Clearing *clearing)
{
    GThread *thread = g_thread_new("ulvo-replace", delete_old_folder, clearing);
    GSource *ticker = g_timeout_source_new(100);
    g_source_set_callback(ticker, pulse, clearing->cdata, nullptr);
    g_source_attach(ticker, clearing->context);
    gdk_threads_leave();
    while (!g_atomic_int_get(&clearing->done))
        g_main_context_iteration(clearing->context, TRUE);
    gdk_threads_enter();
    g_source_destroy(ticker);
    g_source_unref(ticker);
    g_thread_join(thread);
}

// The notice for an old folder that could not be deleted, as a delete of
// it would have given.
void record_failure(XferData *cdata, const Clearing &clearing)
{
    g_warning("Cannot remove the folder being replaced: [%d][%s]\n", clearing.failure,
              ulvo_vfs_result_to_string(clearing.failure));
    UlvoVfsXferProgressInfo info = {};
    info.status = ULVO_VFS_XFER_PROGRESS_STATUS_VFSERROR;
    info.vfs_status = clearing.failure;
    info.phase = ULVO_VFS_XFER_PHASE_DELETESOURCE;
    info.source_name = clearing.failed_name;
    info.files_total = 1;
    cdata->error_count++;
    xfer_handle_delete_error(&info, cdata);
}

} // namespace

UlvoVfsResult xfer_clear_target_folder(XferData *cdata, const gchar *source, const gchar *target)
{
    // The old folder holds the source itself: removing it would lose both.
    if (ulvo_vfs_uri_equal(source, target) || ulvo_vfs_uri_is_parent(target, source, TRUE))
        return ULVO_VFS_ERROR_DIRECTORY_NOT_EMPTY;
    Clearing clearing;
    clearing.cdata = cdata;
    clearing.target = target;
    clearing.context = g_main_context_ref_thread_default();
    delete_while_the_loop_runs(&clearing);
    g_main_context_unref(clearing.context);
    GCharPtr failed_name(clearing.failed_name);
    if (g_atomic_int_get(&cdata->cancelled))
        return ULVO_VFS_ERROR_CANCELLED;
    // Gone meanwhile is as good as deleted.
    if (clearing.failure != ULVO_VFS_OK && clearing.failure != ULVO_VFS_ERROR_NOT_FOUND) {
        record_failure(cdata, clearing);
        return clearing.failure;
    }
    // An empty folder stands in, so that the transfer fills it afresh.
    GCharPtr path(ulvo_vfs_get_local_path_from_uri(target));
    if (!path || (g_mkdir(path.get(), 0777) != 0 && !g_file_test(path.get(), G_FILE_TEST_IS_DIR)))
        return ULVO_VFS_ERROR_GENERIC;
    return ULVO_VFS_OK;
}

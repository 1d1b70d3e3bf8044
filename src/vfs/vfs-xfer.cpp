// The transfer's thread, and the way its reports reach the main loop.
#include "vfs/vfs-xfer.h"

#include "vfs/vfs-uri.h"
#include "vfs/vfs-xfer-private.h"

#include <cstring>

using namespace ulvo_xfer;

namespace
{

const gint64 UPDATE_INTERVAL_US = 100 * 1000;

enum class DispatchState { PENDING, RUNNING, DONE };

// One report waiting for the update callback.
struct Dispatch {
    UlvoVfsXferProgressInfo info;
    gint answer = 0;
    DispatchState state = DispatchState::PENDING;
};

} // namespace

struct UlvoVfsAsyncHandle {
    gint refs;
    GMutex mutex;
    GCond cond;
    bool cancelled;
    Dispatch *dispatch;
    gint64 last_update_us;
    // The phase of the last report the main loop was asked about.
    UlvoVfsXferPhase last_phase;
    // Where the update callback runs: the caller's thread-default context.
    GMainContext *context;
    UlvoVfsAsyncXferProgressCallback update_callback;
    gpointer update_data;
    Job job;
};

static UlvoVfsAsyncHandle *handle_ref(UlvoVfsAsyncHandle *handle)
{
    g_atomic_int_inc(&handle->refs);
    return handle;
}

static void handle_unref(UlvoVfsAsyncHandle *handle)
{
    if (!g_atomic_int_dec_and_test(&handle->refs))
        return;
    g_mutex_clear(&handle->mutex);
    g_cond_clear(&handle->cond);
    if (handle->context)
        g_main_context_unref(handle->context);
    delete handle;
}

static gboolean dispatch_on_main(gpointer data)
{
    auto *handle = static_cast<UlvoVfsAsyncHandle *>(data);
    g_mutex_lock(&handle->mutex);
    Dispatch *dispatch = handle->dispatch;
    if (!dispatch || handle->cancelled || dispatch->state != DispatchState::PENDING) {
        g_mutex_unlock(&handle->mutex);
        return G_SOURCE_REMOVE;
    }
    dispatch->state = DispatchState::RUNNING;
    g_mutex_unlock(&handle->mutex);

    gint answer = handle->update_callback(handle, &dispatch->info, handle->update_data);

    g_mutex_lock(&handle->mutex);
    dispatch->answer = answer;
    dispatch->state = DispatchState::DONE;
    g_cond_broadcast(&handle->cond);
    g_mutex_unlock(&handle->mutex);
    return G_SOURCE_REMOVE;
}

// Hands the report to the main loop and waits for the answer. A cancel
// before the callback started gives up at once; one while it runs waits for
// it to return, so that the caller's record is not freed under it by the
// COMPLETED report.
static gint ask_main_loop(UlvoVfsAsyncHandle *handle, const UlvoVfsXferProgressInfo *info)
{
    Dispatch dispatch;
    dispatch.info = *info;
    g_mutex_lock(&handle->mutex);
    if (handle->cancelled) {
        g_mutex_unlock(&handle->mutex);
        return 0;
    }
    handle->dispatch = &dispatch;
    handle->last_update_us = g_get_monotonic_time();
    handle->last_phase = info->phase;
    GSource *source = g_idle_source_new();
    g_source_set_callback(source, dispatch_on_main, handle_ref(handle),
                          reinterpret_cast<GDestroyNotify>(handle_unref));
    g_source_attach(source, handle->context);
    g_source_unref(source);
    while (dispatch.state != DispatchState::DONE &&
           !(handle->cancelled && dispatch.state == DispatchState::PENDING))
        g_cond_wait(&handle->cond, &handle->mutex);
    handle->dispatch = nullptr;
    gint answer = handle->cancelled ? 0 : dispatch.answer;
    g_mutex_unlock(&handle->mutex);
    return answer;
}

namespace ulvo_xfer
{

bool cancelled(Job *job)
{
    if (!job->handle)
        return false;
    g_mutex_lock(&job->handle->mutex);
    bool result = job->handle->cancelled;
    g_mutex_unlock(&job->handle->mutex);
    return result;
}

gint deliver(Job *job)
{
    UlvoVfsXferProgressInfo *info = &job->info;
    gint sync_answer = 1;
    if (job->sync_callback)
        sync_answer = job->sync_callback(info, job->sync_data);
    UlvoVfsAsyncHandle *handle = job->handle;
    if (!handle || info->phase == ULVO_VFS_XFER_PHASE_COMPLETED)
        return sync_answer;
    if (cancelled(job))
        return 0;
    if (info->status != ULVO_VFS_XFER_PROGRESS_STATUS_OK)
        return ask_main_loop(handle, info);
    g_mutex_lock(&handle->mutex);
    // Progress may be skipped, but not the steps before the items are worked
    // on, which pass once each: the caller changes its note's text and buttons
    // on them.
    bool first_of_step =
        info->phase <= ULVO_VFS_XFER_PHASE_READYTOGO && info->phase != handle->last_phase;
    bool due =
        first_of_step || g_get_monotonic_time() - handle->last_update_us >= UPDATE_INTERVAL_US;
    g_mutex_unlock(&handle->mutex);
    return due ? ask_main_loop(handle, info) : sync_answer;
}

} // namespace ulvo_xfer

static gpointer worker_main(gpointer data)
{
    auto *handle = static_cast<UlvoVfsAsyncHandle *>(data);
    // Wait until the caller has its handle.
    g_mutex_lock(&handle->mutex);
    g_mutex_unlock(&handle->mutex);
    run_job(&handle->job);
    handle_unref(handle);
    return nullptr;
}

static bool supported_options(guint options)
{
    const guint unsupported = ULVO_VFS_XFER_LINK_ITEMS | ULVO_VFS_XFER_EMPTY_DIRECTORIES |
                              ULVO_VFS_XFER_NEW_UNIQUE_DIRECTORY | ULVO_VFS_XFER_USE_UNIQUE_NAMES;
    const guint operations = ULVO_VFS_XFER_REMOVESOURCE | ULVO_VFS_XFER_DELETE_ITEMS;
    return !(options & unsupported) && (options & operations) != operations;
}

// Fills job->items from the lists; false when they do not pair.
static bool take_lists(Job *job, const GList *sources, const GList *targets)
{
    if (!sources || (job->deleting() != (targets == nullptr)))
        return false;
    for (; sources; sources = sources->next) {
        if (!job->deleting() && !targets)
            return false;
        const char *source = static_cast<const char *>(sources->data);
        const char *target = job->deleting() ? nullptr : static_cast<const char *>(targets->data);
        if (!source || (!job->deleting() && !target))
            return false;
        Item item;
        item.source_uri = source;
        gchar *path = ulvo_vfs_get_local_path_from_uri(source);
        item.source = path ? path : "";
        g_free(path);
        if (target) {
            item.target_uri = target;
            path = ulvo_vfs_get_local_path_from_uri(target);
            item.target = path ? path : "";
            g_free(path);
            targets = targets->next;
        }
        job->items.push_back(std::move(item));
    }
    return job->deleting() || !targets;
}

UlvoVfsResult ulvo_vfs_async_xfer(UlvoVfsAsyncHandle **handle_return, const GList *source_uri_list,
                                  const GList *target_uri_list, guint options,
                                  UlvoVfsXferErrorMode error_mode,
                                  UlvoVfsXferOverwriteMode overwrite_mode, int priority,
                                  UlvoVfsAsyncXferProgressCallback progress_update_callback,
                                  gpointer update_callback_data,
                                  UlvoVfsXferProgressCallback progress_sync_callback,
                                  gpointer sync_callback_data)
{
    (void)priority;
    g_return_val_if_fail(handle_return != nullptr, ULVO_VFS_ERROR_BAD_PARAMETERS);
    g_return_val_if_fail(progress_update_callback != nullptr, ULVO_VFS_ERROR_BAD_PARAMETERS);
    if (!supported_options(options))
        return ULVO_VFS_ERROR_BAD_PARAMETERS;
    auto *handle = new UlvoVfsAsyncHandle();
    handle->refs = 1;
    g_mutex_init(&handle->mutex);
    g_cond_init(&handle->cond);
    handle->last_update_us = g_get_monotonic_time() - UPDATE_INTERVAL_US;
    handle->update_callback = progress_update_callback;
    handle->update_data = update_callback_data;
    handle->context = g_main_context_ref_thread_default();
    Job &job = handle->job;
    job.handle = handle;
    job.sync_callback = progress_sync_callback;
    job.sync_data = sync_callback_data;
    job.options = options;
    job.error_mode = error_mode;
    job.overwrite_mode = overwrite_mode;
    if (!take_lists(&job, source_uri_list, target_uri_list)) {
        handle_unref(handle);
        return ULVO_VFS_ERROR_BAD_PARAMETERS;
    }
    g_mutex_lock(&handle->mutex);
    g_thread_unref(g_thread_new("ulvo-xfer", worker_main, handle));
    *handle_return = handle;
    g_mutex_unlock(&handle->mutex);
    return ULVO_VFS_OK;
}

void ulvo_vfs_async_cancel(UlvoVfsAsyncHandle *handle)
{
    g_return_if_fail(handle != nullptr);
    g_mutex_lock(&handle->mutex);
    handle->cancelled = true;
    g_cond_broadcast(&handle->cond);
    g_mutex_unlock(&handle->mutex);
}

UlvoVfsResult ulvo_vfs_xfer_delete_list(const GList *source_uri_list,
                                        UlvoVfsXferErrorMode error_mode, guint options,
                                        UlvoVfsXferProgressCallback progress_callback,
                                        gpointer data)
{
    Job job;
    job.options = options | ULVO_VFS_XFER_DELETE_ITEMS;
    job.options &= ~ULVO_VFS_XFER_REMOVESOURCE;
    job.error_mode = error_mode;
    job.sync_callback = progress_callback;
    job.sync_data = data;
    if (!supported_options(job.options) || !take_lists(&job, source_uri_list, nullptr))
        return ULVO_VFS_ERROR_BAD_PARAMETERS;
    run_job(&job);
    return job.result;
}

gboolean ulvo_vfs_xfer_is_partial_name(const gchar *name)
{
    g_return_val_if_fail(name != nullptr, FALSE);
    const size_t mark_length = strlen(ULVO_XFER_PART_MARK);
    const size_t tail = mark_length + ULVO_XFER_PART_RANDOM;
    const size_t length = strlen(name);
    return name[0] == '.' && length > tail + 1 &&
           strncmp(name + length - tail, ULVO_XFER_PART_MARK, mark_length) == 0;
}

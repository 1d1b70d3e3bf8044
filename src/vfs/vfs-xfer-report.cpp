// What the transfer tells its callers, and what it makes of their answers.
#include "vfs/vfs-error.h"
#include "vfs/vfs-xfer-private.h"

namespace ulvo_xfer
{

static std::string uri_of(const std::string &path)
{
    if (path.empty())
        return "";
    gchar *uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string result = uri ? uri : "";
    g_free(uri);
    return result;
}

void set_names(Job *job, const std::string &source, const std::string &target)
{
    job->source_name = source;
    job->target_name = target;
    job->info.source_name = job->source_name.empty() ? nullptr : &job->source_name[0];
    job->info.target_name = job->target_name.empty() ? nullptr : &job->target_name[0];
}

void name_paths(Job *job, const std::string &source, const std::string &target)
{
    set_names(job, uri_of(source), uri_of(target));
}

void name_node(Job *job, const Node &node, bool top)
{
    name_paths(job, node.source, node.target);
    job->info.top_level_item = top;
    job->info.file_size = node.kind == Kind::FILE ? node.size : 0;
    job->info.bytes_copied = 0;
}

void stop(Job *job, UlvoVfsResult result)
{
    if (!job->stopped)
        job->result = result;
    job->stopped = true;
}

gint report(Job *job, UlvoVfsXferProgressStatus status, UlvoVfsResult result,
            UlvoVfsXferPhase phase)
{
    job->info.status = status;
    job->info.vfs_status = result;
    job->info.phase = phase;
    return deliver(job);
}

bool progress(Job *job, UlvoVfsXferPhase phase)
{
    if (job->stopped)
        return false;
    if (cancelled(job)) {
        stop(job, ULVO_VFS_ERROR_CANCELLED);
        return false;
    }
    if (report(job, ULVO_VFS_XFER_PROGRESS_STATUS_OK, ULVO_VFS_OK, phase) == 0) {
        stop(job, cancelled(job) ? ULVO_VFS_ERROR_CANCELLED : ULVO_VFS_ERROR_INTERRUPTED);
        return false;
    }
    return true;
}

Action error(Job *job, UlvoVfsResult result, UlvoVfsXferPhase phase)
{
    if (job->stopped)
        return Action::ABORT;
    if (job->error_mode != ULVO_VFS_XFER_ERROR_MODE_QUERY) {
        stop(job, result);
        return Action::ABORT;
    }
    gint answer = report(job, ULVO_VFS_XFER_PROGRESS_STATUS_VFSERROR, result, phase);
    if (cancelled(job)) {
        stop(job, ULVO_VFS_ERROR_CANCELLED);
        return Action::ABORT;
    }
    switch (answer) {
    case ULVO_VFS_XFER_ERROR_ACTION_RETRY:
        return Action::RETRY;
    case ULVO_VFS_XFER_ERROR_ACTION_SKIP:
        return Action::SKIP;
    default:
        stop(job, ULVO_VFS_ERROR_INTERRUPTED);
        return Action::ABORT;
    }
}

Action errno_error(Job *job, int errnum, UlvoVfsXferPhase phase)
{
    return error(job, ulvo_vfs_result_from_errno(errnum), phase);
}

} // namespace ulvo_xfer

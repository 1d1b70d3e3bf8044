// The order of a transfer: check, collect, then move, copy or delete item by
// item, and COMPLETED exactly once whatever happened.
#include "vfs/vfs-error.h"
#include "vfs/vfs-uri.h"
#include "vfs/vfs-xfer-private.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace ulvo_xfer
{

namespace
{

// The path with its folder resolved (the last component is kept as it is,
// so that a link is not followed); empty when the folder cannot be.
std::string resolve_folder(const std::string &path)
{
    gchar *folder = g_path_get_dirname(path.c_str());
    gchar *name = g_path_get_basename(path.c_str());
    char *real = realpath(folder, nullptr);
    std::string result;
    if (real)
        result = std::string(real) + (g_str_has_suffix(real, "/") ? "" : "/") + name;
    free(real);
    g_free(folder);
    g_free(name);
    return result;
}

bool lies_inside(const std::string &path, const std::string &folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

// A folder onto itself, into itself, or onto a folder holding it: the
// replace question would offer to delete the source.
UlvoVfsResult check_not_itself(Job *job, const Item &item)
{
    std::string source = resolve_folder(item.source);
    std::string target = resolve_folder(item.target);
    if (source.empty() || target.empty())
        return ULVO_VFS_OK;
    if (source == target) {
        set_names(job, item.source_uri, item.source_uri);
        return ULVO_VFS_ERROR_DIRECTORY_NOT_EMPTY;
    }
    if (lies_inside(target, source) || lies_inside(source, target))
        return ULVO_VFS_ERROR_DIRECTORY_NOT_EMPTY;
    return ULVO_VFS_OK;
}

UlvoVfsResult check_item(Job *job, Item &item)
{
    set_names(job, item.source_uri, item.target_uri);
    job->info.top_level_item = TRUE;
    if (item.source.empty() || item.target.empty()) {
        bool valid = ulvo_vfs_uri_is_valid(item.source_uri.c_str()) &&
                     ulvo_vfs_uri_is_valid(item.target_uri.c_str());
        return valid ? ULVO_VFS_ERROR_NOT_SUPPORTED : ULVO_VFS_ERROR_INVALID_URI;
    }
    gchar *folder = g_path_get_dirname(item.target.c_str());
    struct stat target_folder;
    int rc = stat(folder, &target_folder);
    int errnum = errno;
    g_free(folder);
    if (rc != 0)
        return ulvo_vfs_result_from_errno(errnum);
    if (!S_ISDIR(target_folder.st_mode))
        return ULVO_VFS_ERROR_NOT_A_DIRECTORY;
    UlvoVfsResult itself = check_not_itself(job, item);
    if (itself != ULVO_VFS_OK)
        return itself;
    struct stat source;
    item.by_rename = job->moving() && lstat(item.source.c_str(), &source) == 0 &&
                     source.st_dev == target_folder.st_dev;
    return ULVO_VFS_OK;
}

// False when the job stopped.
bool check_destinations(Job *job)
{
    set_names(job, "", "");
    if (!progress(job, ULVO_VFS_XFER_PHASE_CHECKING_DESTINATION))
        return false;
    for (Item &item : job->items) {
        for (;;) {
            UlvoVfsResult result = check_item(job, item);
            if (result == ULVO_VFS_OK)
                break;
            Action action = error(job, result, ULVO_VFS_XFER_PHASE_CHECKING_DESTINATION);
            if (action == Action::ABORT)
                return false;
            if (action == Action::SKIP) {
                item.dropped = true;
                break;
            }
        }
    }
    return true;
}

bool collect(Job *job)
{
    set_names(job, "", "");
    if (!progress(job, ULVO_VFS_XFER_PHASE_COLLECTING))
        return false;
    for (Item &item : job->items) {
        if (item.dropped)
            continue;
        if (item.source.empty()) {
            set_names(job, item.source_uri, "");
            item.dropped = true;
            if (error(job, ULVO_VFS_ERROR_NOT_SUPPORTED, ULVO_VFS_XFER_PHASE_COLLECTING) ==
                Action::ABORT)
                return false;
            continue;
        }
        if (!collect_item(job, item))
            return false;
        job->info.files_total += item.nodes.size();
        for (const Node &node : item.nodes)
            job->info.bytes_total += node.size;
    }
    return true;
}

// Replacing by a rename: a folder over a file takes the file's place.
bool clear_for_rename(const Node &node)
{
    struct stat st;
    return node.kind != Kind::FOLDER || lstat(node.target.c_str(), &st) != 0 ||
           S_ISDIR(st.st_mode) || unlink(node.target.c_str()) == 0;
}

// Moves a whole item where it can be renamed, else copies it over and
// removes its source.
void move_item(Job *job, Item &item)
{
    Node &node = item.nodes[0];
    job->info.file_index = item.index_base + 1;
    name_node(job, node, true);
    if (!progress(job, ULVO_VFS_XFER_PHASE_MOVING))
        return;
    bool case_change = is_letter_case_change(node.source.c_str(), node.target.c_str());
    Conflict conflict =
        case_change ? Conflict::NONE : resolve_conflict(job, item, 0, ULVO_VFS_XFER_PHASE_MOVING);
    if (conflict == Conflict::ABORT || conflict == Conflict::SKIP)
        return;
    for (;;) {
        bool replace = conflict == Conflict::REPLACE;
        int rc =
            case_change ? rename_letter_case(node.source.c_str(), node.target.c_str())
            : replace
                ? (clear_for_rename(node) ? rename(node.source.c_str(), node.target.c_str()) : -1)
                : rename_no_replace(node.source.c_str(), node.target.c_str());
        if (rc == 0) {
            job->info.total_bytes_copied += node.size;
            progress(job, ULVO_VFS_XFER_PHASE_FILECOMPLETED);
            return;
        }
        int errnum = errno;
        // Another file system after all, or a folder to merge into.
        if (errnum == EXDEV ||
            (replace && node.kind == Kind::FOLDER && (errnum == ENOTEMPTY || errnum == EEXIST))) {
            guint64 size_before = node.size;
            item.by_rename = false;
            if (!collect_item(job, item) || item.dropped)
                return;
            job->info.files_total += item.nodes.size() - 1;
            for (const Node &n : item.nodes)
                job->info.bytes_total += n.size;
            job->info.bytes_total -= size_before;
            copy_item(job, item);
            return;
        }
        name_node(job, node, true);
        Action action = errno_error(job, errnum, ULVO_VFS_XFER_PHASE_MOVING);
        if (action != Action::RETRY)
            return;
    }
}

// Deletes the nodes of an item, contents before their folder.
void delete_item(Job *job, Item &item)
{
    for (size_t index = item.nodes.size(); index-- > 0 && !job->stopped;) {
        Node &node = item.nodes[index];
        job->info.file_index = item.index_base + item.nodes.size() - index;
        name_node(job, node, index == 0);
        // Whatever was kept inside keeps its folder.
        if (node.failed)
            continue;
        job->info.total_bytes_copied += node.size;
        if (!progress(job, ULVO_VFS_XFER_PHASE_DELETESOURCE))
            return;
        for (;;) {
            int rc = node.kind == Kind::FOLDER ? rmdir(node.source.c_str())
                                               : unlink(node.source.c_str());
            if (rc == 0 || errno == ENOENT)
                break;
            Action action = errno_error(job, errno, ULVO_VFS_XFER_PHASE_DELETESOURCE);
            if (action == Action::SKIP)
                mark_failed(item, index);
            if (action != Action::RETRY)
                break;
        }
    }
}

void complete(Job *job)
{
    set_names(job, "", "");
    job->info.top_level_item = FALSE;
    job->info.bytes_copied = 0;
    report(job, ULVO_VFS_XFER_PROGRESS_STATUS_OK, job->result, ULVO_VFS_XFER_PHASE_COMPLETED);
}

} // namespace

void run_job(Job *job)
{
    set_names(job, "", "");
    bool go_on = progress(job, ULVO_VFS_XFER_PHASE_INITIAL) &&
                 (job->deleting() || check_destinations(job)) && collect(job);
    if (go_on) {
        set_names(job, "", "");
        go_on = progress(job, ULVO_VFS_XFER_PHASE_READYTOGO);
    }
    gulong done = 0;
    for (Item &item : job->items) {
        if (!go_on || job->stopped)
            break;
        if (item.dropped || item.nodes.empty())
            continue;
        item.index_base = done;
        if (job->deleting())
            delete_item(job, item);
        else if (item.by_rename)
            move_item(job, item);
        else
            copy_item(job, item);
        done += item.nodes.size();
    }
    if (job->stopped)
        discard_pending(job);
    else
        commit_pending(job);
    complete(job);
}

} // namespace ulvo_xfer

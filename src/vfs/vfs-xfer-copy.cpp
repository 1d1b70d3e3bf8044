// Copying the nodes of one item. Each file is written under a temporary name
// beside its target; a batch of them is flushed with one syncfs() and only
// then renamed into place, and, for a move, only then are the sources
// deleted. One flush per batch instead of one fsync per file keeps small
// files nearly as fast as a plain copy, and each file's data is already on
// its way to the disk while the copy goes on, so that the flush has little
// left to wait for.
#include "vfs/vfs-xfer-private.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>
#include <algorithm>

namespace ulvo_xfer
{

namespace
{

const size_t BATCH_FILES = 256;
const guint64 BATCH_BYTES = 64 << 20;
// Data is copied and sent to the disk a window at a time: the disk writes
// one window while the next is copied, so that the flush before the rename
// finds little left, and at most two windows of a file wait in memory, so
// that progress and cancel stay prompt on slow cards too.
const off_t WINDOW = 8 << 20;
const size_t BUFFER_SIZE = 1 << 20;
// Room left in a 255-byte name for the dot, the mark and the random part.
const size_t NAME_KEPT = 200;

// A descriptor closed, and a temporary removed, unless handed on.
struct OpenFile {
    int fd = -1;
    std::string temp;
    ~OpenFile()
    {
        if (fd >= 0)
            close(fd);
        if (!temp.empty())
            unlink(temp.c_str());
    }
};

std::string temp_name_for(const std::string &target)
{
    gchar *folder = g_path_get_dirname(target.c_str());
    gchar *name = g_path_get_basename(target.c_str());
    std::string kept = name;
    if (kept.size() > NAME_KEPT) {
        const gchar *cut = g_utf8_find_prev_char(name, name + NAME_KEPT + 1);
        kept.resize(cut && g_utf8_validate(name, -1, nullptr) ? size_t(cut - name) : NAME_KEPT);
    }
    static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string random;
    for (int i = 0; i < ULVO_XFER_PART_RANDOM; i++)
        random += letters[g_random_int_range(0, sizeof letters - 1)];
    std::string result = std::string(folder) + "/." + kept + ULVO_XFER_PART_MARK + random;
    g_free(folder);
    g_free(name);
    return result;
}

// Makes a fresh temporary beside `target` with `make`; -1 with errno.
template <typename Make> int make_temp(const std::string &target, std::string *temp, Make make)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        *temp = temp_name_for(target);
        int rc = make(temp->c_str());
        if (rc >= 0 || errno != EEXIST)
            return rc;
    }
    return -1;
}

bool default_perms(const Job *job)
{
    return job->options & ULVO_VFS_XFER_TARGET_DEFAULT_PERMS;
}

// Skips a node: what it holds stays where it is.
bool skip_node(Item &item, size_t index)
{
    mark_failed(item, index);
    return true;
}

// Answers an errno failure of a node: RETRY, or false to stop, or true
// having skipped it.
Action node_failed(Job *job, Item &item, size_t index, int errnum, UlvoVfsXferPhase phase)
{
    Action action = errno_error(job, errnum, phase);
    if (action == Action::SKIP)
        skip_node(item, index);
    return action;
}

// Starts writing [from, from + length) of `fd` to the disk (to its end for
// length 0) and, with `wait_before`, waits for what was started before.
// 0 or an errno; file systems that cannot are simply left to the flush.
int start_writeback(int fd, off_t from, off_t length, bool wait_before)
{
    unsigned flags = SYNC_FILE_RANGE_WRITE | (wait_before ? SYNC_FILE_RANGE_WAIT_BEFORE : 0);
    if (sync_file_range(fd, from, length, flags) == 0)
        return 0;
    return errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == ESPIPE ? 0 : errno;
}

// Sends every full window up to `copied` on its way to the disk, having
// waited for the window before it; 0 or an errno.
int write_back_windows(int fd, off_t copied, off_t *started)
{
    while (copied - *started >= WINDOW) {
        int errnum = *started >= WINDOW ? start_writeback(fd, *started - WINDOW, WINDOW, true) : 0;
        if (errnum == 0)
            errnum = start_writeback(fd, *started, WINDOW, false);
        if (errnum != 0)
            return errnum;
        *started += WINDOW;
    }
    return 0;
}

// One step of the copy: in the kernel where it can, else through the
// buffer. The bytes copied, 0 at the end, or -1 with errno and *phase.
ssize_t copy_step(Job *job, int from, int to, bool *by_range, UlvoVfsXferPhase *phase)
{
    if (*by_range) {
        ssize_t n = copy_file_range(from, nullptr, to, nullptr, size_t(WINDOW), 0);
        if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                      errno == EBADF)) {
            *by_range = false;
            return copy_step(job, from, to, by_range, phase);
        }
        *phase = ULVO_VFS_XFER_PHASE_WRITETARGET;
        return n;
    }
    if (job->buffer.empty())
        job->buffer.resize(BUFFER_SIZE);
    *phase = ULVO_VFS_XFER_PHASE_READSOURCE;
    ssize_t n = read(from, job->buffer.data(), job->buffer.size());
    for (ssize_t done = 0; n > 0 && done < n;) {
        ssize_t w = write(to, job->buffer.data() + done, size_t(n - done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0) {
            *phase = ULVO_VFS_XFER_PHASE_WRITETARGET;
            return -1;
        }
        done += w;
    }
    return n;
}

// 0, or the errno of the failing call with its phase.
int copy_data(Job *job, int from, int to, UlvoVfsXferPhase *phase)
{
    bool by_range = true;
    off_t copied = 0, started = 0;
    for (;;) {
        ssize_t n = copy_step(job, from, to, &by_range, phase);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        *phase = ULVO_VFS_XFER_PHASE_WRITETARGET;
        if (n == 0)
            return start_writeback(to, started, 0, false);
        copied += n;
        if (int errnum = write_back_windows(to, copied, &started))
            return errnum;
        job->info.bytes_copied += guint64(n);
        job->info.total_bytes_copied += guint64(n);
        if (!progress(job, ULVO_VFS_XFER_PHASE_COPYING))
            return 0;
    }
}

void set_mtime(int fd, const char *path, const struct timespec &mtime)
{
    struct timespec times[2] = {{0, UTIME_OMIT}, mtime};
    // Attributes are kept where the file system can hold them.
    if (path)
        (void)utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW);
    else
        (void)futimens(fd, times);
}

void add_pending(Job *job, Item &item, size_t index, std::string temp, bool replace, dev_t device)
{
    job->pending.push_back({std::move(temp), &item, index, replace, device});
    job->pending_bytes += item.nodes[index].size;
    if (job->pending.size() >= BATCH_FILES || job->pending_bytes >= BATCH_BYTES)
        commit_pending(job);
}

// What replaces an existing target must be of a kind that can: a folder is
// never replaced by a file or a link.
Conflict check_replaceable(Job *job, Item &item, size_t index, UlvoVfsXferPhase phase)
{
    Conflict conflict = resolve_conflict(job, item, index, phase);
    struct stat st;
    if (conflict == Conflict::REPLACE && lstat(item.nodes[index].target.c_str(), &st) == 0 &&
        S_ISDIR(st.st_mode)) {
        Action action = error(job, ULVO_VFS_ERROR_IS_DIRECTORY, phase);
        return action == Action::ABORT ? Conflict::ABORT : Conflict::SKIP;
    }
    return conflict;
}

// Reports OPENTARGET and settles what is at the target. False when the job
// stops; a skipped node gives SKIP.
bool settle_target(Job *job, Item &item, size_t index, Conflict *conflict)
{
    if (!progress(job, ULVO_VFS_XFER_PHASE_OPENTARGET))
        return false;
    *conflict = check_replaceable(job, item, index, ULVO_VFS_XFER_PHASE_OPENTARGET);
    if (*conflict == Conflict::SKIP)
        skip_node(item, index);
    return *conflict != Conflict::ABORT;
}

// Copies one regular file into a pending temporary; false when the job stops.
bool copy_file(Job *job, Item &item, size_t index)
{
    for (;;) {
        Node &node = item.nodes[index];
        name_node(job, node, index == 0);
        if (!progress(job, ULVO_VFS_XFER_PHASE_OPENSOURCE))
            return false;
        OpenFile source;
        source.fd = open(node.source.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        struct stat st;
        if (source.fd < 0 || fstat(source.fd, &st) != 0) {
            Action action = node_failed(job, item, index, errno, ULVO_VFS_XFER_PHASE_OPENSOURCE);
            if (action == Action::RETRY)
                continue;
            return action != Action::ABORT;
        }
        // Keep the totals honest when the file changed since collecting.
        job->info.bytes_total += guint64(st.st_size) - node.size;
        node.size = guint64(st.st_size);
        job->info.file_size = node.size;
        if (st.st_size > WINDOW)
            (void)posix_fadvise(source.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        Conflict conflict;
        if (!settle_target(job, item, index, &conflict))
            return false;
        if (conflict == Conflict::SKIP)
            return true;
        mode_t mode = default_perms(job) ? (0666 | (node.mode & 0111)) : 0600;
        OpenFile target;
        target.fd = make_temp(node.target, &target.temp, [mode](const char *path) {
            return open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        });
        if (target.fd < 0) {
            target.temp.clear();
            Action action = node_failed(job, item, index, errno, ULVO_VFS_XFER_PHASE_OPENTARGET);
            if (action == Action::RETRY)
                continue;
            return action != Action::ABORT;
        }
        guint64 copied_before = job->info.total_bytes_copied;
        UlvoVfsXferPhase phase = ULVO_VFS_XFER_PHASE_COPYING;
        int errnum = copy_data(job, source.fd, target.fd, &phase);
        if (job->stopped)
            return false;
        if (errnum == 0 && node.size == 0 && !progress(job, ULVO_VFS_XFER_PHASE_COPYING))
            return false;
        if (errnum == 0 && !progress(job, ULVO_VFS_XFER_PHASE_CLOSESOURCE))
            return false;
        if (errnum == 0 && !default_perms(job) && fchmod(target.fd, node.mode & 07777) != 0 &&
            errno != EPERM)
            errnum = errno, phase = ULVO_VFS_XFER_PHASE_SETATTRIBUTES;
        set_mtime(target.fd, nullptr, node.mtime);
        struct stat written;
        if (errnum == 0 && fstat(target.fd, &written) != 0)
            errnum = errno, phase = ULVO_VFS_XFER_PHASE_CLOSETARGET;
        if (errnum == 0 && !progress(job, ULVO_VFS_XFER_PHASE_CLOSETARGET))
            return false;
        int closed = close(target.fd);
        target.fd = -1;
        if (errnum == 0 && closed != 0)
            errnum = errno, phase = ULVO_VFS_XFER_PHASE_CLOSETARGET;
        if (errnum != 0) {
            unlink(target.temp.c_str());
            target.temp.clear();
            job->info.total_bytes_copied = copied_before;
            Action action = node_failed(job, item, index, errnum, phase);
            if (action == Action::RETRY)
                continue;
            return action != Action::ABORT;
        }
        add_pending(job, item, index, std::move(target.temp), conflict == Conflict::REPLACE,
                    written.st_dev);
        target.temp.clear();
        return !job->stopped;
    }
}

bool copy_link(Job *job, Item &item, size_t index)
{
    for (;;) {
        Node &node = item.nodes[index];
        name_node(job, node, index == 0);
        Conflict conflict;
        if (!settle_target(job, item, index, &conflict))
            return false;
        if (conflict == Conflict::SKIP)
            return true;
        std::string temp;
        const std::string &text = node.link_text;
        struct stat st;
        if (make_temp(node.target, &temp,
                      [&text](const char *path) { return symlink(text.c_str(), path); }) != 0 ||
            lstat(temp.c_str(), &st) != 0) {
            Action action = node_failed(job, item, index, errno, ULVO_VFS_XFER_PHASE_OPENTARGET);
            if (action == Action::RETRY)
                continue;
            return action != Action::ABORT;
        }
        set_mtime(-1, temp.c_str(), node.mtime);
        add_pending(job, item, index, std::move(temp), conflict == Conflict::REPLACE, st.st_dev);
        return !job->stopped;
    }
}

// Makes (or takes over) the target folder of a node; false when the job stops.
bool open_folder(Job *job, Item &item, size_t index, bool *skipped)
{
    Node &node = item.nodes[index];
    name_node(job, node, index == 0);
    if (!progress(job, ULVO_VFS_XFER_PHASE_OPENTARGET))
        return false;
    mode_t mode = default_perms(job) ? 0777 : ((node.mode & 07777) | S_IRWXU);
    for (;;) {
        if (mkdir(node.target.c_str(), mode) == 0)
            return true;
        int errnum = errno;
        struct stat st;
        if (errnum == EEXIST && lstat(node.target.c_str(), &st) == 0) {
            // Inside a folder being merged, folders merge too.
            if (S_ISDIR(st.st_mode) && index != 0) {
                node.merged = true;
                return true;
            }
            Conflict conflict = resolve_conflict(job, item, index, ULVO_VFS_XFER_PHASE_OPENTARGET);
            if (conflict == Conflict::ABORT)
                return false;
            if (conflict == Conflict::SKIP) {
                *skipped = skip_node(item, index);
                return true;
            }
            if (conflict == Conflict::REPLACE && S_ISDIR(st.st_mode)) {
                node.merged = true;
                return true;
            }
            if (conflict == Conflict::REPLACE && unlink(node.target.c_str()) == 0)
                continue;
            errnum = errno;
        }
        Action action = node_failed(job, item, index, errnum, ULVO_VFS_XFER_PHASE_OPENTARGET);
        if (action == Action::RETRY)
            continue;
        *skipped = action == Action::SKIP;
        return action != Action::ABORT;
    }
}

// Deletes a source whose target is in place (moving); false when the job
// stops.
bool delete_source(Job *job, Item &item, size_t index)
{
    Node &node = item.nodes[index];
    for (;;) {
        int rc =
            node.kind == Kind::FOLDER ? rmdir(node.source.c_str()) : unlink(node.source.c_str());
        if (rc == 0 || errno == ENOENT)
            return true;
        // Something new appeared in the folder: it stays, with what it holds.
        if (errno == ENOTEMPTY || errno == EEXIST)
            return skip_node(item, index);
        if (job->stopped)
            return false;
        name_node(job, node, index == 0);
        Action action = node_failed(job, item, index, errno, ULVO_VFS_XFER_PHASE_DELETESOURCE);
        if (action != Action::RETRY)
            return action != Action::ABORT;
    }
}

// Sets a finished folder's own attributes and, moving, removes its source.
bool close_folder(Job *job, Item &item, size_t index)
{
    commit_pending(job);
    if (job->stopped)
        return false;
    Node &node = item.nodes[index];
    if (!node.merged) {
        if (!default_perms(job))
            (void)chmod(node.target.c_str(), node.mode & 07777);
        set_mtime(-1, node.target.c_str(), node.mtime);
    }
    if (!job->moving() || node.failed)
        return true;
    name_node(job, node, index == 0);
    return progress(job, ULVO_VFS_XFER_PHASE_DELETESOURCE) && delete_source(job, item, index);
}

bool copy_node(Job *job, Item &item, size_t index, size_t *next)
{
    Node &node = item.nodes[index];
    job->info.file_index = item.index_base + index + 1;
    *next = index + 1;
    switch (node.kind) {
    case Kind::FOLDER: {
        bool skipped = false;
        if (!open_folder(job, item, index, &skipped))
            return false;
        if (skipped) {
            *next = node.end;
            return true;
        }
        break;
    }
    case Kind::LINK:
        return copy_link(job, item, index);
    case Kind::FILE:
        return copy_file(job, item, index);
    case Kind::SPECIAL:
        for (;;) {
            name_node(job, node, index == 0);
            Action action =
                error(job, ULVO_VFS_ERROR_NOT_SUPPORTED, ULVO_VFS_XFER_PHASE_OPENSOURCE);
            if (action == Action::SKIP)
                return skip_node(item, index);
            if (action == Action::ABORT)
                return false;
        }
    }
    return progress(job, ULVO_VFS_XFER_PHASE_FILECOMPLETED);
}

} // namespace

void copy_item(Job *job, Item &item)
{
    std::vector<size_t> open_folders;
    size_t next = 0;
    for (size_t index = 0; index < item.nodes.size() && !job->stopped; index = next) {
        while (!open_folders.empty() && item.nodes[open_folders.back()].end <= index) {
            size_t folder = open_folders.back();
            open_folders.pop_back();
            if (!close_folder(job, item, folder))
                return;
        }
        if (!copy_node(job, item, index, &next))
            return;
        if (item.nodes[index].kind == Kind::FOLDER && next == index + 1)
            open_folders.push_back(index);
    }
    while (!open_folders.empty() && !job->stopped) {
        size_t folder = open_folders.back();
        open_folders.pop_back();
        close_folder(job, item, folder);
    }
    if (!job->stopped)
        commit_pending(job);
}

void discard_pending(Job *job)
{
    for (Pending &p : job->pending) {
        unlink(p.temp.c_str());
        mark_failed(*p.item, p.node);
    }
    job->pending.clear();
    job->pending_bytes = 0;
}

// Flushes every file system that holds a pending file; 0 or an errno.
static int flush_pending(const std::vector<Pending> &pending)
{
    std::vector<dev_t> flushed;
    for (const Pending &p : pending) {
        if (std::find(flushed.begin(), flushed.end(), p.device) != flushed.end())
            continue;
        gchar *folder = g_path_get_dirname(p.temp.c_str());
        int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        g_free(folder);
        if (fd < 0 || syncfs(fd) != 0) {
            int errnum = errno;
            if (fd >= 0)
                close(fd);
            return errnum;
        }
        close(fd);
        flushed.push_back(p.device);
    }
    return 0;
}

// Renames one flushed file into place; false when it did not get there.
static bool put_in_place(Job *job, Pending &p)
{
    Node &node = p.item->nodes[p.node];
    for (;;) {
        int rc = p.replace ? rename(p.temp.c_str(), node.target.c_str())
                           : rename_no_replace(p.temp.c_str(), node.target.c_str());
        if (rc == 0)
            return true;
        int errnum = errno;
        name_node(job, node, p.node == 0);
        if (job->stopped || node_failed(job, *p.item, p.node, errnum,
                                        ULVO_VFS_XFER_PHASE_CLOSETARGET) != Action::RETRY) {
            unlink(p.temp.c_str());
            return false;
        }
    }
}

void commit_pending(Job *job)
{
    if (job->pending.empty())
        return;
    std::vector<Pending> batch;
    batch.swap(job->pending);
    job->pending_bytes = 0;
    for (int errnum; (errnum = flush_pending(batch)) != 0;) {
        name_node(job, batch.front().item->nodes[batch.front().node], batch.front().node == 0);
        if (errno_error(job, errnum, ULVO_VFS_XFER_PHASE_CLOSETARGET) != Action::RETRY) {
            job->pending.swap(batch);
            discard_pending(job);
            return;
        }
    }
    std::vector<Pending *> placed;
    for (Pending &p : batch) {
        if (job->stopped) {
            unlink(p.temp.c_str());
            mark_failed(*p.item, p.node);
            continue;
        }
        if (!put_in_place(job, p))
            continue;
        placed.push_back(&p);
        Node &node = p.item->nodes[p.node];
        name_node(job, node, p.node == 0);
        job->info.file_index = p.item->index_base + p.node + 1;
        progress(job, ULVO_VFS_XFER_PHASE_FILECOMPLETED);
    }
    if (!job->moving() || placed.empty())
        return;
    // The new names must be on the medium before the old files go.
    if (flush_pending(batch) != 0) {
        for (Pending *p : placed)
            mark_failed(*p->item, p->node);
        return;
    }
    // Once a target has its name its source goes, cancelled or not, so that
    // no file is left in both places.
    for (Pending *p : placed) {
        Node &node = p->item->nodes[p->node];
        name_node(job, node, p->node == 0);
        if (!job->stopped)
            progress(job, ULVO_VFS_XFER_PHASE_DELETESOURCE);
        delete_source(job, *p->item, p->node);
    }
}

} // namespace ulvo_xfer

// Collecting the trees of a transfer before the first byte moves, so that
// its totals are known from the start.
#include "vfs/vfs-xfer-private.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cstring>

namespace ulvo_xfer
{

namespace
{

const size_t COLLECT_REPORT_EVERY = 256;

Kind kind_of(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::FILE;
    if (S_ISDIR(mode))
        return Kind::FOLDER;
    if (S_ISLNK(mode))
        return Kind::LINK;
    return Kind::SPECIAL;
}

std::string read_link(const std::string &path)
{
    gchar *text = g_file_read_link(path.c_str(), nullptr);
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

size_t add_node(Item &item, const std::string &source, const std::string &target,
                const struct stat &st, size_t parent)
{
    Node node;
    node.source = source;
    node.target = target;
    node.kind = kind_of(st.st_mode);
    node.size = node.kind == Kind::FILE ? guint64(st.st_size) : 0;
    node.mode = st.st_mode;
    node.mtime = st.st_mtim;
    if (node.kind == Kind::LINK)
        node.link_text = read_link(source);
    node.parent = parent;
    item.nodes.push_back(std::move(node));
    return item.nodes.size() - 1;
}

std::string child_path(const std::string &folder, const char *name)
{
    return folder.empty() ? "" : folder + "/" + name;
}

bool is_ancestor_folder(const Item &item, size_t index, const struct stat &st)
{
    for (size_t i = index; i != SIZE_MAX; i = item.nodes[i].parent) {
        struct stat seen;
        if (stat(item.nodes[i].source.c_str(), &seen) == 0 && seen.st_dev == st.st_dev &&
            seen.st_ino == st.st_ino)
            return true;
    }
    return false;
}

// The sorted names in a folder, or -1 with errno.
int list_folder(const std::string &path, std::vector<std::string> *names)
{
    DIR *dir = opendir(path.c_str());
    if (!dir)
        return -1;
    errno = 0;
    while (struct dirent *entry = readdir(dir)) {
        if (strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0)
            names->push_back(entry->d_name);
    }
    int saved = errno;
    closedir(dir);
    errno = saved;
    if (saved)
        return -1;
    std::sort(names->begin(), names->end());
    return 0;
}

bool walk(Job *job, Item &item, size_t index);

// Answers a failure to read `path`, inside node `index`: true to try again,
// else *go_on says whether the job goes on (without what was skipped).
bool retry_collect(Job *job, Item &item, size_t index, const std::string &path, int errnum,
                   bool *go_on)
{
    name_paths(job, path, "");
    Action action = errno_error(job, errnum, ULVO_VFS_XFER_PHASE_COLLECTING);
    if (action == Action::SKIP)
        mark_failed(item, index);
    *go_on = action != Action::ABORT;
    return action == Action::RETRY;
}

// Adds one entry of a folder; false when the job stopped.
bool add_child(Job *job, Item &item, size_t index, const std::string &name)
{
    const bool follow = job->options & ULVO_VFS_XFER_FOLLOW_LINKS_RECURSIVE;
    const std::string source = item.nodes[index].source + "/" + name;
    struct stat st;
    for (;;) {
        int rc = follow ? stat(source.c_str(), &st) : lstat(source.c_str(), &st);
        if (rc == 0)
            break;
        bool go_on = true;
        // Gone since the listing: nothing to transfer.
        if (errno == ENOENT || !retry_collect(job, item, index, source, errno, &go_on))
            return go_on;
    }
    if ((job->options & ULVO_VFS_XFER_SAMEFS)) {
        struct stat folder;
        if (lstat(item.nodes[index].source.c_str(), &folder) == 0 && folder.st_dev != st.st_dev) {
            mark_failed(item, index);
            return true;
        }
    }
    if (follow && S_ISDIR(st.st_mode) && is_ancestor_folder(item, index, st)) {
        name_paths(job, source, "");
        Action action = error(job, ULVO_VFS_ERROR_LOOP, ULVO_VFS_XFER_PHASE_COLLECTING);
        if (action != Action::ABORT)
            mark_failed(item, index);
        return action != Action::ABORT;
    }
    size_t child =
        add_node(item, source, child_path(item.nodes[index].target, name.c_str()), st, index);
    if (item.nodes.size() % COLLECT_REPORT_EVERY == 0) {
        set_names(job, "", "");
        if (!progress(job, ULVO_VFS_XFER_PHASE_COLLECTING))
            return false;
    }
    bool go_on = item.nodes[child].kind != Kind::FOLDER || walk(job, item, child);
    item.nodes[child].end = item.nodes.size();
    return go_on;
}

bool walk(Job *job, Item &item, size_t index)
{
    std::vector<std::string> names;
    while (list_folder(item.nodes[index].source, &names) != 0) {
        names.clear();
        bool go_on = true;
        if (!retry_collect(job, item, index, item.nodes[index].source, errno, &go_on))
            return go_on;
    }
    for (const std::string &name : names) {
        if (!add_child(job, item, index, name))
            return false;
    }
    return true;
}

} // namespace

void mark_failed(Item &item, size_t index)
{
    for (size_t i = index; i != SIZE_MAX; i = item.nodes[i].parent)
        item.nodes[i].failed = true;
}

bool collect_item(Job *job, Item &item)
{
    const bool follow =
        !job->deleting() &&
        (job->options & (ULVO_VFS_XFER_FOLLOW_LINKS | ULVO_VFS_XFER_FOLLOW_LINKS_RECURSIVE));
    struct stat st;
    for (;;) {
        int rc = follow ? stat(item.source.c_str(), &st) : lstat(item.source.c_str(), &st);
        if (rc == 0)
            break;
        set_names(job, item.source_uri, item.target_uri);
        Action action = errno_error(job, errno, ULVO_VFS_XFER_PHASE_COLLECTING);
        if (action == Action::RETRY)
            continue;
        item.dropped = action == Action::SKIP;
        return action != Action::ABORT;
    }
    item.nodes.clear();
    add_node(item, item.source, item.target, st, SIZE_MAX);
    bool go_on = true;
    if (S_ISDIR(st.st_mode) && !item.by_rename) {
        if (job->options & ULVO_VFS_XFER_RECURSIVE) {
            go_on = walk(job, item, 0);
        } else if (!job->deleting()) {
            set_names(job, item.source_uri, item.target_uri);
            Action action = error(job, ULVO_VFS_ERROR_IS_DIRECTORY, ULVO_VFS_XFER_PHASE_COLLECTING);
            item.dropped = action != Action::ABORT;
            item.nodes.clear();
            return action != Action::ABORT;
        }
    }
    if (!item.nodes.empty())
        item.nodes[0].end = item.nodes.size();
    return go_on;
}

} // namespace ulvo_xfer

// Inside the transfer: the job a worker runs, its items and their nodes.
#pragma once

#include "vfs/vfs-xfer.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <string>
#include <vector>

// Temporary names: "." + name + ULVO_XFER_PART_MARK + random letters.
#define ULVO_XFER_PART_MARK ".ulvo-part-"
#define ULVO_XFER_PART_RANDOM 6

namespace ulvo_xfer
{

enum class Kind { FILE, FOLDER, LINK, SPECIAL };

// One file, folder or link, in pre-order within its item.
struct Node {
    std::string source;
    std::string target; // empty for a delete
    Kind kind = Kind::FILE;
    guint64 size = 0;
    mode_t mode = 0;
    struct timespec mtime = {};
    std::string link_text;
    size_t parent = SIZE_MAX;
    size_t end = 0; // one past the last node of its subtree
    // Not (completely) transferred: its source and the folders above stay.
    bool failed = false;
    // A folder that existed at the target and takes the new contents.
    bool merged = false;
};

// One pair of the caller's lists.
struct Item {
    std::string source_uri;
    std::string target_uri;
    std::string source; // local paths, empty when the URI names none
    std::string target;
    bool dropped = false; // skipped before it started
    bool by_rename = false;
    // The user already let the item replace what is at its target.
    bool replace_confirmed = false;
    // file_index of the item's first node, less one.
    gulong index_base = 0;
    std::vector<Node> nodes;
};

// A file written under its temporary name, waiting for the flush that lets
// it take its name.
struct Pending {
    std::string temp;
    Item *item;
    size_t node;
    bool replace;
    dev_t device;
};

enum class Action { GO_ON, RETRY, SKIP, ABORT };

struct Job {
    UlvoVfsAsyncHandle *handle = nullptr; // null: run on the caller's thread
    UlvoVfsXferProgressCallback sync_callback = nullptr;
    gpointer sync_data = nullptr;
    guint options = 0;
    UlvoVfsXferErrorMode error_mode = ULVO_VFS_XFER_ERROR_MODE_QUERY;
    UlvoVfsXferOverwriteMode overwrite_mode = ULVO_VFS_XFER_OVERWRITE_MODE_QUERY;
    std::vector<Item> items;
    UlvoVfsXferProgressInfo info = {};
    // What info's names point into.
    std::string source_name;
    std::string target_name;
    bool replace_all = false;
    bool skip_all = false;
    bool stopped = false;
    UlvoVfsResult result = ULVO_VFS_OK;
    std::vector<Pending> pending;
    guint64 pending_bytes = 0;
    std::vector<char> buffer;

    bool deleting() const { return options & ULVO_VFS_XFER_DELETE_ITEMS; }
    bool moving() const { return options & ULVO_VFS_XFER_REMOVESOURCE; }
};

// vfs-xfer.cpp: delivery of one report; the answer of whoever answers it.
gint deliver(Job *job);
bool cancelled(Job *job);

// vfs-xfer-report.cpp
// Text URIs; "" for none.
void set_names(Job *job, const std::string &source, const std::string &target);
// Local paths; "" for none.
void name_paths(Job *job, const std::string &source, const std::string &target);
gint report(Job *job, UlvoVfsXferProgressStatus status, UlvoVfsResult result,
            UlvoVfsXferPhase phase);
// An OK report; false when the transfer is to stop.
bool progress(Job *job, UlvoVfsXferPhase phase);
// Asks what to do about an error (or decides it in error mode ABORT).
Action error(Job *job, UlvoVfsResult result, UlvoVfsXferPhase phase);
Action errno_error(Job *job, int errnum, UlvoVfsXferPhase phase);
void stop(Job *job, UlvoVfsResult result);
// Names a node in the reports; `top` for a node of the caller's list.
void name_node(Job *job, const Node &node, bool top);

// vfs-xfer-collect.cpp
// Fills item.nodes from the disk; false when the job stopped meanwhile.
bool collect_item(Job *job, Item &item);
void mark_failed(Item &item, size_t index);

// vfs-xfer-conflict.cpp
enum class Conflict { NONE, REPLACE, SKIP, ABORT };
// What to do about what is at the node's target; NONE when nothing is.
Conflict resolve_conflict(Job *job, Item &item, size_t index, UlvoVfsXferPhase phase);
// rename(2) that never replaces an existing target.
int rename_no_replace(const char *from, const char *to);
// TRUE when `to` is `from` spelt in other letter case on a file system that
// ignores case: the same file, not one to replace.
bool is_letter_case_change(const char *from, const char *to);
// Gives `from` the spelling `to` where rename(2) takes that for nothing to
// do; `from` keeps its name when that fails.
int rename_letter_case(const char *from, const char *to);

// vfs-xfer-copy.cpp
// Copies (or, moving, transfers) the nodes of one item.
void copy_item(Job *job, Item &item);
// Puts the pending files in place (and, moving, deletes their sources).
void commit_pending(Job *job);
void discard_pending(Job *job);

// vfs-xfer-job.cpp
void run_job(Job *job);

} // namespace ulvo_xfer

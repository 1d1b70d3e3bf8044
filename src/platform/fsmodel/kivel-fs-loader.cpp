// Loading a folder's children and following it afterwards. A load reads the
// folder in batches on GIO's worker threads and inserts the rows from an idle
// callback in slices of a few milliseconds, so that the window stays
// responsive while a folder of any size fills. A monitor keeps a loaded
// folder in step with the disk.
#include "platform/fsmodel/kivel-fs-private.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <string>
#include <sys/stat.h>
#include <vector>

// What the rows show and the listing rules read. On local files the mode
// bits tell whether the owner may write; asking "access::can-write" as well
// would cost an access() call per file. Other locations may lack mode bits.
#define FS_COMMON_ATTRIBUTES                                                                       \
    "standard::name,standard::display-name,standard::type,standard::size,"                         \
    "standard::is-hidden,standard::fast-content-type,time::modified,unix::mode"
static const char *const FS_LOCAL_ATTRIBUTES = FS_COMMON_ATTRIBUTES;
static const char *const FS_REMOTE_ATTRIBUTES = FS_COMMON_ATTRIBUTES ",access::can-write";
// Entries read per trip to the worker thread.
static const int FS_BATCH = 500;
// Longest time one idle callback spends inserting rows.
static gint64 fs_slice_us = 15000;
// Below the default, so that input and redraws go first.
static const int FS_PRIORITY = G_PRIORITY_DEFAULT_IDLE;
// While a folder fills, slices go ahead of redraws, which would otherwise
// follow every slice and cost as much as it; the window is redrawn at
// intervals of FS_PAINT_US instead. Input still goes first.
static const int FS_FILL_PRIORITY = GDK_PRIORITY_REDRAW - 5;
static const gint64 FS_PAINT_US = 100000;

// What reading a folder tells of one child.
struct FsEntry {
    gchar *name;
    gchar *display; // shown instead of the name, or NULL
    const gchar *mime;
    gint64 size;
    gint64 mtime;
    bool folder;
    bool readonly;
    bool hidden;
};

static void entry_free(gpointer data)
{
    auto *entry = static_cast<FsEntry *>(data);
    g_free(entry->name);
    g_free(entry->display);
    g_free(entry);
}

struct FsLoadJob {
    int refs;
    KivelFileSystemModel *model; // referenced while the job lives
    FsNode *node;                // NULL once the folder's row went away
    GFile *dir;
    GCancellable *cancellable;
    GFileEnumerator *enumerator; // for folders that are not local
    // A local folder is read straight from the system, on a worker thread.
    DIR *local;
    GHashTable *hidden; // names the folder's ".hidden" lists, or NULL
    bool native;
    GQueue entries; // FsEntry* read, not inserted yet
    gsize started;  // the change clock when reading began
    bool reload;
    bool reading; // an enumerator call is outstanding
    bool at_end;
    bool draining;   // an idle callback is scheduled
    gint64 paint_at; // when the slices next give way to a redraw
};

static FsLoadJob *job_ref(FsLoadJob *job)
{
    job->refs++;
    return job;
}

static void job_unref(gpointer data)
{
    auto *job = static_cast<FsLoadJob *>(data);
    if (--job->refs > 0)
        return;
    g_queue_clear_full(&job->entries, entry_free);
    g_clear_object(&job->enumerator);
    g_clear_pointer(&job->local, closedir);
    g_clear_pointer(&job->hidden, g_hash_table_destroy);
    g_object_unref(job->cancellable);
    g_object_unref(job->dir);
    g_object_unref(job->model);
    g_free(job);
}

// Stops a job whose folder no longer wants it; callbacks still outstanding
// see `node` cleared and release their references.
static void job_cancel(FsLoadJob *job)
{
    job->node = nullptr;
    g_cancellable_cancel(job->cancellable);
    g_queue_clear_full(&job->entries, entry_free);
    job_unref(job);
}

// ---- the change clock ----

// Counts the changes of all folders; read and set with the GDK lock held.
static gsize change_clock;

static void note_change(FsFolder *folder, const gchar *name)
{
    g_hash_table_replace(folder->last_event, g_strdup(name), GSIZE_TO_POINTER(++change_clock));
}

// TRUE when `name` changed after the clock showed `since`.
static bool changed_since(FsFolder *folder, const gchar *name, gsize since)
{
    return name && g_hash_table_size(folder->last_event) &&
           GPOINTER_TO_SIZE(g_hash_table_lookup(folder->last_event, name)) > since;
}

// Changes matter only to reads that started before them.
static void forget_changes_when_idle(FsFolder *folder)
{
    if (!folder->job && !folder->pending)
        g_hash_table_remove_all(folder->last_event);
}

// ---- rows from file information ----

static const char *attributes_for(GFile *location)
{
    return g_file_is_native(location) ? FS_LOCAL_ATTRIBUTES : FS_REMOTE_ATTRIBUTES;
}

static bool should_list(FsNode *parent, const FsEntry *entry)
{
    if (fs_special_folder_type(parent, entry->name))
        return entry->folder;
    return entry->name[0] != '.' && !entry->hidden;
}

static bool info_says_readonly(GFileInfo *info)
{
    if (g_file_info_has_attribute(info, G_FILE_ATTRIBUTE_UNIX_MODE))
        return !(g_file_info_get_attribute_uint32(info, G_FILE_ATTRIBUTE_UNIX_MODE) & S_IWUSR);
    if (g_file_info_has_attribute(info, G_FILE_ATTRIBUTE_ACCESS_CAN_WRITE))
        return !g_file_info_get_attribute_boolean(info, G_FILE_ATTRIBUTE_ACCESS_CAN_WRITE);
    return false;
}

// (transfer full) NULL when `info` has no name.
static FsEntry *entry_from_info(GFileInfo *info)
{
    const gchar *name = g_file_info_get_name(info);
    if (!name)
        return nullptr;
    auto *entry = g_new0(FsEntry, 1);
    entry->name = g_strdup(name);
    entry->folder = g_file_info_get_file_type(info) == G_FILE_TYPE_DIRECTORY;
    const gchar *type =
        g_file_info_get_attribute_string(info, G_FILE_ATTRIBUTE_STANDARD_FAST_CONTENT_TYPE);
    entry->mime = type ? g_intern_string(type) : nullptr;
    if (!entry->mime && entry->folder)
        entry->mime = g_intern_static_string("inode/directory");
    entry->size = gint64(g_file_info_get_attribute_uint64(info, G_FILE_ATTRIBUTE_STANDARD_SIZE));
    entry->mtime = gint64(g_file_info_get_attribute_uint64(info, G_FILE_ATTRIBUTE_TIME_MODIFIED));
    entry->readonly = info_says_readonly(info);
    entry->hidden = g_file_info_get_attribute_boolean(info, G_FILE_ATTRIBUTE_STANDARD_IS_HIDDEN);
    const gchar *shown =
        g_file_info_get_attribute_string(info, G_FILE_ATTRIBUTE_STANDARD_DISPLAY_NAME);
    if (shown && strcmp(shown, name) != 0)
        entry->display = g_strdup(shown);
    return entry;
}

// Sets the columns of `node` from `entry`; TRUE when any of them changed.
static bool fill_from_entry(FsNode *node, FsNode *parent, const FsEntry *entry)
{
    const gchar *name = node->name;
    bool folder = entry->folder;
    int special = fs_special_folder_type(parent, name);
    const gchar *mime = entry->mime;
    gint64 size = entry->size;
    gint64 mtime = entry->mtime;
    bool readonly = entry->readonly;
    guint8 item_type =
        special ? special
                : (folder ? KIVEL_FILE_SYSTEM_MODEL_FOLDER : KIVEL_FILE_SYSTEM_MODEL_FILE);
    guint8 icon = special ? fs_special_folder_icon(special)
                          : (folder ? FS_ICON_FOLDER : fs_icon_for_content_type(mime));
    const gchar *shown = entry->display;

    bool changed = node->is_folder != folder || node->mime != mime || node->size != size ||
                   node->mtime != mtime || node->readonly != readonly ||
                   node->item_type != item_type || node->icon != icon ||
                   g_strcmp0(node->display, shown) != 0 || !node->available;
    if (!changed)
        return false;
    node->is_folder = folder;
    if (folder)
        fs_node_keep_uri(node);
    node->mime = mime;
    node->size = size;
    node->mtime = mtime;
    node->readonly = readonly;
    node->item_type = item_type;
    node->icon = icon;
    node->title_id = special ? fs_special_folder_title(special) : nullptr;
    if (g_strcmp0(node->display, shown) != 0) {
        g_free(node->display);
        node->display = g_strdup(shown);
    }
    node->available = 1;
    return true;
}

// Adds the row of `entry` under the loaded folder `parent`, or brings the
// row of that name up to date.
static void upsert_child(KivelFileSystemModel *model, FsNode *parent, const FsEntry *entry)
{
    const gchar *name = entry->name;
    if (!should_list(parent, entry))
        return;
    FsFolder *folder = parent->folder;
    FsNode *row = fs_node_child_by_name(parent, name);
    if (row) {
        bool unreadable = row->folder && row->folder->failed;
        row->generation = folder->generation;
        if (!fill_from_entry(row, parent, entry))
            return;
        if (!row->is_folder && row->folder)
            fs_model_unload(model, row);
        else if (unreadable)
            fs_reload_folder(model, row); // it is available again: try it
        fs_model_row_changed(model, row);
        return;
    }
    if (!*name || strchr(name, '/') || !parent->uri)
        return; // no URI can name it
    row = fs_node_new(nullptr, g_strdup(name));
    row->parent = parent; // a folder keeps the URI made from its folder's
    fill_from_entry(row, parent, entry);
    row->generation = folder->generation;
    fs_model_insert(model, parent, row, nullptr);
}

static void remove_child(KivelFileSystemModel *model, FsNode *parent, const gchar *name)
{
    FsNode *row = fs_node_child_by_name(parent, name);
    if (row)
        fs_model_remove(model, row);
}

// Rows a reload did not see are gone from the disk, unless they changed
// since it began: their own queries decide.
static void remove_unseen_children(KivelFileSystemModel *model, FsNode *node, gsize started)
{
    std::vector<std::string> stale;
    guint generation = node->folder->generation;
    for (GSequenceIter *it = g_sequence_get_begin_iter(node->children); !g_sequence_iter_is_end(it);
         it = g_sequence_iter_next(it)) {
        auto *child = static_cast<FsNode *>(g_sequence_get(it));
        if (!child->placeholder && child->generation != generation &&
            !changed_since(node->folder, child->name, started))
            stale.emplace_back(child->name);
    }
    for (const std::string &name : stale) {
        FsNode *child = fs_node_child_by_name(node, name.c_str());
        if (child && child->generation != generation)
            fs_model_remove(model, child);
    }
}

// ---- the load job ----

static void start_job(KivelFileSystemModel *model, FsNode *node, bool reload);
static void request_more(FsLoadJob *job);

// Called with the GDK lock held.
static void finish_job(FsLoadJob *job, GError *error)
{
    KivelFileSystemModel *model = job->model;
    FsNode *node = job->node;
    FsFolder *folder = node->folder;
    job->node = nullptr;
    folder->job = nullptr;
    // An open folder would keep its card from being unmounted.
    g_clear_object(&job->enumerator);
    g_clear_pointer(&job->local, closedir);

    if (error) {
        g_log(FS_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "Cannot read the folder %s: %s", node->uri,
              error->message);
        if (!job->reload || folder->failed) {
            node->available = 0;
            folder->failed = true;
        }
    } else {
        folder->failed = false;
        if (node->rank == FS_RANK_NONE)
            node->available = 1; // readable again
    }
    if (folder->placeholder)
        fs_model_remove(model, folder->placeholder);
    // A first load sees rows that a way load put there ahead of it, unless
    // they went away meanwhile.
    if (!error && node->children)
        remove_unseen_children(model, node, job->started);
    folder->state = FS_LOADED;
    fs_model_row_changed(model, node);
    if (folder->reload_again) {
        folder->reload_again = false;
        start_job(model, node, true);
    }
    forget_changes_when_idle(folder);
    job_unref(job); // the folder's reference
    fs_model_emit_finished_loading(model, node);
}

// Lets redraws go first at intervals while rows go in.
static void pace_redraws(FsLoadJob *job, gint64 start)
{
    GSource *self = g_main_current_source();
    if (g_source_get_priority(self) == FS_PRIORITY)
        job->paint_at = start + FS_PAINT_US; // a redraw just had its turn
    bool paint = g_get_monotonic_time() >= job->paint_at;
    g_source_set_priority(self, paint ? FS_PRIORITY : FS_FILL_PRIORITY);
}

static gboolean drain_entries(gpointer data)
{
    auto *job = static_cast<FsLoadJob *>(data);
    gint64 start = g_get_monotonic_time();
    // Views may make each row cost milliseconds: the clock is read per row.
    while (job->node && !g_queue_is_empty(&job->entries)) {
        auto *entry = static_cast<FsEntry *>(g_queue_pop_head(&job->entries));
        if (!changed_since(job->node->folder, entry->name, job->started))
            upsert_child(job->model, job->node, entry);
        entry_free(entry);
        if (g_get_monotonic_time() - start > fs_slice_us)
            break;
    }
    if (!job->node)
        return G_SOURCE_REMOVE;
    request_more(job);
    if (!g_queue_is_empty(&job->entries)) {
        pace_redraws(job, start);
        return G_SOURCE_CONTINUE;
    }
    job->draining = false;
    if (job->at_end)
        finish_job(job, nullptr);
    return G_SOURCE_REMOVE;
}

static void schedule_drain(FsLoadJob *job)
{
    if (job->draining)
        return;
    job->draining = true;
    gdk_threads_add_idle_full(FS_PRIORITY, drain_entries, job_ref(job), job_unref);
}

// Takes a batch read, the last one when `end`.
static void take_batch(FsLoadJob *job, GPtrArray *entries, bool end, GError *error)
{
    job->reading = false;
    if (!job->node)
        return;
    if (error)
        g_log(FS_LOG_DOMAIN, G_LOG_LEVEL_WARNING, "Reading the folder %s stopped: %s",
              job->node->uri, error->message);
    job->at_end = end || error;
    for (guint i = 0; entries && i < entries->len; i++)
        g_queue_push_tail(&job->entries, g_ptr_array_steal_index_fast(entries, i--));
    schedule_drain(job);
    request_more(job);
}

static void on_next_files(GObject *source, GAsyncResult *result, gpointer data)
{
    auto *job = static_cast<FsLoadJob *>(data);
    GError *error = nullptr;
    GList *infos = g_file_enumerator_next_files_finish(G_FILE_ENUMERATOR(source), result, &error);
    GPtrArray *entries = g_ptr_array_new_with_free_func(entry_free);
    for (GList *l = infos; l; l = l->next) {
        FsEntry *entry = entry_from_info(G_FILE_INFO(l->data));
        if (entry)
            g_ptr_array_add(entries, entry);
    }
    take_batch(job, entries, !infos, error);
    g_ptr_array_unref(entries);
    g_list_free_full(infos, g_object_unref);
    g_clear_error(&error);
    job_unref(job);
}

// ---- local folders ----

// Interned; by the name alone, as for a fast listing.
static const gchar *fs_content_type_by_name(const char *name)
{
    gchar *type = g_content_type_guess(name, nullptr, 0, nullptr);
    const gchar *interned = g_intern_string(type);
    g_free(type);
    return interned;
}

// The names the folder's ".hidden" file lists, one a line; NULL when none.
static GHashTable *read_hidden_names(GFile *dir)
{
    GFile *file = g_file_get_child(dir, ".hidden");
    gchar *text = nullptr;
    gsize length = 0;
    bool read = g_file_load_contents(file, nullptr, &text, &length, nullptr, nullptr);
    g_object_unref(file);
    if (!read)
        return nullptr;
    GHashTable *names = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, nullptr);
    gchar **lines = g_strsplit(text, "\n", -1);
    for (gchar **line = lines; *line; line++) {
        if (**line)
            g_hash_table_add(names, g_strdup(*line));
    }
    g_strfreev(lines);
    g_free(text);
    return names;
}

// The entry of a plain file or folder with a name that is its own display
// name, from what the system says of it; anything else is asked of GIO,
// which knows links, devices and names in other encodings.
static FsEntry *read_local_entry(FsLoadJob *job, const char *name, unsigned char type)
{
    struct stat st;
    bool plain = (type == DT_REG || type == DT_DIR || type == DT_UNKNOWN) &&
                 g_utf8_validate(name, -1, nullptr) &&
                 fstatat(dirfd(job->local), name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                 (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
    if (!plain) {
        GFile *file = g_file_get_child(job->dir, name);
        GFileInfo *info =
            g_file_query_info(file, FS_LOCAL_ATTRIBUTES, G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
        g_object_unref(file);
        FsEntry *entry = info ? entry_from_info(info) : nullptr;
        g_clear_object(&info);
        return entry;
    }
    auto *entry = g_new0(FsEntry, 1);
    entry->name = g_strdup(name);
    entry->folder = S_ISDIR(st.st_mode);
    if (entry->folder)
        entry->mime = g_intern_static_string("inode/directory");
    else if (st.st_size == 0)
        entry->mime = g_intern_static_string("text/plain"); // nothing says otherwise
    else
        entry->mime = fs_content_type_by_name(name);
    entry->size = st.st_size;
    entry->mtime = st.st_mtime;
    entry->readonly = !(st.st_mode & S_IWUSR);
    entry->hidden = job->hidden && g_hash_table_contains(job->hidden, name);
    return entry;
}

static void read_local_batch(GTask *task, gpointer, gpointer data, GCancellable *cancellable)
{
    auto *job = static_cast<FsLoadJob *>(data);
    if (!job->local) {
        gchar *path = g_file_get_path(job->dir);
        job->local = path ? opendir(path) : nullptr;
        int code = path ? errno : ENOENT;
        g_free(path);
        if (!job->local) {
            g_task_return_new_error(task, G_IO_ERROR, g_io_error_from_errno(code), "%s",
                                    g_strerror(code));
            return;
        }
        job->hidden = read_hidden_names(job->dir);
    }
    GPtrArray *entries = g_ptr_array_new_with_free_func(entry_free);
    while (entries->len < guint(FS_BATCH) && !g_cancellable_is_cancelled(cancellable)) {
        errno = 0;
        struct dirent *child = readdir(job->local);
        if (!child) {
            if (errno) {
                int code = errno;
                g_ptr_array_unref(entries);
                g_task_return_new_error(task, G_IO_ERROR, g_io_error_from_errno(code), "%s",
                                        g_strerror(code));
                return;
            }
            break;
        }
        const char *name = child->d_name;
        if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0)
            continue;
        FsEntry *entry = read_local_entry(job, name, child->d_type);
        if (entry)
            g_ptr_array_add(entries, entry);
    }
    g_task_return_pointer(task, entries, reinterpret_cast<GDestroyNotify>(g_ptr_array_unref));
}

static void on_local_batch(GObject *, GAsyncResult *result, gpointer data)
{
    auto *job = static_cast<FsLoadJob *>(data);
    GError *error = nullptr;
    auto *entries = static_cast<GPtrArray *>(g_task_propagate_pointer(G_TASK(result), &error));
    if (job->node && !job->local) {
        gdk_threads_enter();
        finish_job(job, error); // the folder cannot be opened
        gdk_threads_leave();
    } else {
        // A short batch is the last: the folder's end was reached.
        take_batch(job, entries, entries && entries->len < guint(FS_BATCH), error);
    }
    if (entries)
        g_ptr_array_unref(entries);
    g_clear_error(&error);
    job_unref(job);
}

static void request_more(FsLoadJob *job)
{
    if (job->reading || job->at_end || !job->node || (!job->enumerator && !job->native))
        return;
    if (g_queue_get_length(&job->entries) >= guint(2 * FS_BATCH))
        return;
    job->reading = true;
    if (job->native) {
        GTask *task = g_task_new(nullptr, job->cancellable, on_local_batch, job_ref(job));
        g_task_set_task_data(task, job, nullptr);
        g_task_run_in_thread(task, read_local_batch);
        g_object_unref(task);
        return;
    }
    g_file_enumerator_next_files_async(job->enumerator, FS_BATCH, FS_FILL_PRIORITY,
                                       job->cancellable, on_next_files, job_ref(job));
}

static void on_enumerated(GObject *source, GAsyncResult *result, gpointer data)
{
    auto *job = static_cast<FsLoadJob *>(data);
    GError *error = nullptr;
    job->enumerator = g_file_enumerate_children_finish(G_FILE(source), result, &error);
    job->reading = false;
    if (job->node && !job->enumerator) {
        gdk_threads_enter();
        finish_job(job, error);
        gdk_threads_leave();
    } else if (job->node) {
        request_more(job);
    }
    g_clear_error(&error);
    job_unref(job);
}

static void start_job(KivelFileSystemModel *model, FsNode *node, bool reload)
{
    auto *job = g_new0(FsLoadJob, 1);
    job->refs = 1; // the folder's
    job->model = KIVEL_FILE_SYSTEM_MODEL(g_object_ref(model));
    job->node = node;
    job->dir = G_FILE(g_object_ref(node->folder->dir));
    job->cancellable = g_cancellable_new();
    job->reload = reload;
    job->started = change_clock;
    g_queue_init(&job->entries);
    node->folder->job = job;
    if (reload)
        node->folder->generation++;

    job->native = g_file_is_native(job->dir);
    if (job->native) {
        request_more(job);
        return;
    }
    job->reading = true;
    g_file_enumerate_children_async(job->dir, attributes_for(job->dir), G_FILE_QUERY_INFO_NONE,
                                    FS_PRIORITY, job->cancellable, on_enumerated, job_ref(job));
}

// ---- following changes ----

struct FsUnmounted {
    KivelFileSystemModel *model;
    gchar *uri;
    gsize asked; // the change clock when it was reported
};

static gboolean on_unmounted_idle(gpointer data)
{
    auto *unmounted = static_cast<FsUnmounted *>(data);
    gdk_threads_enter();
    FsNode *holder = fs_roots_find_holder(unmounted->model, unmounted->uri);
    // Another folder's report has had the device root read again already.
    bool reread = holder && holder->folder && holder->folder->born > unmounted->asked;
    if (!reread)
        fs_roots_volume_went_away(unmounted->model, unmounted->uri);
    gdk_threads_leave();
    return G_SOURCE_REMOVE;
}

static void unmounted_free(gpointer data)
{
    auto *unmounted = static_cast<FsUnmounted *>(data);
    g_object_unref(unmounted->model);
    g_free(unmounted->uri);
    g_free(unmounted);
}

// Every watched folder of the file system reports it; the rows go once the
// monitors are done reporting.
static void schedule_unmounted(FsFolder *folder)
{
    auto *unmounted = g_new0(FsUnmounted, 1);
    unmounted->model = KIVEL_FILE_SYSTEM_MODEL(g_object_ref(folder->model));
    unmounted->uri = g_strdup(folder->node->uri);
    unmounted->asked = change_clock;
    g_idle_add_full(G_PRIORITY_DEFAULT, on_unmounted_idle, unmounted, unmounted_free);
}

static void on_folder_changed(GFileMonitor *, GFile *file, GFile *other, GFileMonitorEvent event,
                              gpointer data)
{
    auto *folder = static_cast<FsFolder *>(data);
    bool direct = g_file_has_parent(file, folder->dir);
    bool other_direct = other && g_file_has_parent(other, folder->dir);
    gchar *name = g_file_get_basename(file);
    gchar *other_name = other ? g_file_get_basename(other) : nullptr;

    gdk_threads_enter();
    KivelFileSystemModel *model = folder->model;
    FsNode *node = folder->node;
    switch (event) {
    case G_FILE_MONITOR_EVENT_CREATED:
    case G_FILE_MONITOR_EVENT_CHANGED:
    case G_FILE_MONITOR_EVENT_CHANGES_DONE_HINT:
    case G_FILE_MONITOR_EVENT_ATTRIBUTE_CHANGED:
    case G_FILE_MONITOR_EVENT_MOVED_IN:
        if (direct) {
            note_change(folder, name);
            fs_refresh_child(model, node, name);
        }
        break;
    case G_FILE_MONITOR_EVENT_DELETED:
    case G_FILE_MONITOR_EVENT_MOVED_OUT:
        if (direct) {
            note_change(folder, name);
            remove_child(model, node, name);
        }
        break;
    case G_FILE_MONITOR_EVENT_RENAMED:
        if (direct) {
            note_change(folder, name);
            remove_child(model, node, name);
        }
        if (other_direct) {
            note_change(folder, other_name);
            fs_refresh_child(model, node, other_name);
        }
        break;
    case G_FILE_MONITOR_EVENT_UNMOUNTED:
        schedule_unmounted(folder);
        break;
    default:
        break;
    }
    gdk_threads_leave();
    g_free(name);
    g_free(other_name);
}

static void watch_folder(FsFolder *folder)
{
    GError *error = nullptr;
    folder->monitor =
        g_file_monitor_directory(folder->dir, G_FILE_MONITOR_WATCH_MOVES, nullptr, &error);
    if (!folder->monitor) {
        g_log(FS_LOG_DOMAIN, G_LOG_LEVEL_DEBUG, "Not following %s: %s", folder->node->uri,
              error->message);
        g_error_free(error);
        return;
    }
    g_signal_connect(folder->monitor, "changed", G_CALLBACK(on_folder_changed), folder);
}

struct FsChildQuery {
    KivelFileSystemModel *model;
    gchar *folder_uri;
    gchar *name;
    gsize asked; // the change clock when the query was made
};

static void on_child_info(GObject *source, GAsyncResult *result, gpointer data)
{
    auto *query = static_cast<FsChildQuery *>(data);
    GError *error = nullptr;
    GFileInfo *info = g_file_query_info_finish(G_FILE(source), result, &error);

    gdk_threads_enter();
    // The folder is looked up again: its row may have gone meanwhile, and
    // a folder asked for after the query reads the child itself.
    FsNode *folder = fs_model_find(query->model, query->folder_uri);
    if (folder && folder->folder && query->asked >= folder->folder->born) {
        FsFolder *children = folder->folder;
        children->pending--;
        // A later change has a query of its own, or removed the row.
        bool current = !changed_since(children, query->name, query->asked);
        FsEntry *entry = current && info ? entry_from_info(info) : nullptr;
        if (entry)
            upsert_child(query->model, folder, entry);
        else if (current && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND))
            remove_child(query->model, folder, query->name);
        g_clear_pointer(&entry, entry_free);
        forget_changes_when_idle(children);
    }
    gdk_threads_leave();

    if (error && !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND))
        g_log(FS_LOG_DOMAIN, G_LOG_LEVEL_DEBUG, "Cannot read %s in %s: %s", query->name,
              query->folder_uri, error->message);
    g_clear_error(&error);
    g_clear_object(&info);
    g_object_unref(query->model);
    g_free(query->folder_uri);
    g_free(query->name);
    g_free(query);
}

void fs_refresh_child(KivelFileSystemModel *model, FsNode *folder, const gchar *name)
{
    g_return_if_fail(folder->folder != nullptr && name != nullptr);
    GFile *child = g_file_get_child(folder->folder->dir, name);
    auto *query = g_new0(FsChildQuery, 1);
    query->model = KIVEL_FILE_SYSTEM_MODEL(g_object_ref(model));
    query->folder_uri = g_strdup(folder->uri);
    query->name = g_strdup(name);
    query->asked = change_clock;
    folder->folder->pending++;
    g_file_query_info_async(child, attributes_for(child), G_FILE_QUERY_INFO_NONE,
                            G_PRIORITY_DEFAULT, nullptr, on_child_info, query);
    g_object_unref(child);
}

// ---- the way down to a location ----

struct FsWayQuery {
    gchar *from_uri; // the loaded folder the names start in
    gchar **names;
};

static void way_query_free(gpointer data)
{
    auto *query = static_cast<FsWayQuery *>(data);
    g_free(query->from_uri);
    g_strfreev(query->names);
    g_free(query);
}

// Reads the information of each folder on the way, up to the first missing one.
static void read_way(GTask *task, gpointer, gpointer data, GCancellable *cancellable)
{
    auto *query = static_cast<FsWayQuery *>(data);
    GPtrArray *infos = g_ptr_array_new_with_free_func(g_object_unref);
    GFile *file = g_file_new_for_uri(query->from_uri);
    for (gchar **name = query->names; *name; name++) {
        GFile *child = g_file_get_child(file, *name);
        g_object_unref(file);
        file = child;
        GFileInfo *info = g_file_query_info(file, attributes_for(file), G_FILE_QUERY_INFO_NONE,
                                            cancellable, nullptr);
        if (!info)
            break;
        g_ptr_array_add(infos, info);
        if (g_file_info_get_file_type(info) != G_FILE_TYPE_DIRECTORY)
            break;
    }
    g_object_unref(file);
    g_task_return_pointer(task, infos, reinterpret_cast<GDestroyNotify>(g_ptr_array_unref));
}

// The row of `info` under `parent`, added ahead of the folder's own load
// when that has not reached it; NULL when it cannot have one.
static FsNode *row_on_the_way(KivelFileSystemModel *model, FsNode *parent, GFileInfo *info)
{
    if (!parent->is_folder || !parent->available)
        return nullptr;
    fs_load_children(model, parent);
    if (!parent->folder)
        return nullptr;
    const gchar *name = g_file_info_get_name(info);
    FsNode *row = name ? fs_node_child_by_name(parent, name) : nullptr;
    if (row || !name)
        return row;
    FsEntry *entry = entry_from_info(info);
    upsert_child(model, parent, entry);
    entry_free(entry);
    row = fs_node_child_by_name(parent, name);
    if (row && parent->folder->state != FS_LOADED)
        row->generation = 0; // the running load confirms it or takes it away
    return row;
}

static void on_way_read(GObject *source, GAsyncResult *result, gpointer)
{
    KivelFileSystemModel *model = KIVEL_FILE_SYSTEM_MODEL(source);
    auto *query = static_cast<FsWayQuery *>(g_task_get_task_data(G_TASK(result)));
    auto *infos = static_cast<GPtrArray *>(g_task_propagate_pointer(G_TASK(result), nullptr));
    gdk_threads_enter();
    // Looked up again: the rows may have changed while the way was read.
    FsNode *node = fs_model_find(model, query->from_uri);
    for (guint i = 0; node && infos && i < infos->len; i++)
        node = row_on_the_way(model, node, static_cast<GFileInfo *>(g_ptr_array_index(infos, i)));
    gdk_threads_leave();
    if (infos)
        g_ptr_array_unref(infos);
}

void fs_load_way(KivelFileSystemModel *model, FsNode *from, const gchar *const *names)
{
    g_return_if_fail(from->uri != nullptr && names != nullptr);
    auto *query = g_new0(FsWayQuery, 1);
    query->from_uri = g_strdup(from->uri);
    query->names = g_strdupv(const_cast<gchar **>(names));
    GTask *task = g_task_new(model, nullptr, on_way_read, nullptr);
    g_task_set_task_data(task, query, way_query_free);
    g_task_run_in_thread(task, read_way);
    g_object_unref(task);
}

// ---- entry points ----

void fs_load_children(KivelFileSystemModel *model, FsNode *node)
{
    if (!node->is_folder || node->folder || !node->uri || !node->available)
        return;
    auto *folder = g_new0(FsFolder, 1);
    folder->model = model;
    folder->node = node;
    folder->dir = g_file_new_for_uri(node->uri);
    folder->by_name = g_hash_table_new(g_str_hash, g_str_equal);
    folder->born = ++change_clock;
    folder->last_event = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, nullptr);
    folder->state = FS_LOADING;
    folder->generation = 1;
    node->folder = folder;
    // Watch first: what changes while the folder is read is not missed.
    watch_folder(folder);

    FsNode *placeholder = fs_node_new(nullptr, nullptr);
    placeholder->placeholder = true;
    placeholder->title_id = "sfil_li_folder_loading";
    folder->placeholder = placeholder;
    fs_model_insert(model, node, placeholder, nullptr);
    start_job(model, node, false);
}

void fs_reload_folder(KivelFileSystemModel *model, FsNode *node)
{
    if (!node->folder)
        return;
    if (node->folder->job) {
        node->folder->reload_again = true;
        return;
    }
    start_job(model, node, true);
}

void fs_folder_free(FsFolder *folder)
{
    if (folder->job)
        job_cancel(folder->job);
    if (folder->monitor) {
        g_signal_handlers_disconnect_by_data(folder->monitor, folder);
        g_file_monitor_cancel(folder->monitor);
        g_object_unref(folder->monitor);
    }
    g_hash_table_destroy(folder->by_name);
    g_hash_table_destroy(folder->last_event);
    g_object_unref(folder->dir);
    g_free(folder);
}

void kivel_file_system_model_set_slice_budget(gint64 microseconds)
{
    fs_slice_us = microseconds;
}

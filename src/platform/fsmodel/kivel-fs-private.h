// Inner workings of the file system model, shared by its source files: the
// node tree, row signals, loading, the top-level rows and icons. Not for
// users of the model.
#pragma once

#include "platform/fsmodel/kivel-file-system-model.h"

#include <gio/gio.h>
#include <gio/gunixmounts.h>

// Kinds of top-level rows, in the order of the rows.
enum FsRank : guint8 {
    FS_RANK_NONE = 0, // not a top-level row
    FS_RANK_DOCUMENTS = 1,
    FS_RANK_CARD_1 = 2,
    FS_RANK_CARD_2 = 3,
    FS_RANK_REMOVABLE = 4,
    FS_RANK_GATEWAY = 5,
};

enum FsIcon : guint8 {
    FS_ICON_NONE = 0,
    FS_ICON_FILE,
    FS_ICON_FOLDER,
    FS_ICON_IMAGE,
    FS_ICON_VIDEO,
    FS_ICON_AUDIO,
    FS_ICON_DOCUMENTS_ROOT,
    FS_ICON_MEMORY_CARD,
    FS_ICON_REMOVABLE,
    FS_ICON_GATEWAY,
    FS_ICON_FOLDER_IMAGES,
    FS_ICON_FOLDER_VIDEOS,
    FS_ICON_FOLDER_SOUNDS,
    FS_ICON_FOLDER_DOCUMENTS,
    FS_ICON_FOLDER_CAMERA,
    FS_ICON_COUNT
};

enum FsLoadState : guint8 { FS_NOT_LOADED = 0, FS_LOADING, FS_LOADED };

struct FsNode;
struct FsLoadJob;

// What a folder whose children were asked for carries.
struct FsFolder {
    KivelFileSystemModel *model; // not referenced: the model owns the folder
    FsNode *node;                // the folder's row
    GFile *dir;
    GHashTable *by_name;   // on-disk name (owned by the child) -> FsNode*
    FsNode *placeholder;   // the row shown while loading, or NULL
    GFileMonitor *monitor; // NULL when the location cannot be watched
    FsLoadJob *job;        // the running load or reload, or NULL
    guint generation;      // rows seen by the latest (re)load carry it
    // What was read of a child before its latest change is stale: changes
    // are numbered on one clock, and reads carry the clock of their start.
    gsize born;             // the clock when the folder was first asked for
    GHashTable *last_event; // name (owned) -> clock of its latest change
    guint pending;          // child queries not answered yet
    FsLoadState state;
    bool reload_again; // a reload was asked for while one ran
    bool failed;       // the folder could not be read: its row is unavailable
};

struct FsNode {
    FsNode *parent;
    GSequenceIter *position; // in parent->children
    GSequence *children;     // FsNode*, NULL until the first child
    FsFolder *folder;        // NULL until children are asked for
    // Canonical text URI of a folder or top-level row. A file's is made from
    // its folder's when asked for (fs_node_dup_uri): a big folder holds
    // files by the ten thousand.
    gchar *uri;
    gchar *name;           // on-disk name (bytes), NULL for the placeholder
    gchar *display;        // shown instead of the name, or NULL
    const gchar *title_id; // "kivel-fm" id shown instead of the name, or NULL
    gchar *sort_key;       // computed when first asked for
    gchar *device;         // block device of a device root, or NULL
    const gchar *mime;     // interned content type, or NULL
    gint64 size;
    gint64 mtime;
    guint generation;
    guint8 item_type; // KivelFileSystemModelItemType
    guint8 icon;      // FsIcon
    guint8 rank;      // FsRank
    guint8 available;
    bool is_folder : 1;
    bool readonly : 1;
    bool placeholder : 1;
    bool mounted : 1;      // a file system is mounted at this device root
    bool seen_mounted : 1; // availability follows the mount state
};

struct _KivelFileSystemModel {
    GObject parent_instance;
    gint stamp;
    FsNode *root; // the virtual root "files:///", never a row
    GtkWidget *ref_widget;
    KivelFileSystemBackend *backend;
    GdkPixbuf *icons[FS_ICON_COUNT];
    const gchar *icon_names[FS_ICON_COUNT];
    GVolumeMonitor *volume_monitor;
    GUnixMountMonitor *mount_monitor;
};

struct _KivelFileSystemModelClass {
    GObjectClass parent_class;
};

// ---- nodes and row signals (kivel-fs-node.cpp) ----

// (transfer full) A detached node; `uri` and `name` are taken over.
FsNode *fs_node_new(gchar *uri, gchar *name);
// (transfer full) (nullable) The node's canonical text URI; NULL for the
// placeholder.
gchar *fs_node_dup_uri(FsNode *node);
// Keeps the URI of a node that is a folder now, for its children and loads.
void fs_node_keep_uri(FsNode *node);
void fs_model_iter_for(KivelFileSystemModel *model, FsNode *node, GtkTreeIter *iter);
FsNode *fs_model_node_for(KivelFileSystemModel *model, GtkTreeIter *iter);
// (transfer full)
GtkTreePath *fs_node_path(FsNode *node);
guint fs_node_n_children(FsNode *node);
FsNode *fs_node_child_by_name(FsNode *folder, const gchar *name);
// Inserts `node` under `parent` before `sibling` (NULL: at the end) and
// emits the row signals.
void fs_model_insert(KivelFileSystemModel *model, FsNode *parent, FsNode *node, FsNode *sibling);
// Takes the row of `node` (and everything below it) out and frees it.
void fs_model_remove(KivelFileSystemModel *model, FsNode *node);
void fs_model_row_changed(KivelFileSystemModel *model, FsNode *node);
// Drops the children of `node` and forgets that they were loaded.
void fs_model_unload(KivelFileSystemModel *model, FsNode *node);
// Frees a detached node and its subtree, stopping their loads and monitors.
void fs_node_free(FsNode *node);
const gchar *fs_node_display_name(FsNode *node);
// (transfer none) The collation key of the display name, made once.
const gchar *fs_node_sort_key(FsNode *node);

// ---- loading and following changes (kivel-fs-loader.cpp) ----

// Starts the first load of a folder's children.
void fs_load_children(KivelFileSystemModel *model, FsNode *node);
// Re-reads a loaded folder, or remembers to once the running load ends.
void fs_reload_folder(KivelFileSystemModel *model, FsNode *node);
// Stops the load and the monitor of a folder whose row goes away.
void fs_folder_free(FsFolder *folder);
// Reads one child of a loaded folder and adds, updates or removes its row.
void fs_refresh_child(KivelFileSystemModel *model, FsNode *folder, const gchar *name);
// Reads the folders `names` (on-disk names, NULL-terminated) below `from` at
// once and gives each a row, so that a deep location needs no load per level.
void fs_load_way(KivelFileSystemModel *model, FsNode *from, const gchar *const *names);

// ---- finding rows (kivel-file-system-model.cpp) ----

// The row of a canonical text URI among the rows the model has, or NULL.
FsNode *fs_model_find(KivelFileSystemModel *model, const gchar *uri);

// ---- top-level rows (kivel-fs-roots.cpp) ----

void fs_roots_init(KivelFileSystemModel *model);
void fs_roots_shutdown(KivelFileSystemModel *model);
// The top-level row whose location holds `uri` (equal or an ancestor), or NULL.
FsNode *fs_roots_find_holder(KivelFileSystemModel *model, const gchar *uri);
// A file system under a loaded folder at `uri` was unmounted: its device
// root is read again from what is mounted there now.
void fs_roots_volume_went_away(KivelFileSystemModel *model, const gchar *uri);
// The special folder type (3..7) of a child `name` of `parent`, or 0.
int fs_special_folder_type(FsNode *parent, const gchar *name);
const gchar *fs_special_folder_title(int item_type);
FsIcon fs_special_folder_icon(int item_type);

// ---- icons (kivel-fs-icons.cpp) ----

// (transfer none) (nullable) The shared pixbuf of an icon kind.
GdkPixbuf *fs_icon_pixbuf(KivelFileSystemModel *model, FsIcon icon);
// (transfer none) (nullable)
const gchar *fs_icon_name(KivelFileSystemModel *model, FsIcon icon);
FsIcon fs_icon_for_content_type(const gchar *content_type);
void fs_icons_clear(KivelFileSystemModel *model);

// ---- text URIs (kivel-file-system-backend.cpp) ----

// (transfer full) (nullable) The canonical form of a text URI: file URIs as
// GIO spells them, other schemes without a trailing "/" except at a root.
gchar *fs_canonical_uri(const gchar *uri);
// (transfer full) (nullable) The parent by URI arithmetic alone; NULL at a root.
gchar *fs_uri_parent(const gchar *uri);
// (transfer full) (nullable) The text URI of child `name` (on-disk bytes for
// file URIs, UTF-8 otherwise) of the folder `parent_uri`.
gchar *fs_child_uri(const gchar *parent_uri, const gchar *name);
// TRUE when `uri` is `ancestor` or lies below it.
gboolean fs_uri_is_at_or_below(const gchar *ancestor, const gchar *uri);
// (transfer full) A backend that asks `model` (not referenced) which
// locations are top-level.
KivelFileSystemBackend *fs_backend_new(KivelFileSystemModel *model);
void fs_backend_forget_model(KivelFileSystemBackend *backend);

// Signals of the model, emitted by its parts.
void fs_model_emit_finished_loading(KivelFileSystemModel *model, FsNode *folder);
void fs_model_emit_voldev_mounted(KivelFileSystemModel *model, const gchar *uri);
void fs_model_emit_row_removing(KivelFileSystemModel *model, FsNode *node);

// Catalog text of the platform's file management library.
const gchar *fs_text(const gchar *id);

#define FS_LOG_DOMAIN "Kivel"

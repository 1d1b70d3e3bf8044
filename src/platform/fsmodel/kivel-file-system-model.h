// The file system model: a GtkTreeModel of locations under the virtual root
// "files:///". Folders load their children lazily and asynchronously, and a
// loaded folder follows changes on disk.
//
// A "path" in this layer is a g_free'd gchar* holding the location's canonical
// text URI (as g_file_get_uri() gives it for local files). The model's
// "backend-object" converts between paths and text URIs.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_FILE_SYSTEM_MODEL (kivel_file_system_model_get_type())
#define KIVEL_FILE_SYSTEM_MODEL(o)                                                                 \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_FILE_SYSTEM_MODEL, KivelFileSystemModel))
#define KIVEL_IS_FILE_SYSTEM_MODEL(o)                                                              \
    (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_FILE_SYSTEM_MODEL))

typedef struct _KivelFileSystemModel KivelFileSystemModel;
typedef struct _KivelFileSystemModelClass KivelFileSystemModelClass;

// The virtual root above every top-level row.
#define KIVEL_FILE_SYSTEM_ROOT_URI "files:///"

// Columns. The numbers of DISPLAY_NAME, ITEM_TYPE, ICON, AVAILABLE,
// PLACEHOLDER and DEVICE are fixed: the application reads them by number.
typedef enum {
    KIVEL_FILE_SYSTEM_MODEL_URI = 0,          // G_TYPE_STRING, canonical text URI (the path)
    KIVEL_FILE_SYSTEM_MODEL_LOCAL_PATH = 1,   // G_TYPE_STRING, file name on disk or NULL
    KIVEL_FILE_SYSTEM_MODEL_NAME = 2,         // G_TYPE_STRING, last component, unescaped
    KIVEL_FILE_SYSTEM_MODEL_MIME_TYPE = 3,    // G_TYPE_STRING, content type or NULL
    KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME = 4, // G_TYPE_STRING, what the user sees
    KIVEL_FILE_SYSTEM_MODEL_SIZE = 5,         // G_TYPE_INT64, bytes
    KIVEL_FILE_SYSTEM_MODEL_MTIME = 6,        // G_TYPE_INT64, seconds since the epoch
    KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER = 7,    // G_TYPE_BOOLEAN
    KIVEL_FILE_SYSTEM_MODEL_IS_HIDDEN = 8,    // G_TYPE_BOOLEAN, dot files
    KIVEL_FILE_SYSTEM_MODEL_IS_READONLY = 9,  // G_TYPE_BOOLEAN, owner may not write
    KIVEL_FILE_SYSTEM_MODEL_IS_LOADED = 10,   // G_TYPE_BOOLEAN, children loaded (folders)
    KIVEL_FILE_SYSTEM_MODEL_SORT_KEY = 11,    // G_TYPE_STRING, collation key of the display name
    KIVEL_FILE_SYSTEM_MODEL_RESERVED_12 = 12, // G_TYPE_INT, unused
    KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE = 13,   // G_TYPE_INT, KivelFileSystemModelItemType
    KIVEL_FILE_SYSTEM_MODEL_ICON = 14,        // GDK_TYPE_PIXBUF, icon of the location
    KIVEL_FILE_SYSTEM_MODEL_ICON_NAME = 15,   // G_TYPE_STRING, themed icon name
    KIVEL_FILE_SYSTEM_MODEL_RESERVED_16 = 16, // G_TYPE_INT, unused
    KIVEL_FILE_SYSTEM_MODEL_RESERVED_17 = 17, // G_TYPE_INT, unused
    KIVEL_FILE_SYSTEM_MODEL_AVAILABLE = 18,   // G_TYPE_INT, non-zero: location is available
    KIVEL_FILE_SYSTEM_MODEL_RESERVED_19 = 19, // G_TYPE_INT, unused
    KIVEL_FILE_SYSTEM_MODEL_RESERVED_20 = 20, // G_TYPE_INT, unused
    KIVEL_FILE_SYSTEM_MODEL_RESERVED_21 = 21, // G_TYPE_INT, unused
    KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER = 22, // G_TYPE_BOOLEAN, the row shown while a folder loads
    KIVEL_FILE_SYSTEM_MODEL_RESERVED_23 = 23, // G_TYPE_INT, unused
    KIVEL_FILE_SYSTEM_MODEL_RESERVED_24 = 24, // G_TYPE_INT, unused
    KIVEL_FILE_SYSTEM_MODEL_RESERVED_25 = 25, // G_TYPE_INT, unused
    KIVEL_FILE_SYSTEM_MODEL_DEVICE = 26,      // G_TYPE_STRING, block device of a device root, or ""
    KIVEL_FILE_SYSTEM_MODEL_N_COLUMNS
} KivelFileSystemModelColumn;

typedef enum {
    KIVEL_FILE_SYSTEM_MODEL_UNDEFINED = 0,
    KIVEL_FILE_SYSTEM_MODEL_FILE = 1,
    KIVEL_FILE_SYSTEM_MODEL_FOLDER = 2,
    KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_IMAGES = 3,
    KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_VIDEOS = 4,
    KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_SOUNDS = 5,
    KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_DOCUMENTS = 6,
    KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_CAMERA = 7,
    KIVEL_FILE_SYSTEM_MODEL_MMC = 8,
    KIVEL_FILE_SYSTEM_MODEL_GATEWAY = 9,
    KIVEL_FILE_SYSTEM_MODEL_LOCAL_DEVICE = 10
} KivelFileSystemModelItemType;

GType kivel_file_system_model_get_type(void);

// Properties:
//   "ref-widget"      GtkWidget*, construct: widget whose style gives icons
//   "backend-object"  KivelFileSystemBackend*, read-only
// Signals:
//   "voldev-mounted"  void (KivelFileSystemModel*, const gchar *texturi):
//                     a volume appeared at that location
//   "finished-loading" void (KivelFileSystemModel*, GtkTreeIter *folder):
//                     a folder's children are all in the model (after a
//                     load or a reload)
//   "row-removing"    void (KivelFileSystemModel*, GtkTreeIter *row): the
//                     row and everything below it are about to go; its
//                     fields can still be read

// (transfer full) A new model; `ref_widget` may be NULL.
GtkTreeModel *kivel_file_system_model_new(GtkWidget *ref_widget);

// Finds the row of `path` (a canonical text URI). Searches below `parent`
// (NULL: from the top), descending into loaded children when `recursive`.
gboolean kivel_file_system_model_search_path(KivelFileSystemModel *model, const gchar *path,
                                             GtkTreeIter *iter, GtkTreeIter *parent,
                                             gboolean recursive);
// As search_path, for any text URI form (it is made canonical first).
gboolean kivel_file_system_model_search_uri(KivelFileSystemModel *model, const gchar *uri,
                                            GtkTreeIter *iter, GtkTreeIter *parent,
                                            gboolean recursive);

// TRUE with the row once `path` has a row in the model. When it has none
// yet, starts reading every folder on the way to it at once (asynchronously)
// and returns FALSE: a later call succeeds once they have rows.
gboolean kivel_file_system_model_load_path(KivelFileSystemModel *model, const gchar *path,
                                           GtkTreeIter *iter);

// Starts loading the children of `folder` unless they are loaded or loading.
void kivel_file_system_model_load_children(KivelFileSystemModel *model, GtkTreeIter *folder);

// TRUE when the children of `folder` are all in the model.
gboolean kivel_file_system_model_children_loaded(KivelFileSystemModel *model, GtkTreeIter *folder);

// Re-reads the folder at `uri` (or the folder of the file at `uri`) when it is
// loaded; rows are added, changed and removed to match the disk.
void kivel_file_system_model_reload_uri(KivelFileSystemModel *model, const gchar *uri);

// How long one turn of the main loop may spend inserting loaded rows (15 ms).
void kivel_file_system_model_set_slice_budget(gint64 microseconds);

// (transfer full) A text URI of a free name in the same folder as `uri`
// ("name (1).ext", "name (2).ext", ...), or NULL with `error` set.
gchar *kivel_file_system_model_autoname_uri(KivelFileSystemModel *model, const gchar *uri,
                                            GError **error);

// ---- Reading rows without copies ------------------------------------------
// Views that sort and draw many rows hold the rows themselves. A row stays
// valid until "row-removing" is emitted for it or for a row above it.
// Strings belong to the model and change when the row does.

typedef struct FsNode KivelFileSystemRow;

// (transfer none) The row of `iter` (a valid row of `model`).
KivelFileSystemRow *kivel_file_system_model_get_row(KivelFileSystemModel *model, GtkTreeIter *iter);
void kivel_file_system_model_row_iter(KivelFileSystemModel *model, KivelFileSystemRow *row,
                                      GtkTreeIter *iter);
// (transfer none) (nullable) The shared icon of the row.
GdkPixbuf *kivel_file_system_model_row_icon(KivelFileSystemModel *model, KivelFileSystemRow *row);

// (transfer full) (nullable) Canonical text URI; NULL for the placeholder.
// Files' URIs are made when asked for.
gchar *kivel_file_system_row_dup_uri(KivelFileSystemRow *row);
// (transfer none) (nullable) The on-disk name; NULL for the placeholder.
const gchar *kivel_file_system_row_get_name(KivelFileSystemRow *row);
// TRUE when the row's URI starts with `prefix`, a scheme and "://".
gboolean kivel_file_system_row_has_scheme_prefix(KivelFileSystemRow *row, const gchar *prefix);
// (transfer none) What the user sees.
const gchar *kivel_file_system_row_get_display_name(KivelFileSystemRow *row);
// (transfer none) Collation key of the display name, made when first asked for.
const gchar *kivel_file_system_row_get_sort_key(KivelFileSystemRow *row);
// (transfer none) (nullable) Interned content type.
const gchar *kivel_file_system_row_get_mime_type(KivelFileSystemRow *row);
gint64 kivel_file_system_row_get_size(KivelFileSystemRow *row);
gint64 kivel_file_system_row_get_mtime(KivelFileSystemRow *row);
// TRUE for folders, special folders and device roots.
gboolean kivel_file_system_row_is_folder(KivelFileSystemRow *row);
gboolean kivel_file_system_row_is_readonly(KivelFileSystemRow *row);
gboolean kivel_file_system_row_is_placeholder(KivelFileSystemRow *row);
gboolean kivel_file_system_row_is_available(KivelFileSystemRow *row);
KivelFileSystemModelItemType kivel_file_system_row_get_item_type(KivelFileSystemRow *row);
// Order of two rows of one folder in the model.
gint kivel_file_system_row_compare_position(KivelFileSystemRow *a, KivelFileSystemRow *b);

// ---- Backend object: paths <-> text URIs ----------------------------------

#define KIVEL_TYPE_FILE_SYSTEM_BACKEND (kivel_file_system_backend_get_type())
#define KIVEL_FILE_SYSTEM_BACKEND(o)                                                               \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_FILE_SYSTEM_BACKEND, KivelFileSystemBackend))
#define KIVEL_IS_FILE_SYSTEM_BACKEND(o)                                                            \
    (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_FILE_SYSTEM_BACKEND))

typedef struct _KivelFileSystemBackend KivelFileSystemBackend;
typedef struct _KivelFileSystemBackendClass KivelFileSystemBackendClass;

GType kivel_file_system_backend_get_type(void);

// (transfer full) The path of a text URI, or NULL when it cannot be parsed.
gchar *kivel_file_system_backend_uri_to_path(KivelFileSystemBackend *backend, const gchar *uri);
// (transfer full) The text URI of a path, or NULL.
gchar *kivel_file_system_backend_path_to_uri(KivelFileSystemBackend *backend, const gchar *path);
// (transfer full) The path of child `name` (UTF-8, not escaped) of `parent`, or NULL.
gchar *kivel_file_system_backend_make_path(KivelFileSystemBackend *backend, const gchar *parent,
                                           const gchar *name);
// (transfer full) The parent path; top-level locations have "files:///" as
// parent, and "files:///" has none (NULL).
gchar *kivel_file_system_backend_get_parent(KivelFileSystemBackend *backend, const gchar *path);

// (transfer full) A GtkTreeModelFilter over the whole of `model` that keeps
// no child level it no longer reaches.
GtkTreeModel *kivel_file_system_model_tree_filter_new(GtkTreeModel *model);

G_END_DECLS

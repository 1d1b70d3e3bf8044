// The two-pane file selection widget: a navigation tree of folders and a
// content pane listing the current folder's items, over a
// KivelFileSystemModel.
#pragma once

#include "platform/fsmodel/kivel-file-system-model.h"

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_FILE_SELECTION (kivel_file_selection_get_type())
#define KIVEL_FILE_SELECTION(o)                                                                    \
    (G_TYPE_CHECK_INSTANCE_CAST((o), KIVEL_TYPE_FILE_SELECTION, KivelFileSelection))
#define KIVEL_IS_FILE_SELECTION(o) (G_TYPE_CHECK_INSTANCE_TYPE((o), KIVEL_TYPE_FILE_SELECTION))

typedef struct _KivelFileSelection KivelFileSelection;
typedef struct _KivelFileSelectionClass KivelFileSelectionClass;

typedef enum {
    KIVEL_FILE_SELECTION_PANE_NAVIGATION = 0,
    KIVEL_FILE_SELECTION_PANE_CONTENT = 1
} KivelFileSelectionPane;

typedef enum {
    KIVEL_FILE_SELECTION_SORT_KEY_NAME = 0,
    KIVEL_FILE_SELECTION_SORT_KEY_TYPE = 1,
    KIVEL_FILE_SELECTION_SORT_KEY_MODIFIED = 2,
    KIVEL_FILE_SELECTION_SORT_KEY_SIZE = 3
} KivelFileSelectionSortKey;

typedef enum {
    KIVEL_FILE_SELECTION_MODE_LIST = 0,
    KIVEL_FILE_SELECTION_MODE_THUMBNAILS = 1
} KivelFileSelectionMode;

GType kivel_file_selection_get_type(void);

// Properties (all readable and writable):
//   "model"              KivelFileSystemModel*, construct
//   "pane-position"      gint, divider position in pixels
//   "active-pane"        gint, 0 navigation pane, 1 content pane
//   "currently-dragging" gboolean, read-only in practice: FALSE
//   "drag-enabled"       gboolean, default TRUE
//   "show-files"         gboolean, default TRUE: files in the content pane
//   "show-folders"       gboolean, default TRUE: folders in the content pane
//   "show-readonly"      gboolean, default TRUE: read-only items listed
//   "show-upnp"          gboolean, default TRUE: media servers listed
//   "hide-navi"          gboolean, default FALSE: navigation pane starts hidden
//   "edit-mode"          gboolean, construct: multiple selection with marks
// Signals (all void (KivelFileSelection*), run last):
//   "navigation-pane-context-menu", "content-pane-context-menu": tap-and-hold
//      (or right click) on the pane
//   "file-activated": the user activated items in the content pane
//   "selection-changed": the selected items or the active pane changed
//   "current-folder-changed": the current folder is another one now
//   "folder-activated": emitted right after every "current-folder-changed"

// (transfer full) A new widget on `model`; the other properties as defaults.
GtkWidget *kivel_file_selection_new_with_model(KivelFileSystemModel *model);

// (transfer full) New list of new text URIs of the selected content items, in
// the content pane's order; NULL when nothing is selected.
GSList *kivel_file_selection_get_selected_uris(KivelFileSelection *fs);
// (transfer full) Text URI of the current folder ("files:///" at the top), or NULL.
gchar *kivel_file_selection_get_current_folder_uri(KivelFileSelection *fs);

gboolean kivel_file_selection_get_current_folder_iter(KivelFileSelection *fs, GtkTreeIter *iter);
gboolean kivel_file_selection_set_current_folder_iter(KivelFileSelection *fs, GtkTreeIter *iter);
// The model row of the focused (cursor) item of the content pane.
gboolean kivel_file_selection_get_current_content_iter(KivelFileSelection *fs, GtkTreeIter *iter);
// Moves to the folder `uri`; FALSE with `error` set when the model has no
// row for it (G_IO_ERROR_NOT_FOUND) or it is no folder.
gboolean kivel_file_selection_set_current_folder_uri(KivelFileSelection *fs, const gchar *uri,
                                                     GError **error);

// Selection of content items by text URI; FALSE when no such item is listed.
gboolean kivel_file_selection_select_uri(KivelFileSelection *fs, const gchar *uri);
void kivel_file_selection_unselect_uri(KivelFileSelection *fs, const gchar *uri);
void kivel_file_selection_select_all(KivelFileSelection *fs);
void kivel_file_selection_unselect_all(KivelFileSelection *fs);
void kivel_file_selection_move_cursor_to_uri(KivelFileSelection *fs, const gchar *uri);
// Selects the items `uris` (text URIs, in order) of the folder `folder_uri` as
// their rows are listed, when that folder is the next one entered, and keeps
// the first of them in view. Entering another folder, or the user changing
// the selection, ends the wait; so does the folder being listed completely.
void kivel_file_selection_select_uris_when_listed(KivelFileSelection *fs, const gchar *folder_uri,
                                                  GSList *uris);

gint kivel_file_selection_get_active_pane(KivelFileSelection *fs);
void kivel_file_selection_show_content_pane(KivelFileSelection *fs);
void kivel_file_selection_hide_content_pane(KivelFileSelection *fs);
void kivel_file_selection_show_navigation_pane(KivelFileSelection *fs);
void kivel_file_selection_hide_navigation_pane(KivelFileSelection *fs);
void kivel_file_selection_set_column_headers(KivelFileSelection *fs, gboolean visible);

// Dimmed items are shown greyed out (items that an operation works on).
void kivel_file_selection_dim_uri(KivelFileSelection *fs, const gchar *uri);
void kivel_file_selection_undim_all(KivelFileSelection *fs);

void kivel_file_selection_get_sort_key(KivelFileSelection *fs, KivelFileSelectionSortKey *key,
                                       GtkSortType *order);
void kivel_file_selection_set_sort_key(KivelFileSelection *fs, KivelFileSelectionSortKey key,
                                       GtkSortType order);
KivelFileSelectionMode kivel_file_selection_get_mode(KivelFileSelection *fs);
void kivel_file_selection_set_mode(KivelFileSelection *fs, KivelFileSelectionMode mode);

// For tests and benchmarks: the inner views and the number of items the
// content pane lists now.
GtkWidget *kivel_file_selection_get_navigation_view(KivelFileSelection *fs);
GtkWidget *kivel_file_selection_get_content_view(KivelFileSelection *fs);
gint kivel_file_selection_get_content_count(KivelFileSelection *fs);
// TRUE when the content pane lists every item the model has of the current
// folder now (no fill is under way).
gboolean kivel_file_selection_content_is_complete(KivelFileSelection *fs);
// TRUE while `uri` is dimmed.
gboolean kivel_file_selection_uri_is_dimmed(KivelFileSelection *fs, const gchar *uri);
// How long one step of filling the content pane may run (15 ms).
void kivel_file_selection_set_fill_budget(gint64 microseconds);

G_END_DECLS

// Inside the file selection widget: the instance record shared by its source
// files, and the content pane's calls that the widget file makes.
#pragma once

#include "platform/selection/kivel-file-selection.h"

G_BEGIN_DECLS

// Media servers' locations.
#define KIVEL_UPNP_PREFIX "upnpav://"
// The content pane's tree model: the listed rows of the current folder in
// display order, ordered by `compare` (two KivelFileSystemRow* and `data`).
// Its one column holds the KivelFileSystemRow*.
typedef struct _KivelContentList KivelContentList;
GType kivel_content_list_get_type(void);
// (transfer full)
KivelContentList *kivel_content_list_new(GCompareDataFunc compare, gpointer data);
gint kivel_content_list_length(KivelContentList *list);
gboolean kivel_content_list_has(KivelContentList *list, KivelFileSystemRow *row);
// FALSE when `row` is not listed.
gboolean kivel_content_list_iter(KivelContentList *list, KivelFileSystemRow *row,
                                 GtkTreeIter *iter);
// (transfer full) (nullable)
GtkTreePath *kivel_content_list_path(KivelContentList *list, KivelFileSystemRow *row);
// (transfer none) (nullable)
KivelFileSystemRow *kivel_content_list_row(KivelContentList *list, GtkTreeIter *iter);
// Lists `row` in its place and says so to the view; its position.
gint kivel_content_list_insert(KivelContentList *list, KivelFileSystemRow *row);
// Lists `n` rows that are not listed yet, each in its place, without a
// word to the view: for a list no view shows.
void kivel_content_list_merge(KivelContentList *list, KivelFileSystemRow **rows, gint n);
void kivel_content_list_remove(KivelContentList *list, KivelFileSystemRow *row);
// TRUE when the listed `row` still sorts between its neighbours.
gboolean kivel_content_list_in_order(KivelContentList *list, KivelFileSystemRow *row);
void kivel_content_list_row_changed(KivelContentList *list, KivelFileSystemRow *row);
// Sorts again after the order changed, keeping the view's rows and marks.
void kivel_content_list_resort(KivelContentList *list);

// Items waiting to be selected as their rows are listed.
typedef struct _KivelPendingSelection KivelPendingSelection;

// Press tracking of one pane: long press and the tap on a selected row.
typedef struct {
    KivelFileSelection *fs;
    GtkWidget *view;
    guint timer;
    gdouble x, y;
    gboolean pressed;
    gboolean long_press_fired;
    gchar *tap_uri;  // the item a tap acts on: rows may move under it
    gchar *hold_uri; // the item a long press is about, for the same reason
    // A tap opens its item once the view is done with the release.
    gchar *activate_uri;
    guint activate_generation;
    guint activate_source;
} KivelPanePress;

struct _KivelFileSelection {
    GtkVBox parent;

    GtkTreeModel *model;
    GtkWidget *paned;
    GtkWidget *navi_scroller;
    GtkWidget *navi_view;
    GtkTreeModel *navi_tree; // the folders in name order, while the pane shows
    GtkWidget *content_scroller;
    GtkWidget *content_view;
    GtkTreeViewColumn *name_column;
    GtkTreeViewColumn *date_column;
    GtkTreeViewColumn *size_column;
    GtkCellRenderer *icon_renderer;
    gulong model_handlers[6];

    // The current folder; NULL at the top.
    GtkTreeRowReference *current;
    gchar *current_uri;
    guint lost_folder_source;

    // Content pane: the current folder's listed rows.
    KivelContentList *list;
    gint considered; // the current folder's first model children looked at
    guint fill_source;
    // Rows of a filling folder not listed yet: they go in together, the
    // view detached, rather than one by one (a set of KivelFileSystemRow*).
    GHashTable *held;
    guint flush_source;
    gboolean filling; // the current folder is being read
    guint generation; // counts list rebuilds, so a fill step notices one
    gchar *pending_cursor_uri;
    KivelPendingSelection *pending_selection; // NULL when none waits
    GHashTable *dimmed;                       // set of uris
    GHashTable *large_icons;                  // GdkPixbuf* -> scaled GdkPixbuf*
    gint selection_signal_blocked;
    gint navi_signal_blocked;

    KivelPanePress navi_press;
    KivelPanePress content_press;

    gint active_pane;
    KivelFileSelectionSortKey sort_key;
    GtkSortType sort_order;
    KivelFileSelectionMode mode;
    gboolean edit_mode;
    gboolean show_files;
    gboolean show_folders;
    gboolean show_readonly;
    gboolean show_upnp;
    gboolean drag_enabled;
    gboolean hide_navi;
    gboolean column_headers;
};

struct _KivelFileSelectionClass {
    GtkVBoxClass parent_class;
};

// Signals the content pane emits.
void kivel_file_selection_emit_selection_changed(KivelFileSelection *fs);
void kivel_file_selection_emit_file_activated(KivelFileSelection *fs);
void kivel_file_selection_emit_context_menu(KivelFileSelection *fs, gint pane);
// Makes `pane` active as the user's focus or press does: notifies and
// reports a changed selection when it was another.
void kivel_file_selection_set_active_pane_from_user(KivelFileSelection *fs, gint pane);

// Content pane: building, the list's life and the model's changes.
void kivel_file_selection_content_init(KivelFileSelection *fs);
// The content view with its columns.
void kivel_file_selection_content_build_view(KivelFileSelection *fs);
GtkTreeSelection *kivel_file_selection_content_selection(KivelFileSelection *fs);
void kivel_file_selection_content_dispose(KivelFileSelection *fs);
// Starts listing the current folder's children, dropping the old list.
void kivel_file_selection_content_reload(KivelFileSelection *fs);
// The current folder's children are all in the model now.
void kivel_file_selection_content_folder_loaded(KivelFileSelection *fs);
// Drops the list at once, without listing anything: its rows are going.
void kivel_file_selection_content_forget(KivelFileSelection *fs);
// TRUE when the listing rules admit the item.
gboolean kivel_file_selection_item_is_shown(KivelFileSelection *fs, gboolean is_upnp,
                                            gboolean is_folder, gboolean is_placeholder,
                                            gboolean is_hidden, gboolean is_readonly,
                                            gint item_type);
void kivel_file_selection_content_row_inserted(KivelFileSelection *fs, gint index,
                                               GtkTreeIter *iter);
void kivel_file_selection_content_row_removing(KivelFileSelection *fs, GtkTreeIter *iter);
void kivel_file_selection_content_row_deleted(KivelFileSelection *fs, gint index);
void kivel_file_selection_content_row_changed(KivelFileSelection *fs, gint index,
                                              GtkTreeIter *iter);
void kivel_file_selection_content_rows_reordered(KivelFileSelection *fs);
// The model row of a listed row.
void kivel_file_selection_content_model_iter(KivelFileSelection *fs, KivelFileSystemRow *row,
                                             GtkTreeIter *iter);
// (transfer none) (nullable) The row shown at `path` of the content view.
KivelFileSystemRow *kivel_file_selection_content_row_at(KivelFileSelection *fs, GtkTreePath *path);
// (transfer none) (nullable) The listed row of `uri`.
KivelFileSystemRow *kivel_file_selection_content_listed_row(KivelFileSelection *fs,
                                                            const gchar *uri);
void kivel_file_selection_content_apply_mode(KivelFileSelection *fs);
void kivel_file_selection_content_apply_edit_mode(KivelFileSelection *fs);
void kivel_file_selection_content_apply_headers(KivelFileSelection *fs);
void kivel_file_selection_content_resort(KivelFileSelection *fs);

// The pending selection: a folder was entered, the listing may be complete,
// the user changed the selection.
void kivel_file_selection_pending_selection_folder_entered(KivelFileSelection *fs);
void kivel_file_selection_pending_selection_check_done(KivelFileSelection *fs);
void kivel_file_selection_pending_selection_user_changed(KivelFileSelection *fs);

// Presses, long presses and taps on either pane.
void kivel_file_selection_press_init(KivelFileSelection *fs, KivelPanePress *press,
                                     GtkWidget *view);
void kivel_file_selection_press_dispose(KivelPanePress *press);

// Current folder helpers.
gboolean kivel_file_selection_current_folder_model_iter(KivelFileSelection *fs, GtkTreeIter *iter);
// Moves to `folder` (NULL: the top), loads it and reports the change.
void kivel_file_selection_change_current_folder(KivelFileSelection *fs, GtkTreeIter *folder);

// Navigation pane.
void kivel_file_selection_navigation_build(KivelFileSelection *fs);
// Gives the tree its model, or takes it away.
void kivel_file_selection_navigation_attach(KivelFileSelection *fs);
void kivel_file_selection_navigation_detach(KivelFileSelection *fs);
// Shows the current folder in the tree, unfolded.
void kivel_file_selection_navigation_sync(KivelFileSelection *fs);
// Unfolds the model row at `folder` in the tree.
void kivel_file_selection_navigation_unfold(KivelFileSelection *fs, GtkTreePath *folder);
void kivel_file_selection_navigation_refilter(KivelFileSelection *fs);

G_END_DECLS

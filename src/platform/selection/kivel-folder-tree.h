// The folder tree of the navigation pane and the folder chooser: the folders
// of the file system model that a visibility function admits, in name order
// (case-insensitive, by the locale's collation); the top level keeps the
// model's order (the documents folder, then the cards and other devices).
// It is a GtkTreeModelSort over a GtkTreeModelFilter, so every change of the
// model reaches the views as the signals they expect.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

// (transfer full)
GtkTreeModel *kivel_folder_tree_new(GtkTreeModel *model, GtkTreeModelFilterVisibleFunc visible,
                                    gpointer data);
// The model row shown at `shown` of `tree`.
void kivel_folder_tree_model_iter(GtkTreeModel *tree, GtkTreeIter *row, GtkTreeIter *shown);
// FALSE when the model row `row` is not shown.
gboolean kivel_folder_tree_shown_iter(GtkTreeModel *tree, GtkTreeIter *shown, GtkTreeIter *row);
// (transfer full) (nullable) Where the model row at `path` is shown.
GtkTreePath *kivel_folder_tree_shown_path(GtkTreeModel *tree, GtkTreePath *path);
// Asks the visibility function again about every row.
void kivel_folder_tree_refilter(GtkTreeModel *tree);

G_END_DECLS

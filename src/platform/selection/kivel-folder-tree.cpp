#include "platform/selection/kivel-folder-tree.h"

#include "platform/fsmodel/kivel-file-system-model.h"
#include "vfs/glib-ptr.h"

#include <string.h>

static GtkTreeModelFilter *filter_of(GtkTreeModel *tree)
{
    return GTK_TREE_MODEL_FILTER(gtk_tree_model_sort_get_model(GTK_TREE_MODEL_SORT(tree)));
}

static gchar *string_at(GtkTreeModel *model, GtkTreeIter *iter, gint column)
{
    gchar *value = nullptr;
    gtk_tree_model_get(model, iter, column, &value, -1);
    return value;
}

// (transfer full) A key that orders names as the locale does, whatever their case.
static gchar *folded_key(GtkTreeModel *model, GtkTreeIter *iter)
{
    ulvo::GCharPtr name(string_at(model, iter, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME));
    ulvo::GCharPtr folded(g_utf8_casefold(name ? name.get() : "", -1));
    return g_utf8_collate_key_for_filename(folded.get(), -1);
}

static gint compare_columns(GtkTreeModel *model, GtkTreeIter *a, GtkTreeIter *b, gint column)
{
    ulvo::GCharPtr x(string_at(model, a, column));
    ulvo::GCharPtr y(string_at(model, b, column));
    return g_strcmp0(x.get(), y.get());
}

// Names that differ only in case keep one order: the locale's, then the bytes'.
static gint compare_folders(GtkTreeModel *model, GtkTreeIter *a, GtkTreeIter *b, gpointer)
{
    GtkTreeIter parent;
    if (!gtk_tree_model_iter_parent(model, &parent, a)) {
        GtkTreePath *x = gtk_tree_model_get_path(model, a);
        GtkTreePath *y = gtk_tree_model_get_path(model, b);
        gint result = gtk_tree_path_compare(x, y);
        gtk_tree_path_free(x);
        gtk_tree_path_free(y);
        return result;
    }
    ulvo::GCharPtr x(folded_key(model, a));
    ulvo::GCharPtr y(folded_key(model, b));
    gint result = strcmp(x.get(), y.get());
    if (result == 0)
        result = compare_columns(model, a, b, KIVEL_FILE_SYSTEM_MODEL_SORT_KEY);
    if (result == 0)
        result = compare_columns(model, a, b, KIVEL_FILE_SYSTEM_MODEL_NAME);
    return result;
}

// The sorted layer drops the rows that come into a level no view holds, and
// says nothing: a folded row whose first subfolder came in, or whose last one
// went, would keep the wrong expander and refuse to unfold. Its views hear
// about it here, after the sorted layer has handled the change.
static void tell_parent_has_children(GtkTreeModel *filter, GtkTreePath *path, gpointer tree)
{
    if (gtk_tree_path_get_depth(path) < 2)
        return;
    GtkTreePath *parent = gtk_tree_path_copy(path);
    gtk_tree_path_up(parent);
    GtkTreeIter above, shown;
    gint children = gtk_tree_model_get_iter(filter, &above, parent)
                        ? gtk_tree_model_iter_n_children(filter, &above)
                        : -1;
    // Only a change between none and some turns the expander.
    if (children == 0 || children == 1) {
        GtkTreePath *sorted =
            gtk_tree_model_sort_convert_child_path_to_path(GTK_TREE_MODEL_SORT(tree), parent);
        if (sorted && gtk_tree_model_get_iter(GTK_TREE_MODEL(tree), &shown, sorted))
            gtk_tree_model_row_has_child_toggled(GTK_TREE_MODEL(tree), sorted, &shown);
        if (sorted)
            gtk_tree_path_free(sorted);
    }
    gtk_tree_path_free(parent);
}

static void on_row_inserted(GtkTreeModel *filter, GtkTreePath *path, GtkTreeIter *, gpointer tree)
{
    tell_parent_has_children(filter, path, tree);
}

static void on_row_deleted(GtkTreeModel *filter, GtkTreePath *path, gpointer tree)
{
    tell_parent_has_children(filter, path, tree);
}

GtkTreeModel *kivel_folder_tree_new(GtkTreeModel *model, GtkTreeModelFilterVisibleFunc visible,
                                    gpointer data)
{
    g_return_val_if_fail(GTK_IS_TREE_MODEL(model), nullptr);
    GtkTreeModel *filter = kivel_file_system_model_tree_filter_new(model);
    gtk_tree_model_filter_set_visible_func(GTK_TREE_MODEL_FILTER(filter), visible, data, nullptr);
    GtkTreeModel *tree = gtk_tree_model_sort_new_with_model(filter);
    g_object_unref(filter);
    g_signal_connect_object(filter, "row-inserted", G_CALLBACK(on_row_inserted), tree,
                            GConnectFlags(0));
    g_signal_connect_object(filter, "row-deleted", G_CALLBACK(on_row_deleted), tree,
                            GConnectFlags(0));
    gtk_tree_sortable_set_default_sort_func(GTK_TREE_SORTABLE(tree), compare_folders, nullptr,
                                            nullptr);
    return tree;
}

void kivel_folder_tree_model_iter(GtkTreeModel *tree, GtkTreeIter *row, GtkTreeIter *shown)
{
    GtkTreeIter filtered;
    gtk_tree_model_sort_convert_iter_to_child_iter(GTK_TREE_MODEL_SORT(tree), &filtered, shown);
    gtk_tree_model_filter_convert_iter_to_child_iter(filter_of(tree), row, &filtered);
}

gboolean kivel_folder_tree_shown_iter(GtkTreeModel *tree, GtkTreeIter *shown, GtkTreeIter *row)
{
    GtkTreeIter filtered;
    return gtk_tree_model_filter_convert_child_iter_to_iter(filter_of(tree), &filtered, row) &&
           gtk_tree_model_sort_convert_child_iter_to_iter(GTK_TREE_MODEL_SORT(tree), shown,
                                                          &filtered);
}

GtkTreePath *kivel_folder_tree_shown_path(GtkTreeModel *tree, GtkTreePath *path)
{
    GtkTreePath *filtered = gtk_tree_model_filter_convert_child_path_to_path(filter_of(tree), path);
    if (!filtered)
        return nullptr;
    GtkTreePath *shown =
        gtk_tree_model_sort_convert_child_path_to_path(GTK_TREE_MODEL_SORT(tree), filtered);
    gtk_tree_path_free(filtered);
    return shown;
}

void kivel_folder_tree_refilter(GtkTreeModel *tree)
{
    gtk_tree_model_filter_refilter(filter_of(tree));
}

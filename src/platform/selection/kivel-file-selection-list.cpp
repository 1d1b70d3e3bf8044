// The content pane's tree model: the current folder's listed rows of the
// file system model, held as they are (no copies) in display order. A
// GSequence keeps inserts, removals and positions O(log n) in folders of
// any size; a table finds a row's place without comparing.
#include "platform/selection/kivel-file-selection-private.h"

#include <algorithm>
#include <numeric>
#include <vector>

struct _KivelContentList {
    GObject parent_instance;
    gint stamp;
    GSequence *rows;   // KivelFileSystemRow*, in display order
    GHashTable *where; // KivelFileSystemRow* -> GSequenceIter* in rows
    GCompareDataFunc compare;
    gpointer compare_data;
};

typedef struct {
    GObjectClass parent_class;
} KivelContentListClass;

static void list_tree_model_init(GtkTreeModelIface *iface);

G_DEFINE_TYPE_WITH_CODE(KivelContentList, kivel_content_list, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(GTK_TYPE_TREE_MODEL, list_tree_model_init))

#define CONTENT_LIST(o)                                                                            \
    (G_TYPE_CHECK_INSTANCE_CAST((o), kivel_content_list_get_type(), KivelContentList))

static void set_iter(KivelContentList *list, GSequenceIter *it, GtkTreeIter *iter)
{
    iter->stamp = list->stamp;
    iter->user_data = it;
    iter->user_data2 = nullptr;
    iter->user_data3 = nullptr;
}

static gboolean no_row(GtkTreeIter *iter)
{
    iter->stamp = 0;
    return FALSE;
}

static GSequenceIter *sequence_iter(KivelContentList *list, GtkTreeIter *iter)
{
    g_return_val_if_fail(iter && iter->stamp == list->stamp, nullptr);
    return static_cast<GSequenceIter *>(iter->user_data);
}

// ---- The tree model interface ----

static GtkTreeModelFlags list_get_flags(GtkTreeModel *)
{
    return GTK_TREE_MODEL_LIST_ONLY;
}

static gint list_get_n_columns(GtkTreeModel *)
{
    return 1;
}

static GType list_get_column_type(GtkTreeModel *, gint)
{
    return G_TYPE_POINTER;
}

static gboolean list_nth(KivelContentList *list, GtkTreeIter *iter, gint n)
{
    if (n < 0 || n >= g_sequence_get_length(list->rows))
        return no_row(iter);
    set_iter(list, g_sequence_get_iter_at_pos(list->rows, n), iter);
    return TRUE;
}

static gboolean list_get_iter(GtkTreeModel *model, GtkTreeIter *iter, GtkTreePath *path)
{
    if (gtk_tree_path_get_depth(path) != 1)
        return no_row(iter);
    return list_nth(CONTENT_LIST(model), iter, gtk_tree_path_get_indices(path)[0]);
}

static GtkTreePath *list_get_path(GtkTreeModel *model, GtkTreeIter *iter)
{
    GSequenceIter *it = sequence_iter(CONTENT_LIST(model), iter);
    g_return_val_if_fail(it != nullptr, nullptr);
    return gtk_tree_path_new_from_indices(g_sequence_iter_get_position(it), -1);
}

static void list_get_value(GtkTreeModel *model, GtkTreeIter *iter, gint, GValue *value)
{
    g_value_init(value, G_TYPE_POINTER);
    GSequenceIter *it = sequence_iter(CONTENT_LIST(model), iter);
    if (it)
        g_value_set_pointer(value, g_sequence_get(it));
}

static gboolean list_iter_next(GtkTreeModel *model, GtkTreeIter *iter)
{
    KivelContentList *list = CONTENT_LIST(model);
    GSequenceIter *it = sequence_iter(list, iter);
    if (!it || g_sequence_iter_is_end(it = g_sequence_iter_next(it)))
        return no_row(iter);
    set_iter(list, it, iter);
    return TRUE;
}

static gboolean list_iter_nth_child(GtkTreeModel *model, GtkTreeIter *iter, GtkTreeIter *parent,
                                    gint n)
{
    if (parent)
        return no_row(iter);
    return list_nth(CONTENT_LIST(model), iter, n);
}

static gboolean list_iter_children(GtkTreeModel *model, GtkTreeIter *iter, GtkTreeIter *parent)
{
    return list_iter_nth_child(model, iter, parent, 0);
}

static gboolean list_iter_has_child(GtkTreeModel *, GtkTreeIter *)
{
    return FALSE;
}

static gint list_iter_n_children(GtkTreeModel *model, GtkTreeIter *iter)
{
    return iter ? 0 : g_sequence_get_length(CONTENT_LIST(model)->rows);
}

static gboolean list_iter_parent(GtkTreeModel *, GtkTreeIter *iter, GtkTreeIter *)
{
    return no_row(iter);
}

static void list_tree_model_init(GtkTreeModelIface *iface)
{
    iface->get_flags = list_get_flags;
    iface->get_n_columns = list_get_n_columns;
    iface->get_column_type = list_get_column_type;
    iface->get_iter = list_get_iter;
    iface->get_path = list_get_path;
    iface->get_value = list_get_value;
    iface->iter_next = list_iter_next;
    iface->iter_children = list_iter_children;
    iface->iter_has_child = list_iter_has_child;
    iface->iter_n_children = list_iter_n_children;
    iface->iter_nth_child = list_iter_nth_child;
    iface->iter_parent = list_iter_parent;
}

// ---- The object ----

static void kivel_content_list_init(KivelContentList *list)
{
    list->stamp = g_random_int_range(1, G_MAXINT32);
    list->rows = g_sequence_new(nullptr);
    list->where = g_hash_table_new(nullptr, nullptr);
}

static void kivel_content_list_finalize(GObject *object)
{
    KivelContentList *list = CONTENT_LIST(object);
    g_sequence_free(list->rows);
    g_hash_table_destroy(list->where);
    G_OBJECT_CLASS(kivel_content_list_parent_class)->finalize(object);
}

static void kivel_content_list_class_init(KivelContentListClass *klass)
{
    G_OBJECT_CLASS(klass)->finalize = kivel_content_list_finalize;
}

KivelContentList *kivel_content_list_new(GCompareDataFunc compare, gpointer data)
{
    auto list = CONTENT_LIST(g_object_new(kivel_content_list_get_type(), nullptr));
    list->compare = compare;
    list->compare_data = data;
    return list;
}

gint kivel_content_list_length(KivelContentList *list)
{
    return g_sequence_get_length(list->rows);
}

static GSequenceIter *find(KivelContentList *list, KivelFileSystemRow *row)
{
    return static_cast<GSequenceIter *>(g_hash_table_lookup(list->where, row));
}

gboolean kivel_content_list_has(KivelContentList *list, KivelFileSystemRow *row)
{
    return find(list, row) != nullptr;
}

gboolean kivel_content_list_iter(KivelContentList *list, KivelFileSystemRow *row, GtkTreeIter *iter)
{
    GSequenceIter *it = find(list, row);
    if (!it)
        return no_row(iter);
    set_iter(list, it, iter);
    return TRUE;
}

GtkTreePath *kivel_content_list_path(KivelContentList *list, KivelFileSystemRow *row)
{
    GSequenceIter *it = find(list, row);
    return it ? gtk_tree_path_new_from_indices(g_sequence_iter_get_position(it), -1) : nullptr;
}

KivelFileSystemRow *kivel_content_list_row(KivelContentList *list, GtkTreeIter *iter)
{
    GSequenceIter *it = sequence_iter(list, iter);
    return it ? static_cast<KivelFileSystemRow *>(g_sequence_get(it)) : nullptr;
}

gint kivel_content_list_insert(KivelContentList *list, KivelFileSystemRow *row)
{
    g_return_val_if_fail(!find(list, row), -1);
    GSequenceIter *it =
        g_sequence_insert_sorted(list->rows, row, list->compare, list->compare_data);
    g_hash_table_insert(list->where, row, it);
    gint position = g_sequence_iter_get_position(it);
    GtkTreeIter iter;
    set_iter(list, it, &iter);
    GtkTreePath *path = gtk_tree_path_new_from_indices(position, -1);
    gtk_tree_model_row_inserted(GTK_TREE_MODEL(list), path, &iter);
    gtk_tree_path_free(path);
    return position;
}

void kivel_content_list_merge(KivelContentList *list, KivelFileSystemRow **rows, gint n)
{
    auto less = [list](gpointer a, gpointer b) {
        return list->compare(a, b, list->compare_data) < 0;
    };
    std::vector<gpointer> incoming(rows, rows + n);
    std::sort(incoming.begin(), incoming.end(), less);
    std::vector<gpointer> listed;
    listed.reserve(g_sequence_get_length(list->rows));
    for (GSequenceIter *it = g_sequence_get_begin_iter(list->rows); !g_sequence_iter_is_end(it);
         it = g_sequence_iter_next(it))
        listed.push_back(g_sequence_get(it));
    std::vector<gpointer> merged(listed.size() + incoming.size());
    std::merge(listed.begin(), listed.end(), incoming.begin(), incoming.end(), merged.begin(),
               less);
    g_sequence_remove_range(g_sequence_get_begin_iter(list->rows),
                            g_sequence_get_end_iter(list->rows));
    g_hash_table_remove_all(list->where);
    for (gpointer row : merged)
        g_hash_table_insert(list->where, row, g_sequence_append(list->rows, row));
}

void kivel_content_list_remove(KivelContentList *list, KivelFileSystemRow *row)
{
    GSequenceIter *it = find(list, row);
    if (!it)
        return;
    GtkTreePath *path = gtk_tree_path_new_from_indices(g_sequence_iter_get_position(it), -1);
    g_hash_table_remove(list->where, row);
    g_sequence_remove(it);
    gtk_tree_model_row_deleted(GTK_TREE_MODEL(list), path);
    gtk_tree_path_free(path);
}

gboolean kivel_content_list_in_order(KivelContentList *list, KivelFileSystemRow *row)
{
    GSequenceIter *it = find(list, row);
    g_return_val_if_fail(it != nullptr, FALSE);
    GSequenceIter *prev = g_sequence_iter_prev(it);
    if (prev != it && list->compare(g_sequence_get(prev), row, list->compare_data) >= 0)
        return FALSE;
    GSequenceIter *next = g_sequence_iter_next(it);
    return g_sequence_iter_is_end(next) ||
           list->compare(row, g_sequence_get(next), list->compare_data) < 0;
}

void kivel_content_list_row_changed(KivelContentList *list, KivelFileSystemRow *row)
{
    GtkTreeIter iter;
    if (!kivel_content_list_iter(list, row, &iter))
        return;
    GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(list), &iter);
    gtk_tree_model_row_changed(GTK_TREE_MODEL(list), path, &iter);
    gtk_tree_path_free(path);
}

void kivel_content_list_resort(KivelContentList *list)
{
    gint n = g_sequence_get_length(list->rows);
    if (n < 2)
        return;
    std::vector<gpointer> rows;
    rows.reserve(n);
    for (GSequenceIter *it = g_sequence_get_begin_iter(list->rows); !g_sequence_iter_is_end(it);
         it = g_sequence_iter_next(it))
        rows.push_back(g_sequence_get(it));
    // new_order[new position] = old position, as "rows-reordered" wants it.
    std::vector<gint> new_order(n);
    std::iota(new_order.begin(), new_order.end(), 0);
    std::sort(new_order.begin(), new_order.end(), [&](gint a, gint b) {
        return list->compare(rows[a], rows[b], list->compare_data) < 0;
    });
    gint i = 0;
    for (GSequenceIter *it = g_sequence_get_begin_iter(list->rows); !g_sequence_iter_is_end(it);
         it = g_sequence_iter_next(it), i++) {
        gpointer row = rows[new_order[i]];
        g_sequence_set(it, row);
        g_hash_table_insert(list->where, row, it);
    }
    GtkTreePath *top = gtk_tree_path_new();
    gtk_tree_model_rows_reordered(GTK_TREE_MODEL(list), top, nullptr, new_order.data());
    gtk_tree_path_free(top);
}

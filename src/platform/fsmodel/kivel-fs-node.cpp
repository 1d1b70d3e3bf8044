// The node tree behind the file system model and the row signals that go
// with every change of it. Children sit in a GSequence, so that appending,
// removing and finding a row's position stay O(log n) in folders of any size.
#include "platform/fsmodel/kivel-fs-private.h"

#include <vector>

FsNode *fs_node_new(gchar *uri, gchar *name)
{
    FsNode *node = g_slice_new0(FsNode);
    node->uri = uri;
    node->name = name;
    return node;
}

gchar *fs_node_dup_uri(FsNode *node)
{
    if (node->uri)
        return g_strdup(node->uri);
    if (!node->name || !node->parent || !node->parent->uri)
        return nullptr;
    return fs_child_uri(node->parent->uri, node->name);
}

void fs_node_keep_uri(FsNode *node)
{
    if (!node->uri)
        node->uri = fs_node_dup_uri(node);
}

void fs_model_iter_for(KivelFileSystemModel *model, FsNode *node, GtkTreeIter *iter)
{
    iter->stamp = model->stamp;
    iter->user_data = node;
    iter->user_data2 = nullptr;
    iter->user_data3 = nullptr;
}

FsNode *fs_model_node_for(KivelFileSystemModel *model, GtkTreeIter *iter)
{
    if (!iter)
        return model->root;
    g_return_val_if_fail(iter->stamp == model->stamp, nullptr);
    g_return_val_if_fail(iter->user_data != nullptr, nullptr);
    return static_cast<FsNode *>(iter->user_data);
}

GtkTreePath *fs_node_path(FsNode *node)
{
    std::vector<gint> indices;
    for (FsNode *n = node; n->parent; n = n->parent)
        indices.push_back(g_sequence_iter_get_position(n->position));
    GtkTreePath *path = gtk_tree_path_new();
    for (auto it = indices.rbegin(); it != indices.rend(); ++it)
        gtk_tree_path_append_index(path, *it);
    return path;
}

guint fs_node_n_children(FsNode *node)
{
    return node->children ? g_sequence_get_length(node->children) : 0;
}

FsNode *fs_node_child_by_name(FsNode *folder, const gchar *name)
{
    if (!folder->folder || !name)
        return nullptr;
    return static_cast<FsNode *>(g_hash_table_lookup(folder->folder->by_name, name));
}

const gchar *fs_node_display_name(FsNode *node)
{
    if (node->title_id)
        return fs_text(node->title_id);
    if (node->display)
        return node->display;
    return node->name;
}

static bool has_children(FsNode *node)
{
    return node->children && !g_sequence_is_empty(node->children);
}

static void emit_has_child_toggled(KivelFileSystemModel *model, FsNode *parent)
{
    if (parent == model->root)
        return;
    GtkTreeIter iter;
    fs_model_iter_for(model, parent, &iter);
    GtkTreePath *path = fs_node_path(parent);
    gtk_tree_model_row_has_child_toggled(GTK_TREE_MODEL(model), path, &iter);
    gtk_tree_path_free(path);
}

void fs_model_insert(KivelFileSystemModel *model, FsNode *parent, FsNode *node, FsNode *sibling)
{
    bool first = !has_children(parent);
    if (!parent->children)
        parent->children = g_sequence_new(nullptr);
    node->parent = parent;
    node->position = sibling ? g_sequence_insert_before(sibling->position, node)
                             : g_sequence_append(parent->children, node);
    if (parent->folder && node->name)
        g_hash_table_replace(parent->folder->by_name, node->name, node);

    GtkTreeIter iter;
    fs_model_iter_for(model, node, &iter);
    GtkTreePath *path = fs_node_path(node);
    gtk_tree_model_row_inserted(GTK_TREE_MODEL(model), path, &iter);
    gtk_tree_path_free(path);
    if (first)
        emit_has_child_toggled(model, parent);
}

void fs_model_remove(KivelFileSystemModel *model, FsNode *node)
{
    FsNode *parent = node->parent;
    g_return_if_fail(parent != nullptr);
    fs_model_emit_row_removing(model, node);
    GtkTreePath *path = fs_node_path(node);
    if (parent->folder) {
        if (node->name && g_hash_table_lookup(parent->folder->by_name, node->name) == node)
            g_hash_table_remove(parent->folder->by_name, node->name);
        if (parent->folder->placeholder == node)
            parent->folder->placeholder = nullptr;
    }
    g_sequence_remove(node->position);
    node->position = nullptr;
    node->parent = nullptr;

    gtk_tree_model_row_deleted(GTK_TREE_MODEL(model), path);
    gtk_tree_path_free(path);
    if (!has_children(parent))
        emit_has_child_toggled(model, parent);
    fs_node_free(node);
}

const gchar *fs_node_sort_key(FsNode *node)
{
    if (!node->sort_key)
        node->sort_key = g_utf8_collate_key_for_filename(fs_node_display_name(node), -1);
    return node->sort_key;
}

void fs_model_row_changed(KivelFileSystemModel *model, FsNode *node)
{
    g_clear_pointer(&node->sort_key, g_free);
    GtkTreeIter iter;
    fs_model_iter_for(model, node, &iter);
    GtkTreePath *path = fs_node_path(node);
    gtk_tree_model_row_changed(GTK_TREE_MODEL(model), path, &iter);
    gtk_tree_path_free(path);
}

void fs_model_unload(KivelFileSystemModel *model, FsNode *node)
{
    if (!node->folder)
        return;
    g_clear_pointer(&node->folder, fs_folder_free);
    // From the end, so that no sibling moves while the rows go.
    while (has_children(node)) {
        GSequenceIter *last = g_sequence_iter_prev(g_sequence_get_end_iter(node->children));
        fs_model_remove(model, static_cast<FsNode *>(g_sequence_get(last)));
    }
    fs_model_row_changed(model, node);
}

void fs_node_free(FsNode *node)
{
    if (!node)
        return;
    g_clear_pointer(&node->folder, fs_folder_free);
    if (node->children) {
        GSequenceIter *it = g_sequence_get_begin_iter(node->children);
        while (!g_sequence_iter_is_end(it)) {
            fs_node_free(static_cast<FsNode *>(g_sequence_get(it)));
            it = g_sequence_iter_next(it);
        }
        g_sequence_free(node->children);
    }
    g_free(node->uri);
    g_free(node->name);
    g_free(node->display);
    g_free(node->sort_key);
    g_free(node->device);
    g_slice_free(FsNode, node);
}

// ---- Reading rows without copies ----

KivelFileSystemRow *kivel_file_system_model_get_row(KivelFileSystemModel *model, GtkTreeIter *iter)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model) && iter != nullptr, nullptr);
    FsNode *node = fs_model_node_for(model, iter);
    return node == model->root ? nullptr : node;
}

void kivel_file_system_model_row_iter(KivelFileSystemModel *model, KivelFileSystemRow *row,
                                      GtkTreeIter *iter)
{
    fs_model_iter_for(model, row, iter);
}

GdkPixbuf *kivel_file_system_model_row_icon(KivelFileSystemModel *model, KivelFileSystemRow *row)
{
    return fs_icon_pixbuf(model, FsIcon(row->icon));
}

gchar *kivel_file_system_row_dup_uri(KivelFileSystemRow *row)
{
    return fs_node_dup_uri(row);
}

const gchar *kivel_file_system_row_get_name(KivelFileSystemRow *row)
{
    return row->name;
}

gboolean kivel_file_system_row_has_scheme_prefix(KivelFileSystemRow *row, const gchar *prefix)
{
    // A child shares its folder's scheme.
    const gchar *uri = row->uri ? row->uri : (row->parent ? row->parent->uri : nullptr);
    return uri && g_str_has_prefix(uri, prefix);
}

const gchar *kivel_file_system_row_get_display_name(KivelFileSystemRow *row)
{
    const gchar *name = fs_node_display_name(row);
    return name ? name : "";
}

const gchar *kivel_file_system_row_get_sort_key(KivelFileSystemRow *row)
{
    return fs_node_sort_key(row);
}

const gchar *kivel_file_system_row_get_mime_type(KivelFileSystemRow *row)
{
    return row->mime;
}

gint64 kivel_file_system_row_get_size(KivelFileSystemRow *row)
{
    return row->size;
}

gint64 kivel_file_system_row_get_mtime(KivelFileSystemRow *row)
{
    return row->mtime;
}

gboolean kivel_file_system_row_is_folder(KivelFileSystemRow *row)
{
    return row->is_folder || row->item_type >= KIVEL_FILE_SYSTEM_MODEL_FOLDER;
}

gboolean kivel_file_system_row_is_readonly(KivelFileSystemRow *row)
{
    return row->readonly;
}

gboolean kivel_file_system_row_is_placeholder(KivelFileSystemRow *row)
{
    return row->placeholder;
}

gboolean kivel_file_system_row_is_available(KivelFileSystemRow *row)
{
    return row->available != 0;
}

KivelFileSystemModelItemType kivel_file_system_row_get_item_type(KivelFileSystemRow *row)
{
    return KivelFileSystemModelItemType(row->item_type);
}

gint kivel_file_system_row_compare_position(KivelFileSystemRow *a, KivelFileSystemRow *b)
{
    return g_sequence_iter_compare(a->position, b->position);
}

// The file system model object: its tree model interface, its signals and
// the operations the application calls (search, load, reload, free names).
#include "platform/fsmodel/kivel-fs-private.h"

#include <libintl.h>
#include <locale.h>
#include <string.h>
#include <string>
#include <vector>

enum { PROP_0, PROP_REF_WIDGET, PROP_BACKEND_OBJECT };
enum { SIGNAL_VOLDEV_MOUNTED, SIGNAL_FINISHED_LOADING, SIGNAL_ROW_REMOVING, N_SIGNALS };
static guint signals[N_SIGNALS];

static void tree_model_init(GtkTreeModelIface *iface);

G_DEFINE_TYPE_WITH_CODE(KivelFileSystemModel, kivel_file_system_model, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(GTK_TYPE_TREE_MODEL, tree_model_init))

const gchar *fs_text(const gchar *id)
{
    return dcgettext("kivel-fm", id, LC_MESSAGES);
}

void fs_model_emit_finished_loading(KivelFileSystemModel *model, FsNode *folder)
{
    GtkTreeIter iter;
    fs_model_iter_for(model, folder, &iter);
    g_signal_emit(model, signals[SIGNAL_FINISHED_LOADING], 0, &iter);
}

void fs_model_emit_voldev_mounted(KivelFileSystemModel *model, const gchar *uri)
{
    g_signal_emit(model, signals[SIGNAL_VOLDEV_MOUNTED], 0, uri);
}

void fs_model_emit_row_removing(KivelFileSystemModel *model, FsNode *node)
{
    GtkTreeIter iter;
    fs_model_iter_for(model, node, &iter);
    g_signal_emit(model, signals[SIGNAL_ROW_REMOVING], 0, &iter);
}

// ---- the tree model interface ----

static GType column_type(gint column)
{
    switch (column) {
    case KIVEL_FILE_SYSTEM_MODEL_URI:
    case KIVEL_FILE_SYSTEM_MODEL_LOCAL_PATH:
    case KIVEL_FILE_SYSTEM_MODEL_NAME:
    case KIVEL_FILE_SYSTEM_MODEL_MIME_TYPE:
    case KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME:
    case KIVEL_FILE_SYSTEM_MODEL_SORT_KEY:
    case KIVEL_FILE_SYSTEM_MODEL_ICON_NAME:
    case KIVEL_FILE_SYSTEM_MODEL_DEVICE:
        return G_TYPE_STRING;
    case KIVEL_FILE_SYSTEM_MODEL_SIZE:
    case KIVEL_FILE_SYSTEM_MODEL_MTIME:
        return G_TYPE_INT64;
    case KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER:
    case KIVEL_FILE_SYSTEM_MODEL_IS_HIDDEN:
    case KIVEL_FILE_SYSTEM_MODEL_IS_READONLY:
    case KIVEL_FILE_SYSTEM_MODEL_IS_LOADED:
    case KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER:
        return G_TYPE_BOOLEAN;
    case KIVEL_FILE_SYSTEM_MODEL_ICON:
        return GDK_TYPE_PIXBUF;
    default:
        return G_TYPE_INT;
    }
}

static GtkTreeModelFlags model_get_flags(GtkTreeModel *)
{
    return GTK_TREE_MODEL_ITERS_PERSIST;
}

static gint model_get_n_columns(GtkTreeModel *)
{
    return KIVEL_FILE_SYSTEM_MODEL_N_COLUMNS;
}

static GType model_get_column_type(GtkTreeModel *, gint column)
{
    g_return_val_if_fail(column >= 0 && column < KIVEL_FILE_SYSTEM_MODEL_N_COLUMNS, G_TYPE_INVALID);
    return column_type(column);
}

static FsNode *nth_child(FsNode *parent, gint n)
{
    if (!parent->children || n < 0)
        return nullptr;
    GSequenceIter *it = g_sequence_get_iter_at_pos(parent->children, n);
    return g_sequence_iter_is_end(it) ? nullptr : static_cast<FsNode *>(g_sequence_get(it));
}

static gboolean model_get_iter(GtkTreeModel *tree_model, GtkTreeIter *iter, GtkTreePath *path)
{
    auto *model = KIVEL_FILE_SYSTEM_MODEL(tree_model);
    gint depth = gtk_tree_path_get_depth(path);
    gint *indices = gtk_tree_path_get_indices(path);
    FsNode *node = model->root;
    for (gint i = 0; i < depth && node; i++)
        node = nth_child(node, indices[i]);
    if (!node || node == model->root) {
        iter->stamp = 0;
        return FALSE;
    }
    fs_model_iter_for(model, node, iter);
    return TRUE;
}

static GtkTreePath *model_get_path(GtkTreeModel *tree_model, GtkTreeIter *iter)
{
    auto *model = KIVEL_FILE_SYSTEM_MODEL(tree_model);
    FsNode *node = fs_model_node_for(model, iter);
    g_return_val_if_fail(node != nullptr && node != model->root, nullptr);
    return fs_node_path(node);
}

static void model_get_value(GtkTreeModel *tree_model, GtkTreeIter *iter, gint column, GValue *value)
{
    auto *model = KIVEL_FILE_SYSTEM_MODEL(tree_model);
    g_return_if_fail(column >= 0 && column < KIVEL_FILE_SYSTEM_MODEL_N_COLUMNS);
    g_value_init(value, column_type(column));
    FsNode *node = fs_model_node_for(model, iter);
    g_return_if_fail(node != nullptr && node != model->root);

    switch (column) {
    case KIVEL_FILE_SYSTEM_MODEL_URI:
        g_value_take_string(value, fs_node_dup_uri(node));
        break;
    case KIVEL_FILE_SYSTEM_MODEL_LOCAL_PATH: {
        gchar *uri = fs_node_dup_uri(node);
        if (uri && g_str_has_prefix(uri, "file:"))
            g_value_take_string(value, g_filename_from_uri(uri, nullptr, nullptr));
        g_free(uri);
        break;
    }
    case KIVEL_FILE_SYSTEM_MODEL_NAME:
        if (node->name && g_utf8_validate(node->name, -1, nullptr))
            g_value_set_string(value, node->name);
        else if (node->name)
            g_value_take_string(value, g_filename_display_name(node->name));
        break;
    case KIVEL_FILE_SYSTEM_MODEL_MIME_TYPE:
        g_value_set_static_string(value, node->mime);
        break;
    case KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME:
        g_value_set_string(value, fs_node_display_name(node));
        break;
    case KIVEL_FILE_SYSTEM_MODEL_SIZE:
        g_value_set_int64(value, node->size);
        break;
    case KIVEL_FILE_SYSTEM_MODEL_MTIME:
        g_value_set_int64(value, node->mtime);
        break;
    case KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER:
        g_value_set_boolean(value, node->is_folder);
        break;
    case KIVEL_FILE_SYSTEM_MODEL_IS_HIDDEN:
        // Hidden files are not listed; the special folders are shown.
        g_value_set_boolean(value, FALSE);
        break;
    case KIVEL_FILE_SYSTEM_MODEL_IS_READONLY:
        g_value_set_boolean(value, node->readonly);
        break;
    case KIVEL_FILE_SYSTEM_MODEL_IS_LOADED:
        g_value_set_boolean(value, node->folder && node->folder->state == FS_LOADED);
        break;
    case KIVEL_FILE_SYSTEM_MODEL_SORT_KEY:
        g_value_set_string(value, fs_node_sort_key(node));
        break;
    case KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE:
        g_value_set_int(value, node->item_type);
        break;
    case KIVEL_FILE_SYSTEM_MODEL_ICON:
        g_value_set_object(value, fs_icon_pixbuf(model, FsIcon(node->icon)));
        break;
    case KIVEL_FILE_SYSTEM_MODEL_ICON_NAME:
        g_value_set_static_string(value, fs_icon_name(model, FsIcon(node->icon)));
        break;
    case KIVEL_FILE_SYSTEM_MODEL_AVAILABLE:
        g_value_set_int(value, node->available);
        break;
    case KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER:
        g_value_set_boolean(value, node->placeholder);
        break;
    case KIVEL_FILE_SYSTEM_MODEL_DEVICE:
        g_value_set_string(value, node->device ? node->device : "");
        break;
    default:
        g_value_set_int(value, 0);
        break;
    }
}

static gboolean model_iter_next(GtkTreeModel *tree_model, GtkTreeIter *iter)
{
    auto *model = KIVEL_FILE_SYSTEM_MODEL(tree_model);
    FsNode *node = fs_model_node_for(model, iter);
    g_return_val_if_fail(node != nullptr && node != model->root, FALSE);
    GSequenceIter *next = g_sequence_iter_next(node->position);
    if (g_sequence_iter_is_end(next)) {
        iter->stamp = 0;
        return FALSE;
    }
    fs_model_iter_for(model, static_cast<FsNode *>(g_sequence_get(next)), iter);
    return TRUE;
}

static gboolean model_iter_nth_child(GtkTreeModel *tree_model, GtkTreeIter *iter,
                                     GtkTreeIter *parent, gint n)
{
    auto *model = KIVEL_FILE_SYSTEM_MODEL(tree_model);
    FsNode *node = fs_model_node_for(model, parent);
    FsNode *child = node ? nth_child(node, n) : nullptr;
    if (!child) {
        iter->stamp = 0;
        return FALSE;
    }
    fs_model_iter_for(model, child, iter);
    return TRUE;
}

static gboolean model_iter_children(GtkTreeModel *tree_model, GtkTreeIter *iter,
                                    GtkTreeIter *parent)
{
    return model_iter_nth_child(tree_model, iter, parent, 0);
}

static gboolean model_iter_has_child(GtkTreeModel *tree_model, GtkTreeIter *iter)
{
    FsNode *node = fs_model_node_for(KIVEL_FILE_SYSTEM_MODEL(tree_model), iter);
    return node && node->children && !g_sequence_is_empty(node->children);
}

static gint model_iter_n_children(GtkTreeModel *tree_model, GtkTreeIter *iter)
{
    FsNode *node = fs_model_node_for(KIVEL_FILE_SYSTEM_MODEL(tree_model), iter);
    return node ? gint(fs_node_n_children(node)) : 0;
}

static gboolean model_iter_parent(GtkTreeModel *tree_model, GtkTreeIter *iter, GtkTreeIter *child)
{
    auto *model = KIVEL_FILE_SYSTEM_MODEL(tree_model);
    FsNode *node = fs_model_node_for(model, child);
    if (!node || !node->parent || node->parent == model->root) {
        iter->stamp = 0;
        return FALSE;
    }
    fs_model_iter_for(model, node->parent, iter);
    return TRUE;
}

static void tree_model_init(GtkTreeModelIface *iface)
{
    iface->get_flags = model_get_flags;
    iface->get_n_columns = model_get_n_columns;
    iface->get_column_type = model_get_column_type;
    iface->get_iter = model_get_iter;
    iface->get_path = model_get_path;
    iface->get_value = model_get_value;
    iface->iter_next = model_iter_next;
    iface->iter_children = model_iter_children;
    iface->iter_has_child = model_iter_has_child;
    iface->iter_n_children = model_iter_n_children;
    iface->iter_nth_child = model_iter_nth_child;
    iface->iter_parent = model_iter_parent;
}

// ---- the object ----

static void kivel_file_system_model_init(KivelFileSystemModel *model)
{
    model->stamp = g_random_int_range(1, G_MAXINT32);
    model->root = fs_node_new(g_strdup(KIVEL_FILE_SYSTEM_ROOT_URI), nullptr);
    model->root->is_folder = true;
    model->backend = fs_backend_new(model);
}

static void model_constructed(GObject *object)
{
    G_OBJECT_CLASS(kivel_file_system_model_parent_class)->constructed(object);
    fs_roots_init(KIVEL_FILE_SYSTEM_MODEL(object));
}

static void model_dispose(GObject *object)
{
    auto *model = KIVEL_FILE_SYSTEM_MODEL(object);
    fs_roots_shutdown(model);
    g_clear_pointer(&model->root, fs_node_free);
    if (model->backend) {
        fs_backend_forget_model(model->backend);
        g_clear_object(&model->backend);
    }
    fs_icons_clear(model);
    if (model->ref_widget) {
        g_object_remove_weak_pointer(G_OBJECT(model->ref_widget),
                                     reinterpret_cast<gpointer *>(&model->ref_widget));
        model->ref_widget = nullptr;
    }
    G_OBJECT_CLASS(kivel_file_system_model_parent_class)->dispose(object);
}

static void model_set_property(GObject *object, guint id, const GValue *value, GParamSpec *pspec)
{
    auto *model = KIVEL_FILE_SYSTEM_MODEL(object);
    switch (id) {
    case PROP_REF_WIDGET:
        model->ref_widget = GTK_WIDGET(g_value_get_object(value));
        if (model->ref_widget)
            g_object_add_weak_pointer(G_OBJECT(model->ref_widget),
                                      reinterpret_cast<gpointer *>(&model->ref_widget));
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void model_get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec)
{
    auto *model = KIVEL_FILE_SYSTEM_MODEL(object);
    switch (id) {
    case PROP_REF_WIDGET:
        g_value_set_object(value, model->ref_widget);
        break;
    case PROP_BACKEND_OBJECT:
        g_value_set_object(value, model->backend);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void kivel_file_system_model_class_init(KivelFileSystemModelClass *klass)
{
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    object_class->constructed = model_constructed;
    object_class->dispose = model_dispose;
    object_class->set_property = model_set_property;
    object_class->get_property = model_get_property;

    g_object_class_install_property(
        object_class, PROP_REF_WIDGET,
        g_param_spec_object("ref-widget", "Reference widget", "Widget whose screen gives icons",
                            GTK_TYPE_WIDGET,
                            GParamFlags(G_PARAM_READWRITE | G_PARAM_CONSTRUCT_ONLY)));
    g_object_class_install_property(object_class, PROP_BACKEND_OBJECT,
                                    g_param_spec_object("backend-object", "Backend object",
                                                        "Converts between paths and text URIs",
                                                        KIVEL_TYPE_FILE_SYSTEM_BACKEND,
                                                        G_PARAM_READABLE));

    signals[SIGNAL_VOLDEV_MOUNTED] =
        g_signal_new("voldev-mounted", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr,
                     nullptr, g_cclosure_marshal_VOID__STRING, G_TYPE_NONE, 1, G_TYPE_STRING);
    signals[SIGNAL_FINISHED_LOADING] =
        g_signal_new("finished-loading", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr,
                     nullptr, g_cclosure_marshal_VOID__BOXED, G_TYPE_NONE, 1,
                     GTK_TYPE_TREE_ITER | G_SIGNAL_TYPE_STATIC_SCOPE);
    signals[SIGNAL_ROW_REMOVING] =
        g_signal_new("row-removing", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr,
                     nullptr, g_cclosure_marshal_VOID__BOXED, G_TYPE_NONE, 1,
                     GTK_TYPE_TREE_ITER | G_SIGNAL_TYPE_STATIC_SCOPE);
}

GtkTreeModel *kivel_file_system_model_new(GtkWidget *ref_widget)
{
    g_return_val_if_fail(ref_widget == nullptr || GTK_IS_WIDGET(ref_widget), nullptr);
    return GTK_TREE_MODEL(
        g_object_new(KIVEL_TYPE_FILE_SYSTEM_MODEL, "ref-widget", ref_widget, nullptr));
}

// ---- finding rows ----

// The unescaped names of the components of `uri` below `base`; FALSE when
// `uri` is not at or below `base` or a component cannot be unescaped.
static bool names_below(const gchar *base, const gchar *uri, std::vector<std::string> *names)
{
    if (!fs_uri_is_at_or_below(base, uri))
        return false;
    gchar **parts = g_strsplit(uri + strlen(base), "/", -1);
    bool ok = true;
    for (gchar **p = parts; *p && ok; p++) {
        if (!**p)
            continue;
        gchar *name = g_uri_unescape_string(*p, "/");
        ok = name != nullptr;
        if (name)
            names->emplace_back(name);
        g_free(name);
    }
    g_strfreev(parts);
    return ok;
}

// The row of `uri` at or below `start`, following the names through the
// folders whose children are (being) loaded.
static FsNode *find_below(KivelFileSystemModel *model, FsNode *start, const gchar *uri,
                          gboolean recursive)
{
    std::vector<std::string> names;
    FsNode *node = start;
    if (start == model->root) {
        node = fs_roots_find_holder(model, uri);
        if (!node || !names_below(node->uri, uri, &names))
            return nullptr;
        if (!recursive && !names.empty())
            return nullptr;
    } else {
        if (!start->uri || !names_below(start->uri, uri, &names) || names.empty())
            return nullptr;
        if (!recursive && names.size() != 1)
            return nullptr;
    }
    for (const std::string &name : names) {
        node = fs_node_child_by_name(node, name.c_str());
        if (!node)
            return nullptr;
    }
    return node;
}

FsNode *fs_model_find(KivelFileSystemModel *model, const gchar *uri)
{
    return uri ? find_below(model, model->root, uri, TRUE) : nullptr;
}

gboolean kivel_file_system_model_search_path(KivelFileSystemModel *model, const gchar *path,
                                             GtkTreeIter *iter, GtkTreeIter *parent,
                                             gboolean recursive)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model), FALSE);
    g_return_val_if_fail(path != nullptr, FALSE);
    FsNode *start = fs_model_node_for(model, parent);
    if (!start)
        return FALSE;
    FsNode *found = find_below(model, start, path, recursive);
    if (found && iter)
        fs_model_iter_for(model, found, iter);
    return found != nullptr;
}

gboolean kivel_file_system_model_search_uri(KivelFileSystemModel *model, const gchar *uri,
                                            GtkTreeIter *iter, GtkTreeIter *parent,
                                            gboolean recursive)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model), FALSE);
    g_return_val_if_fail(uri != nullptr, FALSE);
    gchar *path = fs_canonical_uri(uri);
    if (!path)
        return FALSE;
    gboolean found = kivel_file_system_model_search_path(model, path, iter, parent, recursive);
    g_free(path);
    return found;
}

gboolean kivel_file_system_model_load_path(KivelFileSystemModel *model, const gchar *path,
                                           GtkTreeIter *iter)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model), FALSE);
    g_return_val_if_fail(path != nullptr, FALSE);
    std::vector<std::string> names;
    FsNode *node = fs_roots_find_holder(model, path);
    if (!node || !names_below(node->uri, path, &names))
        return FALSE;
    for (size_t i = 0; i < names.size(); i++) {
        if (!node->is_folder || !node->available)
            return FALSE;
        FsNode *child = node->folder ? fs_node_child_by_name(node, names[i].c_str()) : nullptr;
        if (!child) {
            // The rest of the way is read at once, not one folder per call.
            fs_load_children(model, node);
            std::vector<const gchar *> rest;
            for (size_t j = i; j < names.size(); j++)
                rest.push_back(names[j].c_str());
            rest.push_back(nullptr);
            fs_load_way(model, node, rest.data());
            return FALSE;
        }
        node = child;
    }
    if (iter)
        fs_model_iter_for(model, node, iter);
    return TRUE;
}

void kivel_file_system_model_load_children(KivelFileSystemModel *model, GtkTreeIter *folder)
{
    g_return_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model));
    FsNode *node = fs_model_node_for(model, folder);
    if (node && node != model->root)
        fs_load_children(model, node);
}

gboolean kivel_file_system_model_children_loaded(KivelFileSystemModel *model, GtkTreeIter *folder)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model), FALSE);
    FsNode *node = fs_model_node_for(model, folder);
    if (!node)
        return FALSE;
    return node == model->root || (node->folder && node->folder->state == FS_LOADED);
}

void kivel_file_system_model_reload_uri(KivelFileSystemModel *model, const gchar *uri)
{
    g_return_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model));
    g_return_if_fail(uri != nullptr);
    gchar *path = fs_canonical_uri(uri);
    FsNode *node = fs_model_find(model, path);
    if (node && !node->is_folder)
        node = node->parent;
    if (!node) {
        // A location without a row: its folder may still be loaded.
        gchar *parent = fs_uri_parent(path);
        node = fs_model_find(model, parent);
        g_free(parent);
    }
    if (node && node != model->root)
        fs_reload_folder(model, node);
    g_free(path);
}

// Tells the filter's views that a row gained or lost children.
static void forward_child_toggled(GtkTreeModel *, GtkTreePath *path, GtkTreeIter *, gpointer data)
{
    GtkTreeModel *filter = GTK_TREE_MODEL(data);
    GtkTreePath *shown =
        gtk_tree_model_filter_convert_child_path_to_path(GTK_TREE_MODEL_FILTER(filter), path);
    GtkTreeIter iter;
    if (shown && gtk_tree_model_get_iter(filter, &iter, shown))
        gtk_tree_model_row_has_child_toggled(filter, shown, &iter);
    if (shown)
        gtk_tree_path_free(shown);
}

// When a shown row gets its first child, the filter's own handler builds the
// row's child level again although its views had it built already, and loses
// the first one. The views ask for the level themselves when told.
GtkTreeModel *kivel_file_system_model_tree_filter_new(GtkTreeModel *model)
{
    g_return_val_if_fail(GTK_IS_TREE_MODEL(model), nullptr);
    GtkTreeModel *filter = gtk_tree_model_filter_new(model, nullptr);
    gulong handler = g_signal_handler_find(
        model, GSignalMatchType(G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_DATA),
        g_signal_lookup("row-has-child-toggled", GTK_TYPE_TREE_MODEL), 0, nullptr, nullptr, filter);
    if (handler) {
        g_signal_handler_block(model, handler);
        g_signal_connect_object(model, "row-has-child-toggled", G_CALLBACK(forward_child_toggled),
                                filter, GConnectFlags(0));
    }
    return filter;
}

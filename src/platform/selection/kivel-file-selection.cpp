// The file selection widget: its panes, the current folder, the model's
// signals, the active pane, properties and signals. The content pane's
// mirror is in kivel-file-selection-content.cpp, its view in
// kivel-file-selection-items.cpp, the tree in
// kivel-file-selection-navigation.cpp, presses in
// kivel-file-selection-press.cpp.
#include "platform/selection/kivel-file-selection-private.h"
#include "platform/toolkit/kivel-pannable.h"

#include <gio/gio.h>
#include <string.h>

enum {
    PROP_0,
    PROP_MODEL,
    PROP_PANE_POSITION,
    PROP_ACTIVE_PANE,
    PROP_CURRENTLY_DRAGGING,
    PROP_DRAG_ENABLED,
    PROP_SHOW_FILES,
    PROP_SHOW_FOLDERS,
    PROP_SHOW_READONLY,
    PROP_SHOW_UPNP,
    PROP_HIDE_NAVI,
    PROP_EDIT_MODE,
};

enum {
    SIGNAL_NAVIGATION_CONTEXT_MENU,
    SIGNAL_CONTENT_CONTEXT_MENU,
    SIGNAL_FILE_ACTIVATED,
    SIGNAL_SELECTION_CHANGED,
    SIGNAL_CURRENT_FOLDER_CHANGED,
    SIGNAL_FOLDER_ACTIVATED,
    N_SIGNALS
};

static guint signals[N_SIGNALS];

G_DEFINE_TYPE(KivelFileSelection, kivel_file_selection, GTK_TYPE_VBOX)

void kivel_file_selection_emit_selection_changed(KivelFileSelection *fs)
{
    g_signal_emit(fs, signals[SIGNAL_SELECTION_CHANGED], 0);
}

void kivel_file_selection_emit_file_activated(KivelFileSelection *fs)
{
    g_signal_emit(fs, signals[SIGNAL_FILE_ACTIVATED], 0);
}

void kivel_file_selection_emit_context_menu(KivelFileSelection *fs, gint pane)
{
    g_signal_emit(
        fs,
        signals[pane == KIVEL_FILE_SELECTION_PANE_NAVIGATION ? SIGNAL_NAVIGATION_CONTEXT_MENU
                                                             : SIGNAL_CONTENT_CONTEXT_MENU],
        0);
}

gboolean kivel_file_selection_item_is_shown(KivelFileSelection *fs, gboolean is_upnp,
                                            gboolean is_folder, gboolean is_placeholder,
                                            gboolean is_hidden, gboolean is_readonly,
                                            gint item_type)
{
    if (is_placeholder)
        return FALSE;
    if (is_folder ? !fs->show_folders : !fs->show_files)
        return FALSE;
    if (is_readonly && !fs->show_readonly)
        return FALSE;
    // Dot files stay out of sight; special folders and device roots are
    // dot-named at times and always shown.
    if (is_hidden && item_type < KIVEL_FILE_SYSTEM_MODEL_SAFE_FOLDER_IMAGES)
        return FALSE;
    return fs->show_upnp || !is_upnp;
}

// ---- Current folder -------------------------------------------------------

gboolean kivel_file_selection_current_folder_model_iter(KivelFileSelection *fs, GtkTreeIter *iter)
{
    if (!fs->current || !fs->model)
        return FALSE;
    GtkTreePath *path = gtk_tree_row_reference_get_path(fs->current);
    if (!path)
        return FALSE;
    gboolean found = gtk_tree_model_get_iter(fs->model, iter, path);
    gtk_tree_path_free(path);
    return found;
}

static gboolean row_is_folder(GtkTreeModel *model, GtkTreeIter *iter)
{
    gboolean folder = FALSE, placeholder = FALSE;
    gint type = 0;
    gtk_tree_model_get(model, iter, KIVEL_FILE_SYSTEM_MODEL_IS_FOLDER, &folder,
                       KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE, &type,
                       KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER, &placeholder, -1);
    return !placeholder && (folder || type >= KIVEL_FILE_SYSTEM_MODEL_FOLDER);
}

void kivel_file_selection_change_current_folder(KivelFileSelection *fs, GtkTreeIter *folder)
{
    if (fs->lost_folder_source) {
        g_source_remove(fs->lost_folder_source);
        fs->lost_folder_source = 0;
    }
    GtkTreePath *path = folder ? gtk_tree_model_get_path(fs->model, folder) : nullptr;
    GtkTreePath *old = fs->current ? gtk_tree_row_reference_get_path(fs->current) : nullptr;
    gboolean same =
        (!path && !fs->current) || (path && old && gtk_tree_path_compare(path, old) == 0);
    if (old)
        gtk_tree_path_free(old);
    g_clear_pointer(&fs->pending_cursor_uri, g_free);

    if (same) {
        fs->selection_signal_blocked++;
        gtk_tree_selection_unselect_all(
            gtk_tree_view_get_selection(GTK_TREE_VIEW(fs->content_view)));
        fs->selection_signal_blocked--;
    } else {
        if (fs->current)
            gtk_tree_row_reference_free(fs->current);
        fs->current = path ? gtk_tree_row_reference_new(fs->model, path) : nullptr;
        g_free(fs->current_uri);
        fs->current_uri = nullptr;
        if (folder)
            gtk_tree_model_get(fs->model, folder, KIVEL_FILE_SYSTEM_MODEL_URI, &fs->current_uri,
                               -1);
        if (!fs->current_uri)
            fs->current_uri = g_strdup(KIVEL_FILE_SYSTEM_ROOT_URI);
        kivel_file_selection_content_reload(fs);
    }
    if (path)
        gtk_tree_path_free(path);
    if (folder)
        kivel_file_system_model_load_children(KIVEL_FILE_SYSTEM_MODEL(fs->model), folder);
    kivel_file_selection_navigation_sync(fs);
    kivel_file_selection_pending_selection_folder_entered(fs);
    g_signal_emit(fs, signals[SIGNAL_CURRENT_FOLDER_CHANGED], 0);
    g_signal_emit(fs, signals[SIGNAL_FOLDER_ACTIVATED], 0);
    kivel_file_selection_emit_selection_changed(fs);
}

// TRUE while the device that holds the model row at `path` is there: a card
// taken out leaves its slot's row behind, unavailable.
static gboolean volume_available(KivelFileSelection *fs, GtkTreePath *path)
{
    GtkTreeIter top;
    GtkTreePath *top_path = gtk_tree_path_new_from_indices(gtk_tree_path_get_indices(path)[0], -1);
    gboolean found = gtk_tree_model_get_iter(fs->model, &top, top_path);
    gtk_tree_path_free(top_path);
    gint available = 0;
    if (found)
        gtk_tree_model_get(fs->model, &top, KIVEL_FILE_SYSTEM_MODEL_AVAILABLE, &available, -1);
    return available != 0;
}

// (transfer full) (nullable) The path of the nearest folder above the lost
// current folder that the model still has.
static GtkTreePath *nearest_known_ancestor(KivelFileSelection *fs)
{
    KivelFileSystemBackend *backend = nullptr;
    g_object_get(fs->model, "backend-object", &backend, nullptr);
    GtkTreeIter iter;
    gboolean found = FALSE;
    gchar *uri = g_strdup(fs->current_uri);
    while (uri && !found) {
        gchar *parent = backend ? kivel_file_system_backend_get_parent(backend, uri) : nullptr;
        g_free(uri);
        uri = parent;
        if (!uri || strcmp(uri, KIVEL_FILE_SYSTEM_ROOT_URI) == 0)
            break;
        found = kivel_file_system_model_search_path(KIVEL_FILE_SYSTEM_MODEL(fs->model), uri, &iter,
                                                    nullptr, TRUE);
    }
    g_free(uri);
    if (backend)
        g_object_unref(backend);
    return found ? gtk_tree_model_get_path(fs->model, &iter) : nullptr;
}

// The current folder's row went away, or its device did: go to the nearest
// folder above it that is still there, or to the top level.
static gboolean recover_lost_folder(gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    fs->lost_folder_source = 0;
    if (!fs->current)
        return FALSE;
    GtkTreePath *target = gtk_tree_row_reference_get_path(fs->current);
    gboolean lost = target == nullptr;
    if (lost)
        target = nearest_known_ancestor(fs);
    if (target && !volume_available(fs, target))
        g_clear_pointer(&target, gtk_tree_path_free);
    else if (!lost) {
        gtk_tree_path_free(target);
        return FALSE;
    }
    GtkTreeIter iter;
    gboolean found = target && gtk_tree_model_get_iter(fs->model, &iter, target);
    if (target)
        gtk_tree_path_free(target);
    kivel_file_selection_change_current_folder(fs, found ? &iter : nullptr);
    return FALSE;
}

static void schedule_recovery(KivelFileSelection *fs)
{
    // Moving now would touch the model in the middle of its change.
    if (!fs->lost_folder_source)
        fs->lost_folder_source = gdk_threads_add_idle(recover_lost_folder, fs);
}

// ---- The model's signals --------------------------------------------------------

// TRUE with the child position when `path` is a child of the current folder.
static gboolean child_of_current(KivelFileSelection *fs, GtkTreePath *path, gint *index)
{
    gint depth = gtk_tree_path_get_depth(path);
    gint *indices = gtk_tree_path_get_indices(path);
    if (depth < 1)
        return FALSE;
    if (!fs->current) {
        *index = indices[0];
        return depth == 1;
    }
    GtkTreePath *current = gtk_tree_row_reference_get_path(fs->current);
    if (!current)
        return FALSE;
    gint current_depth = gtk_tree_path_get_depth(current);
    gboolean child =
        depth == current_depth + 1 &&
        memcmp(gtk_tree_path_get_indices(current), indices, current_depth * sizeof(gint)) == 0;
    gtk_tree_path_free(current);
    *index = indices[depth - 1];
    return child;
}

static gboolean is_current_folder(KivelFileSelection *fs, GtkTreePath *path)
{
    if (!fs->current)
        return gtk_tree_path_get_depth(path) == 0;
    GtkTreePath *current = gtk_tree_row_reference_get_path(fs->current);
    gboolean same = current && gtk_tree_path_compare(current, path) == 0;
    if (current)
        gtk_tree_path_free(current);
    return same;
}

// TRUE when the top-level row at `path` is the current folder or lies above it.
static gboolean holds_current_folder(KivelFileSelection *fs, GtkTreePath *path)
{
    GtkTreePath *current = fs->current ? gtk_tree_row_reference_get_path(fs->current) : nullptr;
    if (!current)
        return FALSE;
    gboolean holds = gtk_tree_path_get_indices(current)[0] == gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(current);
    return holds;
}

static void on_model_row_inserted(GtkTreeModel *, GtkTreePath *path, GtkTreeIter *iter,
                                  gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    gint index;
    if (child_of_current(fs, path, &index))
        kivel_file_selection_content_row_inserted(fs, index, iter);
}

// TRUE when `path` is the current folder or lies above it.
static gboolean holds_or_is_current(KivelFileSelection *fs, GtkTreePath *path)
{
    GtkTreePath *current = fs->current ? gtk_tree_row_reference_get_path(fs->current) : nullptr;
    gboolean holds = current && (gtk_tree_path_compare(path, current) == 0 ||
                                 gtk_tree_path_is_ancestor(path, current));
    if (current)
        gtk_tree_path_free(current);
    return holds;
}

static void on_model_row_removing(KivelFileSystemModel *model, GtkTreeIter *iter, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(model), iter);
    gint index;
    // The listed rows go with their folder, without a word each.
    if (holds_or_is_current(fs, path))
        kivel_file_selection_content_forget(fs);
    else if (child_of_current(fs, path, &index))
        kivel_file_selection_content_row_removing(fs, iter);
    gtk_tree_path_free(path);
}

static void on_model_row_deleted(GtkTreeModel *, GtkTreePath *path, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    if (fs->current && !gtk_tree_row_reference_valid(fs->current)) {
        schedule_recovery(fs);
        return;
    }
    gint index;
    if (child_of_current(fs, path, &index))
        kivel_file_selection_content_row_deleted(fs, index);
}

static void on_model_row_changed(GtkTreeModel *model, GtkTreePath *path, GtkTreeIter *iter,
                                 gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    gint index;
    if (child_of_current(fs, path, &index))
        kivel_file_selection_content_row_changed(fs, index, iter);
    if (gtk_tree_path_get_depth(path) == 1 && holds_current_folder(fs, path) &&
        !volume_available(fs, path))
        schedule_recovery(fs);
    if (fs->current && is_current_folder(fs, path)) {
        gchar *uri = nullptr;
        gtk_tree_model_get(model, iter, KIVEL_FILE_SYSTEM_MODEL_URI, &uri, -1);
        if (uri) {
            g_free(fs->current_uri);
            fs->current_uri = uri;
        }
    }
}

static void on_model_rows_reordered(GtkTreeModel *, GtkTreePath *path, GtkTreeIter *, gpointer,
                                    gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    if (is_current_folder(fs, path))
        kivel_file_selection_content_rows_reordered(fs);
}

static void on_model_finished_loading(KivelFileSystemModel *model, GtkTreeIter *folder,
                                      gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    if (!fs->current || !folder)
        return;
    GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(model), folder);
    // Its subfolders are known now.
    if (is_current_folder(fs, path)) {
        kivel_file_selection_navigation_unfold(fs, path);
        kivel_file_selection_content_folder_loaded(fs);
        kivel_file_selection_pending_selection_check_done(fs);
    }
    gtk_tree_path_free(path);
}

// ---- Content pane activation and selection -------------------------------------

static void on_content_row_activated(GtkTreeView *view, GtkTreePath *path, GtkTreeViewColumn *,
                                     gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    // A double click activates on its second press: its release is no tap.
    g_clear_pointer(&fs->content_press.tap_uri, g_free);
    KivelFileSystemRow *row = kivel_file_selection_content_row_at(fs, path);
    if (!row)
        return;
    if (kivel_file_system_row_is_folder(row)) {
        GtkTreeIter folder;
        kivel_file_selection_content_model_iter(fs, row, &folder);
        kivel_file_selection_change_current_folder(fs, &folder);
        return;
    }
    if (fs->edit_mode)
        return;
    GtkTreeSelection *selection = gtk_tree_view_get_selection(view);
    if (!gtk_tree_selection_path_is_selected(selection, path))
        gtk_tree_selection_select_path(selection, path);
    kivel_file_selection_emit_file_activated(fs);
}

static void on_content_selection_changed(GtkTreeSelection *, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    if (fs->selection_signal_blocked)
        return;
    kivel_file_selection_pending_selection_user_changed(fs);
    kivel_file_selection_emit_selection_changed(fs);
}

// ---- Active pane ------------------------------------------------------------

void kivel_file_selection_set_active_pane_from_user(KivelFileSelection *fs, gint pane)
{
    if (pane == fs->active_pane)
        return;
    fs->active_pane = pane;
    g_object_notify(G_OBJECT(fs), "active-pane");
    kivel_file_selection_emit_selection_changed(fs);
}

static gboolean on_view_focus_in(GtkWidget *view, GdkEventFocus *, gpointer data)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(data);
    kivel_file_selection_set_active_pane_from_user(fs, view == fs->navi_view
                                                           ? KIVEL_FILE_SELECTION_PANE_NAVIGATION
                                                           : KIVEL_FILE_SELECTION_PANE_CONTENT);
    return FALSE;
}

static void set_active_pane(KivelFileSelection *fs, gint pane)
{
    gboolean changed = pane != fs->active_pane;
    fs->active_pane = pane;
    GtkWidget *view =
        pane == KIVEL_FILE_SELECTION_PANE_NAVIGATION ? fs->navi_view : fs->content_view;
    if (gtk_widget_get_visible(gtk_widget_get_parent(view)) &&
        gtk_widget_is_toplevel(gtk_widget_get_toplevel(view)))
        gtk_widget_grab_focus(view);
    if (changed)
        kivel_file_selection_emit_selection_changed(fs);
}

// ---- Object ----------------------------------------------------------------------

static void connect_model(KivelFileSelection *fs)
{
    if (gtk_widget_get_visible(fs->navi_scroller))
        kivel_file_selection_navigation_attach(fs);
    fs->model_handlers[0] =
        g_signal_connect(fs->model, "row-inserted", G_CALLBACK(on_model_row_inserted), fs);
    fs->model_handlers[1] =
        g_signal_connect(fs->model, "row-deleted", G_CALLBACK(on_model_row_deleted), fs);
    fs->model_handlers[2] =
        g_signal_connect(fs->model, "row-changed", G_CALLBACK(on_model_row_changed), fs);
    fs->model_handlers[3] =
        g_signal_connect(fs->model, "rows-reordered", G_CALLBACK(on_model_rows_reordered), fs);
    fs->model_handlers[4] =
        g_signal_connect(fs->model, "finished-loading", G_CALLBACK(on_model_finished_loading), fs);
    fs->model_handlers[5] =
        g_signal_connect(fs->model, "row-removing", G_CALLBACK(on_model_row_removing), fs);
    fs->current_uri = g_strdup(KIVEL_FILE_SYSTEM_ROOT_URI);
    kivel_file_selection_content_reload(fs);
}

static GtkWidget *scrolled(GtkWidget *child)
{
    GtkWidget *scroller = kivel_pannable_area_new();
    gtk_container_add(GTK_CONTAINER(scroller), child);
    gtk_widget_show(child);
    // Pane visibility is ours: a show_all of the window must not undo it.
    gtk_widget_set_no_show_all(scroller, TRUE);
    return scroller;
}

static void kivel_file_selection_init(KivelFileSelection *fs)
{
    fs->active_pane = KIVEL_FILE_SELECTION_PANE_CONTENT;
    fs->sort_key = KIVEL_FILE_SELECTION_SORT_KEY_NAME;
    fs->sort_order = GTK_SORT_ASCENDING;
    fs->mode = KIVEL_FILE_SELECTION_MODE_LIST;
    fs->show_files = fs->show_folders = fs->show_readonly = fs->show_upnp = TRUE;
    fs->drag_enabled = TRUE;

    kivel_file_selection_navigation_build(fs);
    kivel_file_selection_content_init(fs);
    kivel_file_selection_content_build_view(fs);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(fs->content_view));
    g_signal_connect(selection, "changed", G_CALLBACK(on_content_selection_changed), fs);
    g_signal_connect(fs->content_view, "row-activated", G_CALLBACK(on_content_row_activated), fs);
    g_signal_connect(fs->navi_view, "focus-in-event", G_CALLBACK(on_view_focus_in), fs);
    g_signal_connect(fs->content_view, "focus-in-event", G_CALLBACK(on_view_focus_in), fs);
    kivel_file_selection_press_init(fs, &fs->navi_press, fs->navi_view);
    kivel_file_selection_press_init(fs, &fs->content_press, fs->content_view);

    fs->paned = gtk_hpaned_new();
    fs->navi_scroller = scrolled(fs->navi_view);
    fs->content_scroller = scrolled(fs->content_view);
    gtk_paned_pack1(GTK_PANED(fs->paned), fs->navi_scroller, FALSE, TRUE);
    gtk_paned_pack2(GTK_PANED(fs->paned), fs->content_scroller, TRUE, TRUE);
    gtk_widget_show(fs->navi_scroller);
    gtk_widget_show(fs->content_scroller);
    gtk_widget_show(fs->paned);
    gtk_box_pack_start(GTK_BOX(fs), fs->paned, TRUE, TRUE, 0);
}

static void kivel_file_selection_constructed(GObject *object)
{
    G_OBJECT_CLASS(kivel_file_selection_parent_class)->constructed(object);
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(object);
    if (fs->model)
        connect_model(fs);
    else
        g_critical("KivelFileSelection made without a model");
}

static void kivel_file_selection_dispose(GObject *object)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(object);
    if (fs->model) {
        kivel_file_selection_press_dispose(&fs->navi_press);
        kivel_file_selection_press_dispose(&fs->content_press);
        if (fs->lost_folder_source) {
            g_source_remove(fs->lost_folder_source);
            fs->lost_folder_source = 0;
        }
        for (gulong &handler : fs->model_handlers) {
            if (handler)
                g_signal_handler_disconnect(fs->model, handler);
            handler = 0;
        }
        // The views go with the container; their models and our records go now.
        fs->navi_signal_blocked++;
        fs->selection_signal_blocked++;
        kivel_file_selection_navigation_detach(fs);
        gtk_tree_view_set_model(GTK_TREE_VIEW(fs->content_view), nullptr);
        kivel_file_selection_content_dispose(fs);
        g_clear_pointer(&fs->current, gtk_tree_row_reference_free);
        g_clear_object(&fs->model);
    }
    G_OBJECT_CLASS(kivel_file_selection_parent_class)->dispose(object);
}

static void kivel_file_selection_finalize(GObject *object)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(object);
    g_free(fs->current_uri);
    G_OBJECT_CLASS(kivel_file_selection_parent_class)->finalize(object);
}

static void set_listing_rule(KivelFileSelection *fs, gboolean *rule, gboolean value)
{
    value = value != FALSE;
    if (*rule == value)
        return;
    *rule = value;
    if (!fs->model)
        return; // still being built: the first fill applies it
    gboolean had_selection = gtk_tree_selection_count_selected_rows(
                                 gtk_tree_view_get_selection(GTK_TREE_VIEW(fs->content_view))) > 0;
    kivel_file_selection_content_reload(fs);
    kivel_file_selection_navigation_refilter(fs);
    if (had_selection)
        kivel_file_selection_emit_selection_changed(fs);
}

static void kivel_file_selection_set_property(GObject *object, guint id, const GValue *value,
                                              GParamSpec *pspec)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(object);
    switch (id) {
    case PROP_MODEL:
        fs->model = GTK_TREE_MODEL(g_value_dup_object(value));
        break;
    case PROP_PANE_POSITION:
        gtk_paned_set_position(GTK_PANED(fs->paned), g_value_get_int(value));
        break;
    case PROP_ACTIVE_PANE:
        set_active_pane(fs, g_value_get_int(value));
        break;
    case PROP_CURRENTLY_DRAGGING:
        break; // no drag and drop here: never dragging
    case PROP_DRAG_ENABLED:
        fs->drag_enabled = g_value_get_boolean(value);
        break;
    case PROP_SHOW_FILES:
        set_listing_rule(fs, &fs->show_files, g_value_get_boolean(value));
        break;
    case PROP_SHOW_FOLDERS:
        set_listing_rule(fs, &fs->show_folders, g_value_get_boolean(value));
        break;
    case PROP_SHOW_READONLY:
        set_listing_rule(fs, &fs->show_readonly, g_value_get_boolean(value));
        break;
    case PROP_SHOW_UPNP:
        set_listing_rule(fs, &fs->show_upnp, g_value_get_boolean(value));
        break;
    case PROP_HIDE_NAVI:
        if (g_value_get_boolean(value))
            kivel_file_selection_hide_navigation_pane(fs);
        else
            kivel_file_selection_show_navigation_pane(fs);
        break;
    case PROP_EDIT_MODE:
        fs->edit_mode = g_value_get_boolean(value);
        kivel_file_selection_content_apply_edit_mode(fs);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static void kivel_file_selection_get_property(GObject *object, guint id, GValue *value,
                                              GParamSpec *pspec)
{
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(object);
    switch (id) {
    case PROP_MODEL:
        g_value_set_object(value, fs->model);
        break;
    case PROP_PANE_POSITION:
        g_value_set_int(value, gtk_paned_get_position(GTK_PANED(fs->paned)));
        break;
    case PROP_ACTIVE_PANE:
        g_value_set_int(value, fs->active_pane);
        break;
    case PROP_CURRENTLY_DRAGGING:
        g_value_set_boolean(value, FALSE);
        break;
    case PROP_DRAG_ENABLED:
        g_value_set_boolean(value, fs->drag_enabled);
        break;
    case PROP_SHOW_FILES:
        g_value_set_boolean(value, fs->show_files);
        break;
    case PROP_SHOW_FOLDERS:
        g_value_set_boolean(value, fs->show_folders);
        break;
    case PROP_SHOW_READONLY:
        g_value_set_boolean(value, fs->show_readonly);
        break;
    case PROP_SHOW_UPNP:
        g_value_set_boolean(value, fs->show_upnp);
        break;
    case PROP_HIDE_NAVI:
        g_value_set_boolean(value, !gtk_widget_get_visible(fs->navi_scroller));
        break;
    case PROP_EDIT_MODE:
        g_value_set_boolean(value, fs->edit_mode);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

static GParamSpec *boolean_property(const gchar *name, gboolean value, GParamFlags extra = {})
{
    return g_param_spec_boolean(
        name, name, name, value,
        static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | extra));
}

static void kivel_file_selection_class_init(KivelFileSelectionClass *klass)
{
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    object_class->constructed = kivel_file_selection_constructed;
    object_class->dispose = kivel_file_selection_dispose;
    object_class->finalize = kivel_file_selection_finalize;
    object_class->set_property = kivel_file_selection_set_property;
    object_class->get_property = kivel_file_selection_get_property;

    auto rw = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(
        object_class, PROP_MODEL,
        g_param_spec_object("model", "model", "The file system model", KIVEL_TYPE_FILE_SYSTEM_MODEL,
                            static_cast<GParamFlags>(rw | G_PARAM_CONSTRUCT_ONLY)));
    g_object_class_install_property(object_class, PROP_PANE_POSITION,
                                    g_param_spec_int("pane-position", "pane-position",
                                                     "Divider position in pixels", -1, G_MAXINT, -1,
                                                     rw));
    g_object_class_install_property(
        object_class, PROP_ACTIVE_PANE,
        g_param_spec_int("active-pane", "active-pane", "0 navigation pane, 1 content pane",
                         KIVEL_FILE_SELECTION_PANE_NAVIGATION, KIVEL_FILE_SELECTION_PANE_CONTENT,
                         KIVEL_FILE_SELECTION_PANE_CONTENT, rw));
    g_object_class_install_property(object_class, PROP_CURRENTLY_DRAGGING,
                                    boolean_property("currently-dragging", FALSE));
    g_object_class_install_property(object_class, PROP_DRAG_ENABLED,
                                    boolean_property("drag-enabled", TRUE));
    g_object_class_install_property(object_class, PROP_SHOW_FILES,
                                    boolean_property("show-files", TRUE));
    g_object_class_install_property(object_class, PROP_SHOW_FOLDERS,
                                    boolean_property("show-folders", TRUE));
    g_object_class_install_property(object_class, PROP_SHOW_READONLY,
                                    boolean_property("show-readonly", TRUE));
    g_object_class_install_property(object_class, PROP_SHOW_UPNP,
                                    boolean_property("show-upnp", TRUE));
    g_object_class_install_property(object_class, PROP_HIDE_NAVI,
                                    boolean_property("hide-navi", FALSE));
    g_object_class_install_property(object_class, PROP_EDIT_MODE,
                                    boolean_property("edit-mode", FALSE, G_PARAM_CONSTRUCT));

    const gchar *names[N_SIGNALS] = {"navigation-pane-context-menu",
                                     "content-pane-context-menu",
                                     "file-activated",
                                     "selection-changed",
                                     "current-folder-changed",
                                     "folder-activated"};
    for (int i = 0; i < N_SIGNALS; i++)
        signals[i] = g_signal_new(names[i], G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr,
                                  nullptr, g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
}

// ---- Public calls -------------------------------------------------------------------

GtkWidget *kivel_file_selection_new_with_model(KivelFileSystemModel *model)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SYSTEM_MODEL(model), nullptr);
    return GTK_WIDGET(g_object_new(KIVEL_TYPE_FILE_SELECTION, "model", model, nullptr));
}

gchar *kivel_file_selection_get_current_folder_uri(KivelFileSelection *fs)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), nullptr);
    return g_strdup(fs->current_uri);
}

gboolean kivel_file_selection_get_current_folder_iter(KivelFileSelection *fs, GtkTreeIter *iter)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), FALSE);
    g_return_val_if_fail(iter != nullptr, FALSE);
    return kivel_file_selection_current_folder_model_iter(fs, iter);
}

gboolean kivel_file_selection_set_current_folder_iter(KivelFileSelection *fs, GtkTreeIter *iter)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), FALSE);
    g_return_val_if_fail(fs->model != nullptr, FALSE);
    if (iter && !row_is_folder(fs->model, iter))
        return FALSE;
    kivel_file_selection_change_current_folder(fs, iter);
    return TRUE;
}

gboolean kivel_file_selection_set_current_folder_uri(KivelFileSelection *fs, const gchar *uri,
                                                     GError **error)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), FALSE);
    g_return_val_if_fail(uri != nullptr, FALSE);
    g_return_val_if_fail(fs->model != nullptr, FALSE);
    if (strcmp(uri, KIVEL_FILE_SYSTEM_ROOT_URI) == 0) {
        kivel_file_selection_change_current_folder(fs, nullptr);
        return TRUE;
    }
    KivelFileSystemModel *model = KIVEL_FILE_SYSTEM_MODEL(fs->model);
    GtkTreeIter iter;
    if (!kivel_file_system_model_search_uri(model, uri, &iter, nullptr, TRUE)) {
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "No folder %s is known", uri);
        return FALSE;
    }
    if (!row_is_folder(fs->model, &iter)) {
        g_set_error(error, G_IO_ERROR, G_IO_ERROR_NOT_DIRECTORY, "%s is no folder", uri);
        return FALSE;
    }
    kivel_file_selection_change_current_folder(fs, &iter);
    return TRUE;
}

gint kivel_file_selection_get_active_pane(KivelFileSelection *fs)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), KIVEL_FILE_SELECTION_PANE_CONTENT);
    return fs->active_pane;
}

void kivel_file_selection_show_content_pane(KivelFileSelection *fs)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    gtk_widget_show(fs->content_scroller);
}

void kivel_file_selection_hide_content_pane(KivelFileSelection *fs)
{
    g_return_if_fail(KIVEL_IS_FILE_SELECTION(fs));
    gtk_widget_hide(fs->content_scroller);
}

GtkWidget *kivel_file_selection_get_content_view(KivelFileSelection *fs)
{
    g_return_val_if_fail(KIVEL_IS_FILE_SELECTION(fs), nullptr);
    return fs->content_view;
}

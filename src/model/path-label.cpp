#include "model/path-label.h"

#include "model/app-record.h"
#include "model/fm-assert.h"
#include "vfs/glib-ptr.h"

#include <string.h>

using ulvo::GCharPtr;

// The label holds at most this many bytes (a GString of 1023 characters).
static const gsize MAX_PATH_LABEL = 1024;

static const gint SELECT_PATH_INTERVAL_MS = 500;
static const gint SELECT_PATH_MAX_ATTEMPTS = 5;

struct RowName {
    GCharPtr name;
    GCharPtr position;
};

static RowName read_row_name(GtkTreeModel *model, GtkTreeIter *iter)
{
    gchar *name = nullptr;
    gtk_tree_model_get(model, iter, KIVEL_FILE_SYSTEM_MODEL_DISPLAY_NAME, &name, -1);
    return {GCharPtr(name), GCharPtr(gtk_tree_model_get_string_from_iter(model, iter))};
}

void ulvo_fm_update_path_label(KivelFileSelection *file_selection, GtkWidget *button_up,
                               GtkWidget *label_path)
{
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(file_selection),
                      "KIVEL_IS_FILE_SELECTION (file_selection)");
    FM_RETURN_IF_FAIL(GTK_IS_WIDGET(button_up), "GTK_IS_WIDGET (button_up)");
    FM_RETURN_IF_FAIL(GTK_IS_LABEL(label_path), "GTK_IS_LABEL (label_path)");

    // Every place but the top level has a place above it.
    GCharPtr current(kivel_file_selection_get_current_folder_uri(file_selection));
    gboolean at_top = g_strcmp0(current.get(), KIVEL_FILE_SYSTEM_ROOT_URI) == 0;
    gtk_widget_set_sensitive(button_up, !at_top);
    if (at_top) {
        gtk_label_set_text(GTK_LABEL(label_path), "");
        return;
    }
    GtkTreeIter iter;
    if (!kivel_file_selection_get_current_folder_iter(file_selection, &iter))
        return;
    GtkTreeModel *model = nullptr;
    g_object_get(file_selection, "model", &model, NULL);
    if (!model)
        return;
    ulvo::GObjPtr<GtkTreeModel> model_ref(model);

    RowName row = read_row_name(model, &iter);

    GString *text = g_string_new("");
    while (row.position && row.position.get()[0] == '0' && strlen(row.position.get()) >= 2) {
        const gchar *name = row.name && row.name.get()[0] ? row.name.get() : " ";
        g_string_prepend_c(text, '/');
        if (text->len + strlen(name) >= MAX_PATH_LABEL) {
            g_warning("path exceeds the maximum path length");
            break;
        }
        g_string_prepend(text, name);
        GtkTreeIter parent;
        if (!gtk_tree_model_iter_parent(model, &parent, &iter))
            break;
        iter = parent;
        row = read_row_name(model, &iter);
    }
    gtk_label_set_text(GTK_LABEL(label_path), text->str);
    g_string_free(text, TRUE);
}

static gboolean shows_top_level(KivelFileSelection *file_selection)
{
    GCharPtr uri(kivel_file_selection_get_current_folder_uri(file_selection));
    return uri && strcmp(uri.get(), KIVEL_FILE_SYSTEM_ROOT_URI) == 0;
}

gint ulvo_fm_count_current_folder_items(KivelFileSelection *file_selection)
{
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SELECTION(file_selection),
                          "KIVEL_IS_FILE_SELECTION (file_selection)", -1);
    GtkTreeIter folder;
    gboolean has_row = kivel_file_selection_get_current_folder_iter(file_selection, &folder);
    // The top level is a place too: its items are the top-level rows.
    if (!has_row && !shows_top_level(file_selection)) {
        g_warning("Failed to obtain the current folder iter");
        return -1;
    }
    GtkTreeModel *model = nullptr;
    g_object_get(file_selection, "model", &model, NULL);
    if (!model)
        return 0;
    gint count = 0;
    GtkTreeIter child;
    gboolean more = gtk_tree_model_iter_children(model, &child, has_row ? &folder : nullptr);
    while (more) {
        gboolean placeholder = FALSE;
        gtk_tree_model_get(model, &child, KIVEL_FILE_SYSTEM_MODEL_PLACEHOLDER, &placeholder, -1);
        if (!placeholder)
            count++;
        more = gtk_tree_model_iter_next(model, &child);
    }
    g_object_unref(model);
    return count;
}

struct PendingNavigation {
    GtkWidget *widget; // not referenced: a weak pointer, NULL once destroyed
    gchar *path;
    gchar *pane;
    gint failed_attempts;
    guint source;
};

// The one navigation waiting for its folder: a newer request replaces it.
static PendingNavigation *pending_navigation = nullptr;

// Runs when the navigation's timer goes away, also when it is replaced.
static void pending_navigation_free(gpointer data)
{
    auto *nav = static_cast<PendingNavigation *>(data);
    if (pending_navigation == nav)
        pending_navigation = nullptr;
    if (nav->widget)
        g_object_remove_weak_pointer(G_OBJECT(nav->widget), (gpointer *)&nav->widget);
    g_free(nav->path);
    g_free(nav->pane);
    g_free(nav);
}

static KivelFileSystemModel *model_of(GtkWidget *widget)
{
    GtkTreeModel *model = nullptr;
    if (widget && KIVEL_IS_FILE_SELECTION(widget))
        g_object_get(widget, "model", &model, NULL);
    return model ? KIVEL_FILE_SYSTEM_MODEL(model) : nullptr;
}

// TRUE once the folder is the current one. Called with the GDK lock held.
static gboolean try_navigation(PendingNavigation *nav)
{
    ulvo::GObjPtr<KivelFileSystemModel> model(model_of(nav->widget));
    if (!model)
        return FALSE;
    GtkTreeIter iter;
    gboolean at_top = strcmp(nav->path, KIVEL_FILE_SYSTEM_ROOT_URI) == 0;
    if (!at_top && !kivel_file_system_model_load_path(model.get(), nav->path, &iter))
        return FALSE;
    GError *error = nullptr;
    kivel_file_selection_set_current_folder_uri(KIVEL_FILE_SELECTION(nav->widget), nav->path,
                                                &error);
    if (!error)
        return TRUE;
    g_error_free(error);
    return FALSE;
}

static gboolean on_select_path_timer(gpointer data)
{
    FM_RETURN_VAL_IF_FAIL(data != NULL, "data != NULL", FALSE);
    auto *nav = static_cast<PendingNavigation *>(data);
    if (!nav->widget || !nav->path || !nav->pane) {
        g_warning(" INVALID PARAMETERS \n");
        return FALSE;
    }
    gdk_threads_enter();
    gboolean done = try_navigation(nav);
    gdk_threads_leave();
    if (done)
        return FALSE;
    return ++nav->failed_attempts < SELECT_PATH_MAX_ATTEMPTS;
}

void ulvo_fm_select_path_with_time(const gchar *path, gint pane)
{
    FM_RETURN_IF_FAIL(path != NULL, "path != NULL");
    (void)pane; // the navigation pane is the only one asked for
    if (pending_navigation)
        g_source_remove(pending_navigation->source);

    auto *nav = g_new0(PendingNavigation, 1);
    nav->widget = global_ofm ? global_ofm->file_selection : nullptr;
    // An edit window's file selection may be gone before the first tick.
    if (nav->widget)
        g_object_add_weak_pointer(G_OBJECT(nav->widget), (gpointer *)&nav->widget);
    nav->path = g_strdup(path);
    nav->pane = g_strdup("NAVIGATION_PANE");
    nav->source = g_timeout_add_full(G_PRIORITY_DEFAULT, SELECT_PATH_INTERVAL_MS,
                                     on_select_path_timer, nav, pending_navigation_free);
    pending_navigation = nav;

    // The folders on the way start loading now, so that the first tick finds them.
    ulvo::GObjPtr<KivelFileSystemModel> model(model_of(nav->widget));
    GtkTreeIter iter;
    if (model && strcmp(path, KIVEL_FILE_SYSTEM_ROOT_URI) != 0)
        kivel_file_system_model_load_path(model.get(), path, &iter);
}

void ulvo_fm_select_texturi_with_time(const gchar *text_uri, gint pane)
{
    FM_RETURN_IF_FAIL(text_uri != NULL, "text_uri != NULL");
    if (!global_ofm || !global_ofm->filesystem)
        return;
    GCharPtr path(kivel_file_system_backend_uri_to_path(global_ofm->filesystem, text_uri));
    if (path)
        ulvo_fm_select_path_with_time(path.get(), pane);
}

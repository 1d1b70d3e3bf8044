// Presses on the panes as a touch user makes them: a long press or a right
// click asks for the pane's context menu, a tap on the selected item opens
// it, and in edit mode a tap marks or unmarks an item. A press that pans the
// pane is none of these.
#define G_LOG_DOMAIN "Kivel"

#include "platform/selection/kivel-file-selection-private.h"
#include "platform/toolkit/kivel-pannable.h"

// How long a finger rests on an item before its menu opens.
#define LONG_PRESS_MS 600

static gint pane_of(KivelPanePress *press)
{
    return press->view == press->fs->navi_view ? KIVEL_FILE_SELECTION_PANE_NAVIGATION
                                               : KIVEL_FILE_SELECTION_PANE_CONTENT;
}

static void forget_press(KivelPanePress *press)
{
    if (press->timer) {
        g_source_remove(press->timer);
        press->timer = 0;
    }
    g_clear_pointer(&press->tap_uri, g_free);
    g_clear_pointer(&press->hold_uri, g_free);
}

// (transfer full) (nullable) The row under a point of the view's rows.
static GtkTreePath *path_at(GtkWidget *view, gdouble x, gdouble y)
{
    GtkTreePath *path = nullptr;
    if (!gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(view), static_cast<gint>(x),
                                       static_cast<gint>(y), &path, nullptr, nullptr, nullptr))
        return nullptr;
    return path;
}

// (transfer full) (nullable) The item shown at `path` of the pane.
static gchar *uri_at(KivelPanePress *press, GtkTreePath *path)
{
    if (!path)
        return nullptr;
    if (pane_of(press) == KIVEL_FILE_SELECTION_PANE_CONTENT) {
        KivelFileSystemRow *row = kivel_file_selection_content_row_at(press->fs, path);
        return row ? kivel_file_system_row_dup_uri(row) : nullptr;
    }
    GtkTreeModel *shown = gtk_tree_view_get_model(GTK_TREE_VIEW(press->view));
    GtkTreeIter iter;
    gchar *uri = nullptr;
    if (shown && gtk_tree_model_get_iter(shown, &iter, path))
        gtk_tree_model_get(shown, &iter, KIVEL_FILE_SYSTEM_MODEL_URI, &uri, -1);
    return uri;
}

// (transfer full) (nullable) Where the pane shows `uri` now.
static GtkTreePath *path_of(KivelPanePress *press, const gchar *uri)
{
    KivelFileSelection *fs = press->fs;
    if (pane_of(press) == KIVEL_FILE_SELECTION_PANE_CONTENT) {
        KivelFileSystemRow *row = kivel_file_selection_content_listed_row(fs, uri);
        return row ? kivel_content_list_path(fs->list, row) : nullptr;
    }
    // The tree filters the whole model.
    GtkTreeModel *shown = gtk_tree_view_get_model(GTK_TREE_VIEW(press->view));
    GtkTreeIter child, iter;
    if (!GTK_IS_TREE_MODEL_FILTER(shown) || !KIVEL_IS_FILE_SYSTEM_MODEL(fs->model) ||
        !kivel_file_system_model_search_uri(KIVEL_FILE_SYSTEM_MODEL(fs->model), uri, &child,
                                            nullptr, TRUE) ||
        !gtk_tree_model_filter_convert_child_iter_to_iter(GTK_TREE_MODEL_FILTER(shown), &iter,
                                                          &child))
        return nullptr;
    return gtk_tree_model_get_path(shown, &iter);
}

// The menu is about the item under the finger: select it first.
static void select_for_menu(KivelPanePress *press, GtkTreePath *path)
{
    if (!path)
        return;
    GtkTreeView *view = GTK_TREE_VIEW(press->view);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(view);
    if (gtk_tree_selection_path_is_selected(selection, path))
        return;
    // Edit mode adds a mark; elsewhere the item becomes the only one selected.
    if (press->fs->edit_mode)
        gtk_tree_selection_select_path(selection, path);
    else
        gtk_tree_view_set_cursor(view, path, nullptr, FALSE);
}

static void open_menu(KivelPanePress *press, GtkTreePath *path)
{
    select_for_menu(press, path);
    kivel_file_selection_emit_context_menu(press->fs, pane_of(press));
}

static gboolean on_long_press(gpointer data)
{
    auto press = static_cast<KivelPanePress *>(data);
    press->timer = 0;
    if (kivel_pannable_area_child_panned(press->view))
        return FALSE;
    press->long_press_fired = TRUE;
    g_clear_pointer(&press->tap_uri, g_free);
    gchar *uri = press->hold_uri;
    press->hold_uri = nullptr;
    // Rows come, go and re-sort under a resting finger: the menu is for the
    // item it came down on, wherever that went. When the item is gone, a
    // menu for whatever slid under the finger would act on the wrong one.
    GtkTreePath *path = uri ? path_of(press, uri) : nullptr;
    if (uri && !path) {
        g_debug("no menu: %s went away under the finger", uri);
    } else {
        kivel_file_selection_set_active_pane_from_user(press->fs, pane_of(press));
        open_menu(press, path);
    }
    if (path)
        gtk_tree_path_free(path);
    g_free(uri);
    return FALSE;
}

// A finger at (x, y) of the view's rows, on `path`, starts waiting for its
// long press.
static void begin_hold(KivelPanePress *press, gdouble x, gdouble y, GtkTreePath *path)
{
    press->pressed = TRUE;
    press->long_press_fired = FALSE;
    press->x = x;
    press->y = y;
    g_free(press->hold_uri);
    press->hold_uri = uri_at(press, path);
    press->timer = gdk_threads_add_timeout(LONG_PRESS_MS, on_long_press, press);
}

static void toggle_mark(GtkTreeView *view, GtkTreePath *path)
{
    GtkTreeSelection *selection = gtk_tree_view_get_selection(view);
    if (gtk_tree_selection_path_is_selected(selection, path))
        gtk_tree_selection_unselect_path(selection, path);
    else
        gtk_tree_selection_select_path(selection, path);
}

static gboolean on_button_press(GtkWidget *view, GdkEventButton *event, gpointer data)
{
    auto press = static_cast<KivelPanePress *>(data);
    KivelFileSelection *fs = press->fs;
    if (event->window != gtk_tree_view_get_bin_window(GTK_TREE_VIEW(view)))
        return FALSE; // the column headers
    // A double click comes after its second press, which it must not forget.
    if (event->type == GDK_BUTTON_PRESS)
        forget_press(press);
    GtkTreePath *path = path_at(view, event->x, event->y);
    gboolean content = pane_of(press) == KIVEL_FILE_SELECTION_PANE_CONTENT;
    gboolean handled = FALSE;

    if (event->button == 3) {
        if (event->type == GDK_BUTTON_PRESS) {
            kivel_file_selection_set_active_pane_from_user(fs, pane_of(press));
            gtk_widget_grab_focus(view);
            open_menu(press, path);
        }
        handled = TRUE;
    } else if (event->button == 1 && event->type == GDK_BUTTON_PRESS) {
        begin_hold(press, event->x, event->y, path);
        GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(view));
        // A tap marks or unmarks in edit mode, and opens the selected item
        // elsewhere; both wait for the release, as the finger may pan. The
        // view's own handling, which selects, is for other rows only.
        if (content && path &&
            (fs->edit_mode || gtk_tree_selection_path_is_selected(selection, path))) {
            press->tap_uri = uri_at(press, path);
            handled = TRUE;
        }
    } else if (event->button == 1 && event->type == GDK_2BUTTON_PRESS) {
        // Elsewhere the second tap opens. In edit mode a double tap enters
        // a folder; on a file its taps just mark and unmark.
        KivelFileSystemRow *row =
            content && fs->edit_mode ? kivel_file_selection_content_row_at(fs, path) : nullptr;
        if (row && kivel_file_system_row_is_folder(row)) {
            g_clear_pointer(&press->tap_uri, g_free);
            gtk_tree_view_row_activated(GTK_TREE_VIEW(view), path, nullptr);
        }
        handled = content;
    }
    if (path)
        gtk_tree_path_free(path);
    return handled;
}

static void cancel_activation(KivelPanePress *press)
{
    if (press->activate_source) {
        g_source_remove(press->activate_source);
        press->activate_source = 0;
    }
    g_clear_pointer(&press->activate_uri, g_free);
}

static gboolean activate_tapped(gpointer data)
{
    auto press = static_cast<KivelPanePress *>(data);
    KivelFileSelection *fs = press->fs;
    press->activate_source = 0;
    gchar *uri = press->activate_uri;
    press->activate_uri = nullptr;
    // Only while the pane still lists the item, wherever it moved.
    KivelFileSystemRow *row = press->activate_generation == fs->generation
                                  ? kivel_file_selection_content_listed_row(fs, uri)
                                  : nullptr;
    GtkTreePath *path = row ? kivel_content_list_path(fs->list, row) : nullptr;
    if (path) {
        gtk_tree_view_row_activated(GTK_TREE_VIEW(press->view), path, nullptr);
        gtk_tree_path_free(path);
    }
    g_free(uri);
    return FALSE;
}

// Entering a folder replaces the view's rows, which the view must not see in
// the middle of handling the release.
static void activate_later(KivelPanePress *press, const gchar *uri)
{
    cancel_activation(press);
    press->activate_uri = g_strdup(uri);
    press->activate_generation = press->fs->generation;
    press->activate_source = gdk_threads_add_idle(activate_tapped, press);
}

// A tap is let go on the item it began on.
static void tap_item(KivelPanePress *press, const gchar *tap, GdkEventButton *event)
{
    GtkTreePath *here = path_at(press->view, event->x, event->y);
    gchar *uri = uri_at(press, here);
    bool same = uri && g_strcmp0(uri, tap) == 0;
    g_free(uri);
    if (same) {
        gtk_widget_grab_focus(press->view);
        // Edit mode: the other marks stay.
        if (press->fs->edit_mode)
            toggle_mark(GTK_TREE_VIEW(press->view), here);
        else
            activate_later(press, tap);
    }
    if (here)
        gtk_tree_path_free(here);
}

static gboolean on_button_release(GtkWidget *, GdkEventButton *event, gpointer data)
{
    auto press = static_cast<KivelPanePress *>(data);
    if (event->button != 1 || !press->pressed)
        return FALSE;
    press->pressed = FALSE;
    gchar *tap = press->tap_uri;
    press->tap_uri = nullptr;
    forget_press(press);
    if (!press->long_press_fired && !kivel_pannable_area_child_panned(press->view)) {
        kivel_file_selection_set_active_pane_from_user(press->fs, pane_of(press));
        if (tap)
            tap_item(press, tap, event);
    }
    g_free(tap);
    return FALSE;
}

static gboolean on_motion(GtkWidget *view, GdkEventMotion *event, gpointer data)
{
    auto press = static_cast<KivelPanePress *>(data);
    if (press->pressed &&
        gtk_drag_check_threshold(view, static_cast<gint>(press->x), static_cast<gint>(press->y),
                                 static_cast<gint>(event->x), static_cast<gint>(event->y)))
        forget_press(press); // a drag or a scroll, not a press
    return FALSE;
}

// A finger still resting on the view once a modal window (a progress note,
// a dialog) is gone: it came down while the view could not see it, maybe on
// that window. To the person it rests on a row, so its long press starts now.
static void resume_hold(KivelPanePress *press)
{
    GdkWindow *bin = gtk_tree_view_get_bin_window(GTK_TREE_VIEW(press->view));
    if (!bin || !gtk_widget_get_mapped(press->view) || !gtk_widget_is_sensitive(press->view))
        return;
    gint x = 0, y = 0, root_x = 0, root_y = 0;
    GdkModifierType mask = GdkModifierType(0);
    gdk_window_get_pointer(bin, &x, &y, &mask);
    gboolean down = (mask & GDK_BUTTON1_MASK) != 0;
    if (press->pressed) {
        // The finger that opened a menu: its release went to the menu.
        if (!down)
            press->pressed = FALSE;
        return;
    }
    if (!down || gdk_window_at_pointer(&root_x, &root_y) != bin)
        return;
    GtkTreePath *path = path_at(press->view, x, y);
    begin_hold(press, x, y, path);
    if (path)
        gtk_tree_path_free(path);
}

// While a modal window holds the input the view sees no release, and no menu
// may open behind that window. A finger whose menu opened (the menu is such
// a window) stays known, so that its release opens nothing.
static void on_grab_notify(GtkWidget *, gboolean was_grabbed, gpointer data)
{
    auto press = static_cast<KivelPanePress *>(data);
    if (was_grabbed) {
        resume_hold(press);
    } else if (press->pressed && !press->long_press_fired) {
        forget_press(press);
        press->pressed = FALSE;
    }
}

void kivel_file_selection_press_init(KivelFileSelection *fs, KivelPanePress *press, GtkWidget *view)
{
    press->fs = fs;
    press->view = view;
    gtk_widget_add_events(view, GDK_BUTTON_MOTION_MASK);
    g_signal_connect(view, "button-press-event", G_CALLBACK(on_button_press), press);
    g_signal_connect(view, "button-release-event", G_CALLBACK(on_button_release), press);
    g_signal_connect(view, "motion-notify-event", G_CALLBACK(on_motion), press);
    g_signal_connect(view, "grab-notify", G_CALLBACK(on_grab_notify), press);
}

void kivel_file_selection_press_dispose(KivelPanePress *press)
{
    forget_press(press);
    cancel_activation(press);
    press->pressed = FALSE;
}

// Presses on the panes as a touch user makes them: a long press or a right
// click asks for the pane's context menu, a tap on the selected item opens
// it, and in edit mode a tap marks or unmarks an item. A press that pans the
// pane is none of these.
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
    kivel_file_selection_set_active_pane_from_user(press->fs, pane_of(press));
    GtkTreePath *path = path_at(press->view, press->x, press->y);
    open_menu(press, path);
    if (path)
        gtk_tree_path_free(path);
    return FALSE;
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
        press->pressed = TRUE;
        press->long_press_fired = FALSE;
        press->x = event->x;
        press->y = event->y;
        press->timer = gdk_threads_add_timeout(LONG_PRESS_MS, on_long_press, press);
        GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(view));
        // A tap marks or unmarks in edit mode, and opens the selected item
        // elsewhere; both wait for the release, as the finger may pan. The
        // view's own handling, which selects, is for other rows only.
        if (content && path &&
            (fs->edit_mode || gtk_tree_selection_path_is_selected(selection, path))) {
            KivelFileSystemRow *row = kivel_file_selection_content_row_at(fs, path);
            press->tap_uri = row ? kivel_file_system_row_dup_uri(row) : nullptr;
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
    KivelFileSystemRow *row = kivel_file_selection_content_row_at(press->fs, here);
    gchar *uri = row ? kivel_file_system_row_dup_uri(row) : nullptr;
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

void kivel_file_selection_press_init(KivelFileSelection *fs, KivelPanePress *press, GtkWidget *view)
{
    press->fs = fs;
    press->view = view;
    gtk_widget_add_events(view, GDK_BUTTON_MOTION_MASK);
    g_signal_connect(view, "button-press-event", G_CALLBACK(on_button_press), press);
    g_signal_connect(view, "button-release-event", G_CALLBACK(on_button_release), press);
    g_signal_connect(view, "motion-notify-event", G_CALLBACK(on_motion), press);
}

void kivel_file_selection_press_dispose(KivelPanePress *press)
{
    forget_press(press);
    cancel_activation(press);
    press->pressed = FALSE;
}

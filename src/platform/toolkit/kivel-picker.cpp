#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-picker.h"

#include "platform/toolkit/kivel-pannable.h"

// ---------------------------------------------------------------------------
// KivelTouchSelector

struct _KivelTouchSelector {
    GtkVBox parent;
    GtkListStore *store;
    GtkWidget *view;
};

struct _KivelTouchSelectorClass {
    GtkVBoxClass parent_class;
};

G_DEFINE_TYPE(KivelTouchSelector, kivel_touch_selector, GTK_TYPE_VBOX)

enum { SELECTOR_CHANGED, N_SELECTOR_SIGNALS };
static guint selector_signals[N_SELECTOR_SIGNALS];

static const gint row_height = 70;

GtkWidget *kivel_touch_selector_new_text(void)
{
    return GTK_WIDGET(g_object_new(KIVEL_TYPE_TOUCH_SELECTOR, nullptr));
}

void kivel_touch_selector_append_text(KivelTouchSelector *selector, const gchar *text)
{
    g_return_if_fail(KIVEL_IS_TOUCH_SELECTOR(selector));
    g_return_if_fail(text != nullptr);
    GtkTreeIter iter;
    gtk_list_store_append(selector->store, &iter);
    gtk_list_store_set(selector->store, &iter, 0, text, -1);
}

gchar *kivel_touch_selector_get_current_text(KivelTouchSelector *selector)
{
    g_return_val_if_fail(KIVEL_IS_TOUCH_SELECTOR(selector), nullptr);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(selector->view));
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(selection, nullptr, &iter))
        return nullptr;
    gchar *text = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(selector->store), &iter, 0, &text, -1);
    return text;
}

void kivel_touch_selector_set_active(KivelTouchSelector *selector, gint column, gint index)
{
    g_return_if_fail(KIVEL_IS_TOUCH_SELECTOR(selector));
    g_return_if_fail(column == 0);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(selector->view));
    GtkTreeIter iter;
    if (index < 0 ||
        !gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(selector->store), &iter, nullptr, index)) {
        gtk_tree_selection_unselect_all(selection);
        return;
    }
    gtk_tree_selection_select_iter(selection, &iter);
    GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(selector->store), &iter);
    gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(selector->view), path, nullptr, FALSE, 0, 0);
    gtk_tree_path_free(path);
}

gint kivel_touch_selector_get_active(KivelTouchSelector *selector, gint column)
{
    g_return_val_if_fail(KIVEL_IS_TOUCH_SELECTOR(selector), -1);
    g_return_val_if_fail(column == 0, -1);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(selector->view));
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(selection, nullptr, &iter))
        return -1;
    GtkTreePath *path = gtk_tree_model_get_path(GTK_TREE_MODEL(selector->store), &iter);
    gint index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return index;
}

GtkTreeView *kivel_touch_selector_get_tree_view(KivelTouchSelector *selector)
{
    g_return_val_if_fail(KIVEL_IS_TOUCH_SELECTOR(selector), nullptr);
    return GTK_TREE_VIEW(selector->view);
}

static void on_selection_changed(GtkTreeSelection *, gpointer selector)
{
    g_signal_emit(selector, selector_signals[SELECTOR_CHANGED], 0, 0);
}

static void kivel_touch_selector_dispose(GObject *object)
{
    KivelTouchSelector *selector = KIVEL_TOUCH_SELECTOR(object);
    g_clear_object(&selector->store);
    G_OBJECT_CLASS(kivel_touch_selector_parent_class)->dispose(object);
}

static void kivel_touch_selector_init(KivelTouchSelector *selector)
{
    selector->store = gtk_list_store_new(1, G_TYPE_STRING);
    selector->view = gtk_tree_view_new_with_model(GTK_TREE_MODEL(selector->store));
    GtkTreeView *view = GTK_TREE_VIEW(selector->view);
    gtk_tree_view_set_headers_visible(view, FALSE);
    GtkCellRenderer *cell = gtk_cell_renderer_text_new();
    g_object_set(cell, "height", row_height, "xpad", 16, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
    gtk_tree_view_insert_column_with_attributes(view, -1, nullptr, cell, "text", 0, nullptr);
    GtkTreeSelection *selection = gtk_tree_view_get_selection(view);
    gtk_tree_selection_set_mode(selection, GTK_SELECTION_SINGLE);
    gtk_tree_selection_unselect_all(selection);
    g_signal_connect(selection, "changed", G_CALLBACK(on_selection_changed), selector);

    GtkWidget *area = kivel_pannable_area_new();
    gtk_container_add(GTK_CONTAINER(area), selector->view);
    gtk_box_pack_start(GTK_BOX(selector), area, TRUE, TRUE, 0);
    gtk_widget_show_all(area);
}

static void kivel_touch_selector_class_init(KivelTouchSelectorClass *klass)
{
    G_OBJECT_CLASS(klass)->dispose = kivel_touch_selector_dispose;
    selector_signals[SELECTOR_CHANGED] =
        g_signal_new("changed", G_TYPE_FROM_CLASS(klass), G_SIGNAL_RUN_LAST, 0, nullptr, nullptr,
                     g_cclosure_marshal_VOID__INT, G_TYPE_NONE, 1, G_TYPE_INT);
}

// ---------------------------------------------------------------------------
// KivelPickerDialog

struct _KivelPickerDialog {
    GtkDialog parent;
    KivelTouchSelector *selector;
    gboolean pressed_on_row; // a tap started on a row of the selector
};

struct _KivelPickerDialogClass {
    GtkDialogClass parent_class;
};

G_DEFINE_TYPE(KivelPickerDialog, kivel_picker_dialog, GTK_TYPE_DIALOG)

GtkWidget *kivel_picker_dialog_new(GtkWindow *parent)
{
    g_return_val_if_fail(parent == nullptr || GTK_IS_WINDOW(parent), nullptr);
    GtkWidget *dialog = GTK_WIDGET(g_object_new(KIVEL_TYPE_PICKER_DIALOG, nullptr));
    if (parent)
        gtk_window_set_transient_for(GTK_WINDOW(dialog), parent);
    return dialog;
}

static gboolean is_on_row(GtkTreeView *view, GdkEventButton *event)
{
    if (event->window != gtk_tree_view_get_bin_window(view))
        return FALSE;
    GtkTreePath *path = nullptr;
    if (!gtk_tree_view_get_path_at_pos(view, gint(event->x), gint(event->y), &path, nullptr,
                                       nullptr, nullptr))
        return FALSE;
    gtk_tree_path_free(path);
    return TRUE;
}

static gboolean on_view_button_press(GtkWidget *view, GdkEventButton *event, gpointer dialog)
{
    KIVEL_PICKER_DIALOG(dialog)->pressed_on_row = event->type == GDK_BUTTON_PRESS &&
                                                  event->button == 1 &&
                                                  is_on_row(GTK_TREE_VIEW(view), event);
    return FALSE;
}

// A tap selects its row (the pannable area lets the view see the press
// once the finger lifts without panning) and chooses it.
static gboolean on_view_button_release(GtkWidget *view, GdkEventButton *event, gpointer dialog)
{
    KivelPickerDialog *picker = KIVEL_PICKER_DIALOG(dialog);
    gboolean tapped = picker->pressed_on_row && event->button == 1 &&
                      !kivel_pannable_area_child_panned(view) &&
                      is_on_row(GTK_TREE_VIEW(view), event) &&
                      kivel_touch_selector_get_active(picker->selector, 0) >= 0;
    picker->pressed_on_row = FALSE;
    if (tapped)
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    return FALSE;
}

static void on_row_activated(GtkTreeView *, GtkTreePath *, GtkTreeViewColumn *, gpointer dialog)
{
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
}

void kivel_picker_dialog_set_selector(KivelPickerDialog *dialog, KivelTouchSelector *selector)
{
    g_return_if_fail(KIVEL_IS_PICKER_DIALOG(dialog));
    g_return_if_fail(KIVEL_IS_TOUCH_SELECTOR(selector));
    GtkWidget *content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    if (dialog->selector) {
        g_signal_handlers_disconnect_by_data(dialog->selector->view, dialog);
        gtk_container_remove(GTK_CONTAINER(content), GTK_WIDGET(dialog->selector));
    }
    dialog->selector = selector;
    gtk_box_pack_start(GTK_BOX(content), GTK_WIDGET(selector), TRUE, TRUE, 0);
    gtk_widget_show(GTK_WIDGET(selector));
    g_signal_connect(selector->view, "button-press-event", G_CALLBACK(on_view_button_press),
                     dialog);
    g_signal_connect(selector->view, "button-release-event", G_CALLBACK(on_view_button_release),
                     dialog);
    g_signal_connect(selector->view, "row-activated", G_CALLBACK(on_row_activated), dialog);
}

KivelTouchSelector *kivel_picker_dialog_get_selector(KivelPickerDialog *dialog)
{
    g_return_val_if_fail(KIVEL_IS_PICKER_DIALOG(dialog), nullptr);
    return dialog->selector;
}

static void kivel_picker_dialog_init(KivelPickerDialog *dialog)
{
    GtkWindow *window = GTK_WINDOW(dialog);
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_destroy_with_parent(window, TRUE);
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_default_size(window, 480, 360);
    gtk_dialog_set_has_separator(GTK_DIALOG(dialog), FALSE);
}

static void kivel_picker_dialog_class_init(KivelPickerDialogClass *) {}

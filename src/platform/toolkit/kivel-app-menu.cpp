#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-app-menu.h"

#include "platform/toolkit/kivel-window.h"

#include <gdk/gdkkeysyms.h>

struct _KivelAppMenu {
    GtkWindow parent;
    GtkWidget *table;
    GList *buttons;     // referenced, in order
    gulong owner_unmap; // handler on the window the menu is open over
};

struct _KivelAppMenuClass {
    GtkWindowClass parent_class;
};

G_DEFINE_TYPE(KivelAppMenu, kivel_app_menu, GTK_TYPE_WINDOW)

static const gint button_height = 70;
static const gint button_min_width = 240;
static const guint columns = 2;

GtkWidget *kivel_app_menu_new(void)
{
    return GTK_WIDGET(g_object_new(KIVEL_TYPE_APP_MENU, "type", GTK_WINDOW_POPUP, nullptr));
}

static void on_button_clicked(GtkButton *, gpointer menu)
{
    kivel_app_menu_close(KIVEL_APP_MENU(menu));
}

static void attach_at(KivelAppMenu *menu, GtkWidget *button, guint index)
{
    gtk_table_attach_defaults(GTK_TABLE(menu->table), button, index % columns, index % columns + 1,
                              index / columns, index / columns + 1);
}

// Hidden buttons leave no holes: the visible ones are attached afresh.
static void lay_out_visible_buttons(KivelAppMenu *menu)
{
    GtkContainer *table = GTK_CONTAINER(menu->table);
    for (GList *l = menu->buttons; l; l = l->next)
        if (gtk_widget_get_parent(GTK_WIDGET(l->data)) == menu->table)
            gtk_container_remove(table, GTK_WIDGET(l->data));
    guint index = 0;
    for (GList *l = menu->buttons; l; l = l->next) {
        GtkWidget *button = GTK_WIDGET(l->data);
        if (!gtk_widget_get_visible(button))
            continue;
        attach_at(menu, button, index++);
    }
    gtk_table_resize(GTK_TABLE(menu->table), MAX(1u, (index + columns - 1) / columns),
                     index > 1 ? columns : 1);
}

void kivel_app_menu_append(KivelAppMenu *menu, GtkButton *button)
{
    g_return_if_fail(KIVEL_IS_APP_MENU(menu));
    g_return_if_fail(GTK_IS_BUTTON(button));
    menu->buttons = g_list_append(menu->buttons, g_object_ref(button));
    gtk_widget_set_size_request(GTK_WIDGET(button), button_min_width, button_height);
    g_signal_connect_object(button, "clicked", G_CALLBACK(on_button_clicked), menu,
                            GConnectFlags(0));
    // In the table even while hidden, so that showing the menu's children
    // reaches it; the layout is redone when the menu opens.
    GList *children = gtk_container_get_children(GTK_CONTAINER(menu->table));
    attach_at(menu, GTK_WIDGET(button), g_list_length(children));
    g_list_free(children);
}

static void place_over_owner(KivelAppMenu *menu, GtkWindow *owner)
{
    GtkWidget *owner_widget = GTK_WIDGET(owner);
    GdkWindow *owner_window = gtk_widget_get_window(owner_widget);
    if (!owner_window)
        return;
    GtkRequisition req;
    gtk_widget_size_request(GTK_WIDGET(menu), &req);
    gint x = 0, y = 0;
    gdk_window_get_origin(owner_window, &x, &y);
    GtkAllocation a;
    gtk_widget_get_allocation(owner_widget, &a);
    x += MAX(0, (a.width - req.width) / 2);
    if (KIVEL_IS_WINDOW(owner))
        y += kivel_window_get_title_height(KIVEL_WINDOW(owner));
    gtk_window_move(GTK_WINDOW(menu), x, y);
}

void kivel_app_menu_popup(KivelAppMenu *menu, GtkWindow *parent)
{
    g_return_if_fail(KIVEL_IS_APP_MENU(menu));
    g_return_if_fail(GTK_IS_WINDOW(parent));
    if (gtk_widget_get_visible(GTK_WIDGET(menu)))
        return;
    gtk_window_set_transient_for(GTK_WINDOW(menu), parent);
    gtk_widget_show(GTK_WIDGET(menu));
}

void kivel_app_menu_close(KivelAppMenu *menu)
{
    g_return_if_fail(KIVEL_IS_APP_MENU(menu));
    gtk_widget_hide(GTK_WIDGET(menu));
}

// The class half of "show" only marks the menu visible: the handlers
// connected by the application run next, and the menu is laid out and mapped
// after them (on_show_after).
static void kivel_app_menu_show(GtkWidget *widget)
{
    GtkWindow *owner = gtk_window_get_transient_for(GTK_WINDOW(widget));
    if (!owner || !gtk_widget_get_mapped(GTK_WIDGET(owner))) {
        g_signal_stop_emission_by_name(widget, "show");
        return;
    }
    GTK_WIDGET_SET_FLAGS(widget, GTK_VISIBLE);
}

static void on_owner_unmapped(GtkWidget *, gpointer menu)
{
    kivel_app_menu_close(KIVEL_APP_MENU(menu));
}

static void on_show_after(GtkWidget *widget, gpointer)
{
    KivelAppMenu *menu = KIVEL_APP_MENU(widget);
    if (!gtk_widget_get_visible(widget) || gtk_widget_get_mapped(widget))
        return;
    GtkWindow *owner = gtk_window_get_transient_for(GTK_WINDOW(widget));
    lay_out_visible_buttons(menu);
    place_over_owner(menu, owner);
    menu->owner_unmap = g_signal_connect_object(owner, "unmap", G_CALLBACK(on_owner_unmapped), menu,
                                                GConnectFlags(0));
    GTK_WIDGET_CLASS(kivel_app_menu_parent_class)->show(widget);
    gtk_grab_add(widget);
}

// Taps elsewhere on the screen reach the menu only while it holds the pointer.
static gboolean on_map_event(GtkWidget *widget, GdkEvent *, gpointer)
{
    GdkWindow *window = gtk_widget_get_window(widget);
    auto mask = GdkEventMask(GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    if (gdk_pointer_grab(window, TRUE, mask, nullptr, nullptr, GDK_CURRENT_TIME) !=
        GDK_GRAB_SUCCESS)
        g_debug("app menu: no pointer grab, taps outside the program do not close it");
    gdk_keyboard_grab(window, TRUE, GDK_CURRENT_TIME);
    return FALSE;
}

static void kivel_app_menu_unmap(GtkWidget *widget)
{
    KivelAppMenu *menu = KIVEL_APP_MENU(widget);
    GdkDisplay *display = gtk_widget_get_display(widget);
    gdk_display_pointer_ungrab(display, GDK_CURRENT_TIME);
    gdk_display_keyboard_ungrab(display, GDK_CURRENT_TIME);
    gtk_grab_remove(widget);
    GtkWindow *owner = gtk_window_get_transient_for(GTK_WINDOW(widget));
    if (menu->owner_unmap && owner)
        g_signal_handler_disconnect(owner, menu->owner_unmap);
    menu->owner_unmap = 0;
    GTK_WIDGET_CLASS(kivel_app_menu_parent_class)->unmap(widget);
}

static gboolean is_inside_menu(GtkWidget *widget, GdkEventButton *event)
{
    GdkWindow *menu_window = gtk_widget_get_window(widget);
    if (event->window != menu_window) {
        for (GdkWindow *w = event->window; w; w = gdk_window_get_parent(w))
            if (w == menu_window)
                return TRUE;
        return FALSE;
    }
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    return event->x >= 0 && event->y >= 0 && event->x < a.width && event->y < a.height;
}

static gboolean kivel_app_menu_button_press(GtkWidget *widget, GdkEventButton *event)
{
    if (!is_inside_menu(widget, event)) {
        kivel_app_menu_close(KIVEL_APP_MENU(widget));
        return TRUE;
    }
    auto chain = GTK_WIDGET_CLASS(kivel_app_menu_parent_class)->button_press_event;
    return chain ? chain(widget, event) : FALSE;
}

static gboolean kivel_app_menu_key_press(GtkWidget *widget, GdkEventKey *event)
{
    if (event->keyval == GDK_Escape) {
        kivel_app_menu_close(KIVEL_APP_MENU(widget));
        return TRUE;
    }
    return GTK_WIDGET_CLASS(kivel_app_menu_parent_class)->key_press_event(widget, event);
}

static gboolean kivel_app_menu_grab_broken(GtkWidget *widget, GdkEventGrabBroken *)
{
    kivel_app_menu_close(KIVEL_APP_MENU(widget));
    return TRUE;
}

static void kivel_app_menu_dispose(GObject *object)
{
    KivelAppMenu *menu = KIVEL_APP_MENU(object);
    g_list_free_full(menu->buttons, g_object_unref);
    menu->buttons = nullptr;
    G_OBJECT_CLASS(kivel_app_menu_parent_class)->dispose(object);
}

static void kivel_app_menu_init(KivelAppMenu *menu)
{
    GtkWindow *window = GTK_WINDOW(menu);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_POPUP_MENU);
    gtk_window_set_destroy_with_parent(window, TRUE);
    gtk_window_set_resizable(window, FALSE);
    gtk_widget_add_events(GTK_WIDGET(menu), GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);

    GtkWidget *frame = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_OUT);
    menu->table = gtk_table_new(1, columns, TRUE);
    gtk_table_set_row_spacings(GTK_TABLE(menu->table), 8);
    gtk_table_set_col_spacings(GTK_TABLE(menu->table), 8);
    gtk_container_set_border_width(GTK_CONTAINER(menu->table), 12);
    gtk_container_add(GTK_CONTAINER(frame), menu->table);
    gtk_container_add(GTK_CONTAINER(menu), frame);
    gtk_widget_show_all(frame);

    g_signal_connect_after(menu, "show", G_CALLBACK(on_show_after), nullptr);
    g_signal_connect(menu, "map-event", G_CALLBACK(on_map_event), nullptr);
}

static void kivel_app_menu_class_init(KivelAppMenuClass *klass)
{
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    GtkWidgetClass *widget_class = GTK_WIDGET_CLASS(klass);
    object_class->dispose = kivel_app_menu_dispose;
    widget_class->show = kivel_app_menu_show;
    widget_class->unmap = kivel_app_menu_unmap;
    widget_class->button_press_event = kivel_app_menu_button_press;
    widget_class->key_press_event = kivel_app_menu_key_press;
    widget_class->grab_broken_event = kivel_app_menu_grab_broken;
}

#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-gtk-menu.h"

static guint insensitive_press_signal = 0;

void kivel_gtk_menu_register_signals(void)
{
    if (insensitive_press_signal)
        return;
    insensitive_press_signal =
        g_signal_new("insensitive-press", GTK_TYPE_MENU_ITEM, G_SIGNAL_RUN_LAST, 0, nullptr,
                     nullptr, g_cclosure_marshal_VOID__VOID, G_TYPE_NONE, 0);
}

// The item of `menu` that `event` happened on, or NULL. Each item receives
// its pointer events in a window of its own; an insensitive one passes them
// on to the menu, which holds the grab.
static GtkWidget *item_of_event(GtkWidget *menu, GdkEventButton *event)
{
    GtkWidget *widget = gtk_get_event_widget(reinterpret_cast<GdkEvent *>(event));
    if (!GTK_IS_MENU_ITEM(widget) || gtk_widget_get_parent(widget) != menu ||
        !gtk_widget_get_visible(widget))
        return nullptr;
    return widget;
}

static gboolean on_button_release(GtkWidget *menu, GdkEventButton *event, gpointer)
{
    GtkWidget *item = item_of_event(menu, event);
    if (!item || gtk_widget_is_sensitive(item))
        return FALSE;
    // Close first, so whatever the item's handler opens is not under the menu.
    g_object_ref(item);
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(menu));
    g_signal_emit(item, insensitive_press_signal, 0);
    g_object_unref(item);
    return TRUE;
}

static void drop_own_reference(GtkWidget *menu, gpointer)
{
    g_signal_handlers_disconnect_by_func(menu, reinterpret_cast<gpointer>(drop_own_reference),
                                         nullptr);
    g_object_unref(menu);
}

// Desktop menus are a mouse's size; these are tapped with a finger.
static void use_finger_sized_items(GtkWidget *menu)
{
    static gboolean parsed = FALSE;
    if (!parsed) {
        gtk_rc_parse_string("style \"kivel-finger-menu\" {\n"
                            "  xthickness = 12\n"
                            "  ythickness = 12\n"
                            "  GtkMenuItem::horizontal-padding = 12\n"
                            "  font_name = \"Sans 16\"\n"
                            "}\n"
                            "widget \"*.kivel-finger-menu.*\" style \"kivel-finger-menu\"\n");
        parsed = TRUE;
    }
    gtk_widget_set_name(menu, "kivel-finger-menu");
}

GtkWidget *kivel_gtk_menu_new(void)
{
    kivel_gtk_menu_register_signals();
    GtkWidget *menu = gtk_menu_new();
    use_finger_sized_items(menu);
    // A popped-up menu that no widget holds stays floating, and destroying
    // it would not free it: like a window, it owns itself until destroyed.
    g_object_ref_sink(menu);
    g_signal_connect(menu, "destroy", G_CALLBACK(drop_own_reference), nullptr);
    g_signal_connect(menu, "button-release-event", G_CALLBACK(on_button_release), nullptr);
    return menu;
}

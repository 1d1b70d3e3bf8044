#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-banner.h"

static guint banner_timeout_ms = KIVEL_BANNER_DEFAULT_TIMEOUT_MS;
static GtkWidget *current_banner = nullptr;
static const gint banner_top_margin = 56;

void kivel_banner_set_timeout(guint milliseconds)
{
    banner_timeout_ms = milliseconds ? milliseconds : KIVEL_BANNER_DEFAULT_TIMEOUT_MS;
}

static gboolean on_banner_timeout(gpointer banner)
{
    gtk_widget_destroy(GTK_WIDGET(banner));
    return FALSE;
}

static void on_banner_destroyed(GtkWidget *banner, gpointer timeout_id)
{
    g_source_remove(GPOINTER_TO_UINT(timeout_id));
    if (current_banner == banner)
        current_banner = nullptr;
}

static GtkWidget *new_banner_content(const gchar *icon_name, const gchar *text)
{
    GtkWidget *box = gtk_hbox_new(FALSE, 12);
    gtk_container_set_border_width(GTK_CONTAINER(box), 16);
    if (icon_name) {
        GtkWidget *icon = gtk_image_new_from_icon_name(icon_name, GTK_ICON_SIZE_DIALOG);
        gtk_box_pack_start(GTK_BOX(box), icon, FALSE, FALSE, 0);
    }
    GtkWidget *label = gtk_label_new(text);
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
    gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
    GtkWidget *frame = gtk_frame_new(nullptr);
    gtk_frame_set_shadow_type(GTK_FRAME(frame), GTK_SHADOW_OUT);
    gtk_container_add(GTK_CONTAINER(frame), box);
    gtk_widget_show_all(frame);
    return frame;
}

// Centred at the top of the screen, below where a title bar would be.
static void place_banner(GtkWidget *banner, GdkScreen *screen)
{
    GtkRequisition req;
    gtk_widget_size_request(banner, &req);
    gint width = gdk_screen_get_width(screen);
    if (req.width > width - 32) {
        gtk_widget_set_size_request(banner, width - 32, -1);
        gtk_widget_size_request(banner, &req);
    }
    gtk_window_move(GTK_WINDOW(banner), MAX(0, (width - req.width) / 2), banner_top_margin);
}

GtkWidget *kivel_banner_show_information(GtkWidget *widget, const gchar *icon_name,
                                         const gchar *text)
{
    g_return_val_if_fail(widget == nullptr || GTK_IS_WIDGET(widget), nullptr);
    g_return_val_if_fail(text != nullptr, nullptr);
    g_log("Kivel", G_LOG_LEVEL_DEBUG, "banner: %s", text);

    if (current_banner)
        gtk_widget_destroy(current_banner);
    GtkWidget *banner = gtk_window_new(GTK_WINDOW_POPUP);
    GdkScreen *screen = widget ? gtk_widget_get_screen(widget) : gdk_screen_get_default();
    gtk_window_set_screen(GTK_WINDOW(banner), screen);
    gtk_window_set_type_hint(GTK_WINDOW(banner), GDK_WINDOW_TYPE_HINT_NOTIFICATION);
    gtk_window_set_accept_focus(GTK_WINDOW(banner), FALSE);
    GtkWidget *toplevel = widget ? gtk_widget_get_toplevel(widget) : nullptr;
    if (toplevel && GTK_IS_WINDOW(toplevel))
        gtk_window_set_transient_for(GTK_WINDOW(banner), GTK_WINDOW(toplevel));
    gtk_container_add(GTK_CONTAINER(banner), new_banner_content(icon_name, text));
    place_banner(banner, screen);

    guint timeout_id = gdk_threads_add_timeout(banner_timeout_ms, on_banner_timeout, banner);
    g_signal_connect(banner, "destroy", G_CALLBACK(on_banner_destroyed),
                     GUINT_TO_POINTER(timeout_id));
    current_banner = banner;
    gtk_widget_show(banner);
    return banner;
}

#define G_LOG_DOMAIN "Kivel"

#include "platform/kivel-pannable.h"

GtkWidget *kivel_pannable_area_new(void)
{
    GtkWidget *area = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(area), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(area), GTK_SHADOW_NONE);
    return area;
}

void kivel_pannable_area_add_with_viewport(GtkWidget *area, GtkWidget *child)
{
    g_return_if_fail(GTK_IS_SCROLLED_WINDOW(area));
    g_return_if_fail(GTK_IS_WIDGET(child));
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(area), child);
    GtkWidget *viewport = gtk_bin_get_child(GTK_BIN(area));
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(viewport), GTK_SHADOW_NONE);
}

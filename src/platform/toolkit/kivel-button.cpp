#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-button.h"

static gint height_of_size(guint size)
{
    switch (size) {
    case KIVEL_SIZE_FINGER_HEIGHT:
        return 70;
    case KIVEL_SIZE_THUMB_HEIGHT:
        return 96;
    default:
        return -1;
    }
}

GtkWidget *kivel_button_new(guint size, guint arrangement)
{
    GtkWidget *button = gtk_button_new();
    gtk_widget_set_size_request(button, -1, height_of_size(size));
    g_object_set_data(G_OBJECT(button), "kivel-arrangement", GUINT_TO_POINTER(arrangement));
    gtk_button_set_focus_on_click(GTK_BUTTON(button), FALSE);
    return button;
}

void kivel_button_set_image(GtkButton *button, GtkWidget *image)
{
    g_return_if_fail(GTK_IS_BUTTON(button));
    g_return_if_fail(GTK_IS_WIDGET(image));
    // Packed by hand rather than with gtk_button_set_image(), which a desktop
    // setting may hide: an image-only button must never come up empty.
    GtkWidget *old = gtk_bin_get_child(GTK_BIN(button));
    if (old)
        gtk_container_remove(GTK_CONTAINER(button), old);
    gtk_widget_show(image);
    const gchar *text = gtk_button_get_label(button);
    if (!text || !*text) {
        gtk_container_add(GTK_CONTAINER(button), image);
        return;
    }
    gboolean vertical =
        GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(button), "kivel-arrangement")) ==
        KIVEL_BUTTON_ARRANGEMENT_VERTICAL;
    GtkWidget *box = vertical ? gtk_vbox_new(FALSE, 4) : gtk_hbox_new(FALSE, 8);
    GtkWidget *label = gtk_label_new_with_mnemonic(text);
    gtk_box_pack_start(GTK_BOX(box), image, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), label, FALSE, FALSE, 0);
    gtk_widget_show_all(box);
    gtk_container_add(GTK_CONTAINER(button), box);
}

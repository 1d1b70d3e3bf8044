#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-caption.h"

GtkWidget *kivel_caption_new(GtkSizeGroup *group, const gchar *label, GtkWidget *control,
                             GtkWidget *icon, guint status)
{
    g_return_val_if_fail(group == nullptr || GTK_IS_SIZE_GROUP(group), nullptr);
    g_return_val_if_fail(GTK_IS_WIDGET(control), nullptr);
    g_return_val_if_fail(icon == nullptr || GTK_IS_WIDGET(icon), nullptr);

    GtkWidget *box = gtk_hbox_new(FALSE, 12);
    if (icon)
        gtk_box_pack_start(GTK_BOX(box), icon, FALSE, FALSE, 0);
    gchar *text =
        g_strdup_printf("%s%s", label ? label : "", status == KIVEL_CAPTION_MANDATORY ? "*" : "");
    GtkWidget *caption = gtk_label_new(text);
    g_free(text);
    gtk_misc_set_alignment(GTK_MISC(caption), 0.0, 0.5);
    if (group)
        gtk_size_group_add_widget(group, caption);
    gtk_box_pack_start(GTK_BOX(box), caption, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), control, TRUE, TRUE, 0);
    return box;
}

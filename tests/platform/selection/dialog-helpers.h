// Finding the parts of a dialog the way a person's eye does.
#pragma once

#include <gtk/gtk.h>
#include <string>

namespace dialog_test
{

// The first widget of `type` inside `widget` (itself included), or nullptr.
inline GtkWidget *find_of_type(GtkWidget *widget, GType type)
{
    if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type))
        return widget;
    GtkWidget *found = nullptr;
    if (GTK_IS_CONTAINER(widget)) {
        GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList *l = children; l && !found; l = l->next)
            found = find_of_type(GTK_WIDGET(l->data), type);
        g_list_free(children);
    }
    return found;
}

// The value beside the field title `title` (e.g. "Size:") of a details dialog.
inline std::string details_field(GtkWidget *dialog, const std::string &title)
{
    GtkWidget *table = find_of_type(dialog, GTK_TYPE_TABLE);
    std::string value = "(no field " + title + ")";
    if (!table)
        return value;
    GList *children = gtk_container_get_children(GTK_CONTAINER(table));
    guint row = G_MAXUINT;
    for (GList *l = children; l; l = l->next)
        if (title == gtk_label_get_text(GTK_LABEL(l->data)))
            gtk_container_child_get(GTK_CONTAINER(table), GTK_WIDGET(l->data), "top-attach", &row,
                                    nullptr);
    for (GList *l = children; l; l = l->next) {
        guint top = 0, left = 0;
        gtk_container_child_get(GTK_CONTAINER(table), GTK_WIDGET(l->data), "top-attach", &top,
                                "left-attach", &left, nullptr);
        if (top == row && left == 1)
            value = gtk_label_get_text(GTK_LABEL(l->data));
    }
    g_list_free(children);
    return value;
}

} // namespace dialog_test

// Finding the parts of a dialog the way a person's eye does.
#pragma once

#include <gtk/gtk.h>

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

} // namespace dialog_test

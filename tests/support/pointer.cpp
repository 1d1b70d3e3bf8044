#include "support/pointer.h"

#include "support/ui-test.h"

#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

namespace ulvo_test
{

static Display *x_display()
{
    return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

bool pointer_available()
{
    int event_base, error_base, major, minor;
    return XTestQueryExtension(x_display(), &event_base, &error_base, &major, &minor);
}

void pointer_settle()
{
    XSync(x_display(), False);
    pump_until([] { return !gdk_events_pending(); }, 2000);
}

// Root coordinates of (x, y) in `widget`'s allocation.
static void to_root(GtkWidget *widget, int x, int y, int *root_x, int *root_y)
{
    GtkWidget *toplevel = gtk_widget_get_toplevel(widget);
    int top_x = x, top_y = y;
    gtk_widget_translate_coordinates(widget, toplevel, x, y, &top_x, &top_y);
    int origin_x = 0, origin_y = 0;
    gdk_window_get_origin(gtk_widget_get_window(toplevel), &origin_x, &origin_y);
    *root_x = origin_x + top_x;
    *root_y = origin_y + top_y;
}

void pointer_move_root(int x, int y)
{
    XTestFakeMotionEvent(x_display(), -1, x, y, CurrentTime);
    pointer_settle();
}

void pointer_move(GtkWidget *widget, int x, int y)
{
    int root_x, root_y;
    to_root(widget, x, y, &root_x, &root_y);
    pointer_move_root(root_x, root_y);
}

void pointer_glide(GtkWidget *widget, int x, int y, int steps)
{
    int to_x, to_y;
    to_root(widget, x, y, &to_x, &to_y);
    int from_x, from_y;
    gdk_display_get_pointer(gdk_display_get_default(), nullptr, &from_x, &from_y, nullptr);
    for (int step = 1; step <= steps; step++)
        pointer_move_root(from_x + (to_x - from_x) * step / steps,
                          from_y + (to_y - from_y) * step / steps);
}

void pointer_press(int button)
{
    XTestFakeButtonEvent(x_display(), unsigned(button), True, CurrentTime);
    pointer_settle();
}

void pointer_release(int button)
{
    XTestFakeButtonEvent(x_display(), unsigned(button), False, CurrentTime);
    pointer_settle();
}

void pointer_click(int button)
{
    pointer_press(button);
    pointer_release(button);
}

bool tree_row_point(GtkTreeView *view, int row, int *x, int *y)
{
    GtkTreePath *path = gtk_tree_path_new_from_indices(row, -1);
    GdkRectangle cell = {};
    GtkAllocation allocation;
    bool visible = pump_until([&] {
        gtk_tree_view_get_cell_area(view, path, gtk_tree_view_get_column(view, 0), &cell);
        gtk_widget_get_allocation(GTK_WIDGET(view), &allocation);
        if (cell.height <= 0 || !gtk_widget_get_mapped(GTK_WIDGET(view)))
            return false;
        gtk_tree_view_convert_bin_window_to_widget_coords(view, cell.x + cell.width / 2,
                                                          cell.y + cell.height / 2, x, y);
        return *y > 0 && *y < allocation.height;
    });
    gtk_tree_path_free(path);
    return visible;
}

} // namespace ulvo_test

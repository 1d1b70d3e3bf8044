// Tapping a row of a tree view with the pointer, as a finger would.
#pragma once

#include "support/pointer.h"
#include "support/ui-test.h"

#include <gtk/gtk.h>
#include <string>

namespace tree_test
{

// Taps the row at `path` once it is laid out, in view and still; "" when
// the pointer landed on that row, else why not.
inline std::string tap_tree_row(GtkTreeView *view, GtkTreePath *path)
{
    gtk_tree_view_scroll_to_cell(view, path, nullptr, FALSE, 0, 0);
    int x = 0, y = 0, last_y = -1;
    bool ready = ulvo_test::pump_until([&] {
        GdkRectangle cell = {};
        gtk_tree_view_get_cell_area(view, path, gtk_tree_view_get_column(view, 0), &cell);
        x = cell.x + cell.width / 2;
        y = cell.y + cell.height / 2;
        GtkAllocation allocation;
        gtk_widget_get_allocation(GTK_WIDGET(view), &allocation);
        bool still = y == last_y;
        last_y = y;
        return cell.height > 0 && still && x < allocation.width && y > 0 && y < allocation.height;
    });
    if (!ready)
        return "the row never came into view";
    GtkTreePath *hit = nullptr;
    if (!gtk_tree_view_get_path_at_pos(view, x, y, &hit, nullptr, nullptr, nullptr))
        return "no row under the pointer";
    bool on_row = gtk_tree_path_compare(hit, path) == 0;
    gtk_tree_path_free(hit);
    if (!on_row)
        return "the pointer would land on another row";
    ulvo_test::pointer_move(GTK_WIDGET(view), x, y);
    ulvo_test::pointer_click();
    return "";
}

} // namespace tree_test

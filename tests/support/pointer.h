// A real pointer: presses and moves go to the X server through its test
// extension and come back as the server delivers them, with its grabs,
// its window picking and its timestamps, as a finger's would.
#pragma once

#include <gtk/gtk.h>

namespace ulvo_test
{

// Whether the X server offers the test extension.
bool pointer_available();

// Moves the pointer to (x, y) of the screen, in one jump.
void pointer_move_root(int x, int y);
// Moves the pointer to (x, y) of `widget`'s allocation, in one jump.
void pointer_move(GtkWidget *widget, int x, int y);
// Moves the pointer from where it is to (x, y) of `widget` in `steps` even
// steps, each handled by the program before the next.
void pointer_glide(GtkWidget *widget, int x, int y, int steps);
void pointer_press(int button = 1);
void pointer_release(int button = 1);
// A press and a release where the pointer is.
void pointer_click(int button = 1);

// Waits until the server has delivered everything sent so far and the
// program has handled it.
void pointer_settle();

// The middle of row `row` of a tree view, in the view's allocation, once the
// row is laid out and visible; false when it never is.
bool tree_row_point(GtkTreeView *view, int row, int *x, int *y);

} // namespace ulvo_test

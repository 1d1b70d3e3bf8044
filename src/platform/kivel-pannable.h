// The pannable area: a scrolling container whose scroll bars appear only
// when the content does not fit.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

// (transfer full, floating) A new GtkScrolledWindow with automatic scroll
// bars. Widgets that scroll by themselves (tree views) go in with
// gtk_container_add.
GtkWidget *kivel_pannable_area_new(void);

// Puts `child`, a widget that does not scroll by itself, into `area` through
// a viewport.
void kivel_pannable_area_add_with_viewport(GtkWidget *area, GtkWidget *child);

G_END_DECLS

// The pannable area: a scrolling container that a finger drag pans, with
// momentum after the finger lifts. Scroll bars appear only when the content
// does not fit.
//
// A press on the child is seen at once by the child's owners (their
// "button-press-event" handlers, for long presses), but the child's own
// press handling (a tree view's selection) waits until the finger lifts
// without having moved: a drag never selects. Owners whose release handlers
// act on a tap ask kivel_pannable_area_child_panned first.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

#define KIVEL_TYPE_PANNABLE_AREA (kivel_pannable_area_get_type())
#define KIVEL_PANNABLE_AREA(obj)                                                                   \
    (G_TYPE_CHECK_INSTANCE_CAST((obj), KIVEL_TYPE_PANNABLE_AREA, KivelPannableArea))
#define KIVEL_IS_PANNABLE_AREA(obj) (G_TYPE_CHECK_INSTANCE_TYPE((obj), KIVEL_TYPE_PANNABLE_AREA))

typedef struct _KivelPannableArea KivelPannableArea;
typedef struct _KivelPannableAreaClass KivelPannableAreaClass;

GType kivel_pannable_area_get_type(void) G_GNUC_CONST;

// (transfer full, floating) A new pannable area, a GtkScrolledWindow with
// automatic scroll bars. Widgets that scroll by themselves (tree views) go
// in with gtk_container_add.
GtkWidget *kivel_pannable_area_new(void);

// Puts `child`, a widget that does not scroll by itself, into `area` through
// a viewport.
void kivel_pannable_area_add_with_viewport(GtkWidget *area, GtkWidget *child);

// TRUE when the last finger press on `child`, the child of a pannable area,
// moved far enough to pan the area: that press is no tap and no long press.
// FALSE outside a pannable area.
gboolean kivel_pannable_area_child_panned(GtkWidget *child);

// TRUE while the area still moves on its own after a drag.
gboolean kivel_pannable_area_is_moving(GtkWidget *area);

G_END_DECLS

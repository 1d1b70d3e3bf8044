#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-pannable.h"

#include <cmath>
#include <initializer_list>

// Momentum, in pixels per millisecond: flicks slower than the first do not
// coast, faster than the second are capped, and the area stops below the
// third.
#define MOMENTUM_MIN_SPEED 0.15
#define MOMENTUM_MAX_SPEED 6.0
#define MOMENTUM_STOP_SPEED 0.02
// The part of the speed kept per millisecond of coasting.
#define MOMENTUM_FRICTION 0.996
#define MOMENTUM_TICK_MS 16
// Only the finger's last moves before it lifts give the flick's speed.
#define FLICK_WINDOW_MS 100
#define N_SAMPLES 16

typedef struct {
    guint32 time;
    gdouble x, y;
} PanSample;

struct _KivelPannableArea {
    GtkScrolledWindow parent;

    GtkWidget *child;
    gulong event_handler;
    // One-shot handler that holds the press back from the child's own
    // handler; see hold_back_press.
    gulong hold_back_handler;
    GdkEvent *held_press; // the press the child's own handler still owes

    gboolean pressed;         // button 1 went down on the child and is not up yet
    gboolean stop_press;      // that press only stopped the coasting
    gboolean panned;          // that press became a pan
    gdouble press_x, press_y; // root coordinates
    gdouble last_x, last_y;
    PanSample samples[N_SAMPLES];
    guint n_samples; // ever added; the ring keeps the last N_SAMPLES

    gdouble speed_x, speed_y; // content pixels per millisecond
    gint64 last_tick;         // monotonic microseconds
    guint momentum_source;
};

struct _KivelPannableAreaClass {
    GtkScrolledWindowClass parent_class;
};

G_DEFINE_TYPE(KivelPannableArea, kivel_pannable_area, GTK_TYPE_SCROLLED_WINDOW)

// ---- Scrolling -------------------------------------------------------------

// Moves `adjustment` by `delta` within its bounds; FALSE when an end (or
// nothing to scroll) held it back.
static gboolean scroll_by(GtkAdjustment *adjustment, gdouble delta)
{
    if (!adjustment || delta == 0)
        return FALSE;
    gdouble lower = gtk_adjustment_get_lower(adjustment);
    gdouble upper =
        MAX(lower, gtk_adjustment_get_upper(adjustment) - gtk_adjustment_get_page_size(adjustment));
    gdouble wanted = gtk_adjustment_get_value(adjustment) + delta;
    gdouble value = CLAMP(wanted, lower, upper);
    if (value != gtk_adjustment_get_value(adjustment))
        gtk_adjustment_set_value(adjustment, value);
    return value == wanted;
}

// Whether `adjustment` has room to move the way `delta` points.
static gboolean has_room(GtkAdjustment *adjustment, gdouble delta)
{
    gdouble value = gtk_adjustment_get_value(adjustment);
    if (delta < 0)
        return value > gtk_adjustment_get_lower(adjustment);
    return delta > 0 &&
           value < gtk_adjustment_get_upper(adjustment) - gtk_adjustment_get_page_size(adjustment);
}

static GtkAdjustment *hadjustment(KivelPannableArea *area)
{
    return gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(area));
}

static GtkAdjustment *vadjustment(KivelPannableArea *area)
{
    return gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(area));
}

// ---- Momentum --------------------------------------------------------------

static void stop_momentum(KivelPannableArea *area)
{
    if (area->momentum_source) {
        g_source_remove(area->momentum_source);
        area->momentum_source = 0;
    }
    area->speed_x = area->speed_y = 0;
}

static gboolean coast(gpointer data)
{
    KivelPannableArea *area = KIVEL_PANNABLE_AREA(data);
    gint64 now = g_get_monotonic_time();
    gdouble elapsed = gdouble(now - area->last_tick) / 1000.0;
    area->last_tick = now;
    // An end stops the axis that reached it.
    if (!scroll_by(hadjustment(area), area->speed_x * elapsed))
        area->speed_x = 0;
    if (!scroll_by(vadjustment(area), area->speed_y * elapsed))
        area->speed_y = 0;
    gdouble kept = std::pow(MOMENTUM_FRICTION, elapsed);
    area->speed_x *= kept;
    area->speed_y *= kept;
    if (std::hypot(area->speed_x, area->speed_y) >= MOMENTUM_STOP_SPEED)
        return TRUE;
    area->momentum_source = 0;
    area->speed_x = area->speed_y = 0;
    return FALSE;
}

static void add_sample(KivelPannableArea *area, guint32 time, gdouble x, gdouble y)
{
    area->samples[area->n_samples % N_SAMPLES] = {time, x, y};
    area->n_samples++;
}

// The finger's speed over its last moves, as content pixels per millisecond.
static void flick_speed(KivelPannableArea *area, gdouble *speed_x, gdouble *speed_y)
{
    *speed_x = *speed_y = 0;
    if (area->n_samples < 2)
        return;
    const PanSample &last = area->samples[(area->n_samples - 1) % N_SAMPLES];
    const PanSample *first = &last;
    guint kept = MIN(area->n_samples, guint(N_SAMPLES));
    for (guint i = 2; i <= kept; i++) {
        const PanSample &sample = area->samples[(area->n_samples - i) % N_SAMPLES];
        if (last.time - sample.time > FLICK_WINDOW_MS)
            break;
        first = &sample;
    }
    // Server times count whole milliseconds: a burst of moves is a fast
    // flick, not an infinite one.
    gdouble elapsed = MAX(gdouble(last.time - first->time), 8.0);
    *speed_x = (first->x - last.x) / elapsed;
    *speed_y = (first->y - last.y) / elapsed;
    gdouble speed = std::hypot(*speed_x, *speed_y);
    if (speed > MOMENTUM_MAX_SPEED) {
        *speed_x *= MOMENTUM_MAX_SPEED / speed;
        *speed_y *= MOMENTUM_MAX_SPEED / speed;
    }
}

static void start_momentum(KivelPannableArea *area)
{
    stop_momentum(area);
    gdouble speed_x, speed_y;
    flick_speed(area, &speed_x, &speed_y);
    // A flick against an end has nowhere to go.
    if (!has_room(hadjustment(area), speed_x))
        speed_x = 0;
    if (!has_room(vadjustment(area), speed_y))
        speed_y = 0;
    if (std::hypot(speed_x, speed_y) < MOMENTUM_MIN_SPEED)
        return;
    area->speed_x = speed_x;
    area->speed_y = speed_y;
    area->last_tick = g_get_monotonic_time();
    // The source keeps the area alive; dispose removes it.
    area->momentum_source = gdk_threads_add_timeout_full(G_PRIORITY_DEFAULT, MOMENTUM_TICK_MS,
                                                         coast, g_object_ref(area), g_object_unref);
}

// ---- The finger on the child -----------------------------------------------

static void drop_hold_back(KivelPannableArea *area)
{
    if (area->hold_back_handler && area->child)
        g_signal_handler_disconnect(area->child, area->hold_back_handler);
    area->hold_back_handler = 0;
}

static void forget_gesture(KivelPannableArea *area)
{
    drop_hold_back(area);
    g_clear_pointer(&area->held_press, gdk_event_free);
    area->pressed = FALSE;
    area->stop_press = FALSE;
}

// Connected just before the press is emitted, so it runs after every owner
// handler and before the child's own: the child sees the press only once it
// is known to be a tap.
static gboolean hold_back_press(GtkWidget *, GdkEventButton *event, gpointer data)
{
    KivelPannableArea *area = KIVEL_PANNABLE_AREA(data);
    drop_hold_back(area);
    g_clear_pointer(&area->held_press, gdk_event_free);
    area->held_press = gdk_event_copy(reinterpret_cast<GdkEvent *>(event));
    return TRUE;
}

static gboolean on_press(KivelPannableArea *area, GdkEventButton *event)
{
    if (event->button != 1 || event->type != GDK_BUTTON_PRESS)
        return FALSE;
    gboolean was_moving = area->momentum_source != 0;
    stop_momentum(area);
    forget_gesture(area);
    area->pressed = TRUE;
    area->panned = FALSE;
    area->press_x = area->last_x = event->x_root;
    area->press_y = area->last_y = event->y_root;
    area->n_samples = 0;
    add_sample(area, event->time, event->x_root, event->y_root);
    if (was_moving) {
        // Catching a coasting list only stops it.
        area->stop_press = TRUE;
        return TRUE;
    }
    area->hold_back_handler =
        g_signal_connect(area->child, "button-press-event", G_CALLBACK(hold_back_press), area);
    return FALSE;
}

static gboolean on_motion(KivelPannableArea *area, GdkEventMotion *event)
{
    if (!area->pressed)
        return FALSE;
    if (!(event->state & GDK_BUTTON1_MASK)) {
        forget_gesture(area); // the release went elsewhere
        return FALSE;
    }
    if (!area->panned) {
        if (!gtk_drag_check_threshold(area->child, gint(area->press_x), gint(area->press_y),
                                      gint(event->x_root), gint(event->y_root)))
            return FALSE;
        area->panned = TRUE;
        // The child never learns of this press.
        g_clear_pointer(&area->held_press, gdk_event_free);
    }
    scroll_by(hadjustment(area), area->last_x - event->x_root);
    scroll_by(vadjustment(area), area->last_y - event->y_root);
    area->last_x = event->x_root;
    area->last_y = event->y_root;
    add_sample(area, event->time, event->x_root, event->y_root);
    gdk_event_request_motions(event);
    return TRUE;
}

static gboolean on_release(KivelPannableArea *area, GdkEventButton *event)
{
    if (event->button != 1 || !area->pressed)
        return FALSE;
    if (area->stop_press) {
        forget_gesture(area);
        return TRUE;
    }
    if (area->panned) {
        add_sample(area, event->time, event->x_root, event->y_root);
        forget_gesture(area);
        start_momentum(area);
        return FALSE; // the owners end their press; they ask whether it panned
    }
    GdkEvent *press = area->held_press;
    area->held_press = nullptr;
    forget_gesture(area);
    if (press) {
        auto handler = GTK_WIDGET_GET_CLASS(area->child)->button_press_event;
        if (handler)
            handler(area->child, &press->button);
        gdk_event_free(press);
    }
    return FALSE;
}

static gboolean on_child_event(GtkWidget *, GdkEvent *event, gpointer data)
{
    KivelPannableArea *area = KIVEL_PANNABLE_AREA(data);
    // Left over when an owner handled the press itself.
    drop_hold_back(area);
    switch (event->type) {
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
    case GDK_3BUTTON_PRESS:
        return on_press(area, &event->button);
    case GDK_MOTION_NOTIFY:
        return on_motion(area, &event->motion);
    case GDK_BUTTON_RELEASE:
        return on_release(area, &event->button);
    case GDK_SCROLL:
    case GDK_KEY_PRESS:
        stop_momentum(area);
        return FALSE;
    case GDK_GRAB_BROKEN:
        forget_gesture(area);
        return FALSE;
    default:
        return FALSE;
    }
}

static gboolean on_scrollbar_press(GtkWidget *, GdkEventButton *, gpointer area)
{
    stop_momentum(KIVEL_PANNABLE_AREA(area));
    return FALSE;
}

// ---- Object ----------------------------------------------------------------

static void unwatch_child(KivelPannableArea *area)
{
    if (!area->child)
        return;
    forget_gesture(area);
    g_signal_handler_disconnect(area->child, area->event_handler);
    area->event_handler = 0;
    area->child = nullptr;
}

static void kivel_pannable_area_add(GtkContainer *container, GtkWidget *child)
{
    KivelPannableArea *area = KIVEL_PANNABLE_AREA(container);
    GTK_CONTAINER_CLASS(kivel_pannable_area_parent_class)->add(container, child);
    if (gtk_bin_get_child(GTK_BIN(container)) != child)
        return;
    unwatch_child(area);
    area->child = child;
    gtk_widget_add_events(child,
                          GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_BUTTON_MOTION_MASK);
    area->event_handler = g_signal_connect(child, "event", G_CALLBACK(on_child_event), area);
}

static void kivel_pannable_area_remove(GtkContainer *container, GtkWidget *child)
{
    KivelPannableArea *area = KIVEL_PANNABLE_AREA(container);
    if (child == area->child) {
        stop_momentum(area);
        unwatch_child(area);
    }
    GTK_CONTAINER_CLASS(kivel_pannable_area_parent_class)->remove(container, child);
}

static void kivel_pannable_area_unmap(GtkWidget *widget)
{
    KivelPannableArea *area = KIVEL_PANNABLE_AREA(widget);
    stop_momentum(area);
    forget_gesture(area);
    GTK_WIDGET_CLASS(kivel_pannable_area_parent_class)->unmap(widget);
}

static void kivel_pannable_area_dispose(GObject *object)
{
    KivelPannableArea *area = KIVEL_PANNABLE_AREA(object);
    stop_momentum(area);
    unwatch_child(area);
    G_OBJECT_CLASS(kivel_pannable_area_parent_class)->dispose(object);
}

static void kivel_pannable_area_init(KivelPannableArea *) {}

static void kivel_pannable_area_constructed(GObject *object)
{
    G_OBJECT_CLASS(kivel_pannable_area_parent_class)->constructed(object);
    GtkScrolledWindow *scrolled = GTK_SCROLLED_WINDOW(object);
    gtk_scrolled_window_set_policy(scrolled, GTK_POLICY_AUTOMATIC, GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(scrolled, GTK_SHADOW_NONE);
    // Catching the scroll bar stops the coasting too.
    for (GtkWidget *bar : {gtk_scrolled_window_get_hscrollbar(scrolled),
                           gtk_scrolled_window_get_vscrollbar(scrolled)})
        if (bar)
            g_signal_connect(bar, "button-press-event", G_CALLBACK(on_scrollbar_press), object);
}

static void kivel_pannable_area_class_init(KivelPannableAreaClass *klass)
{
    G_OBJECT_CLASS(klass)->constructed = kivel_pannable_area_constructed;
    G_OBJECT_CLASS(klass)->dispose = kivel_pannable_area_dispose;
    GTK_WIDGET_CLASS(klass)->unmap = kivel_pannable_area_unmap;
    GTK_CONTAINER_CLASS(klass)->add = kivel_pannable_area_add;
    GTK_CONTAINER_CLASS(klass)->remove = kivel_pannable_area_remove;
}

// ---- Calls -----------------------------------------------------------------

GtkWidget *kivel_pannable_area_new(void)
{
    return GTK_WIDGET(g_object_new(KIVEL_TYPE_PANNABLE_AREA, nullptr));
}

void kivel_pannable_area_add_with_viewport(GtkWidget *area, GtkWidget *child)
{
    g_return_if_fail(GTK_IS_SCROLLED_WINDOW(area));
    g_return_if_fail(GTK_IS_WIDGET(child));
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(area), child);
    GtkWidget *viewport = gtk_bin_get_child(GTK_BIN(area));
    gtk_viewport_set_shadow_type(GTK_VIEWPORT(viewport), GTK_SHADOW_NONE);
}

gboolean kivel_pannable_area_child_panned(GtkWidget *child)
{
    g_return_val_if_fail(GTK_IS_WIDGET(child), FALSE);
    GtkWidget *parent = gtk_widget_get_parent(child);
    if (!parent || !KIVEL_IS_PANNABLE_AREA(parent))
        return FALSE;
    KivelPannableArea *area = KIVEL_PANNABLE_AREA(parent);
    return area->child == child && area->panned;
}

gboolean kivel_pannable_area_is_moving(GtkWidget *area)
{
    g_return_val_if_fail(KIVEL_IS_PANNABLE_AREA(area), FALSE);
    return KIVEL_PANNABLE_AREA(area)->momentum_source != 0;
}

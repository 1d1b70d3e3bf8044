#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-window.h"

#include <gdk/gdkkeysyms.h>

// ---------------------------------------------------------------------------
// KivelWindow: the title strip and the application menu

typedef struct {
    KivelAppMenu *app_menu; // referenced
} KivelWindowPrivate;

G_DEFINE_TYPE_WITH_PRIVATE(KivelWindow, kivel_window, GTK_TYPE_WINDOW)

static const gint title_strip_height = 48;
static const gint title_padding = 16;
static const gint title_arrow_size = 16;

static KivelWindowPrivate *window_priv(KivelWindow *window)
{
    return static_cast<KivelWindowPrivate *>(kivel_window_get_instance_private(window));
}

GtkWidget *kivel_window_new(void)
{
    return GTK_WIDGET(g_object_new(KIVEL_TYPE_WINDOW, nullptr));
}

gint kivel_window_get_title_height(KivelWindow *window)
{
    g_return_val_if_fail(KIVEL_IS_WINDOW(window), 0);
    return window_priv(window)->app_menu ? title_strip_height : 0;
}

void kivel_window_set_app_menu(KivelWindow *window, KivelAppMenu *menu)
{
    g_return_if_fail(KIVEL_IS_WINDOW(window));
    g_return_if_fail(menu == nullptr || KIVEL_IS_APP_MENU(menu));
    KivelWindowPrivate *priv = window_priv(window);
    if (priv->app_menu == menu)
        return;
    if (priv->app_menu) {
        kivel_app_menu_close(priv->app_menu);
        gtk_window_set_transient_for(GTK_WINDOW(priv->app_menu), nullptr);
        g_object_unref(priv->app_menu);
    }
    priv->app_menu = menu ? KIVEL_APP_MENU(g_object_ref(menu)) : nullptr;
    if (menu)
        gtk_window_set_transient_for(GTK_WINDOW(menu), GTK_WINDOW(window));
    gtk_widget_queue_resize(GTK_WIDGET(window));
}

KivelAppMenu *kivel_window_get_app_menu(KivelWindow *window)
{
    g_return_val_if_fail(KIVEL_IS_WINDOW(window), nullptr);
    return window_priv(window)->app_menu;
}

gboolean kivel_window_open_app_menu(KivelWindow *window)
{
    g_return_val_if_fail(KIVEL_IS_WINDOW(window), FALSE);
    KivelAppMenu *menu = window_priv(window)->app_menu;
    if (!menu || !gtk_widget_get_mapped(GTK_WIDGET(window)))
        return FALSE;
    kivel_app_menu_popup(menu, GTK_WINDOW(window));
    return gtk_widget_get_visible(GTK_WIDGET(menu));
}

static void kivel_window_size_request(GtkWidget *widget, GtkRequisition *requisition)
{
    GTK_WIDGET_CLASS(kivel_window_parent_class)->size_request(widget, requisition);
    requisition->height += kivel_window_get_title_height(KIVEL_WINDOW(widget));
}

// The child goes below the title strip.
static void kivel_window_size_allocate(GtkWidget *widget, GtkAllocation *allocation)
{
    gint strip = kivel_window_get_title_height(KIVEL_WINDOW(widget));
    if (!strip) {
        GTK_WIDGET_CLASS(kivel_window_parent_class)->size_allocate(widget, allocation);
        return;
    }
    // The child is laid out once, below the strip: laying it out at the full
    // height first could make a scrollbar flip on every pass, forever.
    gtk_widget_set_allocation(widget, allocation);
    GtkWidget *child = gtk_bin_get_child(GTK_BIN(widget));
    if (!child || !gtk_widget_get_visible(child))
        return;
    gint border = gtk_container_get_border_width(GTK_CONTAINER(widget));
    GtkAllocation child_allocation;
    child_allocation.x = border;
    child_allocation.y = border + strip;
    child_allocation.width = MAX(1, allocation->width - 2 * border);
    child_allocation.height = MAX(1, allocation->height - 2 * border - strip);
    gtk_widget_size_allocate(child, &child_allocation);
}

static void paint_title_strip(GtkWidget *widget, GdkRectangle *area)
{
    gint strip = kivel_window_get_title_height(KIVEL_WINDOW(widget));
    GtkAllocation a;
    gtk_widget_get_allocation(widget, &a);
    GtkStyle *style = gtk_widget_get_style(widget);
    GdkWindow *window = gtk_widget_get_window(widget);
    gtk_paint_box(style, window, GTK_STATE_SELECTED, GTK_SHADOW_OUT, area, widget, "kivel-title", 0,
                  0, a.width, strip);

    const gchar *title = gtk_window_get_title(GTK_WINDOW(widget));
    PangoLayout *layout = gtk_widget_create_pango_layout(widget, title ? title : "");
    PangoFontDescription *font = pango_font_description_copy(style->font_desc);
    pango_font_description_set_weight(font, PANGO_WEIGHT_BOLD);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    pango_layout_set_width(layout,
                           MAX(1, a.width - 3 * title_padding - title_arrow_size) * PANGO_SCALE);
    gint text_width = 0, text_height = 0;
    pango_layout_get_pixel_size(layout, &text_width, &text_height);
    gtk_paint_layout(style, window, GTK_STATE_SELECTED, TRUE, area, widget, "kivel-title",
                     title_padding, (strip - text_height) / 2, layout);
    g_object_unref(layout);
    gtk_paint_arrow(style, window, GTK_STATE_SELECTED, GTK_SHADOW_NONE, area, widget, "kivel-title",
                    GTK_ARROW_DOWN, TRUE, 2 * title_padding + text_width,
                    (strip - title_arrow_size) / 2, title_arrow_size, title_arrow_size);
}

static gboolean kivel_window_expose(GtkWidget *widget, GdkEventExpose *event)
{
    gboolean handled = GTK_WIDGET_CLASS(kivel_window_parent_class)->expose_event(widget, event);
    if (kivel_window_get_title_height(KIVEL_WINDOW(widget)) > 0 &&
        event->window == gtk_widget_get_window(widget))
        paint_title_strip(widget, &event->area);
    return handled;
}

static gboolean on_title_strip(GtkWidget *widget, GdkEventButton *event)
{
    return event->window == gtk_widget_get_window(widget) && event->y >= 0 &&
           event->y < kivel_window_get_title_height(KIVEL_WINDOW(widget));
}

static gboolean kivel_window_button_press(GtkWidget *widget, GdkEventButton *event)
{
    if (on_title_strip(widget, event))
        return TRUE; // the menu opens when the finger lifts
    auto chain = GTK_WIDGET_CLASS(kivel_window_parent_class)->button_press_event;
    return chain ? chain(widget, event) : FALSE;
}

static gboolean kivel_window_button_release(GtkWidget *widget, GdkEventButton *event)
{
    if (event->button == 1 && on_title_strip(widget, event)) {
        kivel_window_open_app_menu(KIVEL_WINDOW(widget));
        return TRUE;
    }
    auto chain = GTK_WIDGET_CLASS(kivel_window_parent_class)->button_release_event;
    return chain ? chain(widget, event) : FALSE;
}

static gboolean kivel_window_key_press(GtkWidget *widget, GdkEventKey *event)
{
    if ((event->keyval == GDK_F10 || event->keyval == GDK_Menu) &&
        !(event->state & gtk_accelerator_get_default_mod_mask()) &&
        kivel_window_open_app_menu(KIVEL_WINDOW(widget)))
        return TRUE;
    return GTK_WIDGET_CLASS(kivel_window_parent_class)->key_press_event(widget, event);
}

static void on_title_changed(GObject *object, GParamSpec *, gpointer)
{
    GtkWidget *widget = GTK_WIDGET(object);
    gint strip = kivel_window_get_title_height(KIVEL_WINDOW(widget));
    if (strip > 0 && gtk_widget_is_drawable(widget)) {
        GtkAllocation a;
        gtk_widget_get_allocation(widget, &a);
        gtk_widget_queue_draw_area(widget, 0, 0, a.width, strip);
    }
}

static void kivel_window_dispose(GObject *object)
{
    KivelWindowPrivate *priv = window_priv(KIVEL_WINDOW(object));
    if (priv->app_menu) {
        g_object_unref(priv->app_menu);
        priv->app_menu = nullptr;
    }
    G_OBJECT_CLASS(kivel_window_parent_class)->dispose(object);
}

static void kivel_window_init(KivelWindow *window)
{
    gtk_widget_add_events(GTK_WIDGET(window), GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK);
    g_signal_connect(window, "notify::title", G_CALLBACK(on_title_changed), nullptr);
}

static void kivel_window_class_init(KivelWindowClass *klass)
{
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    GtkWidgetClass *widget_class = GTK_WIDGET_CLASS(klass);
    object_class->dispose = kivel_window_dispose;
    widget_class->size_request = kivel_window_size_request;
    widget_class->size_allocate = kivel_window_size_allocate;
    widget_class->expose_event = kivel_window_expose;
    widget_class->button_press_event = kivel_window_button_press;
    widget_class->button_release_event = kivel_window_button_release;
    widget_class->key_press_event = kivel_window_key_press;
}

// ---------------------------------------------------------------------------
// The window stack

struct _KivelWindowStack {
    GObject parent;
    GList *windows;  // top first; not referenced: a window leaves when destroyed
    guint settle_id; // pending re-check of "is-topmost" after focus changes
};

struct _KivelWindowStackClass {
    GObjectClass parent_class;
};

G_DEFINE_TYPE(KivelWindowStack, kivel_window_stack, G_TYPE_OBJECT)

static void kivel_window_stack_init(KivelWindowStack *) {}
static void kivel_window_stack_class_init(KivelWindowStackClass *) {}

// Focus moves in pairs (out of one toplevel, into another) and window
// managers add their own back and forth; "is-topmost" follows once it is
// quiet for this long.
static const guint settle_ms = 60;

static void set_topmost(KivelStackableWindow *window, gboolean topmost);

// Whether the active toplevel is `window` or a window transient for it.
static gboolean window_or_its_dialog_is_active(GtkWindow *window)
{
    gboolean active = FALSE;
    GList *toplevels = gtk_window_list_toplevels();
    for (GList *l = toplevels; l && !active; l = l->next) {
        GtkWindow *top = GTK_WINDOW(l->data);
        if (!gtk_window_is_active(top))
            continue;
        gint depth = 0;
        for (GtkWindow *w = top; w && depth < 16 && !active;
             w = gtk_window_get_transient_for(w), depth++)
            active = w == window;
    }
    g_list_free(toplevels);
    return active;
}

static void refresh_topmost(KivelWindowStack *stack)
{
    for (GList *l = stack->windows; l; l = l->next) {
        GtkWindow *window = GTK_WINDOW(l->data);
        set_topmost(KIVEL_STACKABLE_WINDOW(window),
                    l == stack->windows && window_or_its_dialog_is_active(window));
    }
}

static gboolean on_settled(gpointer data)
{
    KivelWindowStack *stack = KIVEL_WINDOW_STACK(data);
    stack->settle_id = 0;
    refresh_topmost(stack);
    return FALSE;
}

static void refresh_topmost_when_settled(KivelWindowStack *stack)
{
    if (stack->settle_id)
        g_source_remove(stack->settle_id);
    stack->settle_id = gdk_threads_add_timeout(settle_ms, on_settled, stack);
}

static gboolean on_toplevel_focus_event(GSignalInvocationHint *, guint n_params,
                                        const GValue *params, gpointer stack)
{
    if (n_params > 0 && GTK_IS_WINDOW(g_value_get_object(&params[0])))
        refresh_topmost_when_settled(KIVEL_WINDOW_STACK(stack));
    return TRUE; // stay installed
}

KivelWindowStack *kivel_window_stack_get_default(void)
{
    static KivelWindowStack *stack = nullptr;
    if (stack)
        return stack;
    stack = KIVEL_WINDOW_STACK(g_object_new(KIVEL_TYPE_WINDOW_STACK, nullptr));
    g_type_class_ref(GTK_TYPE_WINDOW);
    static const char *const focus_signals[] = {"focus-in-event", "focus-out-event"};
    for (const char *name : focus_signals)
        g_signal_add_emission_hook(g_signal_lookup(name, GTK_TYPE_WIDGET), 0,
                                   on_toplevel_focus_event, stack, nullptr);
    return stack;
}

static void stack_push(KivelWindowStack *stack, GtkWidget *window)
{
    stack->windows = g_list_remove(stack->windows, window);
    stack->windows = g_list_prepend(stack->windows, window);
    refresh_topmost(stack);
    refresh_topmost_when_settled(stack);
}

static void stack_remove(KivelWindowStack *stack, GtkWidget *window)
{
    GList *link = g_list_find(stack->windows, window);
    if (!link)
        return;
    gboolean was_top = link == stack->windows;
    stack->windows = g_list_delete_link(stack->windows, link);
    set_topmost(KIVEL_STACKABLE_WINDOW(window), FALSE);
    refresh_topmost(stack);
    refresh_topmost_when_settled(stack);
    if (was_top && stack->windows && gtk_widget_get_visible(GTK_WIDGET(stack->windows->data)))
        gtk_window_present(GTK_WINDOW(stack->windows->data));
}

GtkWidget *kivel_window_stack_peek(KivelWindowStack *stack)
{
    g_return_val_if_fail(KIVEL_IS_WINDOW_STACK(stack), nullptr);
    return stack->windows ? GTK_WIDGET(stack->windows->data) : nullptr;
}

GtkWidget *kivel_window_stack_pop_1(KivelWindowStack *stack)
{
    g_return_val_if_fail(KIVEL_IS_WINDOW_STACK(stack), nullptr);
    GtkWidget *top = kivel_window_stack_peek(stack);
    if (!top)
        return nullptr;
    gtk_widget_hide(top);
    stack_remove(stack, top); // in case it was hidden already
    return top;
}

gint kivel_window_stack_size(KivelWindowStack *stack)
{
    g_return_val_if_fail(KIVEL_IS_WINDOW_STACK(stack), 0);
    return g_list_length(stack->windows);
}

// ---------------------------------------------------------------------------
// KivelStackableWindow

typedef struct {
    gboolean is_topmost;
} KivelStackableWindowPrivate;

G_DEFINE_TYPE_WITH_PRIVATE(KivelStackableWindow, kivel_stackable_window, KIVEL_TYPE_WINDOW)

enum { PROP_0, PROP_IS_TOPMOST };

static KivelStackableWindowPrivate *stackable_priv(KivelStackableWindow *window)
{
    return static_cast<KivelStackableWindowPrivate *>(
        kivel_stackable_window_get_instance_private(window));
}

static void set_topmost(KivelStackableWindow *window, gboolean topmost)
{
    KivelStackableWindowPrivate *priv = stackable_priv(window);
    if (priv->is_topmost == topmost)
        return;
    priv->is_topmost = topmost;
    g_object_notify(G_OBJECT(window), "is-topmost");
}

GtkWidget *kivel_stackable_window_new(void)
{
    return GTK_WIDGET(g_object_new(KIVEL_TYPE_STACKABLE_WINDOW, nullptr));
}

gboolean kivel_stackable_window_get_is_topmost(KivelStackableWindow *window)
{
    g_return_val_if_fail(KIVEL_IS_STACKABLE_WINDOW(window), FALSE);
    return stackable_priv(window)->is_topmost;
}

static void kivel_stackable_window_show(GtkWidget *widget)
{
    GTK_WIDGET_CLASS(kivel_stackable_window_parent_class)->show(widget);
    stack_push(kivel_window_stack_get_default(), widget);
    // Without a window manager a window shown is not focused by itself.
    gtk_window_present(GTK_WINDOW(widget));
}

static void kivel_stackable_window_hide(GtkWidget *widget)
{
    GTK_WIDGET_CLASS(kivel_stackable_window_parent_class)->hide(widget);
    stack_remove(kivel_window_stack_get_default(), widget);
}

static void kivel_stackable_window_destroy(GtkObject *object)
{
    stack_remove(kivel_window_stack_get_default(), GTK_WIDGET(object));
    GTK_OBJECT_CLASS(kivel_stackable_window_parent_class)->destroy(object);
}

static void kivel_stackable_window_get_property(GObject *object, guint id, GValue *value,
                                                GParamSpec *pspec)
{
    switch (id) {
    case PROP_IS_TOPMOST:
        g_value_set_boolean(value, stackable_priv(KIVEL_STACKABLE_WINDOW(object))->is_topmost);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

// A stackable window covers the screen, whether or not a window manager
// says so.
static void kivel_stackable_window_init(KivelStackableWindow *window)
{
    GdkScreen *screen = gtk_window_get_screen(GTK_WINDOW(window));
    gtk_window_set_default_size(GTK_WINDOW(window), gdk_screen_get_width(screen),
                                gdk_screen_get_height(screen));
}

static void kivel_stackable_window_class_init(KivelStackableWindowClass *klass)
{
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    GtkObjectClass *gtk_object_class = GTK_OBJECT_CLASS(klass);
    GtkWidgetClass *widget_class = GTK_WIDGET_CLASS(klass);
    object_class->get_property = kivel_stackable_window_get_property;
    gtk_object_class->destroy = kivel_stackable_window_destroy;
    widget_class->show = kivel_stackable_window_show;
    widget_class->hide = kivel_stackable_window_hide;
    g_object_class_install_property(
        object_class, PROP_IS_TOPMOST,
        g_param_spec_boolean("is-topmost", "Is topmost",
                             "Whether the window is on top of the window stack and active", FALSE,
                             G_PARAM_READABLE));
}

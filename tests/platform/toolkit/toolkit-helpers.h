// What a person does to the toolkit's widgets, for the toolkit tests: taps,
// keys, and answering a dialog that runs its own loop.
#pragma once

#include "support/ui-test.h"

#include <gtk/gtk.h>
#include <unistd.h>
#include <functional>
#include <string>
#include <vector>

namespace toolkit_test
{

// Taps and keys go into this process's event queue as the X server would
// deliver them.

// Whether `widget` is mapped, so it can take taps.
inline bool is_ready_for_taps(GtkWidget *widget)
{
    return gtk_widget_get_mapped(widget) && gtk_widget_get_window(widget);
}

inline bool await_ready_for_taps(GtkWidget *widget)
{
    return ulvo_test::pump_until([widget] { return is_ready_for_taps(widget); });
}

namespace detail
{

inline void put_event(GdkEvent *event)
{
    gdk_display_put_event(gdk_display_get_default(), event);
    gdk_event_free(event);
}

inline void put_pointer_event(GdkWindow *window, GdkEventType type, int x, int y)
{
    gint origin_x = 0, origin_y = 0;
    gdk_window_get_origin(window, &origin_x, &origin_y);
    GdkEvent *event = gdk_event_new(type);
    if (type == GDK_ENTER_NOTIFY) {
        GdkEventCrossing &c = event->crossing;
        c.window = GDK_WINDOW(g_object_ref(window));
        c.time = GDK_CURRENT_TIME;
        c.x = x, c.y = y, c.x_root = origin_x + x, c.y_root = origin_y + y;
        c.mode = GDK_CROSSING_NORMAL;
        c.detail = GDK_NOTIFY_NONLINEAR;
    } else {
        GdkEventButton &b = event->button;
        b.window = GDK_WINDOW(g_object_ref(window));
        b.time = GDK_CURRENT_TIME;
        b.x = x, b.y = y, b.x_root = origin_x + x, b.y_root = origin_y + y;
        b.button = 1;
        b.device = gdk_display_get_core_pointer(gdk_display_get_default());
    }
    put_event(event);
}

inline void put_key_event(GdkWindow *window, GdkEventType type, guint keyval)
{
    GdkKeymapKey *keys = nullptr;
    gint n_keys = 0;
    gdk_keymap_get_entries_for_keyval(gdk_keymap_get_default(), keyval, &keys, &n_keys);
    GdkEvent *event = gdk_event_new(type);
    GdkEventKey &k = event->key;
    k.window = GDK_WINDOW(g_object_ref(window));
    k.time = GDK_CURRENT_TIME;
    k.keyval = keyval;
    // Key bindings look keys up by their hardware code.
    if (n_keys > 0) {
        k.hardware_keycode = guint16(keys[0].keycode);
        k.group = guint8(keys[0].group);
    }
    g_free(keys);
    put_event(event);
}

} // namespace detail

// A tap (the finger arrives, presses, lifts) at (x, y) of `window`.
inline void tap(GdkWindow *window, int x, int y)
{
    detail::put_pointer_event(window, GDK_ENTER_NOTIFY, x, y);
    detail::put_pointer_event(window, GDK_BUTTON_PRESS, x, y);
    detail::put_pointer_event(window, GDK_BUTTON_RELEASE, x, y);
}

// A tap in the middle of a button.
inline void tap_button(GtkWidget *button)
{
    GtkAllocation a;
    gtk_widget_get_allocation(button, &a);
    tap(GTK_BUTTON(button)->event_window, a.width / 2, a.height / 2);
}

// A key pressed and released while `toplevel` has the keyboard.
inline void press_key(GtkWidget *toplevel, guint keyval)
{
    detail::put_key_event(gtk_widget_get_window(toplevel), GDK_KEY_PRESS, keyval);
    detail::put_key_event(gtk_widget_get_window(toplevel), GDK_KEY_RELEASE, keyval);
}

using ulvo_test::find_button;

// The run result a dialog gets when the test's answer did not reach it.
constexpr gint no_answer = 54321;

namespace detail
{

// Answers a dialog with `no_answer` when no response came after the test's
// answer, so a broken dialog fails the test instead of hanging it.
struct Watchdog {
    GtkWidget *dialog;
    gulong response_id;
    guint timeout_id;

    static void start(GtkWidget *dialog)
    {
        auto *w = new Watchdog{dialog, 0, 0};
        g_object_add_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer *>(&w->dialog));
        w->response_id = g_signal_connect_swapped(dialog, "response", G_CALLBACK(stop), w);
        w->timeout_id = gdk_threads_add_timeout(5000, on_timeout, w);
    }
    static gboolean on_timeout(gpointer data)
    {
        auto *w = static_cast<Watchdog *>(data);
        w->timeout_id = 0;
        GtkWidget *dialog = w->dialog;
        stop(w);
        if (dialog)
            gtk_dialog_response(GTK_DIALOG(dialog), no_answer);
        return FALSE;
    }
    static void stop(Watchdog *w)
    {
        if (w->timeout_id)
            g_source_remove(w->timeout_id);
        if (w->dialog) {
            g_signal_handler_disconnect(w->dialog, w->response_id);
            g_object_remove_weak_pointer(G_OBJECT(w->dialog),
                                         reinterpret_cast<gpointer *>(&w->dialog));
        }
        delete w;
    }
};

} // namespace detail

// Once a dialog is showing and ready for taps, runs `act` on it from the
// main loop: for dialogs that the code under test runs with gtk_dialog_run.
// When no response follows within 5 s, the run ends with `no_answer`.
inline void when_dialog_shows(std::function<void(GtkWidget *)> act)
{
    auto *pending = new std::function<void(GtkWidget *)>(std::move(act));
    gdk_threads_add_timeout(
        20,
        [](gpointer data) -> gboolean {
            auto *act = static_cast<std::function<void(GtkWidget *)> *>(data);
            GtkWidget *dialog = ulvo_test::find_showing_dialog();
            if (!dialog || !is_ready_for_taps(dialog))
                return TRUE;
            detail::Watchdog::start(dialog);
            (*act)(dialog);
            delete act;
            return FALSE;
        },
        pending);
}

// Records the values of a boolean property at each of its notifications.
class BoolNotifications
{
  public:
    BoolNotifications(gpointer object, const char *property) : object_(object), property_(property)
    {
        std::string signal = "notify::" + property_;
        id_ = g_signal_connect(object, signal.c_str(), G_CALLBACK(&BoolNotifications::on_notify),
                               this);
        g_object_add_weak_pointer(G_OBJECT(object_), &object_);
    }
    ~BoolNotifications()
    {
        if (!object_)
            return;
        g_signal_handler_disconnect(object_, id_);
        g_object_remove_weak_pointer(G_OBJECT(object_), &object_);
    }
    BoolNotifications(const BoolNotifications &) = delete;
    BoolNotifications &operator=(const BoolNotifications &) = delete;
    const std::vector<bool> &values() const { return values_; }
    bool last_is(bool value) const { return !values_.empty() && values_.back() == value; }

  private:
    static void on_notify(GObject *object, GParamSpec *pspec, gpointer self)
    {
        gboolean value = FALSE;
        g_object_get(object, pspec->name, &value, nullptr);
        static_cast<BoolNotifications *>(self)->values_.push_back(value);
    }
    gpointer object_;
    std::string property_;
    gulong id_ = 0;
    std::vector<bool> values_;
};

} // namespace toolkit_test

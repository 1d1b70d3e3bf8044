// What a person does to the toolkit's widgets, for the toolkit tests: taps,
// keys, and answering a dialog that runs its own loop.
#pragma once

#include "support/ui-test.h"

#include <gtk/gtk.h>
#include <functional>
#include <string>
#include <vector>

namespace toolkit_test
{

// Whether `widget` is mapped and its toplevel really is on screen and has
// the focus: a window manager maps, places and focuses a window some time
// after GTK asked for it, and taps before that may miss.
inline bool is_ready_for_taps(GtkWidget *widget)
{
    GtkWidget *toplevel = gtk_widget_get_toplevel(widget);
    GdkWindow *window = gtk_widget_get_window(toplevel);
    return gtk_widget_get_mapped(widget) && window &&
           !(gdk_window_get_state(window) & GDK_WINDOW_STATE_WITHDRAWN) &&
           (!GTK_IS_WINDOW(toplevel) ||
            gtk_window_get_window_type(GTK_WINDOW(toplevel)) == GTK_WINDOW_POPUP ||
            gtk_window_is_active(GTK_WINDOW(toplevel)));
}

// Presents the toplevel of `widget` (nothing else focuses it without a
// window manager) and waits until it is ready for taps.
inline bool await_ready_for_taps(GtkWidget *widget)
{
    GtkWidget *toplevel = gtk_widget_get_toplevel(widget);
    if (GTK_IS_WINDOW(toplevel) && gtk_widget_get_visible(toplevel))
        gtk_window_present(GTK_WINDOW(toplevel));
    return ulvo_test::pump_until([widget] { return is_ready_for_taps(widget); });
}

// A tap (press and release of button 1) at (x, y) of `window`; the pointer
// moves there first, as a finger would.
inline void tap(GdkWindow *window, int x, int y)
{
    gdk_test_simulate_button(window, x, y, 1, GdkModifierType(0), GDK_BUTTON_PRESS);
    gdk_test_simulate_button(window, x, y, 1, GdkModifierType(0), GDK_BUTTON_RELEASE);
}

// A tap in the middle of a button.
inline void tap_button(GtkWidget *button)
{
    GtkAllocation a;
    gtk_widget_get_allocation(button, &a);
    tap(GTK_BUTTON(button)->event_window, a.width / 2, a.height / 2);
}

inline void press_key(GtkWidget *toplevel, guint keyval)
{
    gdk_test_simulate_key(gtk_widget_get_window(toplevel), -1, -1, keyval, GdkModifierType(0),
                          GDK_KEY_PRESS);
    gdk_test_simulate_key(gtk_widget_get_window(toplevel), -1, -1, keyval, GdkModifierType(0),
                          GDK_KEY_RELEASE);
}

// The first button inside `widget` whose label reads `text`, or nullptr.
inline GtkWidget *find_button(GtkWidget *widget, const std::string &text)
{
    if (GTK_IS_BUTTON(widget)) {
        const gchar *label = gtk_button_get_label(GTK_BUTTON(widget));
        if (label && text == label)
            return widget;
    }
    GtkWidget *found = nullptr;
    if (GTK_IS_CONTAINER(widget)) {
        GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList *l = children; l && !found; l = l->next)
            found = find_button(GTK_WIDGET(l->data), text);
        g_list_free(children);
    }
    return found;
}

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
            if (!dialog || !gtk_widget_get_mapped(dialog))
                return TRUE;
            if (!is_ready_for_taps(dialog)) {
                if (!gtk_window_is_active(GTK_WINDOW(dialog)))
                    gtk_window_present(GTK_WINDOW(dialog));
                return TRUE;
            }
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

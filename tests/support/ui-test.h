// Helpers for tests that drive real widgets, files and the session bus.
#pragma once

#include <gio/gio.h>
#include <gtk/gtk.h>
#include <functional>
#include <string>

namespace ulvo_test
{

// Runs the main loop, with the GDK lock released as gtk_main() does, until
// `done` answers true or `timeout_ms` pass. Returns the last answer of `done`.
bool pump_until(const std::function<bool()> &done, int timeout_ms = 10000);

// Like pump_until, and counts in `growths` the turns of the loop after which
// `value` had grown: how many slices some work took.
bool pump_until_counting(const std::function<bool()> &done, const std::function<int()> &value,
                         int *growths, int timeout_ms = 10000);

// Runs the main loop for the events that are ready now, and a little beyond:
// `ms` milliseconds of wall time.
void pump_for(int ms);

// The fresh HOME of this test process (removed at exit).
const std::string &test_home();

// Creates a file (and its missing parent folders) with the given contents.
void write_file(const std::string &path, const std::string &contents = "");
void make_dir(const std::string &path, int mode = 0755);
bool path_exists(const std::string &path);

// The file URI of a local path, as GIO spells it; "" when it has none.
std::string file_uri(const std::string &path);

// Runs `work` on a thread of its own and waits up to `timeout_ms` for it.
// Should it hang on the FIFO `fifo`, writers come and go until it ends.
// Returns whether it ended on its own.
bool returns_despite_fifo(const std::string &fifo, const std::function<void()> &work,
                          int timeout_ms = 5000);

// Caps the address space of this process at its present size plus `extra`
// bytes while it lives, so that a read without end fails instead of
// exhausting the machine.
class AddressSpaceCap
{
  public:
    explicit AddressSpaceCap(unsigned long long extra);
    ~AddressSpaceCap();

  private:
    unsigned long long saved_cur_ = 0;
    bool set_ = false;
};

// The first button inside `widget` whose label reads `text`, or nullptr.
GtkWidget *find_button(GtkWidget *widget, const std::string &text);

// The first visible toplevel GtkDialog, or nullptr.
GtkWidget *find_showing_dialog();

// The first widget of `type` inside `widget` (itself included), or nullptr.
GtkWidget *find_descendant(GtkWidget *widget, GType type);

// The whole text of every GtkLabel inside `widget`, joined with line feeds.
std::string collect_label_text(GtkWidget *widget);

// A connection of its own to the session bus that owns the bus name
// `name` and hands every message to `filter` on GDBus's worker thread, so
// that it answers while the main thread blocks in a call. nullptr when the
// name cannot be had. Release with g_dbus_connection_close_sync and unref.
GDBusConnection *serve_bus_name(const char *name, GDBusMessageFilterFunction filter, gpointer data);

// Messages logged under `domain` while the recorder lives.
class LogRecorder
{
  public:
    explicit LogRecorder(const char *domain);
    ~LogRecorder();
    bool contains(const std::string &fragment) const;
    const std::string &text() const { return text_; }

  private:
    static void handler(const gchar *domain, GLogLevelFlags level, const gchar *message,
                        gpointer self);
    std::string domain_;
    std::string text_;
    guint handler_id_ = 0;
};

} // namespace ulvo_test

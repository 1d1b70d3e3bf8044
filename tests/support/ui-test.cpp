#include "support/ui-test.h"

#include <glib/gstdio.h>
#include <condition_variable>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace ulvo_test
{

// A build with sanitizers runs several times slower: waits stretch by
// ULVO_TEST_TIME_SCALE.
static gint64 time_scale()
{
    static const gint64 scale = [] {
        const gchar *text = g_getenv("ULVO_TEST_TIME_SCALE");
        gint64 value = text ? g_ascii_strtoll(text, nullptr, 10) : 1;
        return value > 0 ? value : 1;
    }();
    return scale;
}

bool pump_until(const std::function<bool()> &done, int timeout_ms)
{
    gint64 deadline = g_get_monotonic_time() + gint64(timeout_ms) * 1000 * time_scale();
    // Wake at least every 10 ms so that the deadline is honoured.
    guint tick = g_timeout_add(
        10, [](gpointer) -> gboolean { return TRUE; }, nullptr);
    bool answer = done();
    while (!answer && g_get_monotonic_time() <= deadline) {
        gdk_threads_leave();
        g_main_context_iteration(nullptr, TRUE);
        gdk_threads_enter();
        answer = done();
    }
    g_source_remove(tick);
    return answer;
}

bool pump_until_counting(const std::function<bool()> &done, const std::function<int()> &value,
                         int *growths, int timeout_ms)
{
    *growths = 0;
    int last = value();
    return pump_until(
        [&] {
            int now = value();
            *growths += now > last;
            last = now;
            return done();
        },
        timeout_ms);
}

void pump_for(int ms)
{
    gint64 deadline = g_get_monotonic_time() + gint64(ms) * 1000;
    pump_until([&] { return g_get_monotonic_time() >= deadline; }, ms + 1000);
}

void write_file(const std::string &path, const std::string &contents)
{
    gchar *dir = g_path_get_dirname(path.c_str());
    g_mkdir_with_parents(dir, 0755);
    g_free(dir);
    std::ofstream out(path, std::ios::binary);
    out << contents;
}

void make_dir(const std::string &path, int mode)
{
    g_mkdir_with_parents(path.c_str(), 0755);
    g_chmod(path.c_str(), mode);
}

bool path_exists(const std::string &path)
{
    return g_file_test(path.c_str(), G_FILE_TEST_EXISTS);
}

std::string file_uri(const std::string &path)
{
    gchar *uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string out = uri ? uri : "";
    g_free(uri);
    return out;
}

bool returns_despite_fifo(const std::string &fifo, const std::function<void()> &work,
                          int timeout_ms)
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread worker([&] {
        work();
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        ended.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    bool on_its_own =
        ended.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return done; });
    // A writer that opens and closes at once lets a blocked reader see the end.
    while (!done) {
        lock.unlock();
        int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            close(fd);
        lock.lock();
        ended.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; });
    }
    lock.unlock();
    worker.join();
    return on_its_own;
}

AddressSpaceCap::AddressSpaceCap(unsigned long long extra)
{
    unsigned long long pages = 0;
    FILE *statm = fopen("/proc/self/statm", "r");
    if (!statm)
        return;
    bool read = fscanf(statm, "%llu", &pages) == 1;
    fclose(statm);
    struct rlimit limit;
    if (!read || getrlimit(RLIMIT_AS, &limit) != 0)
        return;
    saved_cur_ = limit.rlim_cur;
    limit.rlim_cur = pages * sysconf(_SC_PAGESIZE) + extra;
    set_ = setrlimit(RLIMIT_AS, &limit) == 0;
}

AddressSpaceCap::~AddressSpaceCap()
{
    if (!set_)
        return;
    struct rlimit limit;
    getrlimit(RLIMIT_AS, &limit);
    limit.rlim_cur = saved_cur_;
    setrlimit(RLIMIT_AS, &limit);
}

GtkWidget *find_button(GtkWidget *widget, const std::string &text)
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

GtkWidget *find_showing_dialog()
{
    GList *tops = gtk_window_list_toplevels();
    GtkWidget *found = nullptr;
    for (GList *l = tops; l && !found; l = l->next) {
        GtkWidget *w = GTK_WIDGET(l->data);
        if (GTK_IS_DIALOG(w) && gtk_widget_get_visible(w))
            found = w;
    }
    g_list_free(tops);
    return found;
}

GtkWidget *find_descendant(GtkWidget *widget, GType type)
{
    if (G_TYPE_CHECK_INSTANCE_TYPE(widget, type))
        return widget;
    if (!GTK_IS_CONTAINER(widget))
        return nullptr;
    GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
    GtkWidget *found = nullptr;
    for (GList *l = children; l && !found; l = l->next)
        found = find_descendant(GTK_WIDGET(l->data), type);
    g_list_free(children);
    return found;
}

static void collect_labels(GtkWidget *widget, std::string *out)
{
    if (GTK_IS_LABEL(widget)) {
        if (!out->empty())
            *out += "\n";
        *out += gtk_label_get_text(GTK_LABEL(widget));
    }
    if (GTK_IS_CONTAINER(widget)) {
        GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList *l = children; l; l = l->next)
            collect_labels(GTK_WIDGET(l->data), out);
        g_list_free(children);
    }
}

std::string collect_label_text(GtkWidget *widget)
{
    std::string out;
    if (widget)
        collect_labels(widget, &out);
    return out;
}

LogRecorder::LogRecorder(const char *domain) : domain_(domain)
{
    handler_id_ = g_log_set_handler(
        domain_.c_str(), GLogLevelFlags(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
        &LogRecorder::handler, this);
}

LogRecorder::~LogRecorder()
{
    g_log_remove_handler(domain_.c_str(), handler_id_);
}

bool LogRecorder::contains(const std::string &fragment) const
{
    return text_.find(fragment) != std::string::npos;
}

void LogRecorder::handler(const gchar *, GLogLevelFlags, const gchar *message, gpointer self)
{
    auto *rec = static_cast<LogRecorder *>(self);
    rec->text_ += message ? message : "";
    rec->text_ += "\n";
}

} // namespace ulvo_test

GDBusConnection *ulvo_test::serve_bus_name(const char *name, GDBusMessageFilterFunction filter,
                                           gpointer data)
{
    gchar *address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GDBusConnection *connection =
        address ? g_dbus_connection_new_for_address_sync(
                      address,
                      GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                           G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                      nullptr, nullptr, nullptr)
                : nullptr;
    g_free(address);
    if (!connection)
        return nullptr;
    g_dbus_connection_add_filter(connection, filter, data, nullptr);
    GVariant *owner = g_dbus_connection_call_sync(
        connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", name, 4u), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    guint32 reply = 0;
    if (owner) {
        g_variant_get(owner, "(u)", &reply);
        g_variant_unref(owner);
    }
    if (reply != 1) {
        g_dbus_connection_close_sync(connection, nullptr, nullptr);
        g_object_unref(connection);
        return nullptr;
    }
    return connection;
}

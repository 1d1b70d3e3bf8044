#include "program-support.h"

#include "platform/libulvo/ulvo.h"
#include "support/ui-test.h"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

// After gtest, whose names Xlib's macros (None, Bool) would break.
#include <gdk/gdkx.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/wait.h>

namespace ulvo_e2e
{

static std::string program_path()
{
    return std::string(ULVO_BUILD_DIR) + "/ulvo-filemanager";
}

// Each program started by one test gets its own ready file.
static std::string next_ready_file()
{
    static int count = 0;
    return ulvo_test::test_home() + "/ready-" + std::to_string(++count);
}

Program::Program(const std::vector<std::string> *environment) : ready_file_(next_ready_file())
{
    start(environment, nullptr);
}

Program::Program(const std::vector<std::string> *environment, const std::string &log_file)
    : ready_file_(next_ready_file())
{
    start(environment, log_file.c_str());
}

// Runs in the child between fork and exec: only async-signal-safe calls.
static void log_to_file(gpointer path)
{
    int fd = open(static_cast<const char *>(path), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return;
    dup2(fd, STDOUT_FILENO);
    dup2(fd, STDERR_FILENO);
    close(fd);
}

void Program::start(const std::vector<std::string> *environment, const char *log_file)
{
    std::string path = program_path();
    const gchar *argv[] = {path.c_str(), nullptr};
    std::vector<std::string> env;
    if (environment) {
        env = *environment;
    } else {
        gchar **inherited = g_get_environ();
        for (gchar **e = inherited; *e; e++)
            env.emplace_back(*e);
        g_strfreev(inherited);
    }
    env.push_back("ULVO_FM_READY_FILE=" + ready_file_);
    std::vector<const gchar *> envp;
    for (const std::string &e : env)
        envp.push_back(e.c_str());
    envp.push_back(nullptr);

    GError *error = nullptr;
    if (!g_spawn_async(nullptr, const_cast<gchar **>(argv), const_cast<gchar **>(envp.data()),
                       G_SPAWN_DO_NOT_REAP_CHILD, log_file ? log_to_file : nullptr,
                       const_cast<char *>(log_file), &pid_, &error)) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        pid_ = 0;
    }
}

Program::~Program()
{
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool Program::ready() const
{
    return ulvo_test::path_exists(ready_file_);
}

bool Program::await_ready(int timeout_ms)
{
    return ulvo_test::pump_until([&] { return ready(); }, timeout_ms);
}

bool Program::running()
{
    if (!pid_ || reaped_)
        return false;
    if (waitpid(pid_, nullptr, WNOHANG) == pid_)
        reaped_ = true;
    return !reaped_;
}

void Program::signal(int signo)
{
    if (pid_ && !reaped_)
        kill(pid_, signo);
}

int Program::await_exit_status(int timeout_ms)
{
    if (!pid_ || reaped_)
        return -1;
    int status = -1;
    // Waits without blocking the main loop.
    bool ended =
        ulvo_test::pump_until([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout_ms);
    reaped_ = ended;
    return ended ? status : -1;
}

std::string read_saved_state()
{
    ulvo_context_t *ctx = ulvo_initialize("ulvo_filemanager", "0.4.6", TRUE, nullptr);
    if (!ctx)
        return "<no context>";
    ulvo_state_t state = {0, nullptr};
    std::string text = "<none>";
    if (ulvo_state_read(ctx, &state) == ULVO_OK)
        text.assign(static_cast<char *>(state.state_data), state.state_size);
    g_free(state.state_data);
    ulvo_deinitialize(ctx);
    return text;
}

static const char *const BUS_NAME = "com.kavra.ulvo_filemanager";

// (transfer full) (nullable) The reply of a synchronous call, or NULL.
static GVariant *call(const char *name, const char *path, const char *interface, const char *method,
                      GVariant *args)
{
    GDBusConnection *bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus)
        return nullptr;
    GVariant *reply = g_dbus_connection_call_sync(bus, name, path, interface, method, args, nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    g_object_unref(bus);
    return reply;
}

bool await_bus_name_released(int timeout_ms)
{
    return ulvo_test::pump_until(
        [] {
            GVariant *reply =
                call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                     "NameHasOwner", g_variant_new("(s)", BUS_NAME));
            gboolean owned = TRUE;
            if (reply) {
                g_variant_get(reply, "(b)", &owned);
                g_variant_unref(reply);
            }
            return !owned;
        },
        timeout_ms);
}

bool call_program(const char *method)
{
    return call_program(method, nullptr);
}

bool call_program(const char *method, const char *argument)
{
    GVariant *reply = call(BUS_NAME, "/com/kavra/ulvo_filemanager", BUS_NAME, method,
                           argument ? g_variant_new("(s)", argument) : nullptr);
    if (reply)
        g_variant_unref(reply);
    return reply != nullptr;
}

std::string saved_state_file()
{
    gchar *path =
        g_build_filename(g_get_user_cache_dir(), "ulvo", "state", "ulvo_filemanager", nullptr);
    std::string out = path;
    g_free(path);
    return out;
}

void write_saved_state(const std::string &text)
{
    std::string path = saved_state_file();
    gchar *folder = g_path_get_dirname(path.c_str());
    ASSERT_EQ(g_mkdir_with_parents(folder, 0700), 0);
    g_free(folder);
    ASSERT_TRUE(g_file_set_contents(path.c_str(), text.data(), text.size(), nullptr));
}

std::string read_saved_state_file()
{
    gchar *contents = nullptr;
    gsize length = 0;
    if (!g_file_get_contents(saved_state_file().c_str(), &contents, &length, nullptr))
        return "";
    std::string out(contents, length);
    g_free(contents);
    return out;
}

std::string state_after_covering(GtkWidget *cover)
{
    EXPECT_TRUE(call_program("top_application"));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return !gtk_window_is_active(GTK_WINDOW(cover)); }));
    g_unlink(saved_state_file().c_str());
    // The program takes itself for topmost once its focus has settled, out
    // of this process's sight: a moment is left for that.
    ulvo_test::pump_for(300);
    gtk_window_present(GTK_WINDOW(cover));
    ulvo_test::pump_until([] { return ulvo_test::path_exists(saved_state_file()); }, 5000);
    return read_saved_state_file();
}

bool await_saved_state(GtkWidget *cover, const std::string &expected)
{
    gint64 deadline = g_get_monotonic_time() + 15 * G_USEC_PER_SEC;
    std::string state;
    while (g_get_monotonic_time() < deadline) {
        state = state_after_covering(cover);
        if (state == expected)
            return true;
    }
    ADD_FAILURE() << "saved: " << state;
    return false;
}

bool call_file_manager1(const char *method, const std::vector<std::string> &uris)
{
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("as"));
    for (const std::string &uri : uris)
        g_variant_builder_add(&list, "s", uri.c_str());
    GVariant *reply =
        call("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
             "org.freedesktop.FileManager1", method, g_variant_new("(ass)", &list, ""));
    if (reply)
        g_variant_unref(reply);
    return reply != nullptr;
}

static Display *xdisplay()
{
    return gdk_x11_get_default_xdisplay();
}

void tap(int x, int y)
{
    Display *d = xdisplay();
    XTestFakeMotionEvent(d, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XSync(d, False);
}

void press_key(unsigned long keysym, bool shifted)
{
    Display *d = xdisplay();
    KeyCode shift = XKeysymToKeycode(d, XK_Shift_L);
    KeyCode key = XKeysymToKeycode(d, keysym);
    if (shifted)
        XTestFakeKeyEvent(d, shift, True, CurrentTime);
    XTestFakeKeyEvent(d, key, True, CurrentTime);
    XTestFakeKeyEvent(d, key, False, CurrentTime);
    if (shifted)
        XTestFakeKeyEvent(d, shift, False, CurrentTime);
    XSync(d, False);
}

bool keyboard_is_grabbed()
{
    Display *d = xdisplay();
    int result =
        XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (result == GrabSuccess)
        XUngrabKeyboard(d, CurrentTime);
    XSync(d, False);
    return result == AlreadyGrabbed;
}

} // namespace ulvo_e2e

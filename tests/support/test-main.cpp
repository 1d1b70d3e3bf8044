// Every test process gets a fresh HOME, the build tree's catalogs, and, when a
// display is there, GTK initialised the way the program does it: GDK threads
// on and the lock held by the main thread.
#include "support/ui-test.h"

#include "app/startup.h"
#include "model/app-record.h"
#include "platform/toolkit/kivel-program.h"

#include <gtest/gtest.h>
#include <glib/gstdio.h>
#include <cstdlib>
#include <signal.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>

namespace ulvo_test
{

static std::string g_home;

const std::string &test_home()
{
    return g_home;
}

static void remove_tree(const std::string &path)
{
    std::string cmd = "chmod -R u+rwx '" + path + "' 2>/dev/null; rm -rf '" + path + "'";
    if (system(cmd.c_str()) != 0)
        g_printerr("could not remove %s\n", path.c_str());
}

// Reads one line from `fd` and closes it.
static std::string read_line(int fd)
{
    std::string line;
    char c;
    while (read(fd, &c, 1) == 1 && c != '\n')
        line += c;
    close(fd);
    return line;
}

// Runs in the server between fork and exec. The death signal follows the
// thread that forked: main's, which lasts as long as the process, however
// the process ends (a crash, an abort, SIGKILL on a time-out).
static void die_with_parent(gpointer parent)
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != GPOINTER_TO_INT(parent))
        _exit(1); // the parent is gone already
}

static void stop_server(GPid pid)
{
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// Starts a helper whose first line of output names what it serves. Returns
// its pid and that line, or 0.
static GPid start_server(const gchar *const *argv, std::string *first_line)
{
    GPid pid = 0;
    gint out = -1;
    GError *error = nullptr;
    if (!g_spawn_async_with_pipes(nullptr, const_cast<gchar **>(argv), nullptr,
                                  GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL |
                                              G_SPAWN_DO_NOT_REAP_CHILD),
                                  die_with_parent, GINT_TO_POINTER(getpid()), &pid, nullptr, &out,
                                  nullptr, &error)) {
        g_printerr("cannot start %s: %s\n", argv[0], error->message);
        g_error_free(error);
        return 0;
    }
    *first_line = read_line(out);
    if (first_line->empty()) {
        stop_server(pid);
        return 0;
    }
    return pid;
}

// An X server of this process's own: keyboard focus is one per server, so
// tests running side by side must not share one.
static GPid start_private_display()
{
    const gchar *argv[] = {"Xvfb",       "-displayfd", "1",   "-screen", "0",
                           "800x480x24", "-nolisten",  "tcp", nullptr};
    std::string number;
    GPid pid = start_server(argv, &number);
    if (pid)
        g_setenv("DISPLAY", (":" + number).c_str(), TRUE);
    return pid;
}

// A session bus of this process's own, so that tests running side by side
// never compete for a bus name. Returns the daemon's pid, or 0.
static GPid start_private_bus()
{
    const gchar *argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr};
    std::string address;
    GPid pid = start_server(argv, &address);
    if (pid)
        g_setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), TRUE);
    return pid;
}

// The browser's file system model, watched so that teardown can tell
// whether it went with the window. Its folder monitors keep a leaked model
// reachable, so a leak checker alone would not see it.
static gpointer g_browser_model = nullptr;

static void watch_browser_model()
{
    if (!global_ofm || !KIVEL_IS_FILE_SELECTION(global_ofm->file_selection))
        return;
    GtkTreeModel *model = nullptr;
    g_object_get(global_ofm->file_selection, "model", &model, NULL);
    if (!model)
        return;
    g_browser_model = model;
    g_object_add_weak_pointer(G_OBJECT(model), &g_browser_model);
    g_object_unref(model);
}

static bool browser_model_released()
{
    if (g_browser_model)
        g_printerr("the browser's file system model was never released\n");
    return !g_browser_model;
}

// Destroys the windows the tests left and runs what they left pending, so
// that at exit only what is really lost is unreachable: a leak checker then
// sees a lost row, object or model.
static void tear_down_toolkit()
{
    watch_browser_model();
    GList *tops = gtk_window_list_toplevels();
    // Destroying one window may destroy others of the list.
    for (GList *l = tops; l; l = l->next)
        g_object_ref(l->data);
    for (GList *l = tops; l; l = l->next) {
        // Menus and tooltips go with the widgets that own them.
        if (gtk_window_get_window_type(GTK_WINDOW(l->data)) == GTK_WINDOW_TOPLEVEL)
            gtk_widget_destroy(GTK_WIDGET(l->data));
    }
    g_list_free_full(tops, g_object_unref);
    // Not a reference: it would keep a leaked model reachable.
    if (global_ofm)
        global_ofm->filesystem = nullptr;
    // Loads still running hold the model until they end.
    pump_until([] { return g_browser_model == nullptr; }, 2000);
    gint64 deadline = g_get_monotonic_time() + 2 * G_USEC_PER_SEC;
    gdk_threads_leave();
    while (g_main_context_iteration(nullptr, FALSE) && g_get_monotonic_time() < deadline) {
    }
    gdk_threads_enter();
}

// With ULVO_TEST_CRASH set the process prints the pids of its bus and X
// server and then ends the way it names, for the tests of this support.
static void crash_if_asked(GPid bus, GPid display)
{
    const gchar *how = g_getenv("ULVO_TEST_CRASH");
    if (!how)
        return;
    printf("%d %d\n", int(bus), int(display));
    fflush(stdout);
    std::string way = how;
    if (way == "abort")
        abort();
    if (way == "segv")
        raise(SIGSEGV);
    if (way == "throw")
        throw std::runtime_error("thrown on purpose");
    pause(); // "hang": waits for SIGKILL
}

} // namespace ulvo_test

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    gchar *home = g_dir_make_tmp("ulvo-test-XXXXXX", nullptr);
    if (!home) {
        g_printerr("cannot make a temporary HOME\n");
        return 1;
    }
    ulvo_test::g_home = home;
    g_free(home);
    const std::string &h = ulvo_test::g_home;
    g_setenv("HOME", h.c_str(), TRUE);
    g_setenv("XDG_CONFIG_HOME", (h + "/.config").c_str(), TRUE);
    g_setenv("XDG_CACHE_HOME", (h + "/.cache").c_str(), TRUE);
    g_setenv("XDG_DATA_HOME", (h + "/.local/share").c_str(), TRUE);
    std::string runtime = h + "/.runtime";
    g_mkdir_with_parents(runtime.c_str(), 0700);
    g_setenv("XDG_RUNTIME_DIR", runtime.c_str(), TRUE);
    g_setenv("GIO_USE_VFS", "local", TRUE);
    g_setenv("GSETTINGS_BACKEND", "memory", TRUE);

    GPid bus = ulvo_test::start_private_bus();
    GPid display = ulvo_test::start_private_display();

    gdk_threads_init();
    gdk_threads_enter();
    ulvo_fm_init_locale_and_environment();
    if (gtk_init_check(&argc, &argv))
        kivel_init();
    else
        g_printerr("no display: widget tests will fail\n");

    ulvo_test::crash_if_asked(bus, display);
    int status = RUN_ALL_TESTS();
    ulvo_test::tear_down_toolkit();
    if (!ulvo_test::browser_model_released())
        status = 1;
    gdk_threads_leave();
    ulvo_test::remove_tree(h);
    if (bus)
        ulvo_test::stop_server(bus);
    if (display)
        ulvo_test::stop_server(display);
    return status;
}

// What a person waits for when the file manager opens on a big folder: from
// fork/exec of the real program until every file is in the content pane and
// the program is idle, on a private 800x480 X server with a window manager.
// Prints one line per folder size with the time, the peak resident memory
// and the longest main-loop stall while rows loaded.
//
//   bench/folder_load [--runs R] [--sizes 1000,10000,100000] [--program PATH]
//   bench/folder_load [--runs R] [--sizes ...] -- other-program [args...]
//
// The file manager opens on ~/MyDocs, which holds the N empty files, and
// writes when it has listed them (ULVO_FM_LOAD_REPORT). Another program gets
// the folder as its last argument and is watched from outside: the time is
// the last moment it used the CPU after its window was mapped, once it has
// been idle for IDLE_MS; it has no stall figure.
#include "app/load-report.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <glib.h>
#include <glib/gstdio.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// Quiet time after which another program counts as idle.
static const gint64 IDLE_US = 500000;
static const gint64 POLL_US = 2000;
static const gint64 GIVE_UP_US = 300 * G_USEC_PER_SEC;

struct Setup {
    std::string display;
    std::string bus;
    std::vector<GPid> helpers;
    std::string program;
    std::vector<std::string> other; // another program's command, or empty
    int runs = 3;
    std::vector<int> sizes = {1000, 10000, 100000};
};

struct Result {
    bool ok = false;
    double seconds = 0;
    double peak_mib = 0;
    double stall_ms = -1; // unknown for another program
    double cpu_s = 0;     // user and system time of the program until then
};

static void fail(const char *what)
{
    fprintf(stderr, "folder_load: %s\n", what);
    exit(1);
}

static GPid spawn(const std::vector<std::string> &argv, gint *out_fd = nullptr)
{
    std::vector<gchar *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<gchar *>(arg.c_str()));
    args.push_back(nullptr);
    GPid pid = 0;
    GError *error = nullptr;
    auto flags =
        GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDERR_TO_DEV_NULL |
                    (out_fd ? 0 : G_SPAWN_STDOUT_TO_DEV_NULL));
    if (!g_spawn_async_with_pipes(nullptr, args.data(), nullptr, flags, nullptr, nullptr, &pid,
                                  nullptr, out_fd, nullptr, &error)) {
        fprintf(stderr, "folder_load: cannot start %s: %s\n", argv[0].c_str(), error->message);
        exit(1);
    }
    return pid;
}

static void start_display(Setup *setup)
{
    int n = 120;
    while (g_file_test(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), G_FILE_TEST_EXISTS) ||
           g_file_test(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), G_FILE_TEST_EXISTS))
        n++;
    setup->display = ":" + std::to_string(n);
    setup->helpers.push_back(
        spawn({"Xvfb", setup->display, "-screen", "0", "800x480x24", "-nolisten", "tcp"}));
    Display *x = nullptr;
    for (int i = 0; i < 500 && !x; i++) {
        x = XOpenDisplay(setup->display.c_str());
        if (!x)
            g_usleep(10000);
    }
    if (!x)
        fail("the X server did not start");
    XCloseDisplay(x);
    g_setenv("DISPLAY", setup->display.c_str(), TRUE);
    setup->helpers.push_back(spawn({"matchbox-window-manager", "-use_titlebar", "no"}));

    gint out = -1;
    setup->helpers.push_back(
        spawn({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, &out));
    char address[512] = "";
    ssize_t got = 0, n_read;
    while (got < ssize_t(sizeof address) - 1 &&
           (n_read = read(out, address + got, sizeof address - 1 - got)) > 0) {
        got += n_read;
        if (memchr(address, '\n', got))
            break;
    }
    close(out);
    address[got] = '\0';
    *strchrnul(address, '\n') = '\0';
    if (!*address)
        fail("the session bus did not start");
    setup->bus = address;
}

static void stop_helpers(Setup *setup)
{
    for (auto it = setup->helpers.rbegin(); it != setup->helpers.rend(); ++it) {
        kill(*it, SIGTERM);
        waitpid(*it, nullptr, 0);
    }
}

static void make_files(const std::string &folder, int count)
{
    g_mkdir_with_parents(folder.c_str(), 0755);
    for (int i = 0; i < count; i++) {
        std::string name = folder + "/file-" + std::to_string(i) + ".txt";
        int fd = open(name.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0)
            fail("cannot create the files");
        close(fd);
    }
}

static double peak_mib(GPid pid)
{
    gchar *status = nullptr;
    std::string path = "/proc/" + std::to_string(pid) + "/status";
    if (!g_file_get_contents(path.c_str(), &status, nullptr, nullptr))
        return 0;
    const char *line = strstr(status, "VmHWM:");
    double kib = line ? g_ascii_strtod(line + 6, nullptr) : 0;
    g_free(status);
    return kib / 1024.0;
}

// Clock ticks of CPU the process used so far, or -1 once it is gone.
static long cpu_ticks(GPid pid)
{
    gchar *stat = nullptr;
    std::string path = "/proc/" + std::to_string(pid) + "/stat";
    if (!g_file_get_contents(path.c_str(), &stat, nullptr, nullptr))
        return -1;
    const char *p = strrchr(stat, ')');
    unsigned long user = 0, system = 0;
    // Fields after the name: state, then 10 numbers, then utime and stime.
    if (!p ||
        sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2) {
        g_free(stat);
        return -1;
    }
    g_free(stat);
    return long(user + system);
}

// Less noisy than the time on a machine shared with other work.
static double cpu_seconds(GPid pid)
{
    return double(std::max(0L, cpu_ticks(pid))) / double(sysconf(_SC_CLK_TCK));
}

static bool has_window_of(Display *x, Window window, GPid pid, Atom pid_atom)
{
    Atom type;
    int format;
    unsigned long n = 0, after;
    unsigned char *data = nullptr;
    bool ours = false;
    if (XGetWindowProperty(x, window, pid_atom, 0, 1, False, XA_CARDINAL, &type, &format, &n,
                           &after, &data) == Success &&
        data && n == 1 && format == 32)
        ours = GPid(*reinterpret_cast<unsigned long *>(data)) == pid;
    if (data)
        XFree(data);
    XWindowAttributes attributes;
    if (ours && XGetWindowAttributes(x, window, &attributes) && attributes.map_state == IsViewable)
        return true;
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(x, window, &root, &parent, &children, &count))
        return false;
    bool found = false;
    for (unsigned int i = 0; i < count && !found; i++)
        found = has_window_of(x, children[i], pid, pid_atom);
    if (children)
        XFree(children);
    return found;
}

static GPid launch(const Setup &setup, const std::string &home, const std::string &report,
                   const std::string &folder)
{
    std::vector<std::string> command = setup.other;
    if (command.empty())
        command = {setup.program};
    else
        command.push_back(folder);
    GPid pid = fork();
    if (pid < 0)
        fail("fork failed");
    if (pid == 0) {
        setenv("HOME", home.c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", setup.bus.c_str(), 1);
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                                 "XDG_RUNTIME_DIR", ULVO_FM_LOAD_REPORT_ENV})
            unsetenv(name);
        if (!report.empty())
            setenv(ULVO_FM_LOAD_REPORT_ENV, report.c_str(), 1);
        int log = open((home + "/output.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) {
            dup2(log, 1);
            dup2(log, 2);
        }
        std::vector<char *> args;
        for (const std::string &arg : command)
            args.push_back(const_cast<char *>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

static void end_program(GPid pid)
{
    kill(pid, SIGINT);
    for (int i = 0; i < 500; i++) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        g_usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

static bool exited(GPid pid)
{
    return waitpid(pid, nullptr, WNOHANG) == pid;
}

// Our program says when it has listed the files.
static Result wait_for_report(GPid pid, gint64 started, const std::string &report, int count)
{
    Result result;
    gint64 deadline = started + GIVE_UP_US;
    gchar *line = nullptr;
    while (!g_file_get_contents(report.c_str(), &line, nullptr, nullptr)) {
        if (exited(pid) || g_get_monotonic_time() > deadline) {
            fprintf(stderr, "folder_load: the program ended or never listed the files\n");
            return result;
        }
        g_usleep(POLL_US);
    }
    result.peak_mib = peak_mib(pid);
    result.cpu_s = cpu_seconds(pid);
    int items = 0, files = 0;
    long long at = 0;
    double stall = 0;
    if (sscanf(line, "listed %d items %d files at %lld us; longest stall %lf ms", &items, &files,
               &at, &stall) == 4 &&
        files == count) {
        result.ok = true;
        result.seconds = (at - started) / 1e6;
        result.stall_ms = stall;
    } else {
        fprintf(stderr, "folder_load: unexpected report: %s", line);
    }
    g_free(line);
    return result;
}

// Another program is watched from outside: window mapped, then CPU quiet.
static Result wait_until_idle(const Setup &setup, GPid pid, gint64 started)
{
    Result result;
    Display *x = XOpenDisplay(setup.display.c_str());
    if (!x)
        fail("cannot open the display");
    Atom pid_atom = XInternAtom(x, "_NET_WM_PID", False);
    gint64 deadline = started + GIVE_UP_US;
    bool mapped = false;
    long ticks = 0;
    gint64 last_busy = 0;
    while (g_get_monotonic_time() < deadline && !exited(pid)) {
        gint64 now = g_get_monotonic_time();
        long used = cpu_ticks(pid);
        if (used != ticks) {
            ticks = used;
            last_busy = now;
        }
        if (!mapped)
            mapped = has_window_of(x, DefaultRootWindow(x), pid, pid_atom);
        else if (now - last_busy > IDLE_US) {
            result.ok = true;
            result.seconds = (last_busy - started) / 1e6;
            result.peak_mib = peak_mib(pid);
            result.cpu_s = cpu_seconds(pid);
            break;
        }
        g_usleep(POLL_US);
    }
    XCloseDisplay(x);
    if (!result.ok)
        fprintf(stderr, "folder_load: the program ended or never became idle\n");
    return result;
}

static Result run_once(const Setup &setup, int count)
{
    gchar *home = g_dir_make_tmp("ulvo-bench-XXXXXX", nullptr);
    if (!home)
        fail("cannot make a temporary folder");
    std::string folder = std::string(home) + "/MyDocs";
    make_files(folder, count);
    std::string report = setup.other.empty() ? std::string(home) + "/listed" : "";
    sync();

    gint64 started = g_get_monotonic_time();
    GPid pid = launch(setup, home, report, folder);
    Result result = setup.other.empty() ? wait_for_report(pid, started, report, count)
                                        : wait_until_idle(setup, pid, started);
    end_program(pid);
    if (system(("rm -rf '" + std::string(home) + "'").c_str()) != 0)
        fprintf(stderr, "folder_load: could not remove %s\n", home);
    g_free(home);
    return result;
}

static double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

static std::string figures(const std::vector<double> &values, const char *format)
{
    std::string text;
    for (double value : values) {
        gchar *one = g_strdup_printf(format, value);
        text += (text.empty() ? "" : " ") + std::string(one);
        g_free(one);
    }
    return text;
}

static double load_average(void)
{
    gchar *text = nullptr;
    double load = -1;
    if (g_file_get_contents("/proc/loadavg", &text, nullptr, nullptr))
        load = g_ascii_strtod(text, nullptr);
    g_free(text);
    return load;
}

static bool measure_size(const Setup &setup, int count)
{
    double load = load_average();
    std::vector<double> times, peaks, stalls, cpus;
    for (int run = 0; run < setup.runs; run++) {
        Result result = run_once(setup, count);
        if (!result.ok) {
            printf("files %d: failed\n", count);
            return false;
        }
        times.push_back(result.seconds);
        peaks.push_back(result.peak_mib);
        stalls.push_back(result.stall_ms);
        cpus.push_back(result.cpu_s);
    }
    printf("files %d: listed and idle after %.2f s (%s), peak %.1f MiB (%s)", count, median(times),
           figures(times, "%.2f").c_str(), median(peaks), figures(peaks, "%.1f").c_str());
    if (setup.other.empty())
        printf(", longest stall %.1f ms (%s)", median(stalls), figures(stalls, "%.1f").c_str());
    printf(", cpu %.2f s (%s), load %.2f\n", median(cpus), figures(cpus, "%.2f").c_str(), load);
    fflush(stdout);
    return true;
}

static void parse_arguments(int argc, char **argv, Setup *setup)
{
    setup->program = std::string(ULVO_BUILD_DIR) + "/ulvo-filemanager";
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc) {
            setup->runs = std::max(1, atoi(argv[++i]));
        } else if (arg == "--sizes" && i + 1 < argc) {
            setup->sizes.clear();
            gchar **parts = g_strsplit(argv[++i], ",", -1);
            for (gchar **p = parts; *p; p++) {
                if (atoi(*p) > 0)
                    setup->sizes.push_back(atoi(*p));
            }
            g_strfreev(parts);
        } else if (arg == "--program" && i + 1 < argc) {
            setup->program = argv[++i];
        } else if (arg == "--") {
            for (i++; i < argc; i++)
                setup->other.push_back(argv[i]);
        } else {
            fprintf(stderr,
                    "usage: %s [--runs R] [--sizes N,N,...] [--program PATH] [-- other "
                    "program and its arguments]\n",
                    argv[0]);
            exit(2);
        }
    }
    if (setup->sizes.empty())
        fail("no sizes");
}

int main(int argc, char **argv)
{
    Setup setup;
    parse_arguments(argc, argv, &setup);
    start_display(&setup);
    bool ok = true;
    for (int count : setup.sizes)
        ok = measure_size(setup, count) && ok;
    stop_helpers(&setup);
    return ok ? 0 : 1;
}

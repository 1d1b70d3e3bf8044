// The program as one process among others: the words it shows whatever the
// language settings, SIGINT whatever is open, and one instance at a time.
#include "program-support.h"
#include "platform/selection/kivel-file-selection.h"
#include "platform/fsmodel/kivel-file-system-model.h"
#include "platform/toolkit/kivel-locale.h"
#include "support/ui-test.h"

// Before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include <gdk/gdkx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <libintl.h>
#include <locale.h>
#include <signal.h>
#include <sys/wait.h>
#include <string>
#include <vector>

using ulvo_e2e::keyboard_is_grabbed;
using ulvo_e2e::press_key;
using ulvo_e2e::Program;
using ulvo_e2e::tap;

namespace
{

const char ENGLISH_TITLE[] = "File manager";

Display *xdisplay()
{
    return gdk_x11_get_default_xdisplay();
}

std::string text_property(Window window, const char *name, const char *type)
{
    Display *d = xdisplay();
    Atom actual_type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    std::string text;
    if (XGetWindowProperty(d, window, XInternAtom(d, name, False), 0, 4096, False,
                           XInternAtom(d, type, False), &actual_type, &format, &count, &after,
                           &data) == Success &&
        data && format == 8)
        text.assign(reinterpret_cast<char *>(data), count);
    if (data)
        XFree(data);
    return text;
}

long pid_property(Window window)
{
    Display *d = xdisplay();
    Atom actual_type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(d, window, XInternAtom(d, "_NET_WM_PID", False), 0, 1, False,
                           XA_CARDINAL, &actual_type, &format, &count, &after, &data) == Success &&
        data && count == 1)
        pid = *reinterpret_cast<long *>(data);
    if (data)
        XFree(data);
    return pid;
}

struct ShownWindow {
    Window id;
    std::string title;   // _NET_WM_NAME
    std::string wm_name; // WM_NAME
    XWindowAttributes attributes;
};

// The top-level windows of process `pid` that are on the screen now.
std::vector<ShownWindow> shown_windows(GPid pid)
{
    Display *d = xdisplay();
    std::vector<ShownWindow> shown;
    gdk_error_trap_push(); // windows may go away while they are looked at
    Window root, parent, *children = nullptr;
    unsigned int n = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &children, &n)) {
        for (unsigned int i = 0; i < n; i++) {
            ShownWindow w{children[i], "", "", {}};
            if (!XGetWindowAttributes(d, w.id, &w.attributes) ||
                w.attributes.map_state != IsViewable || pid_property(w.id) != pid)
                continue;
            w.title = text_property(w.id, "_NET_WM_NAME", "UTF8_STRING");
            w.wm_name = text_property(w.id, "WM_NAME", "STRING");
            shown.push_back(w);
        }
        XFree(children);
    }
    gdk_flush();
    gdk_error_trap_pop();
    return shown;
}

// The program's main window: the one with a title when it is alone.
bool find_main_window(GPid pid, ShownWindow *out)
{
    return ulvo_test::pump_until(
        [&] {
            for (const ShownWindow &w : shown_windows(pid))
                if (!w.title.empty()) {
                    *out = w;
                    return true;
                }
            return false;
        },
        10000);
}

// Started, finished its construction, and shows its main window.
bool shows_main_window(Program &program, ShownWindow *window)
{
    return program.started() && program.await_ready() && find_main_window(program.pid(), window);
}

void expect_clean_exit(Program &program)
{
    int status = program.await_exit_status(15000);
    ASSERT_NE(status, -1) << "the program did not end";
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Only what the program needs to run, and no locale variables at all.
std::vector<std::string> bare_environment(const std::vector<std::string> &extra)
{
    std::vector<std::string> env = {std::string("DISPLAY=") + g_getenv("DISPLAY"),
                                    std::string("DBUS_SESSION_BUS_ADDRESS=") +
                                        g_getenv("DBUS_SESSION_BUS_ADDRESS"),
                                    "HOME=" + ulvo_test::test_home()};
    // The checker's settings (leak suppressions among them) go along.
    for (const char *name :
         {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "G_SLICE", "G_DEBUG"}) {
        if (const gchar *value = g_getenv(name))
            env.push_back(std::string(name) + "=" + value);
    }
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
}

std::string compile_catalog(const std::string &dir, const std::string &lang,
                            const std::string &domain, const std::string &po)
{
    std::string folder = dir + "/" + lang + "/LC_MESSAGES";
    std::string source = folder + "/" + domain + ".po";
    ulvo_test::write_file(source, "msgid \"\"\nmsgstr \"Content-Type: text/plain; "
                                  "charset=UTF-8\\n\"\n\n" +
                                      po);
    std::string target = folder + "/" + domain + ".mo";
    const gchar *argv[] = {"msgfmt", "-o", target.c_str(), source.c_str(), nullptr};
    gint status = -1;
    g_spawn_sync(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                 nullptr, nullptr, nullptr, &status, nullptr);
    EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr)) << "msgfmt " << source;
    return target;
}

void collect_tree_views(GtkWidget *widget, gpointer list)
{
    if (GTK_IS_TREE_VIEW(widget))
        static_cast<std::vector<GtkTreeView *> *>(list)->push_back(GTK_TREE_VIEW(widget));
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), collect_tree_views, list);
}

} // namespace

// ---- Words, not identifiers --------------------------------------------------

TEST(Process, TheTitleIsInWordsWhateverTheLanguageSettings)
{
    const std::vector<std::vector<std::string>> settings = {
        {}, {"LANG=de_DE.UTF-8", "LANGUAGE=de"}, {"LANGUAGE=de"}, {"LC_ALL=C"}};
    for (const auto &extra : settings) {
        std::string label = extra.empty() ? "no locale variables" : extra.back();
        std::vector<std::string> env = bare_environment(extra);
        Program program(&env);
        ShownWindow window;
        ASSERT_TRUE(shows_main_window(program, &window)) << label;
        EXPECT_EQ(window.title, ENGLISH_TITLE) << label;
        EXPECT_EQ(window.wm_name, ENGLISH_TITLE) << label;
        program.signal(SIGINT);
        expect_clean_exit(program);
    }
}

TEST(Process, ColumnHeadersShowTheirTextAsWritten)
{
    // Without its catalog the platform's texts fall back to identifiers,
    // whose underscores GTK would take for mnemonics.
    std::string empty = ulvo_test::test_home() + "/no-catalogs";
    ulvo_test::make_dir(empty);
    bindtextdomain("kivel-fm", empty.c_str());

    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkTreeModel *model = kivel_file_system_model_new(window);
    GtkWidget *fs = GTK_WIDGET(g_object_new(KIVEL_TYPE_FILE_SELECTION, "model", model, NULL));
    g_object_unref(model);
    kivel_file_selection_set_column_headers(KIVEL_FILE_SELECTION(fs), TRUE);
    gtk_container_add(GTK_CONTAINER(window), fs);
    gtk_widget_show_all(window);

    std::vector<GtkTreeView *> views;
    collect_tree_views(fs, &views);
    std::vector<std::string> headers;
    GtkTreeViewColumn *first = nullptr;
    for (GtkTreeView *view : views) {
        if (!gtk_tree_view_get_headers_visible(view))
            continue;
        GList *columns = gtk_tree_view_get_columns(view);
        for (GList *l = columns; l; l = l->next) {
            GtkTreeViewColumn *column = GTK_TREE_VIEW_COLUMN(l->data);
            first = first ? first : column;
            headers.push_back(ulvo_test::collect_label_text(column->button));
        }
        g_list_free(columns);
    }
    EXPECT_EQ(headers, (std::vector<std::string>{"sfil_li_header_name", "sfil_li_header_date",
                                                 "sfil_li_header_size"}));
    ASSERT_NE(first, nullptr);
    gtk_tree_view_column_set_title(first, "File_name");
    EXPECT_EQ(ulvo_test::collect_label_text(first->button), "File_name");
    gtk_widget_destroy(window);
}

TEST(Process, TheAskedLanguageWinsWhereItHasACatalogAndEnglishFillsTheRest)
{
    std::string dir = ulvo_test::test_home() + "/locale";
    compile_catalog(dir, "de", "probe", "msgid \"greeting\"\nmsgstr \"Hallo\"\n");
    compile_catalog(dir, "en", "probe",
                    "msgid \"greeting\"\nmsgstr \"Hello\"\n"
                    "msgid \"farewell\"\nmsgstr \"Goodbye\"\n");
    auto lookup = [&](const char *id) {
        bindtextdomain("probe", dir.c_str()); // also forgets earlier lookups
        bind_textdomain_codeset("probe", "UTF-8");
        return std::string(dgettext("probe", id));
    };
    g_unsetenv("LC_ALL");
    g_unsetenv("LC_MESSAGES");

    // Asked for through LANGUAGE.
    g_setenv("LANGUAGE", "de", TRUE);
    g_unsetenv("LANG");
    setlocale(LC_ALL, "");
    kivel_locale_prefer_english();
    EXPECT_EQ(lookup("greeting"), "Hallo");
    EXPECT_EQ(lookup("farewell"), "Goodbye");

    // Asked for through the locale alone, installed on this machine or not.
    g_unsetenv("LANGUAGE");
    g_setenv("LANG", "de_DE.UTF-8", TRUE);
    setlocale(LC_ALL, "");
    kivel_locale_prefer_english();
    EXPECT_EQ(lookup("greeting"), "Hallo");
    EXPECT_EQ(lookup("farewell"), "Goodbye");
}

// ---- SIGINT whatever is open ---------------------------------------------------

TEST(Process, SigintEndsTheProgramWhileTheMemoryUsageDialogIsOpen)
{
    Program program;
    ShownWindow main_window;
    ASSERT_TRUE(shows_main_window(program, &main_window));

    // The application menu opens from the title strip; memory usage is its
    // last entry, reached from the first one by going backwards.
    tap(main_window.attributes.x + main_window.attributes.width / 2, main_window.attributes.y + 8);
    ASSERT_TRUE(ulvo_test::pump_until(keyboard_is_grabbed, 10000)) << "no application menu";
    press_key(XK_Tab, true);
    press_key(XK_Return);
    ASSERT_TRUE(ulvo_test::pump_until(
        [&] {
            for (const ShownWindow &w : shown_windows(program.pid()))
                if (w.id != main_window.id && !w.title.empty())
                    return true;
            return false;
        },
        10000))
        << "no memory usage dialog";

    program.signal(SIGINT);
    expect_clean_exit(program);
    EXPECT_EQ(ulvo_e2e::read_saved_state(), "Closed");
    EXPECT_TRUE(
        ulvo_test::path_exists(ulvo_test::test_home() + "/.ulvo/ULVO_FILEMANAGER/Folderstate"));
}

// ---- One instance --------------------------------------------------------------

// Records every window that some client maps while it lives.
class MapWatch
{
  public:
    MapWatch() : display_(XOpenDisplay(nullptr))
    {
        XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
        XSync(display_, False);
    }
    ~MapWatch() { XCloseDisplay(display_); }
    int maps()
    {
        XSync(display_, False);
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            maps_ += event.type == MapNotify;
        }
        return maps_;
    }

  private:
    Display *display_;
    int maps_ = 0;
};

Window input_focus()
{
    Window focus = None;
    int revert;
    XGetInputFocus(xdisplay(), &focus, &revert);
    return focus;
}

TEST(Process, ASecondStartBringsTheRunningOneToTheFrontAndShowsNothing)
{
    Program first;
    ShownWindow main_window;
    ASSERT_TRUE(shows_main_window(first, &main_window));
    XSetInputFocus(xdisplay(), PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(xdisplay(), False);
    MapWatch watch;

    Program second;
    ASSERT_TRUE(second.started());
    expect_clean_exit(second);
    EXPECT_EQ(watch.maps(), 0) << "the second start showed a window";
    EXPECT_FALSE(second.ready());
    EXPECT_TRUE(ulvo_test::pump_until([&] { return input_focus() == main_window.id; }, 5000))
        << "the running window did not come to the front";
    EXPECT_TRUE(first.running());

    // The running one still serves its name and ends normally.
    first.signal(SIGINT);
    expect_clean_exit(first);
}

TEST(Process, ASecondStartGivesUpWithoutAWindowWhenTheRunningOneDoesNotAnswer)
{
    Program first;
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(first.await_ready());
    MapWatch watch;
    first.signal(SIGSTOP);

    Program second;
    ASSERT_TRUE(second.started());
    int status = second.await_exit_status(30000);
    first.signal(SIGCONT);
    ASSERT_NE(status, -1) << "the second start did not give up";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
    EXPECT_EQ(watch.maps(), 0);

    first.signal(SIGINT);
    expect_clean_exit(first);
}

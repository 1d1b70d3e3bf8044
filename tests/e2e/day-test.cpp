// A person's day with the program: the built program on an 800x480 screen
// with a window manager and a memory card, driven only by taps, drags and
// keys through the X server, and checked on disk, in what it logs and in
// screenshots kept under the build tree (test-artifacts/day/).
#include "program-support.h"
#include "support/private-mounts.h"
#include "support/ui-test.h"

// Before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>

#include <gdk/gdkx.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <glib/gstdio.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using ulvo_e2e::keyboard_is_grabbed;
using ulvo_e2e::press_key;
using ulvo_e2e::Program;
using ulvo_e2e::tap;

namespace
{

// Where things are on the 800x480 screen, as the screenshots show them.
const int MENU_X = 60, MENU_Y = 22;  // the title, which opens the menu
const int UP_X = 28, UP_Y = 82;      // the folder-up button
const int ROW_HEIGHT = 52;           // rows of the content pane
const int FIRST_ROW_Y = 186;         // the middle of the main pane's first row
const int LAST_ROW_Y = 445;          // the middle of the last row, panned to the end
const int EDIT_BUTTON_X = 627;       // the action button of an edit window
const int EDIT_BUTTON_Y = 46;        //
const int CHOOSER_LAST_ROW_Y = 322;  // the folder chooser's last row, panned to the end
const int CHOOSER_ROW_HEIGHT = 68;   //
const int CHOOSER_OK_X = 400;        //
const int CHOOSER_OK_Y = 384;        //
const int SORT_SIZE_LARGEST_Y = 394; // "Size (largest first)" of the sort dialog
const int NOTE_BUTTON_FROM_BOTTOM = 51;
const int NOTE_FIRST_BUTTON_FROM_LEFT = 93;

struct MenuEntry {
    int x, y;
};
// The application menu's buttons where all six are shown.
const MenuEntry NEW_FOLDER = {275, 96}, MOVE = {523, 96}, COPY = {275, 174}, DELETE = {523, 174},
                SORT = {275, 252};

const char MAIN_TITLE[] = "File manager";

Display *xdisplay()
{
    return gdk_x11_get_default_xdisplay();
}

// ---- What a person sees ------------------------------------------------------

struct Shown {
    Window id = 0;
    std::string title;
    int x = 0, y = 0, width = 0, height = 0;
};

// The titles here are plain ASCII: WM_NAME holds them as they are.
std::string window_title(Window window)
{
    char *name = nullptr;
    std::string title;
    if (XFetchName(xdisplay(), window, &name) && name)
        title = name;
    if (name)
        XFree(name);
    return title;
}

// Every titled window on the screen, below the window manager's frames.
void collect_shown(Window parent, std::vector<Shown> *out)
{
    Display *d = xdisplay();
    Window root, up, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(d, parent, &root, &up, &children, &n))
        return;
    for (unsigned int i = 0; i < n; i++) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d, children[i], &a) || a.map_state != IsViewable)
            continue;
        Shown w;
        w.id = children[i];
        w.title = window_title(w.id);
        if (w.title.empty()) {
            collect_shown(w.id, out);
            continue;
        }
        Window child;
        XTranslateCoordinates(d, w.id, root, 0, 0, &w.x, &w.y, &child);
        w.width = a.width;
        w.height = a.height;
        out->push_back(w);
    }
    if (children)
        XFree(children);
}

std::vector<Shown> shown_windows()
{
    std::vector<Shown> shown;
    gdk_error_trap_push(); // windows come and go while they are looked at
    collect_shown(DefaultRootWindow(xdisplay()), &shown);
    gdk_flush();
    gdk_error_trap_pop();
    return shown;
}

// A window other than `except` titled `title` ("" for any title).
bool find_window(const std::string &title, Window except, Shown *out)
{
    for (const Shown &w : shown_windows())
        if (w.id != except && (title.empty() || w.title == title)) {
            *out = w;
            return true;
        }
    return false;
}

bool await_window(const std::string &title, Window except, Shown *out, int timeout_ms = 10000)
{
    return ulvo_test::pump_until([&] { return find_window(title, except, out); }, timeout_ms);
}

bool await_screen_still(int timeout_ms = 10000);

// The edit windows cover the whole screen, as the main window does.
// Once it is drawn.
bool await_full_screen_window(Window except, Shown *out)
{
    return ulvo_test::pump_until([&] {
               for (const Shown &w : shown_windows())
                   if (w.id != except && w.width == 800 && w.height == 480) {
                       *out = w;
                       return true;
                   }
               return false;
           }) &&
           await_screen_still();
}

// What is on the screen, for failure messages.
std::string describe_windows()
{
    std::string text;
    for (const Shown &w : shown_windows())
        text += "\"" + w.title + "\" " + std::to_string(w.width) + "x" + std::to_string(w.height) +
                "+" + std::to_string(w.x) + "+" + std::to_string(w.y) + "\n";
    return text;
}

bool await_window_gone(Window id, int timeout_ms = 10000)
{
    return ulvo_test::pump_until(
        [&] {
            for (const Shown &w : shown_windows())
                if (w.id == id)
                    return false;
            return true;
        },
        timeout_ms);
}

// A fingerprint of what the screen shows.
guint screen_print()
{
    Display *d = xdisplay();
    XImage *image = XGetImage(d, DefaultRootWindow(d), 0, 0, 800, 480, AllPlanes, ZPixmap);
    if (!image)
        return 0;
    guint hash = 2166136261u;
    const unsigned char *bytes = reinterpret_cast<unsigned char *>(image->data);
    size_t size = size_t(image->bytes_per_line) * image->height;
    for (size_t i = 0; i < size; i++)
        hash = (hash ^ bytes[i]) * 16777619u;
    XDestroyImage(image);
    return hash;
}

// Waits until the screen holds still: the program has finished drawing.
bool await_screen_still(int timeout_ms)
{
    guint last = screen_print();
    int still = 0;
    return ulvo_test::pump_until(
        [&] {
            ulvo_test::pump_for(40);
            guint now = screen_print();
            still = now == last ? still + 1 : 0;
            last = now;
            return still >= 2;
        },
        timeout_ms);
}

// Waits until the screen differs from `before` and then holds still: the
// window has answered a tap.
bool await_screen_answer(guint before, int timeout_ms = 10000)
{
    return ulvo_test::pump_until([&] { return screen_print() != before; }, timeout_ms) &&
           await_screen_still(timeout_ms);
}

// Screenshots of the steps, numbered in order.
class Camera
{
  public:
    Camera() : folder_(std::string(ULVO_BUILD_DIR) + "/test-artifacts/day")
    {
        g_mkdir_with_parents(folder_.c_str(), 0755);
    }
    const std::string &folder() const { return folder_; }
    void shoot(const std::string &step)
    {
        char number[8];
        g_snprintf(number, sizeof number, "%02d-", ++count_);
        std::string file = folder_ + "/" + number + step + ".png";
        const gchar *argv[] = {"import", "-window", "root", file.c_str(), nullptr};
        gint status = -1;
        g_spawn_sync(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                     nullptr, nullptr, nullptr, &status, nullptr);
        EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr)) << "no screenshot " << file;
    }

  private:
    std::string folder_;
    int count_ = 0;
};

// The program's log: the texts of its notes and banners among the rest.
class Log
{
  public:
    explicit Log(const std::string &path) : path_(path) {}
    const std::string &path() const { return path_; }
    std::string text() const
    {
        gchar *contents = nullptr;
        gsize length = 0;
        if (!g_file_get_contents(path_.c_str(), &contents, &length, nullptr))
            return "";
        std::string out(contents, length);
        g_free(contents);
        return out;
    }
    // From here on, only what is logged later counts.
    void mark() { from_ = text().size(); }
    bool has(const std::string &fragment) const
    {
        std::string all = text();
        return all.size() > from_ && all.find(fragment, from_) != std::string::npos;
    }
    // Whether `later` was logged after `earlier`, both since the mark.
    bool has_in_order(const std::string &earlier, const std::string &later) const
    {
        std::string all = text();
        size_t first = all.size() > from_ ? all.find(earlier, from_) : std::string::npos;
        return first != std::string::npos && all.find(later, first) != std::string::npos;
    }
    bool await(const std::string &fragment, int timeout_ms = 10000) const
    {
        return ulvo_test::pump_until([&] { return has(fragment); }, timeout_ms);
    }

  private:
    std::string path_;
    size_t from_ = 0;
};

// Keeps the program's log beside the screenshots, however the test ends.
class LogKeeper
{
  public:
    LogKeeper(const Log &log, const Camera &camera) : log_(log), camera_(camera) {}
    ~LogKeeper()
    {
        std::string text = log_.text();
        g_file_set_contents((camera_.folder() + "/program.log").c_str(), text.data(),
                            gssize(text.size()), nullptr);
    }

  private:
    const Log &log_;
    const Camera &camera_;
};

// ---- What a person does --------------------------------------------------------

void finger_down(int x, int y)
{
    XTestFakeMotionEvent(xdisplay(), -1, x, y, CurrentTime);
    XTestFakeButtonEvent(xdisplay(), 1, True, CurrentTime);
    XSync(xdisplay(), False);
}

void finger_up()
{
    XTestFakeButtonEvent(xdisplay(), 1, False, CurrentTime);
    XSync(xdisplay(), False);
}

// Taps and waits until the window has answered on the screen.
void tap_and_watch(int x, int y)
{
    guint before = screen_print();
    tap(x, y);
    EXPECT_TRUE(await_screen_answer(before)) << "nothing changed after a tap at " << x << "," << y;
}

// Drags the content from `from_y` to `to_y` and lets the finger rest before
// it lifts, so that the list stops where the finger left it.
void drag(int x, int from_y, int to_y)
{
    finger_down(x, from_y);
    for (int step = 1; step <= 10; step++) {
        XTestFakeMotionEvent(xdisplay(), -1, x, from_y + (to_y - from_y) * step / 10, CurrentTime);
        XSync(xdisplay(), False);
        ulvo_test::pump_for(15);
    }
    ulvo_test::pump_for(200); // the resting finger: no flick
    finger_up();
}

// Pans a list to its end: twice, in case one drag is not enough.
void pan_to_end(int x, int bottom_y, int top_y)
{
    drag(x, bottom_y, top_y);
    drag(x, bottom_y, top_y);
}

// Rests a finger on a row until its menu opens. A press the program missed
// is made again, as a person would, and said in the test's output.
bool long_press(int x, int y)
{
    for (int attempt = 1; attempt <= 2; attempt++) {
        finger_down(x, y);
        bool opened = ulvo_test::pump_until(keyboard_is_grabbed, 3000);
        finger_up();
        if (opened)
            return true;
        std::cerr << "no menu after a long press at " << x << "," << y << "\n";
    }
    return false;
}

bool open_app_menu()
{
    // A tap that comes while the window is still busy getting ready may go
    // unseen; a person taps again.
    for (int attempt = 0; attempt < 3; attempt++) {
        tap(MENU_X, MENU_Y);
        if (ulvo_test::pump_until(keyboard_is_grabbed, 5000))
            return true;
    }
    return false;
}

// A key, with Shift where its character needs it.
void press(KeySym key)
{
    Display *d = xdisplay();
    KeyCode code = XKeysymToKeycode(d, key);
    press_key(key, XkbKeycodeToKeysym(d, code, 0, 0) != key);
}

void type(const std::string &text)
{
    for (char c : text)
        press(c == '.' ? XK_period : KeySym(c));
}

// The middle of the nth row counted from the end of a list panned to its end.
int row_from_end(int n, int last_y = LAST_ROW_Y, int height = ROW_HEIGHT)
{
    return last_y - n * height;
}

// ---- The machine around the program ------------------------------------------

// The window manager of the device's desktop, on this test's screen.
class WindowManager
{
  public:
    WindowManager()
    {
        const gchar *argv[] = {"matchbox-window-manager", "-use_titlebar", "no", nullptr};
        GError *error = nullptr;
        if (!g_spawn_async(nullptr, const_cast<gchar **>(argv), nullptr,
                           GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                       G_SPAWN_STDERR_TO_DEV_NULL),
                           nullptr, nullptr, &pid_, &error)) {
            ADD_FAILURE() << error->message;
            g_error_free(error);
        }
    }
    ~WindowManager()
    {
        if (pid_) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    // Once it manages the screen it names itself on the root window.
    bool await_running()
    {
        Display *d = xdisplay();
        Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
        return pid_ && ulvo_test::pump_until([&] {
                   Atom type;
                   int format;
                   unsigned long count = 0, after;
                   unsigned char *data = nullptr;
                   XGetWindowProperty(d, DefaultRootWindow(d), check, 0, 1, False, XA_WINDOW, &type,
                                      &format, &count, &after, &data);
                   if (data)
                       XFree(data);
                   return count == 1;
               });
    }

  private:
    GPid pid_ = 0;
};

// Brings the program to the front, covers it again and reads what it wrote
// on going to the background, until `done` or the time is up.
bool await_state_when_covered(GtkWidget *cover, std::string *state,
                              const std::function<bool()> &done)
{
    return ulvo_test::pump_until(
        [&] {
            ulvo_e2e::call_program("top_application");
            ulvo_test::pump_until([&] { return !gtk_window_is_active(GTK_WINDOW(cover)); }, 2000);
            // The program takes itself for topmost once its focus has settled,
            // out of this process's sight: a moment is left for that.
            ulvo_test::pump_for(300);
            g_unlink(ulvo_e2e::saved_state_file().c_str());
            gtk_window_present(GTK_WINDOW(cover));
            ulvo_test::pump_until(
                [] { return ulvo_test::path_exists(ulvo_e2e::saved_state_file()); }, 3000);
            *state = ulvo_e2e::read_saved_state_file();
            return done();
        },
        20000);
}

std::vector<std::string> program_environment()
{
    std::vector<std::string> env;
    gchar **inherited = g_get_environ();
    for (gchar **e = inherited; *e; e++)
        env.emplace_back(*e);
    g_strfreev(inherited);
    env.push_back("G_MESSAGES_DEBUG=Kivel filemanager");
    return env;
}

// Contents of a file in a few fixed-size reads: "" when missing.
std::string checksum(const std::string &path)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file)
        return "";
    GChecksum *sum = g_checksum_new(G_CHECKSUM_SHA1);
    std::vector<guchar> buffer(1 << 20);
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), file)) > 0)
        g_checksum_update(sum, buffer.data(), n);
    fclose(file);
    std::string out = g_checksum_get_string(sum);
    g_checksum_free(sum);
    return out;
}

// A large file whose bytes are not all alike, so that a wrong copy shows.
void write_large_file(const std::string &path, size_t size)
{
    FILE *file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::vector<unsigned char> block(1 << 20);
    for (size_t done = 0; done < size; done += block.size()) {
        for (size_t i = 0; i < block.size(); i += 4096)
            block[i] = static_cast<unsigned char>((done + i) / 4096);
        ASSERT_EQ(fwrite(block.data(), 1, block.size(), file), block.size());
    }
    fclose(file);
}

// Names and sizes in `folder`, for failure messages.
std::string listing(const std::string &folder)
{
    std::string text;
    GDir *dir = g_dir_open(folder.c_str(), 0, nullptr);
    if (!dir)
        return "no folder " + folder;
    while (const gchar *name = g_dir_read_name(dir)) {
        GStatBuf st;
        g_stat((folder + "/" + name).c_str(), &st);
        text += std::string(name) + " " + std::to_string(st.st_size) + "\n";
    }
    g_dir_close(dir);
    return text;
}

goffset file_size(const std::string &path)
{
    GStatBuf st;
    return g_stat(path.c_str(), &st) == 0 ? goffset(st.st_size) : -1;
}

// The temporaries a transfer left beside its targets in `folder`, and their
// largest size.
std::vector<std::string> hidden_parts(const std::string &folder, goffset *largest = nullptr)
{
    std::vector<std::string> found;
    if (largest)
        *largest = 0;
    GDir *dir = g_dir_open(folder.c_str(), 0, nullptr);
    if (!dir)
        return found;
    while (const gchar *name = g_dir_read_name(dir)) {
        if (name[0] != '.')
            continue;
        found.push_back(name);
        if (largest)
            *largest = std::max(*largest, file_size(folder + "/" + name));
    }
    g_dir_close(dir);
    return found;
}

} // namespace

TEST(Day, APersonsDayWithTheProgram)
{
    ULVO_TEST_IN_PRIVATE_MEDIA();
    const std::string card = "/media/mmc1";
    ASSERT_EQ(g_mkdir_with_parents(card.c_str(), 0755), 0);
    if (mount("mmc1", card.c_str(), "tmpfs", 0, "size=256m") != 0)
        GTEST_SKIP() << "cannot mount a memory card at " << card;

    const std::string home = ulvo_test::test_home();
    const std::string docs = home + "/MyDocs";
    const std::string trip = docs + "/Trip";
    ulvo_test::write_file(docs + "/beach.jpg", std::string(300000, 'b'));
    ulvo_test::write_file(docs + "/sunset.jpg", std::string(100000, 's'));
    ulvo_test::write_file(docs + "/notes.txt", std::string(10000, 'n'));
    const size_t video_size = size_t(200) << 20;
    write_large_file(docs + "/video.avi", video_size);
    const std::string video_sum = checksum(docs + "/video.avi");

    WindowManager wm;
    ASSERT_TRUE(wm.await_running()) << "the window manager did not start";
    Camera camera;
    Log log(home + "/program.log");
    LogKeeper keeper(log, camera);
    std::vector<std::string> env = program_environment();
    auto program = std::make_unique<Program>(&env, log.path());
    ASSERT_TRUE(program->await_ready()) << log.text();
    Shown main_window;
    ASSERT_TRUE(await_window(MAIN_TITLE, 0, &main_window));
    EXPECT_EQ(main_window.width, 800);
    EXPECT_EQ(main_window.height, 480);
    camera.shoot("started");

    // Browse into the documents folder from the device's top level: the
    // first tap selects it, the second opens it.
    auto open_documents = [&](bool shoot) {
        tap_and_watch(UP_X, UP_Y);
        if (shoot)
            camera.shoot("top-level");
        tap_and_watch(300, FIRST_ROW_Y);
        tap_and_watch(300, FIRST_ROW_Y);
    };
    open_documents(true);
    camera.shoot("documents");

    // A folder "Trip" from the application menu.
    ASSERT_TRUE(open_app_menu());
    camera.shoot("menu");
    tap(NEW_FOLDER.x, NEW_FOLDER.y);
    Shown dialog;
    ASSERT_TRUE(await_window(MAIN_TITLE, main_window.id, &dialog)) << "no new folder dialog";
    camera.shoot("new-folder");
    type("Trip");
    press(XK_Return);
    ASSERT_TRUE(await_window_gone(dialog.id));
    EXPECT_TRUE(
        ulvo_test::pump_until([&] { return g_file_test(trip.c_str(), G_FILE_TEST_IS_DIR); }));

    // Two photos copied into it through the Copy edit window. The list:
    // five special folders, Trip, beach, notes, sunset, video.
    ASSERT_TRUE(open_app_menu());
    tap(COPY.x, COPY.y);
    Shown edit;
    ASSERT_TRUE(await_full_screen_window(main_window.id, &edit)) << describe_windows();
    pan_to_end(400, 440, 140);
    tap_and_watch(300, row_from_end(3)); // beach.jpg
    tap_and_watch(300, row_from_end(1)); // sunset.jpg
    camera.shoot("copy-marked");
    tap(EDIT_BUTTON_X, EDIT_BUTTON_Y);
    Shown chooser;
    ASSERT_TRUE(await_window("Copy to folder", main_window.id, &chooser));
    await_screen_still();
    // Its tree ends with the documents folder's folders by name (... Sound
    // clips, Trip, Video clips), then the memory card.
    pan_to_end(400, 340, 110);
    tap_and_watch(300, CHOOSER_LAST_ROW_Y - 2 * CHOOSER_ROW_HEIGHT);
    camera.shoot("copy-to-trip");
    log.mark();
    tap(CHOOSER_OK_X, CHOOSER_OK_Y);
    ASSERT_TRUE(ulvo_test::pump_until([&] {
        return file_size(trip + "/beach.jpg") == 300000 &&
               file_size(trip + "/sunset.jpg") == 100000 && hidden_parts(trip).empty();
    })) << "the photos did not arrive\n"
        << listing(trip) << describe_windows() << log.text();
    EXPECT_TRUE(log.await("note: Copying")) << log.text();
    EXPECT_EQ(file_size(docs + "/beach.jpg"), 300000);
    ASSERT_TRUE(await_window_gone(edit.id));
    // The window follows the copy into Trip.
    await_screen_still();
    camera.shoot("copied");

    // One of them renamed, from its menu.
    ASSERT_TRUE(long_press(300, FIRST_ROW_Y)) << "no menu on beach.jpg";
    camera.shoot("context-menu");
    press(XK_Down); // Rename
    press(XK_Return);
    ASSERT_TRUE(await_window("Rename image", main_window.id, &dialog));
    camera.shoot("rename");
    type("shore.jpg");
    press(XK_Return);
    ASSERT_TRUE(await_window_gone(dialog.id));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return file_size(trip + "/shore.jpg") == 300000; }));
    EXPECT_FALSE(ulvo_test::path_exists(trip + "/beach.jpg"));
    camera.shoot("renamed");

    // The video moved to the memory card, stopped half way.
    tap_and_watch(UP_X, UP_Y);
    auto move_video = [&] {
        ASSERT_TRUE(open_app_menu());
        tap(MOVE.x, MOVE.y);
        ASSERT_TRUE(await_full_screen_window(main_window.id, &edit)) << describe_windows();
        pan_to_end(400, 440, 140);
        tap_and_watch(300, row_from_end(0)); // video.avi
        tap(EDIT_BUTTON_X, EDIT_BUTTON_Y);
        ASSERT_TRUE(await_window("Move to folder", main_window.id, &chooser)) << describe_windows();
        await_screen_still();
        pan_to_end(400, 340, 110);
        tap_and_watch(300, CHOOSER_LAST_ROW_Y); // the memory card
        log.mark();
        tap(CHOOSER_OK_X, CHOOSER_OK_Y);
    };
    move_video();
    if (HasFatalFailure())
        return;
    Shown note;
    ASSERT_TRUE(log.await("note: Preparing")) << log.text();
    ASSERT_TRUE(await_window(MAIN_TITLE, main_window.id, &note)) << "no progress note";
    goffset copied = 0;
    ASSERT_TRUE(ulvo_test::pump_until(
        [&] {
            hidden_parts(card, &copied);
            return copied >= goffset(video_size / 4);
        },
        30000))
        << "no progress on the card";
    tap(note.x + note.width / 2, note.y + note.height - NOTE_BUTTON_FROM_BOTTOM);
    ASSERT_TRUE(await_window_gone(note.id, 30000));
    EXPECT_LT(copied, goffset(video_size)) << "the move ended before Stop was tapped";
    EXPECT_TRUE(log.has_in_order("note: Preparing", "note: Moving"))
        << "the note kept saying it prepares\n"
        << log.text();
    // Nothing lost and nothing half-made under the final name.
    EXPECT_TRUE(ulvo_test::pump_until([&] { return hidden_parts(card).empty(); }));
    EXPECT_FALSE(ulvo_test::path_exists(card + "/video.avi"));
    EXPECT_EQ(file_size(docs + "/video.avi"), goffset(video_size));
    EXPECT_EQ(checksum(docs + "/video.avi"), video_sum);
    await_window_gone(edit.id);
    await_screen_still();
    camera.shoot("move-stopped");

    // And again, to the end: the window shows the card since the move began.
    open_documents(false);
    move_video();
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(ulvo_test::pump_until(
        [&] {
            return !ulvo_test::path_exists(docs + "/video.avi") &&
                   file_size(card + "/video.avi") == goffset(video_size);
        },
        60000))
        << "the move did not finish";
    EXPECT_EQ(checksum(card + "/video.avi"), video_sum);
    EXPECT_TRUE(hidden_parts(card).empty());
    await_window_gone(edit.id);
    await_screen_still();
    camera.shoot("moved");

    // Back in the documents folder, a photo deleted after the question.
    open_documents(false);
    ASSERT_TRUE(open_app_menu());
    tap(DELETE.x, DELETE.y);
    ASSERT_TRUE(await_full_screen_window(main_window.id, &edit)) << describe_windows();
    pan_to_end(400, 440, 140);
    tap_and_watch(300, row_from_end(2)); // beach.jpg, above notes and sunset
    log.mark();
    tap(EDIT_BUTTON_X, EDIT_BUTTON_Y);
    ASSERT_TRUE(log.await("note: Delete file?")) << log.text();
    ASSERT_TRUE(await_window(MAIN_TITLE, main_window.id, &note));
    camera.shoot("delete-question");
    EXPECT_TRUE(ulvo_test::path_exists(docs + "/beach.jpg")) << "deleted before the answer";
    tap(note.x + NOTE_FIRST_BUTTON_FROM_LEFT, note.y + note.height - NOTE_BUTTON_FROM_BOTTOM);
    EXPECT_TRUE(
        ulvo_test::pump_until([&] { return !ulvo_test::path_exists(docs + "/beach.jpg"); }));
    EXPECT_TRUE(ulvo_test::path_exists(docs + "/sunset.jpg"));
    EXPECT_TRUE(ulvo_test::path_exists(trip + "/shore.jpg"));
    await_window_gone(edit.id);
    await_screen_still();
    camera.shoot("deleted");

    // The details of Trip, counted to the end. The list from its top:
    // Camera, Documents, Images, Sound clips, Trip.
    drag(400, 200, 460);
    drag(400, 200, 460);
    log.mark();
    ASSERT_TRUE(long_press(300, FIRST_ROW_Y + 4 * ROW_HEIGHT)) << "no menu on Trip";
    press(XK_Up); // Details, the last entry
    press(XK_Return);
    ASSERT_TRUE(await_window("Folder details", main_window.id, &dialog));
    EXPECT_TRUE(log.await("folder details counted: 2 files,")) << log.text();
    await_screen_still();
    camera.shoot("details");
    press(XK_Escape);
    ASSERT_TRUE(await_window_gone(dialog.id));

    // Sorted by size, the largest first; sunset.jpg selected.
    ASSERT_TRUE(open_app_menu());
    tap(SORT.x, SORT.y);
    ASSERT_TRUE(await_window("Sort", main_window.id, &dialog));
    camera.shoot("sort");
    tap(300, SORT_SIZE_LARGEST_Y);
    ASSERT_TRUE(await_window_gone(dialog.id));
    pan_to_end(400, 440, 170);
    tap_and_watch(300, row_from_end(1)); // sunset.jpg (100 kB) before notes.txt (10 kB)
    camera.shoot("sorted");

    // Another window on top: the program writes where it is.
    const std::string expected_state = "Normal\nNone\nContentPane\n" + ulvo_test::file_uri(docs) +
                                       "\n" + ulvo_test::file_uri(docs + "/sunset.jpg") + "\n";
    GtkWidget *cover = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(cover), "Another program");
    g_unlink(ulvo_e2e::saved_state_file().c_str());
    gtk_widget_show(cover);
    EXPECT_TRUE(ulvo_test::pump_until([&] {
        return ulvo_e2e::read_saved_state_file() == expected_state;
    })) << ulvo_e2e::read_saved_state_file();
    camera.shoot("covered");
    gchar *keys = nullptr;
    g_file_get_contents((home + "/.ulvo/ULVO_FILEMANAGER/Folderstate").c_str(), &keys, nullptr,
                        nullptr);
    std::string saved_keys = keys ? keys : "";
    g_free(keys);
    std::string docs_key = ulvo_test::file_uri(docs) + "=";
    size_t at = saved_keys.find("\n" + docs_key);
    ASSERT_NE(at, std::string::npos) << saved_keys;
    int view_state = atoi(saved_keys.c_str() + at + 1 + docs_key.size());
    EXPECT_EQ(view_state & 0x2f, 0x23) << "not sorted by size, largest first: " << saved_keys;

    // Killed in the background, started again: the same folder and item.
    program->signal(SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(program->await_exit_status()));
    ASSERT_TRUE(ulvo_e2e::await_bus_name_released(10000));
    EXPECT_EQ(ulvo_e2e::read_saved_state_file(), expected_state);
    program = std::make_unique<Program>(&env, log.path());
    ASSERT_TRUE(program->await_ready()) << log.text();
    ASSERT_TRUE(await_window(MAIN_TITLE, 0, &main_window));
    await_screen_still();
    camera.shoot("restarted");
    // It tells where it is when it goes to the background again; its restore
    // ends a little after its window shows.
    std::string state;
    EXPECT_TRUE(await_state_when_covered(cover, &state, [&] { return state == expected_state; }))
        << state;
    camera.shoot("restored");

    // Another program asks for the memory card.
    EXPECT_TRUE(ulvo_e2e::call_program("open_folder", ulvo_test::file_uri(card).c_str()));
    EXPECT_TRUE(await_state_when_covered(cover, &state, [&] {
        return state.find("\n" + ulvo_test::file_uri(card) + "\n") != std::string::npos;
    })) << state;
    ulvo_e2e::call_program("top_application");
    EXPECT_TRUE(ulvo_test::pump_until([&] { return !gtk_window_is_active(GTK_WINDOW(cover)); }));
    await_screen_still();
    camera.shoot("open-folder");
    gtk_widget_destroy(cover);

    // Closed as the window manager closes it.
    ASSERT_TRUE(await_window(MAIN_TITLE, 0, &main_window));
    XEvent close = {};
    close.xclient.type = ClientMessage;
    close.xclient.window = main_window.id;
    close.xclient.message_type = XInternAtom(xdisplay(), "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = long(XInternAtom(xdisplay(), "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(xdisplay(), main_window.id, False, NoEventMask, &close);
    XSync(xdisplay(), False);
    int status = program->await_exit_status();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ulvo_e2e::read_saved_state_file(), "Closed");
    camera.shoot("closed");
}

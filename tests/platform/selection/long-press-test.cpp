// A finger resting on a row through the X server gets that row's menu while
// the folder changes under it, while it first fills, and around a modal note.
#include "platform/selection/selection-fixture.h"
#include "platform/toolkit/kivel-note.h"
#include "support/pointer.h"

#include <glib/gstdio.h>
#include <cstdio>

using namespace ulvo_test;
using namespace selection_test;
using Names = std::vector<std::string>;

namespace
{

// Longer than a long press takes, for the cases where no menu may come.
const int PAST_LONG_PRESS_MS = 1200;

class LongPress : public SelectionTest
{
  protected:
    // ~/MyDocs/<name> with the files `files`, shown in the content pane.
    void show_folder(const std::string &name, const Names &files)
    {
        ASSERT_TRUE(pointer_available()) << "the X server has no test extension";
        dir = folder(name);
        for (const auto &file : files)
            write_file(dir + "/" + file, "x");
        build();
        watch_menus();
        enter(dir);
        ASSERT_TRUE(await_count(int(files.size())));
        g_object_set(widget_, "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, nullptr);
        // Laid out: the rows stay where the finger is put.
        ASSERT_TRUE(pump_until([] { return !gtk_events_pending(); }));
        log.clear();
    }
    // Records what is selected whenever the menu is asked for.
    void watch_menus()
    {
        g_signal_connect(widget_, "content-pane-context-menu", G_CALLBACK(record_menu), this);
    }
    static void record_menu(KivelFileSelection *, gpointer data)
    {
        auto self = static_cast<LongPress *>(data);
        self->menus.push_back(self->selected_uris());
    }
    // Puts the finger down on the row showing `name`.
    void hold(const std::string &name)
    {
        int row = row_of(name);
        ASSERT_GE(row, 0) << name << " is not listed";
        GtkTreePath *path = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_view_scroll_to_cell(content_view(), path, nullptr, TRUE, 0.5, 0);
        gtk_tree_path_free(path);
        hold_row(row);
    }
    void hold_row(int row)
    {
        int x = 0, y = 0;
        ASSERT_TRUE(tree_row_point(content_view(), row, &x, &y)) << "row " << row;
        pointer_move(GTK_WIDGET(content_view()), x, y);
        pointer_press();
    }
    bool await_menus(size_t n)
    {
        return pump_until([&] { return menus.size() >= n; }, 5000);
    }
    // Whether row `row` has its full height, where the pointer finds it.
    bool laid_out(int row) const
    {
        GdkRectangle cell = {};
        return row_laid_out(content_view(), row, &cell) && cell.height >= 24;
    }
    std::string uri(const std::string &name) const { return uri_of(dir + "/" + name); }
    std::string path(const std::string &name) const { return dir + "/" + name; }

    std::string dir;
    std::vector<Names> menus; // the selection at each menu request
};

std::string numbered(const char *prefix, int i)
{
    char name[32];
    std::snprintf(name, sizeof name, "%s%02d", prefix, i);
    return name;
}

TEST_F(LongPress, TheMenuIsForTheHeldItemWhileRowsComeGoChangeAndResort)
{
    Names files;
    for (int i = 0; i < 12; i++)
        files.push_back(numbered("m-", i));
    show_folder("busy", files);
    int count = 12;
    int moved_before_menu = 0;

    for (int round = 0; round < 6; round++) {
        std::string held = round % 2 ? "m-03" : "m-08";
        int row_before = row_of(held);
        hold(held);
        // Three items sort in above it, one of the others goes, one grows
        // and one is renamed to the top; every other round the order flips.
        for (int i = 0; i < 3; i++)
            write_file(path(numbered(("a-" + std::to_string(round) + "-").c_str(), i)), "new");
        std::string gone =
            round ? numbered(("a-" + std::to_string(round - 1) + "-").c_str(), 1) : "m-01";
        ASSERT_EQ(g_remove(path(gone).c_str()), 0) << gone;
        write_file(path(round % 2 ? "m-09" : "m-02"), std::string(100 + round, 'g'));
        std::string renamed = round % 2 ? "m-11" : "m-05";
        ASSERT_EQ(g_rename(path(renamed).c_str(), path("0-" + renamed).c_str()), 0);
        if (round % 2)
            kivel_file_selection_set_sort_key(fs(), KIVEL_FILE_SELECTION_SORT_KEY_NAME,
                                              round % 4 == 1 ? GTK_SORT_DESCENDING
                                                             : GTK_SORT_ASCENDING);
        count += 2;
        bool arrived = await_count(count);
        moved_before_menu += arrived && menus.size() == size_t(round) && row_of(held) != row_before;

        ASSERT_TRUE(await_menus(round + 1)) << "no menu in round " << round;
        EXPECT_EQ(menus.back(), Names{uri(held)}) << "round " << round;
        pointer_release();
        EXPECT_EQ(menus.size(), size_t(round + 1));
        // Back where it was, for the next round.
        ASSERT_EQ(g_rename(path("0-" + renamed).c_str(), path(renamed).c_str()), 0);
        ASSERT_TRUE(pump_until([&] { return row_of(renamed) >= 0 && row_of("0-" + renamed) < 0; }));
    }
    // The finger rested while the rows moved, not after.
    EXPECT_GT(moved_before_menu, 0);
    EXPECT_EQ(log.count("file-activated"), 0) << "a release after a menu opens nothing";
}

TEST_F(LongPress, AHeldItemThatGoesAwayGivesNoMenuForAnother)
{
    show_folder("going", {"a", "b", "c", "d"});
    hold("b");
    ASSERT_EQ(g_remove(path("b").c_str()), 0);
    ASSERT_TRUE(await_count(3));
    pump_for(PAST_LONG_PRESS_MS);
    EXPECT_TRUE(menus.empty()) << "a menu for whatever slid under the finger";
    pointer_release();
    EXPECT_EQ(log.count("file-activated"), 0);

    // The next press is a press like any other.
    hold("c");
    ASSERT_TRUE(await_menus(1));
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus.back(), Names{uri("c")});
    pointer_release();
}

// Notes the item under the finger as the view gets the press.
gboolean note_pressed(GtkWidget *view, GdkEvent *event, gpointer data)
{
    GtkTreePath *path = nullptr;
    GtkTreeModel *list = gtk_tree_view_get_model(GTK_TREE_VIEW(view));
    GtkTreeIter iter;
    if (event->type == GDK_BUTTON_PRESS &&
        gtk_tree_view_get_path_at_pos(GTK_TREE_VIEW(view), gint(event->button.x),
                                      gint(event->button.y), &path, nullptr, nullptr, nullptr) &&
        gtk_tree_model_get_iter(list, &iter, path)) {
        KivelFileSystemRow *row = nullptr;
        gtk_tree_model_get(list, &iter, 0, &row, -1);
        gchar *uri = kivel_file_system_row_dup_uri(row);
        *static_cast<std::string *>(data) = uri;
        g_free(uri);
    }
    if (path)
        gtk_tree_path_free(path);
    return FALSE;
}

TEST_F(LongPress, TheMenuIsForTheHeldItemWhileTheFolderFirstFills)
{
    ASSERT_TRUE(pointer_available());
    const int n = 20000;
    dir = folder("filling");
    for (int i = 0; i < n; i++) {
        char name[32];
        std::snprintf(name, sizeof name, "/f-%05d", i);
        write_file(dir + name, "");
    }
    build();
    watch_menus();
    std::string pressed; // its URI
    g_signal_connect(content_view(), "event", G_CALLBACK(note_pressed), &pressed);
    enter(dir);
    // The finger comes down as soon as a third row shows; rows of lower
    // names keep arriving above it. Rows laid out before their icons came
    // may have moved away from the finger: that press is let go at once.
    for (int attempt = 0; attempt < 20 && pressed.empty(); attempt++) {
        ASSERT_TRUE(pump_until([&] { return laid_out(2); }, 30000));
        hold_row(2);
        if (pressed.empty())
            pointer_release();
    }
    ASSERT_FALSE(pressed.empty()) << "the view never got a press on a row";
    int listed_at_press = kivel_file_selection_get_content_count(fs());
    ASSERT_TRUE(await_menus(1));
    EXPECT_EQ(menus.back(), Names{pressed}) << listed_at_press << " of " << n << " listed";
    pointer_release();
    EXPECT_TRUE(await_count(n, 60000));
    EXPECT_LT(listed_at_press, n) << "the press came after the fill";
}

class NoteOverList : public LongPress
{
  protected:
    void TearDown() override
    {
        if (note)
            gtk_widget_destroy(note);
        LongPress::TearDown();
    }
    // A modal progress note, as a transfer shows it, lying over `name`'s row.
    void open_note_over(const std::string &name)
    {
        int x = 0, y = 0;
        ASSERT_TRUE(tree_row_point(content_view(), row_of(name), &x, &y));
        gtk_widget_translate_coordinates(GTK_WIDGET(content_view()), window_, x, y, &x, &y);
        int root_x = 0, root_y = 0;
        gdk_window_get_origin(gtk_widget_get_window(window_), &root_x, &root_y);
        note = kivel_note_new_cancel_with_progress_bar(GTK_WINDOW(window_), "Copying", nullptr);
        gtk_window_set_modal(GTK_WINDOW(note), TRUE);
        gtk_widget_show_all(note);
        gtk_window_move(GTK_WINDOW(note), root_x + x - 40, root_y + y - 20);
        ASSERT_TRUE(pump_until([&] {
            gint at_x = 0, at_y = 0;
            gdk_window_get_origin(gtk_widget_get_window(note), &at_x, &at_y);
            return gtk_widget_get_mapped(note) && at_x == root_x + x - 40 &&
                   at_y == root_y + y - 20;
        }));
    }
    bool pointer_on_note() const
    {
        gint x = 0, y = 0, left = 0, top = 0;
        gdk_display_get_pointer(gdk_display_get_default(), nullptr, &x, &y, nullptr);
        gdk_window_get_origin(gtk_widget_get_window(note), &left, &top);
        GtkAllocation size;
        gtk_widget_get_allocation(note, &size);
        return x >= left && x < left + size.width && y >= top && y < top + size.height;
    }
    void close_note()
    {
        gtk_widget_destroy(note);
        note = nullptr;
    }
    GtkWidget *note = nullptr;
};

TEST_F(NoteOverList, AFingerHeldThroughTheNoteGetsTheMenuOfItsRowOnceTheNoteGoes)
{
    show_folder("copying", {"a", "b", "c", "d"});
    open_note_over("b");
    hold("b");
    ASSERT_TRUE(pointer_on_note()) << "the finger is meant to rest on the note";
    pump_for(PAST_LONG_PRESS_MS);
    EXPECT_TRUE(menus.empty()) << "the list is shut off while the note is open";

    close_note();
    ASSERT_TRUE(await_menus(1)) << "the resting finger was forgotten";
    EXPECT_EQ(menus.back(), Names{uri("b")});
    pointer_release();
    pump_for(50);
    EXPECT_EQ(log.count("file-activated"), 0);
    EXPECT_EQ(menus.size(), 1u);
}

TEST_F(NoteOverList, NoMenuOpensBehindANoteThatCameWhileTheFingerRested)
{
    show_folder("copying", {"a", "b", "c", "d"});
    hold("c");
    open_note_over("a");
    pump_for(PAST_LONG_PRESS_MS);
    EXPECT_TRUE(menus.empty()) << "a menu behind the modal note";
    pointer_release();
    close_note();
    pump_for(PAST_LONG_PRESS_MS);
    EXPECT_TRUE(menus.empty()) << "the lifted finger opened a menu later";
    EXPECT_EQ(log.count("file-activated"), 0);

    // Its menu comes with the next long press.
    hold("c");
    ASSERT_TRUE(await_menus(1));
    EXPECT_EQ(menus.back(), Names{uri("c")});
    pointer_release();
}

} // namespace

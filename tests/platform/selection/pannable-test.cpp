// Finger drags on the real lists through the X server: they pan, coast for a
// moment and select nothing; taps and long presses keep working.
#include "platform/toolkit/kivel-pannable.h"
#include "platform/toolkit/kivel-picker.h"
#include "platform/selection/selection-fixture.h"
#include "support/pointer.h"

#include <cstdio>

using namespace ulvo_test;
using namespace selection_test;
using Names = std::vector<std::string>;

namespace
{

GtkAdjustment *vadjustment_of(GtkWidget *view)
{
    return gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(gtk_widget_get_parent(view)));
}

double max_value(GtkAdjustment *adjustment)
{
    return gtk_adjustment_get_upper(adjustment) - gtk_adjustment_get_page_size(adjustment);
}

// Puts the finger on row `row` of `view` and drags it up by `dy` pixels.
void drag_up_from_row(GtkTreeView *view, int row, int dy, int steps = 15)
{
    int x = 0, y = 0;
    ASSERT_TRUE(tree_row_point(view, row, &x, &y)) << "row " << row << " never showed";
    pointer_move(GTK_WIDGET(view), x, y);
    pointer_press();
    pointer_glide(GTK_WIDGET(view), x, y - dy, steps);
}

// Puts the finger near the bottom of `view` and drags it up by `dy` pixels.
void drag_up(GtkTreeView *view, int dy, int steps = 15)
{
    GtkAllocation allocation;
    gtk_widget_get_allocation(GTK_WIDGET(view), &allocation);
    int x = allocation.width / 2, y = allocation.height - 30;
    pointer_move(GTK_WIDGET(view), x, y);
    pointer_press();
    pointer_glide(GTK_WIDGET(view), x, y - dy, steps);
}

// The last row `view` shows.
int last_visible_row(GtkTreeView *view)
{
    GtkTreePath *start = nullptr, *end = nullptr;
    if (!gtk_tree_view_get_visible_range(view, &start, &end))
        return -1;
    int row = gtk_tree_path_get_indices(end)[0];
    gtk_tree_path_free(start);
    gtk_tree_path_free(end);
    return row;
}

void tap_row(GtkTreeView *view, int row)
{
    int x = 0, y = 0;
    ASSERT_TRUE(tree_row_point(view, row, &x, &y)) << "row " << row << " never showed";
    pointer_move(GTK_WIDGET(view), x, y);
    pointer_click();
}

class Pan : public SelectionTest
{
  protected:
    // ~/MyDocs/many with `n` files, shown in the content pane.
    void make_big_folder(bool edit_mode = false, int n = 300)
    {
        ASSERT_TRUE(pointer_available()) << "the X server has no test extension";
        dir = folder("many");
        for (int i = 0; i < n; i++) {
            char name[32];
            std::snprintf(name, sizeof name, "/file-%03d", i);
            write_file(dir + name, "x");
        }
        build(edit_mode);
        enter(dir);
        ASSERT_TRUE(await_count(n, 30000));
        g_object_set(widget_, "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, nullptr);
        ASSERT_TRUE(pump_until([&] { return last_visible_row(content_view()) > 5; }));
        log.clear();
    }
    GtkWidget *view() const { return GTK_WIDGET(content_view()); }
    GtkWidget *area() const { return gtk_widget_get_parent(view()); }
    double value() const { return gtk_adjustment_get_value(vadjustment_of(view())); }
    bool await_rest() const
    {
        return pump_until([&] { return !kivel_pannable_area_is_moving(area()); });
    }
    // A quick drag up from near the bottom, let go while moving.
    void flick()
    {
        drag_up(content_view(), 300);
        pointer_release();
    }
    void expect_nothing_chosen()
    {
        EXPECT_TRUE(selected_uris().empty());
        EXPECT_EQ(log.count("selection-changed"), 0);
        EXPECT_EQ(log.count("file-activated"), 0);
        EXPECT_EQ(log.count("content-pane-context-menu"), 0);
    }
    std::string uri(int i) const
    {
        char name[32];
        std::snprintf(name, sizeof name, "/file-%03d", i);
        return uri_of(dir + name);
    }
    std::string dir;
};

TEST_F(Pan, ADragPansTheContentPaneCoastsAndStopsChoosingNothing)
{
    make_big_folder();
    drag_up(content_view(), 300);
    double panned = value();
    EXPECT_GT(panned, 200) << "the list follows the finger";

    pointer_release();
    EXPECT_TRUE(pump_until([&] { return value() > panned + 20; })) << "no momentum";
    ASSERT_TRUE(await_rest());
    double rested = value();
    pump_for(100);
    EXPECT_EQ(value(), rested) << "the list came to rest";
    expect_nothing_chosen();
}

TEST_F(Pan, AFingerThatMovedAndRestsOpensNoMenuAndDoesNotCoast)
{
    make_big_folder();
    drag_up(content_view(), 60, 4);
    double panned = value();
    EXPECT_GT(panned, 20);
    // Longer than a long press: the menu must not come.
    pump_for(900);
    pointer_release();
    EXPECT_FALSE(kivel_pannable_area_is_moving(area())) << "a finger at rest gives no flick";
    EXPECT_EQ(value(), panned);
    expect_nothing_chosen();
}

TEST_F(Pan, TapsSelectAndOpenAndALongPressAsksForTheMenu)
{
    make_big_folder();
    tap_row(content_view(), 2);
    EXPECT_TRUE(pump_until([&] { return selected_uris() == Names{uri(2)}; }));
    EXPECT_EQ(log.count("file-activated"), 0) << "the first tap only selects";
    pointer_click();
    EXPECT_TRUE(pump_until([&] { return log.count("file-activated") == 1; }));

    int x = 0, y = 0;
    ASSERT_TRUE(tree_row_point(content_view(), 4, &x, &y));
    pointer_move(view(), x, y);
    pointer_press();
    EXPECT_TRUE(pump_until([&] { return log.count("content-pane-context-menu") == 1; }, 3000));
    EXPECT_EQ(selected_uris(), Names{uri(4)});
    pointer_release();
    pump_for(50);
    EXPECT_EQ(log.count("file-activated"), 1) << "the release after a long press opens nothing";
}

TEST_F(Pan, ADragInEditModeNeitherMarksNorUnmarks)
{
    make_big_folder(true);
    kivel_file_selection_select_uri(fs(), uri(1).c_str());
    kivel_file_selection_select_uri(fs(), uri(3).c_str());
    log.clear();

    // From a marked row, across others.
    drag_up_from_row(content_view(), 3, 80, 6);
    pointer_release();
    ASSERT_TRUE(await_rest());
    EXPECT_EQ(selected_uris(), (Names{uri(1), uri(3)}));
    EXPECT_EQ(log.count("selection-changed"), 0);

    gtk_adjustment_set_value(vadjustment_of(view()), 0);
    tap_row(content_view(), 2);
    EXPECT_TRUE(pump_until([&] { return selected_uris() == Names{uri(1), uri(2), uri(3)}; }));
    tap_row(content_view(), 1);
    EXPECT_TRUE(pump_until([&] { return selected_uris() == Names{uri(2), uri(3)}; }));
}

TEST_F(Pan, CoastingStopsOnAPressAndAtTheEnd)
{
    make_big_folder();
    flick();
    ASSERT_TRUE(kivel_pannable_area_is_moving(area()));
    // Catching the list stops it, and chooses nothing.
    pointer_press();
    EXPECT_FALSE(kivel_pannable_area_is_moving(area()));
    double caught = value();
    pump_for(100);
    EXPECT_EQ(value(), caught);
    pointer_release();
    pump_for(50);
    expect_nothing_chosen();

    GtkAdjustment *adjustment = vadjustment_of(view());
    // The finger's 300 pixels do not reach the end; the coasting does.
    gtk_adjustment_set_value(adjustment, max_value(adjustment) - 400);
    flick();
    EXPECT_LT(value(), max_value(adjustment));
    ASSERT_TRUE(pump_until([&] { return value() == max_value(adjustment); }));
    EXPECT_FALSE(kivel_pannable_area_is_moving(area())) << "the end stops the coasting";
}

TEST_F(Pan, DestroyingTheWindowWhileCoastingLeavesNothingRunning)
{
    make_big_folder();
    flick();
    ASSERT_TRUE(kivel_pannable_area_is_moving(area()));
    gpointer alive = area();
    g_object_add_weak_pointer(G_OBJECT(alive), &alive);
    gtk_widget_destroy(window_);
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    EXPECT_EQ(alive, nullptr) << "something still holds the area";
    if (alive)
        g_object_remove_weak_pointer(G_OBJECT(alive), &alive);
    pump_for(50);
}

TEST_F(Pan, TheScrollBarStillDragsLikeAScrollBar)
{
    make_big_folder();
    GtkWidget *bar = gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(area()));
    ASSERT_TRUE(pump_until([&] { return gtk_widget_get_mapped(bar); }));
    gint slider_start = 0, slider_end = 0;
    gtk_range_get_slider_range(GTK_RANGE(bar), &slider_start, &slider_end);
    GtkAllocation allocation;
    gtk_widget_get_allocation(bar, &allocation);
    int x = allocation.width / 2, y = (slider_start + slider_end) / 2;
    pointer_move(bar, x, y);
    pointer_press();
    pointer_glide(bar, x, y + 100, 5);
    pointer_release();
    EXPECT_GT(value(), 300) << "the slider follows the pointer, not the finger's pan";
    expect_nothing_chosen();
}

TEST_F(Pan, TheNavigationPanePansWithoutChangingFolder)
{
    ASSERT_TRUE(pointer_available());
    dir = folder("deep");
    for (int i = 0; i < 60; i++)
        make_dir(dir + "/folder-" + std::to_string(100 + i));
    build();
    enter(dir);
    ASSERT_TRUE(await_count(60));
    GtkTreeView *navi = GTK_TREE_VIEW(kivel_file_selection_get_navigation_view(fs()));
    GtkAdjustment *adjustment = vadjustment_of(GTK_WIDGET(navi));
    ASSERT_TRUE(pump_until([&] { return max_value(adjustment) > 300; }));
    gtk_adjustment_set_value(adjustment, 0);
    log.clear();

    drag_up(navi, 250);
    pointer_release();
    EXPECT_GT(gtk_adjustment_get_value(adjustment), 200);
    pump_for(50);
    gchar *current = kivel_file_selection_get_current_folder_uri(fs());
    EXPECT_EQ(std::string(current ? current : ""), uri_of(dir));
    g_free(current);
    EXPECT_EQ(log.count("current-folder-changed"), 0);
    EXPECT_EQ(log.count("selection-changed"), 0);
}

void count_response(GtkDialog *, gint response, gpointer data)
{
    static_cast<std::vector<gint> *>(data)->push_back(response);
}

TEST(PickerPan, TheListPansAndATapChooses)
{
    ASSERT_TRUE(pointer_available());
    GtkWidget *dialog = kivel_picker_dialog_new(nullptr);
    GtkWidget *selector = kivel_touch_selector_new_text();
    for (int i = 0; i < 40; i++)
        kivel_touch_selector_append_text(KIVEL_TOUCH_SELECTOR(selector),
                                         ("choice " + std::to_string(i)).c_str());
    kivel_picker_dialog_set_selector(KIVEL_PICKER_DIALOG(dialog), KIVEL_TOUCH_SELECTOR(selector));
    std::vector<gint> responses;
    g_signal_connect(dialog, "response", G_CALLBACK(count_response), &responses);
    gtk_widget_show(dialog);
    GtkTreeView *view = kivel_touch_selector_get_tree_view(KIVEL_TOUCH_SELECTOR(selector));
    ASSERT_TRUE(pump_until([&] { return last_visible_row(view) > 1; }));
    GtkAdjustment *adjustment = vadjustment_of(GTK_WIDGET(view));

    drag_up(view, 200, 10);
    pointer_release();
    EXPECT_GT(gtk_adjustment_get_value(adjustment), 150);
    pump_for(50);
    EXPECT_TRUE(responses.empty()) << "a drag chooses nothing";
    EXPECT_EQ(kivel_touch_selector_get_active(KIVEL_TOUCH_SELECTOR(selector), 0), -1);

    ASSERT_TRUE(pump_until(
        [&] { return !kivel_pannable_area_is_moving(gtk_widget_get_parent(GTK_WIDGET(view))); }));
    GtkTreePath *first = nullptr;
    ASSERT_TRUE(gtk_tree_view_get_visible_range(view, &first, nullptr));
    int row = gtk_tree_path_get_indices(first)[0] + 1;
    gtk_tree_path_free(first);
    tap_row(view, row);
    ASSERT_TRUE(pump_until([&] { return !responses.empty(); }));
    EXPECT_EQ(responses, std::vector<gint>{GTK_RESPONSE_OK});
    gchar *text = kivel_touch_selector_get_current_text(KIVEL_TOUCH_SELECTOR(selector));
    EXPECT_STREQ(text, ("choice " + std::to_string(row)).c_str());
    g_free(text);
    gtk_widget_destroy(dialog);
}

} // namespace

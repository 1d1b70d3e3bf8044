// The window stack, "is-topmost", the hibernation switch and the application
// menu, driven on real windows.
#include "platform/toolkit/kivel-app-menu.h"
#include "platform/toolkit/kivel-edit-toolbar.h"
#include "platform/toolkit/kivel-program.h"
#include "platform/toolkit/kivel-window.h"
#include "platform/toolkit/toolkit-helpers.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <unistd.h>

using toolkit_test::BoolNotifications;
using ulvo_test::pump_for;
using ulvo_test::pump_until;

namespace
{

bool is_topmost(GtkWidget *window)
{
    return kivel_stackable_window_get_is_topmost(KIVEL_STACKABLE_WINDOW(window));
}

GtkWidget *shown_stackable_window(const char *title)
{
    GtkWidget *window = kivel_stackable_window_new();
    gtk_window_set_title(GTK_WINDOW(window), title);
    gtk_window_set_default_size(GTK_WINDOW(window), 400, 300);
    gtk_widget_show(window);
    return window;
}

} // namespace

TEST(ToolkitWindowStack, ShowingPushesAndPopHidesTheTopWindow)
{
    KivelWindowStack *stack = kivel_window_stack_get_default();
    ASSERT_EQ(stack, kivel_window_stack_get_default());
    EXPECT_EQ(kivel_window_stack_size(stack), 0);
    EXPECT_EQ(kivel_window_stack_peek(stack), nullptr);
    EXPECT_EQ(kivel_window_stack_pop_1(stack), nullptr);

    GtkWidget *main_window = shown_stackable_window("main");
    GtkWidget *edit_window = shown_stackable_window("edit");
    EXPECT_EQ(kivel_window_stack_size(stack), 2);
    EXPECT_EQ(kivel_window_stack_peek(stack), edit_window);

    EXPECT_EQ(kivel_window_stack_pop_1(stack), edit_window);
    EXPECT_FALSE(gtk_widget_get_visible(edit_window));
    EXPECT_EQ(kivel_window_stack_peek(stack), main_window);
    EXPECT_EQ(kivel_window_stack_size(stack), 1);
    gtk_widget_destroy(edit_window);

    // Hiding by other means leaves the stack too, and so does destroying.
    GtkWidget *second = shown_stackable_window("second");
    gtk_widget_hide(second);
    EXPECT_EQ(kivel_window_stack_peek(stack), main_window);
    gtk_widget_show(second);
    EXPECT_EQ(kivel_window_stack_peek(stack), second);
    gtk_widget_destroy(second);
    EXPECT_EQ(kivel_window_stack_peek(stack), main_window);
    gtk_widget_destroy(main_window);
    EXPECT_EQ(kivel_window_stack_size(stack), 0);
}

TEST(ToolkitWindowStack, TopmostFollowsTheStackAndTheFocus)
{
    GtkWidget *main_window = shown_stackable_window("main");
    BoolNotifications main_topmost(main_window, "is-topmost");
    ASSERT_TRUE(pump_until([&] { return is_topmost(main_window); }))
        << "a window shown alone never became topmost";
    EXPECT_EQ(main_topmost.values(), std::vector<bool>{true});

    GtkWidget *edit_window = shown_stackable_window("edit");
    BoolNotifications edit_topmost(edit_window, "is-topmost");
    ASSERT_TRUE(pump_until([&] { return is_topmost(edit_window); }));
    EXPECT_FALSE(is_topmost(main_window));
    EXPECT_EQ(main_topmost.values(), (std::vector<bool>{true, false}));

    kivel_window_stack_pop_1(kivel_window_stack_get_default());
    EXPECT_FALSE(is_topmost(edit_window)) << "a popped window stays topmost";
    ASSERT_TRUE(pump_until([&] { return is_topmost(main_window); }))
        << "the window below did not become topmost again";
    EXPECT_EQ(main_topmost.values(), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(edit_topmost.values(), (std::vector<bool>{true, false}));
    gtk_widget_destroy(edit_window);

    // The focus going to another program's window (here: a plain window)
    // sends the top window to the background.
    GtkWidget *other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(other);
    gtk_window_present(GTK_WINDOW(other));
    ASSERT_TRUE(pump_until([&] { return !is_topmost(main_window); }));
    gtk_window_present(GTK_WINDOW(main_window));
    ASSERT_TRUE(pump_until([&] { return is_topmost(main_window); }));
    gtk_widget_destroy(other);
    gtk_widget_destroy(main_window);
}

TEST(ToolkitWindowStack, ADialogOfTheTopWindowKeepsItTopmost)
{
    GtkWidget *main_window = shown_stackable_window("main");
    ASSERT_TRUE(pump_until([&] { return is_topmost(main_window); }));
    BoolNotifications main_topmost(main_window, "is-topmost");

    GtkWidget *dialog = gtk_dialog_new();
    gtk_window_set_transient_for(GTK_WINDOW(dialog), GTK_WINDOW(main_window));
    gtk_widget_show(dialog);
    gtk_window_present(GTK_WINDOW(dialog)); // without a window manager nothing else focuses it
    ASSERT_TRUE(pump_until([&] { return gtk_window_is_active(GTK_WINDOW(dialog)); }));
    // Nothing to await: give a flip the time it would need to show.
    pump_for(300);
    EXPECT_TRUE(is_topmost(main_window));
    EXPECT_TRUE(main_topmost.values().empty());
    gtk_widget_destroy(dialog);
    gtk_widget_destroy(main_window);
}

TEST(ToolkitProgram, HibernationSwitchNotifiesAndMarksTheWindows)
{
    KivelProgram *program = kivel_program_get_instance();
    ASSERT_EQ(program, kivel_program_get_instance());
    GtkWidget *window = shown_stackable_window("main");
    kivel_program_add_window(program, GTK_WINDOW(window));
    BoolNotifications notifications(program, "can-hibernate");

    auto window_flag = [&]() -> long {
        GdkAtom type;
        gint format = 0, length = 0;
        guchar *data = nullptr;
        long value = -1;
        if (gdk_property_get(gtk_widget_get_window(window),
                             gdk_atom_intern_static_string("_KIVEL_CAN_HIBERNATE"),
                             gdk_atom_intern_static_string("CARDINAL"), 0, 1, FALSE, &type, &format,
                             &length, &data) &&
            data && format == 32)
            value = reinterpret_cast<long *>(data)[0];
        g_free(data);
        return value;
    };

    EXPECT_FALSE(kivel_program_get_can_hibernate(program));
    EXPECT_EQ(window_flag(), 0);
    kivel_program_set_can_hibernate(program, TRUE);
    kivel_program_set_can_hibernate(program, TRUE);
    EXPECT_EQ(notifications.values(), std::vector<bool>{true});
    EXPECT_EQ(window_flag(), 1);
    kivel_program_set_can_hibernate(program, FALSE);
    EXPECT_EQ(notifications.values(), (std::vector<bool>{true, false}));
    EXPECT_EQ(window_flag(), 0);
    gtk_widget_destroy(window);
}

namespace
{

// An application menu as the browser builds it: buttons whose handlers run
// after the menu's own, and a "show" handler that may hide some of them.
struct ToolkitAppMenu : ::testing::Test {
    GtkWidget *window = nullptr;
    KivelAppMenu *menu = nullptr;
    GtkWidget *buttons[3] = {};
    int clicks = 0;
    bool menu_visible_in_handler = true;
    std::vector<bool> mapped_at_show;
    GtkWidget *to_hide = nullptr; // by the "show" handler

    void SetUp() override
    {
        kivel_init();
        window = shown_stackable_window("Files");
        gtk_container_add(GTK_CONTAINER(window), gtk_label_new("content"));
        gtk_widget_show_all(window);
        menu = KIVEL_APP_MENU(kivel_app_menu_new());
        g_signal_connect(menu, "show", G_CALLBACK(+[](GtkWidget *menu, gpointer self) {
                             auto *f = static_cast<ToolkitAppMenu *>(self);
                             f->mapped_at_show.push_back(gtk_widget_get_mapped(menu));
                             for (GtkWidget *b : f->buttons) // only some make sense now
                                 gtk_widget_set_visible(b, b != f->to_hide);
                         }),
                         this);
        const char *labels[] = {"New folder", "Move", "Sort"};
        for (int i = 0; i < 3; i++) {
            buttons[i] = gtk_button_new_with_label(labels[i]);
            g_signal_connect_after(
                buttons[i], "clicked", G_CALLBACK(+[](GtkButton *, gpointer self) {
                    auto *f = static_cast<ToolkitAppMenu *>(self);
                    f->clicks++;
                    f->menu_visible_in_handler = gtk_widget_get_visible(GTK_WIDGET(f->menu));
                }),
                this);
            kivel_app_menu_append(menu, GTK_BUTTON(buttons[i]));
        }
        to_hide = buttons[1];
        gtk_widget_show_all(GTK_WIDGET(menu));
    }

    void TearDown() override { gtk_widget_destroy(window); }

    bool menu_mapped() const { return gtk_widget_get_mapped(GTK_WIDGET(menu)); }
};

} // namespace

TEST_F(ToolkitAppMenu, OpensFromTheTitleStripEmittingShowFirst)
{
    // Showing a menu that no window owns yet opens nothing.
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(menu)));
    EXPECT_TRUE(mapped_at_show.empty());

    kivel_window_set_app_menu(KIVEL_WINDOW(window), menu);
    ASSERT_TRUE(pump_until([&] {
        GtkAllocation a;
        gtk_widget_get_allocation(gtk_bin_get_child(GTK_BIN(window)), &a);
        return a.y >= kivel_window_get_title_height(KIVEL_WINDOW(window));
    })) << "the window's child covers the title strip";
    EXPECT_GT(kivel_window_get_title_height(KIVEL_WINDOW(window)), 0);
    ASSERT_TRUE(toolkit_test::await_ready_for_taps(window));

    toolkit_test::tap(gtk_widget_get_window(window), 100, 10);
    ASSERT_TRUE(pump_until([&] { return menu_mapped(); })) << "a tap on the title did not open";
    EXPECT_EQ(mapped_at_show, std::vector<bool>{false});
    EXPECT_EQ(gtk_widget_get_parent(buttons[1]), nullptr) << "a hidden button takes room";
    EXPECT_NE(gtk_widget_get_parent(buttons[2]), nullptr);

    ASSERT_TRUE(toolkit_test::await_ready_for_taps(buttons[2]));
    toolkit_test::tap_button(buttons[2]);
    ASSERT_TRUE(pump_until([&] { return clicks == 1; })) << "the button's handler did not run";
    EXPECT_FALSE(menu_visible_in_handler) << "the handler ran under the open menu";
    EXPECT_FALSE(menu_mapped());
}

TEST_F(ToolkitAppMenu, KeyOpensAndATapElsewhereCloses)
{
    kivel_window_set_app_menu(KIVEL_WINDOW(window), menu);
    ASSERT_TRUE(toolkit_test::await_ready_for_taps(window));
    toolkit_test::press_key(window, GDK_F10);
    ASSERT_TRUE(pump_until([&] { return menu_mapped(); })) << "F10 did not open the menu";

    GtkAllocation a;
    gtk_widget_get_allocation(window, &a);
    ASSERT_TRUE(toolkit_test::await_ready_for_taps(GTK_WIDGET(menu)));
    toolkit_test::tap(gtk_widget_get_window(window), 5, a.height - 5);
    ASSERT_TRUE(pump_until([&] { return !menu_mapped(); })) << "a tap outside left it open";
    EXPECT_EQ(clicks, 0);

    // Opened again, it is announced and laid out again.
    to_hide = buttons[0];
    ASSERT_TRUE(kivel_window_open_app_menu(KIVEL_WINDOW(window)));
    EXPECT_EQ(mapped_at_show, (std::vector<bool>{false, false}));
    EXPECT_EQ(gtk_widget_get_parent(buttons[0]), nullptr);
    EXPECT_NE(gtk_widget_get_parent(buttons[1]), nullptr) << "a button shown again is missing";
    toolkit_test::press_key(GTK_WIDGET(menu), GDK_Escape);
    ASSERT_TRUE(pump_until([&] { return !menu_mapped(); })) << "Escape left it open";
}

TEST(ToolkitEditToolbar, ButtonAndArrowEmitTheirSignals)
{
    GtkWidget *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget *toolbar = kivel_edit_toolbar_new_with_text("Delete items", "Delete");
    gtk_container_add(GTK_CONTAINER(window), toolbar);
    gtk_widget_show_all(window);
    int pressed = 0, back = 0;
    g_signal_connect_swapped(toolbar, "button-clicked", G_CALLBACK(+[](int *n) { ++*n; }),
                             &pressed);
    g_signal_connect_swapped(toolbar, "arrow-clicked", G_CALLBACK(+[](int *n) { ++*n; }), &back);
    GtkWidget *button = kivel_edit_toolbar_get_button(KIVEL_EDIT_TOOLBAR(toolbar));
    GtkWidget *arrow = kivel_edit_toolbar_get_arrow(KIVEL_EDIT_TOOLBAR(toolbar));
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(button)), "Delete");
    EXPECT_NE(ulvo_test::collect_label_text(toolbar).find("Delete items"), std::string::npos);

    ASSERT_TRUE(toolkit_test::await_ready_for_taps(arrow));
    toolkit_test::tap_button(button);
    ASSERT_TRUE(pump_until([&] { return pressed == 1; }));
    toolkit_test::tap_button(arrow);
    ASSERT_TRUE(pump_until([&] { return back == 1; }));
    EXPECT_EQ(pressed, 1);
    gtk_widget_destroy(window);
}

// A scrolling child that fits at one height but not the other once flipped
// its scrollbar on every layout pass, so the window never drew again.
TEST(ToolkitWindowLayout, ScrollingChildUnderTheTitleStripSettles)
{
    alarm(20); // a layout that never settles ends the test instead of hanging it
    for (int content : {350, 370, 390}) {
        GtkWidget *w = kivel_window_new();
        kivel_window_set_app_menu(KIVEL_WINDOW(w), KIVEL_APP_MENU(kivel_app_menu_new()));
        GtkWidget *sw = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(sw), GTK_POLICY_NEVER,
                                       GTK_POLICY_AUTOMATIC);
        GtkWidget *area = gtk_drawing_area_new();
        gtk_widget_set_size_request(area, 100, content);
        gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(sw), area);
        gtk_container_add(GTK_CONTAINER(w), sw);
        gtk_window_set_default_size(GTK_WINDOW(w), 300, 400);
        int layouts = 0;
        g_signal_connect(
            sw, "size-allocate",
            G_CALLBACK(+[](GtkWidget *, GtkAllocation *, gpointer n) { ++*static_cast<int *>(n); }),
            &layouts);
        gtk_widget_show_all(w);
        ulvo_test::pump_for(300);
        EXPECT_LT(layouts, 10) << "content height " << content;
        GtkAllocation a;
        gtk_widget_get_allocation(sw, &a);
        EXPECT_EQ(a.y, kivel_window_get_title_height(KIVEL_WINDOW(w)));
        gtk_widget_destroy(w);
    }
    alarm(0);
}

// Edit-mode windows: opened from the application menu on the folder shown,
// marks made by taps reach the command of the toolbar button, and every way
// out gives the main window's file selection back to the commands.
#include "app/edit-window.h"
#include "app/ulvo-fm-app.h"
#include "browser-fixture.h"
#include "platform/toolkit/kivel-edit-toolbar.h"
#include "support/pointer.h"
#include "ui/notices-fixture.h"

#include <gdk/gdkkeysyms.h>
#include <glib/gstdio.h>
#include <algorithm>
#include <set>
#include <vector>

using namespace browser_test;
using ulvo_test::LogRecorder;
using ulvo_test::pump_until;

namespace
{

// A tap in the middle of `widget`, with real pointer events.
void tap(GtkWidget *widget)
{
    GtkAllocation area;
    gtk_widget_get_allocation(widget, &area);
    ulvo_test::pointer_move(widget, area.width / 2, area.height / 2);
    ulvo_test::pointer_click();
}

std::vector<std::string> uris_of(GSList *list)
{
    std::vector<std::string> out;
    for (GSList *l = list; l; l = l->next)
        out.push_back(static_cast<const char *>(l->data));
    return out;
}

std::vector<std::string> marked(KivelFileSelection *fs)
{
    GSList *list = kivel_file_selection_get_selected_uris(fs);
    std::vector<std::string> out = uris_of(list);
    g_slist_free_full(list, g_free);
    return out;
}

std::set<gint> selected_rows(KivelFileSelection *fs)
{
    GtkTreeView *view = GTK_TREE_VIEW(kivel_file_selection_get_content_view(fs));
    GList *rows = gtk_tree_selection_get_selected_rows(gtk_tree_view_get_selection(view), nullptr);
    std::set<gint> out;
    for (GList *l = rows; l; l = l->next)
        out.insert(gtk_tree_path_get_indices(static_cast<GtkTreePath *>(l->data))[0]);
    g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    return out;
}

// The row of the content pane that lists `uri`, or -1: the one row whose
// mark changes with it. The marks are left as they were.
gint row_of(KivelFileSelection *fs, const std::string &uri)
{
    std::vector<std::string> before_marks = marked(fs);
    bool was_marked =
        std::find(before_marks.begin(), before_marks.end(), uri) != before_marks.end();
    std::set<gint> before = selected_rows(fs);
    if (was_marked)
        kivel_file_selection_unselect_uri(fs, uri.c_str());
    else if (!kivel_file_selection_select_uri(fs, uri.c_str()))
        return -1;
    std::set<gint> after = selected_rows(fs);
    if (was_marked)
        kivel_file_selection_select_uri(fs, uri.c_str());
    else
        kivel_file_selection_unselect_uri(fs, uri.c_str());
    const std::set<gint> &more = was_marked ? before : after;
    const std::set<gint> &fewer = was_marked ? after : before;
    for (gint row : more)
        if (!fewer.count(row))
            return row;
    return -1;
}

} // namespace

class EditWindow : public testing::Test
{
  protected:
    void SetUp() override
    {
        trip = docs_dir() + "/Trip";
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "old.jpg"})
            ulvo_test::write_file(trip + "/" + name, name);
        g_chmod((trip + "/old.jpg").c_str(), 0444);
        ulvo_test::make_dir(trip + "/Day");
        browser = start_browser();
        ASSERT_TRUE(await_construction(browser));
        main_fs = file_selection_of(browser);
        ASSERT_TRUE(pump_until([&] {
            return kivel_file_selection_set_current_folder_uri(main_fs, uri("").c_str(), nullptr);
        }));
        ASSERT_TRUE(await_content_count(browser, 5));
    }

    void TearDown() override
    {
        if (global_ofm && global_ofm->edit_window)
            ulvo_fm_close_edit_window(nullptr, global_ofm);
    }

    std::string uri(const std::string &name)
    {
        return file_uri(name.empty() ? trip : trip + "/" + name);
    }

    // Opens the edit window of `kind` and waits until it lists `count` items.
    void open(gint kind, gint count)
    {
        create_edit_window(global_ofm, kind);
        ASSERT_NE(global_ofm->edit_window, nullptr);
        edit_fs = KIVEL_FILE_SELECTION(global_ofm->file_selection);
        ASSERT_TRUE(pump_until([&] {
            return kivel_file_selection_get_content_count(edit_fs) == count;
        })) << kivel_file_selection_get_content_count(edit_fs);
    }

    KivelEditToolbar *toolbar()
    {
        GtkWidget *box = gtk_bin_get_child(GTK_BIN(global_ofm->edit_window));
        GList *children = gtk_container_get_children(GTK_CONTAINER(box));
        auto *found = KIVEL_EDIT_TOOLBAR(children->data);
        g_list_free(children);
        return found;
    }

    // Taps the item `name` of the edit window's content pane.
    void tap_item(const std::string &name)
    {
        GtkTreeView *view = GTK_TREE_VIEW(kivel_file_selection_get_content_view(edit_fs));
        gint x = 0, y = 0;
        ASSERT_TRUE(ulvo_test::tree_row_point(view, row_of(edit_fs, uri(name)), &x, &y)) << name;
        ulvo_test::pointer_move(GTK_WIDGET(view), x, y);
        ulvo_test::pointer_click();
    }

    void tap_action() { tap(kivel_edit_toolbar_get_button(toolbar())); }
    void tap_back() { tap(kivel_edit_toolbar_get_arrow(toolbar())); }

    bool closed_and_main_back()
    {
        return global_ofm->edit_window == nullptr &&
               global_ofm->file_selection == GTK_WIDGET(main_fs) &&
               global_ofm->main_file_selection == nullptr;
    }

    std::string trip;
    UlvoFmBrowser *browser = nullptr;
    KivelFileSelection *main_fs = nullptr;
    KivelFileSelection *edit_fs = nullptr;
};

TEST_F(EditWindow, MoveFromTheMenuOpensTheFolderShownInEditMode)
{
    // Tapped once the X server shows the menu, as a person would.
    bool menu_on_screen = false;
    g_signal_connect_swapped(browser->main_menu, "map-event",
                             G_CALLBACK(+[](bool *shown) -> gboolean {
                                 *shown = true;
                                 return FALSE;
                             }),
                             &menu_on_screen);
    ASSERT_TRUE(kivel_window_open_app_menu(KIVEL_WINDOW(browser)));
    ASSERT_TRUE(pump_until([&] { return menu_on_screen; }));
    tap(browser->move_button);
    ASSERT_TRUE(pump_until([&] { return global_ofm->edit_window != nullptr; }));
    edit_fs = KIVEL_FILE_SELECTION(global_ofm->file_selection);

    EXPECT_NE(edit_fs, main_fs);
    EXPECT_EQ(global_ofm->main_file_selection, GTK_WIDGET(main_fs));
    EXPECT_EQ(kivel_window_stack_peek(kivel_window_stack_get_default()), global_ofm->edit_window);
    gchar *folder = kivel_file_selection_get_current_folder_uri(edit_fs);
    EXPECT_STREQ(folder, uri("").c_str());
    g_free(folder);
    gboolean edit_mode = FALSE;
    g_object_get(edit_fs, "edit-mode", &edit_mode, NULL);
    EXPECT_TRUE(edit_mode);
    EXPECT_FALSE(gtk_widget_is_drawable(kivel_file_selection_get_navigation_view(edit_fs)));
    std::string shown = ulvo_test::collect_label_text(global_ofm->edit_window);
    EXPECT_NE(shown.find("Select items to move"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Move"), std::string::npos) << shown;
    // A read-only file cannot be moved: not offered.
    ASSERT_TRUE(pump_until([&] { return kivel_file_selection_get_content_count(edit_fs) == 4; }));
    EXPECT_EQ(row_of(edit_fs, uri("old.jpg")), -1);

    // Several marks at once, each a tap; a second tap takes a mark away.
    tap_item("b.jpg");
    tap_item("a.jpg");
    tap_item("Day");
    tap_item("b.jpg");
    EXPECT_EQ(marked(edit_fs), (std::vector<std::string>{uri("Day"), uri("a.jpg")}));
    EXPECT_TRUE(marked(main_fs).empty()) << "the main window's selection is its own";

    tap_back();
    ASSERT_TRUE(pump_until([&] { return closed_and_main_back(); }));
    EXPECT_EQ(kivel_window_stack_peek(kivel_window_stack_get_default()), GTK_WIDGET(browser));
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
    for (const char *name : {"a.jpg", "b.jpg", "Day"})
        EXPECT_TRUE(ulvo_test::path_exists(trip + "/" + name)) << name;
}

TEST_F(EditWindow, EachKindListsWhatItMayActOn)
{
    open(0, 5); // copy: read-only items too
    EXPECT_GE(row_of(edit_fs, uri("old.jpg")), 0);
    ulvo_fm_close_edit_window(nullptr, global_ofm);

    open(2, 4); // delete: no read-only items
    EXPECT_EQ(row_of(edit_fs, uri("old.jpg")), -1);
    EXPECT_GE(row_of(edit_fs, uri("Day")), 0);
    ulvo_fm_close_edit_window(nullptr, global_ofm);

    open(3, 4); // share: files only
    EXPECT_EQ(row_of(edit_fs, uri("Day")), -1);
    EXPECT_GE(row_of(edit_fs, uri("old.jpg")), 0);
    ulvo_fm_close_edit_window(nullptr, global_ofm);
    EXPECT_TRUE(closed_and_main_back());

    LogRecorder log("filemanager");
    create_edit_window(global_ofm, 4);
    EXPECT_TRUE(log.contains("action_label != NULL")) << log.text();
    EXPECT_EQ(global_ofm->edit_window, nullptr);
    EXPECT_EQ(global_ofm->file_selection, GTK_WIDGET(main_fs));
}

TEST_F(EditWindow, TappedMarksReachTheCommandOfTheButton)
{
    open(3, 4);
    tap_item("c.jpg");
    tap_item("a.jpg");
    ASSERT_EQ(marked(edit_fs).size(), 2u);

    std::vector<std::string> acted_on;
    gint operation = 0;
    bool over_main = false, edit_selection_used = false;
    notices_test::when_dialog_shows([&](GtkWidget *dialog) {
        acted_on = uris_of(global_ofm->selection_info->current_selection);
        operation = global_ofm->cur_operation;
        over_main =
            gtk_window_get_transient_for(GTK_WINDOW(dialog)) == GTK_WINDOW(browser) &&
            kivel_window_stack_peek(kivel_window_stack_get_default()) == GTK_WIDGET(browser);
        edit_selection_used = global_ofm->file_selection == GTK_WIDGET(edit_fs);
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    });
    tap_action();
    ASSERT_TRUE(pump_until([&] { return closed_and_main_back(); }));
    EXPECT_EQ(acted_on, (std::vector<std::string>{uri("a.jpg"), uri("c.jpg")}));
    EXPECT_EQ(operation, OPER_SEND);
    EXPECT_TRUE(over_main) << "the window leaves the stack before the command";
    EXPECT_TRUE(edit_selection_used);
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);

    // The marks went with the window: commands read the main window again.
    ulvo_fm_update_selection_info(global_ofm->selection_info, main_fs, 0);
    EXPECT_EQ(uris_of(global_ofm->selection_info->current_selection),
              std::vector<std::string>{uri("")});
}

TEST_F(EditWindow, NothingMarkedRunsNothing)
{
    open(1, 4);
    bool dialog_shown = false;
    notices_test::when_dialog_shows([&](GtkWidget *dialog) {
        dialog_shown = true;
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    });
    LogRecorder log("filemanager");
    tap_action();
    ulvo_test::pump_for(200);
    EXPECT_NE(global_ofm->edit_window, nullptr) << "the window stays open";
    EXPECT_EQ(global_ofm->file_selection, GTK_WIDGET(edit_fs));
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
    EXPECT_FALSE(dialog_shown);
    EXPECT_EQ(log.text(), "") << "no command ran";
}

TEST_F(EditWindow, DeleteIsRefusedWhileAnotherCommandRuns)
{
    open(2, 4);
    tap_item("a.jpg");
    ASSERT_EQ(marked(edit_fs).size(), 1u);
    ulvo_fm_set_operation(OPER_MOVE); // a move's transfer still running
    LogRecorder log("filemanager");
    tap_action();
    EXPECT_TRUE(log.contains("on_delete_activate")) << log.text();
    EXPECT_TRUE(log.contains("global_ofm->cur_operation == OPER_NONE")) << log.text();
    EXPECT_EQ(global_ofm->cur_operation, OPER_MOVE);
    EXPECT_NE(global_ofm->edit_window, nullptr);
    EXPECT_EQ(kivel_window_stack_peek(kivel_window_stack_get_default()), global_ofm->edit_window);
    EXPECT_EQ(marked(edit_fs), std::vector<std::string>{uri("a.jpg")});
    EXPECT_TRUE(ulvo_test::path_exists(trip + "/a.jpg"));
}

TEST_F(EditWindow, CommandsThatEndWithoutATransferEndTheOperation)
{
    // Whatever the command asks, the answer is no: nothing is to change.
    for (gint kind : {0, 1, 2}) {
        open(kind, kind == 0 ? 5 : 4);
        tap_item("b.jpg");
        notices_test::when_dialog_shows([](GtkWidget *dialog) {
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        });
        tap_action();
        ASSERT_TRUE(pump_until([&] { return closed_and_main_back(); })) << kind;
        EXPECT_EQ(global_ofm->cur_operation, OPER_NONE) << kind;
        EXPECT_TRUE(ulvo_test::path_exists(trip + "/b.jpg")) << kind;
    }
}

TEST_F(EditWindow, OneWindowAtATimeAndEveryWayOutGivesTheMainSelectionBack)
{
    open(1, 4);
    GtkWidget *first = global_ofm->edit_window;
    create_edit_window(global_ofm, 2);
    EXPECT_EQ(global_ofm->edit_window, first);
    EXPECT_EQ(global_ofm->main_file_selection, GTK_WIDGET(main_fs));

    // Closed by the window manager.
    GdkEvent *event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(first)));
    gtk_main_do_event(event);
    gdk_event_free(event);
    EXPECT_TRUE(closed_and_main_back());

    // The back key.
    open(2, 4);
    GdkEvent *key = gdk_event_new(GDK_KEY_PRESS);
    key->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(global_ofm->edit_window)));
    key->key.keyval = GDK_Escape;
    gtk_main_do_event(key);
    gdk_event_free(key);
    EXPECT_TRUE(closed_and_main_back());

    // Destroyed from elsewhere.
    open(0, 5);
    gtk_widget_destroy(global_ofm->edit_window);
    EXPECT_TRUE(closed_and_main_back());
}

TEST_F(EditWindow, HoldingAMarkedItemOpensItsContextMenu)
{
    open(0, 5);
    tap_item("a.jpg");
    g_signal_emit_by_name(edit_fs, "content-pane-context-menu");
    ASSERT_NE(global_ofm->popup_menu, nullptr);
    gint visible = 0;
    GList *items = gtk_container_get_children(GTK_CONTAINER(global_ofm->popup_menu));
    for (GList *l = items; l; l = l->next)
        visible += gtk_widget_get_visible(GTK_WIDGET(l->data)) ? 1 : 0;
    g_list_free(items);
    EXPECT_EQ(visible, 5) << "rename, copy, move, delete and details of a.jpg";
    gtk_menu_popdown(GTK_MENU(global_ofm->popup_menu));
}

// Edit-mode windows: opened from the application menu on the folder shown,
// marks made by taps reach the command of the toolbar button, and every way
// out gives the main window's file selection back to the commands.
#include "app/edit-window.h"
#include "app/ulvo-fm-app.h"
#include "browser-fixture.h"
#include "ops/command-fixture.h"
#include "platform/toolkit/kivel-edit-toolbar.h"
#include "platform/toolkit/kivel-program.h"
#include "support/pointer.h"
#include "ui/notices-fixture.h"

#include <glib/gstdio.h>
#include <vector>

using namespace browser_test;
using notices_test::when_dialog_shows;
using ulvo_test::pump_until;
using Uris = std::vector<std::string>;

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

Uris uris_of(GSList *list)
{
    Uris out;
    for (GSList *l = list; l; l = l->next)
        out.push_back(static_cast<const char *>(l->data));
    return out;
}

Uris marked(KivelFileSelection *fs)
{
    GSList *list = kivel_file_selection_get_selected_uris(fs);
    Uris out = uris_of(list);
    g_slist_free_full(list, g_free);
    return out;
}

// The row of the content pane that lists `uri`, or -1; the marks stay.
gint row_of(KivelFileSelection *fs, const std::string &uri)
{
    Uris marks = marked(fs);
    kivel_file_selection_unselect_all(fs);
    gint row = -1;
    if (kivel_file_selection_select_uri(fs, uri.c_str())) {
        GtkTreeView *view = GTK_TREE_VIEW(kivel_file_selection_get_content_view(fs));
        GList *rows =
            gtk_tree_selection_get_selected_rows(gtk_tree_view_get_selection(view), nullptr);
        row = gtk_tree_path_get_indices(static_cast<GtkTreePath *>(rows->data))[0];
        g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    }
    kivel_file_selection_unselect_all(fs);
    for (const std::string &mark : marks)
        kivel_file_selection_select_uri(fs, mark.c_str());
    return row;
}

} // namespace

class EditWindow : public testing::Test
{
  protected:
    void SetUp() override
    {
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

    void tap_item(const std::string &name)
    {
        GtkTreeView *view = GTK_TREE_VIEW(kivel_file_selection_get_content_view(edit_fs));
        gint x = 0, y = 0;
        ASSERT_TRUE(ulvo_test::tree_row_point(view, row_of(edit_fs, uri(name)), &x, &y)) << name;
        ulvo_test::pointer_move(GTK_WIDGET(view), x, y);
        ulvo_test::pointer_click();
    }

    void tap_action() { tap(kivel_edit_toolbar_get_button(toolbar())); }

    // Once the window is laid out on the screen.
    void tap_arrow()
    {
        GtkTreeView *view = GTK_TREE_VIEW(kivel_file_selection_get_content_view(edit_fs));
        gint x = 0, y = 0;
        ASSERT_TRUE(ulvo_test::tree_row_point(view, 0, &x, &y));
        tap(kivel_edit_toolbar_get_arrow(toolbar()));
    }

    bool closed_and_main_back()
    {
        return global_ofm->edit_window == nullptr &&
               global_ofm->file_selection == GTK_WIDGET(main_fs) &&
               global_ofm->main_file_selection == nullptr;
    }

    GtkWidget *top_window() { return kivel_window_stack_peek(kivel_window_stack_get_default()); }

    std::string trip = docs_dir() + "/Trip";
    UlvoFmBrowser *browser = nullptr;
    KivelFileSelection *main_fs = nullptr, *edit_fs = nullptr;
};

TEST_F(EditWindow, MoveFromTheMenuMarksByTapsAndTheArrowChangesNothing)
{
    tap_menu_entry(browser, browser->move_button);
    ASSERT_TRUE(pump_until([&] { return global_ofm->edit_window != nullptr; }));
    edit_fs = KIVEL_FILE_SELECTION(global_ofm->file_selection);

    EXPECT_EQ(global_ofm->main_file_selection, GTK_WIDGET(main_fs));
    EXPECT_EQ(top_window(), global_ofm->edit_window);
    gchar *folder = kivel_file_selection_get_current_folder_uri(edit_fs);
    EXPECT_EQ(folder, uri(""));
    g_free(folder);
    EXPECT_FALSE(gtk_widget_is_drawable(kivel_file_selection_get_navigation_view(edit_fs)));
    std::string shown = ulvo_test::collect_label_text(global_ofm->edit_window);
    EXPECT_NE(shown.find("Select items to move"), std::string::npos) << shown;
    // A read-only file cannot be moved: not offered.
    ASSERT_TRUE(pump_until([&] { return kivel_file_selection_get_content_count(edit_fs) == 4; }));
    EXPECT_EQ(row_of(edit_fs, uri("old.jpg")), -1);

    // Nothing marked: the button does nothing.
    tap_action();
    EXPECT_EQ(global_ofm->file_selection, GTK_WIDGET(edit_fs));

    // Several marks, each a tap; a second tap takes one away.
    for (const char *name : {"b.jpg", "a.jpg", "Day", "b.jpg"})
        tap_item(name);
    EXPECT_EQ(marked(edit_fs), (Uris{uri("Day"), uri("a.jpg")}));
    EXPECT_TRUE(marked(main_fs).empty()) << "the main window's selection is its own";

    tap(kivel_edit_toolbar_get_arrow(toolbar()));
    ASSERT_TRUE(pump_until([&] { return closed_and_main_back(); }));
    EXPECT_EQ(top_window(), GTK_WIDGET(browser));
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);
    for (const char *name : {"a.jpg", "Day"})
        EXPECT_TRUE(ulvo_test::path_exists(trip + "/" + name)) << name;
}

TEST_F(EditWindow, TappedMarksReachTheCommandOverTheMainWindow)
{
    open(3, 4); // files only, read-only ones too
    tap_item("c.jpg");
    tap_item("old.jpg");

    Uris acted_on;
    gint operation = 0;
    bool over_main = false;
    when_dialog_shows([&](GtkWidget *dialog) {
        acted_on = uris_of(global_ofm->selection_info->current_selection);
        operation = global_ofm->cur_operation;
        over_main = gtk_window_get_transient_for(GTK_WINDOW(dialog)) == GTK_WINDOW(browser) &&
                    top_window() == GTK_WIDGET(browser);
        gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    });
    tap_action();
    ASSERT_TRUE(pump_until([&] { return closed_and_main_back(); }));
    EXPECT_EQ(acted_on, (Uris{uri("c.jpg"), uri("old.jpg")}));
    EXPECT_EQ(operation, OPER_SEND);
    EXPECT_TRUE(over_main) << "the window leaves the stack before the command";
    EXPECT_EQ(global_ofm->cur_operation, OPER_NONE);

    // The marks went with the window: commands read the main window again.
    ulvo_fm_update_selection_info(global_ofm->selection_info, main_fs, 0);
    EXPECT_EQ(uris_of(global_ofm->selection_info->current_selection), Uris{uri("")});
}

TEST_F(EditWindow, DeleteIsRefusedWhileAnotherCommandRuns)
{
    open(2, 4);
    tap_item("a.jpg");
    ulvo_fm_set_operation(OPER_MOVE); // a move's transfer still running
    ulvo_test::LogRecorder log("filemanager");
    tap_action();
    EXPECT_TRUE(log.contains("on_delete_activate")) << log.text();
    EXPECT_TRUE(log.contains("global_ofm->cur_operation == OPER_NONE")) << log.text();
    EXPECT_EQ(global_ofm->cur_operation, OPER_MOVE);
    EXPECT_EQ(top_window(), global_ofm->edit_window);
    EXPECT_EQ(marked(edit_fs), Uris{uri("a.jpg")});
    EXPECT_TRUE(ulvo_test::path_exists(trip + "/a.jpg"));
}

TEST_F(EditWindow, CommandsThatStartNoTransferEndTheOperation)
{
    // Whatever the command asks, the answer is no.
    for (gint kind : {0, 1, 2}) {
        open(kind, kind == 0 ? 5 : 4); // copy offers read-only items
        tap_item("b.jpg");
        when_dialog_shows([](GtkWidget *dialog) {
            gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        });
        tap_action();
        ASSERT_TRUE(pump_until([&] { return closed_and_main_back(); })) << kind;
        EXPECT_EQ(global_ofm->cur_operation, OPER_NONE) << kind;
        EXPECT_TRUE(ulvo_test::path_exists(trip + "/b.jpg")) << kind;
    }
}

TEST_F(EditWindow, OneAtATimeAndEveryWayOutGivesTheMainSelectionBack)
{
    open(1, 4);
    GtkWidget *first = global_ofm->edit_window;
    create_edit_window(global_ofm, 2);
    EXPECT_EQ(global_ofm->edit_window, first);
    EXPECT_EQ(global_ofm->main_file_selection, GTK_WIDGET(main_fs));

    // The context menu is about the marks.
    tap_item("a.jpg");
    g_signal_emit_by_name(edit_fs, "content-pane-context-menu");
    ASSERT_NE(global_ofm->popup_menu, nullptr);
    gtk_menu_popdown(GTK_MENU(global_ofm->popup_menu));

    // Closed by the window manager.
    GdkEvent *event = gdk_event_new(GDK_DELETE);
    event->any.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(first)));
    gtk_main_do_event(event);
    gdk_event_free(event);
    EXPECT_TRUE(closed_and_main_back());

    open(0, 5);
    gtk_widget_destroy(global_ofm->edit_window);
    EXPECT_TRUE(closed_and_main_back());
}

TEST_F(EditWindow, EachWindowOffersWhatItsCommandMayTake)
{
    ulvo_test::make_dir(trip + "/Locked", 0555);
    ASSERT_TRUE(await_content_count(browser, 6));
    const struct {
        gint kind;
        Uris offered, left_out;
    } windows[] = {
        {0, {"a.jpg", "old.jpg", "Day", "Locked"}, {}},
        {1, {"a.jpg", "Day"}, {"old.jpg", "Locked"}},
        {2, {"a.jpg", "Day"}, {"old.jpg", "Locked"}},
        {3, {"a.jpg", "old.jpg"}, {"Day", "Locked"}},
    };
    for (const auto &window : windows) {
        open(window.kind, 6 - gint(window.left_out.size()));
        for (const std::string &name : window.offered)
            EXPECT_NE(row_of(edit_fs, uri(name)), -1) << window.kind << " " << name;
        for (const std::string &name : window.left_out)
            EXPECT_EQ(row_of(edit_fs, uri(name)), -1) << window.kind << " " << name;
        tap_arrow();
        ASSERT_TRUE(pump_until([&] { return closed_and_main_back(); })) << window.kind;
    }
    g_chmod((trip + "/Locked").c_str(), 0755);
}

TEST_F(EditWindow, AfterTheArrowTheContextMenuActsOnTheMainSelection)
{
    ASSERT_TRUE(kivel_file_selection_select_uri(main_fs, uri("c.jpg").c_str()));
    g_object_set(main_fs, "active-pane", KIVEL_FILE_SELECTION_PANE_CONTENT, NULL);
    open(2, 4);
    tap_item("a.jpg");
    tap_arrow();
    ASSERT_TRUE(pump_until([&] { return closed_and_main_back(); }));

    g_signal_emit_by_name(main_fs, "content-pane-context-menu");
    ASSERT_NE(global_ofm->popup_menu, nullptr);
    GtkWidget *entry = nullptr;
    GList *items = gtk_container_get_children(GTK_CONTAINER(global_ofm->popup_menu));
    for (GList *l = items; l; l = l->next)
        if (gtk_menu_item_get_label(GTK_MENU_ITEM(l->data)) ==
            command_test::text("kivel-libs", "wdgt_bd_delete"))
            entry = GTK_WIDGET(l->data);
    g_list_free(items);
    ASSERT_TRUE(entry && gtk_widget_get_visible(entry));
    {
        command_test::NotePerson answer(command_test::yes());
        gtk_menu_item_activate(GTK_MENU_ITEM(entry));
        ASSERT_TRUE(xfer_app_test::await_transfer_end());
        EXPECT_EQ(answer.taps, 1);
    }
    EXPECT_FALSE(ulvo_test::path_exists(trip + "/c.jpg"));
    EXPECT_TRUE(ulvo_test::path_exists(trip + "/a.jpg")) << "the mark went with the window";
}

namespace
{

// Answers the question about a target that exists once the window has come
// back to the front, after another window has covered it meanwhile.
class HeldMovePerson : public command_test::Person
{
  public:
    explicit HeldMovePerson(UlvoFmBrowser *browser) : browser_(browser) {}
    ~HeldMovePerson() override
    {
        if (other_)
            gtk_widget_destroy(other_);
    }

    gint operation = 0;
    bool edit_window_gone = false, answered = false;
    gboolean could_hibernate = TRUE;

  protected:
    void act(const command_test::Showing &showing) override
    {
        GtkWidget *yes = nullptr;
        for (GtkWidget *note : showing.notes)
            if (!yes)
                yes = ulvo_test::find_button(note, command_test::yes());
        if (!yes || answered)
            return;
        gboolean topmost = FALSE;
        g_object_get(browser_, "is-topmost", &topmost, NULL);
        if (!other_ && topmost) {
            operation = global_ofm->cur_operation;
            edit_window_gone = global_ofm->edit_window == nullptr;
            other_ = kivel_stackable_window_new();
            gtk_widget_show(other_);
        } else if (other_ && not_topmost) {
            could_hibernate = kivel_program_get_can_hibernate(kivel_program_get_instance());
            answered = true;
            gtk_button_clicked(GTK_BUTTON(yes));
        }
    }

  private:
    UlvoFmBrowser *browser_;
    GtkWidget *other_ = nullptr;
};

} // namespace

// The question about a.jpg holds the transfer after the window has gone.
TEST_F(EditWindow, AMoveKeepsTheOperationUntilItsTransferEnds)
{
    ulvo_test::write_file(docs_dir() + "/Dest/a.jpg", "theirs");
    open(1, 4);
    tap_item("a.jpg");
    tap_item("b.jpg");

    HeldMovePerson answer(browser);
    command_test::ChooserPerson person({command_test::choose(file_uri(docs_dir() + "/Dest"))});
    tap_action();
    ASSERT_TRUE(xfer_app_test::await_transfer_end());
    EXPECT_TRUE(answer.answered);
    EXPECT_EQ(person.left(), 0u);
    EXPECT_EQ(answer.operation, OPER_MOVE);
    EXPECT_TRUE(answer.edit_window_gone);
    EXPECT_FALSE(answer.could_hibernate) << "the move still ran";
    EXPECT_TRUE(kivel_program_get_can_hibernate(kivel_program_get_instance()))
        << "its end lets the platform stop the program in the background";
    EXPECT_EQ(xfer_app_test::read_file(docs_dir() + "/Dest/a.jpg"), "a.jpg");
    EXPECT_EQ(xfer_app_test::read_file(docs_dir() + "/Dest/b.jpg"), "b.jpg");
    EXPECT_FALSE(ulvo_test::path_exists(trip + "/a.jpg"));
}

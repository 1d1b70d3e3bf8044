// Notes, banners, the picker and context menus, answered the way a person
// would: find what is showing, read it, tap it.
#include "platform/toolkit/kivel-banner.h"
#include "platform/toolkit/kivel-file-size.h"
#include "platform/toolkit/kivel-gtk-menu.h"
#include "platform/toolkit/kivel-note.h"
#include "platform/toolkit/kivel-picker.h"
#include "platform/toolkit/kivel-program.h"
#include "platform/toolkit/toolkit-helpers.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

using toolkit_test::find_button;
using toolkit_test::when_dialog_shows;
using ulvo_test::collect_label_text;
using ulvo_test::LogRecorder;
using ulvo_test::pump_until;

namespace
{

bool shows_text(GtkWidget *widget, const std::string &text)
{
    return collect_label_text(widget).find(text) != std::string::npos;
}

// Runs `note` as the application does and answers it with a tap on the
// button labelled `answer`; returns the run result.
gint run_and_tap(GtkWidget *note, const std::string &answer, std::string *seen_text = nullptr)
{
    when_dialog_shows([=](GtkWidget *dialog) {
        if (seen_text)
            *seen_text = collect_label_text(dialog);
        GtkWidget *button = find_button(dialog, answer);
        if (button)
            toolkit_test::tap_button(button);
    });
    return gtk_dialog_run(GTK_DIALOG(note));
}

class ToolkitNotes : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        kivel_init();
        parent = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_widget_show(parent);
    }
    void TearDown() override { gtk_widget_destroy(parent); }
    GtkWindow *parent_window() { return GTK_WINDOW(parent); }
    GtkWidget *parent = nullptr;
};

} // namespace

TEST_F(ToolkitNotes, ConfirmationAnswersTheTappedButton)
{
    LogRecorder log("Kivel");
    GtkWidget *note = kivel_note_new_confirmation(parent_window(), "Delete holiday.jpg?");
    std::string seen;
    EXPECT_EQ(run_and_tap(note, "No", &seen), GTK_RESPONSE_CANCEL);
    EXPECT_NE(seen.find("Delete holiday.jpg?"), std::string::npos);
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(note)));
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(note)), parent_window());
    EXPECT_EQ(run_and_tap(note, "Yes"), GTK_RESPONSE_OK);
    gtk_widget_destroy(note);
    EXPECT_TRUE(log.contains("note: Delete holiday.jpg?"));

    note = kivel_note_new_confirmation_add_buttons(parent_window(), "Replace report.txt?", "Keep",
                                                   GTK_RESPONSE_CANCEL, "Replace", GTK_RESPONSE_OK,
                                                   nullptr);
    EXPECT_EQ(run_and_tap(note, "Replace"), GTK_RESPONSE_OK);
    EXPECT_EQ(run_and_tap(note, "Keep"), GTK_RESPONSE_CANCEL);
    gtk_widget_destroy(note);
}

TEST_F(ToolkitNotes, InformationHasOneButtonWhoseTextCanChange)
{
    GtkWidget *note = kivel_note_new_information(parent_window(), "Not enough memory");
    ASSERT_NE(note, nullptr);
    GtkWidget *action_area = gtk_dialog_get_action_area(GTK_DIALOG(note));
    GList *buttons = gtk_container_get_children(GTK_CONTAINER(action_area));
    EXPECT_EQ(g_list_length(buttons), 1u);
    g_list_free(buttons);
    kivel_note_set_button_text(KIVEL_NOTE(note), "Close");
    EXPECT_EQ(run_and_tap(note, "Close"), GTK_RESPONSE_OK);
    gtk_widget_destroy(note);

    LogRecorder log("Kivel");
    EXPECT_EQ(kivel_note_new_information(parent_window(), nullptr), nullptr);
    EXPECT_TRUE(log.contains("description != nullptr")) << log.text();
}

TEST_F(ToolkitNotes, ProgressNoteFollowsItsDescriptionAndCancels)
{
    LogRecorder log("Kivel");
    GtkWidget *bar = gtk_progress_bar_new();
    GtkWidget *note = kivel_note_new_cancel_with_progress_bar(parent_window(), "Preparing",
                                                              GTK_PROGRESS_BAR(bar));
    EXPECT_EQ(GTK_WIDGET(kivel_note_get_progress_bar(KIVEL_NOTE(note))), bar);
    EXPECT_TRUE(gtk_widget_is_ancestor(bar, note));
    g_object_set(note, "description", "Copying 2/5", nullptr);
    EXPECT_TRUE(shows_text(note, "Copying 2/5"));
    EXPECT_FALSE(shows_text(note, "Preparing"));
    EXPECT_TRUE(log.contains("note: Copying 2/5"));
    kivel_note_set_button_text(KIVEL_NOTE(note), "Stop");

    gint response = 0;
    g_signal_connect(note, "response", G_CALLBACK(+[](GtkDialog *, gint id, gpointer out) {
                         *static_cast<gint *>(out) = id;
                     }),
                     &response);
    gtk_widget_show(note);
    ASSERT_TRUE(toolkit_test::await_ready_for_taps(note));
    GtkWidget *stop = find_button(note, "Stop");
    ASSERT_NE(stop, nullptr);
    toolkit_test::tap_button(stop);
    EXPECT_TRUE(pump_until([&] { return response == GTK_RESPONSE_CANCEL; }));
    gtk_widget_destroy(note);
}

TEST(ToolkitBanner, ShowsLogsAndGoesAwayByItself)
{
    LogRecorder log("Kivel");
    kivel_banner_set_timeout(300);
    GtkWidget *first = kivel_banner_show_information(nullptr, nullptr, "Folder already exists");
    ASSERT_NE(first, nullptr);
    g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer *>(&first));
    EXPECT_TRUE(gtk_widget_get_mapped(first));
    EXPECT_TRUE(shows_text(first, "Folder already exists"));
    EXPECT_TRUE(log.contains("banner: Folder already exists"));

    // A newer banner takes the place of the one on screen.
    GtkWidget *second = kivel_banner_show_information(nullptr, nullptr, "Unable to rename");
    g_object_add_weak_pointer(G_OBJECT(second), reinterpret_cast<gpointer *>(&second));
    EXPECT_EQ(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(gtk_widget_get_mapped(second));
    EXPECT_TRUE(pump_until([&] { return second == nullptr; }, 5000))
        << "the banner stayed on screen";
}

TEST_F(ToolkitNotes, PickerAnswersTheTappedRow)
{
    GtkWidget *dialog = kivel_picker_dialog_new(parent_window());
    GtkWidget *selector = kivel_touch_selector_new_text();
    const char *rows[] = {"Name A-Z", "Name Z-A", "Newest first", "Oldest first"};
    for (const char *row : rows)
        kivel_touch_selector_append_text(KIVEL_TOUCH_SELECTOR(selector), row);
    kivel_picker_dialog_set_selector(KIVEL_PICKER_DIALOG(dialog), KIVEL_TOUCH_SELECTOR(selector));
    kivel_touch_selector_set_active(KIVEL_TOUCH_SELECTOR(selector), 0, 1);

    when_dialog_shows([selector](GtkWidget *) {
        GtkTreeView *view = kivel_touch_selector_get_tree_view(KIVEL_TOUCH_SELECTOR(selector));
        GtkTreePath *path = gtk_tree_path_new_from_indices(2, -1);
        GdkRectangle cell;
        gtk_tree_view_get_cell_area(view, path, gtk_tree_view_get_column(view, 0), &cell);
        gtk_tree_path_free(path);
        toolkit_test::tap(gtk_tree_view_get_bin_window(view), cell.x + cell.width / 2,
                          cell.y + cell.height / 2);
    });
    EXPECT_EQ(gtk_dialog_run(GTK_DIALOG(dialog)), GTK_RESPONSE_OK);
    gchar *text = kivel_touch_selector_get_current_text(KIVEL_TOUCH_SELECTOR(selector));
    EXPECT_STREQ(text, "Newest first");
    g_free(text);

    // Closing without a choice.
    when_dialog_shows([](GtkWidget *shown) { toolkit_test::press_key(shown, GDK_Escape); });
    EXPECT_EQ(gtk_dialog_run(GTK_DIALOG(dialog)), GTK_RESPONSE_DELETE_EVENT);
    gtk_widget_destroy(dialog);
}

TEST(ToolkitContextMenu, TapOnInsensitiveItemEmitsInsensitivePress)
{
    GtkWidget *menu = kivel_gtk_menu_new();
    GtkWidget *rename = gtk_menu_item_new_with_label("Rename");
    GtkWidget *copy = gtk_menu_item_new_with_label("Copy");
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), rename);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), copy);
    gtk_widget_set_sensitive(rename, FALSE);
    gtk_widget_show_all(menu);
    int insensitive_presses = 0, activations = 0;
    g_signal_connect_swapped(rename, "insensitive-press", G_CALLBACK(+[](int *n) { ++*n; }),
                             &insensitive_presses);
    g_signal_connect_swapped(rename, "activate", G_CALLBACK(+[](int *n) { ++*n; }), &activations);
    g_signal_connect_swapped(copy, "insensitive-press", G_CALLBACK(+[](int *n) { ++*n; }),
                             &insensitive_presses);

    gtk_menu_popup(GTK_MENU(menu), nullptr, nullptr, nullptr, nullptr, 0,
                   gtk_get_current_event_time());
    ASSERT_TRUE(toolkit_test::await_ready_for_taps(rename));
    GtkAllocation a;
    gtk_widget_get_allocation(rename, &a);
    // Big enough for a fingertip, not a mouse pointer.
    EXPECT_GE(a.height, 48);
    toolkit_test::tap(GTK_MENU_ITEM(rename)->event_window, a.width / 2, a.height / 2);
    ASSERT_TRUE(pump_until([&] { return insensitive_presses == 1; }));
    EXPECT_FALSE(gtk_widget_get_mapped(menu)) << "the menu stayed open";
    EXPECT_EQ(activations, 0);
    gtk_widget_destroy(menu);
}

TEST(ToolkitFileSize, RoundsToThreeDigitsAndMovesUpAUnit)
{
    kivel_init();
    struct {
        goffset bytes;
        const char *shown;
    } cases[] = {
        {0, "0 B"},          {999, "999 B"},         {1000, "1.0 kB"},
        {1536, "1.5 kB"},    {10188, "9.9 kB"},      {10189, "10 kB"},
        {1023487, "999 kB"}, {1023488, "1.0 MB"},    {5LL << 30, "5.0 GB"},
        {-1, "0 B"},         {3LL << 50, "3072 TB"},
    };
    for (const auto &c : cases) {
        gchar *shown = kivel_format_file_size_for_display(c.bytes);
        EXPECT_STREQ(shown, c.shown) << c.bytes;
        g_free(shown);
    }
}

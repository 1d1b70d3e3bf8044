// Confirmation and information notes answered the way a person does, banners,
// and the confirmation that closes when the selection moves away from it.
#include "notices-fixture.h"

using namespace notices_test;
using selection_record_test::strings_of;
using selection_record_test::uri_of;
using ulvo_test::collect_label_text;
using ulvo_test::find_showing_dialog;
using ulvo_test::LogRecorder;
using ulvo_test::write_file;

namespace
{

struct Seen {
    std::string text;
    GtkWindow *parent = nullptr;
    bool clicked = false;
};

// Reads the note, then taps `button`.
std::function<void(GtkWidget *)> read_and_tap(Seen *seen, const std::string &button)
{
    return [seen, button](GtkWidget *dialog) {
        seen->text = collect_label_text(dialog);
        seen->parent = gtk_window_get_transient_for(GTK_WINDOW(dialog));
        seen->clicked = click(dialog, button);
    };
}

} // namespace

TEST_F(NoticesTest, ConfirmationAnswersTheTappedButtonOverTheMainWindow)
{
    GtkWidget *other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(other);
    LogRecorder log("Kivel");

    Seen seen;
    when_dialog_shows(read_and_tap(&seen, "Keep"));
    gint response = fm_confnote(GTK_WINDOW(other), "Replace report.txt?", "Replace",
                                GTK_RESPONSE_OK, "Keep", GTK_RESPONSE_CANCEL, 0);
    EXPECT_EQ(response, GTK_RESPONSE_CANCEL);
    EXPECT_TRUE(seen.clicked);
    EXPECT_NE(seen.text.find("Replace report.txt?"), std::string::npos) << seen.text;
    EXPECT_EQ(seen.parent, main_window()) << "the main window is the parent, whatever is passed";
    EXPECT_TRUE(log.contains("note: Replace report.txt?"));
    EXPECT_EQ(find_showing_dialog(), nullptr) << "the note is gone after its answer";
    EXPECT_EQ(global_ofm->registered_dialog, nullptr);

    when_dialog_shows(read_and_tap(&seen, "Replace"));
    EXPECT_EQ(fm_confnote(nullptr, "Replace notes.txt?", "Replace", GTK_RESPONSE_OK, "Keep",
                          GTK_RESPONSE_CANCEL, 0),
              GTK_RESPONSE_OK);
    gtk_widget_destroy(other);
}

TEST_F(NoticesTest, NotesAndBannersRefuseBadArguments)
{
    GtkWidget *button = gtk_button_new_with_label("not a window");
    g_object_ref_sink(button);
    LogRecorder log("filemanager");
    LogRecorder shown("Kivel");

    EXPECT_EQ(fm_confnote(reinterpret_cast<GtkWindow *>(button), "Delete?", "Yes", GTK_RESPONSE_OK,
                          "No", GTK_RESPONSE_CANCEL, 1),
              -1);
    EXPECT_TRUE(log.contains("!window || GTK_IS_WINDOW (window)")) << log.text();
    EXPECT_EQ(global_ofm->registered_dialog, nullptr);

    fm_infonote(nullptr, nullptr, "Close");
    EXPECT_TRUE(log.contains("text != NULL")) << log.text();

    fm_infoprint(reinterpret_cast<GtkWindow *>(button), "Folder created");
    fm_infoprint(nullptr, nullptr);
    EXPECT_EQ(shown.text(), "") << "nothing reached the screen";
    g_object_unref(button);
}

TEST_F(NoticesTest, InformationNoteShowsItsTextAndButton)
{
    LogRecorder log("Kivel");
    Seen seen;
    when_dialog_shows(read_and_tap(&seen, "Close"));
    fm_infonote(nullptr, "Not enough memory", "Close");
    EXPECT_TRUE(seen.clicked) << "the button reads as given";
    EXPECT_NE(seen.text.find("Not enough memory"), std::string::npos) << seen.text;
    EXPECT_EQ(seen.parent, main_window());
    EXPECT_TRUE(log.contains("note: Not enough memory"));
    EXPECT_EQ(find_showing_dialog(), nullptr);

    GtkWidget *other = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(other);
    when_dialog_shows(read_and_tap(&seen, "OK"));
    fm_infonote(GTK_WINDOW(other), "Card removed", nullptr);
    EXPECT_TRUE(seen.clicked) << "the note's own button";
    EXPECT_EQ(seen.parent, GTK_WINDOW(other)) << "a given window is the parent";
    gtk_widget_destroy(other);
}

TEST_F(NoticesTest, RegisteredConfirmationClosesWhenTheSelectionChanges)
{
    std::string work = docs + "/work";
    write_file(work + "/a.txt");
    write_file(work + "/b.txt");
    enter(work, 2);
    select_only({work + "/a.txt"});
    refresh(1);

    std::vector<std::string> registered;
    bool was_registered = false;
    when_dialog_shows([&](GtkWidget *dialog) {
        was_registered = global_ofm->registered_dialog == dialog;
        registered = strings_of(global_ofm->registered_paths);
        select_only({work + "/b.txt"});
    });
    gint response =
        fm_confnote(nullptr, "Delete a.txt?", "Yes", GTK_RESPONSE_OK, "No", GTK_RESPONSE_CANCEL, 1);
    EXPECT_EQ(response, GTK_RESPONSE_NONE);
    EXPECT_TRUE(was_registered);
    EXPECT_EQ(registered, std::vector<std::string>{uri_of(work + "/a.txt")});
    EXPECT_EQ(global_ofm->registered_dialog, nullptr);
    EXPECT_EQ(global_ofm->registered_paths, nullptr);
    EXPECT_EQ(find_showing_dialog(), nullptr);
}

TEST_F(NoticesTest, RegisteredConfirmationStaysWhileTheSelectionIsTheSame)
{
    std::string work = docs + "/work";
    write_file(work + "/a.txt");
    enter(work, 1);

    // Runs a registered note; while it is open, `meanwhile` runs, then the
    // person taps Yes. Returns every response the note got.
    auto run = [&](std::function<void()> meanwhile) {
        std::vector<gint> responses;
        when_dialog_shows([&](GtkWidget *dialog) {
            g_signal_connect(dialog, "response",
                             G_CALLBACK(+[](GtkDialog *, gint id, gpointer out) {
                                 static_cast<std::vector<gint> *>(out)->push_back(id);
                             }),
                             &responses);
            meanwhile();
            click(dialog, "Yes");
        });
        gint response =
            fm_confnote(nullptr, "Delete?", "Yes", GTK_RESPONSE_OK, "No", GTK_RESPONSE_CANCEL, 1);
        EXPECT_EQ(response, GTK_RESPONSE_OK);
        return responses;
    };

    select_only({work + "/a.txt"});
    refresh(1);
    std::vector<gint> responses = run([&] { g_signal_emit_by_name(fs(), "selection-changed"); });
    EXPECT_EQ(responses, std::vector<gint>{GTK_RESPONSE_OK});

    // Opened for the current folder standing in: an empty content selection
    // and the navigation pane both still mean that folder.
    kivel_file_selection_unselect_all(fs());
    refresh(1);
    ASSERT_TRUE(info()->folder_as_selection);
    responses = run([&] {
        g_signal_emit_by_name(fs(), "selection-changed");
        g_object_set(fs(), "active-pane", KIVEL_FILE_SELECTION_PANE_NAVIGATION, NULL);
    });
    EXPECT_EQ(responses, std::vector<gint>{GTK_RESPONSE_OK});
}

TEST_F(NoticesTest, ARegisteredDialogDestroyedWithoutUnregisteringIsForgotten)
{
    std::string work = docs + "/work";
    write_file(work + "/a.txt");
    write_file(work + "/b.txt");
    enter(work, 2);
    select_only({work + "/a.txt"});
    refresh(1);

    GtkWidget *dialog = gtk_dialog_new();
    fm_register_dialog(dialog);
    gtk_widget_destroy(dialog);
    EXPECT_EQ(global_ofm->registered_dialog, nullptr);
    EXPECT_EQ(global_ofm->registered_paths, nullptr);
    // The next selection change has nothing to answer.
    select_only({work + "/b.txt"});
    fm_check_registered_dialog(global_ofm);
}

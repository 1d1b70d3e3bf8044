// The application record of the selection tests, with the browser's check of
// the registered dialog on every selection change, and a person who answers
// the notes that the code under test runs.
#pragma once

#include "model/selection-fixture.h"
#include "ui/notices.h"

#include <functional>
#include <string>

namespace notices_test
{

// What a note's run ends with when nothing answered it in time.
constexpr gint no_answer = 54321;

using ulvo_test::find_button;

// A tap on the button labelled `text`; false when the dialog has none.
inline bool click(GtkWidget *dialog, const std::string &text)
{
    GtkWidget *button = find_button(dialog, text);
    if (!button)
        return false;
    gtk_button_clicked(GTK_BUTTON(button));
    return true;
}

namespace detail
{

struct Answer {
    std::function<void(GtkWidget *)> act;
    GtkWidget *dialog = nullptr; // cleared when the dialog goes
    bool acted = false;
    gint64 deadline = 0;
};

// Polls from the main loop (the note's own loop while it runs): acts once
// on the showing dialog, then gives it until the deadline to close.
inline gboolean poll_answer(gpointer data)
{
    auto *answer = static_cast<Answer *>(data);
    if (!answer->acted) {
        GtkWidget *dialog = ulvo_test::find_showing_dialog();
        if (!dialog || !gtk_widget_get_mapped(dialog))
            return TRUE;
        answer->dialog = dialog;
        g_object_add_weak_pointer(G_OBJECT(dialog), reinterpret_cast<gpointer *>(&answer->dialog));
        answer->deadline = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
        answer->acted = true;
        answer->act(dialog);
    }
    bool open = answer->dialog && gtk_widget_get_visible(answer->dialog);
    if (open && g_get_monotonic_time() < answer->deadline)
        return TRUE;
    if (answer->dialog) {
        g_object_remove_weak_pointer(G_OBJECT(answer->dialog),
                                     reinterpret_cast<gpointer *>(&answer->dialog));
        if (open)
            gtk_dialog_response(GTK_DIALOG(answer->dialog), no_answer);
    }
    delete answer;
    return FALSE;
}

} // namespace detail

// Once a dialog shows, `act` runs on it the way a person would act; a
// dialog still open 5 s later ends with `no_answer`, so that a fault fails
// the test instead of hanging it.
inline void when_dialog_shows(std::function<void(GtkWidget *)> act)
{
    auto *answer = new detail::Answer;
    answer->act = std::move(act);
    gdk_threads_add_timeout(20, detail::poll_answer, answer);
}

class NoticesTest : public selection_record_test::SelectionRecordTest
{
  protected:
    void SetUp() override
    {
        SelectionRecordTest::SetUp();
        g_signal_connect(global_ofm->file_selection, "selection-changed",
                         G_CALLBACK(+[](KivelFileSelection *, gpointer) {
                             fm_check_registered_dialog(global_ofm);
                         }),
                         nullptr);
    }

    GtkWindow *main_window() const { return GTK_WINDOW(global_ofm->window); }
};

} // namespace notices_test

// A program stopped in the background starts again where it was.
#include "program-support.h"
#include "support/ui-test.h"

#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

using namespace ulvo_e2e;

namespace
{

// Brings the program to the front, then covers it with `cover`, and returns
// the state it saved on going to the background; "" when it saved none.
std::string state_after_covering(GtkWidget *cover)
{
    EXPECT_TRUE(call_program("top_application"));
    EXPECT_TRUE(ulvo_test::pump_until([&] { return !gtk_window_is_active(GTK_WINDOW(cover)); }));
    g_unlink(saved_state_file().c_str());
    // The program takes itself for topmost once its focus has settled, out
    // of this process's sight: a moment is left for that.
    ulvo_test::pump_for(300);
    gtk_window_present(GTK_WINDOW(cover));
    ulvo_test::pump_until([] { return ulvo_test::path_exists(saved_state_file()); }, 5000);
    return read_saved_state_file();
}

// Covers the program until what it saves reads `expected` (its restore
// finishes a little after its window).
bool await_saved_state(GtkWidget *cover, const std::string &expected)
{
    gint64 deadline = g_get_monotonic_time() + 15 * G_USEC_PER_SEC;
    std::string state;
    while (g_get_monotonic_time() < deadline) {
        state = state_after_covering(cover);
        if (state == expected)
            return true;
    }
    ADD_FAILURE() << "saved: " << state;
    return false;
}

} // namespace

TEST(Restart, KilledInTheBackgroundItStartsInTheDeepFolderWithItsSelection)
{
    std::string folder = ulvo_test::test_home() + "/MyDocs";
    for (int level = 1; level <= 12; level++)
        folder += "/level " + std::to_string(level);
    for (int i = 0; i < 40; i++)
        ulvo_test::write_file(folder + "/photo" + std::to_string(100 + i) + ".jpg", "x");
    std::string expected = "Normal\nNone\nContentPane\n" + ulvo_test::file_uri(folder) + "\n" +
                           ulvo_test::file_uri(folder + "/photo107.jpg") + "\n" +
                           ulvo_test::file_uri(folder + "/photo133.jpg") + "\n";
    write_saved_state(expected);
    GtkWidget *cover = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(cover);

    for (int run = 1; run <= 2; run++) {
        SCOPED_TRACE("run " + std::to_string(run));
        Program program;
        ASSERT_TRUE(program.started());
        ASSERT_TRUE(program.await_ready());
        EXPECT_TRUE(await_saved_state(cover, expected));

        program.signal(SIGKILL);
        int status = program.await_exit_status();
        ASSERT_TRUE(WIFSIGNALED(status));
        ASSERT_TRUE(await_bus_name_released(10000));
        // Nothing ran at the end: what it saved in the background stays.
        EXPECT_EQ(read_saved_state_file(), expected);
    }
    gtk_widget_destroy(cover);
}

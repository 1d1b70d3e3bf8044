// A program stopped in the background starts again where it was.
#include "program-support.h"
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

using namespace ulvo_e2e;

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

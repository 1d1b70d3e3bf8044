// What the program saves when another window covers it, what a new
// instance makes of it, and what a normal close leaves behind.
#include "program-support.h"
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

using namespace ulvo_e2e;
using ulvo_test::file_uri;

namespace
{

std::string docs()
{
    return ulvo_test::test_home() + "/MyDocs";
}

// What a start without a saved place shows: the documents folder, nothing
// selected.
std::string fresh_state(const std::string &first_line)
{
    return first_line + "\nNone\nContentPane\n" + file_uri(docs()) + "\n";
}

void kill_in_background(Program &program)
{
    program.signal(SIGKILL);
    int status = program.await_exit_status();
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    ASSERT_TRUE(await_bus_name_released(10000));
}

void close_normally(Program &program)
{
    program.signal(SIGINT);
    int status = program.await_exit_status();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(await_bus_name_released(10000));
}

} // namespace

TEST(SessionState, TwoSelectedItemsComeBackAfterAStopAndAFreshStartFollowsAClose)
{
    std::string folder = docs() + "/Shared/Inbox";
    for (const char *name : {"a.txt", "b.txt", "c.txt"})
        ulvo_test::write_file(folder + "/" + name, "x");
    std::string a = file_uri(folder + "/a.txt"), b = file_uri(folder + "/b.txt");
    std::string six_lines =
        "Normal\nNone\nContentPane\n" + file_uri(folder) + "\n" + a + "\n" + b + "\n";
    GtkWidget *cover = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(cover);

    {
        Program program;
        ASSERT_TRUE(program.started());
        ASSERT_TRUE(program.await_ready());
        // Another program shows the two items, as "show in folder" does.
        ASSERT_TRUE(ulvo_test::pump_until([&] { return call_file_manager1("ShowItems", {a, b}); }));
        EXPECT_TRUE(await_saved_state(cover, six_lines));
        kill_in_background(program);
    }
    EXPECT_EQ(read_saved_state_file(), six_lines);
    {
        Program restarted;
        ASSERT_TRUE(restarted.started());
        ASSERT_TRUE(restarted.await_ready());
        // Only what it restored can make it save the same six lines.
        EXPECT_TRUE(await_saved_state(cover, six_lines));
        close_normally(restarted);
    }
    EXPECT_EQ(read_saved_state_file(), "Closed");
    {
        Program fresh;
        ASSERT_TRUE(fresh.started());
        ASSERT_TRUE(fresh.await_ready());
        EXPECT_TRUE(await_saved_state(cover, fresh_state("Normal")));
        close_normally(fresh);
    }
    gtk_widget_destroy(cover);
}

TEST(SessionState, FourteenBytesAreIgnoredAndFifteenAreRead)
{
    GtkWidget *cover = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_widget_show(cover);
    // Both name the full-screen mode, in any letter case, on their first line.
    const struct {
        std::string saved;
        std::string first_line;
    } cases[] = {{"FullScreen\na\nb", "Normal"}, {"fullSCREEN\nab\nc", "Fullscreen"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.saved.size()) + " bytes");
        write_saved_state(c.saved);
        Program program;
        ASSERT_TRUE(program.started());
        ASSERT_TRUE(program.await_ready());
        EXPECT_TRUE(await_saved_state(cover, fresh_state(c.first_line)));
        kill_in_background(program);
    }
    gtk_widget_destroy(cover);
}

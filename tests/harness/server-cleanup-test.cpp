// However a test process ends, its private X server and session bus end too.
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>

namespace
{

struct Child {
    GPid pid = 0;
    GPid bus = 0;
    GPid display = 0;
};

void no_core_dump(gpointer)
{
    struct rlimit none = {0, 0};
    setrlimit(RLIMIT_CORE, &none);
}

// This very program, asked to end `how` right after it started its servers.
Child start_crashing_child(const std::string &how)
{
    Child child;
    gchar **env = g_get_environ();
    env = g_environ_setenv(env, "ULVO_TEST_CRASH", how.c_str(), TRUE);
    // Its HOME goes where ours is removed.
    env = g_environ_setenv(env, "TMPDIR", ulvo_test::test_home().c_str(), TRUE);
    const gchar *argv[] = {"/proc/self/exe", "--gtest_filter=None", nullptr};
    gint out = -1;
    GError *error = nullptr;
    gboolean started = g_spawn_async_with_pipes(nullptr, const_cast<gchar **>(argv), env,
                                                G_SPAWN_DO_NOT_REAP_CHILD, no_core_dump, nullptr,
                                                &child.pid, nullptr, &out, nullptr, &error);
    g_strfreev(env);
    if (!started) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        return child;
    }
    FILE *stream = fdopen(out, "r");
    int bus = 0, display = 0;
    if (fscanf(stream, "%d %d", &bus, &display) == 2) {
        child.bus = bus;
        child.display = display;
    }
    fclose(stream);
    return child;
}

// Reaps `pid`, one of ours; false when it is still running after `ms`.
bool await_end(GPid pid, int ms)
{
    return ulvo_test::pump_until([&] { return waitpid(pid, nullptr, WNOHANG) == pid; }, ms);
}

TEST(ServerCleanup, ServersEndWithATestProcessThatCrashesOrIsKilled)
{
    // Orphans come to this process, so that it can reap and count them.
    ASSERT_EQ(0, prctl(PR_SET_CHILD_SUBREAPER, 1));
    for (const char *how : {"abort", "segv", "throw", "hang"}) {
        SCOPED_TRACE(how);
        Child child = start_crashing_child(how);
        ASSERT_NE(0, child.pid);
        ASSERT_NE(0, child.bus);
        ASSERT_NE(0, child.display);
        if (std::string(how) == "hang")
            kill(child.pid, SIGKILL);
        ASSERT_TRUE(await_end(child.pid, 20000));

        bool bus_ended = await_end(child.bus, 10000);
        bool display_ended = await_end(child.display, 10000);
        EXPECT_TRUE(bus_ended);
        EXPECT_TRUE(display_ended);
        for (GPid left : {bus_ended ? 0 : child.bus, display_ended ? 0 : child.display}) {
            if (left) {
                kill(left, SIGKILL);
                waitpid(left, nullptr, 0);
            }
        }
    }
}

} // namespace

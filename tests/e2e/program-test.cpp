// The program itself: started as a person's session starts it, ended by SIGINT.
#include "platform/ulvo.h"
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <string>

static std::string program_path() { return std::string(ULVO_BUILD_DIR) + "/ulvo-filemanager"; }

static GPid start_program(const std::string &ready_file)
{
    g_setenv("ULVO_FM_READY_FILE", ready_file.c_str(), TRUE);
    std::string path = program_path();
    const gchar *argv[] = {path.c_str(), nullptr};
    GPid pid = 0;
    GError *error = nullptr;
    if (!g_spawn_async(nullptr, const_cast<gchar **>(argv), nullptr, G_SPAWN_DO_NOT_REAP_CHILD,
                       nullptr, nullptr, &pid, &error)) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        return 0;
    }
    return pid;
}

// Waits for the child without blocking the main loop; -1 on time-out.
static int await_exit_status(GPid pid, int timeout_ms)
{
    int status = -1;
    bool ended = ulvo_test::pump_until(
        [&] { return waitpid(pid, &status, WNOHANG) == pid; }, timeout_ms);
    return ended ? status : -1;
}

static std::string read_saved_state()
{
    ulvo_context_t *ctx = ulvo_initialize("ulvo_filemanager", "0.4.6", TRUE, nullptr);
    if (!ctx)
        return "<no context>";
    ulvo_state_t state = {0, nullptr};
    std::string text = "<none>";
    if (ulvo_state_read(ctx, &state) == ULVO_OK)
        text.assign(static_cast<char *>(state.state_data), state.state_size);
    g_free(state.state_data);
    ulvo_deinitialize(ctx);
    return text;
}

TEST(Program, SigintEndsWithStatusZeroAfterTheNormalShutdown)
{
    std::string ready = ulvo_test::test_home() + "/ready";
    GPid pid = start_program(ready);
    ASSERT_NE(pid, 0);
    ASSERT_TRUE(ulvo_test::pump_until([&] { return ulvo_test::path_exists(ready); }, 20000));
    // The program owns its bus name while it runs.
    EXPECT_EQ(ulvo_initialize("ulvo_filemanager", "0.4.6", TRUE, nullptr), nullptr);

    kill(pid, SIGINT);
    int status = await_exit_status(pid, 20000);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The shutdown wrote the closed state and saved the folder settings.
    EXPECT_EQ(read_saved_state(), "Closed");
    EXPECT_TRUE(ulvo_test::path_exists(ulvo_test::test_home() +
                                       "/.ulvo/ULVO_FILEMANAGER/Folderstate"));
    EXPECT_TRUE(ulvo_test::path_exists(ulvo_test::test_home() + "/MyDocs/.images"));
}

TEST(Program, TwoSigintsInARowStillEndCleanly)
{
    std::string ready = ulvo_test::test_home() + "/ready";
    GPid pid = start_program(ready);
    ASSERT_NE(pid, 0);
    ASSERT_TRUE(ulvo_test::pump_until([&] { return ulvo_test::path_exists(ready); }, 20000));
    kill(pid, SIGINT);
    kill(pid, SIGINT);
    int status = await_exit_status(pid, 20000);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

#include "program-support.h"

#include "platform/ulvo.h"
#include "support/ui-test.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

namespace ulvo_e2e
{

static std::string program_path()
{
    return std::string(ULVO_BUILD_DIR) + "/ulvo-filemanager";
}

// Each program started by one test gets its own ready file.
static std::string next_ready_file()
{
    static int count = 0;
    return ulvo_test::test_home() + "/ready-" + std::to_string(++count);
}

Program::Program(const std::vector<std::string> *environment) : ready_file_(next_ready_file())
{
    std::string path = program_path();
    const gchar *argv[] = {path.c_str(), nullptr};
    std::vector<std::string> env;
    if (environment) {
        env = *environment;
    } else {
        gchar **inherited = g_get_environ();
        for (gchar **e = inherited; *e; e++)
            env.emplace_back(*e);
        g_strfreev(inherited);
    }
    env.push_back("ULVO_FM_READY_FILE=" + ready_file_);
    std::vector<const gchar *> envp;
    for (const std::string &e : env)
        envp.push_back(e.c_str());
    envp.push_back(nullptr);

    GError *error = nullptr;
    if (!g_spawn_async(nullptr, const_cast<gchar **>(argv), const_cast<gchar **>(envp.data()),
                       G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &pid_, &error)) {
        ADD_FAILURE() << error->message;
        g_error_free(error);
        pid_ = 0;
    }
}

Program::~Program()
{
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool Program::ready() const
{
    return ulvo_test::path_exists(ready_file_);
}

bool Program::await_ready(int timeout_ms)
{
    return ulvo_test::pump_until([&] { return ready(); }, timeout_ms);
}

bool Program::running()
{
    if (!pid_ || reaped_)
        return false;
    if (waitpid(pid_, nullptr, WNOHANG) == pid_)
        reaped_ = true;
    return !reaped_;
}

void Program::signal(int signo)
{
    if (pid_ && !reaped_)
        kill(pid_, signo);
}

int Program::await_exit_status(int timeout_ms)
{
    if (!pid_ || reaped_)
        return -1;
    int status = -1;
    // Waits without blocking the main loop.
    bool ended =
        ulvo_test::pump_until([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout_ms);
    reaped_ = ended;
    return ended ? status : -1;
}

std::string read_saved_state()
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

} // namespace ulvo_e2e

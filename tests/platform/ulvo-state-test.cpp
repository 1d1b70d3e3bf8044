// The saved state, in the test's own cache folder.
#include "platform/ulvo.h"
#include "support/ui-test.h"

#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>

namespace
{

const char *const kApp = "ulvo_state_test";

std::string state_folder()
{
    return std::string(g_get_user_cache_dir()) + "/ulvo/state";
}

gint write_state(ulvo_context_t *context, const std::string &bytes)
{
    ulvo_state_t state = {guint32(bytes.size()),
                          bytes.empty() ? nullptr : const_cast<char *>(bytes.data())};
    return ulvo_state_write(context, &state);
}

// The saved bytes, or "<error N>".
std::string read_state(ulvo_context_t *context)
{
    ulvo_state_t state = {};
    gint result = ulvo_state_read(context, &state);
    if (result != ULVO_OK)
        return "<error " + std::to_string(result) + ">";
    std::string bytes(static_cast<const char *>(state.state_data), state.state_size);
    g_free(state.state_data);
    return bytes;
}

std::string every_byte()
{
    std::string bytes;
    for (int i = 0; i < 256; i++)
        bytes += char(i);
    return "Normal\nNone\n" + bytes + std::string(3, '\0');
}

struct UlvoState : testing::Test {
    void SetUp() override
    {
        ASSERT_NE(g_getenv("DBUS_SESSION_BUS_ADDRESS"), nullptr) << "run under dbus-run-session";
        context = ulvo_initialize(kApp, "0.1", TRUE, nullptr);
        ASSERT_NE(context, nullptr);
    }
    void TearDown() override { ulvo_deinitialize(context); }
    ulvo_context_t *context = nullptr;
};

} // namespace

TEST_F(UlvoState, BytesComeBackAsWrittenAlsoAfterARestart)
{
    EXPECT_EQ(read_state(context), "<error " + std::to_string(ULVO_ERROR_NO_STATE) + ">");
    const std::string bytes = every_byte();
    ASSERT_EQ(write_state(context, bytes), ULVO_OK);
    EXPECT_EQ(read_state(context), bytes);

    ulvo_deinitialize(context);
    context = ulvo_initialize(kApp, "0.1", TRUE, nullptr);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(read_state(context), bytes);
    GStatBuf info;
    ASSERT_EQ(g_stat((state_folder() + "/" + kApp).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // A shorter state leaves nothing of the longer one behind.
    ASSERT_EQ(write_state(context, "Closed"), ULVO_OK);
    EXPECT_EQ(read_state(context), "Closed");
    ASSERT_EQ(write_state(context, ""), ULVO_OK);
    EXPECT_EQ(read_state(context), "");
}

TEST_F(UlvoState, AFailedWriteKeepsThePreviousState)
{
    const std::string previous = "Normal\nNone\nContentPane\nfile:///home/u/MyDocs\n";
    ASSERT_EQ(write_state(context, previous), ULVO_OK);

    // A file size limit stands in for a full disk: root is stopped by it too.
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    gint result;
    {
        ulvo_test::LogRecorder log("ulvo");
        result = write_state(context, std::string(65536, 'x'));
        EXPECT_TRUE(log.contains("Cannot save the state of ulvo_state_test")) << log.text();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_LT(result, 0);
    EXPECT_EQ(read_state(context), previous);

    GDir *dir = g_dir_open(state_folder().c_str(), 0, nullptr);
    ASSERT_NE(dir, nullptr);
    std::string names;
    while (const gchar *name = g_dir_read_name(dir))
        names += std::string(name) + " ";
    g_dir_close(dir);
    EXPECT_EQ(names, std::string(kApp) + " ") << "a temporary file was left behind";
}

TEST_F(UlvoState, NoFolderForTheStateIsAnErrorNotACrash)
{
    // A file where the folder should be stops root as well as anyone.
    ulvo_test::write_file(std::string(g_get_user_cache_dir()) + "/ulvo", "in the way");
    ulvo_test::LogRecorder log("ulvo");
    EXPECT_LT(write_state(context, "Closed"), 0);
    EXPECT_TRUE(log.contains("Cannot save the state")) << log.text();
    EXPECT_EQ(read_state(context).rfind("<error -", 0), 0u);
}

// The saved state, in the test's own cache folder.
#include "platform/libulvo/ulvo.h"
#include "support/ui-test.h"

#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <algorithm>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

const char *const kApp = "ulvo_state_test";

std::string state_folder()
{
    return std::string(g_get_user_cache_dir()) + "/ulvo/state";
}

// The names in the state folder, sorted.
std::vector<std::string> folder_names()
{
    std::vector<std::string> names;
    GDir *dir = g_dir_open(state_folder().c_str(), 0, nullptr);
    while (const gchar *name = dir ? g_dir_read_name(dir) : nullptr)
        names.push_back(name);
    if (dir)
        g_dir_close(dir);
    std::sort(names.begin(), names.end());
    return names;
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

    EXPECT_EQ(folder_names(), std::vector<std::string>{kApp}) << "a temporary file was left behind";
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

TEST_F(UlvoState, StatesBeyondTheBoundAreRefusedBothWays)
{
    const std::string previous = "Normal\nNone\nContentPane\nfile:///home/u/MyDocs\n";
    ASSERT_EQ(write_state(context, previous), ULVO_OK);
    {
        ulvo_test::LogRecorder log("ulvo");
        EXPECT_EQ(write_state(context, std::string(ULVO_STATE_MAX_SIZE + 1, 'x')),
                  ULVO_ERROR_INVALID_PARAMS);
        EXPECT_TRUE(log.contains("The state of ulvo_state_test is not saved")) << log.text();
    }
    EXPECT_EQ(read_state(context), previous);

    const std::string largest(ULVO_STATE_MAX_SIZE, 'y');
    ASSERT_EQ(write_state(context, largest), ULVO_OK);
    EXPECT_TRUE(read_state(context) == largest);

    // One written by someone else is not taken either.
    ulvo_test::write_file(state_folder() + "/" + kApp, largest + "z");
    ulvo_test::LogRecorder log("ulvo");
    EXPECT_EQ(read_state(context), "<error " + std::to_string(ULVO_ERROR) + ">");
    EXPECT_TRUE(log.contains("The saved state of ulvo_state_test is ignored")) << log.text();
    EXPECT_TRUE(log.contains("is larger than")) << log.text();
}

TEST_F(UlvoState, StateThatIsNoRegularFileIsIgnoredWithoutBlocking)
{
    const std::string path = state_folder() + "/" + kApp;
    ulvo_test::make_dir(state_folder());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    {
        ulvo_test::LogRecorder log("ulvo");
        std::string result;
        EXPECT_TRUE(ulvo_test::returns_despite_fifo(path, [&] { result = read_state(context); }))
            << "reading the state waited for a writer of the FIFO";
        EXPECT_EQ(result, "<error " + std::to_string(ULVO_ERROR) + ">");
        EXPECT_TRUE(log.contains("is not a regular file")) << log.text();
    }
    // Saving puts a file in its place.
    ASSERT_EQ(write_state(context, "Closed"), ULVO_OK);
    EXPECT_EQ(read_state(context), "Closed");

    ASSERT_EQ(g_unlink(path.c_str()), 0);
    ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0);
    ulvo_test::AddressSpaceCap cap(256ull << 20);
    ulvo_test::LogRecorder log("ulvo");
    EXPECT_EQ(read_state(context), "<error " + std::to_string(ULVO_ERROR) + ">");
    EXPECT_TRUE(log.contains("is not a regular file")) << log.text();
}

TEST_F(UlvoState, LeftoversOfInterruptedSavesGoOnceTheNameIsOwned)
{
    ASSERT_EQ(write_state(context, "Closed"), ULVO_OK);
    const std::string app = kApp;
    const std::vector<std::string> leftovers = {app + ".Ab3dE9", app + ".zzzzzz"};
    std::vector<std::string> kept = {app,
                                     app + ".Ab3dE",
                                     app + ".Ab3dE9x",
                                     app + ".Ab-dE9",
                                     "other_app.Ab3dE9",
                                     app + ".damaged"};
    for (const std::string &name : leftovers)
        ulvo_test::write_file(state_folder() + "/" + name, "Normal\nNo");
    for (const std::string &name : kept)
        if (name != app)
            ulvo_test::write_file(state_folder() + "/" + name, "not ours");
    ulvo_test::make_dir(state_folder() + "/" + app + ".Fold3r");
    ASSERT_EQ(symlink(app.c_str(), (state_folder() + "/" + app + ".Link12").c_str()), 0);
    kept.push_back(app + ".Fold3r");
    kept.push_back(app + ".Link12");

    // Another instance of the application, which cannot have the name,
    // must not take the files of a save that may be under way.
    EXPECT_EQ(ulvo_initialize(kApp, "0.1", TRUE, nullptr), nullptr);
    EXPECT_EQ(folder_names().size(), kept.size() + leftovers.size());

    ulvo_deinitialize(context);
    context = ulvo_initialize(kApp, "0.1", TRUE, nullptr);
    ASSERT_NE(context, nullptr);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(folder_names(), kept);
    EXPECT_EQ(read_state(context), "Closed");
}

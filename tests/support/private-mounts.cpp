#include "support/private-mounts.h"

#include <gtest/gtest.h>
#include <glib.h>
#include <sys/mount.h>

namespace ulvo_test
{

static const char *const NAMESPACE_MARK = "ULVO_TEST_PRIVATE_MOUNTS";

bool inside_private_mounts()
{
    return g_getenv(NAMESPACE_MARK) != nullptr;
}

void run_in_private_mounts()
{
    const testing::TestInfo *info = testing::UnitTest::GetInstance()->current_test_info();
    std::string filter =
        std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name();
    gchar *self = g_file_read_link("/proc/self/exe", nullptr);
    const gchar *argv[] = {"unshare", "-m",           "--propagation", "private",
                           self,      filter.c_str(), nullptr};
    gchar **env = g_environ_setenv(g_get_environ(), NAMESPACE_MARK, "1", TRUE);
    gchar *out = nullptr, *err = nullptr;
    gint status = 0;
    bool ran = g_spawn_sync(nullptr, const_cast<gchar **>(argv), env, G_SPAWN_SEARCH_PATH, nullptr,
                            nullptr, &out, &err, &status, nullptr);
    std::string output = std::string(out ? out : "") + (err ? err : "");
    g_free(out);
    g_free(err);
    g_strfreev(env);
    g_free(self);
    if (!ran)
        GTEST_SKIP() << "unshare is not installed: no private mount namespace";
    if (output.find("unshare: ") != std::string::npos)
        GTEST_SKIP() << "private mount namespaces are not permitted here:\n" << output;
    if (output.find("[  SKIPPED ]") != std::string::npos)
        GTEST_SKIP() << output;
    EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr)) << output;
}

bool mount_tmpfs(const char *source, const std::string &target)
{
    return mount(source, target.c_str(), "tmpfs", 0, "size=1m") == 0;
}

} // namespace ulvo_test

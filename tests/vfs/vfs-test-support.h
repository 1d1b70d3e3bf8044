// A folder of real files for the file layer's tests, and a way to try things
// as an ordinary user although the tests may run as root.
#pragma once

#include "support/ui-test.h"

#include <gio/gio.h>
#include <glib/gstdio.h>
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#include <functional>
#include <string>

namespace vfs_test
{

class VfsTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        // The other user of run_unprivileged must be able to walk in.
        g_chmod(ulvo_test::test_home().c_str(), 0755);
        dir_ = ulvo_test::test_home() + "/" +
               testing::UnitTest::GetInstance()->current_test_info()->name();
        ulvo_test::make_dir(dir_);
    }

    std::string path(const std::string &name) const { return dir_ + "/" + name; }

    // The file URI of path(name), escaped the way GIO spells it.
    std::string uri(const std::string &name) const
    {
        gchar *text = g_filename_to_uri(path(name).c_str(), nullptr, nullptr);
        std::string result = text ? text : "";
        g_free(text);
        return result;
    }

    std::string dir_;
};

const uid_t kNobody = 65534;

// Runs `body` in a child process and returns its exit status (-1 when it did
// not exit normally). With `as_other_user` the child first becomes "nobody"
// when this process is root, so that permissions apply to it.
inline int run_in_child(const std::function<int()> &body, bool as_other_user)
{
    // Make sure GIO's default VFS exists before the fork, not in the child.
    g_object_unref(g_file_new_for_path("/"));
    pid_t pid = fork();
    if (pid == 0) {
        if (as_other_user && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(250);
        _exit(body());
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

inline int run_unprivileged(const std::function<int()> &body)
{
    return run_in_child(body, true);
}

// A g_free'd string as std::string ("<null>" for NULL), freeing it.
inline std::string take(gchar *text)
{
    std::string result = text ? text : "<null>";
    g_free(text);
    return result;
}

} // namespace vfs_test

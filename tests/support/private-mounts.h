// Tests that mount file systems (memory cards under /media) run themselves
// again in a private mount namespace, so nothing of the machine's mounts is
// touched; they skip where that is not permitted.
#pragma once

#include <string>

namespace ulvo_test
{

// TRUE inside the copy that runs in the private mount namespace.
bool inside_private_mounts();

// Runs the current test again in a copy of this program inside a private
// mount namespace, and takes over its verdict (or skips).
void run_in_private_mounts();

// Mounts a small tmpfs named `source` on `target`; false when refused.
bool mount_tmpfs(const char *source, const std::string &target);

} // namespace ulvo_test

// Opens a test body that needs private mounts: outside, reruns the test in
// them; inside, mounts an empty tmpfs over /media or skips.
#define ULVO_TEST_IN_PRIVATE_MEDIA()                                                               \
    do {                                                                                           \
        if (!ulvo_test::inside_private_mounts()) {                                                 \
            ulvo_test::run_in_private_mounts();                                                    \
            return;                                                                                \
        }                                                                                          \
        if (!g_file_test("/media", G_FILE_TEST_IS_DIR) ||                                          \
            !ulvo_test::mount_tmpfs("media", "/media"))                                            \
            GTEST_SKIP() << "cannot mount a tmpfs over /media";                                    \
    } while (0)

// Tests that mount file systems (memory cards under /media) run themselves
// again in a private mount namespace, so the machine's mounts stay as they are.
#pragma once

#include <string>

namespace ulvo_test
{

// True in the copy of the test program that runs in the private namespace.
bool inside_private_mounts();

// Runs the current test again in a copy of this program inside a private
// mount namespace and takes over its verdict; skips the test where such a
// namespace is not permitted. The caller returns right after.
void run_in_private_mounts();

// Mounts a small tmpfs named `source` on `target`; false when refused.
bool mount_tmpfs(const char *source, const std::string &target);

} // namespace ulvo_test

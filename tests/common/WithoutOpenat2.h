#pragma once

#include <functional>

namespace testing_support {

// Runs work on a thread of its own on which the system call openat2 fails with ENOSYS, as on a
// kernel before 5.6 or in a sandbox that does not know the call; the filter binds that thread
// alone. False, with work not run, when the filter cannot be set or does not hold.
bool WithoutOpenat2(const std::function<void()> &work);

// Runs work as the system is, then again without openat2; way names the run for failure messages.
// A run without openat2 that cannot be made fails the test.
void EachWayOfOpening(const std::function<void(const char *way)> &work);

} // namespace testing_support

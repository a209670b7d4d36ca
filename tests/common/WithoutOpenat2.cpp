#include "common/WithoutOpenat2.h"

#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <thread>

namespace testing_support {

namespace {

// openat2 has the same number on every architecture, so the filter need not look at it.
bool RefuseOpenat2OnThisThread()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
        return false;
    return syscall(SYS_openat2, -1, "", nullptr, 0) == -1 && errno == ENOSYS;
}

} // namespace

bool WithoutOpenat2(const std::function<void()> &work)
{
    bool refused = false;
    std::thread thread([&] {
        refused = RefuseOpenat2OnThisThread();
        if (refused)
            work();
    });
    thread.join();
    return refused;
}

void EachWayOfOpening(const std::function<void(const char *way)> &work)
{
    work("with openat2");
    if (!WithoutOpenat2([&] { work("name by name"); }))
        ADD_FAILURE() << "openat2 could not be refused to a thread";
}

} // namespace testing_support

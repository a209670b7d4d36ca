// A name-service source for the accounts tests and the bench: one whose daemon does not answer,
// as sssd's client when its daemon hangs. Every call waits STALLED_WAIT_MS milliseconds (1000 when
// unset) and then says the source is unavailable. Each call appends its function's name as a line
// to the file that STALLED_CALLS names, so that a test can count how often the source was asked.
// Loaded by the C library as libnss_stalled.so.2 when "stalled" stands in an nsswitch.conf and the
// folder of this library is on LD_LIBRARY_PATH.

#include <fcntl.h>
#include <grp.h>
#include <nss.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

nss_status Unanswered(const char *function, int *error = nullptr)
{
    const int saved = errno;
    if (const char *calls = std::getenv("STALLED_CALLS")) {
        const int file = open(calls, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (file >= 0) {
            const std::string line = std::string(function) + '\n';
            // One write with O_APPEND, so that the lines of several processes never mix.
            [[maybe_unused]] const ssize_t written = write(file, line.data(), line.size());
            close(file);
        }
    }
    const char *wait = std::getenv("STALLED_WAIT_MS");
    std::this_thread::sleep_for(std::chrono::milliseconds(wait ? std::atol(wait) : 1000));
    // What sssd's client says after its time limit.
    if (error)
        *error = ETIMEDOUT;
    errno = saved;
    return NSS_STATUS_UNAVAIL;
}

} // namespace

extern "C" {

nss_status _nss_stalled_getpwnam_r(const char *, passwd *, char *, size_t, int *error)
{
    return Unanswered("getpwnam_r", error);
}

nss_status _nss_stalled_getpwuid_r(uid_t, passwd *, char *, size_t, int *error)
{
    return Unanswered("getpwuid_r", error);
}

nss_status _nss_stalled_getgrnam_r(const char *, group *, char *, size_t, int *error)
{
    return Unanswered("getgrnam_r", error);
}

nss_status _nss_stalled_getgrgid_r(gid_t, group *, char *, size_t, int *error)
{
    return Unanswered("getgrgid_r", error);
}

nss_status _nss_stalled_initgroups_dyn(const char *, gid_t, long *, long *, gid_t **, long, int *error)
{
    return Unanswered("initgroups_dyn", error);
}

nss_status _nss_stalled_setpwent(int) { return Unanswered("setpwent"); }
nss_status _nss_stalled_endpwent() { return Unanswered("endpwent"); }
nss_status _nss_stalled_getpwent_r(passwd *, char *, size_t, int *error) { return Unanswered("getpwent_r", error); }
nss_status _nss_stalled_setgrent(int) { return Unanswered("setgrent"); }
nss_status _nss_stalled_endgrent() { return Unanswered("endgrent"); }
nss_status _nss_stalled_getgrent_r(group *, char *, size_t, int *error) { return Unanswered("getgrent_r", error); }

} // extern "C"

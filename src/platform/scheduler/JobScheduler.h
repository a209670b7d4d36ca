#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <vector>

namespace platform::scheduler {

constexpr uint8_t JOB_RUN_PERIODICALLY = 1;

// A job: the time of day in milliseconds after midnight, the days of the month (bit 0 = day 1
// ... bit 30 = day 31), the days of the week (bit 0 = Monday ... bit 6 = Sunday), the flags and
// the command as the shell receives it. A job runs on every listed day of either kind.
struct AT_INFO {
    uint32_t JobTime = 0;
    uint32_t DaysOfMonth = 0;
    uint8_t DaysOfWeek = 0;
    uint8_t Flags = 0;
    QString Command;
};

// A job as enumeration returns it.
struct AT_ENUM : AT_INFO {
    uint32_t JobId = 0;
};

// Results of the scheduler calls.
enum : uint32_t {
    NERR_Success = 0,
    ERROR_WRITE_FAULT = 29,      // the crontab could not be installed
    ERROR_READ_FAULT = 30,       // the crontab could not be read
    ERROR_BAD_NETPATH = 53,      // a server other than this computer
    ERROR_INVALID_PARAMETER = 87 // a job cron cannot run as described
};

// True when a crontab line can carry command exactly: it has no line break and is not too long
// for cron. Add refuses any other command.
bool CronCanCarry(const QString &command);

// The scheduled jobs of this computer for the user who runs the program, kept in the user's
// crontab. Each job is one line "M H DOM * DOW command # Quillmere job N": the days of the
// month and of the week become cron's day fields (both restricted means either, as for the job
// record), every day is "* * *", and "\" and "%" in the command are escaped as cron reads them
// ("\\" and "\%"), so that the shell receives the command exactly. Lines without the marker
// (other programs' jobs, blank lines, variables) and comments (a line of ours commented out
// included) are never touched.
//
// The crontab is read once, when the object is made; Del and Add change the copy, and Commit
// installs it in one write, so a job is never lost between a removal and an addition. After a
// failed read every call returns the failure and nothing is ever written.
class JobScheduler {
public:
    // server: this computer as NssDirectory::IsThisHost names it ("" included); any other server
    // gives ERROR_BAD_NETPATH from every call.
    explicit JobScheduler(const QString &server);

    uint32_t Enum(std::vector<AT_ENUM> &jobs) const;
    // Removes the jobs whose identifiers lie from minJobId to maxJobId.
    uint32_t Del(uint32_t minJobId, uint32_t maxJobId);
    // Adds a periodic job with at least one day, and a command on one line; jobId is its new
    // identifier.
    uint32_t Add(const AT_INFO &info, uint32_t &jobId);
    // Installs the changes (nothing when there are none).
    uint32_t Commit();

private:
    uint32_t m_status = NERR_Success;
    QList<QByteArray> m_lines;
    bool m_changed = false;
};

} // namespace platform::scheduler

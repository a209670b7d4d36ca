#include "shell/modNetScheduleJobs.h"

#include "platform/directory/NssDirectory.h"
#include "platform/shell/Shell.h"
#include "support/NumericText.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace modNetScheduleJobs {

using platform::scheduler::AT_ENUM;
using platform::scheduler::AT_INFO;
using platform::scheduler::JobScheduler;
using platform::scheduler::NERR_Success;

bool IsWindowsNT() { return true; }

QString GetLocalComputerName() { return platform::directory::NssDirectory::HostShortName(); }

bool AddScheduledJob(const QString &time, const QString &dayList, const QString &commandLine, bool blnEnable)
{
    if (!IsWindowsNT())
        return true;
    JobScheduler jobs(GetLocalComputerName());
    DeleteScheduledJobs(jobs, commandLine);
    uint32_t status = NERR_Success;
    if (blnEnable) {
        AT_INFO record;
        BuildAtInfo(record, time, dayList, commandLine);
        uint32_t jobId = 0;
        status = jobs.Add(record, jobId);
    }
    // A job that cannot be added is not committed either, so the old one stays.
    if (status == NERR_Success)
        status = jobs.Commit();
    if (!blnEnable || status == NERR_Success)
        return true;
    platform::shell::MsgBox(QStringLiteral("Error while making the scheduled task."), platform::shell::vbOKOnly);
    return false;
}

void DeleteScheduledJobs(JobScheduler &jobs, const QString &commandLine)
{
    for (uint32_t id : EnumScheduledJobs(jobs, commandLine))
        jobs.Del(id, id);
}

std::vector<uint32_t> EnumScheduledJobs(const JobScheduler &jobs, const QString &commandLine)
{
    std::vector<AT_ENUM> all;
    jobs.Enum(all);
    std::vector<uint32_t> ids;
    for (const AT_ENUM &job : all) {
        if (job.Command == commandLine)
            ids.push_back(job.JobId);
    }
    return ids;
}

void BuildAtInfo(AT_INFO &record, const QString &time, const QString &dayList, const QString &commandLine)
{
    const QTime at = ReadTime(time).value_or(QTime(0, 0));
    record.JobTime = static_cast<uint32_t>(at.hour() * 3600 + at.minute() * 60) * 1000;
    const QStringList pieces = dayList.split(u',');
    if (support::Val(dayList) <= 0) {
        for (const QString &piece : pieces) {
            const auto code = std::find(WeekdayCodes.begin(), WeekdayCodes.end(), piece.toUpper());
            if (code != WeekdayCodes.end())
                record.DaysOfWeek |= static_cast<uint8_t>(1u << (code - WeekdayCodes.begin()));
        }
    } else {
        for (const QString &piece : pieces) {
            const double day = support::Val(piece);
            if (day >= 1 && day < 32)
                record.DaysOfMonth |= 1u << (static_cast<int>(day) - 1);
        }
    }
    record.Flags |= platform::scheduler::JOB_RUN_PERIODICALLY;
    record.Command = commandLine;
}

std::optional<QTime> ReadTime(const QString &text)
{
    const QString typed = text.trimmed();
    for (const char *format : {"H:mm", "H:mm:ss", "h:mm AP", "h:mm:ss AP", "h:mmAP", "h:mm:ssAP"}) {
        const QTime time = QTime::fromString(typed, QString::fromLatin1(format));
        if (time.isValid())
            return time;
    }
    const QTime local = QLocale::system().toTime(typed, QLocale::ShortFormat);
    if (local.isValid())
        return local;
    return std::nullopt;
}

bool ValidMonthDays(const QString &text)
{
    for (const QString &piece : text.split(u',')) {
        bool number = false;
        const QString day = piece.trimmed();
        const int value = day.toInt(&number);
        const bool digits = std::all_of(day.begin(), day.end(), [](QChar c) { return c.isDigit(); });
        if (!number || !digits || value < 1 || value > 31)
            return false;
    }
    return true;
}

QString ScanCommandLine(const QString &programFile)
{
    QString quoted = programFile;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + QStringLiteral("' -scan");
}

} // namespace modNetScheduleJobs

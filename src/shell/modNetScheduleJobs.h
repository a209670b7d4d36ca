#pragma once

#include "platform/scheduler/JobScheduler.h"

#include <QString>
#include <QTime>

#include <array>
#include <optional>
#include <vector>

// The scheduled scan: the program's job in the job scheduler (the user's crontab), registered
// and removed when the Settings dialog is confirmed.
namespace modNetScheduleJobs {

// The weekday codes of the schedule, Monday to Sunday: the settings file and the day lists use
// them.
inline const std::array<QString, 7> WeekdayCodes = {
    QStringLiteral("M"), QStringLiteral("T"),  QStringLiteral("W"),  QStringLiteral("TH"),
    QStringLiteral("F"), QStringLiteral("S"), QStringLiteral("SU")};

// True: the job scheduler is always there.
bool IsWindowsNT();
QString GetLocalComputerName();

// Removes this program's jobs (those whose command is commandLine) and, when blnEnable, adds
// the job at time on the days of dayList, in one change of the crontab. A job that cannot be
// made is reported with a message box, leaves the crontab as it was and gives false; a failed
// removal is not reported.
bool AddScheduledJob(const QString &time, const QString &dayList, const QString &commandLine, bool blnEnable);
void DeleteScheduledJobs(platform::scheduler::JobScheduler &jobs, const QString &commandLine);
std::vector<uint32_t> EnumScheduledJobs(const platform::scheduler::JobScheduler &jobs, const QString &commandLine);

// Fills record from the time text, the day list and the command line. A day list that begins
// with a positive number lists days of the month ("8,23"); otherwise it lists weekday codes,
// separated by commas ("M,T,W", ",T,F"), and pieces that are no code are skipped.
void BuildAtInfo(platform::scheduler::AT_INFO &record, const QString &time, const QString &dayList,
                 const QString &commandLine);

// A time of day as a user types it: "17:00", "5:00 PM", "17:00:30", or in the locale's short
// time form; nothing for anything else.
std::optional<QTime> ReadTime(const QString &text);

// True when text lists days of the month as whole numbers from 1 to 31, separated by commas
// (blanks around them allowed).
bool ValidMonthDays(const QString &text);

// The command that runs the program file unattended: its path quoted for the shell, a blank and
// "-scan". The path goes in single quotes, inside which the shell expands nothing.
QString ScanCommandLine(const QString &programFile);

} // namespace modNetScheduleJobs

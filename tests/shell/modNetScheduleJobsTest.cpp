#include "common/TestSupport.h"
#include "platform/scheduler/Crontab.h"
#include "shell/modNetScheduleJobs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <tuple>

#include <gtest/gtest.h>

using namespace modNetScheduleJobs;
using platform::scheduler::AT_ENUM;
using platform::scheduler::AT_INFO;
using platform::scheduler::JobScheduler;
using testing_support::TempProgramFolder;

namespace {

// The crontab this test's program folder points at.
QByteArray crontab() { return platform::scheduler::ReadCrontab().value_or(QByteArray()); }

const QString Command = ScanCommandLine("/opt/quill mere/quillmere");

} // namespace

TEST(modNetScheduleJobs, BuildAtInfoGivesTheJobRecordAndItsCrontabLine)
{
    const struct {
        const char *time;
        const char *days;
        uint32_t jobTime, monthDays;
        uint8_t weekDays;
        const char *fields;
    } cases[] = {
        {"17:00", "M,T,W,TH,F,S,SU", 17 * 3600000, 0, 127, "0 17 * * *"},
        {"8:30", ",T,F", (8 * 60 + 30) * 60000, 0, 0b10010, "30 8 * * 2,5"},
        {"8:30", "M,F,su", (8 * 60 + 30) * 60000, 0, 0b1010001, "30 8 * * 0,1,5"},
        {"0:00", "8,23", 0, (1u << 7) | (1u << 22), 0, "0 0 8,23 * *"},
        {"0:00", "8, 23", 0, (1u << 7) | (1u << 22), 0, "0 0 8,23 * *"},
        {"0:00", "8,8", 0, 1u << 7, 0, "0 0 8 * *"},
        {"5:15 PM", "31", (17 * 60 + 15) * 60000, 1u << 30, 0, "15 17 31 * *"},
        {"17:00:59", "M, T", 17 * 3600000, 0, 1, "0 17 * * 1"},
    };
    for (const auto &c : cases) {
        TempProgramFolder folder;
        AT_INFO record;
        BuildAtInfo(record, c.time, c.days, Command);
        const auto expected = std::make_tuple(c.jobTime, c.monthDays, c.weekDays);
        EXPECT_EQ(std::tie(record.JobTime, record.DaysOfMonth, record.DaysOfWeek), expected) << c.time << c.days;
        EXPECT_EQ(record.Flags, platform::scheduler::JOB_RUN_PERIODICALLY);

        JobScheduler jobs(GetLocalComputerName());
        uint32_t id = 0;
        ASSERT_EQ(jobs.Add(record, id), 0u) << c.days;
        ASSERT_EQ(jobs.Commit(), 0u);
        EXPECT_EQ(crontab(), QByteArray(c.fields) + " '/opt/quill mere/quillmere' -scan # Quillmere job 1\n");
        std::vector<AT_ENUM> listed;
        JobScheduler(QString()).Enum(listed);
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(std::tie(listed[0].JobTime, listed[0].DaysOfMonth, listed[0].DaysOfWeek), expected) << "read back";
    }
}

TEST(modNetScheduleJobs, TimesAndMonthDaysAreTakenAsTyped)
{
    const struct {
        const char *text;
        QTime time;
    } times[] = {
        {"17:00", QTime(17, 0)},   {"5:00 PM", QTime(17, 0)},    {"5:00 pm", QTime(17, 0)},
        {"12:05 AM", QTime(0, 5)}, {"17:00:30", QTime(17, 0, 30)}, {" 07:05 ", QTime(7, 5)},
        {"25:00", QTime()},        {"17:60", QTime()},            {"abc", QTime()},
        {"", QTime()},             {"17", QTime()},               {"13:00 PM", QTime()},
    };
    for (const auto &t : times)
        EXPECT_EQ(ReadTime(t.text).value_or(QTime()), t.time) << t.text;

    for (const char *valid : {"8,23", " 8 , 23 ", "1", "31", "8,8"})
        EXPECT_TRUE(ValidMonthDays(valid)) << valid;
    for (const char *invalid : {"", "0", "32", "-1", "8,,23", "8,", ",8", "abc", "8.5", "8 23", "+8"})
        EXPECT_FALSE(ValidMonthDays(invalid)) << invalid;
}

TEST(modNetScheduleJobs, ConfirmingTouchesOnlyThisProgramsJob)
{
    TempProgramFolder folder;
    testing_support::ScriptedShell shell;
    const QByteArray others = "# m h dom mon dow command\n"
                              "MAILTO=admin\n"
                              "\n"
                              "15 3 * * * /usr/bin/backup --all\r\n"
                              "0 1 * * * '/srv/other copy/quillmere' -scan # Quillmere job 7\n"
                              "5 2 * * 1 logrotate # Quillmere job 2 is not ours\n"
                              "#30 5 * * 1 " + Command.toUtf8() + " # Quillmere job 4"; // switched off by hand
    platform::scheduler::WriteCrontab(others + "\n0 6 * * 1 " + Command.toUtf8() + " # Quillmere job 3"); // no final line end

    AddScheduledJob("17:00", "M,T,W,TH,F,S,SU", Command, true);
    AddScheduledJob("18:30", "1,15", Command, true);
    EXPECT_EQ(crontab(), others + "\n30 18 1,15 * * " + Command.toUtf8() + " # Quillmere job 8\n");

    AddScheduledJob("18:30", "", Command, false);
    EXPECT_EQ(crontab(), others + "\n");
    AddScheduledJob("", "", Command, false);
    EXPECT_EQ(crontab(), others + "\n");
    EXPECT_TRUE(shell.prompts.empty());

    // A job cron cannot run, or a command it cannot hold, leaves the crontab as it was.
    AddScheduledJob("17:00", "SU", Command, true);
    const QByteArray scheduled = crontab();
    AddScheduledJob("17:00", "", Command, true);
    AddScheduledJob("17:00", "SU", ScanCommandLine("/opt/two\nlines/quillmere"), true);
    EXPECT_EQ(crontab(), scheduled);
    ASSERT_EQ(shell.prompts.size(), 2u);
    EXPECT_EQ(shell.prompts[0].text, "Error while making the scheduled task.");
    EXPECT_EQ(shell.prompts[0].title, "Quill Mere");
}

TEST(modNetScheduleJobs, ACrontabThatCannotBeReadIsNeverWritten)
{
    TempProgramFolder folder;
    testing_support::ScriptedShell shell;
    QDir().mkpath(folder.CrontabFile()); // a directory cannot be read as a crontab

    AddScheduledJob("17:00", "M", Command, false);
    EXPECT_TRUE(shell.prompts.empty()) << "removal failures are not reported";
    AddScheduledJob("17:00", "M", Command, true);
    EXPECT_EQ(shell.prompts.size(), 1u);
    EXPECT_TRUE(QFileInfo(folder.CrontabFile()).isDir());
    EXPECT_EQ(JobScheduler("no-such-server").Commit(), platform::scheduler::ERROR_BAD_NETPATH);
}

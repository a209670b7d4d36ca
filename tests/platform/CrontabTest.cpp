#include "common/MountNamespace.h"
#include "common/TestSupport.h"
#include "platform/scheduler/Crontab.h"
#include "platform/scheduler/JobScheduler.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tuple>

#include <gtest/gtest.h>

using namespace platform::scheduler;

namespace {

const QString Spool = QStringLiteral("/var/spool/cron/crontabs");

// Runs body on a thread of its own mount namespace, with an empty temporary folder over the
// crontab spool, so that the real crontab command works without touching the machine's own
// crontabs. Returns what went wrong before body could run.
QString withPrivateSpool(const std::function<void()> &body)
{
    QTemporaryDir spool;
    return testing_support::InPrivateMounts([&] {
        const QByteArray source = spool.path().toUtf8();
        const group *crontabGroup = getgrnam("crontab");
        if (!crontabGroup || chown(source, 0, crontabGroup->gr_gid) != 0 || chmod(source, 01730) != 0)
            return QStringLiteral("cannot prepare a folder for ") + Spool;
        return testing_support::Bind(spool.path(), Spool);
    }, body);
}

QByteArray listCrontab()
{
    QProcess crontab;
    crontab.start("crontab", {"-l"});
    crontab.waitForFinished();
    return crontab.readAllStandardOutput();
}

} // namespace

TEST(Crontab, TheRealCommandKeepsOtherLinesAndOneJobOfOurs)
{
    ASSERT_TRUE(QFile::exists(Spool)) << "the cron package is not installed";
    const QStringList before = QDir(Spool).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    testing_support::TempProgramFolder folder;
    SetCrontabFile({});

    const QByteArray others = "MAILTO=\"\"\n# nightly\n15 3 * * * /usr/bin/backup 50\\% --all\n";
    AT_INFO job;
    job.JobTime = (21 * 60 + 5) * 60000;
    job.DaysOfWeek = 0b1000001; // Monday and Sunday
    job.DaysOfMonth = 1;
    job.Flags = JOB_RUN_PERIODICALLY;
    job.Command = QStringLiteral("'/opt/100%6 sure/quillmere' -scan");
    const QString failure = withPrivateSpool([&] {
        ASSERT_EQ(ReadCrontab(), QByteArray()) << "no crontab yet reads as an empty one";
        ASSERT_TRUE(WriteCrontab(others));
        {
            JobScheduler jobs{QString()};
            uint32_t id = 0;
            ASSERT_EQ(jobs.Add(job, id), NERR_Success);
            EXPECT_EQ(id, 1u);
            ASSERT_EQ(jobs.Commit(), NERR_Success);
        }
        EXPECT_EQ(listCrontab(), others + "5 21 1 * 0,1 '/opt/100\\%6 sure/quillmere' -scan # Quillmere job 1\n");
        std::vector<AT_ENUM> listed;
        JobScheduler jobs{QString()};
        ASSERT_EQ(jobs.Enum(listed), NERR_Success);
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].Command, job.Command);
        EXPECT_EQ(std::tie(listed[0].JobTime, listed[0].DaysOfMonth, listed[0].DaysOfWeek),
                  std::tie(job.JobTime, job.DaysOfMonth, job.DaysOfWeek));
        ASSERT_EQ(jobs.Del(1, 1), NERR_Success);
        ASSERT_EQ(jobs.Commit(), NERR_Success);
        EXPECT_EQ(listCrontab(), others);
    });
    ASSERT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_EQ(QDir(Spool).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
}

// Whatever the command holds, the shell receives it exactly, or the job is refused and nothing
// is written.
TEST(Crontab, ACommandReachesTheShellExactlyOrIsRefused)
{
    testing_support::TempProgramFolder folder;
    AT_INFO job;
    job.DaysOfWeek = 1;
    job.Flags = JOB_RUN_PERIODICALLY;
    const QString longest = QString(u'é').repeated(484) + u'%' + u'x'; // 971 bytes escaped
    for (const QString &command :
         {QStringLiteral("'/opt/bs\\%x y/quillmere' -scan"), QStringLiteral("a\\\\%b \\\\\\%c %%d"),
          QStringLiteral("/opt/a\\\\b\\c/q"), QStringLiteral("trailing\\"), QStringLiteral("100% sure"), longest}) {
        job.Command = command;
        uint32_t id = 0;
        JobScheduler jobs{QString()};
        ASSERT_EQ(jobs.Add(job, id), NERR_Success) << command.toStdString();
        ASSERT_EQ(jobs.Commit(), NERR_Success);
        const QString line = QString::fromUtf8(ReadCrontab().value_or(QByteArray())).trimmed();
        EXPECT_EQ(testing_support::CronCommand(line), command + " # Quillmere job " + QString::number(id));
        std::vector<AT_ENUM> listed;
        JobScheduler(QString()).Enum(listed);
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].Command, command);
        QFile::remove(folder.CrontabFile());
    }
    for (const QString &command : {QStringLiteral("/opt/two\nlines"), QStringLiteral("/opt/two\rlines"), longest + u'x'}) {
        job.Command = command;
        uint32_t id = 0;
        JobScheduler jobs{QString()};
        EXPECT_EQ(jobs.Add(job, id), ERROR_INVALID_PARAMETER) << command.toStdString();
    }
    EXPECT_FALSE(QFile::exists(folder.CrontabFile()));
}

#include "support/DateText.h"

#include "common/TestSupport.h"

#include <QCoreApplication>
#include <QProcess>

#include <ctime>

#include <gtest/gtest.h>

using support::DateText;
using support::ReadDateText;

namespace {
const QDateTime kAfternoon(QDate(2005, 3, 7), QTime(14, 5, 9));

// The local time zone, as the TZ variable sets it, for the life of the object.
class LocalZone {
public:
    explicit LocalZone(const char *zone) : m_had(qEnvironmentVariableIsSet("TZ")), m_old(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    bool m_had;
    QByteArray m_old;
};
} // namespace

// Stored dates have one form, so that a reader in any locale reads back the same second.
TEST(DateText, StoredDatesReadBackToTheSameSecondInEveryLocale)
{
    const QDateTime values[] = {
        kAfternoon,
        QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)),
        QDateTime(QDate(2024, 2, 29), QTime(0, 0, 1)),
        QDateTime(QDate(2031, 10, 12), QTime(0, 0)), // midnight: written without the time
        QDateTime(QDate(1000, 1, 1), QTime(0, 0)),
    };
    for (const QDateTime &value : values) {
        const QString text = DateText(value);
        for (const char *name : {"C", "en_US", "de_DE", "fi_FI", "ja_JP", "fa_IR", "ar_EG"})
            EXPECT_EQ(ReadDateText(text, QLocale(QString::fromLatin1(name))), value) << name << ": " << text.toStdString();
    }
    EXPECT_EQ(DateText(kAfternoon), u"2005-03-07 14:05:09"_qs);
    EXPECT_EQ(DateText(QDateTime(QDate(2005, 3, 7), QTime(0, 0))), u"2005-03-07"_qs);
}

TEST(DateText, ReadsTheNoDateTextAndTheRegionalTextsOfEarlierVersions)
{
    for (const char *name : {"C", "en_US", "de_DE", "ja_JP"}) {
        const QLocale locale(QString::fromLatin1(name));
        EXPECT_EQ(ReadDateText(u"01/01/1000"_qs, locale), QDateTime(QDate(1000, 1, 1), QTime(0, 0, 0))) << name;
        // Written by a run without a locale (cron): the C form.
        EXPECT_EQ(ReadDateText(u"7 Mar 2005 14:05:09"_qs, locale), kAfternoon) << name;
        EXPECT_EQ(ReadDateText(u"2005-03-07T14:05:09"_qs, locale), kAfternoon) << name;
        EXPECT_FALSE(ReadDateText(u"yesterday"_qs, locale).isValid()) << name;
        EXPECT_FALSE(ReadDateText(QString(), locale).isValid()) << name;
    }
    EXPECT_EQ(ReadDateText(u"07.03.2005 14:05:09"_qs, QLocale(u"de_DE"_qs)), kAfternoon);
    EXPECT_EQ(ReadDateText(u"3/7/2005 2:05:09 PM"_qs, QLocale(u"en_US"_qs)), kAfternoon);
    // A text in another locale's order is not misread as some other day.
    EXPECT_FALSE(ReadDateText(u"3/7/2005 2:05:09 PM"_qs, QLocale(u"de_DE"_qs)).isValid());
}

// The reader of a whole list reads the stored form itself and must come to exactly what the
// general reader gives: on the edges of the calendar and of the form, and on the days a clock is
// put forward (a time that day skips is no date) or back, also at midnight and by half an hour.
TEST(DateText, ListReaderAgreesWithTheGeneralReader)
{
    const char *const zones[] = {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "<-03>3<-02>,M10.3.0/0,M2.3.0/0",
                                 "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0"};
    const char *const texts[] = {
        "2005-03-07 14:05:09", "2005-03-07", "01/01/1000", "1000-01-01 00:00:00", "1000-01-01", "9999-12-31 23:59:59",
        "9999-12-31", "0001-01-01 00:00:00", "0000-01-01", "2024-02-29 12:00:00", "2023-02-29 12:00:00", "2005-13-01",
        "2005-00-10", "2005-01-32", "2005-03-07 24:00:00", "2005-03-07 23:60:00", "2005-03-07 23:59:60",
        "2005-03-07 00:00:00", " 2005-03-07 14:05:09", "2005-3-7 14:05:09", "2005-03-07T14:05:09", "2005-03-07 14:05",
        "2005/03/07", "+005-03-07", "2005-03-07 14:05:0x", "7 Mar 2005 14:05:09", "", "not a date",
        // the days the zones above change their clocks
        "2005-03-27 01:59:59", "2005-03-27 02:00:00", "2005-03-27 02:30:00", "2005-03-27 03:00:00", "2005-03-27",
        "2005-10-30 02:30:00", "2005-10-16", "2005-10-16 00:30:00", "2005-10-16 01:00:00", "2006-02-18 23:30:00",
        "2006-02-19", "2005-10-02 02:15:00", "2005-10-02", "2005-04-03 01:45:00"};
    for (const char *zone : zones) {
        const LocalZone local(zone);
        support::DateTextReader reader(QLocale::c());
        for (const char *text : texts) {
            const QString value = QString::fromLatin1(text);
            const support::LocalDateTime general(ReadDateText(value, QLocale::c()));
            EXPECT_TRUE(reader.Read(value.toUtf8()) == general) << zone << ": " << text;
        }
    }
    // The clock put forward skips the time, and put back shows it twice.
    const LocalZone local(zones[1]);
    support::DateTextReader reader;
    EXPECT_FALSE(reader.Read("2005-03-27 02:30:00").isValid());
    EXPECT_EQ(reader.Read("2005-10-30 02:30:00"), support::LocalDateTime(QDate(2005, 10, 30), QTime(2, 30)));
}

// The scan log's date and time are regional. The system locale is read once per process, so each
// environment gets a child process: this same test, which in the child only prints the date and
// time in the locale it started with.
TEST(DateText, SystemLocaleFollowsTheEnvironment)
{
    if (qEnvironmentVariableIsSet("QUILL_DATE_TEXT_CHILD")) {
        const QString text = support::ShortDateText(kAfternoon.date()) + u' ' + support::TimeText(kAfternoon.time());
        std::printf("<<%s>>\n", text.toUtf8().constData());
        return;
    }
    const std::pair<QStringList, QString> cases[] = {
        {{u"LANG=de_DE.UTF-8"_qs}, u"07.03.2005 14:05:09"_qs},
        {{u"LANG=en_US.UTF-8"_qs, u"LC_TIME=de_DE.UTF-8"_qs}, u"07.03.2005 14:05:09"_qs},
        {{u"LANG=de_DE.UTF-8"_qs, u"LC_ALL=en_US.UTF-8"_qs}, u"3/7/2005 2:05:09 PM"_qs},
        {{u"LANG=C"_qs}, u"7 Mar 2005 14:05:09"_qs},
    };
    for (const auto &[variables, expected] : cases) {
        QStringList environment = QProcess::systemEnvironment();
        environment.removeIf([](const QString &entry) {
            return entry.startsWith(u"LANG="_qs) || entry.startsWith(u"LC_"_qs) || entry.startsWith(u"LANGUAGE="_qs);
        });
        QProcess child;
        child.setEnvironment(environment + variables + QStringList{u"QUILL_DATE_TEXT_CHILD=1"_qs});
        child.start(QCoreApplication::applicationFilePath(),
                    {u"--gtest_filter=DateText.SystemLocaleFollowsTheEnvironment"_qs});
        ASSERT_TRUE(child.waitForFinished(30000));
        const QString output = QString::fromUtf8(child.readAllStandardOutput());
        EXPECT_TRUE(output.contains(u"<<"_qs + expected + u">>"_qs))
            << variables.join(u' ').toStdString() << "\n" << output.toStdString();
    }
}

#pragma once

#include "support/LocalDateTime.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QString>

namespace support {

// Dates the program stores as text (a user's last login, the date of the last scan) must read back
// to the same second whoever reads them: a cron run in the C locale, an administrator in another
// country. They are written in one form whatever the locale, "2005-03-07 14:05:09" (at midnight
// the date alone), and read in that form, as the fixed text for no date, and as the regional
// short forms that earlier versions wrote.
//
// The scan log, which nobody reads back, shows the regional short date and time: the locale's
// short date with a four-digit year and its short time with seconds. On Linux the locale comes
// from LC_ALL, LC_TIME or LANG (QLocale::system()); QLocale::setDefault does not change it.

// The fixed text that stands for "no date" (an account that has never logged in). It reads as
// 1 January 1000, 00:00:00 whatever the locale.
inline const QString kNoDateText = QStringLiteral("01/01/1000");

// The stored form of a date and time.
QString DateText(const QDateTime &value);
// "2005-03-07 14:05:09", the time also at midnight; "" for an invalid value.
QString DateAndTimeText(const LocalDateTime &value);

// The regional short date and time with seconds of the scan log.
QString ShortDateText(const QDate &value, const QLocale &locale = QLocale::system());
QString TimeText(const QTime &value, const QLocale &locale = QLocale::system());

// The date and time of a stored text: DateText's form, kNoDateText, ISO 8601, or a regional
// short form of this locale or of the C locale (written by an earlier version, or by a cron run
// of one). An invalid QDateTime when the text is none of these.
QDateTime ReadDateText(const QString &text, const QLocale &locale = QLocale::system());

// Reads many stored texts (the last logins of a user list) to exactly the date and time that
// ReadDateText gives, but quickly: a text in the stored form is read digit by digit, the no-date
// text is known, and only the other texts go through ReadDateText, which parses through the locale and makes a local
// QDateTime each time. A time of day is a date only where the local clock shows it: on a day
// whose clock is put forward or back, the reader asks ReadDateText too. Which days those are it
// works out once per day and keeps, so one reader serves one list.
class DateTextReader {
public:
    explicit DateTextReader(const QLocale &locale = QLocale::system()) : m_locale(locale) {}

    // The date and time of a text in UTF-8 (as the database holds it); invalid where
    // ReadDateText finds no date.
    LocalDateTime Read(QByteArrayView text);

private:
    // Whether the local clock runs through day from midnight to midnight without a change.
    bool SteadyDay(QDate day);

    QLocale m_locale;
    QHash<qint64, bool> m_steadyDays; // by Julian day
};

// The date a date variable holds before anything is assigned: 30 December 1899, 00:00:00.
LocalDateTime ZeroDate();

} // namespace support

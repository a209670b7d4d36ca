#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace support {

// Dates the program stores as text (a user's last login, the date of the last scan) are written
// in the regional format of the user's environment and read back to the same second.
//
// The form is the locale's short date with a four-digit year, followed by a blank and the
// locale's short time with seconds; at midnight the time is left out. On Linux the locale comes
// from LC_ALL, LC_TIME or LANG (QLocale::system()); QLocale::setDefault does not change it.

// The fixed text that stands for "no date" (an account that has never logged in). It reads as
// 1 January 1000, 00:00:00 whatever the locale.
inline const QString kNoDateText = QStringLiteral("01/01/1000");

QString DateText(const QDateTime &value, const QLocale &locale = QLocale::system());

// The two halves of DateText on their own: the date, and the time with seconds.
QString ShortDateText(const QDate &value, const QLocale &locale = QLocale::system());
QString TimeText(const QTime &value, const QLocale &locale = QLocale::system());

// The date and time of a text written by DateText, in this locale or (for a file written by a
// run without a locale, such as one started from cron) in the C locale; ISO 8601 texts and
// kNoDateText are read as well. An invalid QDateTime when the text is none of these.
QDateTime ReadDateText(const QString &text, const QLocale &locale = QLocale::system());

// The date a date variable holds before anything is assigned: 30 December 1899, 00:00:00.
QDateTime ZeroDate();

} // namespace support

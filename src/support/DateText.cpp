#include "support/DateText.h"

namespace support {

namespace {
// Calls visit(position, character) for every character of a date/time format that is a
// format letter, not part of a quoted literal.
template <typename Visit> void forEachFormatLetter(const QString &format, Visit visit)
{
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'\'')
            quoted = !quoted;
        else if (!quoted)
            visit(i, format[i]);
    }
}

// Two-digit years cannot be read back to the right century: every run of "y" becomes "yyyy".
QString fourDigitYears(const QString &format)
{
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'')
            quoted = !quoted;
        if (quoted || c != u'y') {
            result += c;
            continue;
        }
        while (i + 1 < format.size() && format[i + 1] == u'y')
            ++i;
        result += QStringLiteral("yyyy");
    }
    return result;
}

// The short time has no seconds in most locales: they go after the minutes, with the
// separator that stands before the minutes.
QString withSeconds(const QString &format)
{
    bool hasSeconds = false;
    qsizetype minutesEnd = -1;
    forEachFormatLetter(format, [&](qsizetype i, QChar c) {
        if (c == u's')
            hasSeconds = true;
        if (c == u'm')
            minutesEnd = i + 1;
    });
    if (hasSeconds)
        return format;
    if (minutesEnd < 0)
        return QStringLiteral("HH:mm:ss");
    qsizetype minutesStart = minutesEnd - 1;
    while (minutesStart > 0 && format[minutesStart - 1] == u'm')
        --minutesStart;
    const QChar before = minutesStart > 0 ? format[minutesStart - 1] : QChar(u':');
    const QString separator = before.isLetter() || before == u'\'' || before.isSpace() ? QStringLiteral(":") : QString(before);
    return format.left(minutesEnd) + separator + QStringLiteral("ss") + format.mid(minutesEnd);
}

QString dateFormat(const QLocale &locale) { return fourDigitYears(locale.dateFormat(QLocale::ShortFormat)); }

QString timeFormat(const QLocale &locale) { return withSeconds(locale.timeFormat(QLocale::ShortFormat)); }

QDateTime readIn(const QString &text, const QLocale &locale)
{
    const QString date = dateFormat(locale);
    QDateTime value = locale.toDateTime(text, date + u' ' + timeFormat(locale));
    if (!value.isValid()) {
        const QDate day = locale.toDate(text, date);
        if (day.isValid())
            value = QDateTime(day, QTime(0, 0));
    }
    return value;
}

// The stored form, the same in every locale.
const QString StoredDate = QStringLiteral("yyyy-MM-dd");
const QString StoredDateAndTime = QStringLiteral("yyyy-MM-dd HH:mm:ss");

} // namespace

QString DateText(const QDateTime &value)
{
    const QTime time = value.time();
    const bool midnight = time.hour() == 0 && time.minute() == 0 && time.second() == 0;
    return QLocale::c().toString(value, midnight ? StoredDate : StoredDateAndTime);
}

QString ShortDateText(const QDate &value, const QLocale &locale) { return locale.toString(value, dateFormat(locale)); }

QString TimeText(const QTime &value, const QLocale &locale) { return locale.toString(value, timeFormat(locale)); }

QDateTime ReadDateText(const QString &text, const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed == kNoDateText)
        return QDateTime(QDate(1000, 1, 1), QTime(0, 0));
    QDateTime value = QLocale::c().toDateTime(trimmed, StoredDateAndTime);
    if (!value.isValid())
        value = QLocale::c().toDateTime(trimmed, StoredDate);
    if (!value.isValid())
        value = readIn(trimmed, locale);
    if (!value.isValid() && locale != QLocale::c())
        value = readIn(trimmed, QLocale::c());
    if (!value.isValid())
        value = QDateTime::fromString(trimmed, Qt::ISODate);
    return value;
}

QDateTime ZeroDate() { return QDateTime(QDate(1899, 12, 30), QTime(0, 0)); }

} // namespace support

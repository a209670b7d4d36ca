#include "support/DateText.h"

#include <optional>

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

// The number that count ASCII digits at position at write, -1 when one of them is no digit.
int digitsAt(QByteArrayView text, qsizetype at, qsizetype count)
{
    int value = 0;
    for (qsizetype i = at; i < at + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The date and time of a text exactly in the stored form ("2005-03-07 14:05:09", or the date
// alone for midnight) that names a day and a time of day; nothing for any other text.
std::optional<LocalDateTime> storedForm(QByteArrayView text)
{
    if ((text.size() != 10 && text.size() != 19) || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    const int year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2), day = digitsAt(text, 8, 2);
    if (year < 0 || month < 0 || day < 0 || !QDate::isValid(year, month, day))
        return std::nullopt;
    if (text.size() == 10)
        return LocalDateTime(QDate(year, month, day), QTime(0, 0));
    if (text[10] != ' ' || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    const int hour = digitsAt(text, 11, 2), minute = digitsAt(text, 14, 2), second = digitsAt(text, 17, 2);
    if (hour < 0 || minute < 0 || second < 0 || !QTime::isValid(hour, minute, second))
        return std::nullopt;
    return LocalDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

} // namespace

QString DateText(const QDateTime &value)
{
    const QTime time = value.time();
    const bool midnight = time.hour() == 0 && time.minute() == 0 && time.second() == 0;
    const QString text = DateAndTimeText(LocalDateTime(value));
    return midnight ? text.chopped(9) : text; // without " 00:00:00"
}

// Written digit by digit: a format is parsed anew on every call, which a list of many thousands
// of dates feels. Years of other than four digits take the format's way (in UTC, which has no
// zone to look up; the format shows none).
QString DateAndTimeText(const LocalDateTime &value)
{
    if (!value.isValid())
        return {};
    const QDate date = value.date();
    if (date.year() < 1000 || date.year() > 9999)
        return QLocale::c().toString(QDateTime(date, value.time(), Qt::UTC), StoredDateAndTime);
    const QTime time = value.time();
    char16_t text[] = u"0000-00-00 00:00:00";
    const auto put = [&text](qsizetype end, int number) {
        for (qsizetype i = end; number > 0; --i, number /= 10)
            text[i] = char16_t(u'0' + number % 10);
    };
    put(3, date.year());
    put(6, date.month());
    put(9, date.day());
    put(12, time.hour());
    put(15, time.minute());
    put(18, time.second());
    return QString(reinterpret_cast<const QChar *>(text), qsizetype(std::size(text) - 1));
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

LocalDateTime DateTextReader::Read(QByteArrayView text)
{
    const std::optional<LocalDateTime> stored =
        QLatin1StringView(text.data(), text.size()) == kNoDateText ? LocalDateTime(QDate(1000, 1, 1), QTime(0, 0)) : storedForm(text);
    if (stored && SteadyDay(stored->date()))
        return *stored;
    return LocalDateTime(ReadDateText(QString::fromUtf8(text), m_locale));
}

// A clock that is put forward skips times of that day, which then are no dates; zones change
// their clock at most once a day, so a day whose two midnights lie 24 hours apart shows every
// time once.
bool DateTextReader::SteadyDay(QDate day)
{
    const qint64 key = day.toJulianDay();
    if (const auto found = m_steadyDays.constFind(key); found != m_steadyDays.cend())
        return *found;
    const QDateTime start(day, QTime(0, 0));
    const QDateTime end(day.addDays(1), QTime(0, 0));
    const bool steady = start.isValid() && end.isValid() && start.secsTo(end) == 24 * 60 * 60;
    m_steadyDays.insert(key, steady);
    return steady;
}

LocalDateTime ZeroDate() { return LocalDateTime(QDate(1899, 12, 30), QTime(0, 0)); }

} // namespace support

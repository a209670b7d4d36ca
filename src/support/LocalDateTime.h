#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace support {

// A date and time of day as a date variable holds it: the day and the time on the local clock,
// with no time zone looked up. (Making a local QDateTime looks the zone up every time, which
// costs more than reading a whole row of a list.)
class LocalDateTime {
public:
    LocalDateTime() = default;
    LocalDateTime(QDate date, QTime time) : m_date(date), m_time(time) {}
    // The day and time of value; an invalid value gives an invalid one.
    explicit LocalDateTime(const QDateTime &value)
    {
        if (value.isValid())
            *this = LocalDateTime(value.date(), value.time());
    }

    QDate date() const { return m_date; }
    QTime time() const { return m_time; }
    bool isValid() const { return m_date.isValid() && m_time.isValid(); }
    // As a QDateTime in local time.
    QDateTime toDateTime() const { return QDateTime(m_date, m_time); }

    bool operator==(const LocalDateTime &) const = default;

private:
    QDate m_date;
    QTime m_time;
};

} // namespace support

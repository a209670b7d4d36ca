#include "net/SocketBytes.h"

#include "support/DateText.h"
#include "support/VarType.h"

#include <QDateTime>
#include <QtEndian>

#include <cmath>

namespace SocketBytes {

namespace {

using namespace support;

constexpr double MsecsPerDay = 86400000.0;
// The dates a date value can hold: 1 January 100 to 31 December 9999.
constexpr double FirstDate = -657434.0;
constexpr double LastDate = 2958466.0;

template <typename T>
QByteArray littleEndian(T value)
{
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    qToLittleEndian(value, bytes.data());
    return bytes;
}

template <typename T>
T fromLittleEndian(const QByteArray &bytes)
{
    return qFromLittleEndian<T>(bytes.constData());
}

// A date as a count of days since 30 December 1899 with the time of day as its fraction; before
// that day the fraction still counts forward from the day's midnight (-1.25 is 29 December,
// 06:00).
double dateValue(const QDateTime &date)
{
    const double days = static_cast<double>(ZeroDate().date().daysTo(date.date()));
    const double fraction = date.time().msecsSinceStartOfDay() / MsecsPerDay;
    return days < 0 ? days - fraction : days + fraction;
}

// An invalid QDateTime for a value outside the dates (bytes from the network can be anything).
QDateTime dateOf(double value)
{
    if (!(value > FirstDate - 1 && value < LastDate))
        return {};
    const double days = std::trunc(value);
    const auto msecs = static_cast<qint64>(std::llround(std::fabs(value - days) * MsecsPerDay));
    const QDate day = ZeroDate().date().addDays(static_cast<qint64>(days));
    return QDateTime(day, QTime(0, 0)).addMSecs(msecs);
}

} // namespace

std::optional<QByteArray> Of(const QVariant &Data)
{
    switch (VarTypeOf(Data)) {
    case vbByte: return littleEndian(Data.value<uint8_t>());
    case vbInteger: return littleEndian(Data.value<int16_t>());
    case vbBoolean: return littleEndian<int16_t>(Data.toBool() ? -1 : 0);
    case vbLong: return littleEndian(Data.value<int32_t>());
    case vbSingle: return littleEndian(Data.value<float>());
    case vbDouble: return littleEndian(Data.value<double>());
    case vbCurrency: return littleEndian(Data.value<Currency>().value);
    case vbDate: return littleEndian(dateValue(Data.toDateTime()));
    case vbString: return Data.toString().toLatin1();
    case vbByteArray: return Data.toByteArray();
    default: return std::nullopt;
    }
}

int FixedSize(int32_t varType)
{
    switch (varType) {
    case vbByte: return 1;
    case vbInteger:
    case vbBoolean: return 2;
    case vbLong:
    case vbSingle: return 4;
    case vbDouble:
    case vbCurrency:
    case vbDate: return 8;
    default: return 0;
    }
}

QVariant ValueOf(int32_t varType, const QByteArray &bytes)
{
    switch (varType) {
    case vbByte: return QVariant::fromValue(static_cast<uint8_t>(bytes.at(0)));
    case vbInteger: return QVariant::fromValue(fromLittleEndian<int16_t>(bytes));
    case vbBoolean: return fromLittleEndian<int16_t>(bytes) != 0;
    case vbLong: return QVariant::fromValue(fromLittleEndian<int32_t>(bytes));
    case vbSingle: return fromLittleEndian<float>(bytes);
    case vbDouble: return fromLittleEndian<double>(bytes);
    case vbCurrency: return QVariant::fromValue(Currency{fromLittleEndian<int64_t>(bytes)});
    case vbDate: return dateOf(fromLittleEndian<double>(bytes));
    default: return {};
    }
}

} // namespace SocketBytes

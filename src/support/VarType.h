#pragma once

#include <QMetaType>
#include <QVariant>

#include <cstdint>

namespace support {

// A fixed-point amount with four decimals, kept as its count of ten-thousandths.
struct Currency {
    int64_t value = 0;
    friend bool operator==(Currency, Currency) = default;
};

// The type codes of values held in a QVariant, as the socket class reads and writes them:
// Byte is uint8_t, Integer int16_t, Long int32_t, Single float, Double double, Currency
// support::Currency, Date QDateTime, String QString, Boolean bool, Byte array QByteArray.
enum VarType : int32_t {
    vbEmpty = 0,      // an invalid QVariant
    vbInteger = 2,
    vbLong = 3,
    vbSingle = 4,
    vbDouble = 5,
    vbCurrency = 6,
    vbDate = 7,
    vbString = 8,
    vbBoolean = 11,
    vbByte = 17,
    vbArray = 8192,
    vbByteArray = vbArray | vbByte,
    vbUnsupported = -1, // any other type
};

VarType VarTypeOf(const QVariant &value);

// Whether value counts as a number: a number or a flag, or a text that reads whole as a number
// (blanks around it allowed).
bool IsNumeric(const QVariant &value);
// The number a numeric value stands for (true is -1, a Currency its amount); 0 for any other.
double NumberOf(const QVariant &value);

} // namespace support

Q_DECLARE_METATYPE(support::Currency)

#pragma once

#include <QString>
#include <cstdint>

namespace support {

// The leading number of a text, as BASIC's Val reads it: leading blanks are skipped, then an
// optional sign, digits with at most one decimal point and an optional exponent. A text that
// does not begin with a number counts as 0. Blanks inside the number are not skipped.
double Val(const QString &text);

// Whole-number conversions: halves round to the even neighbour (2.5 -> 2, 3.5 -> 4); a value
// outside the type's range raises error 6 "Overflow".
int16_t CInt(double value);
int32_t CLng(double value);

} // namespace support

#include "support/NumericText.h"

#include "support/Error.h"

#include <cmath>
#include <limits>

namespace support {

namespace {

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Length of the run of digits starting at pos.
qsizetype digitRun(const QString &text, qsizetype pos)
{
    qsizetype end = pos;
    while (end < text.size() && isDigit(text.at(end)))
        ++end;
    return end - pos;
}

template <typename Int>
Int roundToEven(double value)
{
    const double rounded = std::nearbyint(value); // the default rounding mode is to nearest-even
    if (!std::isfinite(rounded) || rounded < double(std::numeric_limits<Int>::min())
        || rounded > double(std::numeric_limits<Int>::max()))
        throw Error(6, QStringLiteral("Overflow"));
    return static_cast<Int>(rounded);
}

} // namespace

double Val(const QString &text)
{
    qsizetype pos = 0;
    while (pos < text.size() && (text.at(pos) == u' ' || text.at(pos) == u'\t' || text.at(pos) == u'\n'
                                 || text.at(pos) == u'\r'))
        ++pos;
    const qsizetype start = pos;
    if (pos < text.size() && (text.at(pos) == u'+' || text.at(pos) == u'-'))
        ++pos;
    const qsizetype intDigits = digitRun(text, pos);
    pos += intDigits;
    qsizetype fracDigits = 0;
    if (pos < text.size() && text.at(pos) == u'.') {
        fracDigits = digitRun(text, pos + 1);
        pos += 1 + fracDigits;
    }
    if (intDigits + fracDigits == 0)
        return 0;
    if (pos < text.size() && (text.at(pos) == u'e' || text.at(pos) == u'E')) {
        qsizetype expPos = pos + 1;
        if (expPos < text.size() && (text.at(expPos) == u'+' || text.at(expPos) == u'-'))
            ++expPos;
        if (const qsizetype expDigits = digitRun(text, expPos); expDigits > 0)
            pos = expPos + expDigits;
    }
    bool ok = false;
    const double value = text.mid(start, pos - start).toDouble(&ok);
    return ok ? value : 0;
}

int16_t CInt(double value) { return roundToEven<int16_t>(value); }

int32_t CLng(double value) { return roundToEven<int32_t>(value); }

} // namespace support

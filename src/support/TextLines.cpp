#include "support/TextLines.h"

#include <QStringDecoder>

#include <optional>

namespace support {

namespace {

// The text of bytes that are UTF-8 as a whole, or nothing. The decoder is stateless: a sequence
// cut off at the end is an error, where a decoder that waits for more input would drop it.
std::optional<QString> utf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = decoder(bytes);
    return decoder.hasError() ? std::nullopt : std::optional(std::move(text));
}

} // namespace

QString Utf8OrLatin1Lines(QByteArrayView bytes)
{
    if (auto text = utf8(bytes))
        return *text;
    QString lines;
    lines.reserve(bytes.size());
    for (qsizetype start = 0; start <= bytes.size();) {
        qsizetype end = start;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        const QByteArrayView line = bytes.sliced(start, end - start);
        lines += utf8(line).value_or(QString::fromLatin1(line));
        if (end < bytes.size())
            lines += QLatin1Char(bytes[end]);
        start = end + 1;
    }
    return lines;
}

} // namespace support

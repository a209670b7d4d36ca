#include "support/NameBytes.h"

#include <QFile>

#include <algorithm>
#include <optional>

namespace support {

namespace {

// A byte that is no part of valid UTF-8 (0x80 to 0xFF) is kept as the low surrogate this far
// above it: a surrogate alone is no character, so no decoded name holds one.
constexpr char16_t KeptByteBase = 0xDC00;

// The length of the UTF-8 sequence that bytes begin with, 0 when they begin with no valid one: a
// valid sequence decodes and encodes back to itself.
qsizetype SequenceLength(QByteArrayView bytes)
{
    for (qsizetype length = 1; length <= std::min<qsizetype>(4, bytes.size()); ++length)
        if (QString::fromUtf8(bytes.first(length)).toUtf8() == bytes.first(length))
            return length;
    return 0;
}

bool IsKeptByte(QChar c) { return c.unicode() >= KeptByteBase + 0x80 && c.unicode() <= KeptByteBase + 0xFF; }

QByteArray Hex(uchar byte) { return "\\x" + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0'); }

// C0, DEL and C1.
bool IsControl(QChar c) { return c.unicode() < 0x20 || (c.unicode() >= 0x7F && c.unicode() < 0xA0); }

// The name decoded, when it is valid UTF-8.
std::optional<QString> Decoded(QByteArrayView name)
{
    const QByteArray bytes = name.toByteArray();
    const QString text = QString::fromUtf8(bytes);
    return StandsForItself(text, bytes.constData()) ? std::optional<QString>(text) : std::nullopt;
}

} // namespace

bool StandsForItself(const QString &name, const char *bytes)
{
    return !name.contains(QChar::ReplacementCharacter) || QFile::encodeName(name) == bytes;
}

QString KeptBytes(QByteArrayView name)
{
    QString text;
    while (!name.isEmpty()) {
        const qsizetype length = SequenceLength(name);
        text += length > 0 ? QString::fromUtf8(name.first(length)) : QChar(char16_t(KeptByteBase + uchar(name.front())));
        name = name.sliced(std::max<qsizetype>(length, 1));
    }
    return text;
}

QString NameText(QByteArrayView name)
{
    const std::optional<QString> text = Decoded(name);
    return text ? *text : KeptBytes(name);
}

QString UnreadableName(QByteArrayView name) { return Decoded(name) ? QString() : KeptBytes(name); }

QByteArray Printed(const QString &text)
{
    QByteArray line;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        // A character beyond the first plane is a pair of surrogates, and its low half may lie
        // where kept bytes do.
        const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        const QByteArray bytes = QStringView(text).sliced(i, length).toUtf8();
        i += length;
        if (IsKeptByte(c)) {
            line += Hex(uchar(c.unicode() - KeptByteBase));
        } else if (c == u'\\') {
            line += "\\\\";
        } else if (IsControl(c)) {
            for (const char byte : bytes)
                line += Hex(uchar(byte));
        } else {
            line += bytes;
        }
    }
    return line;
}

} // namespace support

#include "support/NameBytes.h"

#include <QFile>

#include <algorithm>

namespace support {

namespace {

// The length of the UTF-8 sequence that bytes begin with, 0 when they begin with no valid one: a
// valid sequence decodes and encodes back to itself.
qsizetype SequenceLength(QByteArrayView bytes)
{
    for (qsizetype length = 1; length <= std::min<qsizetype>(4, bytes.size()); ++length)
        if (QString::fromUtf8(bytes.first(length)).toUtf8() == bytes.first(length))
            return length;
    return 0;
}

} // namespace

bool StandsForItself(const QString &name, const char *bytes)
{
    return !name.contains(QChar::ReplacementCharacter) || QFile::encodeName(name) == bytes;
}

QString Escaped(QByteArrayView name)
{
    QString text;
    while (!name.isEmpty()) {
        const qsizetype length = SequenceLength(name);
        text += length > 0 ? QString::fromUtf8(name.first(length)) : QString::asprintf("\\x%02X", uchar(name.front()));
        name = name.sliced(std::max<qsizetype>(length, 1));
    }
    return text;
}

} // namespace support

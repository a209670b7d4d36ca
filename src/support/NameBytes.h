#pragma once

#include <QByteArrayView>
#include <QString>

namespace support {

// A name from the system is bytes; the results database holds text. A name that is no valid UTF-8
// decodes to a text with replacement characters, which names another file or account (or none):
// such a name does not stand for itself and cannot be stored or read back.
bool StandsForItself(const QString &name, const char *bytes);

// A name for people to read: each byte that is no part of valid UTF-8 as "\xHH".
QString Escaped(QByteArrayView name);

} // namespace support

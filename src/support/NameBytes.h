#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace support {

// A name from the system is bytes; the results database holds text. A name that is no valid UTF-8
// decodes to a text with replacement characters, which names another file or account (or none):
// such a name does not stand for itself and cannot be stored or read back.
bool StandsForItself(const QString &name, const char *bytes);

// The name as a text that keeps every byte: valid UTF-8 decoded as usual (a valid name gives the
// name itself), each byte that is no part of valid UTF-8 as the lone surrogate U+DC00 + the byte,
// which no valid UTF-8 decodes to. So each such text stands for exactly one name. It is for
// reports, not for the results database; Printed shows it to people.
QString KeptBytes(QByteArrayView name);

// The name as a text that stands for exactly it: decoded when it is valid UTF-8, otherwise as
// KeptBytes keeps it.
QString NameText(QByteArrayView name);

// KeptBytes of a name that does not stand for itself as text, for reports; empty for a name that
// is valid UTF-8.
QString UnreadableName(QByteArrayView name);

// A text as one line of a report, in UTF-8: each backslash as "\\", and each control character
// (a line break, say) and each byte that KeptBytes kept as "\xHH" of its bytes. So every printed
// name stands for exactly one name, and none can pass for a line of its own.
QByteArray Printed(const QString &text);

} // namespace support

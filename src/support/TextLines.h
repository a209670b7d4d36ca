#pragma once

#include <QByteArrayView>
#include <QString>

namespace support {

// The text of a file that is meant to be UTF-8 but may hold lines of another origin: a line
// pasted from an ANSI file of a Windows editor, a field an older tool wrote. Each line that is no
// UTF-8 is read as Latin-1, on its own, so that every other line keeps its letters. Line ends
// (CR LF, LF or a lone CR) stay as they are.
QString Utf8OrLatin1Lines(QByteArrayView bytes);

} // namespace support

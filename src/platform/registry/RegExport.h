#pragma once

#include "platform/registry/RegistryKey.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace platform::registry {

// Registry exports in the text format of the Windows registry editor: "Windows Registry Editor
// Version 5.00" (as the editor writes it, UTF-16LE with a byte-order mark) or "REGEDIT4". Any
// file is taken without crashing: what cannot be read as an export line is skipped.

// The text of an export (UTF-16 with its byte-order mark, or UTF-8 where each line that is no
// UTF-8 is read as Latin-1), or nothing when the first line that is not blank is neither header;
// then reason (when given) says why: "File is empty", "UTF-16 without a byte-order mark" or "No
// registry export header".
std::optional<QString> DecodeExport(const QByteArray &bytes, QString *reason = nullptr);

// The keys and string values of an export's text at or below the key keepBelow (a full path
// such as "HKEY_LOCAL_MACHINE\SOFTWARE\..."), in a tree whose unnamed root stands above the
// root keys. Sections elsewhere, deletion sections ("[-...]") and sections nested deeper than
// MaxKeyDepth levels are ignored; values of other
// types (dword:, hex:, hex(n):, with their continuation lines) are read past; a value line
// that breaks off is skipped; a value or key given twice keeps its last content.
RegistryKey ParseExport(const QString &text, const QString &keepBelow);

} // namespace platform::registry

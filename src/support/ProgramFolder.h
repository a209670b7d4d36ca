#pragma once

#include <QString>

namespace support {

// The folder of the running program file, with exactly one trailing "/". The settings file,
// the scan log, the computer list, the default results database and the Updates folder lie
// there.
QString ProgramFolder();

// Points ProgramFolder() at another folder (an empty text restores the real one). In-process
// tests use it to give every case a program folder of its own.
void SetProgramFolder(const QString &folder);

} // namespace support

#pragma once

#include <QString>

namespace support {

// The folder of the running program file, with exactly one trailing "/". The settings file,
// the scan log, the computer list, the default results database and the Updates folder lie
// there.
QString ProgramFolder();

// The folder of other computers' registry exports, Registry/ in the program folder, with its
// trailing "/": Registry/<computer>.reg is the export of computer.
QString RegistryExportFolder();

// The running program file: the program folder and the executable's file name.
QString ProgramFile();

// Points ProgramFolder() at another folder (an empty text restores the real one). In-process
// tests use it to give every case a program folder of its own.
void SetProgramFolder(const QString &folder);

} // namespace support

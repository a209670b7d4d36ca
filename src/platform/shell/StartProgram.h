#pragma once

#include <QString>

namespace platform::shell {

// Starts the program file on its own, detached from this process, with one argument (passed as
// it is, never through a shell); false when it could not be started (missing, not executable).
bool StartProgram(const QString &file, const QString &argument);

} // namespace platform::shell

#pragma once

#include <functional>

namespace support {

// Closing the main window ends the program at once, even from inside a step that is letting the
// message loop run: nothing after the call runs. What must not be lost (uncommitted database
// rows, the single-instance lock) registers a hook here; the hooks run first, newest first.
void AtProgramEnd(std::function<void()> hook);

[[noreturn]] void EndProgram(int exitCode);

// Tests replace the final step (which ends the process) with their own; the replacement must
// not return (it throws, say). nullptr restores the real end.
void SetProgramTerminator(std::function<void(int)> terminator);

} // namespace support

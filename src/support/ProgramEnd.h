#pragma once

#include <functional>

namespace support {

// Closing the main window ends the program at once, even from inside a step that is letting the
// message loop run: nothing after the call runs. What must not be lost (uncommitted database
// rows, the single-instance lock) registers a hook; the hooks run first, newest first.

// A hook for the program's whole life.
void AtProgramEnd(std::function<void()> hook);

// A hook for the object's lifetime: registered when made, removed when destroyed.
class ProgramEndHook {
public:
    explicit ProgramEndHook(std::function<void()> hook);
    ~ProgramEndHook();
    ProgramEndHook(const ProgramEndHook &) = delete;
    ProgramEndHook &operator=(const ProgramEndHook &) = delete;

private:
    int m_id;
};

[[noreturn]] void EndProgram(int exitCode);

// Tests replace the final step (which ends the process) with their own; the replacement must
// not return (it throws, say). nullptr restores the real end.
void SetProgramTerminator(std::function<void(int)> terminator);

} // namespace support

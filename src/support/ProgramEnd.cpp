#include "support/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace support {

namespace {
std::vector<std::function<void()>> &hooks()
{
    static std::vector<std::function<void()>> list;
    return list;
}

std::function<void(int)> &terminator()
{
    static std::function<void(int)> replacement;
    return replacement;
}
} // namespace

void AtProgramEnd(std::function<void()> hook) { hooks().push_back(std::move(hook)); }

void EndProgram(int exitCode)
{
    auto list = std::move(hooks());
    hooks().clear();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        (*it)();
    if (terminator())
        terminator()(exitCode);
    std::fflush(nullptr);
    // Skips static destructors on purpose: the end may come from deep inside a running step,
    // with windows and the application object still alive on the stack below.
    std::_Exit(exitCode);
}

void SetProgramTerminator(std::function<void(int)> replacement) { terminator() = std::move(replacement); }

} // namespace support

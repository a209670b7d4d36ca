#include "support/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>
#include <map>

namespace support {

namespace {
struct Registry {
    std::map<int, std::function<void()>> hooks; // in order of registration
    int nextId = 0;
};

Registry &registry()
{
    static Registry instance;
    return instance;
}

std::function<void(int)> &terminator()
{
    static std::function<void(int)> replacement;
    return replacement;
}

int add(std::function<void()> hook)
{
    const int id = registry().nextId++;
    registry().hooks.emplace(id, std::move(hook));
    return id;
}
} // namespace

void AtProgramEnd(std::function<void()> hook) { add(std::move(hook)); }

ProgramEndHook::ProgramEndHook(std::function<void()> hook) : m_id(add(std::move(hook))) {}

ProgramEndHook::~ProgramEndHook() { registry().hooks.erase(m_id); }

void EndProgram(int exitCode)
{
    auto hooks = std::move(registry().hooks);
    registry().hooks.clear();
    for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
        it->second();
    if (terminator())
        terminator()(exitCode);
    std::fflush(nullptr);
    // Skips static destructors on purpose: the end may come from deep inside a running step,
    // with windows and the application object still alive on the stack below.
    std::_Exit(exitCode);
}

void SetProgramTerminator(std::function<void(int)> replacement) { terminator() = std::move(replacement); }

} // namespace support

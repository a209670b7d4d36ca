#include "platform/directory/NssLine.h"

#include <algorithm>

namespace platform::directory {

namespace {

bool IsListed(const QByteArray &source) { return source == NssLine::Files || source == NssLine::Systemd; }

} // namespace

std::optional<NssLine> NssLine::Of(const std::optional<QList<QByteArray>> &sources)
{
    if (!sources)
        return std::nullopt;
    const auto first = std::find_if(sources->cbegin(), sources->cend(), IsListed);
    const auto afterLast = std::find_if(sources->crbegin(), sources->crend(), IsListed).base();
    const bool between = first != sources->cend() && !std::all_of(first, afterLast, IsListed);
    if (between && (*first != Files || sources->count(Files) != 1 || sources->count(Systemd) != 1))
        return std::nullopt;
    NssLine line;
    line.m_listsAt = NoStep;
    for (const QByteArray &source : *sources) {
        if (source == Files && between)
            line.m_filesAt = line.m_asked.size();
        else if (IsListed(source))
            line.m_listsAt = std::min(line.m_listsAt, line.m_asked.size());
        else
            line.m_asked.emplace_back(source);
    }
    // Without files and systemd the lists hold only what the other sources list, and a source
    // answers for what it lists: the lists are believed first, so that a source such as compat,
    // whose every look-up reads its whole file, is not asked for every listed entry.
    if (line.m_listsAt == NoStep)
        line.m_listsAt = 0;
    return line;
}

} // namespace platform::directory

#pragma once

#include "platform/directory/NssSource.h"

#include <QByteArray>
#include <QList>

#include <optional>
#include <vector>

namespace platform::directory {

// One database's line of nsswitch.conf, a plain list of sources, as the users scan follows it.
// For a look-up the C library asks the sources in the line's order and takes the first answer;
// Walk does the same. The sources files and systemd list everything they answer (but for
// nss-systemd's root and nobody, which the caller adds), so their answers are taken from the
// lists the C library enumerates, files' before systemd's; every other source is asked on its
// own. The lists cannot tell which of files and systemd listed an entry: where another source
// stands between them, files' own entries are read apart (FilesApart), so that the other source
// can answer before systemd.
class NssLine {
public:
    static constexpr char Files[] = "files";
    static constexpr char Systemd[] = "systemd";

    // The line of sources, or nothing when the C library's look-ups are to be followed instead:
    // when sources is nothing, or when a source stands between files and systemd in any other way
    // than once between one files and one later systemd.
    static std::optional<NssLine> Of(const std::optional<QList<QByteArray>> &sources);

    // The sources asked on their own, in the line's order.
    std::vector<NssSource> &Asked() { return m_asked; }
    // True when Walk needs files' own entries.
    bool FilesApart() const { return m_filesAt != NoStep; }

    // The first answer in the line's order: ask(source) of the sources asked on their own,
    // files() (files' own entries, only when FilesApart) and lists() (the lists) where they stand.
    template <typename AskSource, typename FilesEntries, typename ListEntries>
    auto Walk(AskSource ask, FilesEntries files, ListEntries lists) -> decltype(lists())
    {
        for (size_t step = 0; step <= m_asked.size(); ++step) {
            if (step == m_filesAt) {
                if (auto answer = files())
                    return answer;
            }
            if (step == m_listsAt) {
                if (auto answer = lists())
                    return answer;
            }
            if (step < m_asked.size()) {
                if (auto answer = ask(m_asked[step]))
                    return answer;
            }
        }
        return {};
    }

private:
    static constexpr size_t NoStep = size_t(-1);

    std::vector<NssSource> m_asked;
    // How many of the asked sources come before files' own entries and before the lists.
    size_t m_filesAt = NoStep;
    size_t m_listsAt = 0;
};

} // namespace platform::directory

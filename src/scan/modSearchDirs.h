#pragma once

#include "scan/PassedOver.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace modSearchDirs {

// A depth from which on the search has no limit ("Scan every subdirectory" passes it).
inline constexpr int32_t UnlimitedDepth = 100;

// The path a root entry names: blanks before it and "/" after it dropped (blanks at its end
// belong to its name), and, in an absolute path, repeated "/" and "." parts ("//srv/./data" is
// "/srv/data"). Two entries with the same path are the same root.
QString RootPath(const QString &RootDir);

// Appends to Dirs the directories below RootDir, breadth first, down to MaxDepth levels (level 1
// is the root's own subdirectories; 0 or less lists nothing, UnlimitedDepth or more every level).
// Paths are full, with no trailing "/", in the order found; the root itself is never added (its
// path is RootPath's). Names that begin with "." are skipped with everything below them. The root
// is opened as typed, links on its own path followed; below it no symbolic link is followed at any
// depth, also where a directory found before is swapped for one since: it is passed over. Only
// directories whose subdirectories lie within MaxDepth are listed. What the search has to pass
// over is appended to Unreadable (when given), with its reason: a subdirectory that cannot be
// listed, or whose listing breaks off, adds what was found before; a directory whose name is no
// valid UTF-8 (a text would stand for another path), or whose path would be longer than the
// system's 4,095 bytes ("File name too long"), is left out with everything below it. The message
// loop is served while listing, before each further entry (not after "." and ".."). A root that
// is no absolute path, has a ".." part, or cannot be listed, raises support::Error (source
// "SearchDirs") with a description that names it (as RootPath gives it) and the reason.
void SearchDirs(const QString &RootDir, int32_t MaxDepth, QStringList &Dirs,
                std::vector<PassedOver> *Unreadable = nullptr);

// The root each of Dirs was found below, as SearchDirs made them: the nearest ancestor that Dirs
// does not hold, since the search adds a directory only right below its root or below a directory
// it added before. (For a path the search did not find, that is its parent.)
QStringList FoundBelow(const QStringList &Dirs);

} // namespace modSearchDirs

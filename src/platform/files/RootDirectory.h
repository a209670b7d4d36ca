#pragma once

#include "platform/files/Descriptor.h"

#include <QByteArray>
#include <QString>

#include <linux/limits.h>

namespace platform::files {

// A directory tree read from the root that the user named. The root is opened as typed, links on
// its own path followed (/home may be a link to /data/home). Below it no symbolic link is followed,
// at any depth: a user who may write to a directory in the tree could otherwise swap any directory
// on a path for a link to a tree that only the reader may open, and have that tree read under the
// path's name.
class RootDirectory {
public:
    // Opens root as a path only; IsOpen() tells whether that worked, Error() the system's error
    // number when not.
    explicit RootDirectory(const QByteArray &root);

    bool IsOpen() const { return m_root.IsOpen(); }
    int Error() const { return m_error; }

    // Whether the directory at a path below the root of relativeLength bytes has a full path (the
    // root's, "/" and the relative path) within the system's limit of 4,095 bytes. One beyond it
    // can be reached from the root, but no tool that works by path could open it: the tree is read
    // as far as such tools see it.
    bool WithinPathLimit(qsizetype relativeLength) const { return m_prefixLength + relativeLength < PATH_MAX; }

    // A new descriptor of the directory at relative, a path below the root ("a/b"; "." or "" is
    // the root itself), opened with flags (O_RDONLY or O_PATH; O_DIRECTORY and O_CLOEXEC are
    // added). None, with errno set, when it cannot be opened: ELOOP when a symbolic link lies on
    // the way or in the directory's place, ENAMETOOLONG when it lies beyond the path limit.
    Descriptor Open(const QByteArray &relative, int flags) const;

    // Why Open(relative) failed with error, for people: the system's message, but for a link met
    // on the way whether it took the directory's own place or that of a directory above it.
    QString Reason(const QByteArray &relative, int error) const;

private:
    Descriptor m_root;
    int m_error;
    qsizetype m_prefixLength; // of the root and the "/" before a relative path
};

} // namespace platform::files

#pragma once

#include <QString>
#include <QStringList>

namespace testing_support {

// A chain of directories that an ordinary user makes where any user may, in a sticky folder open
// to everyone (as /tmp is): "nobody", through setpriv, makes names of 255 bytes, the longest a
// name may be, while the path has room for more, then, in the last of them, a directory whose
// full path is exactly 4,095 bytes and one of 4,096, each with a directory "below" inside. Removed
// with the object (by rm, which, unlike QDir, removes a tree deeper than the path limit).
class PathLimitChain {
public:
    // The sticky folder is made by root inside folder.
    explicit PathLimitChain(const QString &folder);
    ~PathLimitChain();
    PathLimitChain(const PathLimitChain &) = delete;
    PathLimitChain &operator=(const PathLimitChain &) = delete;

    // False when the chain could not be made (it needs root and setpriv): the test should then be
    // skipped.
    bool Made() const { return m_made; }
    // The chain's directories from the top down, the sticky folder first and the edges' parent last.
    const QStringList &Chain() const { return m_chain; }
    // The directory whose full path is bytes long: 4,095 or 4,096.
    QString Edge(int bytes) const;

private:
    QStringList m_chain;
    bool m_made = false;
};

} // namespace testing_support

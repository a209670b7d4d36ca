#pragma once

#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <vector>

// Something a scan task had to pass over, and why: a directory (with everything below it), an
// account or a registry export, with the system's message or what is wrong with its name. Name is
// the plain name when it is valid UTF-8, otherwise support::KeptBytes of its bytes (which gives
// the plain name for a valid one too): a text that stands for exactly one name, but holds a kept
// byte as a lone surrogate, so it is shown only through support::Printed (as platform::shell's
// WriteErrorLine does). Passed-over items fail nothing; an unattended run names each on standard
// error.
struct PassedOver {
    QString Name;
    QString Reason;
};

// The items, each once: an item with the name and reason of one before it is dropped (a directory
// below two roots, an account that two tasks passed over).
inline std::vector<PassedOver> EachOnce(const std::vector<PassedOver> &items)
{
    std::vector<PassedOver> once;
    QSet<QPair<QString, QString>> seen;
    for (const PassedOver &item : items) {
        if (!seen.contains({item.Name, item.Reason})) {
            seen.insert({item.Name, item.Reason});
            once.push_back(item);
        }
    }
    return once;
}

// A number of passed-over items for a task's closing line, "1 directory" or "2 directories", the
// item named as one or many asks; nothing for none.
inline QStringList Counted(size_t count, const QString &one, const QString &many)
{
    if (count == 0)
        return {};
    return {QStringLiteral("%1 %2").arg(count).arg(count == 1 ? one : many)};
}

// The closing line of a task that reads what: "<what> scanned successfully.", or, when it passed
// items over, "<what> scanned; 2 directories could not be read." (several counts joined by "and").
inline QString ScannedText(const QString &what, const QStringList &counts)
{
    if (counts.isEmpty())
        return what + QStringLiteral(" scanned successfully.");
    return what + QStringLiteral(" scanned; ") + counts.join(QStringLiteral(" and ")) + QStringLiteral(" could not be read.");
}

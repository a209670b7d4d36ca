#pragma once

#include <QString>

#include <functional>

namespace testing_support {

// Runs body on a thread of its own private mount namespace (root only), once prepare has set it
// up there (its mounts): body, and the programs it starts, see what prepare mounted, and nothing
// outside ever does. prepare returns what went wrong, or an empty text. Returns what went wrong
// before body could run, or an empty text.
QString InPrivateMounts(const std::function<QString()> &prepare, const std::function<void()> &body);

// Binds source (a file or a folder) over target, as a prepare of InPrivateMounts does; returns what
// went wrong, or an empty text.
QString Bind(const QString &source, const QString &target);

} // namespace testing_support

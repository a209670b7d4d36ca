#pragma once

#include <QString>

// A directory the scan had to pass over, with everything below it, and why: the system's message,
// or what is wrong with its name. Path shows a name that is no valid UTF-8 with its bad bytes as
// "\xHH".
struct UnreadableDirectory {
    QString Path;
    QString Reason;
};

#pragma once

#include <QString>

// Something a scan task had to pass over, and why: a directory (with everything below it), an
// account or a registry export, with the system's message or what is wrong with its name. Name
// shows bytes that are no valid UTF-8 as "\xHH". Passed-over items fail nothing; an unattended
// run names each on standard error.
struct PassedOver {
    QString Name;
    QString Reason;
};

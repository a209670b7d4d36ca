#pragma once

#include <QDeadlineTimer>

#include <functional>

namespace support {

// Lets the message loop handle pending messages, so that a Stop button, timers and socket
// notifications are served in the middle of a long step. Does nothing without an application.
void DoEvents();

// Lets the message loop run until done() holds or the deadline (a monotonic clock) has passed;
// the result is done() at the end. The thread sleeps while no event comes; done() is checked
// after every event and, for conditions that no event announces, every pollMs (0: never).
bool WaitUntil(const std::function<bool()> &done, QDeadlineTimer deadline, int pollMs = 0);

} // namespace support

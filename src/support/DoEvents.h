#pragma once

namespace support {

// Lets the message loop handle pending messages, so that a Stop button, timers and socket
// notifications are served in the middle of a long step. Does nothing without an application.
void DoEvents();

} // namespace support

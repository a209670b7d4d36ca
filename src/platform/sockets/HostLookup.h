#pragma once

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::sockets {

// What a host-name lookup found: its IPv4 addresses in network byte order, in the order the
// system's resolver gives them, or the socket error code of the failure (WSAHOST_NOT_FOUND for
// a name that does not exist, WSANO_DATA for one without an IPv4 address).
struct HostEntry {
    int32_t error = 0;
    std::vector<uint32_t> addresses;
};

// Looks name up (host names, /etc/hosts entries and dotted addresses alike); blocks until the
// resolver answers.
HostEntry GetHostByName(const QByteArray &name);

// Starts looking name up on a thread of its own and returns the lookup's handle (never 0).
// When it has finished, the result is stored in buffer and message is handed to the message
// window hwnd with the handle as wParam and the error code in the high 16 bits of lParam, on the
// GUI thread. The thread delivers its result by value: it never touches the buffer itself. 0 when
// the lookup could not be started, with the reason in error.
int32_t AsyncGetHostByName(int32_t hwnd, uint32_t message, const QByteArray &name, std::shared_ptr<HostEntry> buffer,
                           int32_t &error);

// Cancels a lookup that has not been delivered: its message never comes. A lookup that is
// unknown or already delivered gives WSAEINVAL.
int32_t CancelAsyncRequest(int32_t handle);

} // namespace platform::sockets

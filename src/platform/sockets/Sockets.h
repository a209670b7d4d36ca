#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// The socket functions of the socket class, over Linux sockets. Every socket is non-blocking;
// every function returns 0 on success or a socket error code (SocketErrors.h), and a send never
// raises SIGPIPE. Sockets are known by their descriptor numbers; -1 is none. GUI thread only.
namespace platform::sockets {

constexpr int32_t INVALID_SOCKET = -1;

enum class SocketType { Stream, Datagram };

// An IPv4 address in network byte order (as InetAddr gives it) and a port.
struct Endpoint {
    uint32_t address = 0;
    uint16_t port = 0;
};

// The start and the clean-up of the socket functions, counted: version is major in the low
// byte, minor in the high byte (1.1 is 0x0101; below 1.0 is not supported). A clean-up without
// a start fails with WSANOTINITIALISED.
int32_t Startup(uint16_t version);
int32_t Cleanup();

int32_t OpenSocket(SocketType type, int32_t &socket);
// Closes the socket and drops its notifications, also those already queued.
int32_t CloseSocket(int32_t socket);
int32_t Bind(int32_t socket, Endpoint local);
// The longest queue of pending connections the system allows: a short one drops connections for
// good when many arrive at once.
extern const int MaxBacklog;
int32_t Listen(int32_t socket, int backlog);
// An accepted socket is watched the way its listening socket is (see AsyncSelect).
int32_t Accept(int32_t socket, int32_t &accepted);
// WSAEWOULDBLOCK when the connect is under way; FD_CONNECT tells how it ended.
int32_t Connect(int32_t socket, Endpoint remote);
// Sends what the socket takes now (sent); WSAEWOULDBLOCK when it takes nothing, and FD_WRITE
// follows when it can take more.
int32_t Send(int32_t socket, const char *data, int32_t length, int32_t &sent);
int32_t SendTo(int32_t socket, const char *data, int32_t length, Endpoint remote);
// received is 0 at the end of the stream.
int32_t Receive(int32_t socket, char *buffer, int32_t length, int32_t &received);
// One datagram, or its first length bytes (then WSAEMSGSIZE, and the rest is lost unless
// peeking); with peek it stays in the socket.
int32_t ReceiveFrom(int32_t socket, char *buffer, int32_t length, bool peek, int32_t &received, Endpoint &from);
int32_t LocalEndpoint(int32_t socket, Endpoint &local);
int32_t PeerEndpoint(int32_t socket, Endpoint &peer);
// 0 when the descriptor is a socket, else why not (WSAENOTSOCK, WSAEBADF, ...).
int32_t CheckSocket(int32_t socket);
int32_t EnableBroadcast(int32_t socket);
// The bytes waiting in a stream socket, or the size of the first datagram waiting.
int32_t PendingBytes(int32_t socket, int32_t &bytes);

// Reports the events (SocketWatch.h) of the socket as message to the message window hwnd.
int32_t AsyncSelect(int32_t socket, int32_t hwnd, uint32_t message, int32_t events);

// The address of a text of four decimal numbers 0-255 joined by dots; the empty text gives the
// any-address 0.0.0.0. Nothing for any other text.
std::optional<uint32_t> InetAddr(const QString &text);
// The address as four decimal numbers joined by dots.
QString InetNtoa(uint32_t address);
int32_t HostName(QString &name);

} // namespace platform::sockets

#include "platform/sockets/Sockets.h"

#include "platform/sockets/SocketErrors.h"
#include "platform/sockets/SocketWatch.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace platform::sockets {

namespace {

int startCount = 0;

int32_t lastError() { return FromErrno(errno); }

int32_t check(int result) { return result < 0 ? lastError() : 0; }

sockaddr_in toSockaddr(Endpoint endpoint)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = endpoint.address;
    return address;
}

Endpoint fromSockaddr(const sockaddr_in &address) { return {address.sin_addr.s_addr, ntohs(address.sin_port)}; }

template <typename Call>
int32_t endpointOf(int32_t socket, Endpoint &endpoint, Call call)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (call(socket, reinterpret_cast<sockaddr *>(&address), &length) != 0)
        return lastError();
    endpoint = fromSockaddr(address);
    return 0;
}

int32_t typeOf(int32_t socket, int &type)
{
    socklen_t length = sizeof type;
    return check(::getsockopt(socket, SOL_SOCKET, SO_TYPE, &type, &length));
}

void received(int32_t socket)
{
    if (SocketWatch *watch = SocketWatch::Find(socket))
        watch->Received();
}

} // namespace

int32_t Startup(uint16_t version)
{
    if ((version & 0xFF) < 1)
        return WSAVERNOTSUPPORTED;
    ++startCount;
    return 0;
}

int32_t Cleanup()
{
    if (startCount == 0)
        return WSANOTINITIALISED;
    --startCount;
    return 0;
}

int32_t OpenSocket(SocketType type, int32_t &socket)
{
    const int kind = type == SocketType::Stream ? SOCK_STREAM : SOCK_DGRAM;
    const int fd = ::socket(AF_INET, kind | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return lastError();
    socket = fd;
    return 0;
}

int32_t CloseSocket(int32_t socket)
{
    SocketWatch::Stop(socket);
    return check(::close(socket));
}

int32_t Bind(int32_t socket, Endpoint local)
{
    const sockaddr_in address = toSockaddr(local);
    return check(::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address));
}

const int MaxBacklog = SOMAXCONN;

int32_t Listen(int32_t socket, int backlog)
{
    if (::listen(socket, backlog) != 0)
        return lastError();
    if (SocketWatch *watch = SocketWatch::Find(socket))
        watch->Listening();
    return 0;
}

int32_t Accept(int32_t socket, int32_t &accepted)
{
    const int fd = ::accept4(socket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    const int32_t error = fd < 0 ? lastError() : 0;
    if (SocketWatch *watch = SocketWatch::Find(socket)) {
        watch->Received();
        if (fd >= 0)
            watch->Adopt(fd);
    }
    if (fd >= 0)
        accepted = fd;
    return error;
}

int32_t Connect(int32_t socket, Endpoint remote)
{
    const sockaddr_in address = toSockaddr(remote);
    const int result = ::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    if (result != 0 && errno != EINPROGRESS)
        return lastError();
    SocketWatch *watch = SocketWatch::Find(socket);
    if (result == 0) {
        if (watch)
            watch->Connected(0);
        return 0;
    }
    if (watch)
        watch->Connecting();
    return WSAEWOULDBLOCK;
}

int32_t Send(int32_t socket, const char *data, int32_t length, int32_t &sent)
{
    const ssize_t result = ::send(socket, data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (result >= 0) {
        sent = static_cast<int32_t>(result);
        return 0;
    }
    const int32_t error = lastError();
    if (error == WSAEWOULDBLOCK)
        if (SocketWatch *watch = SocketWatch::Find(socket))
            watch->SendBlocked();
    return error;
}

int32_t SendTo(int32_t socket, const char *data, int32_t length, Endpoint remote)
{
    const sockaddr_in address = toSockaddr(remote);
    return check(static_cast<int>(::sendto(socket, data, static_cast<size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT,
                                           reinterpret_cast<const sockaddr *>(&address), sizeof address)));
}

int32_t Receive(int32_t socket, char *buffer, int32_t length, int32_t &receivedBytes)
{
    const ssize_t result = ::recv(socket, buffer, static_cast<size_t>(length), MSG_DONTWAIT);
    const int32_t error = result < 0 ? lastError() : 0;
    received(socket);
    if (result >= 0)
        receivedBytes = static_cast<int32_t>(result);
    return error;
}

int32_t ReceiveFrom(int32_t socket, char *buffer, int32_t length, bool peek, int32_t &receivedBytes, Endpoint &from)
{
    sockaddr_in address{};
    iovec part{buffer, static_cast<size_t>(length)};
    msghdr message{};
    message.msg_name = &address;
    message.msg_namelen = sizeof address;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    const ssize_t result = ::recvmsg(socket, &message, MSG_DONTWAIT | (peek ? MSG_PEEK : 0));
    const int32_t error = result < 0 ? lastError() : 0;
    received(socket);
    if (error)
        return error;
    receivedBytes = static_cast<int32_t>(result);
    from = fromSockaddr(address);
    return message.msg_flags & MSG_TRUNC ? WSAEMSGSIZE : 0;
}

int32_t LocalEndpoint(int32_t socket, Endpoint &local) { return endpointOf(socket, local, ::getsockname); }

int32_t PeerEndpoint(int32_t socket, Endpoint &peer) { return endpointOf(socket, peer, ::getpeername); }

int32_t CheckSocket(int32_t socket)
{
    int type = 0;
    return typeOf(socket, type);
}

int32_t EnableBroadcast(int32_t socket)
{
    const int on = 1;
    return check(::setsockopt(socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof on));
}

int32_t PendingBytes(int32_t socket, int32_t &bytes)
{
    int count = 0;
    if (::ioctl(socket, FIONREAD, &count) != 0)
        return lastError();
    bytes = count;
    return 0;
}

int32_t AsyncSelect(int32_t socket, int32_t hwnd, uint32_t message, int32_t events)
{
    int type = 0;
    if (const int32_t error = typeOf(socket, type))
        return error;
    SocketWatch::Start(socket, hwnd, message, events,
                       type == SOCK_DGRAM ? SocketWatch::Mode::Datagram : SocketWatch::Mode::Idle);
    return 0;
}

std::optional<uint32_t> InetAddr(const QString &text)
{
    if (text.isEmpty())
        return INADDR_ANY;
    in_addr address{};
    if (::inet_pton(AF_INET, text.toLatin1().constData(), &address) != 1 || text.contains(QChar(0)))
        return std::nullopt;
    return address.s_addr;
}

QString InetNtoa(uint32_t address)
{
    const auto *bytes = reinterpret_cast<const uint8_t *>(&address);
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

int32_t HostName(QString &name)
{
    char buffer[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0)
        return lastError();
    name = QString::fromLatin1(buffer);
    return 0;
}

} // namespace platform::sockets

#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace platform::icmp {

// The kind of socket an echo handle sends through. A datagram ICMP socket needs no privilege
// where net.ipv4.ping_group_range admits the user's group; a raw socket needs CAP_NET_RAW.
enum class SocketKind { Automatic, Datagram, Raw };

// How one echo request ended.
enum class EchoStatus {
    Success,     // an echo reply to this very request came back
    TimedOut,    // nothing that answers this request arrived in time
    Unreachable, // the network reported the destination unreachable
    SendFailed,  // the request could not be sent at all
};

// An open handle of the ICMP echo functions: one socket, closed when the handle goes. Move-only.
class EchoHandle {
public:
    // Opens a socket of the given kind; Automatic tries a datagram socket first, then a raw one.
    // The handle is not valid when no socket could be opened.
    static EchoHandle Open(SocketKind kind = SocketKind::Automatic);

    EchoHandle(EchoHandle &&other) noexcept;
    EchoHandle &operator=(EchoHandle &&other) noexcept;
    EchoHandle(const EchoHandle &) = delete;
    EchoHandle &operator=(const EchoHandle &) = delete;
    ~EchoHandle();

    bool IsValid() const { return m_fd >= 0; }
    SocketKind Kind() const { return m_kind; }

    // Sends one echo request carrying data to the IPv4 address destination (network byte order)
    // with the given time to live, and waits at most timeoutMs for its reply. Only an echo reply
    // with this request's identifier and sequence number counts: other traffic that the socket
    // sees meanwhile (on loopback a raw socket sees the request itself) is read past.
    EchoStatus SendEcho(uint32_t destination, const QByteArray &data, int ttl, int timeoutMs);

private:
    EchoHandle(int fd, SocketKind kind) : m_fd(fd), m_kind(kind) {}

    int m_fd = -1;
    SocketKind m_kind = SocketKind::Automatic;
};

// The first IPv4 address (network byte order) that the system's name lookup gives for name
// (host names, /etc/hosts entries and dotted addresses alike), or nothing when it gives none.
std::optional<uint32_t> LookupIPv4(const QString &name);

} // namespace platform::icmp

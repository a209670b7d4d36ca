#include "platform/icmp/IcmpEcho.h"

#include "platform/sockets/HostLookup.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace platform::icmp {

namespace {

constexpr uint8_t EchoReply = 0;
constexpr uint8_t EchoRequest = 8;
constexpr size_t HeaderSize = 8;

uint16_t checksum(const uint8_t *data, size_t size)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2)
        sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    if (size % 2)
        sum += static_cast<uint32_t>(data[size - 1] << 8);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

uint16_t readWord(const uint8_t *p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Every request of this process gets a sequence number of its own, so that a late reply to an
// earlier request never counts for a later one.
uint16_t nextSequence()
{
    static std::atomic<uint16_t> sequence{0};
    return ++sequence;
}

// The ICMP message in a packet as the socket hands it over: a raw socket delivers the IP header
// in front of it, a datagram socket the ICMP message alone.
std::pair<const uint8_t *, size_t> icmpMessage(const uint8_t *packet, size_t size, SocketKind kind)
{
    if (kind == SocketKind::Datagram)
        return {packet, size};
    if (size < sizeof(iphdr))
        return {nullptr, 0};
    const size_t headerLength = static_cast<size_t>(packet[0] & 0x0F) * 4;
    if (headerLength < sizeof(iphdr) || headerLength > size)
        return {nullptr, 0};
    return {packet + headerLength, size - headerLength};
}

bool isUnreachableError(int error)
{
    return error == EHOSTUNREACH || error == ENETUNREACH || error == ECONNREFUSED || error == EHOSTDOWN ||
           error == ENETDOWN || error == EPROTO;
}

} // namespace

EchoHandle EchoHandle::Open(SocketKind kind)
{
    if (kind != SocketKind::Raw) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
        if (fd >= 0 || kind == SocketKind::Datagram)
            return EchoHandle(fd, SocketKind::Datagram);
    }
    return EchoHandle(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP), SocketKind::Raw);
}

EchoHandle::EchoHandle(EchoHandle &&other) noexcept : m_fd(other.m_fd), m_kind(other.m_kind) { other.m_fd = -1; }

EchoHandle &EchoHandle::operator=(EchoHandle &&other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = other.m_fd;
        m_kind = other.m_kind;
        other.m_fd = -1;
    }
    return *this;
}

EchoHandle::~EchoHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

EchoStatus EchoHandle::SendEcho(uint32_t destination, const QByteArray &data, int ttl, int timeoutMs)
{
    if (m_fd < 0)
        return EchoStatus::SendFailed;
    // A connected socket hears only the destination, and learns of an unreachable destination
    // as an error on the socket instead of waiting out the time-out.
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    if (::connect(m_fd, reinterpret_cast<const sockaddr *>(&to), sizeof to) != 0)
        return isUnreachableError(errno) ? EchoStatus::Unreachable : EchoStatus::SendFailed;
    ::setsockopt(m_fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl);

    // On a datagram socket the kernel puts in an identifier of its own and hands the socket
    // only the replies that carry it; on a raw socket the identifier is ours to check.
    const uint16_t identifier = static_cast<uint16_t>(::getpid());
    const uint16_t sequence = nextSequence();
    QByteArray request(static_cast<qsizetype>(HeaderSize), '\0');
    request += data;
    auto *bytes = reinterpret_cast<uint8_t *>(request.data());
    bytes[0] = EchoRequest;
    bytes[4] = static_cast<uint8_t>(identifier >> 8);
    bytes[5] = static_cast<uint8_t>(identifier);
    bytes[6] = static_cast<uint8_t>(sequence >> 8);
    bytes[7] = static_cast<uint8_t>(sequence);
    const uint16_t sum = checksum(bytes, static_cast<size_t>(request.size()));
    bytes[2] = static_cast<uint8_t>(sum >> 8);
    bytes[3] = static_cast<uint8_t>(sum);
    if (::send(m_fd, request.constData(), static_cast<size_t>(request.size()), 0) < 0)
        return isUnreachableError(errno) ? EchoStatus::Unreachable : EchoStatus::SendFailed;

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::array<uint8_t, 65536> packet{};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return EchoStatus::TimedOut;
        pollfd waiting{m_fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left));
        if (ready < 0 && errno != EINTR)
            return EchoStatus::SendFailed;
        if (ready <= 0)
            continue;
        const ssize_t received = ::recv(m_fd, packet.data(), packet.size(), MSG_DONTWAIT);
        if (received < 0) {
            if (isUnreachableError(errno))
                return EchoStatus::Unreachable;
            continue; // EINTR, EAGAIN or a passing error: keep waiting for the reply
        }
        const auto [message, size] = icmpMessage(packet.data(), static_cast<size_t>(received), m_kind);
        if (size < HeaderSize || message[0] != EchoReply)
            continue;
        if (readWord(message + 6) != sequence)
            continue;
        if (m_kind == SocketKind::Raw && readWord(message + 4) != identifier)
            continue;
        return EchoStatus::Success;
    }
}

std::optional<uint32_t> LookupIPv4(const QString &name)
{
    const platform::sockets::HostEntry entry = platform::sockets::GetHostByName(name.toUtf8());
    if (entry.error)
        return std::nullopt;
    return entry.addresses.front();
}

} // namespace platform::icmp

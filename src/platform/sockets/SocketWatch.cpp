#include "platform/sockets/SocketWatch.h"

#include "platform/sockets/MessageWindow.h"
#include "platform/sockets/SocketErrors.h"

#include <sys/socket.h>

#include <cerrno>
#include <unordered_map>

namespace platform::sockets {

namespace {

std::unordered_map<int, std::unique_ptr<SocketWatch>> &watches()
{
    static std::unordered_map<int, std::unique_ptr<SocketWatch>> table;
    return table;
}

uint64_t nextStamp()
{
    static uint64_t last = 0;
    return ++last;
}

} // namespace

SocketWatch::SocketWatch(int fd, int32_t hwnd, uint32_t message, int32_t events, Mode mode)
    : m_fd(fd), m_stamp(nextStamp()), m_hwnd(hwnd), m_message(message), m_events(events), m_mode(mode),
      m_read(fd, QSocketNotifier::Read), m_write(fd, QSocketNotifier::Write)
{
    m_write.setEnabled(false);
    EnableRead(mode == Mode::Datagram || mode == Mode::Stream);
    QObject::connect(&m_read, &QSocketNotifier::activated, [this] { Readable(); });
    QObject::connect(&m_write, &QSocketNotifier::activated, [this] { Writable(); });
}

void SocketWatch::Start(int fd, int32_t hwnd, uint32_t message, int32_t events, Mode mode)
{
    watches()[fd].reset(new SocketWatch(fd, hwnd, message, events, mode));
}

void SocketWatch::Stop(int fd) { watches().erase(fd); }

SocketWatch *SocketWatch::Find(int fd)
{
    const auto found = watches().find(fd);
    return found == watches().end() ? nullptr : found->second.get();
}

bool SocketWatch::IsCurrent(int fd, uint64_t stamp)
{
    const SocketWatch *watch = Find(fd);
    return watch && watch->m_stamp == stamp;
}

void SocketWatch::Post(NetworkEvent event, int32_t error) const
{
    if (m_events & event)
        MessageWindow::Post(m_hwnd, m_message, static_cast<uint32_t>(m_fd),
                            static_cast<uint32_t>(error) << 16 | event, m_stamp);
}

void SocketWatch::Connecting()
{
    m_mode = Mode::Connecting;
    m_write.setEnabled(true);
}

void SocketWatch::Connected(int32_t error)
{
    m_write.setEnabled(false);
    Post(FD_CONNECT, error);
    if (error)
        return;
    m_mode = Mode::Stream;
    Post(FD_WRITE);
    EnableRead(true);
}

void SocketWatch::Listening()
{
    m_mode = Mode::Listening;
    EnableRead(true);
}

void SocketWatch::Received() { EnableRead(m_mode != Mode::Idle && m_mode != Mode::Connecting); }

void SocketWatch::SendBlocked() { m_write.setEnabled(true); }

void SocketWatch::Adopt(int accepted) const
{
    Start(accepted, m_hwnd, m_message, m_events, Mode::Stream);
    Find(accepted)->Post(FD_WRITE);
}

void SocketWatch::Readable()
{
    if (m_mode == Mode::Listening) {
        m_read.setEnabled(false);
        Post(FD_ACCEPT);
        return;
    }
    if (m_mode == Mode::Datagram) {
        m_read.setEnabled(false);
        Post(FD_READ);
        return;
    }
    // A stream is readable both when data waits and at its end: look before telling which, so
    // that the close comes only after the last byte has been received.
    char byte;
    const ssize_t peeked = ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    m_read.setEnabled(false);
    if (peeked > 0) {
        Post(FD_READ);
        return;
    }
    m_ended = true;
    Post(FD_CLOSE, peeked < 0 ? FromErrno(errno) : 0);
}

void SocketWatch::Writable()
{
    if (m_mode != Mode::Connecting) {
        m_write.setEnabled(false);
        Post(FD_WRITE);
        return;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    Connected(error ? FromErrno(error) : 0);
}

} // namespace platform::sockets

#pragma once

#include <QSocketNotifier>

#include <cstdint>
#include <memory>

namespace platform::sockets {

// The network events a socket can be watched for, as message codes.
enum NetworkEvent : uint16_t { FD_READ = 1, FD_WRITE = 2, FD_ACCEPT = 8, FD_CONNECT = 16, FD_CLOSE = 32 };

// Turns the readiness of one non-blocking socket into one-shot notifications posted to a
// message window (wParam: the socket; lParam: the event in the low 16 bits, an error code in the
// high 16 bits):
// - FD_READ when data waits; not again until the program has received from the socket.
// - FD_CLOSE at the end of the stream, only after every byte before it was received, or with
//   an error code when the connection was reset.
// - FD_ACCEPT when a connection waits on a listening socket; not again until one was accepted.
// - FD_CONNECT when a connect has finished (with an error code when it failed), then FD_WRITE.
// - FD_WRITE after a connect or accept, and when a send that would have blocked can go on.
// Every watch carries a stamp of its own; a notification of a closed socket is dropped when it
// is handled. GUI thread only; the socket functions (Sockets.h) drive it.
class SocketWatch {
public:
    enum class Mode { Idle, Connecting, Stream, Listening, Datagram };

    // Starts watching fd (replacing an earlier watch of it) for the events, reporting message to
    // window hwnd.
    static void Start(int fd, int32_t hwnd, uint32_t message, int32_t events, Mode mode);
    // Stops watching fd.
    static void Stop(int fd);
    static SocketWatch *Find(int fd);
    // Whether stamp is the stamp of the watch fd has now.
    static bool IsCurrent(int fd, uint64_t stamp);

    void Connecting();
    // The connect has finished; error is a socket error code, 0 on success.
    void Connected(int32_t error);
    void Listening();
    // A receive or accept was made: the next read or accept notification may follow.
    void Received();
    // A send would have blocked: report when the socket can take more.
    void SendBlocked();
    // Starts watching an accepted socket the way this listening socket is watched.
    void Adopt(int accepted) const;

private:
    SocketWatch(int fd, int32_t hwnd, uint32_t message, int32_t events, Mode mode);

    void Readable();
    void Writable();
    void Post(NetworkEvent event, int32_t error = 0) const;
    void EnableRead(bool on) { m_read.setEnabled(on && !m_ended); }

    int m_fd;
    uint64_t m_stamp;
    int32_t m_hwnd;
    uint32_t m_message;
    int32_t m_events;
    Mode m_mode;
    bool m_ended = false; // the end of the stream was reported: nothing more to read
    QSocketNotifier m_read;
    QSocketNotifier m_write;
};

} // namespace platform::sockets

#include "SocketEvents.h"
#include "common/TestSupport.h"

#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

using testing_support::RecordedSocket;
using testing_support::RunUntil;

namespace {

// A socket object listening on a port of loopback that the system chose.
RecordedSocket listening()
{
    RecordedSocket listener;
    listener.socket->Bind(0, QStringLiteral("127.0.0.1"));
    listener.socket->Listen();
    EXPECT_EQ(listener.socket->State(), clsSocketMaster::sckListening);
    EXPECT_NE(listener.socket->LocalPort(), 0);
    return listener;
}

std::unique_ptr<QTcpSocket> connectTo(const RecordedSocket &listener)
{
    auto peer = std::make_unique<QTcpSocket>();
    peer->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(listener.socket->LocalPort()));
    return peer;
}

void setReceiveBuffer(int32_t socket, int size)
{
    ASSERT_EQ(::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &size, sizeof size), 0);
}

// Waits, without letting the message loop run, until count bytes wait in the socket.
bool waitingIn(int32_t socket, int count)
{
    const QDeadlineTimer deadline(5000);
    int waiting = 0;
    while (::ioctl(socket, FIONREAD, &waiting) == 0 && waiting < count && !deadline.hasExpired())
        QThread::msleep(1);
    return waiting == count;
}

// count connections to a port of loopback, started all at once by a child process (so that
// neither process runs short of descriptors) and held open until the object goes.
class ConnectionBurst {
public:
    ConnectionBurst(int32_t port, int count)
    {
        int ends[2];
        EXPECT_EQ(::pipe(ends), 0);
        m_child = ::fork();
        EXPECT_NE(m_child, -1);
        if (m_child == 0) {
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            for (int i = 0; i < count; ++i)
                ::connect(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0), reinterpret_cast<sockaddr *>(&address),
                          sizeof address);
            ::close(ends[1]);
            char byte;
            while (::read(ends[0], &byte, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ends[0]);
        m_hold = ends[1];
    }
    ~ConnectionBurst()
    {
        ::close(m_hold);
        ::waitpid(m_child, nullptr, 0);
    }
    ConnectionBurst(const ConnectionBurst &) = delete;
    ConnectionBurst &operator=(const ConnectionBurst &) = delete;

private:
    pid_t m_child;
    int m_hold = -1;
};

} // namespace

TEST(TcpServer, AConnectionRequestHandlerTakesTheConnectionOver)
{
    RecordedSocket listener = listening();
    RecordedSocket server;
    quint16 peerPortInHandler = 0;
    listener.events->then = [&](const QString &event) {
        peerPortInHandler = static_cast<quint16>(listener.socket->RemotePort());
        EXPECT_EQ(listener.socket->RemoteHostIP(), QStringLiteral("127.0.0.1"));
        server.socket->Accept(event.section(u' ', 1).toInt());
    };
    std::unique_ptr<QTcpSocket> peer = connectTo(listener);
    ASSERT_TRUE(RunUntil([&] { return server.socket->State() == clsSocketMaster::sckConnected; }, 5000));
    ASSERT_TRUE(peer->waitForConnected(1000));
    EXPECT_EQ(peerPortInHandler, peer->localPort());
    // The listener's own remote values come back after the handler.
    EXPECT_EQ(listener.socket->RemotePort(), 0);
    EXPECT_EQ(listener.socket->RemoteHostIP(), QString());
    EXPECT_EQ(server.socket->RemotePort(), peer->localPort());
    EXPECT_EQ(server.socket->LocalPort(), listener.socket->LocalPort());

    peer->write("hello");
    ASSERT_TRUE(RunUntil([&] { return server.events->log.contains(QStringLiteral("DataArrival 5")); }, 5000));
    server.socket->SendData(QStringLiteral("world"));
    ASSERT_TRUE(RunUntil([&] { return peer->bytesAvailable() == 5; }, 5000));
    EXPECT_EQ(peer->readAll(), "world");
}

TEST(TcpServer, AConnectionNobodyAcceptsIsClosedAndTheListenerGoesOn)
{
    RecordedSocket listener = listening();
    std::unique_ptr<QTcpSocket> first = connectTo(listener);
    ASSERT_TRUE(RunUntil([&] { return first->state() == QAbstractSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(listener.events->log.size(), 1);
    EXPECT_EQ(listener.socket->State(), clsSocketMaster::sckListening);
    EXPECT_EQ(listener.socket->RemoteHostIP(), QString());

    // Also when the handler drops the listener itself.
    listener.events->then = [&](const QString &) { listener.socket.reset(); };
    std::unique_ptr<QTcpSocket> second = connectTo(listener);
    ASSERT_TRUE(RunUntil([&] { return second->state() == QAbstractSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(listener.events->log.size(), 2);
    EXPECT_FALSE(listener.socket);
}

// While the handler lets the message loop run, the accepted connection's bytes and its close are
// kept for the object that takes it over, and reported to it at once.
TEST(TcpServer, WhatArrivesBeforeAcceptIsDeliveredRightAfterIt)
{
    RecordedSocket listener = listening();
    RecordedSocket server;
    std::unique_ptr<QTcpSocket> peer = connectTo(listener);
    QStringList duringAccept;
    listener.events->then = [&](const QString &event) {
        peer->write("abc");
        peer->disconnectFromHost();
        RunUntil([] { return false; }, 300);
        EXPECT_TRUE(server.events->log.isEmpty());
        server.socket->Accept(event.section(u' ', 1).toInt());
        duringAccept = server.events->log;
    };
    ASSERT_TRUE(RunUntil([&] { return !duringAccept.isEmpty(); }, 5000));
    EXPECT_EQ(duringAccept, (QStringList{QStringLiteral("DataArrival 3"), QStringLiteral("CloseSck")}));
    EXPECT_EQ(server.socket->State(), clsSocketMaster::sckClosing);
    RunUntil([] { return false; }, 100);
    EXPECT_EQ(server.events->log, duringAccept);
}

// A read takes everything that waits in the socket, however far the connection's buffer has
// grown since it was opened (the system grows it while data streams in): one DataArrival
// reports all of it.
TEST(TcpServer, OneReadTakesEverythingThatWaits)
{
    RecordedSocket listener = listening();
    setReceiveBuffer(listener.socket->SocketHandle(), 4096); // accepted connections start small
    RecordedSocket server;
    listener.events->then = [&](const QString &event) { server.socket->Accept(event.section(u' ', 1).toInt()); };
    std::unique_ptr<QTcpSocket> peer = connectTo(listener);
    ASSERT_TRUE(RunUntil([&] { return server.socket->State() == clsSocketMaster::sckConnected; }, 5000));
    ASSERT_TRUE(peer->waitForConnected(1000));
    setReceiveBuffer(server.socket->SocketHandle(), 200000);

    const QByteArray data(60000, 'x');
    peer->write(data);
    while (peer->bytesToWrite() > 0 && peer->waitForBytesWritten(5000)) {
    }
    ASSERT_TRUE(waitingIn(server.socket->SocketHandle(), data.size()));
    ASSERT_TRUE(RunUntil([&] { return !server.events->log.isEmpty(); }, 5000));
    RunUntil([] { return false; }, 100);
    EXPECT_EQ(server.events->log, QStringList{QStringLiteral("DataArrival %1").arg(data.size())});
}

// Every connection of a burst is reported and can be taken over; a short queue of pending
// connections would make the system drop most of them for good.
TEST(TcpServer, EveryConnectionOfABurstIsReportedAndAccepted)
{
    constexpr int Count = 500;
    RecordedSocket listener = listening();
    std::vector<std::shared_ptr<clsSocketMaster>> servers;
    listener.events->then = [&](const QString &event) {
        servers.push_back(clsSocketMaster::Create());
        servers.back()->Accept(event.section(u' ', 1).toInt());
    };
    const ConnectionBurst burst(listener.socket->LocalPort(), Count);
    // It takes a fraction of a second; the wait only ends a run that lost connections.
    EXPECT_TRUE(RunUntil([&] { return servers.size() == Count; }, 30000));
    EXPECT_EQ(listener.events->log.size(), Count);
    EXPECT_TRUE(std::all_of(servers.begin(), servers.end(),
                            [](const auto &server) { return server->State() == clsSocketMaster::sckConnected; }));
    EXPECT_EQ(listener.socket->State(), clsSocketMaster::sckListening);
}

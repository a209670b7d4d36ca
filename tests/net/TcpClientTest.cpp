#include "SocketEvents.h"
#include "common/TestSupport.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

using testing_support::RecordedSocket;
using testing_support::ErrorOf;
using testing_support::RunUntil;
using testing_support::UnresolvableName;

namespace {

bool logged(const RecordedSocket &client, const QString &event)
{
    return RunUntil([&] { return client.events->log.contains(event); }, 5000);
}

// A plain Qt server on loopback, as the peer of the socket objects.
class TcpClient : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0)); }

    int32_t Port() const { return server.serverPort(); }

    QTcpSocket *Peer()
    {
        RunUntil([&] { return server.hasPendingConnections(); }, 5000);
        return server.nextPendingConnection();
    }

    // A port of loopback that nothing listens on.
    static quint16 ClosedPort()
    {
        QTcpServer gone;
        gone.listen(QHostAddress::LocalHost, 0);
        return gone.serverPort();
    }

    RecordedSocket Connected()
    {
        RecordedSocket client;
        client.socket->Connect(QStringLiteral("127.0.0.1"), Port());
        EXPECT_TRUE(logged(client, QStringLiteral("Connect")));
        return client;
    }

    QTcpServer server;
};

} // namespace

TEST_F(TcpClient, ConnectsToADottedAddressAtOnceAndToANameAfterItsLookup)
{
    const struct {
        QString host;
        int32_t stateOnReturn;
    } cases[] = {{QStringLiteral("127.0.0.1"), clsSocketMaster::sckConnecting},
                 {QStringLiteral("localhost"), clsSocketMaster::sckResolvingHost}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.host.toStdString());
        RecordedSocket client;
        client.socket->Connect(c.host, double(Port())); // any numeric type serves as the port
        EXPECT_EQ(client.socket->State(), c.stateOnReturn);
        int32_t stateAtEvent = -1;
        client.events->then = [&](const QString &) { stateAtEvent = client.socket->State(); };
        ASSERT_TRUE(logged(client, QStringLiteral("Connect")));
        EXPECT_EQ(stateAtEvent, clsSocketMaster::sckConnected);
        EXPECT_EQ(client.events->log, QStringList{QStringLiteral("Connect")});

        const QTcpSocket *peer = Peer();
        ASSERT_TRUE(peer);
        EXPECT_EQ(client.socket->RemoteHost(), QString());
        EXPECT_EQ(client.socket->RemoteHostIP(), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(client.socket->RemotePort(), Port());
        EXPECT_EQ(client.socket->LocalPort(), peer->peerPort());
        EXPECT_EQ(client.socket->LocalIP(), QStringLiteral("127.0.0.1"));
    }
}

// The downloader's conversation: a request out, the reply in pieces, the server's close, and the
// object dropped from inside the close handler.
TEST_F(TcpClient, SendsTextReportsEveryBufferedByteAndTheCloseAfterTheLastOne)
{
    RecordedSocket client = Connected();
    QTcpSocket *peer = Peer();
    ASSERT_TRUE(peer);

    const QString request = QStringLiteral("GET / HTTP/1.0\r\n\r\n");
    client.socket->SendData(request);
    EXPECT_EQ(client.events->log.mid(1), (QStringList{QStringLiteral("SendProgress 18 0"), QStringLiteral("SendComplete")}));
    ASSERT_TRUE(RunUntil([&] { return peer->bytesAvailable() == 18; }, 5000));
    EXPECT_EQ(peer->readAll(), request.toLatin1());

    client.events->log.clear();
    peer->write(QByteArray(100, 'a'));
    ASSERT_TRUE(logged(client, QStringLiteral("DataArrival 100")));
    peer->write(QByteArray(50, 'b'));
    ASSERT_TRUE(logged(client, QStringLiteral("DataArrival 150")));

    QVariant text = QString();
    client.socket->GetData(text);
    EXPECT_EQ(text, QString(QString(100, u'a') + QString(50, u'b')));
    EXPECT_EQ(client.socket->BytesReceived(), 0);
    client.socket->GetData(text);
    EXPECT_EQ(text, QString());

    // The last bytes and the close come together: every byte is reported before the close.
    client.events->log.clear();
    QByteArray received;
    client.events->then = [&](const QString &event) {
        if (event.startsWith(QStringLiteral("DataArrival"))) {
            QVariant data = QByteArray();
            client.socket->GetData(data);
            received += data.toByteArray();
        }
        if (event == QStringLiteral("CloseSck")) {
            EXPECT_EQ(client.socket->State(), clsSocketMaster::sckClosing);
            EXPECT_EQ(ErrorOf([&] { QVariant data; client.socket->GetData(data); }).first, 40006);
            client.socket.reset();
        }
    };
    const QByteArray tail(300000, 'z');
    peer->write(tail);
    peer->disconnectFromHost();
    ASSERT_TRUE(logged(client, QStringLiteral("CloseSck")));
    EXPECT_EQ(received, tail);
    EXPECT_EQ(client.events->log.count(QStringLiteral("CloseSck")), 1);
    EXPECT_FALSE(client.socket);
}

TEST_F(TcpClient, AnUnresolvableNameOrARefusedPortEndsInOneErrorEvent)
{
    testing_support::ScriptedShell shell;
    const quint16 closedPort = ClosedPort();
    const struct {
        QString host;
        quint16 port;
        bool showBox;
        QString error;
    } cases[] = {
        {UnresolvableName, 80, false, QStringLiteral("Error 11001 Host not found. clsSocketMaster.ConnectToIP")},
        {QStringLiteral("127.0.0.1"), closedPort, true, QStringLiteral("Error 10061 Connection refused. clsSocketMaster.PostSocket")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.error.toStdString());
        shell.prompts.clear();
        RecordedSocket client;
        client.events->cancelDisplay = !c.showBox;
        client.socket->Connect(c.host, c.port);
        ASSERT_TRUE(RunUntil([&] { return !client.events->log.isEmpty(); }, 5000));
        RunUntil([] { return false; }, 100);
        EXPECT_EQ(client.events->log, QStringList{c.error});
        EXPECT_EQ(client.socket->State(), clsSocketMaster::sckError);
        ASSERT_EQ(shell.prompts.size(), c.showBox ? 1u : 0u);
        if (c.showBox) {
            EXPECT_EQ(shell.prompts[0].text, QStringLiteral("Connection refused."));
            EXPECT_EQ(shell.prompts[0].title, QStringLiteral("clsSocketMaster.PostSocket"));
            EXPECT_EQ(shell.prompts[0].style, 0);
        }
        // Nothing but CloseSck leaves the error state.
        EXPECT_EQ(ErrorOf([&] { client.socket->Connect(); }), std::make_pair(40020, QStringLiteral("clsSocketMaster.Connect")));
        client.socket->CloseSck();
        EXPECT_EQ(client.socket->State(), clsSocketMaster::sckClosed);
    }
}

TEST_F(TcpClient, ArgumentAndStateErrorsNameTheirMember)
{
    const QVariant badPorts[] = {0, 65536, -1, QStringLiteral("abc")};
    for (const QVariant &port : badPorts) {
        RecordedSocket client;
        const auto error = ErrorOf([&] { client.socket->Connect(QStringLiteral("10.1.2.3"), port); });
        EXPECT_EQ(error.first, port.typeId() == QMetaType::QString ? 40018 : 40014) << port.toString().toStdString();
        EXPECT_EQ(error.second, QStringLiteral("clsSocketMaster.Connect"));
        EXPECT_EQ(client.socket->RemoteHost(), QStringLiteral("10.1.2.3"));
        EXPECT_EQ(client.socket->State(), clsSocketMaster::sckClosed);
    }

    RecordedSocket client;
    EXPECT_EQ(ErrorOf([&] { client.socket->setRemotePort(65536); }),
              std::make_pair(40014, QStringLiteral("clsSocketMaster.RemotePort")));
    EXPECT_EQ(ErrorOf([&] { client.socket->setLocalPort(-1); }),
              std::make_pair(40014, QStringLiteral("clsSocketMaster.LocalPort")));
    client.socket->setRemotePort(Port());
    client.socket->setRemoteHost(QStringLiteral("localhost"));
    client.socket->Connect();
    ASSERT_EQ(client.socket->State(), clsSocketMaster::sckResolvingHost);
    const std::pair<std::function<void()>, QString> calls[] = {
        {[&] { client.socket->setRemotePort(80); }, QStringLiteral("clsSocketMaster.RemotePort")},
        {[&] { client.socket->setRemoteHost(QStringLiteral("a")); }, QStringLiteral("clsSocketMaster.RemoteHost")},
        {[&] { client.socket->setLocalPort(80); }, QStringLiteral("clsSocketMaster.LocalPort")},
        {[&] { client.socket->setProtocol(1); }, QStringLiteral("clsSocketMaster.Protocol")},
        {[&] { client.socket->Connect(); }, QStringLiteral("clsSocketMaster.Connect")},
        {[&] { client.socket->Bind(); }, QStringLiteral("clsSocketMaster.Bind")},
        {[&] { client.socket->Listen(); }, QStringLiteral("clsSocketMaster.Listen")},
        {[&] { client.socket->Accept(0); }, QStringLiteral("clsSocketMaster.Accept")},
    };
    for (const auto &[call, source] : calls)
        EXPECT_EQ(ErrorOf(call), std::make_pair(40020, source));
    EXPECT_EQ(ErrorOf([&] { client.socket->SendData(QStringLiteral("x")); }),
              std::make_pair(40006, QStringLiteral("clsSocketMaster.SendData")));
    EXPECT_EQ(client.socket->State(), clsSocketMaster::sckResolvingHost);

    // Closing during the lookup cancels it: no event follows, and no connection is made.
    client.socket->CloseSck();
    EXPECT_EQ(client.socket->State(), clsSocketMaster::sckClosed);
    EXPECT_EQ(client.socket->SocketHandle(), -1);
    RunUntil([] { return false; }, 300);
    EXPECT_TRUE(client.events->log.isEmpty());
    EXPECT_FALSE(server.hasPendingConnections());
    client.socket->CloseSck();
    EXPECT_EQ(client.socket->State(), clsSocketMaster::sckClosed);
}

// The downloader drops its socket object from inside the object's handlers: nothing is raised
// after that, and the connection closes.
TEST_F(TcpClient, TheObjectMayBeDroppedInsideItsHandlers)
{
    const std::pair<QString, QStringList> cases[] = {
        {QStringLiteral("Connect"), {QStringLiteral("Connect")}},
        {QStringLiteral("SendComplete"), {QStringLiteral("Connect"), QStringLiteral("SendProgress 1 0"), QStringLiteral("SendComplete")}},
        {QStringLiteral("DataArrival"), {QStringLiteral("Connect"), QStringLiteral("SendProgress 1 0"), QStringLiteral("SendComplete"), QStringLiteral("DataArrival 4")}},
        {QStringLiteral("Error"), {QStringLiteral("Error 10061 Connection refused. clsSocketMaster.PostSocket")}},
    };
    for (const auto &[dropAt, expected] : cases) {
        SCOPED_TRACE(dropAt.toStdString());
        RecordedSocket client;
        client.events->then = [&, dropAt = dropAt](const QString &event) {
            if (event.startsWith(dropAt))
                client.socket.reset();
            else if (event == QStringLiteral("Connect"))
                client.socket->SendData(QStringLiteral("x"));
        };
        const bool refused = dropAt == QStringLiteral("Error");
        client.socket->Connect(QStringLiteral("127.0.0.1"), refused ? ClosedPort() : Port());
        QTcpSocket *peer = refused ? nullptr : Peer();
        if (peer) {
            peer->write("data");
            peer->disconnectFromHost();
        }
        ASSERT_TRUE(RunUntil([&] { return !client.socket; }, 5000));
        RunUntil([] { return false; }, 100);
        EXPECT_EQ(client.events->log, expected);
        EXPECT_TRUE(refused || RunUntil([&] { return peer->state() == QAbstractSocket::UnconnectedState; }, 5000));
    }
}

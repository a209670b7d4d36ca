#include "common/HttpServer.h"
#include "common/TestSupport.h"
#include "platform/winsock/Winsock.h"
#include "support/Error.h"

#include <QTcpServer>

#include <gtest/gtest.h>

using platform::winsock::Winsock;
using testing_support::HttpServer;
using testing_support::RunUntil;

namespace {

int32_t raisedNumber(const std::function<void()> &call)
{
    try {
        call();
    } catch (const support::Error &error) {
        return error.Number();
    }
    return 0;
}

} // namespace

// A whole exchange: connect, send, the reply (bytes above 127 included) and the peer's close,
// after which what it sent can still be read.
TEST(Winsock, ExchangesTextAndSeesThePeerClose)
{
    HttpServer server;
    server.handler = [](const HttpServer::Request &) { return HttpServer::Reply{{"caf\xe9 ", "au lait"}, 30}; };
    Winsock control;
    QStringList events;
    QObject::connect(&control, &Winsock::ConnectEvent, [&] {
        events << "Connect";
        control.SendData(QString::fromLatin1("GET / HTTP/1.0\r\nX: \xe9\r\n\r\n"));
    });
    QObject::connect(&control, &Winsock::DataArrival, [&](int32_t total) { events << QString("DataArrival %1").arg(total); });
    QObject::connect(&control, &Winsock::CloseEvent, [&] { events << "Close"; });
    EXPECT_EQ(raisedNumber([&] { control.SendData("early"); }), 40006);
    control.setRemoteHost("127.0.0.1");
    control.setRemotePort(server.Port());
    control.Connect();
    EXPECT_EQ(raisedNumber([&] { control.Connect(); }), 40020);
    ASSERT_TRUE(RunUntil([&] { return control.State() == Winsock::sckClosing; }, 5000)) << control.State();
    EXPECT_EQ(events.first(), "Connect");
    EXPECT_EQ(events.last(), "Close");
    EXPECT_EQ(control.GetData(), QString::fromLatin1("caf\xe9 au lait"));
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_EQ(server.requests[0].raw, QByteArray("GET / HTTP/1.0\r\nX: \xe9\r\n\r\n"));
    control.Close();
    EXPECT_EQ(control.State(), Winsock::sckClosed);
    EXPECT_EQ(events.last(), "Close") << "closing ourselves raises no event";
}

TEST(Winsock, ARefusedConnectionIsAnErrorEvent)
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const quint16 port = closed.serverPort();
    closed.close();
    Winsock control;
    int32_t number = 0;
    QObject::connect(&control, &Winsock::Error, [&](int32_t n, const QString &) { number = n; });
    control.setRemoteHost("127.0.0.1");
    control.setRemotePort(port);
    control.Connect();
    ASSERT_TRUE(RunUntil([&] { return number != 0; }, 5000));
    EXPECT_EQ(number, 10061);
    EXPECT_EQ(control.State(), Winsock::sckError);
    control.Close();
    control.Connect(); // closed again, so it may connect anew
    EXPECT_NE(control.State(), Winsock::sckClosed);
}

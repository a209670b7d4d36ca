#include "SocketEvents.h"
#include "common/TestSupport.h"
#include "support/VarType.h"

#include <QDateTime>
#include <QThread>

#include <gtest/gtest.h>

using testing_support::RecordedSocket;
using testing_support::ErrorOf;
using testing_support::RunUntil;

namespace {

// A client object connected to a server object that a listener accepted for it.
class SocketData : public ::testing::Test {
protected:
    void SetUp() override
    {
        listener.socket->Bind(0, QStringLiteral("127.0.0.1"));
        listener.socket->Listen();
        listener.events->then = [&](const QString &event) { server.socket->Accept(event.section(u' ', 1).toInt()); };
        client.socket->Connect(QStringLiteral("127.0.0.1"), listener.socket->LocalPort());
        ASSERT_TRUE(RunUntil([&] { return client.events->log.contains(QStringLiteral("Connect")); }, 5000));
        ASSERT_EQ(server.socket->State(), clsSocketMaster::sckConnected);
        client.events->log.clear();
    }

    // Sends data from the client and waits until the server has count bytes.
    void Deliver(const QVariant &data, int32_t count)
    {
        client.socket->SendData(data);
        ASSERT_TRUE(RunUntil([&] { return server.socket->BytesReceived() == count; }, 5000));
    }

    QByteArray Peek()
    {
        QVariant bytes = QByteArray();
        server.socket->PeekData(bytes);
        return bytes.toByteArray();
    }

    RecordedSocket listener;
    RecordedSocket client;
    RecordedSocket server;
};

std::shared_ptr<clsSocketMaster> udpSocket()
{
    auto socket = clsSocketMaster::Create();
    socket->setProtocol(clsSocketMaster::sckUDPProtocol);
    return socket;
}

} // namespace

TEST_F(SocketData, ValuesTravelInTheirLittleEndianLayoutAndComeBackAsTheirType)
{
    const struct {
        QVariant value;
        const char *hex;
    } cases[] = {
        {QVariant::fromValue<uint8_t>(0xAB), "ab"},
        {QVariant::fromValue<int16_t>(1), "0100"},
        {QVariant::fromValue<int16_t>(-2), "feff"},
        {true, "ffff"},
        {false, "0000"},
        {QVariant::fromValue<int32_t>(0x01020304), "04030201"},
        {1.0f, "0000803f"},
        {1.0, "000000000000f03f"},
        {QVariant::fromValue(support::Currency{12345}), "3930000000000000"},
        {QDateTime(QDate(1899, 12, 31), QTime(12, 0)), "000000000000f83f"}, // 1.5
        {QDateTime(QDate(1899, 12, 29), QTime(6, 0)), "000000000000f4bf"},  // -1.25
        {QStringLiteral("A\u00e9"), "41e9"},
        {QByteArray("\x00\xff", 2), "00ff"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.hex);
        const QByteArray bytes = QByteArray::fromHex(c.hex);
        Deliver(c.value, static_cast<int32_t>(bytes.size()));
        EXPECT_EQ(Peek(), bytes);
        QVariant data(c.value.metaType()); // a variable of the value's type
        int32_t varType = 0;
        server.socket->GetData(data, &varType);
        EXPECT_EQ(data, c.value);
        EXPECT_EQ(varType, support::VarTypeOf(c.value));
        EXPECT_EQ(server.socket->BytesReceived(), 0);
    }
}

TEST_F(SocketData, EmptyValuesSendNothingAndOtherTypesAreRefused)
{
    client.socket->SendData(QString());
    client.socket->SendData(QByteArray());
    EXPECT_EQ(ErrorOf([&] { client.socket->SendData(QVariant::fromValue<qint64>(1)); }),
              std::make_pair(40018, QStringLiteral("clsSocketMaster.SendData")));
    EXPECT_TRUE(client.events->log.isEmpty());
    Deliver(QStringLiteral("x"), 1);
    EXPECT_EQ(Peek(), "x");
}

TEST_F(SocketData, ReadsTakeAtMostMaxLenAndFixedSizesOnlyWhenComplete)
{
    Deliver(QStringLiteral("abcdefghijkl"), 12);
    QVariant text = QString();
    QVariant maxLen = 5;
    server.socket->GetData(text, nullptr, &maxLen);
    EXPECT_EQ(text, QStringLiteral("abcde"));
    maxLen = 0;
    server.socket->GetData(text, nullptr, &maxLen);
    EXPECT_EQ(text, QString());
    QVariant bytes; // empty: read as a byte array
    maxLen = QStringLiteral("all");
    server.socket->PeekData(bytes, nullptr, &maxLen);
    EXPECT_EQ(maxLen, 7);
    EXPECT_EQ(bytes, QByteArray("fghijkl"));
    for (const char *member : {"GetData", "PeekData"}) {
        maxLen = -1;
        const auto error = ErrorOf([&] {
            if (QByteArray(member) == "GetData")
                server.socket->GetData(text, nullptr, &maxLen);
            else
                server.socket->PeekData(text, nullptr, &maxLen);
        });
        EXPECT_EQ(error, std::make_pair(40014, QStringLiteral("clsSocketMaster.") + QLatin1String(member)));
    }

    QVariant number;
    int32_t varType = support::vbInteger;
    server.socket->GetData(number, &varType);
    EXPECT_EQ(number, QVariant::fromValue<int16_t>(('g' << 8) | 'f'));
    QVariant count = QVariant::fromValue<int32_t>(7);
    server.socket->GetData(count); // 4 of the 5 left
    server.socket->GetData(count); // 1 left: too few
    EXPECT_EQ(count, QVariant::fromValue<int32_t>(('k' << 24) | ('j' << 16) | ('i' << 8) | 'h'));
    EXPECT_EQ(server.socket->BytesReceived(), 1);

    QVariant unknown;
    varType = support::vbEmpty;
    EXPECT_EQ(ErrorOf([&] { server.socket->GetData(unknown, &varType); }),
              std::make_pair(40018, QStringLiteral("clsSocketMaster.RecvData")));
}

TEST_F(SocketData, EveryByteValueSurvivesTextBothWays)
{
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);
    server.socket->SendData(all);
    ASSERT_TRUE(RunUntil([&] { return client.socket->BytesReceived() == 256; }, 5000));
    QVariant text = QString();
    client.socket->GetData(text);
    EXPECT_EQ(text.toString().size(), 256);
    Deliver(text, 256);
    EXPECT_EQ(Peek(), all);
}

TEST_F(SocketData, ALargeSendGoesOutInPiecesAsTheNetworkTakesIt)
{
    QByteArray data(32 << 20, '\0');
    for (qsizetype i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>(i * 7 / 3);
    client.socket->SendData(data);
    ASSERT_EQ(client.events->log.size(), 1);
    const int32_t sentAtOnce = client.events->log[0].section(u' ', 1, 1).toInt();
    EXPECT_EQ(client.events->log[0], QStringLiteral("SendProgress %1 %2").arg(sentAtOnce).arg(data.size() - sentAtOnce));

    QByteArray received;
    server.events->then = [&](const QString &) {
        QVariant piece = QByteArray();
        server.socket->GetData(piece);
        received += piece.toByteArray();
    };
    ASSERT_TRUE(RunUntil([&] { return client.events->log.contains(QStringLiteral("SendComplete")); }, 20000));
    ASSERT_TRUE(RunUntil([&] { return received.size() == data.size(); }, 5000));
    EXPECT_TRUE(received == data);
    EXPECT_EQ(client.events->log.last(), QStringLiteral("SendComplete"));
    int64_t reported = 0;
    for (const QString &event : client.events->log) {
        if (event.startsWith(QStringLiteral("SendProgress")))
            reported += event.section(u' ', 1, 1).toInt();
    }
    EXPECT_EQ(reported, data.size());
}

// A send to a peer that has gone must be reported, not end the program with SIGPIPE.
TEST_F(SocketData, SendingToAPeerThatHasGoneIsAnError)
{
    server.socket->CloseSck();
    QThread::msleep(50);
    client.socket->SendData(QStringLiteral("first")); // taken; the peer answers with a reset
    QThread::msleep(50);
    client.socket->SendData(QStringLiteral("second"));
    EXPECT_EQ(client.events->log.last(), QStringLiteral("Error 10054 Connection reset by peer. clsSocketMaster.SendBufferedData"));
    EXPECT_EQ(client.socket->State(), clsSocketMaster::sckError);
}

TEST(UdpData, DatagramsCarryTheirSenderAndAreReadOneByOne)
{
    auto receiver = udpSocket();
    receiver->Bind(0, QStringLiteral("127.0.0.1"));
    ASSERT_EQ(receiver->State(), clsSocketMaster::sckOpen);
    testing_support::SocketEvents events(*receiver);
    QStringList read;
    std::function<void()> handle = [&] {
        QVariant text = QString();
        receiver->GetData(text);
        read << QStringLiteral("%1 from %2:%3").arg(text.toString(), receiver->RemoteHostIP()).arg(receiver->RemotePort());
    };
    events.then = [&](const QString &) { handle(); };

    auto sender = udpSocket();
    sender->setRemoteHost(QStringLiteral("127.0.0.1"));
    sender->setRemotePort(receiver->LocalPort());
    sender->SendData(QStringLiteral("one"));
    sender->SendData(QStringLiteral("two"));
    EXPECT_EQ(sender->State(), clsSocketMaster::sckOpen);
    ASSERT_TRUE(RunUntil([&] { return read.size() == 2; }, 5000));
    const QString from = QStringLiteral(" from 127.0.0.1:%1").arg(sender->LocalPort());
    EXPECT_EQ(read, (QStringList{QStringLiteral("one") + from, QStringLiteral("two") + from}));
    EXPECT_EQ(events.log, (QStringList{QStringLiteral("DataArrival 3"), QStringLiteral("DataArrival 3")}));

    // maxLen 0 drops the datagram with 10040; so does a handler that reads nothing; a shorter
    // maxLen gets the head of the datagram and 10040, and the rest is lost.
    std::vector<std::pair<int32_t, QByteArray>> outcomes;
    QVariant maxLen;
    handle = [&] {
        QVariant bytes;
        if (!maxLen.isValid())
            return;
        const auto error = ErrorOf([&] { receiver->GetData(bytes, nullptr, &maxLen); });
        outcomes.emplace_back(error.first, bytes.toByteArray());
        EXPECT_TRUE(error.first == 0 || error.second == QStringLiteral("clsSocketMaster.RecvData"));
    };
    for (const QVariant &limit : {QVariant(0), QVariant(), QVariant(2), QVariant(10)}) {
        maxLen = limit;
        const qsizetype before = events.log.size();
        sender->SendData(QStringLiteral("long"));
        ASSERT_TRUE(RunUntil([&] { return events.log.size() > before; }, 5000));
    }
    EXPECT_EQ(outcomes, (std::vector<std::pair<int32_t, QByteArray>>{
                            {10040, QByteArray()}, {10040, "lo"}, {0, "long"}}));
    EXPECT_EQ(receiver->BytesReceived(), 0);

    sender->setRemoteHost(testing_support::UnresolvableName);
    EXPECT_EQ(ErrorOf([&] { sender->SendData(QStringLiteral("x")); }),
              std::make_pair(40014, QStringLiteral("clsSocketMaster.SendBufferedDataUDP")));
}

// A datagram too long to send fails alone: the socket sends the next one as usual.
TEST(UdpData, AFailedSendLeavesTheSocketSending)
{
    auto receiver = udpSocket();
    receiver->Bind(0, QStringLiteral("127.0.0.1"));
    testing_support::SocketEvents arrivals(*receiver);
    QVariant datagram = QByteArray();
    arrivals.then = [&](const QString &) { receiver->GetData(datagram); };
    auto sender = udpSocket();
    testing_support::SocketEvents sent(*sender);
    sender->setRemoteHost(QStringLiteral("127.0.0.1"));
    sender->setRemotePort(receiver->LocalPort());
    sender->SendData(QByteArray(70000, 'x'));
    EXPECT_EQ(sent.log, (QStringList{QStringLiteral("Error 10040 Message too long. clsSocketMaster.SendBufferedDataUDP")}));
    EXPECT_EQ(ErrorOf([&] { sender->SendData(QByteArray(100, 'y')); }).first, 0);
    ASSERT_TRUE(RunUntil([&] { return datagram.toByteArray().size() == 100; }, 5000));
}

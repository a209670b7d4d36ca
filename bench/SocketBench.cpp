// 256 MB over loopback from one socket object to another, read with GetData on every
// DataArrival, timed side by side with the same transfer between two QTcpSockets.
// Usage: bench_sockets [MEGABYTES] [ROUNDS]     (defaults: 256, 9)
#include "net/clsSocketMaster.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void runUntil(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Milliseconds for the whole payload to arrive; the receiver reads into a variable of readType.
double socketObjects(const QByteArray &payload, const QVariant &readType)
{
    const auto listener = clsSocketMaster::Create();
    listener->Bind(0, QStringLiteral("127.0.0.1"));
    listener->Listen();
    const auto sender = clsSocketMaster::Create();
    const auto receiver = clsSocketMaster::Create();
    QObject::connect(listener->Events(), &clsSocketMasterEvents::ConnectionRequest,
                     [&](int32_t requestID) { receiver->Accept(requestID); });
    qsizetype received = 0;
    QObject::connect(receiver->Events(), &clsSocketMasterEvents::DataArrival, [&](int32_t) {
        QVariant data = readType;
        receiver->GetData(data);
        received += readType.typeId() == QMetaType::QString ? data.toString().size() : data.toByteArray().size();
    });
    sender->Connect(QStringLiteral("127.0.0.1"), listener->LocalPort());
    runUntil([&] { return sender->State() == clsSocketMaster::sckConnected; });

    QElapsedTimer timer;
    timer.start();
    sender->SendData(payload);
    runUntil([&] { return received == payload.size(); });
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double qtSockets(const QByteArray &payload)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    QTcpSocket sender;
    sender.connectToHost(QHostAddress::LocalHost, server.serverPort());
    runUntil([&] { return server.hasPendingConnections() && sender.state() == QAbstractSocket::ConnectedState; });
    QTcpSocket *receiver = server.nextPendingConnection();
    qsizetype received = 0;
    QObject::connect(receiver, &QTcpSocket::readyRead, [&] { received += receiver->readAll().size(); });

    QElapsedTimer timer;
    timer.start();
    sender.write(payload);
    runUntil([&] { return received == payload.size(); });
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype megabytes = args.size() > 1 ? args.at(1).toLongLong() : 256;
    const int rounds = args.size() > 2 ? args.at(2).toInt() : 9;
    QByteArray payload(megabytes << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 131 >> 3);

    std::vector<double> bytes, text, qt;
    for (int round = 0; round < rounds; ++round) {
        bytes.push_back(socketObjects(payload, QByteArray()));
        text.push_back(socketObjects(payload, QString()));
        qt.push_back(qtSockets(payload));
    }
    const double reference = median(qt);
    std::printf("%lld MB, median of %d rounds\n", static_cast<long long>(megabytes), rounds);
    std::printf("QTcpSocket to QTcpSocket:            %8.1f ms\n", reference);
    std::printf("clsSocketMaster, GetData into bytes: %8.1f ms  (%.2f x)\n", median(bytes), median(bytes) / reference);
    std::printf("clsSocketMaster, GetData into text:  %8.1f ms  (%.2f x)\n", median(text), median(text) / reference);
    return 0;
}

#include "common/HttpServer.h"

#include <QTcpSocket>
#include <QTimer>

#include <memory>

namespace testing_support {

namespace {

// Writes the first piece now and the rest on later turns of the message loop, pauseMs apart;
// closes after the last one when asked. What is still to be written belongs to the socket's
// timer, so it goes with the socket when the peer leaves early.
void writePieces(QTcpSocket *socket, QList<QByteArray> pieces, int pauseMs, bool close)
{
    if (pieces.isEmpty()) {
        if (close)
            socket->disconnectFromHost();
        return;
    }
    socket->write(pieces.takeFirst());
    socket->flush();
    QTimer::singleShot(pieces.isEmpty() ? 0 : pauseMs, socket,
                       [=] { writePieces(socket, pieces, pauseMs, close); });
}

} // namespace

QByteArray HttpServer::Request::Header(const QByteArray &name) const
{
    for (const QByteArray &line : raw.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

HttpServer::HttpServer()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            auto received = std::make_shared<QByteArray>();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
                if (received->contains("\r\n\r\n"))
                    return;
                received->append(socket->readAll());
                const qsizetype end = received->indexOf("\r\n\r\n");
                if (end < 0)
                    return;
                Request request{received->left(end + 4), received->split(' ').value(1)};
                requests.push_back(request);
                answer(socket, request);
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString HttpServer::Url(const QString &path) const { return QStringLiteral("http://127.0.0.1:%1%2").arg(Port()).arg(path); }

HttpServer::Reply HttpServer::Whole(const QByteArray &statusAndHeaders, const QByteArray &body)
{
    return Reply{{statusAndHeaders + "\r\n\r\n" + body}};
}

HttpServer::Reply HttpServer::FileReply(const QByteArray &content, const Request &request, qsizetype most)
{
    const QByteArray range = request.Header("Range");
    if (!range.startsWith("bytes="))
        return Whole("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(content.size()), content);
    const qsizetype from = range.mid(6).chopped(1).toLongLong();
    if (from >= content.size())
        return Whole("HTTP/1.0 416 Range Not Satisfiable\r\nContent-Range: bytes */" + QByteArray::number(content.size()));
    const QByteArray rest = content.mid(from, most);
    return Whole("HTTP/1.0 206 Partial Content\r\nContent-Length: " + QByteArray::number(rest.size()) +
                     "\r\nContent-Range: bytes " + QByteArray::number(from) + "-" + QByteArray::number(from + rest.size() - 1) +
                     "/" + QByteArray::number(content.size()),
                 rest);
}

void HttpServer::answer(QTcpSocket *socket, const Request &request)
{
    Reply reply;
    if (handler)
        reply = handler(request);
    else if (files.contains(request.target))
        reply = FileReply(files.value(request.target), request);
    else
        reply = Whole("HTTP/1.0 404 Not Found\r\nContent-Type: text/html", "<html>not here</html>");

    writePieces(socket, reply.pieces, reply.pauseMs, reply.close);
}

} // namespace testing_support

#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include <functional>
#include <vector>

namespace testing_support {

// An HTTP server on loopback (a port the system chooses) that runs in the test's own message
// loop, answers each request from a script and records what it was asked.
class HttpServer : public QObject {
    Q_OBJECT

public:
    struct Request {
        QByteArray raw;    // the request up to and including its empty line
        QByteArray target; // the second word of the request line
        // The value of a header line of that name (letter case ignored), empty when absent.
        QByteArray Header(const QByteArray &name) const;
    };
    // What the server sends: the pieces in order, pauseMs apart, then it closes the connection
    // (or keeps it open and silent).
    struct Reply {
        QList<QByteArray> pieces;
        int pauseMs = 0;
        bool close = true;
    };

    HttpServer();

    quint16 Port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:<port>" + path.
    QString Url(const QString &path) const;

    // The files served at their paths (200 with Content-Length, ranges honoured); any other path
    // gets 404, unless handler answers it.
    QMap<QByteArray, QByteArray> files;
    std::function<Reply(const Request &)> handler;
    std::vector<Request> requests;

    // A reply for content as a server that honours "Range: bytes=N-" sends it: 206 with
    // Content-Range from N (at most most bytes, when most is not -1), 416 when N is at or past
    // the end, 200 with the whole file otherwise.
    static Reply FileReply(const QByteArray &content, const Request &request, qsizetype most = -1);
    // A reply of status line, headers and body in one piece.
    static Reply Whole(const QByteArray &statusAndHeaders, const QByteArray &body = {});

private:
    void answer(QTcpSocket *socket, const Request &request);

    QTcpServer m_server;
};

} // namespace testing_support

#pragma once

#include "net/ChunkedBody.h"
#include "net/FileParts.h"
#include "net/ReplyHeader.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class clsSocketMaster;

// Fetches one URL into one local file with an HTTP/1.0 GET: from the beginning (Download) or
// continuing a partly written file with a byte-range request (ResumeDownload), which is asked
// again for the rest when the server's part stops short of the file's end. Follows redirects,
// can go through a proxy, and reports the outcome through exactly one of Completed or Error per
// transfer (none after Cancel). Completed means that the file holds exactly what the server
// sent as the file; a reply that is no file, or a part that does not fit, leaves the file as it
// was. Failures never reach the caller as exceptions.
class clsDownload : public QObject {
    Q_OBJECT

public:
    explicit clsDownload(QObject *parent = nullptr);
    ~clsDownload() override;

    // Proxy host (name or dotted address), stored trimmed.
    QString Proxy() const { return m_proxy; }
    void setProxy(const QString &strProxy) { m_proxy = strProxy.trimmed(); }
    int32_t ProxyPort() const { return m_proxyPort; }
    void setProxyPort(int32_t lngProxyPort) { m_proxyPort = lngProxyPort; }
    // 0: direct; any other value: through Proxy:ProxyPort, and 1 sends the whole URL as the
    // request target.
    int32_t AccessType() const { return m_accessType; }
    void setAccessType(int32_t acAccess) { m_accessType = acAccess; }
    QString URL() const { return m_url; }
    void setURL(const QString &strURL) { m_url = strURL.trimmed(); }
    // The full path of the file to write.
    QString Destination() const { return m_destination; }
    void setDestination(const QString &strDestination) { m_destination = strDestination.trimmed(); }
    // True: a redirect (3xx other than 304) is not followed; its body becomes the file.
    bool DisableRedirection() const { return m_disableRedirection; }
    void setDisableRedirection(bool blnRedir) { m_disableRedirection = blnRedir; }
    // The size the reply announced ("Content-Length"), 0 when unknown.
    int32_t FileSize() const { return m_fileSize; }

    // A given argument, trimmed, replaces the property.
    void Download(const std::optional<QString> &URL = std::nullopt, const std::optional<QString> &Destination = std::nullopt);
    void ResumeDownload(const std::optional<QString> &URL = std::nullopt,
                        const std::optional<QString> &Destination = std::nullopt);
    // Ends the transfer at once; the file stays as far as it was written. No event follows.
    void Cancel();
    // How long a transfer may receive nothing (connecting, or waiting for the header or the
    // body) before it ends with Error, the file kept for a resume: 60 seconds unless set.
    // Setting it restarts a wait under way.
    void setIdleTimeout(int milliseconds) { m_idle.setInterval(milliseconds); }

signals:
    // Once per reply, when its header is complete, before its first body bytes are written; for a
    // reply without a header, at its first bytes, with FileSize 0 and an empty Header.
    void Starting(int32_t FileSize, const QString &Header);
    // After each piece of body data has been written: its length in bytes.
    void DataArrival(int32_t bytesTotal);
    // The transfer failed and has been closed.
    void Error(int32_t Number, const QString &Description);
    // The whole file has arrived and has been closed.
    void Completed();

private:
    void StartDownload(const std::optional<QString> &URL, const std::optional<QString> &Destination);
    QByteArray RequestTarget() const;
    void TakeHeader(const QByteArray &data);
    void TakeHeaderless();
    bool HeaderAccepted();
    bool StatusAccepted(int status);
    bool Redirected();
    void RangeUnsatisfiable();
    bool PartAccepted();
    bool FramingKnown(int status);
    bool LengthKnown();
    void RequestAgain(const QString &url, bool resume);
    void Reconnect(const QString &url, bool resume);
    void TakeBody(const QByteArray &piece);
    qsizetype BytesLeft() const;
    void BodyEnded();
    void OpenDestination();
    void CutDestination(int64_t length);
    void WriteBody(const QByteArray &body);
    void Complete();
    void CloseAll();
    void Fail(int32_t number, const QString &description);
    // Runs a socket event's handler; a failure inside it ends the transfer with Error.
    void Trapped(const std::function<void()> &handler);

    void moSocket_Connect();
    void moSocket_DataArrival();
    void moSocket_CloseSck();
    void moSocket_Error(int32_t Number, const QString &Description);

    std::shared_ptr<clsSocketMaster> moSocket;
    int32_t m_accessType = 0;
    QString m_proxy;
    QString m_url;
    QString m_destination;
    int32_t m_proxyPort = 0;
    bool m_disableRedirection = false;

    QUrl m_target; // the URL as requested
    QByteArray m_header; // the reply until its empty line, then its header
    ReplyHeader m_reply; // the header, read
    bool m_headerComplete = false;
    bool m_interimPassed = false; // an interim reply came: a final one must follow
    bool m_resume = false;
    int64_t m_resumeLength = 0;
    std::unique_ptr<QFile> m_file;
    int32_t m_fileSize = 0;
    int64_t m_expectedLength = -1; // Content-Length, -1 when none
    int64_t m_partLength = -1; // the bytes that a 206's range covers, -1 for any other reply
    std::optional<ChunkedBody> m_chunks; // while the body comes in chunks
    QTimer m_idle; // runs while the transfer waits for the server
    int64_t m_bodyLength = 0;
    int m_redirects = 0;
    int m_followUps = 0; // requests for the rest after a part
    FileParts m_fileParts; // the whole length that this download's parts named
};

#include "net/clsDownload.h"

#include "net/clsSocketMaster.h"
#include "support/Error.h"
#include "support/NumericText.h"

#include <QFileInfo>
#include <QVariant>

#include <algorithm>
#include <limits>

namespace {

// The numbers of the failures the downloader finds itself; socket failures keep their own, and a
// reply with an error status other than 404 carries that status.
constexpr int32_t ErrNotFound = 1;
constexpr int32_t ErrIncomplete = 2;
constexpr int32_t ErrTooManyRedirects = 3;
constexpr int32_t ErrHeaderTooLarge = 4;
constexpr int32_t ErrInvalidURL = 5;
constexpr int32_t ErrFileAccess = 75;

constexpr int MaxRedirects = 10;
constexpr qsizetype MaxHeader = 64 * 1024;

const QString Scheme = QStringLiteral("http://");

const QByteArray AcceptTypes = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
                               "application/vnd.ms-excel, application/msword, application/x-shockwave-flash, */*";
const QByteArray UserAgent = "Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)";

[[noreturn]] void fileError(const QFileDevice &file)
{
    throw support::Error(ErrFileAccess, file.errorString(), QStringLiteral("clsDownload"));
}

// A CR LF in the URL would add lines to the request.
bool holdsControlCharacters(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
}

} // namespace

clsDownload::clsDownload(QObject *parent) : QObject(parent) {}

clsDownload::~clsDownload() { CloseAll(); }

void clsDownload::Download(const std::optional<QString> &URL, const std::optional<QString> &Destination)
{
    m_redirects = 0;
    StartDownload(URL, Destination);
}

void clsDownload::ResumeDownload(const std::optional<QString> &URL, const std::optional<QString> &Destination)
{
    m_resume = true;
    Download(URL, Destination);
}

void clsDownload::Cancel() { CloseAll(); }

void clsDownload::StartDownload(const std::optional<QString> &URL, const std::optional<QString> &Destination)
{
    moSocket.reset();
    if (URL)
        setURL(*URL);
    if (Destination)
        setDestination(*Destination);
    try {
        if (holdsControlCharacters(m_url))
            throw support::Error(ErrInvalidURL, QStringLiteral("The URL holds control characters."), QStringLiteral("clsDownload"));
        QString host = m_proxy;
        int32_t port = m_proxyPort;
        if (m_accessType == 0)
            std::tie(host, port) = ServerOf(GetHost(m_url));
        moSocket = clsSocketMaster::Create();
        clsSocketMasterEvents *events = moSocket->Events();
        connect(events, &clsSocketMasterEvents::Connect, this, [this] { Trapped([this] { moSocket_Connect(); }); });
        connect(events, &clsSocketMasterEvents::DataArrival, this, [this] { Trapped([this] { moSocket_DataArrival(); }); });
        connect(events, &clsSocketMasterEvents::CloseSck, this, [this] { Trapped([this] { moSocket_CloseSck(); }); });
        // CancelDisplay stays as it is: the socket shows no message box of its own.
        connect(events, &clsSocketMasterEvents::Error, this,
                [this](int16_t Number, QString &Description, int32_t, const QString &, const QString &, int32_t, bool &) {
                    moSocket_Error(Number, Description);
                });
        moSocket->Connect(host, port);
    } catch (const support::Error &error) {
        Fail(error.Number(), error.Description());
    }
}

// A URL that names a port is connected on that port; without one, on 80.
std::pair<QString, int32_t> clsDownload::ServerOf(const QString &hostAndPort)
{
    const qsizetype colon = hostAndPort.lastIndexOf(u':');
    if (colon < 0)
        return {hostAndPort, 80};
    bool ok = false;
    const int port = hostAndPort.mid(colon + 1).toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        throw support::Error(ErrInvalidURL, QStringLiteral("The URL names no valid port: ") + hostAndPort, QStringLiteral("clsDownload"));
    return {hostAndPort.left(colon), port};
}

QString clsDownload::GetHost(const QString &url) const
{
    QString host = url.trimmed();
    if (host.startsWith(Scheme))
        host.remove(0, Scheme.size());
    const qsizetype slash = host.indexOf(u'/');
    return slash < 0 ? host : host.left(slash);
}

QString clsDownload::GetPath(const QString &url) const
{
    if (m_accessType == 1)
        return url;
    const QString rest = url.startsWith(Scheme) ? url.mid(Scheme.size()) : url;
    const qsizetype slash = rest.indexOf(u'/');
    return slash < 0 ? QStringLiteral("/") : rest.mid(slash);
}

// Header names match at the start of a line, in any letter case, followed by ":".
QString clsDownload::GetHeaderValue(const QByteArray &header, const QByteArray &name)
{
    const QList<QByteArray> lines = header.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        if (line.size() > name.size() && line.at(name.size()) == ':' &&
            line.left(name.size()).compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(line.mid(name.size() + 1).trimmed());
    }
    return {};
}

void clsDownload::moSocket_Connect()
{
    const QFileInfo destination(m_destination);
    if (!destination.isFile())
        m_resume = false;
    else if (m_resume)
        m_resumeLength = destination.size();

    QByteArray request = "GET " + GetPath(m_url).toLatin1() + " HTTP/1.0\r\n";
    request += "Accept: " + AcceptTypes + "\r\n";
    request += "Referer: " + GetHost(m_url).toLatin1() + "\r\n";
    request += "User-Agent: " + UserAgent + "\r\n";
    if (m_resume && m_resumeLength >= 1)
        request += "Range: bytes=" + QByteArray::number(m_resumeLength) + "-\r\n";
    request += "Host: " + GetHost(m_url).toLatin1() + "\r\n\r\n";
    moSocket->SendData(request);
}

void clsDownload::moSocket_DataArrival()
{
    QVariant received = QByteArray();
    moSocket->GetData(received);
    QByteArray data = received.toByteArray();
    if (!m_headerComplete) {
        m_header += data;
        const qsizetype end = m_header.indexOf("\r\n\r\n");
        if ((end < 0 ? m_header.size() : end) > MaxHeader)
            return Fail(ErrHeaderTooLarge, QStringLiteral("The reply's header is too large."));
        if (end < 0)
            return;
        data = m_header.mid(end + 4);
        m_header.truncate(end + 4);
        if (!HeaderAccepted())
            return;
    }
    WriteBody(data);
}

// Examines a complete header: false when the reply ends the transfer (an error status, a
// redirect, a range past the end of the file); otherwise the destination is open for the body.
// Until then the destination is left as it was, so a failed request never damages it.
bool clsDownload::HeaderAccepted()
{
    const QByteArray statusLine = m_header.left(m_header.indexOf("\r\n"));
    const int status = m_header.mid(9, 3).toInt();
    if (status == 404) {
        if (!m_resume)
            OpenDestination();
        Fail(ErrNotFound, QStringLiteral("Bestand niet gevonden op de webserver.\r\n\r\n") + m_url);
        return false;
    }
    if (status == 416 && m_resume) { // the range starts at the end: the file is whole already
        CloseAll();
        emit Completed();
        return false;
    }
    if (status >= 400) {
        Fail(status, QString::fromLatin1(statusLine));
        return false;
    }
    m_headerComplete = true;
    if (!m_disableRedirection) {
        const QString location = GetHeaderValue(m_header, "Location");
        if (!location.isEmpty()) {
            Redirect(location.startsWith(u'/') ? GetHost(m_url) + location : location);
            return false;
        }
    }
    const QString length = GetHeaderValue(m_header, "Content-Length");
    const double announced = length.isEmpty() ? -1 : support::Val(length);
    m_expectedLength = announced >= 0 && announced < 9e18 ? static_cast<int64_t>(announced) : -1;
    // Sizes beyond the 32-bit property, and negative ones, count as unknown.
    m_fileSize = m_expectedLength > 0 && m_expectedLength <= std::numeric_limits<int32_t>::max()
                     ? static_cast<int32_t>(m_expectedLength) : 0;
    OpenDestination();
    if (m_resume && GetHeaderValue(m_header, "Content-Range").isEmpty())
        ReopenDestination(); // the server sent the whole file instead of the range
    emit Starting(m_fileSize, QString::fromLatin1(m_header));
    return true;
}

void clsDownload::Redirect(const QString &url)
{
    if (++m_redirects > MaxRedirects)
        return Fail(ErrTooManyRedirects, QStringLiteral("Too many redirects: ") + url);
    CloseAll(); // a redirect begins the file anew
    m_url = url;
    StartDownload(std::nullopt, std::nullopt);
}

void clsDownload::moSocket_CloseSck()
{
    if (!m_headerComplete) {
        // A resumed file is not emptied for a reply that brought nothing at all.
        if (m_resume && m_header.isEmpty())
            return Fail(ErrIncomplete, QStringLiteral("The server closed the connection without a reply."));
        // Everything received is the file: a reply without a header.
        const QByteArray body = m_header;
        m_header.clear();
        OpenDestination();
        if (m_resume)
            ReopenDestination();
        emit Starting(static_cast<int32_t>(std::min<qsizetype>(body.size(), std::numeric_limits<int32_t>::max())), QString());
        WriteBody(body);
    } else if (m_expectedLength >= 0 && m_bodyLength < m_expectedLength) {
        // The file and its marker stay, so that a resume can fetch the rest.
        return Fail(ErrIncomplete, QStringLiteral("The connection closed before the whole file arrived."));
    }
    CloseAll();
    emit Completed();
}

void clsDownload::moSocket_Error(int32_t Number, const QString &Description) { Fail(Number, Description); }

// A fresh transfer replaces the destination (a read-only file, or a link, included); a resumed
// one appends to it.
void clsDownload::OpenDestination()
{
    m_file = std::make_unique<QFile>(m_destination);
    if (!m_resume && QFileInfo(m_destination).isFile()) {
        m_file->setPermissions(m_file->permissions() | QFileDevice::WriteOwner);
        if (!m_file->remove())
            fileError(*m_file);
    }
    if (!m_file->open(QIODevice::WriteOnly | (m_resume ? QIODevice::Append : QIODevice::Truncate)))
        fileError(*m_file);
}

void clsDownload::ReopenDestination()
{
    m_file->close();
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        fileError(*m_file);
}

void clsDownload::WriteBody(const QByteArray &body)
{
    if (m_file->write(body) != body.size())
        fileError(*m_file);
    m_bodyLength += body.size();
    emit DataArrival(static_cast<int32_t>(body.size()));
}

void clsDownload::Trapped(const std::function<void()> &handler)
{
    try {
        handler();
    } catch (const support::Error &error) {
        Fail(error.Number(), error.Description());
    }
}

void clsDownload::Fail(int32_t number, const QString &description)
{
    CloseAll();
    emit Error(number, description);
}

// Dropping the socket closes its connection; from inside its own event handler too, after which
// it raises nothing more.
void clsDownload::CloseAll()
{
    moSocket.reset();
    m_header.clear();
    m_headerComplete = false;
    m_resume = false;
    m_resumeLength = 0;
    m_file.reset();
    m_fileSize = 0;
    m_expectedLength = -1;
    m_bodyLength = 0;
}

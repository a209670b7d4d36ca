#include "net/clsDownload.h"

#include "net/clsSocketMaster.h"
#include "support/Error.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
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
constexpr int32_t ErrTimedOut = 6;
constexpr int32_t ErrTransferCoding = 7;
constexpr int32_t ErrDamagedChunks = 8;
constexpr int32_t ErrInvalidLength = 9;
constexpr int32_t ErrFileAccess = 75;

constexpr int MaxRedirects = 10;
// Requests for the rest after parts that stop short of the file's end: a server that cuts it
// finer is not worth holding the transfer for, and the next attempt goes on from there.
constexpr int MaxParts = 10;
constexpr qsizetype MaxHeader = 64 * 1024;
constexpr int IdleTimeoutMs = 60 * 1000;

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

// A length written in decimal digits alone, within 64 bits; -1 for anything else.
int64_t decimalLength(const QByteArray &text)
{
    bool ok = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    const qlonglong value = ok ? text.toLongLong(&ok) : 0;
    return ok ? value : -1;
}

// The elements of comma-separated lists, over all the lines given, trimmed; empty ones are left
// out (RFC 9110 section 5.6.1).
QList<QByteArray> listElements(const QList<QByteArray> &values)
{
    QList<QByteArray> elements;
    for (const QByteArray &value : values) {
        for (const QByteArray &element : value.split(',')) {
            if (!element.trimmed().isEmpty())
                elements << element.trimmed();
        }
    }
    return elements;
}

// The length that Content-Length lines give: one length, alone or repeated in a list (RFC 9110
// section 8.6); -1 when any element is no length or two differ.
int64_t agreedLength(const QList<QByteArray> &values)
{
    const QList<QByteArray> elements = listElements(values);
    const int64_t length = elements.isEmpty() ? -1 : decimalLength(elements.first());
    const bool agreed = std::all_of(elements.begin(), elements.end(),
                                    [length](const QByteArray &element) { return decimalLength(element) == length; });
    return agreed ? length : -1;
}

// A number of a Content-Range value: the first byte's position of "bytes 1000-1499/1500"
// (field 1) or the file's whole length of it or of "bytes */1500" (field 2); -1 when it has none.
int64_t rangeNumber(const QByteArray &contentRange, int field)
{
    static const QRegularExpression form(QStringLiteral(R"(^bytes\s+(?:(\d+)-\d+|\*)/(\d+|\*)$)"),
                                         QRegularExpression::CaseInsensitiveOption);
    bool ok = false;
    const qlonglong value = form.match(QString::fromLatin1(contentRange)).captured(field).toLongLong(&ok);
    return ok ? value : -1;
}

// Where a header ends: just past the empty line that closes it, searched from position from.
// Lines end in LF, with or without a CR before it. -1 while that empty line has not arrived.
qsizetype headerEnd(const QByteArray &text, qsizetype from)
{
    for (qsizetype lf = text.indexOf('\n', from); lf >= 0; lf = text.indexOf('\n', lf + 1)) {
        const qsizetype next = lf + 1 + (text.mid(lf + 1, 1) == "\r");
        if (text.mid(next, 1) == "\n")
            return next + 1;
    }
    return -1;
}

// A URL without its scheme, which may be written in any letter case (RFC 3986 section 3.1).
QString withoutScheme(const QString &url)
{
    return url.startsWith(Scheme, Qt::CaseInsensitive) ? url.mid(Scheme.size()) : url;
}

// Where the host (with its port) ends in a URL without its scheme: at the path or, when the path
// is empty, at the query. -1 when nothing follows the host.
qsizetype hostEnd(const QString &rest)
{
    static const QRegularExpression end(QStringLiteral("[/?]"));
    return rest.indexOf(end);
}

// A URL from a header as text, its bytes beyond ASCII (raw UTF-8, say) percent-encoded as they
// stand (RFC 3986 section 2.1): read as characters first, they would be encoded a second time.
QString beyondAsciiEncoded(const QByteArray &url)
{
    QString text;
    for (const char c : url)
        text += uchar(c) < 0x80 ? QString(QLatin1Char(c)) : u'%' + QString::number(uchar(c), 16).toUpper();
    return text;
}

// The status code of a status line "HTTP/1.1 200 OK".
int statusOf(const QByteArray &header) { return header.mid(9, 3).toInt(); }

// "HTTP/" or, cut off sooner, its first bytes.
bool beginsAsStatusLine(const QByteArray &text)
{
    return !text.isEmpty() && QByteArray("HTTP/").startsWith(text.left(5));
}

} // namespace

clsDownload::clsDownload(QObject *parent) : QObject(parent)
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(IdleTimeoutMs);
    connect(&m_idle, &QTimer::timeout, this, [this] { Fail(ErrTimedOut, QStringLiteral("The server did not answer in time.")); });
}

clsDownload::~clsDownload() { CloseAll(); }

void clsDownload::Download(const std::optional<QString> &URL, const std::optional<QString> &Destination)
{
    m_redirects = 0;
    m_parts = 0;
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
        m_idle.start();
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
    const QString rest = withoutScheme(url.trimmed());
    return rest.left(hostEnd(rest));
}

// The path with the query; an empty path is "/" (RFC 3986 section 6.2.3), also before a query.
QString clsDownload::GetPath(const QString &url) const
{
    if (m_accessType == 1)
        return url;
    const QString rest = withoutScheme(url);
    const qsizetype end = hostEnd(rest);
    const QString path = end < 0 ? QString() : rest.mid(end);
    return path.startsWith(u'/') ? path : u'/' + path;
}

// The values of the header's lines of that name, in their order. Names match at the start of a
// line, in any letter case, followed by ":".
QList<QByteArray> clsDownload::GetHeaderValues(const QByteArray &header, const QByteArray &name)
{
    QList<QByteArray> values;
    const QList<QByteArray> lines = header.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        if (line.size() > name.size() && line.at(name.size()) == ':' &&
            line.left(name.size()).compare(name, Qt::CaseInsensitive) == 0)
            values << line.mid(name.size() + 1).trimmed();
    }
    return values;
}

// The first line's value; empty when the header has no line of that name.
QByteArray clsDownload::GetHeaderValue(const QByteArray &header, const QByteArray &name)
{
    return GetHeaderValues(header, name).value(0);
}

void clsDownload::moSocket_Connect()
{
    m_idle.start();
    const QFileInfo destination(m_destination);
    if (!destination.isFile())
        m_resume = false;
    else if (m_resume)
        m_resumeLength = destination.size();

    const QByteArray host = GetHost(m_url).toLatin1();
    QByteArray request = "GET " + GetPath(m_url).toLatin1() + " HTTP/1.0\r\n";
    request += "Accept: " + AcceptTypes + "\r\n";
    request += "Referer: " + host + "\r\n";
    request += "User-Agent: " + UserAgent + "\r\n";
    if (m_resume && m_resumeLength >= 1)
        request += "Range: bytes=" + QByteArray::number(m_resumeLength) + "-\r\n";
    request += "Host: " + host + "\r\n\r\n";
    moSocket->SendData(request);
}

void clsDownload::moSocket_DataArrival()
{
    m_idle.start();
    QVariant received = QByteArray();
    moSocket->GetData(received);
    const QByteArray data = received.toByteArray();
    if (m_headerComplete)
        TakeBody(data);
    else
        TakeHeader(data);
}

// Collects the reply's header until its empty line and hands what follows to the body. An
// interim reply (1xx) is passed over: its header is dropped, and the final reply's follows it
// (RFC 9110 section 15.2).
void clsDownload::TakeHeader(const QByteArray &data)
{
    qsizetype searched = std::max<qsizetype>(m_header.size() - 2, 0);
    m_header += data;
    for (;;) {
        const qsizetype end = headerEnd(m_header, searched);
        if ((end < 0 ? m_header.size() : end) > MaxHeader)
            return Fail(ErrHeaderTooLarge, QStringLiteral("The reply's header is too large."));
        if (end < 0)
            return;
        QByteArray rest = m_header.mid(end);
        m_header.truncate(end);
        if (statusOf(m_header) / 100 != 1) {
            if (HeaderAccepted())
                TakeBody(rest);
            return;
        }
        m_interimPassed = true;
        m_header = std::move(rest);
        searched = 0;
    }
}

// Examines a complete header: false when the reply ends the transfer (an error status, a
// redirect, a range that does not continue the file, a transfer coding it cannot read);
// otherwise the destination is open for the body. Until then the destination is left as it was,
// so a failed request never damages it.
bool clsDownload::HeaderAccepted()
{
    const int status = statusOf(m_header);
    if (!StatusAccepted(status))
        return false;
    m_headerComplete = true;
    const QByteArray location = m_disableRedirection ? QByteArray() : GetHeaderValue(m_header, "Location");
    if (!location.isEmpty()) {
        RequestAgain(Resolved(location), m_resume); // a resume goes on at the new location
        return false;
    }
    // Appending a part that does not begin where the file ends would make another file of it.
    if (m_resume && status == 206 && rangeNumber(GetHeaderValue(m_header, "Content-Range"), 1) != m_resumeLength) {
        RequestAgain(m_url, false);
        return false;
    }
    if (!FramingKnown(status))
        return false;
    OpenDestination();
    if (m_resume && status == 206)
        m_completeLength = rangeNumber(GetHeaderValue(m_header, "Content-Range"), 2);
    else if (m_resume)
        ReopenDestination(); // the server sent the whole file instead of the rest
    emit Starting(m_fileSize, QString::fromLatin1(m_header));
    return true;
}

// Error statuses end the transfer. A resumed request whose range the server cannot satisfy has
// the whole file when the server's length is the file's; otherwise the file is fetched anew.
bool clsDownload::StatusAccepted(int status)
{
    if (status == 404) {
        if (!m_resume)
            OpenDestination();
        Fail(ErrNotFound, QStringLiteral("Bestand niet gevonden op de webserver.\r\n\r\n") + m_url);
    } else if (status == 416 && m_resume) {
        if (rangeNumber(GetHeaderValue(m_header, "Content-Range"), 2) == m_resumeLength) {
            CloseAll();
            emit Completed();
        } else {
            RequestAgain(m_url, false);
        }
    } else if (status >= 400) {
        Fail(status, QString::fromLatin1(m_header.left(m_header.indexOf('\n')).trimmed()));
    }
    return status < 400;
}

// How the body's end is found: by its status, its last chunk, its announced length, or the
// connection's close (RFC 9112 section 6.3). False, after Error, when the header does not say it
// in one way this program reads: every Transfer-Encoding line counts, and chunked must be the
// only coding.
bool clsDownload::FramingKnown(int status)
{
    // These have no body, whatever their header says: waiting for one would hold a connection
    // that the server keeps open.
    if (status == 204 || status == 304) {
        m_expectedLength = 0;
        return true;
    }
    const QList<QByteArray> codings = listElements(GetHeaderValues(m_header, "Transfer-Encoding"));
    if (codings.size() == 1 && codings.first().compare("chunked", Qt::CaseInsensitive) == 0) {
        m_chunks.emplace();
        return true;
    }
    if (codings.isEmpty())
        return LengthKnown();
    Fail(ErrTransferCoding,
         QStringLiteral("The server sent the file in a form this program cannot read: ") + QString::fromLatin1(codings.join(", ")));
    return false;
}

// A body without a transfer coding ends after its Content-Length, or at the close when there is
// none. False, after Error, for lengths that differ or are not lengths: guessing one would cut
// the file short or wait for bytes that never come.
bool clsDownload::LengthKnown()
{
    const QList<QByteArray> lengths = GetHeaderValues(m_header, "Content-Length");
    m_expectedLength = lengths.isEmpty() ? -1 : agreedLength(lengths);
    if (!lengths.isEmpty() && m_expectedLength < 0) {
        Fail(ErrInvalidLength, QStringLiteral("The reply names no valid length: ") + QString::fromLatin1(lengths.join(", ")));
        return false;
    }
    // Sizes beyond the 32-bit property count as unknown.
    m_fileSize = m_expectedLength > 0 && m_expectedLength <= std::numeric_limits<int32_t>::max()
                     ? static_cast<int32_t>(m_expectedLength) : 0;
    return true;
}

// A Location is a reference relative to the URL it answers.
QString clsDownload::Resolved(const QByteArray &location) const
{
    const QUrl base(m_url.startsWith(Scheme, Qt::CaseInsensitive) ? m_url : Scheme + m_url);
    return base.resolved(QUrl(beyondAsciiEncoded(location))).toString(QUrl::FullyEncoded | QUrl::RemoveFragment);
}

// Asks for the file again at url: a redirect's target, or the same URL when a resumed reply
// cannot continue the file. With resume the request asks for what the file lacks; without, the
// file is begun anew.
void clsDownload::RequestAgain(const QString &url, bool resume)
{
    if (++m_redirects > MaxRedirects)
        return Fail(ErrTooManyRedirects, QStringLiteral("Too many redirects: ") + url);
    Reconnect(url, resume);
}

void clsDownload::Reconnect(const QString &url, bool resume)
{
    CloseAll();
    m_resume = resume;
    m_url = url;
    StartDownload(std::nullopt, std::nullopt);
}

// Writes the body's bytes that a piece carries. The file is complete once its announced length
// or its last chunk has arrived, whether or not the server closes the connection then.
void clsDownload::TakeBody(const QByteArray &piece)
{
    std::optional<QByteArray> data = piece;
    if (m_chunks)
        data = m_chunks->Take(piece);
    else if (piece.size() > BytesLeft())
        data = piece.first(BytesLeft());
    if (!data)
        return Fail(ErrDamagedChunks, QStringLiteral("The server's reply breaks its chunked form."));
    WriteBody(*data);
    if (m_chunks ? m_chunks->Done() : BytesLeft() == 0)
        BodyEnded();
}

// A part that leaves the file short of the length the server named (RFC 9110 section 14.4) is
// followed by a request for the rest: the file is Completed only at that length.
void clsDownload::BodyEnded()
{
    if (m_resumeLength + m_bodyLength >= m_completeLength) {
        CloseAll();
        emit Completed();
    } else if (++m_parts > MaxParts) {
        Fail(ErrIncomplete, QStringLiteral("The server sent the rest of the file in more parts than this program asks for."));
    } else {
        Reconnect(m_url, true);
    }
}

// The announced bytes still to come; the most a byte array holds when no length was announced.
qsizetype clsDownload::BytesLeft() const
{
    return m_expectedLength < 0 ? std::numeric_limits<qsizetype>::max() : static_cast<qsizetype>(m_expectedLength - m_bodyLength);
}

void clsDownload::moSocket_CloseSck()
{
    if (!m_headerComplete)
        return EndWithoutHeader();
    // A complete body has ended the transfer already. The file and its marker stay, so that a
    // resume can fetch the rest.
    if (m_chunks || m_expectedLength >= 0)
        return Fail(ErrIncomplete, QStringLiteral("The connection closed before the whole file arrived."));
    BodyEnded();
}

// The connection closed before a header's empty line. After an interim reply, or in bytes that
// begin as a status line does, that is a reply cut off (RFC 9112 section 8), and the file stays
// as it was; any other bytes are a reply without a header: the file itself.
void clsDownload::EndWithoutHeader()
{
    // A resumed file is not emptied for a reply that brought nothing at all.
    if (m_resume && m_header.isEmpty())
        return Fail(ErrIncomplete, QStringLiteral("The server closed the connection without a reply."));
    if (m_interimPassed || beginsAsStatusLine(m_header))
        return Fail(ErrIncomplete, QStringLiteral("The connection closed before the reply's header was complete."));
    const QByteArray body = std::exchange(m_header, {});
    OpenDestination();
    if (m_resume)
        ReopenDestination();
    emit Starting(static_cast<int32_t>(std::min<qsizetype>(body.size(), std::numeric_limits<int32_t>::max())), QString());
    WriteBody(body);
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
    m_idle.stop();
    m_chunks.reset();
    m_header.clear();
    m_headerComplete = false;
    m_interimPassed = false;
    m_resume = false;
    m_resumeLength = 0;
    m_file.reset();
    m_fileSize = 0;
    m_expectedLength = -1;
    m_completeLength = -1;
    m_bodyLength = 0;
}

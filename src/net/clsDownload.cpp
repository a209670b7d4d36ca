#include "net/clsDownload.h"

#include "net/clsSocketMaster.h"
#include "support/Error.h"

#include <QFileInfo>
#include <QRegularExpression>
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
constexpr int32_t ErrNoStatus = 10;
constexpr int32_t ErrFileAccess = 75;

constexpr int MaxRedirects = 10;
// Requests for the rest after parts that stop short of the file's end: a server that cuts it
// finer is not worth holding the transfer for, and the next attempt goes on from there.
constexpr int MaxParts = 10;
constexpr qsizetype MaxHeader = 64 * 1024;
constexpr int IdleTimeoutMs = 60 * 1000;

const QString Scheme = QStringLiteral("http://");
const QString PartMisfit = QStringLiteral("The server sent a part that does not fit the file: ");

const QByteArray AcceptTypes = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
                               "application/vnd.ms-excel, application/msword, application/x-shockwave-flash, */*";
const QByteArray UserAgent = "Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)";

[[noreturn]] void fileError(const QFileDevice &file)
{
    throw support::Error(ErrFileAccess, file.errorString(), QStringLiteral("clsDownload"));
}

[[noreturn]] void invalidURL(const QString &description)
{
    throw support::Error(ErrInvalidURL, description, QStringLiteral("clsDownload"));
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

// The length that Content-Length elements give: one length, alone or repeated in a list (RFC 9110
// section 8.6); -1 when any element is no length or two differ.
int64_t agreedLength(const QList<QByteArray> &elements)
{
    const int64_t length = elements.isEmpty() ? -1 : decimalLength(elements.first());
    const bool agreed = std::all_of(elements.begin(), elements.end(),
                                    [length](const QByteArray &element) { return decimalLength(element) == length; });
    return agreed ? length : -1;
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

// A URL as given or as a Location resolves: "http://" may be left out, the scheme written in
// capitals; bytes beyond ASCII (in UTF-8) and blanks are percent-encoded once.
QUrl parsedURL(const QString &url)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return QUrl(beyondAsciiEncoded((url.contains(scheme) ? url : Scheme + url).toUtf8()));
}

// Error 5, naming the URL as text, unless url names a place this program reaches: an http URL
// with a host and a port from 1 to 65535 (80 when it names none). An empty host or a port out of
// range would otherwise send the request to this machine's own port 80.
void checkPlace(const QUrl &url, const QString &what, const QString &text)
{
    if (!url.isValid() || url.host().isEmpty() || url.port() == 0)
        invalidURL(what + QStringLiteral(" names no place to go: ") + text);
    if (url.host().contains(u':'))
        invalidURL(QStringLiteral("This program does not reach IPv6 addresses: ") + text);
    if (!url.userInfo().isEmpty())
        invalidURL(QStringLiteral("This program sends no user name or password in a URL: ") + text);
    if (url.scheme() != QStringLiteral("http"))
        invalidURL(QStringLiteral("This program fetches http:// URLs only: ") + text);
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
    m_followUps = 0;
    m_fileParts.Forget();
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
            invalidURL(QStringLiteral("The URL holds control characters."));
        m_target = parsedURL(m_url);
        checkPlace(m_target, QStringLiteral("The URL"), m_url);
        const bool direct = m_accessType == 0;
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
        moSocket->Connect(direct ? m_target.host(QUrl::FullyEncoded) : m_proxy, direct ? m_target.port(80) : m_proxyPort);
    } catch (const support::Error &error) {
        Fail(error.Number(), error.Description());
    }
}

// The request's target: the path with the query (an empty path is "/", RFC 3986 section 6.2.3),
// or the whole URL for AccessType 1; never the fragment.
QByteArray clsDownload::RequestTarget() const
{
    if (m_accessType == 1)
        return m_target.toEncoded(QUrl::RemoveFragment);
    const QByteArray path = m_target.path(QUrl::FullyEncoded).toLatin1();
    return (path.isEmpty() ? "/" : path) + (m_target.hasQuery() ? '?' + m_target.query(QUrl::FullyEncoded).toLatin1() : "");
}

// A resume continues a regular file only; a link is never followed, but replaced.
void clsDownload::moSocket_Connect()
{
    m_idle.start();
    const QFileInfo destination(m_destination);
    if (!destination.isFile() || destination.isSymLink())
        m_resume = false;
    else if (m_resume)
        m_resumeLength = destination.size();

    const QByteArray host = m_target.authority(QUrl::FullyEncoded).toLatin1();
    QByteArray request = "GET " + RequestTarget() + " HTTP/1.0\r\n";
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
// (RFC 9110 section 15.2). Bytes that cannot begin a status line are a reply without a header.
void clsDownload::TakeHeader(const QByteArray &data)
{
    qsizetype searched = std::max<qsizetype>(m_header.size() - 2, 0);
    m_header += data;
    if (!m_interimPassed && !ReplyHeader::MayBeginReply(m_header))
        return TakeHeaderless();
    for (;;) {
        const qsizetype end = ReplyHeader::End(m_header, searched);
        if ((end < 0 ? m_header.size() : end) > MaxHeader)
            return Fail(ErrHeaderTooLarge, QStringLiteral("The reply's header is too large."));
        if (end < 0)
            return;
        QByteArray rest = m_header.mid(end);
        m_header.truncate(end);
        m_reply = ReplyHeader(m_header);
        if (m_reply.Status() / 100 != 1) {
            if (HeaderAccepted())
                TakeBody(rest);
            return;
        }
        m_interimPassed = true;
        m_header = std::move(rest);
        searched = 0;
    }
}

// The whole stream is the file, whatever it holds and however long it is: there is no header to
// look for in it.
void clsDownload::TakeHeaderless()
{
    const QByteArray body = std::exchange(m_header, {});
    m_headerComplete = true;
    OpenDestination();
    if (m_resume)
        CutDestination(0); // the server sent the whole file instead of the rest
    emit Starting(0, QString());
    TakeBody(body);
}

// Examines a complete header: false when the reply is not the file (see StatusAccepted), when a
// part does not fit it, or when its framing cannot be read; otherwise the destination is open for
// the body. Until then the destination is left as it was, so a reply that is no file never
// touches it.
bool clsDownload::HeaderAccepted()
{
    const int status = m_reply.Status();
    if (!StatusAccepted(status))
        return false;
    m_headerComplete = true;
    if (status == 206 && !PartAccepted())
        return false;
    if (!FramingKnown(status))
        return false;
    OpenDestination();
    if (m_resume && status != 206)
        CutDestination(0); // the server sent the whole file instead of the rest
    emit Starting(m_fileSize, QString::fromLatin1(m_header));
    return true;
}

// True when the reply's body is the file: a 2xx reply, or a redirect's when redirection is off.
// Every other reply ends the transfer or moves it on: an error status, a status line without a
// status code, a 304 (this program asks nothing conditionally), a redirect, and a 416 that ends
// or restarts a resume.
bool clsDownload::StatusAccepted(int status)
{
    const bool redirect = status / 100 == 3 && status != 304;
    if (status / 100 == 2 || (redirect && m_disableRedirection))
        return true;
    if (status < 0)
        Fail(ErrNoStatus, QStringLiteral("The server's reply has no valid status line: ") + QString::fromLatin1(m_reply.StatusLine()));
    else if (status == 404)
        Fail(ErrNotFound, QStringLiteral("Bestand niet gevonden op de webserver.\r\n\r\n") + m_url);
    else if (status == 416 && m_resume)
        RangeUnsatisfiable();
    else if (!redirect || !Redirected())
        Fail(status, QString::fromLatin1(m_reply.StatusLine()));
    return false;
}

// Follows the Location of a redirect; false when it has none. A resume goes on at the new
// location.
bool clsDownload::Redirected()
{
    const QByteArray location = m_reply.Value("Location");
    if (location.isEmpty())
        return false;
    const QUrl next = m_target.resolved(QUrl(beyondAsciiEncoded(location)));
    checkPlace(next, QStringLiteral("The server's Location"), QString::fromLatin1(location));
    RequestAgain(next.toString(QUrl::FullyEncoded | QUrl::RemoveFragment), m_resume);
    return true;
}

// The server cannot satisfy a resumed request's range: the file is whole when the server names
// its length as the whole length; another length begins the file anew, unless it contradicts the
// length that earlier parts named.
void clsDownload::RangeUnsatisfiable()
{
    const QByteArray range = m_reply.Value("Content-Range");
    switch (m_fileParts.Unsatisfiable(range, m_resumeLength)) {
    case FileParts::Fit::Fits:
        return Complete();
    case FileParts::Fit::Elsewhere:
        return RequestAgain(m_url, false);
    case FileParts::Fit::Breaks:
        return Fail(ErrIncomplete, PartMisfit + QString::fromLatin1(range));
    }
}

// A part is written only where it fits the file. One that begins elsewhere begins a resumed file
// anew; several parts in one reply are refused, their boundary lines are no file.
bool clsDownload::PartAccepted()
{
    const QByteArray range = m_reply.Value("Content-Range");
    const bool several = m_reply.Value("Content-Type").toLower().startsWith("multipart/byteranges");
    const FileParts::Fit fit = several ? FileParts::Fit::Breaks : m_fileParts.Part(range, m_resumeLength);
    if (fit == FileParts::Fit::Fits) {
        m_partLength = m_fileParts.PartLength();
        return true;
    }
    if (fit == FileParts::Fit::Elsewhere && m_resume)
        RequestAgain(m_url, false);
    else
        Fail(ErrIncomplete, PartMisfit + QString::fromLatin1(several ? m_reply.Value("Content-Type") : range));
    return false;
}

// How the body's end is found: by its status, its last chunk, its announced length, or the
// connection's close (RFC 9112 section 6.3). False, after Error, when the header does not say it
// in one way this program reads: every Transfer-Encoding line counts, and chunked must be the
// only coding.
bool clsDownload::FramingKnown(int status)
{
    // A 204 has no body, whatever its header says: waiting for one would hold a connection that
    // the server keeps open.
    if (status == 204) {
        m_expectedLength = 0;
        return true;
    }
    const QList<QByteArray> codings = m_reply.Elements("Transfer-Encoding");
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
// the file short or wait for bytes that never come; and for a part whose length is not its
// range's.
bool clsDownload::LengthKnown()
{
    const QList<QByteArray> lengths = m_reply.Elements("Content-Length");
    m_expectedLength = lengths.isEmpty() ? -1 : agreedLength(lengths);
    if (!lengths.isEmpty() && m_expectedLength < 0) {
        Fail(ErrInvalidLength, QStringLiteral("The reply names no valid length: ") + QString::fromLatin1(lengths.join(", ")));
        return false;
    }
    if (m_partLength >= 0 && m_expectedLength >= 0 && m_expectedLength != m_partLength) {
        Fail(ErrIncomplete, PartMisfit + QString::fromLatin1(m_reply.Value("Content-Range")));
        return false;
    }
    // Sizes beyond the 32-bit property count as unknown.
    m_fileSize = m_expectedLength > 0 && m_expectedLength <= std::numeric_limits<int32_t>::max()
                     ? static_cast<int32_t>(m_expectedLength) : 0;
    return true;
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
// or its last chunk has arrived, whether or not the server closes the connection then. A part
// whose body runs past its range is taken back out of the file.
void clsDownload::TakeBody(const QByteArray &piece)
{
    std::optional<QByteArray> data = piece;
    if (m_chunks)
        data = m_chunks->Take(piece);
    else if (piece.size() > BytesLeft())
        data = piece.first(BytesLeft());
    if (!data)
        return Fail(ErrDamagedChunks, QStringLiteral("The server's reply breaks its chunked form."));
    if (m_partLength >= 0 && m_bodyLength + data->size() > m_partLength) {
        CutDestination(m_resumeLength);
        return Fail(ErrIncomplete, PartMisfit + QString::fromLatin1(m_reply.Value("Content-Range")));
    }
    WriteBody(*data);
    if (m_chunks ? m_chunks->Done() : BytesLeft() == 0)
        BodyEnded();
}

// A part that leaves the file short of the whole length the parts named, or that names none, is
// followed by a request for the rest: the file is Completed only at that length.
void clsDownload::BodyEnded()
{
    if (m_partLength < 0 || m_fileParts.Whole(m_resumeLength + m_bodyLength))
        Complete();
    else if (++m_followUps > MaxParts)
        Fail(ErrIncomplete, QStringLiteral("The server sent the rest of the file in more parts than this program asks for."));
    else
        Reconnect(m_url, true);
}

// The announced bytes still to come; the most a byte array holds when no length was announced.
qsizetype clsDownload::BytesLeft() const
{
    return m_expectedLength < 0 ? std::numeric_limits<qsizetype>::max() : static_cast<qsizetype>(m_expectedLength - m_bodyLength);
}

// A complete body has ended the transfer already. The file and its marker stay, so that a resume
// can fetch the rest.
void clsDownload::moSocket_CloseSck()
{
    if (!m_headerComplete)
        return Fail(ErrIncomplete, m_header.isEmpty() && !m_interimPassed
                                       ? QStringLiteral("The server closed the connection without a reply.")
                                       : QStringLiteral("The connection closed before the reply's header was complete."));
    if (m_chunks || m_expectedLength >= 0)
        return Fail(ErrIncomplete, QStringLiteral("The connection closed before the whole file arrived."));
    BodyEnded();
}

void clsDownload::moSocket_Error(int32_t Number, const QString &Description) { Fail(Number, Description); }

// A fresh transfer replaces whatever is at the destination (a read-only file, a link, dangling or
// not) with a new regular file, never written through a link; a resumed one appends to the
// regular file there. Every write goes to the disk at once, so that a full disk fails the write
// that it refuses, with the system's reason.
void clsDownload::OpenDestination()
{
    m_file = std::make_unique<QFile>(m_destination);
    const QFileInfo existing(m_destination);
    if (!m_resume && (existing.isFile() || existing.isSymLink()) && !m_file->remove())
        fileError(*m_file);
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::Unbuffered | (m_resume ? QIODevice::Append : QIODevice::NewOnly)))
        fileError(*m_file);
}

void clsDownload::CutDestination(int64_t length)
{
    if (!m_file->resize(length))
        fileError(*m_file);
}

// A write may take less than it was given; the next one then says why the rest cannot go.
void clsDownload::WriteBody(const QByteArray &body)
{
    for (qsizetype at = 0; at < body.size();) {
        const qint64 written = m_file->write(body.constData() + at, body.size() - at);
        if (written <= 0)
            fileError(*m_file);
        at += written;
    }
    m_bodyLength += body.size();
    emit DataArrival(static_cast<int32_t>(body.size()));
}

// The file is closed before Completed: a close that fails is an error, and what it had is kept.
void clsDownload::Complete()
{
    if (m_file) {
        m_file->close();
        if (m_file->error() != QFileDevice::NoError)
            fileError(*m_file);
    }
    CloseAll();
    emit Completed();
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
    m_reply = ReplyHeader();
    m_headerComplete = false;
    m_interimPassed = false;
    m_resume = false;
    m_resumeLength = 0;
    m_file.reset();
    m_fileSize = 0;
    m_expectedLength = -1;
    m_partLength = -1;
    m_bodyLength = 0;
}

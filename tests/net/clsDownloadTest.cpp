#include "common/HttpServer.h"
#include "common/TestSupport.h"
#include "net/clsDownload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <gtest/gtest.h>

using testing_support::HttpServer;
using testing_support::RunUntil;
using testing_support::TempProgramFolder;
using Reply = HttpServer::Reply;

namespace {

// A downloader into the file "f" of a fresh program folder, with a record of its events:
// "Starting <size> <header's first line>", "Data <bytes>", "Completed", "Error <number> <text>".
struct Transfer {
    Transfer()
    {
        QObject::connect(&download, &clsDownload::Starting, [this](int32_t size, const QString &header) {
            events << QString("Starting %1 %2").arg(size).arg(header.section(u'\n', 0, 0).trimmed());
        });
        QObject::connect(&download, &clsDownload::DataArrival, [this](int32_t bytes) { events << QString("Data %1").arg(bytes); });
        QObject::connect(&download, &clsDownload::Completed, [this] { events << "Completed"; });
        QObject::connect(&download, &clsDownload::Error, [this](int32_t n, const QString &text) { events << QString("Error %1 %2").arg(n).arg(text); });
    }
    // Starts a transfer and waits for its end; the recorded events.
    QStringList Get(const QString &url, bool resume = false)
    {
        events.clear();
        resume ? download.ResumeDownload(url, folder.File("f")) : download.Download(url, folder.File("f"));
        EXPECT_TRUE(RunUntil([this] { return events.size() && (events.last() == "Completed" || events.last().startsWith("Error")); }, 10000));
        return events;
    }
    QByteArray File() const { return folder.Read("f"); }

    TempProgramFolder folder;
    clsDownload download;
    QStringList events;
};

} // namespace

TEST(clsDownload, SendsItsRequestAndWritesEveryByteUnchanged)
{
    HttpServer server;
    QByteArray every;
    for (int i = 0; i < 4096; ++i)
        every += char(i % 256);
    server.files["/dir/all.bin?x=1"] = every;
    Transfer t;
    t.folder.Write("f", QByteArray(10000, 'o')); // a longer old file leaves no tail
    const QStringList events = t.Get("  " + server.Url("/dir/all.bin?x=1") + " ");
    EXPECT_EQ(events.first(), "Starting 4096 HTTP/1.0 200 OK");
    EXPECT_EQ(events.last(), "Completed");
    EXPECT_EQ(t.File(), every);
    const QByteArray host = "127.0.0.1:" + QByteArray::number(server.Port());
    EXPECT_EQ(server.requests.at(0).raw,
              "GET /dir/all.bin?x=1 HTTP/1.0\r\n"
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
              "application/vnd.ms-excel, application/msword, application/x-shockwave-flash, */*\r\n"
              "Referer: " + host + "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)\r\n"
              "Host: " + host + "\r\n\r\n");
}

// The header is collected across pieces, its lines ending in CR LF or a bare LF; names match in
// any letter case at a line's start only.
TEST(clsDownload, CollectsAHeaderSplitOverPieces)
{
    HttpServer server;
    for (const QByteArray &eol : {QByteArray("\r\n"), QByteArray("\n")}) {
        server.handler = [eol](const HttpServer::Request &) {
            return Reply{{"HTTP/1.0 200 OK" + eol + "X-Content-Length: 99" + eol + "content-le",
                          "ngth: 5" + eol + "Content-Location: /else" + eol, eol + "ab", "cde"},
                         40};
        };
        Transfer t;
        EXPECT_EQ(t.Get(server.Url("/f")), (QStringList{"Starting 5 HTTP/1.0 200 OK", "Data 2", "Data 3", "Completed"})) << eol.size();
        EXPECT_EQ(t.File(), "abcde");
    }
    EXPECT_EQ(server.requests.size(), 2u) << "Content-Location is no redirect";
}

// The body ends with its last chunk or its announced length, also on a connection kept open.
TEST(clsDownload, EndsTheBodyWhereItsFramingSays)
{
    QByteArray body, chunked;
    for (int i = 0; i < 16384; ++i)
        body += char(i * 7);
    for (qsizetype at = 0; at < body.size(); at += 5000)
        chunked += QByteArray::number(std::min<qsizetype>(5000, body.size() - at), 16) + "\r\n" + body.mid(at, 5000) + "\r\n";
    const QByteArray header = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    QList<QByteArray> bytes; // a chunked reply with extensions, a trailer and bare LFs, byte by byte
    for (const char c : QByteArray("HTTP/1.1 200 OK\nTransfer-Encoding: Chunked\r\nContent-Length: 3\n\n"
                                   "5;name=value\r\nchunk\n3 \r\n ed\r\n0\r\nTrailer: x\r\n\r\nafter"))
        bytes << QByteArray(1, c);
    const auto length = [](const QByteArray &value) { return Reply{{"HTTP/1.1 200 OK\r\nContent-Length: " + value + "\r\n\r\nfour"}}; };
    const struct {
        const char *name;
        Reply reply;
        QByteArray file;
        QString end;
    } cases[] = {
        {"chunked", {{header + chunked + "0\r\n\r\n"}}, body, "Completed"},
        {"chunked byte by byte, kept open", {bytes, 1, false}, "chunk ed", "Completed"},
        {"closed before the last chunk", {{header + chunked}}, body, "Error 2"},
        {"damaged chunk size", {{header + "5000x\r\n"}}, "", "Error 8"},
        {"other coding", {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n" + chunked}}, "old", "Error 7"},
        {"more than announced", {{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\n" + body}}, body.left(10), "Completed"},
        {"announced length, kept open", {{"HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nfour"}, 0, false}, "four", "Completed"},
        {"interim replies first",
         {{"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early Hints\r\nLink: </a.css>; rel=preload\r\n\r\nHTTP/1.1 2",
           "00 OK\r\nContent-Length: 4\r\n\r\nfour"}},
         "four", "Completed"},
        {"an interim reply, then the close", {{"HTTP/1.1 100 Continue\r\n\r\n"}}, "old", "Error 2"},
        {"no body by status, kept open", {{"HTTP/1.1 204 No Content\r\n\r\n"}, 0, false}, "", "Completed"},
        {"not modified: no file", {{"HTTP/1.1 304 Not Modified\r\nContent-Length: 4\r\n\r\n"}, 0, false}, "old", "Error 304"},
        {"a redirect to nowhere", {{"HTTP/1.1 302 Found\r\nContent-Length: 5\r\n\r\nmoved"}}, "old", "Error 302"},
        {"a Location on a 200 is no redirect", {{"HTTP/1.1 200 OK\r\nLocation: /else\r\nContent-Length: 4\r\n\r\nfour"}}, "four", "Completed"},
        {"status not three digits", {{"HTTP/1.1 XYZ Oops\r\n\r\nbody"}}, "old", "Error 10"},
        {"status after two blanks", {{"HTTP/1.1  404 Not Found\r\n\r\nbody"}}, "old", "Error 10"},
        {"status of one digit", {{"HTTP/1.1 5\r\n\r\nbody"}}, "old", "Error 10"},
        {"no status line, blank lines inside", {{"line one\n\nline three\n"}}, "line one\n\nline three\n", "Completed"},
        {"no status line, a number inside", {{"Revision 404 of the notes\r\n\r\nmore"}}, "Revision 404 of the notes\r\n\r\nmore", "Completed"},
        {"no status line, 96 KiB", {{body.repeated(6)}}, body.repeated(6), "Completed"},
        {"folded coding", {{"HTTP/1.1 200 OK\r\nTransfer-Encoding:\r\n chunked\r\n\r\n" + chunked + "0\r\n\r\n"}}, body, "Completed"},
        {"blank before the colon", {{"HTTP/1.1 200 OK\r\nContent-Length : 4\r\n\r\nfourfive"}}, "four", "Completed"},
        {"chunked, then another coding on a second line",
         {{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n\r\n" + chunked + "0\r\n\r\n"}}, "old", "Error 7"},
        {"lengths that differ", length("4\r\nContent-Length: 5"), "old", "Error 9"},
        {"negative length", length("-4"), "old", "Error 9"},
        {"length not in digits", length("4x"), "old", "Error 9"},
        {"length beyond 64 bits", length("18446744073709551616"), "old", "Error 9"},
        {"one length repeated, kept open", {{"HTTP/1.1 200 OK\r\nContent-Length: 4, 4\r\nContent-Length: 4\r\n\r\nfour"}, 0, false}, "four", "Completed"},
    };
    HttpServer server;
    for (const auto &c : cases) {
        server.handler = [&c](const HttpServer::Request &) { return c.reply; };
        Transfer t;
        t.folder.Write("f", "old");
        t.download.setIdleTimeout(2000);
        EXPECT_EQ(t.Get(server.Url("/f")).last().section(' ', 0, 1), c.end) << c.name;
        EXPECT_EQ(t.File(), c.file) << c.name;
    }
}

TEST(clsDownload, ErrorRepliesLeaveTheFileAsItWas)
{
    HttpServer server;
    server.handler = [](const HttpServer::Request &request) {
        return HttpServer::Whole(request.target == "/gone" ? "HTTP/1.0 404 Not Found" : "HTTP/1.0 500 Internal Server Error", "<html/>");
    };
    Transfer t;
    t.folder.Write("f", "old");
    EXPECT_EQ(t.Get(server.Url("/broken")), (QStringList{"Error 500 HTTP/1.0 500 Internal Server Error"}));
    EXPECT_EQ(t.File(), "old");
    EXPECT_EQ(t.Get(server.Url("/gone"), true), (QStringList{"Error 1 Bestand niet gevonden op de webserver.\r\n\r\n" + server.Url("/gone")}));
    EXPECT_EQ(t.File(), "old");
    EXPECT_TRUE(t.Get(server.Url("/gone")).last().startsWith("Error 1 "));
    EXPECT_EQ(t.File(), "old") << "also on a fresh transfer";
}

TEST(clsDownload, FollowsRedirectsUpToTen)
{
    HttpServer other, server;
    other.files["/there"] = "over there";
    const QMap<QByteArray, QByteArray> locations{
        {"/absolute", other.Url("/there").toLatin1()}, {"/loop", "/loop"}, {"/dir/reference", "../here#part"},
        {"/query", server.Url("?x=1").toLatin1()}, {"/utf-8", "/caf\xC3\xA9"}, {"/no-host", "http:///small.txt"},
        {"/no-port", "http://127.0.0.1:70000/small.txt"}};
    server.handler = [&](const HttpServer::Request &request) {
        const QByteArray location = locations.value(request.target, "/here");
        if (request.target == "/here")
            return HttpServer::Whole("HTTP/1.0 200 OK", "right here");
        return HttpServer::Whole("HTTP/1.0 302 Found\r\nlocation: " + location, "moved");
    };
    Transfer t;
    t.Get(server.Url("/absolute"));
    EXPECT_EQ(t.File(), "over there");
    EXPECT_EQ(t.download.URL(), other.Url("/there"));
    t.folder.Write("f", "over");
    t.Get(server.Url("/absolute"), true);
    EXPECT_EQ(other.requests.back().Header("Range"), "bytes=4-") << "a resume goes on at the new location";
    EXPECT_EQ(t.File(), "over there");
    EXPECT_EQ(t.Get(server.Url("/relative"), true).first(), "Starting 0 HTTP/1.0 200 OK") << "a redirecting reply raises nothing";
    EXPECT_EQ(t.File(), "right here");
    t.Get(server.Url("/dir/reference"));
    EXPECT_EQ(t.download.URL(), server.Url("/here"));
    EXPECT_EQ(t.File(), "right here");
    server.requests.clear();
    t.Get(server.Url("/query"));
    t.Get(server.Url("/utf-8"));
    t.Get(server.Url("/capitals").replace("http://", "HTTP://"));
    // A URL given directly is encoded as a Location is; a fragment is never sent.
    for (const QString &direct : {server.Url("/a b.txt"), server.Url("/café"), server.Url("/файл"), server.Url("/s.txt#frag"), server.Url("#frag")})
        t.Get(direct);
    QList<QByteArray> targets;
    for (const HttpServer::Request &request : server.requests)
        if (request.target != "/here")
            targets << request.target;
    EXPECT_EQ(targets, (QList<QByteArray>{"/query", "/?x=1", "/utf-8", "/caf%C3%A9", "/capitals", "/a%20b.txt", "/caf%C3%A9",
                                          "/%D1%84%D0%B0%D0%B9%D0%BB", "/s.txt", "/"}));
    for (const char *nowhere : {"/no-host", "/no-port"})
        EXPECT_EQ(t.Get(server.Url(nowhere)).join(""), "Error 5 The server's Location names no place to go: " + locations[nowhere]);
    t.download.setDisableRedirection(true);
    t.Get(server.Url("/relative"));
    EXPECT_EQ(t.File(), "moved");

    t.download.setDisableRedirection(false);
    server.requests.clear();
    EXPECT_EQ(t.Get(server.Url("/loop")).join(""), "Error 3 Too many redirects: " + server.Url("/loop"));
    EXPECT_EQ(server.requests.size(), 11u);
}

// A part is appended only where the file ends; a range the server cannot satisfy means a whole
// file only when the server's length is the file's. Otherwise the file is fetched anew.
TEST(clsDownload, ResumesFromTheFilesLength)
{
    HttpServer server;
    const QByteArray whole = QByteArray(1000, 'a') + QByteArray(500, 'b');
    QByteArray rangeAnswer; // the status and headers that answer a range request; empty: honour it
    server.handler = [&](const HttpServer::Request &request) {
        return rangeAnswer.isEmpty() || request.Header("Range").isEmpty() ? HttpServer::FileReply(whole, request)
                                                                          : HttpServer::Whole(rangeAnswer, whole);
    };
    const struct {
        const char *name;
        std::optional<QByteArray> before;
        QByteArray answer;
        QByteArray range;
    } cases[] = {
        {"appended", QByteArray(1000, 'a'), "", "bytes=1000-"},
        {"whole file sent", QByteArray(1000, 'x'), "HTTP/1.0 200 OK", "bytes=1000-"},
        {"part from 0", QByteArray(1000, 'x'), "HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 0-1499/1500", "bytes=1000-"},
        {"already whole (416)", whole, "", "bytes=1500-"},
        {"416 to a short file", QByteArray(1000, 'x'), "HTTP/1.0 416 Range Not Satisfiable\r\nContent-Range: bytes */1500", "bytes=1000-"},
        {"missing", std::nullopt, "", ""},
        {"empty", QByteArray(), "", ""},
    };
    for (const auto &c : cases) {
        Transfer t;
        if (c.before)
            t.folder.Write("f", *c.before);
        rangeAnswer = c.answer;
        server.requests.clear();
        EXPECT_EQ(t.Get(server.Url("/f"), true).last(), "Completed") << c.name;
        EXPECT_EQ(server.requests.at(0).Header("Range"), c.range) << c.name;
        EXPECT_EQ(t.File(), whole) << c.name;
    }
}

// A part that stops short of the file's end is followed by requests for the rest, a bounded number
// of them: the file is never Completed short of the length the server named.
TEST(clsDownload, AsksForWhatAPartLeftOut)
{
    QByteArray whole;
    for (int i = 0; i < 16384; ++i)
        whole += char(i * 13);
    HttpServer server;
    qsizetype firstPart = 100, laterParts = -1;
    server.handler = [&](const HttpServer::Request &request) {
        return HttpServer::FileReply(whole, request, server.requests.size() == 1 ? firstPart : laterParts);
    };
    Transfer t;
    t.folder.Write("f", whole.left(1000));
    EXPECT_EQ(t.Get(server.Url("/f"), true).last(), "Completed");
    EXPECT_EQ(server.requests.size(), 2u);
    EXPECT_EQ(server.requests.back().Header("Range"), "bytes=1100-");
    EXPECT_EQ(t.File(), whole);

    firstPart = laterParts = 1;
    server.requests.clear();
    t.folder.Write("f", whole.left(1000));
    EXPECT_TRUE(t.Get(server.Url("/f"), true).last().startsWith("Error 2 "));
    EXPECT_EQ(server.requests.size(), 11u);
    EXPECT_EQ(t.File(), whole.left(1011)) << "kept for a resume";
}

// A part extends the file only where it fits: from the file's end (0 on a fresh download), its
// last byte below the whole length, the same whole length as the parts before it, and no byte past
// its last. One that breaks a rule leaves the file as it was before it. Each row's replies answer
// the requests in turn, later ones are answered as a server that honours ranges does.
TEST(clsDownload, KeepsOnlyPartsThatAddUp)
{
    QByteArray whole;
    for (int i = 0; i < 16384; ++i)
        whole += char(i * 13);
    const auto part = [&](int first, int last, const QByteArray &total, const QByteArray &extra = {}) {
        return HttpServer::Whole("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(first) + "-" +
                                     QByteArray::number(last) + "/" + total,
                                 whole.mid(first, last - first + 1) + extra);
    };
    const struct {
        const char *name;
        bool resume;
        QList<Reply> replies;
        QString end;
        QByteArray file;
    } cases[] = {
        {"a fresh download's part is followed up", false, {part(0, 4999, "16384")}, "Completed", whole},
        {"an unknown total is followed up to a 416", true, {part(1000, 1099, "*"), part(1100, 16383, "*")}, "Completed", whole},
        {"last byte past the total", true, {part(1000, 16883, "16384", QByteArray(500, 'x'))}, "Error 2", whole.left(1000)},
        {"a length past the range", true,
         {HttpServer::Whole("HTTP/1.1 206 Partial Content\r\nContent-Length: 15884\r\nContent-Range: bytes 1000-16383/16384",
                            whole.mid(1000) + QByteArray(500, 'x'))},
         "Error 2", whole.left(1000)},
        {"chunks past the range", true,
         {HttpServer::Whole("HTTP/1.1 206 Partial Content\r\nTransfer-Encoding: chunked\r\nContent-Range: bytes 1000-16383/16384",
                            "3C18\r\n" + whole.mid(1000) + "\r\n12C\r\n" + QByteArray(300, 'x') + "\r\n0\r\n\r\n")},
         "Error 2", whole.left(1000)},
        {"a smaller total later", true, {part(1000, 1099, "16384"), part(1100, 1199, "1200")}, "Error 2", whole.left(1100)},
        {"a 416 naming another total", true, {part(1000, 1099, "16384"), HttpServer::Whole("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */1100")}, "Error 2", whole.left(1100)},
        {"several parts in one reply", false,
         {HttpServer::Whole("HTTP/1.1 206 Partial Content\r\nContent-Type: multipart/byteranges; boundary=B",
                            "--B\r\nContent-Range: bytes 0-99/16384\r\n\r\n" + whole.left(100) + "\r\n--B--\r\n")},
         "Error 2", "old"},
        {"no file after a fresh start", true,
         {part(1000, 1099, "16384"), HttpServer::Whole("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */16384"),
          HttpServer::Whole("HTTP/1.1 404 Not Found")},
         "Error 1", whole.left(1100)},
    };
    HttpServer server;
    for (const auto &c : cases) {
        server.requests.clear();
        server.handler = [&](const HttpServer::Request &request) {
            return server.requests.size() <= size_t(c.replies.size()) ? c.replies[server.requests.size() - 1]
                                                                      : HttpServer::FileReply(whole, request);
        };
        Transfer t;
        t.folder.Write("f", c.resume ? whole.left(1000) : "old");
        EXPECT_EQ(t.Get(server.Url("/f"), c.resume).last().section(' ', 0, 1), c.end) << c.name;
        EXPECT_EQ(t.File(), c.file) << c.name;
    }
}

// Writes that the disk cannot take end the transfer with the system's reason; what was written
// stays for the next attempt.
TEST(clsDownload, AFullDiskIsAnError)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small disk needs root";
    Transfer t;
    const QString disk = t.folder.File("disk");
    QDir().mkpath(disk);
    ASSERT_EQ(unshare(CLONE_NEWNS), 0);
    ASSERT_EQ(mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    ASSERT_EQ(mount("none", disk.toUtf8().constData(), "tmpfs", 0, "size=12k"), 0);
    const auto unmount = qScopeGuard([&] { umount2(disk.toUtf8().constData(), MNT_DETACH); });
    QByteArray whole;
    for (int i = 0; i < 1 << 20; ++i)
        whole += char(i * 13);
    const struct {
        const char *name;
        qsizetype size, piece, resumeFrom;
    } cases[] = {
        {"16 KiB at once", 16384, 16384, -1}, {"16 KiB in 1 KiB pieces", 16384, 1024, -1},
        {"resumed in 1 KiB pieces", 16384, 1024, 4096}, {"1 MB", 1 << 20, 1 << 20, -1},
    };
    HttpServer server;
    for (const auto &c : cases) {
        server.handler = [&](const HttpServer::Request &request) {
            const Reply reply = HttpServer::FileReply(whole.left(c.size), request);
            const QByteArray bytes = reply.pieces.join();
            QList<QByteArray> pieces{bytes.left(bytes.indexOf("\r\n\r\n") + 4)};
            for (qsizetype at = pieces[0].size(); at < bytes.size(); at += c.piece)
                pieces << bytes.mid(at, c.piece);
            return Reply{pieces, 1};
        };
        QFile::remove(disk + "/f");
        if (c.resumeFrom >= 0)
            t.folder.Write("disk/f", whole.left(c.resumeFrom));
        t.events.clear();
        c.resumeFrom >= 0 ? t.download.ResumeDownload(server.Url("/f"), disk + "/f") : t.download.Download(server.Url("/f"), disk + "/f");
        ASSERT_TRUE(RunUntil([&] { return t.events.size() && (t.events.last() == "Completed" || t.events.last().startsWith("Error")); }, 10000));
        EXPECT_EQ(t.events.last(), "Error 75 No space left on device") << c.name;
        EXPECT_EQ(t.folder.Read("disk/f"), whole.left(12288)) << c.name;
    }
}

// A link at the destination is replaced by a regular file; what it points to stays as it was.
TEST(clsDownload, NeverWritesThroughALink)
{
    HttpServer server;
    server.files["/f"] = "content";
    for (const bool resume : {false, true}) {
        for (const QString target : {"else/missing", "kept"}) {
            Transfer t;
            QDir().mkpath(t.folder.File("else"));
            t.folder.Write("kept", "kept");
            QFile::link(target, t.folder.File("f"));
            EXPECT_EQ(t.Get(server.Url("/f"), resume).last(), "Completed") << target.toStdString();
            EXPECT_FALSE(QFileInfo(t.folder.File("f")).isSymLink()) << target.toStdString();
            EXPECT_EQ(t.File(), "content") << target.toStdString();
            EXPECT_EQ(t.folder.Read("kept"), "kept") << target.toStdString();
            EXPECT_FALSE(QFile::exists(t.folder.File("else/missing"))) << target.toStdString();
        }
    }
}

TEST(clsDownload, ReplacesAReadOnlyFileAndCancelLeavesThePartialOne)
{
    HttpServer server;
    server.handler = [](const HttpServer::Request &) { return Reply{{"HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\nfirst", "rest"}, 3000}; };
    Transfer t;
    t.folder.Write("f", "read-only old content");
    QFile::setPermissions(t.folder.File("f"), QFileDevice::ReadOwner);
    t.download.Download(server.Url("/f"), t.folder.File("f"));
    ASSERT_TRUE(RunUntil([&] { return t.events.contains("Data 5"); }, 5000));
    t.download.Cancel();
    RunUntil([] { return false; }, 300);
    EXPECT_EQ(t.events, (QStringList{"Starting 8 HTTP/1.0 200 OK", "Data 5"}));
    EXPECT_EQ(t.File(), "first");
}

TEST(clsDownload, ConnectionsThatCloseEarly)
{
    HttpServer server;
    server.handler = [](const HttpServer::Request &request) {
        if (request.target == "/headerless")
            return Reply{{"no header, just text"}};
        if (request.target == "/short")
            return Reply{{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nfour"}};
        if (request.target == "/cut")
            return Reply{{request.Header("Range").isEmpty() ? "HTTP/1.0 200 OK\r\nContent-Len" : "HTTP/1.1 206 Partial Content\r\nContent-Ra"}};
        return Reply{};
    };
    Transfer t;
    EXPECT_EQ(t.Get(server.Url("/headerless")), (QStringList{"Starting 0 ", "Data 20", "Completed"}));
    EXPECT_EQ(t.File(), "no header, just text");
    // A file is not emptied by a reply that never came.
    for (const bool resume : {false, true})
        EXPECT_TRUE(t.Get(server.Url("/silent"), resume).last().startsWith("Error 2 ")) << resume;
    EXPECT_EQ(t.File(), "no header, just text");
    EXPECT_TRUE(t.Get(server.Url("/short")).last().startsWith("Error 2 "));
    EXPECT_EQ(t.File(), "four") << "kept for a resume";
    // A header cut off is no reply.
    for (const bool resume : {false, true})
        EXPECT_TRUE(t.Get(server.Url("/cut"), resume).last().startsWith("Error 2 ")) << resume;
    EXPECT_EQ(t.File(), "four");
}

// A server that never answers, or stops sending, ends the transfer; a partial file stays for a resume.
TEST(clsDownload, GivesUpOnAServerThatFallsSilent)
{
    HttpServer server;
    server.handler = [](const HttpServer::Request &request) {
        return Reply{request.target == "/stalls" ? QList<QByteArray>{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nfour"} : QList<QByteArray>{}, 0, false};
    };
    Transfer t;
    t.folder.Write("f", "old");
    t.download.setIdleTimeout(50);
    EXPECT_EQ(t.Get(server.Url("/silent")), (QStringList{"Error 6 The server did not answer in time."}));
    EXPECT_EQ(t.File(), "old");
    t.download.setIdleTimeout(60000);
    t.download.Download(server.Url("/stalls"));
    ASSERT_TRUE(RunUntil([&] { return t.events.contains("Data 4"); }, 10000));
    t.download.setIdleTimeout(50);
    ASSERT_TRUE(RunUntil([&] { return t.events.last().startsWith("Error"); }, 10000));
    EXPECT_EQ(t.events.last(), "Error 6 The server did not answer in time.");
    EXPECT_EQ(t.File(), "four");
}

TEST(clsDownload, ProxiesGetTheWholeURLOrThePath)
{
    HttpServer proxy;
    proxy.handler = [](const HttpServer::Request &) { return HttpServer::Whole("HTTP/1.0 200 OK", "via proxy"); };
    Transfer t;
    t.download.setProxy(" 127.0.0.1 ");
    t.download.setProxyPort(proxy.Port());
    for (int32_t access : {1, 2}) {
        t.download.setAccessType(access);
        EXPECT_EQ(t.Get("http://far.invalid:8080/a/b").last(), "Completed");
    }
    EXPECT_EQ(t.File(), "via proxy");
    EXPECT_TRUE(proxy.requests.at(0).raw.startsWith("GET http://far.invalid:8080/a/b HTTP/1.0\r\n"));
    EXPECT_TRUE(proxy.requests.at(1).raw.startsWith("GET /a/b HTTP/1.0\r\n"));
    EXPECT_EQ(proxy.requests.at(1).Header("Host"), "far.invalid:8080");
}

TEST(clsDownload, RefusesWhatCannotBeSafelyRequestedOrWritten)
{
    HttpServer server;
    server.handler = [](const HttpServer::Request &) { return Reply{{"HTTP/1.0 200 OK\r\n" + QByteArray(70000, 'x')}}; };
    Transfer t;
    EXPECT_TRUE(t.Get(server.Url("/f\r\nX-Evil: 1")).last().startsWith("Error 5 "));
    EXPECT_TRUE(t.Get("http://127.0.0.1:http/f").last().startsWith("Error 5 "));
    const QString port = QString::number(server.Port());
    for (const QString &url : {"http://:" + port + "/f", "http://127.0.0.1:" + port + "0000/f"})
        EXPECT_EQ(t.Get(url).join(""), "Error 5 The URL names no place to go: " + url);
    EXPECT_EQ(t.Get("http://[::1]:" + port + "/f").join(""), "Error 5 This program does not reach IPv6 addresses: http://[::1]:" + port + "/f");
    EXPECT_EQ(t.Get("http://u:p@127.0.0.1:" + port + "/f").join(""),
              "Error 5 This program sends no user name or password in a URL: http://u:p@127.0.0.1:" + port + "/f");
    EXPECT_TRUE(server.requests.empty());
    EXPECT_EQ(t.Get(server.Url("/f")), (QStringList{"Error 4 The reply's header is too large."}));
    t.download.setDestination(t.folder.File("no/such/folder/f"));
    t.events.clear();
    server.handler = [](const HttpServer::Request &) { return HttpServer::Whole("HTTP/1.0 200 OK", "content"); };
    t.download.Download(server.Url("/f"));
    ASSERT_TRUE(RunUntil([&] { return !t.events.isEmpty(); }, 5000));
    EXPECT_TRUE(t.events.last().startsWith("Error 75 "));
}

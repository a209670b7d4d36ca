#include "common/HttpServer.h"
#include "common/TestSupport.h"
#include "net/clsDownload.h"

#include <QFile>

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
        {"no body whatever the length, kept open", {{"HTTP/1.1 304 Not Modified\r\nContent-Length: 4\r\n\r\n"}, 0, false}, "", "Completed"},
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

TEST(clsDownload, ErrorRepliesLeaveTheFileAsTheStatusSays)
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
    t.Get(server.Url("/gone"));
    EXPECT_TRUE(QFile::exists(t.folder.File("f")));
    EXPECT_EQ(t.File(), "") << "a fresh transfer of a missing file leaves an empty file";
}

TEST(clsDownload, FollowsRedirectsUpToTen)
{
    HttpServer other, server;
    other.files["/there"] = "over there";
    const QMap<QByteArray, QByteArray> locations{
        {"/absolute", other.Url("/there").toLatin1()}, {"/loop", "/loop"}, {"/dir/reference", "../here#part"},
        {"/query", server.Url("?x=1").toLatin1()}, {"/utf-8", "/caf\xC3\xA9"}};
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
    QList<QByteArray> targets;
    for (const HttpServer::Request &request : server.requests)
        targets << request.target;
    EXPECT_EQ(targets, (QList<QByteArray>{"/query", "/?x=1", "/here", "/utf-8", "/caf%C3%A9", "/here", "/capitals", "/here"}));
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
    EXPECT_EQ(t.Get(server.Url("/headerless")), (QStringList{"Starting 20 ", "Data 20", "Completed"}));
    EXPECT_EQ(t.File(), "no header, just text");
    // A resumed file is not emptied by a reply that never came.
    EXPECT_TRUE(t.Get(server.Url("/silent"), true).last().startsWith("Error 2 "));
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
    EXPECT_TRUE(server.requests.empty());
    EXPECT_EQ(t.Get(server.Url("/f")), (QStringList{"Error 4 The reply's header is too large."}));
    t.download.setDestination(t.folder.File("no/such/folder/f"));
    t.events.clear();
    server.handler = [](const HttpServer::Request &) { return HttpServer::Whole("HTTP/1.0 200 OK", "content"); };
    t.download.Download(server.Url("/f"));
    ASSERT_TRUE(RunUntil([&] { return !t.events.isEmpty(); }, 5000));
    EXPECT_TRUE(t.events.last().startsWith("Error 75 "));
}

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

// One downloader with a record of its events: "Starting <size> <header's first line>",
// "Data <bytes>", "Completed", "Error <number> <description>".
struct Transfer {
    Transfer()
    {
        QObject::connect(&download, &clsDownload::Starting, [this](int32_t size, const QString &header) {
            events << QString("Starting %1 %2").arg(size).arg(header.section("\r\n", 0, 0));
            headers << header;
        });
        QObject::connect(&download, &clsDownload::DataArrival, [this](int32_t bytes) { events << QString("Data %1").arg(bytes); });
        QObject::connect(&download, &clsDownload::Completed, [this] { events << "Completed"; });
        QObject::connect(&download, &clsDownload::Error,
                         [this](int32_t number, const QString &text) { events << QString("Error %1 %2").arg(number).arg(text); });
    }
    bool Finished() const
    {
        return !events.isEmpty() && (events.last() == "Completed" || events.last().startsWith("Error"));
    }
    // Starts a transfer and waits for its end; the recorded events.
    QStringList Get(const QString &url, const QString &file, bool resume = false)
    {
        resume ? download.ResumeDownload(url, file) : download.Download(url, file);
        EXPECT_TRUE(RunUntil([this] { return Finished(); }, 10000)) << events.join(" | ").toStdString();
        return events;
    }

    clsDownload download;
    QStringList events;
    QStringList headers;
};

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

TEST(clsDownload, SendsItsRequestAndWritesEveryByteUnchanged)
{
    TempProgramFolder folder;
    HttpServer server;
    QByteArray every;
    for (int i = 0; i < 4096; ++i)
        every += char(i % 256);
    server.files["/dir/all.bin?x=1"] = every;
    const QString file = folder.File("all.bin");
    write(file, QByteArray(10000, 'o')); // a longer old file leaves no tail

    Transfer t;
    const QStringList events = t.Get("  " + server.Url("/dir/all.bin?x=1") + " ", file);
    EXPECT_EQ(events.first(), "Starting 4096 HTTP/1.0 200 OK");
    EXPECT_EQ(events.last(), "Completed");
    int bytes = 0;
    for (const QString &event : events.mid(1, events.size() - 2))
        bytes += event.section(' ', 1).toInt();
    EXPECT_EQ(bytes, 4096);
    EXPECT_EQ(read(file), every);
    const QByteArray host = "127.0.0.1:" + QByteArray::number(server.Port());
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_EQ(server.requests[0].raw,
              "GET /dir/all.bin?x=1 HTTP/1.0\r\n"
              "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/vnd.ms-powerpoint, "
              "application/vnd.ms-excel, application/msword, application/x-shockwave-flash, */*\r\n"
              "Referer: " + host + "\r\n"
              "User-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)\r\n"
              "Host: " + host + "\r\n\r\n");
    EXPECT_EQ(t.download.URL(), server.Url("/dir/all.bin?x=1"));
    EXPECT_EQ(t.download.FileSize(), 0) << "reset when the transfer closed";
}

// The header is collected across pieces; names match in any letter case at a line's start only.
TEST(clsDownload, CollectsAHeaderSplitOverPieces)
{
    TempProgramFolder folder;
    HttpServer server;
    server.handler = [](const HttpServer::Request &) {
        return Reply{{"HTTP/1.0 200 OK\r\nX-Content-Length: 99\r\ncontent-le", "ngth: 5\r\nContent-Location: /else\r\n",
                      "\r\nab", "cde"},
                     40};
    };
    Transfer t;
    int32_t sizeAtStart = -1;
    QObject::connect(&t.download, &clsDownload::Starting, [&] { sizeAtStart = t.download.FileSize(); });
    EXPECT_EQ(t.Get(server.Url("/f"), folder.File("f")), (QStringList{"Starting 5 HTTP/1.0 200 OK", "Data 2", "Data 3", "Completed"}));
    EXPECT_EQ(sizeAtStart, 5);
    EXPECT_EQ(read(folder.File("f")), "abcde");
    EXPECT_EQ(server.requests.size(), 1u) << "Content-Location is no redirect";
}

TEST(clsDownload, ErrorRepliesLeaveTheFileAsTheStatusSays)
{
    TempProgramFolder folder;
    HttpServer server;
    server.handler = [](const HttpServer::Request &request) {
        if (request.target == "/gone")
            return HttpServer::Whole("HTTP/1.0 404 Not Found", "<html>nope</html>");
        return HttpServer::Whole("HTTP/1.0 500 Internal Server Error", "<html>broken</html>");
    };
    const QString file = folder.File("f");
    write(file, "old");
    Transfer broken;
    EXPECT_EQ(broken.Get(server.Url("/broken"), file), (QStringList{"Error 500 HTTP/1.0 500 Internal Server Error"}));
    EXPECT_EQ(read(file), "old");

    Transfer resumedMissing;
    EXPECT_EQ(resumedMissing.Get(server.Url("/gone"), file, true),
              (QStringList{"Error 1 Bestand niet gevonden op de webserver.\r\n\r\n" + server.Url("/gone")}));
    EXPECT_EQ(read(file), "old");
    Transfer missing;
    missing.Get(server.Url("/gone"), file);
    EXPECT_EQ(read(file), "") << "a fresh transfer of a missing file leaves an empty file";
}

TEST(clsDownload, FollowsRedirectsUpToTen)
{
    TempProgramFolder folder;
    HttpServer other, server;
    other.files["/there"] = "over there";
    server.files["/here"] = "right here";
    server.handler = [&](const HttpServer::Request &request) {
        if (request.target == "/absolute")
            return HttpServer::Whole("HTTP/1.0 302 Found\r\nLocation: " + other.Url("/there").toLatin1(), "moved");
        if (request.target == "/relative")
            return HttpServer::Whole("HTTP/1.0 301 Moved\r\nlocation: /here", "moved");
        if (request.target == "/loop")
            return HttpServer::Whole("HTTP/1.0 302 Found\r\nLocation: /loop", "again");
        return HttpServer::FileReply(server.files.value(request.target), request);
    };
    const QString file = folder.File("f");
    Transfer absolute, relative, disabled, loop;
    absolute.Get(server.Url("/absolute"), file);
    EXPECT_EQ(read(file), "over there");
    EXPECT_EQ(absolute.download.URL(), other.Url("/there"));
    relative.Get(server.Url("/relative"), file, true);
    EXPECT_EQ(read(file), "right here");
    EXPECT_EQ(relative.events.first(), "Starting 10 HTTP/1.0 200 OK") << "a redirecting reply raises no event";

    disabled.download.setDisableRedirection(true);
    disabled.Get(server.Url("/relative"), file);
    EXPECT_EQ(read(file), "moved");

    server.requests.clear();
    EXPECT_EQ(loop.Get(server.Url("/loop"), file).join(""), "Error 3 Too many redirects: 127.0.0.1:" + QString::number(server.Port()) + "/loop");
    EXPECT_EQ(server.requests.size(), 11u);
}

TEST(clsDownload, ResumesFromTheFilesLength)
{
    TempProgramFolder folder;
    HttpServer server;
    const QByteArray whole = QByteArray(1000, 'a') + QByteArray(500, 'b');
    bool honourRanges = true;
    server.handler = [&](const HttpServer::Request &request) {
        return honourRanges ? HttpServer::FileReply(whole, request) : HttpServer::Whole("HTTP/1.0 200 OK", whole);
    };
    const QString file = folder.File("f");
    const struct {
        const char *name;
        std::optional<QByteArray> before;
        bool honour;
        QByteArray range;
        QByteArray after;
        const char *last;
    } cases[] = {
        {"appended", QByteArray(1000, 'a'), true, "bytes=1000-", whole, "Completed"},
        {"whole file sent", QByteArray(1000, 'x'), false, "bytes=1000-", whole, "Completed"},
        {"already whole", whole, true, "bytes=1500-", whole, "Completed"},
        {"missing", std::nullopt, true, "", whole, "Completed"},
        {"empty", QByteArray(), true, "", whole, "Completed"},
    };
    for (const auto &c : cases) {
        QFile::remove(file);
        if (c.before)
            write(file, *c.before);
        honourRanges = c.honour;
        server.requests.clear();
        Transfer t;
        EXPECT_EQ(t.Get(server.Url("/f"), file, true).last(), c.last) << c.name;
        ASSERT_EQ(server.requests.size(), 1u);
        EXPECT_EQ(server.requests[0].Header("Range"), c.range) << c.name;
        EXPECT_EQ(read(file), c.after) << c.name;
    }
}

TEST(clsDownload, ReplacesAReadOnlyFileAndCancelLeavesThePartialOne)
{
    TempProgramFolder folder;
    HttpServer server;
    server.handler = [](const HttpServer::Request &) {
        return Reply{{"HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\nfirst", "rest"}, 3000};
    };
    const QString file = folder.File("f");
    write(file, "read-only old content");
    QFile::setPermissions(file, QFileDevice::ReadOwner);
    Transfer t;
    t.download.Download(server.Url("/f"), file);
    ASSERT_TRUE(RunUntil([&] { return t.events.contains("Data 5"); }, 5000)) << t.events.join(" | ").toStdString();
    t.download.Cancel();
    RunUntil([] { return false; }, 300);
    EXPECT_EQ(t.events, (QStringList{"Starting 8 HTTP/1.0 200 OK", "Data 5"}));
    EXPECT_EQ(read(file), "first");
}

TEST(clsDownload, ConnectionsThatCloseEarly)
{
    TempProgramFolder folder;
    HttpServer server;
    server.handler = [](const HttpServer::Request &request) {
        if (request.target == "/headerless")
            return Reply{{"no header, just text"}};
        if (request.target == "/short")
            return Reply{{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nfour"}};
        return Reply{};
    };
    const QString file = folder.File("f");
    Transfer headerless;
    EXPECT_EQ(headerless.Get(server.Url("/headerless"), file), (QStringList{"Starting 20 ", "Data 20", "Completed"}));
    EXPECT_EQ(headerless.headers, QStringList{""});
    EXPECT_EQ(read(file), "no header, just text");

    Transfer nothing; // a resumed file is not emptied by a reply that never came
    EXPECT_TRUE(nothing.Get(server.Url("/silent"), file, true).last().startsWith("Error 2 "));
    EXPECT_EQ(read(file), "no header, just text");

    Transfer shortBody;
    EXPECT_TRUE(shortBody.Get(server.Url("/short"), file).last().startsWith("Error 2 "));
    EXPECT_EQ(read(file), "four") << "kept for a resume";
}

TEST(clsDownload, ProxiesGetTheWholeURLOrThePath)
{
    TempProgramFolder folder;
    HttpServer proxy;
    proxy.handler = [](const HttpServer::Request &) { return HttpServer::Whole("HTTP/1.0 200 OK", "via proxy"); };
    for (int32_t access : {1, 2}) {
        Transfer t;
        t.download.setProxy(" 127.0.0.1 ");
        t.download.setProxyPort(proxy.Port());
        t.download.setAccessType(access);
        EXPECT_EQ(t.Get("http://far.invalid:8080/a/b", folder.File("f")).last(), "Completed");
        EXPECT_EQ(read(folder.File("f")), "via proxy");
    }
    ASSERT_EQ(proxy.requests.size(), 2u);
    EXPECT_TRUE(proxy.requests[0].raw.startsWith("GET http://far.invalid:8080/a/b HTTP/1.0\r\n"));
    EXPECT_TRUE(proxy.requests[1].raw.startsWith("GET /a/b HTTP/1.0\r\n"));
    EXPECT_EQ(proxy.requests[1].Header("Host"), "far.invalid:8080");
}

TEST(clsDownload, RefusesWhatCannotBeSafelyRequestedOrWritten)
{
    TempProgramFolder folder;
    HttpServer server;
    server.handler = [](const HttpServer::Request &) { return Reply{{"HTTP/1.0 200 OK\r\n" + QByteArray(70000, 'x')}}; };
    Transfer injected, noPort, hugeHeader, noFolder;
    EXPECT_TRUE(injected.Get(server.Url("/f\r\nX-Evil: 1"), folder.File("f")).last().startsWith("Error 5 "));
    EXPECT_TRUE(noPort.Get("http://127.0.0.1:http/f", folder.File("f")).last().startsWith("Error 5 "));
    EXPECT_TRUE(server.requests.empty());
    EXPECT_EQ(hugeHeader.Get(server.Url("/f"), folder.File("f")), (QStringList{"Error 4 The reply's header is too large."}));
    server.handler = nullptr;
    server.files["/f"] = "content";
    EXPECT_TRUE(noFolder.Get(server.Url("/f"), folder.File("no/such/folder/f")).last().startsWith("Error 75 "));
}

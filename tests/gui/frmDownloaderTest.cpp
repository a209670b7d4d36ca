#include "common/HttpServer.h"
#include "common/TestSupport.h"
#include "gui/frmDownloader.h"
#include "net/clsDownload.h"
#include "platform/userstore/UserStore.h"

#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using testing_support::HttpServer;
using testing_support::RunUntil;
using testing_support::ScriptedShell;
using testing_support::TempProgramFolder;
using Reply = HttpServer::Reply;

namespace {

QString marker(const QString &path) { return platform::userstore::GetSetting("Quillmere", "Downloads", path); }

// A download dialog over a test server, with what it showed at each of the downloader's events
// (read after the dialog has handled the event): the file label and the markers of all items
// when a reply starts, the percentage after each piece and at each completion.
struct DialogRun {
    DialogRun(const HttpServer &server, const TempProgramFolder &folder, const QStringList &names)
    {
        for (const QString &name : names) {
            paths << folder.File(name);
            dialog.Bestanden << server.Url("/" + name) + "," + paths.last();
        }
        clsDownload *download = dialog.Downloader();
        QObject::connect(download, &clsDownload::Starting, [this] {
            QString markers;
            for (const QString &path : paths)
                markers += marker(path).isEmpty() ? "-" : marker(path);
            labels << dialog.lblBestand->text() + " " + markers;
        });
        QObject::connect(download, &clsDownload::DataArrival, [this] { percentages << dialog.lblProcent->text(); });
        QObject::connect(download, &clsDownload::Completed, [this] { percentages << dialog.lblProcent->text(); });
    }
    // Shows the dialog modally until it ends, at most ten seconds.
    void Exec()
    {
        QTimer::singleShot(10000, &dialog, [this] { dialog.done(QDialog::Rejected); });
        dialog.tmrDownloadVolgendBestand->start();
        dialog.exec();
    }

    frmDownloader dialog;
    QStringList paths, labels, percentages;
};

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// A reply in four pieces, 30 ms apart, with or without its size.
Reply inPieces(const QByteArray &body, bool withSize)
{
    const QByteArray header = "HTTP/1.0 200 OK\r\n" + (withSize ? "Content-Length: " + QByteArray::number(body.size()) + "\r\n" : "") + "\r\n";
    const qsizetype quarter = body.size() / 4;
    return Reply{{header, body.left(quarter), body.mid(quarter, quarter), body.mid(2 * quarter)}, 30};
}

} // namespace

TEST(frmDownloader, TwoFilesPassTwiceAndTheirMarkersComeAndGo)
{
    TempProgramFolder folder;
    ScriptedShell shell;
    HttpServer server;
    const QByteArray a(4000, 'a'), b(2000, 'b');
    server.handler = [&](const HttpServer::Request &request) {
        const QByteArray &body = request.target == "/a" ? a : b;
        return request.Header("Range").isEmpty() ? inPieces(body, true) : HttpServer::FileReply(body, request);
    };
    DialogRun run(server, folder, {"a", "b"});
    EXPECT_EQ(run.dialog.windowTitle(), "Downloading...");
    run.Exec();

    EXPECT_TRUE(run.dialog.mblnSuccesvol);
    EXPECT_EQ(run.dialog.lblBestand->text(), "Download finished.");
    EXPECT_EQ(run.labels, (QStringList{"File 1 of the 2 1-", "File 2 of the 2 11"}))
        << "the finishing pass's range requests find both files whole: 416, no reply to start";
    EXPECT_EQ(run.percentages, (QStringList{"0%", "25%", "50%", "100%", "100 %", "0%", "25%", "50%", "100%", "100 %",
                                            "100 %", "100 %"}));
    EXPECT_EQ(read(run.paths[0]), a);
    EXPECT_EQ(read(run.paths[1]), b);
    EXPECT_EQ(marker(run.paths[0]) + marker(run.paths[1]), "");
    ASSERT_EQ(server.requests.size(), 4u);
    EXPECT_EQ(server.requests[2].Header("Range"), "bytes=4000-");
    EXPECT_EQ(server.requests[3].Header("Range"), "bytes=2000-");
    EXPECT_TRUE(shell.prompts.empty());
}

// Without a size the percentage waits for the end; a marker left by an earlier run makes the
// first pass continue that file.
TEST(frmDownloader, UnknownSizesAndAnEarlierRunsMarker)
{
    TempProgramFolder folder;
    ScriptedShell shell;
    HttpServer server;
    const QByteArray body(3000, 'x');
    server.handler = [&](const HttpServer::Request &request) {
        return request.Header("Range").isEmpty() ? inPieces(body, false) : HttpServer::FileReply(body, request);
    };
    folder.Write("partial", body.left(1000));
    platform::userstore::SaveSetting("Quillmere", "Downloads", folder.File("partial"), "1");
    DialogRun run(server, folder, {"unsized", "partial"});
    run.Exec();
    EXPECT_TRUE(run.dialog.mblnSuccesvol);
    EXPECT_EQ(run.percentages.mid(0, 5), (QStringList{"0 %", "0 %", "0 %", "0 %", "100 %"}));
    ASSERT_GE(server.requests.size(), 2u);
    EXPECT_EQ(server.requests[1].Header("Range"), "bytes=1000-");
    EXPECT_EQ(read(run.paths[1]), body);
}

// Cancel (here by Esc) and errors end the run with the markers kept; Cancel also stops the
// timer, so no further file starts behind the closed dialog.
TEST(frmDownloader, CancelAndErrorsKeepTheMarkers)
{
    TempProgramFolder folder;
    ScriptedShell shell;
    HttpServer server;
    server.handler = [&](const HttpServer::Request &request) {
        if (request.target == "/slow")
            return Reply{{"HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nfirst", "second"}, 5000};
        if (!request.Header("Range").isEmpty() && request.target == "/b")
            return HttpServer::Whole("HTTP/1.0 404 Not Found");
        return HttpServer::FileReply("content", request);
    };
    DialogRun cancelled(server, folder, {"slow", "a"});
    QObject::connect(cancelled.dialog.Downloader(), &clsDownload::DataArrival, [&](int32_t bytes) {
        if (bytes > 0)
            QTest::keyClick(&cancelled.dialog, Qt::Key_Escape);
    });
    cancelled.Exec();
    EXPECT_FALSE(cancelled.dialog.mblnSuccesvol);
    EXPECT_FALSE(cancelled.dialog.tmrDownloadVolgendBestand->isActive());
    EXPECT_EQ(read(cancelled.paths[0]), "first");
    EXPECT_EQ(marker(cancelled.paths[0]), "1");
    RunUntil([] { return false; }, 400);
    EXPECT_EQ(server.requests.size(), 1u);

    DialogRun failed(server, folder, {"a", "b"});
    failed.Exec();
    EXPECT_FALSE(failed.dialog.mblnSuccesvol);
    EXPECT_FALSE(failed.dialog.isVisible());
    EXPECT_EQ(marker(failed.paths[0]), "") << "finished before the error";
    EXPECT_EQ(marker(failed.paths[1]), "1");
    ASSERT_EQ(shell.prompts.size(), 1u);
    EXPECT_EQ(shell.prompts[0].title, "Error while downloading files");
    EXPECT_EQ(shell.prompts[0].style, platform::shell::vbCritical);
    EXPECT_EQ(shell.prompts[0].text, "An error occured while downloading the update files.\r\n\r\nDescription: "
                                     "Bestand niet gevonden op de webserver.\r\n\r\n" + server.Url("/b") +
                                         "\r\n\r\nPlease try again later.");
}

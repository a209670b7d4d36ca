#include "common/HttpServer.h"
#include "common/TestSupport.h"
#include "common/UpdateSigning.h"
#include "gui/frmMain.h"
#include "gui/frmScanNetwork.h"
#include "gui/frmUpdateService.h"
#include "platform/userstore/UserStore.h"
#include "support/ProgramEnd.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace platform::shell;
using testing_support::HttpServer;
using testing_support::RunUntil;
using testing_support::ScriptedShell;
using Reply = HttpServer::Reply;

namespace {

QByteArray element(const char *tag, const QString &value) { return QStringLiteral("<%1>%2</%1>\r\n").arg(tag, value).toLatin1(); }

// A test update service with a product file and an updater script that records its argument.
struct Service {
    Service() : local(server.Url("/svc/"), keys)
    {
        server.handler = [this](const HttpServer::Request &request) {
            if (request.target == "/svc/updateservice.aspx")
                return page;
            return HttpServer::FileReply(request.target.endsWith("/quillmere") ? product : updater, request);
        };
    }
    // A page offering version, with both files and the signatures given.
    QByteArray Offer(const QString &version, const QString &productSig, const QString &updaterSig,
                     const QString &updaterName = "quillmere-updater") const
    {
        return element("ACK", "1") + element("VERSION", version) + element("UPDATER-URL", server.Url("/files/" + updaterName)) +
               element("PRODUCT-URL", server.Url("/files/quillmere")) + element("PRODUCT-SIG", productSig) +
               element("UPDATER-SIG", updaterSig);
    }
    // A release's signature: of the file's role and the version it is offered as, then its bytes.
    QString Sign(const QByteArray &role, const QByteArray &bytes, const QByteArray &version = "2.0.0") const
    {
        return keys.Sign("Quillmere " + role + " " + version + "\n" + bytes);
    }
    QByteArray GoodOffer() const { return Offer("2.0.0", Sign("product", product), Sign("updater", updater)); }
    void Answer(const QByteArray &body) { page = HttpServer::Whole("HTTP/1.0 200 OK", body); }

    testing_support::TempProgramFolder folder;
    HttpServer server;
    testing_support::TestKeyPair keys;
    testing_support::LocalUpdateService local;
    QString record = folder.File("updater-was-given");
    QByteArray product = "new program " + QByteArray(5000, 'p');
    QByteArray updater = "#!/bin/sh\nprintf '%s' \"$1\" > '" + record.toUtf8() + "'\n";
    Reply page;
};

struct HandedOver {};

// A main window whose closing only records that the hand-over asked for the program's end.
struct RecordingMain : frmMain {
    RecordingMain() : frmMain(QStringList{}) { tmrLoadSplash->stop(); }
    void closeEvent(QCloseEvent *) override { closed = true; }
    bool closed = false;
};

} // namespace

TEST(frmUpdateService, AnswersByVersionAndMode)
{
    Service service;
    const struct {
        const char *version;
        bool silent, ask;
        int style; // of the one prompt expected, -1 for none
    } cases[] = {
        {"1.0.0", true, true, -1}, {"1.0.0", false, true, vbInformation}, {"0.9.9", false, true, vbInformation},
        {"1.0.1", true, true, vbYesNo | vbQuestion}, {"1.0.1", true, false, -1},
    };
    for (const auto &c : cases) {
        ScriptedShell shell;
        shell.answers = {vbNo};
        service.Answer(element("ACK", "1") + element("VERSION", c.version));
        service.server.requests.clear();
        frmUpdateService().CheckUpdate(c.silent, c.ask);
        const std::string name = std::string(c.version) + (c.silent ? " silent" : "") + (c.ask ? " ask" : "");
        ASSERT_EQ(shell.prompts.size(), c.style < 0 ? 0u : 1u) << name;
        EXPECT_TRUE(c.style < 0 || shell.prompts[0].style == c.style) << name;
        // The silent check that may not offer anything has nothing to ask.
        const size_t asked = c.silent && !c.ask ? 0 : 1;
        ASSERT_EQ(service.server.requests.size(), asked) << name;
        if (asked) {
            EXPECT_EQ(service.server.requests[0].raw, "GET /svc/updateservice.aspx HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n"
                                                      "Accept-Language: en\r\nConnection: Keep-Alive\r\n\r\n")
                << name;
        }
    }
}

// A page that is no answer (no ACK, not a 200 reply, no well-formed VERSION) is asked for three
// times, then the check counts as unanswered; the reply is read until it holds what the check
// needs, not only its first piece.
TEST(frmUpdateService, TriesThreeTimesAndReadsLaterPieces)
{
    Service service;
    const QByteArray ack = element("ACK", "1");
    for (const QByteArray &page :
         {"HTTP/1.0 200 OK\r\n\r\n" + element("VERSION", "9.9.9"), "HTTP/1.0 404 Not Found\r\n\r\n" + ack + element("VERSION", "1.0.0"),
          "HTTP/1.0 200 OK\r\n\r\n" + ack, "HTTP/1.0 200 OK\r\n\r\n" + ack + element("VERSION", "latest"),
          "HTTP/1.0 200 OK\r\n\r\n" + ack + element("VERSION", " 2.0.0 "), "HTTP/1.0 200 OK\r\n\r\n" + ack + element("VERSION", "2.0.0\r\n")}) {
        service.page = Reply{{page}};
        for (bool silent : {false, true}) {
            ScriptedShell shell;
            service.server.requests.clear();
            frmUpdateService().CheckUpdate(silent, true);
            EXPECT_EQ(service.server.requests.size(), 3u) << page.toStdString();
            ASSERT_EQ(shell.prompts.size(), silent ? 0u : 1u) << page.toStdString();
            EXPECT_TRUE(silent || shell.prompts[0].style == (vbExclamation | vbOKOnly)) << page.toStdString();
        }
    }
    const QByteArray offer = service.Offer("1.0.1", "", "");
    service.page = Reply{{"HTTP/1.0 200 OK\r\n\r\n" + offer.left(offer.indexOf("<VERSION>")), offer.mid(offer.indexOf("<VERSION>"))}, 300, false};
    ScriptedShell shell;
    shell.answers = {vbNo};
    frmUpdateService().CheckUpdate(true, true);
    ASSERT_EQ(shell.prompts.size(), 1u);
    EXPECT_TRUE(shell.prompts[0].text.contains("1.0.1"));
}

TEST(frmUpdateService, CancelEndsTheWaitAndCheckIsOffMeanwhile)
{
    Service service;
    service.page = Reply{{}, 0, false}; // accepts, then never answers
    ScriptedShell shell;
    frmUpdateService dialog;
    dialog.show();
    EXPECT_EQ(dialog.lblChecking->text(), "Ready to check for updates.");
    bool checkWasOff = false;
    QString shown;
    QTimer::singleShot(800, &dialog, [&] {
        checkWasOff = !dialog.cmdOK->isEnabled();
        shown = dialog.lblChecking->text();
        dialog.reject(); // Esc, as the close box and "&Cancel"
    });
    QElapsedTimer elapsed;
    elapsed.start();
    dialog.cmdOK->click();
    EXPECT_LT(elapsed.elapsed(), 5000);
    EXPECT_TRUE(checkWasOff);
    EXPECT_TRUE(shown == "Contacting update service ." || shown == "Contacting update service . .") << shown.toStdString();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(shell.prompts.empty());
    EXPECT_EQ(service.server.requests.size(), 1u);
}

TEST(frmUpdateService, AGoodSignatureHandsOverToTheUpdater)
{
    Service service;
    service.Answer(service.GoodOffer());
    ScriptedShell shell;
    shell.answers = {vbYes};
    support::SetProgramTerminator([](int) { throw HandedOver{}; });
    EXPECT_THROW(frmUpdateService().CheckUpdate(false, true), HandedOver);
    support::SetProgramTerminator(nullptr);

    EXPECT_EQ(service.folder.Read("Updates/quillmere"), service.product);
    const QString expected = service.folder.File("Updates/quillmere") + "|" + QApplication::applicationFilePath();
    EXPECT_TRUE(RunUntil([&] { return service.folder.Read("updater-was-given") == expected.toUtf8(); }, 5000));
    EXPECT_EQ(shell.prompts.size(), 1u) << "only the offer";
}

TEST(frmUpdateService, AnythingDoubtfulIsAFailedDownloadAndStartsNothing)
{
    Service service;
    const QString updater = service.folder.File("Updates/quillmere-updater");
    const struct {
        const char *name;
        QByteArray page;
        bool blockUpdates;
    } cases[] = {
        {"bad signature", service.Offer("2.0.0", service.Sign("product", service.product), service.Sign("updater", "other")), false},
        {"no signature", service.Offer("2.0.0", service.Sign("product", service.product), ""), false},
        {"signed without role and version", service.Offer("2.0.0", service.keys.Sign(service.product), service.keys.Sign(service.updater)), false},
        {"an earlier release offered as newer",
         service.Offer("99.0.0", service.Sign("product", service.product, "99.0.0"), service.Sign("updater", service.updater, "1.5.0")), false},
        {"roles swapped", service.Offer("2.0.0", service.Sign("updater", service.product), service.Sign("product", service.updater)), false},
        {"Updates cannot be made", service.GoodOffer(), true},
        {"no file name", service.Offer("2.0.0", "x", "x", ".."), false},
    };
    for (const auto &c : cases) {
        ScriptedShell shell;
        shell.answers = {vbYes};
        service.Answer(c.page);
        if (c.blockUpdates) {
            QDir(service.folder.File("Updates")).removeRecursively();
            service.folder.Write("Updates", "a file where the folder should be");
        }
        support::SetProgramTerminator([](int) { throw HandedOver{}; });
        EXPECT_NO_THROW(frmUpdateService().CheckUpdate(true, true)) << c.name;
        support::SetProgramTerminator(nullptr);
        ASSERT_EQ(shell.prompts.size(), 2u) << c.name;
        EXPECT_EQ(shell.prompts[1].text, "Fout tijdens downloaden.") << c.name;
        EXPECT_FALSE(QFile::exists(updater)) << c.name;
        EXPECT_EQ(platform::userstore::GetSetting("Quillmere", "Downloads", updater), "") << c.name;
        QFile::remove(service.folder.File("Updates"));
    }
    RunUntil([] { return false; }, 300);
    EXPECT_FALSE(QFile::exists(service.record));
}

// The start-up check asks the service only when it may offer something; the menu shows the
// dialog modally.
TEST(frmUpdateService, TheMainWindowChecksAtStartUpAndFromItsMenu)
{
    Service service;
    service.Answer(service.Offer("1.0.1", "", ""));
    for (const char *setting : {"1", "0"}) {
        ScriptedShell shell;
        shell.answers = {vbNo};
        service.folder.Write("Quillmere.ini", QByteArray("[Options]\nCheckForUpdates=") + setting + "\n");
        service.server.requests.clear();
        frmMain window({});
        window.tmrLoadSplash->stop();
        RunUntil([&] { return !shell.prompts.empty(); }, 1000);
        EXPECT_EQ(service.server.requests.size(), *setting == '1' ? 1u : 0u) << setting;
        EXPECT_EQ(shell.prompts.size(), *setting == '1' ? 1u : 0u) << setting;
        if (*setting == '1')
            continue;
        frmUpdateService *shown = nullptr;
        QTimer::singleShot(100, [&] {
            if ((shown = qobject_cast<frmUpdateService *>(QApplication::activeModalWidget())))
                shown->cmdCancel->click();
        });
        window.mnuUpdateService->trigger();
        EXPECT_NE(shown, nullptr);
    }
}

// A check run from the message loop of a scan in progress can only let that scan go on by
// returning: the hand-over waits for the scan's end without holding it up, then ends the program.
// Meanwhile the start-up clean-up of Updates (here due one second after the check began) spares
// the files; an updater that changed meanwhile (say, fetched again by another check) is not
// started.
TEST(frmUpdateService, AScanInProgressFinishesBeforeTheHandOver)
{
    Service service;
    service.folder.InstallDatabase();
    for (int i = 0; i < 5; ++i)
        QDir().mkpath(service.folder.File(QString("tree/d%1").arg(i)));
    service.Answer(service.GoodOffer());
    for (const bool replaced : {false, true}) {
        ScriptedShell shell;
        shell.answers = {vbYes};
        RecordingMain main;
        main.mnuScanNetwork->trigger();
        frmScanNetwork *scan = main.ScanNetwork();
        scan->lstDirs->addItem(service.folder.File("tree"));
        scan->chkUsers->setCheckState(Qt::Unchecked);
        scan->chkPrograms->setCheckState(Qt::Unchecked);
        scan->chkDirectories->setCheckState(Qt::Checked);
        bool checked = false;
        QTimer duringScan;
        QObject::connect(&duringScan, &QTimer::timeout, [&] {
            if (checked || !main.ScanRunning())
                return;
            checked = true;
            main.trmDeleteUpdateFiles->start(1000);
            frmUpdateService(&main).CheckUpdate(false, true);
            if (replaced)
                service.folder.Write("Updates/quillmere-updater", "#!/bin/sh\necho unchecked > \"$0.ran\"\n");
            else
                RunUntil([] { return false; }, 1200);
        });
        duringScan.start(0);
        scan->cmdStart_Click();
        ASSERT_TRUE(checked);
        EXPECT_FALSE(main.closed);
        EXPECT_EQ(scan->lblProgressTitle->text(), "Progress  (done)");
        if (replaced) {
            ASSERT_TRUE(RunUntil([&] { return shell.prompts.size() == 2; }, 5000));
            EXPECT_EQ(shell.prompts[1].text, "Fout tijdens downloaden.");
            RunUntil([] { return false; }, 300);
            EXPECT_FALSE(main.closed);
            EXPECT_FALSE(QFile::exists(service.folder.File("Updates/quillmere-updater.ran")));
            continue;
        }
        ASSERT_TRUE(RunUntil([&] { return main.closed; }, 5000));
        EXPECT_EQ(service.folder.Read("Updates/quillmere"), service.product);
        EXPECT_TRUE(RunUntil([&] { return !service.folder.Read("updater-was-given").isEmpty(); }, 5000));
        EXPECT_EQ(shell.prompts.size(), 1u) << "only the offer";
    }
}

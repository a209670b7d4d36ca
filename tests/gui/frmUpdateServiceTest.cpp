#include "common/HttpServer.h"
#include "common/TestSupport.h"
#include "common/UpdateSigning.h"
#include "gui/frmMain.h"
#include "gui/frmUpdateService.h"
#include "platform/userstore/UserStore.h"
#include "support/ProgramEnd.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using platform::shell::vbExclamation;
using platform::shell::vbInformation;
using platform::shell::vbNo;
using platform::shell::vbOKOnly;
using platform::shell::vbQuestion;
using platform::shell::vbYes;
using platform::shell::vbYesNo;
using testing_support::HttpServer;
using testing_support::LocalUpdateService;
using testing_support::RunUntil;
using testing_support::ScriptedShell;
using testing_support::TempProgramFolder;
using testing_support::TestKeyPair;
using Reply = HttpServer::Reply;

namespace {

const QByteArray ServicePath = "/svc/updateservice.aspx";

struct Element {
    const char *tag;
    QString value;
};

QByteArray elements(const std::vector<Element> &list)
{
    QByteArray text;
    for (const Element &e : list)
        text += "<" + QByteArray(e.tag) + ">" + e.value.toLatin1() + "</" + QByteArray(e.tag) + ">\r\n";
    return text;
}

// A test update service: the page, a product file and an updater script that records its
// argument, each signed (or not) as the test says.
struct Service {
    Service() : local(server.Url("/svc/"), keys)
    {
        product = QByteArray("new program ") + QByteArray(5000, 'p');
        updater = "#!/bin/sh\nprintf '%s' \"$1\" > '" + record.toUtf8() + "'\n";
        server.handler = [this](const HttpServer::Request &request) {
            if (request.target == ServicePath)
                return page;
            return HttpServer::FileReply(request.target.endsWith("/quillmere") ? product : updater, request);
        };
    }
    // A page offering version with both files and their signatures.
    QByteArray Offer(const QString &version, const QString &productSig, const QString &updaterSig) const
    {
        return elements({{"ACK", "1"},
                         {"VERSION", version},
                         {"UPDATER-URL", server.Url("/files/quillmere-updater")},
                         {"PRODUCT-URL", server.Url("/files/quillmere")},
                         {"PRODUCT-SIG", productSig},
                         {"UPDATER-SIG", updaterSig}});
    }
    void Answer(const QByteArray &body) { page = HttpServer::Whole("HTTP/1.0 200 OK\r\nContent-Type: text/plain", body); }
    std::size_t PageRequests() const
    {
        return std::count_if(server.requests.begin(), server.requests.end(), [](const auto &r) { return r.target == ServicePath; });
    }

    TempProgramFolder folder;
    HttpServer server;
    TestKeyPair keys;
    LocalUpdateService local;
    QString record = folder.File("updater-was-given");
    QByteArray product, updater;
    Reply page;
};

struct HandedOver {};

} // namespace

TEST(frmUpdateService, AnswersByVersionAndMode)
{
    Service service;
    const struct {
        const char *version;
        bool silent, ask;
        int style; // of the one prompt expected, -1 for none
    } cases[] = {
        {"1.0.0", true, true, -1},
        {"1.0.0", false, true, vbInformation | vbOKOnly},
        {"0.9.9", false, true, vbInformation | vbOKOnly},
        {"1.0.1", true, true, vbYesNo | vbQuestion},
        {"1.0.1", true, false, -1},
    };
    for (const auto &c : cases) {
        ScriptedShell shell;
        shell.answers = {vbNo};
        service.Answer(elements({{"ACK", "1"}, {"VERSION", c.version}}));
        service.server.requests.clear();
        frmUpdateService dialog;
        dialog.CheckUpdate(c.silent, c.ask);
        const std::string name = std::string(c.version) + (c.silent ? " silent" : "") + (c.ask ? " ask" : "");
        ASSERT_EQ(shell.prompts.size(), c.style < 0 ? 0u : 1u) << name;
        if (c.style >= 0) {
            EXPECT_EQ(shell.prompts[0].style, c.style) << name;
            EXPECT_EQ(shell.prompts[0].title, "Quill Mere");
        }
        // The silent check that may not offer anything has nothing to ask.
        EXPECT_EQ(service.server.requests.size(), c.silent && !c.ask ? 0u : 1u) << name;
    }
    ASSERT_EQ(service.server.requests.size(), 0u);
    frmUpdateService dialog;
    dialog.CheckUpdate(false, true);
    EXPECT_EQ(service.server.requests.back().raw, "GET /svc/updateservice.aspx HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: */*\r\n"
                                                  "Accept-Language: en\r\nConnection: Keep-Alive\r\n\r\n");
}

TEST(frmUpdateService, GivesUpAfterThreeTriesWithoutAnAnswer)
{
    Service service;
    service.page = Reply{{"HTTP/1.0 200 OK\r\n\r\n<VERSION>9.9.9</VERSION>"}};
    for (bool silent : {false, true}) {
        ScriptedShell shell;
        service.server.requests.clear();
        frmUpdateService dialog;
        dialog.CheckUpdate(silent, true);
        EXPECT_EQ(service.PageRequests(), 3u);
        ASSERT_EQ(shell.prompts.size(), silent ? 0u : 1u);
        if (!silent) {
            EXPECT_EQ(shell.prompts[0].style, vbExclamation | vbOKOnly);
        }
    }
}

// The reply is read until it holds what the check needs, not only its first piece.
TEST(frmUpdateService, ReadsAVersionThatComesInALaterPiece)
{
    Service service;
    const QByteArray offer = service.Offer("1.0.1", "", "");
    service.page = Reply{{"HTTP/1.0 200 OK\r\n\r\n<ACK>1</ACK>\r\n", offer.mid(offer.indexOf("<VERSION>"))}, 300, false};
    ScriptedShell shell;
    shell.answers = {vbNo};
    frmUpdateService dialog;
    dialog.CheckUpdate(true, true);
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
    EXPECT_EQ(dialog.windowTitle(), "Updating service");
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
    EXPECT_EQ(service.PageRequests(), 1u);
}

TEST(frmUpdateService, AGoodSignatureHandsOverToTheUpdater)
{
    Service service;
    service.Answer(service.Offer("2.0.0", service.keys.Sign(service.product), service.keys.Sign(service.updater)));
    ScriptedShell shell;
    shell.answers = {vbYes};
    support::SetProgramTerminator([](int) { throw HandedOver{}; });
    frmUpdateService dialog;
    EXPECT_THROW(dialog.CheckUpdate(false, true), HandedOver);
    support::SetProgramTerminator(nullptr);

    const QString product = service.folder.File("Updates/quillmere");
    ASSERT_TRUE(RunUntil([&] { return QFile::exists(service.record); }, 5000));
    RunUntil([&] { return !service.folder.Read("updater-was-given").isEmpty(); }, 2000);
    EXPECT_EQ(QString::fromUtf8(service.folder.Read("updater-was-given")), product + "|" + QApplication::applicationFilePath());
    EXPECT_EQ(service.folder.Read("Updates/quillmere"), service.product);
    ASSERT_EQ(shell.prompts.size(), 1u) << "only the offer";
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
        {"bad signature", service.Offer("2.0.0", service.keys.Sign(service.product), service.keys.Sign("other")), false},
        {"no signature", service.Offer("2.0.0", service.keys.Sign(service.product), ""), false},
        {"Updates cannot be made", service.Offer("2.0.0", service.keys.Sign(service.product), service.keys.Sign(service.updater)), true},
        {"no file name", elements({{"ACK", "1"}, {"VERSION", "2.0.0"}, {"UPDATER-URL", service.server.Url("/files/..")},
                                   {"PRODUCT-URL", service.server.Url("/files/quillmere")}, {"PRODUCT-SIG", "x"},
                                   {"UPDATER-SIG", "x"}}), false},
    };
    for (const auto &c : cases) {
        ScriptedShell shell;
        shell.answers = {vbYes};
        service.Answer(c.page);
        if (c.blockUpdates) {
            QDir(service.folder.File("Updates")).removeRecursively();
            service.folder.Write("Updates", "a file where the folder should be");
        }
        frmUpdateService dialog;
        support::SetProgramTerminator([](int) { throw HandedOver{}; });
        EXPECT_NO_THROW(dialog.CheckUpdate(true, true)) << c.name;
        support::SetProgramTerminator(nullptr);
        ASSERT_EQ(shell.prompts.size(), 2u) << c.name;
        EXPECT_EQ(shell.prompts[1].text, "Fout tijdens downloaden.") << c.name;
        EXPECT_EQ(shell.prompts[1].style, vbOKOnly) << c.name;
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
    for (const char *setting : {"0", "1"}) {
        ScriptedShell shell;
        shell.answers = {vbNo};
        service.folder.Write("Quillmere.ini", QByteArray("[Options]\nCheckForUpdates=") + setting + "\n");
        service.server.requests.clear();
        frmMain window({});
        window.tmrLoadSplash->stop();
        ASSERT_TRUE(RunUntil([&] { return !window.tmrCheckUpdate->isActive() && !shell.prompts.empty(); }, 3000) ||
                    *setting == '0');
        EXPECT_EQ(service.PageRequests(), *setting == '1' ? 1u : 0u) << setting;
        EXPECT_EQ(shell.prompts.size(), *setting == '1' ? 1u : 0u) << setting;
    }
    ScriptedShell shell;
    service.folder.Write("Quillmere.ini", "[Options]\nCheckForUpdates=0\n");
    frmMain window({});
    window.tmrLoadSplash->stop();
    frmUpdateService *shown = nullptr;
    QTimer::singleShot(100, [&] {
        shown = qobject_cast<frmUpdateService *>(QApplication::activeModalWidget());
        if (shown)
            shown->cmdCancel->click();
    });
    window.mnuUpdateService->trigger();
    ASSERT_NE(shown, nullptr);
}

#include "gui/frmUpdateService.h"

#include "gui/Design.h"
#include "gui/frmDownloader.h"
#include "gui/frmMain.h"
#include "net/ReplyHeader.h"
#include "net/UpdateService.h"
#include "platform/shell/Shell.h"
#include "platform/shell/StartProgram.h"
#include "platform/signature/Ed25519.h"
#include "platform/winsock/Winsock.h"
#include "scan/modInternet.h"
#include "support/DoEvents.h"
#include "support/Error.h"
#include "support/ProgramEnd.h"
#include "support/ProgramFolder.h"
#include "support/StepGuard.h"
#include "Version.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <tuple>

using namespace design;
using platform::shell::MsgBox;
using platform::winsock::Winsock;

namespace {

constexpr int ReplyWaitMs = 10000;
constexpr qsizetype ReplyCap = 1024 * 1024;

const QString NoAnswer = QStringLiteral("The updating service did not answer. Please check for updates again later.");
const QString Offer = QStringLiteral("A newer version of Quill Mere (%1) is available.\r\n\r\n"
                                     "Do you want to download and install it now?");
const QString UpToDate = QStringLiteral("You are using the newest version of Quill Mere.");
const QString DownloadFailed = QStringLiteral("Fout tijdens downloaden.");

// The file in the Updates folder that a URL is saved as: the URL's text after its last "/".
// Names that are no file of that folder give "", and so does a URL with a comma, which the
// download list could not tell from the path that follows it.
QString updateFile(const QString &updates, const QString &url)
{
    const QString name = url.mid(url.lastIndexOf(u'/') + 1);
    if (url.contains(u',') || name.isEmpty() || name == QStringLiteral(".") || name == QStringLiteral(".."))
        return {};
    return updates + u'/' + name;
}

// Makes the updater executable and starts it with the product file and this program's real
// path; once it runs, the program ends (closing the main window ends it). False when it could not
// be started.
bool startUpdater(frmMain *mainWindow, const QString &productFile, const QString &updaterFile)
{
    QFile::setPermissions(updaterFile, QFile::permissions(updaterFile) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
    if (!platform::shell::StartProgram(updaterFile, productFile + u'|' + QCoreApplication::applicationFilePath()))
        return false;
    if (!mainWindow)
        support::EndProgram(0);
    mainWindow->close();
    return true;
}

// A running scan is always below the check on the stack (the check runs from its message loop)
// and can only go on once the check has returned; ending the program in the middle of it would
// leave its tables emptied. So the main window waits for the scan's end on a timer of its own.
// The files may change meanwhile (another check may fetch them again): they must still be
// trusted when the updater starts.
void startUpdaterAfterScan(frmMain *mainWindow, const QString &productFile, const QString &updaterFile,
                           const std::function<bool()> &trusted)
{
    auto *wait = new QTimer(mainWindow);
    QObject::connect(wait, &QTimer::timeout, mainWindow, [=] {
        if (mainWindow->ScanRunning())
            return;
        wait->stop();
        wait->deleteLater();
        if (!trusted() || !startUpdater(mainWindow, productFile, updaterFile))
            MsgBox(DownloadFailed, platform::shell::vbOKOnly);
    });
    wait->start(250);
}

} // namespace

// The elements of the service's reply that the update path reads.
struct frmUpdateService::Reply {
    QString version;
    QString updaterUrl;
    QString productUrl;
    QString updaterSig;
    QString productSig;
};

frmUpdateService::frmUpdateService(frmMain *mainWindow, QWidget *parent) : QDialog(parent), m_mainWindow(mainWindow)
{
    setWindowTitle(QStringLiteral("Updating service"));
    setFixedSize(px(6000), px(3150));
    lblAnalysisTitle = make<QLabel>(this, "lblAnalysisTitle", "Updating service", 240, 180, 5520, 375);
    QFont title = boldened(lblAnalysisTitle->font());
    title.setPointSize(title.pointSize() + 4);
    lblAnalysisTitle->setFont(title);
    fraStatus = make<QGroupBox>(this, "fraStatus", "Update status", 240, 720, 5520, 1200);
    lblChecking = make<QLabel>(fraStatus, "lblChecking", "Ready to check for updates.", 240, 480, 5040, 375);
    cmdOK = make<QPushButton>(this, "cmdOK", "&Check", 3000, 2280, 1260, 375);
    cmdCancel = make<QPushButton>(this, "cmdCancel", "&Cancel", 4500, 2280, 1260, 375);
    cmdOK->setDefault(true);
    tmrAnimation = new QTimer(this);
    tmrAnimation->setInterval(350);
    webpageWinsock = new Winsock(this);

    connect(cmdOK, &QPushButton::clicked, this, &frmUpdateService::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmUpdateService::cmdCancel_Click);
    connect(tmrAnimation, &QTimer::timeout, this, &frmUpdateService::tmrAnimation_Timer);
    connect(webpageWinsock, &Winsock::ConnectEvent, this, &frmUpdateService::webpageWinsock_Connect);
    connect(webpageWinsock, &Winsock::DataArrival, this, &frmUpdateService::webpageWinsock_DataArrival);
    connect(webpageWinsock, &Winsock::Error, this, &frmUpdateService::webpageWinsock_Error);
}

frmUpdateService::~frmUpdateService() = default;

// A check that could neither show nor offer anything (the silent start-up check with updates
// switched off, or an unattended run) sends nothing. "&Check" stays disabled while a check runs:
// a nested check would empty the reply of the one below it.
void frmUpdateService::CheckUpdate(bool silenceMode, bool askForInstall)
{
    if (silenceMode && !askForInstall)
        return;
    support::StepGuard guard(m_checking);
    if (!guard)
        return;
    m_cancelled = false;
    cmdOK->setEnabled(false);
    try {
        RunCheck(silenceMode, askForInstall);
    } catch (const support::Error &error) {
        CloseWinsock();
        if (!silenceMode)
            MsgBox(error.Description(), platform::shell::vbExclamation);
    }
    cmdOK->setEnabled(true);
}

void frmUpdateService::RunCheck(bool silenceMode, bool askForInstall)
{
    bool answered = false;
    for (int tries = 1; !answered && tries <= 3 && !m_cancelled; ++tries) {
        RequestReply();
        answered = Answered();
    }
    if (m_cancelled)
        return;
    if (!answered) {
        if (!silenceMode)
            MsgBox(NoAnswer, platform::shell::vbExclamation | platform::shell::vbOKOnly);
        return;
    }
    const Reply reply{Tag("VERSION"), Tag("UPDATER-URL"), Tag("PRODUCT-URL"), Tag("UPDATER-SIG"), Tag("PRODUCT-SIG")};
    // Only a higher version, and the signatures name the version offered (FilesTrusted): over plain
    // HTTP an old signed release could otherwise be replayed as an upgrade.
    if (net::IsNewerVersion(reply.version, QString::fromLatin1(support::VersionText))) {
        if (askForInstall && MsgBox(Offer.arg(reply.version), platform::shell::vbYesNo | platform::shell::vbQuestion) ==
                                 platform::shell::vbYes)
            DownloadUpdate(reply);
    } else if (!silenceMode) {
        MsgBox(UpToDate, platform::shell::vbInformation | platform::shell::vbOKOnly);
    }
}

// One try: the request, then the wait for the reply. The wait ends when the reply holds what the
// check needs, the server closed, the reply reached its cap, the user cancelled, or after about
// ten seconds; a connection error ends nothing early, so the next try comes ten seconds later.
void frmUpdateService::RequestReply()
{
    try {
        OpenWebPage(net::CurrentUpdateService().baseAddress + QStringLiteral("updateservice.aspx"));
    } catch (const support::Error &) {
        CloseWinsock(); // a request that cannot even start counts as unanswered
        return;
    }
    support::WaitUntil(
        [this] {
            return m_cancelled || ReplyComplete() || webpageWinsock->State() == Winsock::sckClosing ||
                   m_reply.size() >= ReplyCap;
        },
        QDeadlineTimer(ReplyWaitMs));
    CloseWinsock();
}

// Only a 200 reply with an ACK and a well-formed VERSION says which version is current; an error
// page or a VERSION such as "latest" says nothing, and must not pass for "up to date".
bool frmUpdateService::Answered() const
{
    return ReplyHeader::StatusOf(m_reply.section(u'\n', 0, 0).toLatin1()) == 200 && !Tag("ACK").isEmpty() &&
           net::IsVersion(Tag("VERSION"));
}

QString frmUpdateService::Tag(const char *name) const { return modInternet::GetTagValue(m_reply, QString::fromLatin1(name)); }

bool frmUpdateService::ReplyComplete() const
{
    const auto closed = [this](const char *tag) { return m_reply.contains(QStringLiteral("</%1>").arg(QLatin1String(tag))); };
    if (!closed("ACK") || !closed("VERSION"))
        return false;
    if (!net::IsNewerVersion(Tag("VERSION"), QString::fromLatin1(support::VersionText)))
        return true;
    return closed("UPDATER-URL") && closed("PRODUCT-URL") && closed("UPDATER-SIG") && closed("PRODUCT-SIG");
}

void frmUpdateService::DownloadUpdate(const Reply &reply)
{
    frmDownloader downloader(this);
    const QString updates = support::ProgramFolder() + QStringLiteral("Updates");
    const QString productFile = updateFile(updates, reply.productUrl);
    const QString updaterFile = updateFile(updates, reply.updaterUrl);
    bool arrived = !productFile.isEmpty() && !updaterFile.isEmpty() && QDir().mkpath(updates);
    if (arrived) {
        // The start-up clean-up of Updates would delete these files under the download or before
        // the hand-over (Linux deletes files that are open): this session leaves it out.
        if (m_mainWindow)
            m_mainWindow->trmDeleteUpdateFiles->stop();
        downloader.Bestanden << reply.productUrl + u',' + productFile << reply.updaterUrl + u',' + updaterFile;
        downloader.tmrDownloadVolgendBestand->start();
        downloader.exec();
        arrived = downloader.mblnSuccesvol;
    }
    if (!arrived || !FilesTrusted(reply, productFile, updaterFile) || !HandOver(reply, productFile, updaterFile))
        MsgBox(DownloadFailed, platform::shell::vbOKOnly);
}

// Each signature covers its file's role and the offered version with the file. A file whose
// signature does not check out is deleted with its marker, so that the next attempt fetches it
// anew.
bool frmUpdateService::FilesTrusted(const Reply &reply, const QString &productFile, const QString &updaterFile)
{
    bool trusted = true;
    for (const auto &[file, signature, role] : {std::tuple{productFile, reply.productSig, net::UpdateRole::Product},
                                                std::tuple{updaterFile, reply.updaterSig, net::UpdateRole::Updater}}) {
        if (platform::signature::VerifyFileSignature(file, net::SignedPreamble(role, reply.version), signature,
                                                     net::CurrentUpdateService().publicKey))
            continue;
        QFile::remove(file);
        frmDownloader::DeleteMarker(file);
        trusted = false;
    }
    return trusted;
}

// The updater starts once both files checked out; while a scan runs, only after its end.
bool frmUpdateService::HandOver(const Reply &reply, const QString &productFile, const QString &updaterFile)
{
    if (m_mainWindow && m_mainWindow->ScanRunning()) {
        startUpdaterAfterScan(m_mainWindow, productFile, updaterFile,
                              [=] { return FilesTrusted(reply, productFile, updaterFile); });
        return true;
    }
    return startUpdater(m_mainWindow, productFile, updaterFile);
}

void frmUpdateService::OpenWebPage(const QString &strURL)
{
    m_reply.clear();
    const qsizetype scheme = strURL.indexOf(QStringLiteral("://"));
    const QString rest = scheme < 0 ? strURL : strURL.mid(scheme + 3);
    const qsizetype slash = rest.indexOf(u'/');
    QString host = slash < 0 ? rest : rest.left(slash);
    m_requestPath = slash < 0 ? QStringLiteral("/") : rest.mid(slash);
    int port = 80;
    if (const qsizetype colon = host.indexOf(u':'); colon >= 0) {
        bool ok = false;
        port = host.mid(colon + 1).toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            throw support::Error(40014, QStringLiteral("Invalid port in the update service's address"),
                                 QStringLiteral("frmUpdateService.OpenWebPage"));
        host = host.left(colon);
    }
    CloseWinsock();
    webpageWinsock->setRemoteHost(host);
    webpageWinsock->setRemotePort(port);
    webpageWinsock->Connect();
}

void frmUpdateService::CloseWinsock()
{
    if (webpageWinsock->State() != Winsock::sckClosed)
        webpageWinsock->Close();
}

void frmUpdateService::cmdOK_Click()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    tmrAnimation->start();
    CheckUpdate(false, true);
    tmrAnimation->stop();
    QApplication::restoreOverrideCursor();
    done(QDialog::Accepted);
}

// During a check, Cancel ends the check first; the button's own step then closes the dialog.
void frmUpdateService::cmdCancel_Click()
{
    if (m_checking)
        m_cancelled = true;
    else
        done(QDialog::Rejected);
}

void frmUpdateService::reject() { cmdCancel_Click(); }

void frmUpdateService::tmrAnimation_Timer()
{
    ++m_animation;
    lblChecking->setText(QStringLiteral("Contacting update service") +
                         QStringLiteral(" .").repeated(static_cast<int>(m_animation % 4)));
}

void frmUpdateService::webpageWinsock_Connect()
{
    webpageWinsock->SendData(QStringLiteral("GET ") + m_requestPath + QStringLiteral(" HTTP/1.0\r\n") +
                             QStringLiteral("Host: ") + webpageWinsock->RemoteHost() + QStringLiteral("\r\n") +
                             QStringLiteral("Accept: */*\r\nAccept-Language: en\r\nConnection: Keep-Alive\r\n\r\n"));
}

void frmUpdateService::webpageWinsock_DataArrival()
{
    m_reply += webpageWinsock->GetData();
    if (m_reply.size() > ReplyCap)
        m_reply.truncate(ReplyCap);
}

void frmUpdateService::webpageWinsock_Error() { CloseWinsock(); }

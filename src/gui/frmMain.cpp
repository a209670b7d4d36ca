#include "gui/frmMain.h"

#include "gui/Resources.h"
#include "gui/clsSystray.h"
#include "gui/frmAnalysis.h"
#include "gui/frmInfo.h"
#include "gui/frmQuickStart.h"
#include "gui/frmScanNetwork.h"
#include "gui/frmSettingsDialog.h"
#include "gui/frmSplash.h"
#include "gui/frmUpdateService.h"
#include "platform/instance/SingleInstance.h"
#include "platform/shell/Shell.h"
#include "platform/shell/widgets/NotifyArea.h"
#include "platform/shell/widgets/WidgetShell.h"
#include "platform/userstore/UserStore.h"
#include "shell/frmSettings.h"
#include "support/ProgramEnd.h"
#include "support/ProgramFolder.h"
#include "Version.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTimer>
#include <QWindow>

#include <algorithm>

namespace {

const QString AppName = QStringLiteral("Quillmere");
const QString OptionsSection = QStringLiteral("Options");

// Files an update leaves in the Updates folder: the Windows names that older update services
// still hand out, and the names of our own Linux executable and updater.
const QStringList UpdateFiles = {
    QStringLiteral("Quillmere.exe"), QStringLiteral("Quill Mere.exe"), QStringLiteral("QuillmereSetup.exe"),
    QStringLiteral("Updater.exe"),   QStringLiteral("quillmere"),      QStringLiteral("quillmere-updater"),
};

QTimer *makeTimer(QObject *parent, int interval)
{
    auto *timer = new QTimer(parent);
    timer->setInterval(interval);
    return timer;
}

// The program's dialogs that are open, outer ones before the ones opened over them.
QList<QWidget *> openDialogs()
{
    QList<QWidget *> dialogs;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowType() == Qt::Dialog)
            dialogs << window;
    }
    const auto depth = [](const QWidget *window) {
        int parents = 0;
        for (const QWidget *parent = window->parentWidget(); parent; parent = parent->parentWidget())
            ++parents;
        return parents;
    };
    std::stable_sort(dialogs.begin(), dialogs.end(), [&depth](const QWidget *a, const QWidget *b) { return depth(a) < depth(b); });
    return dialogs;
}

// Dialogs open over a window that went into the notification area went with it (the window manager
// minimises them together), and one that opened meanwhile was stacked before the window came back:
// each is shown again in front of it, and the innermost takes the input.
void bringDialogsToFront()
{
    const QList<QWidget *> dialogs = openDialogs();
    for (QWidget *dialog : dialogs) {
        dialog->setWindowState(dialog->windowState() & ~Qt::WindowMinimized);
        dialog->raise();
    }
    if (!dialogs.isEmpty())
        dialogs.last()->activateWindow();
}

} // namespace

frmMain::frmMain(QStringList arguments, QWidget *parent) : QMainWindow(parent), m_arguments(std::move(arguments))
{
    LoadResources();
    setWindowTitle(QString::fromUtf8(support::ProgramTitle));
    QIcon icon;
    for (int size : {16, 32, 64})
        icon.addFile(QStringLiteral(":/icons/quillmere-%1.png").arg(size));
    setWindowIcon(icon);
    mdiArea = new QMdiArea(this);
    setCentralWidget(mdiArea);
    resize(1024, 720);
    CreateMenus();
    CreateTimers();
}

frmMain::~frmMain() = default;

frmScanNetwork *frmMain::ScanNetwork() const { return moScanNetwork; }

frmAnalysis *frmMain::Analysis() const { return moAnalysis; }

// A scan window closed during its run is no longer the menu's, but lives on until the run ends.
bool frmMain::ScanRunning() const
{
    const QList<frmScanNetwork *> windows = findChildren<frmScanNetwork *>();
    return std::any_of(windows.begin(), windows.end(), [](const frmScanNetwork *window) { return window->Running(); });
}

void frmMain::CreateMenus()
{
    mnuProgram = menuBar()->addMenu(QStringLiteral("&Program"));
    mnuScanNetwork = mnuProgram->addAction(QStringLiteral("&Scan network"));
    mnuScanNetwork->setShortcut(Qt::Key_F2);
    mnuViewAnalysis = mnuProgram->addAction(QStringLiteral("&View analyses"));
    mnuViewAnalysis->setShortcut(Qt::Key_F3);
    mnuProgram->addSeparator();
    mnuSettings = mnuProgram->addAction(QStringLiteral("&Settings"));
    mnuSettings->setShortcut(Qt::Key_F4);
    mnuProgram->addSeparator();
    mnuExit = mnuProgram->addAction(QStringLiteral("&Exit"));
    connect(mnuScanNetwork, &QAction::triggered, this, &frmMain::mnuScanNetwork_Click);
    connect(mnuViewAnalysis, &QAction::triggered, this, &frmMain::mnuViewAnalysis_Click);
    connect(mnuSettings, &QAction::triggered, this, &frmMain::mnuSettings_Click);
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelpContents = mnuHelp->addAction(QStringLiteral("&Help on the site"));
    mnuHelpContents->setShortcut(Qt::Key_F1);
    connect(mnuHelpContents, &QAction::triggered, this, &frmMain::mnuHelpContents_Click);
    mnuUpdateService = mnuHelp->addAction(QStringLiteral("&Updating service"));
    connect(mnuUpdateService, &QAction::triggered, this, &frmMain::mnuUpdateService_Click);
    mnuHelp->addSeparator();
    mnuInfo = mnuHelp->addAction(QStringLiteral("&Info"));
    connect(mnuInfo, &QAction::triggered, this, &frmMain::mnuInfo_Click);

    mnuScanNetwork->setObjectName(QStringLiteral("mnuScanNetwork"));
    mnuViewAnalysis->setObjectName(QStringLiteral("mnuViewAnalysis"));
    mnuSettings->setObjectName(QStringLiteral("mnuSettings"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    mnuHelpContents->setObjectName(QStringLiteral("mnuHelpContents"));
    mnuUpdateService->setObjectName(QStringLiteral("mnuUpdateService"));
    mnuInfo->setObjectName(QStringLiteral("mnuInfo"));
}

// A one-shot step that lets the message loop run (the update check, the modal windows) switches
// its timer off first, so that it is never entered again while it runs.
void frmMain::CreateTimers()
{
    tmrCheckUpdate = makeTimer(this, 50);
    tmrMaximize = makeTimer(this, 500);
    tmrLoadSplash = makeTimer(this, 1000);
    trmDeleteUpdateFiles = makeTimer(this, 6000);
    connect(tmrCheckUpdate, &QTimer::timeout, this, &frmMain::tmrCheckUpdate_Timer);
    connect(tmrMaximize, &QTimer::timeout, this, &frmMain::tmrMaximize_Timer);
    connect(tmrLoadSplash, &QTimer::timeout, this, &frmMain::tmrLoadSplash_Timer);
    connect(trmDeleteUpdateFiles, &QTimer::timeout, this, &frmMain::trmDeleteUpdateFiles_Timer);
    for (QTimer *timer : {tmrCheckUpdate, tmrMaximize, tmrLoadSplash, trmDeleteUpdateFiles})
        timer->start();
}

bool frmMain::IsScanCommand(const QStringList &arguments)
{
    return arguments.join(u' ').toLower() == QStringLiteral("-scan");
}

void frmMain::MDIForm_Load()
{
    m_instance = std::make_unique<platform::instance::SingleInstance>(AppName);
    if (m_instance->PrevInstance()) {
        platform::userstore::SaveSetting(AppName, OptionsSection, QStringLiteral("Maximize"), QStringLiteral("1"));
        // Under cron a skipped scan must not read as a successful one. Nothing is open yet.
        if (IsScanCommand(m_arguments)) {
            platform::shell::WriteErrorLine(QStringLiteral("No scan ran: this user's Quill Mere is running already, "
                                                           "and was brought forward instead."));
            support::EndProgram(1);
        }
        close();
        return;
    }
    m_releaseLock = std::make_unique<support::ProgramEndHook>([lock = m_instance.get()] { lock->Release(); });
    if (IsScanCommand(m_arguments)) {
        // Nobody could answer a box of an unattended run: each goes to standard error instead.
        platform::shell::Install(nullptr);
        tmrLoadSplash->stop();
        mnuScanNetwork_Click();
        moScanNetwork->setAutoScan(true);
        moScanNetwork->tmrBeginScan->start();
    }
}

void frmMain::OpenHomePage() { platform::shell::Current().OpenDocument(QString::fromUtf8(support::HomePage)); }

void frmMain::DeleteUpdateFiles()
{
    const QString updates = support::ProgramFolder() + QStringLiteral("Updates");
    for (const QString &name : UpdateFiles)
        QFile::remove(updates + u'/' + name);
    QDir().rmdir(updates);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    event->accept();
    MDIForm_Unload();
}

// Only the open child windows are unloaded: a closed one wrote its settings when it closed, and
// one whose run still winds down below its close must not write them again.
void frmMain::MDIForm_Unload()
{
    for (QMdiSubWindow *child : mdiArea->subWindowList()) {
        if (!child->isHidden())
            child->close();
    }
    if (moSystray)
        moSystray->CleanUpSystray();
    support::EndProgram(0);
}

// Opens the scan window, or brings it to the front. A closed window is gone: the next call makes
// a new one, loaded from the settings file.
void frmMain::mnuScanNetwork_Click()
{
    if (!moScanNetwork) {
        moScanNetwork = new frmScanNetwork;
        m_scanFrame = mdiArea->addSubWindow(moScanNetwork);
        // The window destroys its frame itself once it is closed and no run uses it any more.
        m_scanFrame->setAttribute(Qt::WA_DeleteOnClose, false);
        connect(moScanNetwork, &frmScanNetwork::Unloaded, this, [this] { moScanNetwork = nullptr; });
        m_scanFrame->adjustSize();
        moScanNetwork->Form_Load();
    }
    m_scanFrame->show();
    moScanNetwork->show();
    mdiArea->setActiveSubWindow(m_scanFrame);
    m_scanFrame->raise();
}

// Opens the analysis window, or brings it to the front. A closed window is gone; one closed
// while a view of it was loading stays hidden until that load has returned, and a new window
// takes its place meanwhile.
void frmMain::mnuViewAnalysis_Click()
{
    if (moAnalysis && m_analysisFrame->isHidden())
        moAnalysis = nullptr;
    if (!moAnalysis) {
        moAnalysis = new frmAnalysis;
        m_analysisFrame = mdiArea->addSubWindow(moAnalysis);
        m_analysisFrame->setAttribute(Qt::WA_DeleteOnClose);
        m_analysisFrame->adjustSize();
    }
    m_analysisFrame->show();
    moAnalysis->show();
    mdiArea->setActiveSubWindow(m_analysisFrame);
    m_analysisFrame->raise();
}

// The hourglass covers the filling of the dialog (the domain list may take a while).
void frmMain::mnuSettings_Click()
{
    setCursor(Qt::WaitCursor);
    frmSettingsDialog dialog(this);
    // Settings confirmed from the menu are what the first run's Settings asks for: the start-up
    // sequence does not show that one after them.
    if (platform::shell::WidgetShell::ExecWindowModal(dialog) == QDialog::Accepted)
        platform::userstore::SaveSetting(AppName, OptionsSection, QStringLiteral("AskForSettings"), QStringLiteral("1"));
    unsetCursor();
}

void frmMain::mnuUpdateService_Click()
{
    frmUpdateService dialog(this, this);
    platform::shell::WidgetShell::ExecWindowModal(dialog);
}

void frmMain::mnuExit_Click() { close(); }

void frmMain::mnuHelpContents_Click() { OpenHomePage(); }

void frmMain::mnuInfo_Click()
{
    frmInfo info(this);
    platform::shell::WidgetShell::ExecWindowModal(info);
}

void frmMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    // Handled once the change is complete: showMinimized() shows the window after minimising it.
    if (event->type() == QEvent::WindowStateChange)
        QTimer::singleShot(0, this, &frmMain::MDIForm_Resize);
}

// With "MinimizeToTray" set, a minimised main window waits behind an icon in the notification
// area. Where the desktop has none, the window stays minimised: hidden without an icon it could
// only be brought back by starting the program again. The icon goes once the window is on the
// screen again (BackOnScreen), not when its state changes: a window manager busy with the
// withdrawal can report a state while the window is still hidden, or drop the window's map.
// While the icon is there, a shown window is on its way back, and a minimised state is the one
// it left with, reported once more before the window manager has mapped it: it is no minimise.
void frmMain::MDIForm_Resize()
{
    if (!isMinimized()) {
        BackOnScreen();
        return;
    }
    auto &area = platform::shell::CurrentNotifyArea();
    if (frmSettings::Instance().GetMinimizeToTray() != QStringLiteral("1") || isHidden() || !area.IsAvailable()
        || area.IsShown())
        return;
    if (!moSystray) {
        moSystray = std::make_unique<clsSystray>();
        connect(&area, &platform::shell::NotifyArea::MouseMessage, this, &frmMain::picSystray_MouseMove);
        connect(&area, &platform::shell::NotifyArea::RestoreRequested, this, &frmMain::RestoreFromSystray);
        windowHandle()->installEventFilter(this);
    }
    hide();
    moSystray->SysTray(windowIcon());
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Expose && watched == windowHandle())
        BackOnScreen();
    return QMainWindow::eventFilter(watched, event);
}

// Once the window is exposed and no longer minimised after waiting behind the icon, whoever
// brought it back (the icon, the hand-over of a second start), also when the setting was switched
// off meanwhile: the icon goes, and the dialogs open over the window come to its front.
void frmMain::BackOnScreen()
{
    if (!moSystray || !platform::shell::CurrentNotifyArea().IsShown() || !windowHandle()->isExposed() || isMinimized())
        return;
    moSystray->CleanUpSystray();
    bringDialogsToFront();
}

void frmMain::picSystray_MouseMove(int mouseMessage)
{
    if (mouseMessage == platform::shell::NotifyArea::LeftButtonUp)
        RestoreFromSystray();
}

// Shown maximised and raised; the icon stays until the window is exposed. A window that is shown
// but was never exposed (its map got lost) is hidden first, so that it is mapped anew.
void frmMain::RestoreFromSystray()
{
    if (isVisible() && !windowHandle()->isExposed())
        hide();
    showMaximized();
    raise();
    activateWindow();
}

// The check lets the message loop run for up to half a minute: the timer is switched off first.
void frmMain::tmrCheckUpdate_Timer()
{
    tmrCheckUpdate->stop();
    frmUpdateService check(this, this);
    check.CheckUpdate(true, frmSettings::Instance().GetCheckForUpdates() == QStringLiteral("1") && !IsScanCommand(m_arguments));
}

// The splash, the first run's Settings dialog, then the quick-start page. The timer is switched
// off first: the modal windows let the message loop run, which would otherwise fire it again.
// While a dialog from the menus is open (Settings, opened with F4 before the splash), the
// sequence waits for the next tick: a second Settings dialog over the first would write back the
// values it was filled with, over what the user confirms in the first.
void frmMain::tmrLoadSplash_Timer()
{
    if (QApplication::activeModalWidget())
        return;
    tmrLoadSplash->stop();
    frmSplash splash(this);
    platform::shell::WidgetShell::ExecWindowModal(splash);
    AskForSettings();
    if (frmSettings::Instance().GetShowQuickStart() == QStringLiteral("1"))
        ShowQuickStart();
}

// On the very first run the Settings dialog is shown once, whether it is confirmed or cancelled.
void frmMain::AskForSettings()
{
    const QString key = QStringLiteral("AskForSettings");
    if (!platform::userstore::GetSetting(AppName, OptionsSection, key).isEmpty())
        return;
    mnuSettings_Click();
    platform::userstore::SaveSetting(AppName, OptionsSection, key, QStringLiteral("1"));
}

// The page's choice opens its window; its start-up box is written back whatever was chosen.
void frmMain::ShowQuickStart()
{
    frmQuickStart page(this);
    platform::shell::WidgetShell::ExecWindowModal(page);
    if (page.selectedIndex == 0)
        mnuScanNetwork->trigger();
    else if (page.selectedIndex == 1)
        mnuViewAnalysis->trigger();
    frmSettings::Instance().SetShowQuickStart(page.chkShowOnStartup->isChecked() ? 1 : 0);
}

void frmMain::tmrMaximize_Timer()
{
    if (platform::userstore::GetSetting(AppName, OptionsSection, QStringLiteral("Maximize")) != QStringLiteral("1"))
        return;
    showMaximized();
    raise();
    activateWindow();
    platform::userstore::SaveSetting(AppName, OptionsSection, QStringLiteral("Maximize"), QStringLiteral("0"));
}

void frmMain::trmDeleteUpdateFiles_Timer()
{
    DeleteUpdateFiles();
    trmDeleteUpdateFiles->stop();
}

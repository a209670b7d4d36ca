#pragma once

#include <QMainWindow>
#include <QPointer>

#include <memory>

class QAction;
class QMdiSubWindow;
class frmAnalysis;
class clsSystray;
class frmScanNetwork;
class QMdiArea;
class QMenu;
class QTimer;

namespace platform::instance {
class SingleInstance;
}
namespace support {
class ProgramEndHook;
}

// The program's only top-level window: an MDI parent that hosts the scan and analysis windows,
// carries the menus and runs the start-up sequence. Closing it ends the program.
class frmMain : public QMainWindow {
    Q_OBJECT

public:
    // arguments: the command-line arguments after the program name.
    explicit frmMain(QStringList arguments, QWidget *parent = nullptr);
    ~frmMain() override;

    // Start-up: hands over to a running instance (and ends), or recognises the unattended
    // "-scan" start. Errors end the procedure quietly; the timers run on.
    void MDIForm_Load();

    // True when the whole command line, lower-cased, is exactly "-scan".
    static bool IsScanCommand(const QStringList &arguments);

    QMdiArea *mdiArea = nullptr;

    QMenu *mnuProgram = nullptr;
    QAction *mnuScanNetwork = nullptr;
    QAction *mnuViewAnalysis = nullptr;
    QAction *mnuSettings = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuHelpContents = nullptr;
    QAction *mnuUpdateService = nullptr;
    QAction *mnuInfo = nullptr;

    QTimer *tmrCheckUpdate = nullptr;
    QTimer *tmrMaximize = nullptr;
    QTimer *tmrLoadSplash = nullptr;
    QTimer *trmDeleteUpdateFiles = nullptr;

    // The scan window while it is open; empty before it is opened and once it is closed.
    frmScanNetwork *ScanNetwork() const;
    // The analysis window while it is open.
    frmAnalysis *Analysis() const;
    // True while a scan run is in progress, also in a scan window that was closed during it.
    bool ScanRunning() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateMenus();
    void CreateTimers();

    void OpenHomePage();
    void DeleteUpdateFiles();
    void MDIForm_Unload();
    void MDIForm_Resize();
    void BackOnScreen();
    // A mouse message over the notification-area icon (its number as the window messages have it).
    void picSystray_MouseMove(int mouseMessage);
    void RestoreFromSystray();
    void ShowQuickStart();

    void mnuScanNetwork_Click();
    void mnuViewAnalysis_Click();
    void mnuSettings_Click();
    void mnuUpdateService_Click();
    void mnuExit_Click();
    void mnuHelpContents_Click();
    void mnuInfo_Click();
    void AskForSettings();

    void tmrCheckUpdate_Timer();
    void tmrLoadSplash_Timer();
    void tmrMaximize_Timer();
    void trmDeleteUpdateFiles_Timer();

    std::unique_ptr<clsSystray> moSystray;
    QPointer<frmScanNetwork> moScanNetwork;
    QPointer<QMdiSubWindow> m_scanFrame;
    QPointer<frmAnalysis> moAnalysis;
    QPointer<QMdiSubWindow> m_analysisFrame;
    QStringList m_arguments;
    std::unique_ptr<platform::instance::SingleInstance> m_instance;
    std::unique_ptr<support::ProgramEndHook> m_releaseLock;
};

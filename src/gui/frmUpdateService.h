#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>

class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;
class frmMain;

namespace platform::winsock {
class Winsock;
}

// The update dialog: asks the update service which version is current and, with the user's
// consent, downloads the new product file and the updater into "Updates" below the program
// folder, checks both against the service's signatures, starts the updater and ends the program.
// The main window runs the check silently on a hidden instance at start-up; its menu shows the
// dialog, whose "&Check" button runs it.
class frmUpdateService : public QDialog {
    Q_OBJECT

public:
    // mainWindow: the window whose closing ends the program at the hand-over (none in tests).
    explicit frmUpdateService(frmMain *mainWindow = nullptr, QWidget *parent = nullptr);
    ~frmUpdateService() override;

    // silenceMode: no notice when the service does not answer or the program is up to date;
    // askForInstall: a newer version may be offered. Returns unless the update was handed over,
    // which ends the program; while a scan runs, it returns and the program ends after the scan.
    void CheckUpdate(bool silenceMode, bool askForInstall);

    QLabel *lblAnalysisTitle = nullptr;
    QGroupBox *fraStatus = nullptr;
    QLabel *lblChecking = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;
    QTimer *tmrAnimation = nullptr;
    platform::winsock::Winsock *webpageWinsock = nullptr;

    // Esc and the close box act as "&Cancel".
    void reject() override;

private:
    struct Reply;

    void RunCheck(bool silenceMode, bool askForInstall);
    void RequestReply();
    bool Answered() const;
    QString Tag(const char *name) const;
    bool ReplyComplete() const;
    void DownloadUpdate(const Reply &reply);
    static bool FilesTrusted(const Reply &reply, const QString &productFile, const QString &updaterFile);
    bool HandOver(const Reply &reply, const QString &productFile, const QString &updaterFile);
    void OpenWebPage(const QString &strURL);
    void CloseWinsock();

    void cmdOK_Click();
    void cmdCancel_Click();
    void tmrAnimation_Timer();
    void webpageWinsock_Connect();
    void webpageWinsock_DataArrival();
    void webpageWinsock_Error();

    QString m_reply;
    QString m_requestPath;
    int32_t m_animation = 0;
    bool m_checking = false;
    bool m_cancelled = false;
    frmMain *m_mainWindow;
};

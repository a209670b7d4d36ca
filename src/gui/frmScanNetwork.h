#pragma once

#include "scan/PassedOver.h"

#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;

namespace platform::database {
class DatabaseClaim;
}
namespace support {
class Error;
}

// The scan window: the root directories to scan, the depth, the three task boxes, and the scan
// run with its progress. It keeps its inputs in the settings file and rewrites the whole file
// after every start or stop and when it closes.
class frmScanNetwork : public QWidget {
    Q_OBJECT

public:
    explicit frmScanNetwork(QWidget *parent = nullptr);
    ~frmScanNetwork() override;

    // Unattended mode: at the end of a run the window closes and the program ends.
    bool AutoScan() const { return m_autoScan; }
    void setAutoScan(bool autoScan) { m_autoScan = autoScan; }

    // "&Start scanning" starts a run, "&Stop scanning" stops it; the settings are written after.
    void cmdStart_Click();
    void GetSettings();
    // Reads the inputs and the last scan date into the window's first state.
    void Form_Load();
    // True while a run that this window started is in progress (also after the window closed).
    bool Running() const { return m_runBusy; }

    QLabel *imgScan = nullptr;
    QLabel *lblScanNetwork = nullptr;
    QFrame *Line3 = nullptr;
    QFrame *Line4 = nullptr;
    QGroupBox *fraDirs = nullptr;
    QLabel *picDirs = nullptr;
    QLabel *lblDirlist = nullptr;
    QListWidget *lstDirs = nullptr;
    QLineEdit *txtDir = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QPushButton *cmdAdd = nullptr;
    QPushButton *cmdRemove = nullptr;
    QGroupBox *fraDetails = nullptr;
    QLabel *picDetails = nullptr;
    QLabel *lblScan1 = nullptr;
    QLineEdit *txtSubCount = nullptr;
    QLabel *lblScan2 = nullptr;
    QCheckBox *chkAll = nullptr;
    QGroupBox *fraScan = nullptr;
    QLabel *picScan = nullptr;
    QCheckBox *chkUsers = nullptr;
    QCheckBox *chkDirectories = nullptr;
    QCheckBox *chkPrograms = nullptr;
    QLabel *shpBlueCircle = nullptr;
    QGroupBox *fraProgress = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *lblProgress[5] = {};
    QLabel *lblProgressTitle = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *cmdStart = nullptr;
    QLabel *lblLastScanDate = nullptr;
    QTimer *tmrBeginScan = nullptr;

    // The subdirectories found by the last directory search.
    QStringList colDirs;
    // The program folder, with one trailing "/".
    QString AppPath;

    // The inner area at design.
    QSize sizeHint() const override;

signals:
    // The window was closed: it has written the settings and is gone for its owner, which must
    // not show it again. Inside an MDI frame it destroys itself with the frame once no run uses
    // it any more.
    void Unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct RunDisplay;
    enum class LabelState { Waiting, Running, Done };

    void CreateControls();
    void ResetToDesign();

    void cmdBrowse_Click();
    void cmdAdd_Click();
    void cmdRemove_Click();
    void RunScan();
    void RunTasks();
    void CancelScan();
    void Form_Unload();
    void tmrBeginScan_Timer();
    void WriteSettings();
    void chkAll_Click();
    void EnableControls(bool enable);
    void WriteScanLog(const QString &line);
    void WriteLogLine(const QString &outcome);
    void Form_Resize();

    // Steps of the run, each touching the window only while the run is still attached to it.
    // task gives the task's result: 1 when it finished, 0 when it failed or was cancelled.
    bool RunTask(int label, QCheckBox *marker, const std::function<int32_t()> &task, bool log);
    QStringList Roots() const;
    int32_t SearchRoots(RunDisplay &display);
    std::unique_ptr<platform::database::DatabaseClaim> ClaimDatabase(const QString &databasePath);
    void NotStarted(const support::Error &error);
    [[noreturn]] void EndUnattended(const QStringList &failures, const std::vector<PassedOver> &passedOver);
    void SetTitle(const QString &title);
    void SetLabelState(int index, LabelState state);
    void ShowMarker(QCheckBox *beside);
    void SetRunning(bool running);
    bool Stopped() const;
    int32_t Depth() const;
    void DestroyWhenIdle();

    bool m_autoScan = false;
    bool m_runBusy = false;
    bool m_cancelled = false;
    bool m_unloaded = false;
    RunDisplay *m_run = nullptr;
};

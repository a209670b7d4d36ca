#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The modal Settings dialog of the settings service frmSettings: the domain to scan, the results
// database, three start-up options and the schedule of the unattended scan. It is filled when it
// is made; OK writes the options to the settings file and registers or removes the scheduled
// scan, Cancel and the close box write nothing.
class frmSettingsDialog : public QDialog {
    Q_OBJECT

public:
    explicit frmSettingsDialog(QWidget *parent = nullptr);

    QGroupBox *fraDbase = nullptr;
    QLabel *lblDbasePath = nullptr;
    QLineEdit *txtDbasePath = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QGroupBox *fraDomain = nullptr;
    QComboBox *cmbDomain = nullptr;
    QGroupBox *Frame1 = nullptr;
    QCheckBox *chkScheduledScanning = nullptr;
    QRadioButton *optDaily = nullptr;
    QRadioButton *optWeekly = nullptr;
    std::array<QCheckBox *, 7> chkDayOfTheWeek = {};
    QRadioButton *optMonthly = nullptr;
    QLineEdit *txtMonthDay = nullptr;
    QLabel *lblTime = nullptr;
    QLineEdit *txtTime = nullptr;
    QCheckBox *chkTray = nullptr;
    QCheckBox *chkQuickStart = nullptr;
    QCheckBox *chkUpdates = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdCancel = nullptr;

private:
    void CreateControls();
    void cmdOK_Click();
    void ShowSettings();
    bool ApplySettings();
    void cmdBrowse_Click();
    void chkScheduledScanning_Click();
    // Refused: the schedule is invalid (said, and the dialog stays open); Failed: the job could
    // not be made (said too); Saved: the job is registered or removed.
    enum class TaskResult { Refused, Failed, Saved };
    TaskResult SaveScheduledTask(bool blnEnable);

    // The checks before anything is written: a program path that cron can carry, a time, and days
    // cron can run the scan on.
    bool ValidSchedule();
    QString SelectedDomain() const;
    QString ScheduleCode() const;
    QString DayList() const;
};

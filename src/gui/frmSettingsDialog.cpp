#include "gui/frmSettingsDialog.h"

#include "gui/Design.h"
#include "platform/directory/DirectoryService.h"
#include "platform/ini/IniFile.h"
#include "platform/shell/Shell.h"
#include "shell/frmSettings.h"
#include "shell/modNetScheduleJobs.h"
#include "support/Error.h"
#include "support/ProgramFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <functional>

using design::make;
using design::px;
using modNetScheduleJobs::WeekdayCodes;

namespace {

const QString ScheduleTag = QStringLiteral("schedule");
const QString ScheduleTitle = QStringLiteral("Scheduled scanning");

const std::array<const char *, 7> DayCaptions = {"Monday", "Thuesday", "Wednesday", "Thursday",
                                                 "Friday", "Saturday", "Sunday"};

// A stored flag: "1" ticks the box, "0" clears it; a value that is no such number leaves it.
void setCheckValue(QCheckBox *box, const QString &text)
{
    bool number = false;
    const double value = text.trimmed().toDouble(&number);
    if (number && (value == 0 || value == 1))
        box->setChecked(value == 1);
}

QString flag(const QCheckBox *box) { return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); }

// One step of filling the dialog: a failing step is skipped and the next one runs.
void step(const std::function<void()> &body)
{
    try {
        body();
    } catch (const support::Error &) {
    }
}

// Points the user at the box to correct: focus, and its whole text selected.
void selectForCorrection(QWidget *control)
{
    control->setFocus();
    if (auto *box = qobject_cast<QLineEdit *>(control))
        box->selectAll();
}

} // namespace

frmSettingsDialog::frmSettingsDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Settings"));
    CreateControls();
    ShowSettings();
}

void frmSettingsDialog::CreateControls()
{
    QFont arial(QStringLiteral("Arial"), 8);
    arial.setBold(false); // stated, so that the controls in a frame do not take its bold caption font
    setFont(arial);
    fraDbase = make<QGroupBox>(this, "fraDbase", "          Database", 120, 120, 6120, 1080);
    lblDbasePath = make<QLabel>(fraDbase, "lblDbasePath", "Output file for database:", 240, 300, 3615, 240);
    txtDbasePath = make<QLineEdit>(fraDbase, "txtDbasePath", "", 240, 600, 5280, 285);
    cmdBrowse = make<QPushButton>(fraDbase, "cmdBrowse", "...", 5640, 600, 315, 285);

    fraDomain = make<QGroupBox>(this, "fraDomain", "          Domain", 120, 1320, 6120, 780);
    cmbDomain = make<QComboBox>(fraDomain, "cmbDomain", "", 240, 330, 5715, 315);

    Frame1 = make<QGroupBox>(this, "Frame1", "          Scheduled scanning", 120, 2220, 6120, 3420);
    chkScheduledScanning = make<QCheckBox>(Frame1, "chkScheduledScanning", "Use scheduled scanning", 240, 330, 3615, 255);
    chkScheduledScanning->setChecked(true);
    optDaily = make<QRadioButton>(Frame1, "optDaily", "Every day", 480, 720, 2415, 255);
    optWeekly = make<QRadioButton>(Frame1, "optWeekly", "Day of the week", 480, 1050, 2415, 255);
    for (int i = 0; i < 7; ++i) {
        // Monday to Thursday in the first column, Friday to Sunday in the second.
        chkDayOfTheWeek[i] = make<QCheckBox>(Frame1, "chkDayOfTheWeek", DayCaptions[i], i < 4 ? 840 : 2880,
                                             1350 + (i % 4) * 270, 1815, 255);
        chkDayOfTheWeek[i]->setObjectName(QStringLiteral("chkDayOfTheWeek%1").arg(i));
    }
    optMonthly = make<QRadioButton>(Frame1, "optMonthly", "Day of the month (8,23)", 480, 2520, 2415, 255);
    txtMonthDay = make<QLineEdit>(Frame1, "txtMonthDay", "", 2940, 2505, 1575, 285);
    lblTime = make<QLabel>(Frame1, "lblTime", "Time (hh:mm)", 480, 2970, 1215, 240);
    txtTime = make<QLineEdit>(Frame1, "txtTime", "17:00", 1800, 2940, 975, 285);
    for (QWidget *control : std::initializer_list<QWidget *>{optDaily, optWeekly, optMonthly, txtMonthDay, txtTime, lblTime})
        control->setProperty("Tag", ScheduleTag);
    for (QCheckBox *day : chkDayOfTheWeek)
        day->setProperty("Tag", ScheduleTag);

    chkTray = make<QCheckBox>(this, "chkTray", "Minimize in tray", 240, 5760, 4815, 255);
    chkQuickStart = make<QCheckBox>(this, "chkQuickStart", "Show quickstart window on startup", 240, 6060, 4815, 255);
    chkUpdates = make<QCheckBox>(this, "chkUpdates", "Check for updates on startup", 240, 6360, 4815, 255);
    cmdOK = make<QPushButton>(this, "cmdOK", "&OK", 3720, 6840, 1215, 375);
    cmdCancel = make<QPushButton>(this, "cmdCancel", "&Cancel", 5025, 6840, 1215, 375);
    cmdOK->setDefault(true);
    setFixedSize(px(6360), px(7335));

    design::boldenCaptions({fraDbase, fraDomain, Frame1}, arial);
    // The domain list has no label but its frame's caption.
    design::nameAfter(txtDbasePath, lblDbasePath);
    design::nameAfter(cmbDomain, fraDomain);
    design::nameAfter(txtMonthDay, optMonthly);
    design::nameAfter(txtTime, lblTime);

    connect(cmdOK, &QPushButton::clicked, this, &frmSettingsDialog::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmSettingsDialog::cmdBrowse_Click);
    connect(chkScheduledScanning, &QCheckBox::toggled, this, &frmSettingsDialog::chkScheduledScanning_Click);
}

void frmSettingsDialog::cmdOK_Click()
{
    if (ApplySettings())
        accept();
}

void frmSettingsDialog::ShowSettings()
{
    frmSettings &settings = frmSettings::Instance();
    step([&] {
        for (const QString &domain : platform::directory::Current().Domains())
            cmbDomain->addItem(domain, domain);
    });
    // The notice carries no domain: confirming it stores none.
    if (cmbDomain->count() == 0)
        cmbDomain->addItem(QStringLiteral("No domains found"), QString());
    step([&] { txtDbasePath->setText(settings.GetDatabasePath()); });
    step([&] { cmbDomain->setCurrentIndex(cmbDomain->findText(settings.GetDomain(), Qt::MatchFixedString)); });
    step([&] {
        setCheckValue(chkTray, settings.GetMinimizeToTray());
        setCheckValue(chkQuickStart, settings.GetShowQuickStart());
        setCheckValue(chkUpdates, settings.GetCheckForUpdates());
    });
    step([&] { txtTime->setText(settings.GetScheduledTime()); });
    step([&] {
        const QString schedule = settings.GetScheduledScan();
        switch (schedule.isEmpty() ? u'\0' : schedule.front().unicode()) {
        case u'0':
            chkScheduledScanning->setChecked(false);
            break;
        case u'1':
            optDaily->setChecked(true);
            break;
        case u'2':
            optWeekly->setChecked(true);
            for (int i = 0; i < 7; ++i)
                chkDayOfTheWeek[i]->setChecked(schedule.contains(u',' + WeekdayCodes[i] + u','));
            break;
        case u'3':
            optMonthly->setChecked(true);
            txtMonthDay->setText(schedule.mid(2));
            break;
        default:
            break;
        }
    });
}

QString frmSettingsDialog::SelectedDomain() const
{
    const int index = cmbDomain->currentIndex() >= 0 ? cmbDomain->currentIndex() : 0;
    return cmbDomain->itemData(index).toString();
}

QString frmSettingsDialog::ScheduleCode() const
{
    if (!chkScheduledScanning->isChecked())
        return QStringLiteral("0");
    if (optDaily->isChecked())
        return QStringLiteral("1|");
    if (optWeekly->isChecked()) {
        QString code = QStringLiteral("2|");
        for (int i = 0; i < 7; ++i) {
            if (chkDayOfTheWeek[i]->isChecked())
                code += u',' + WeekdayCodes[i] + u',';
        }
        return code;
    }
    if (optMonthly->isChecked())
        return QStringLiteral("3|") + txtMonthDay->text();
    return {};
}

// The settings are written only once the time and the days are valid, and the schedule only once
// the crontab holds it: the file never claims a schedule that the dialog refused or the crontab
// lacks. A crontab that cannot be changed is reported by its own message, and the dialog closes
// as after any confirmation.
bool frmSettingsDialog::ApplySettings()
{
    const TaskResult task = SaveScheduledTask(chkScheduledScanning->isChecked());
    if (task == TaskResult::Refused)
        return false;
    const QString file = frmSettings::Instance().SettingsFile();
    bool saved = true;
    const auto write = [&file, &saved](const char *key, const QString &value) {
        saved = platform::ini::WriteValue(QStringLiteral("Options"), QString::fromLatin1(key), value, file) && saved;
    };
    write("DatabasePath", txtDbasePath->text());
    write("Domain", SelectedDomain());
    write("MinimizeToTray", flag(chkTray));
    write("ShowQuickStart", flag(chkQuickStart));
    write("CheckForUpdates", flag(chkUpdates));
    if (task == TaskResult::Saved) {
        write("ScheduledScan", ScheduleCode());
        write("ScheduledTime", txtTime->text());
    }
    // A settings file that could not be written (a full disk, a read-only file) keeps what it held;
    // the dialog stays open with the choices, so that OK can be pressed again or the dialog cancelled.
    if (!saved)
        platform::shell::MsgBox(QStringLiteral("The settings could not be saved in %1.").arg(file), platform::shell::vbExclamation);
    return saved;
}

// A cancelled dialog leaves the path as it was.
void frmSettingsDialog::cmdBrowse_Click()
{
    platform::shell::FileDialog dialog;
    dialog.kind = platform::shell::FileDialog::Open;
    dialog.title = QStringLiteral("Open");
    dialog.filter = QStringLiteral("Quillmere results database (SQLite) (*.mdb)|*.mdb");
    dialog.fileName = txtDbasePath->text();
    if (const auto file = platform::shell::Current().GetFileName(dialog))
        txtDbasePath->setText(*file);
}

void frmSettingsDialog::chkScheduledScanning_Click()
{
    const bool enable = chkScheduledScanning->isChecked();
    for (QWidget *control : findChildren<QWidget *>()) {
        if (control->property("Tag").toString() == ScheduleTag)
            control->setEnabled(enable);
    }
}

bool frmSettingsDialog::ValidSchedule()
{
    const auto refuse = [](const QString &message, QWidget *control) {
        platform::shell::MsgBox(message, platform::shell::vbExclamation, ScheduleTitle);
        if (control)
            selectForCorrection(control);
        return false;
    };
    if (!platform::scheduler::CronCanCarry(modNetScheduleJobs::ScanCommandLine(support::ProgramFile())))
        return refuse(QStringLiteral("Cron cannot start the program from this folder: its path is too long or has a line "
                                     "break in it."),
                      nullptr);
    if (!modNetScheduleJobs::ReadTime(txtTime->text()))
        return refuse(QStringLiteral("Please enter a valid time."), txtTime);
    if (optMonthly->isChecked() && !modNetScheduleJobs::ValidMonthDays(txtMonthDay->text()))
        return refuse(QStringLiteral("Please enter the days of the month as numbers from 1 to 31, separated by commas."),
                      txtMonthDay);
    // Cron has no single run: a schedule without a day would run every day.
    const bool anyWeekday = std::any_of(chkDayOfTheWeek.begin(), chkDayOfTheWeek.end(),
                                        [](const QCheckBox *day) { return day->isChecked(); });
    if (optWeekly->isChecked() && !anyWeekday)
        return refuse(QStringLiteral("Please tick the days of the week on which to scan."), chkDayOfTheWeek[0]);
    if (!optDaily->isChecked() && !optWeekly->isChecked() && !optMonthly->isChecked())
        return refuse(QStringLiteral("Please choose the days on which to scan."), optDaily);
    return true;
}

// The days as the job takes them: every weekday code, the ticked ones (each after a comma but
// Monday), or the days of the month as typed.
QString frmSettingsDialog::DayList() const
{
    if (optDaily->isChecked())
        return QStringList(WeekdayCodes.begin(), WeekdayCodes.end()).join(u',');
    if (optWeekly->isChecked()) {
        QString days;
        for (int i = 0; i < 7; ++i) {
            if (chkDayOfTheWeek[i]->isChecked())
                days += (i == 0 ? QString() : QStringLiteral(",")) + WeekdayCodes[i];
        }
        return days;
    }
    if (optMonthly->isChecked())
        return txtMonthDay->text();
    return {};
}

frmSettingsDialog::TaskResult frmSettingsDialog::SaveScheduledTask(bool blnEnable)
{
    if (blnEnable && !ValidSchedule())
        return TaskResult::Refused;
    const bool saved = modNetScheduleJobs::AddScheduledJob(
        txtTime->text(), DayList(), modNetScheduleJobs::ScanCommandLine(support::ProgramFile()), blnEnable);
    return saved ? TaskResult::Saved : TaskResult::Failed;
}

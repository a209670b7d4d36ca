#include "common/MemoryDirectory.h"
#include "common/TestSupport.h"
#include "gui/frmSettingsDialog.h"
#include "platform/directory/NssDirectory.h"
#include "platform/scheduler/Crontab.h"
#include "shell/frmSettings.h"
#include "shell/modNetScheduleJobs.h"
#include "support/ProgramFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

using testing_support::ScriptedShell;
using testing_support::TempProgramFolder;

namespace {

// The crontab this test's program folder points at.
QByteArray crontab() { return platform::scheduler::ReadCrontab().value_or(QByteArray()); }

QList<QWidget *> scheduleGroup(const frmSettingsDialog &dialog)
{
    QList<QWidget *> group{dialog.optDaily, dialog.optWeekly, dialog.optMonthly, dialog.txtMonthDay, dialog.txtTime,
                           dialog.lblTime};
    for (QCheckBox *day : dialog.chkDayOfTheWeek)
        group << day;
    return group;
}

QStringList tickedDays(const frmSettingsDialog &dialog)
{
    QStringList days;
    for (QCheckBox *day : dialog.chkDayOfTheWeek) {
        if (day->isChecked())
            days << day->text();
    }
    return days;
}

} // namespace

TEST(frmSettingsDialog, TheFirstRunShowsTheDefaultsWithSchedulingOff)
{
    TempProgramFolder folder;
    frmSettingsDialog dialog;
    EXPECT_EQ(tickedDays(dialog), QStringList{});
    for (QCheckBox *day : dialog.chkDayOfTheWeek)
        day->setChecked(true);
    EXPECT_EQ(tickedDays(dialog),
              (QStringList{"Monday", "Thuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"}));

    EXPECT_EQ(dialog.txtDbasePath->text(), folder.Path() + "NetworkInfo.mdb");
    EXPECT_EQ(dialog.cmbDomain->currentText(), platform::directory::NssDirectory::HostShortName());
    EXPECT_TRUE(dialog.chkQuickStart->isChecked());
    EXPECT_FALSE(dialog.chkTray->isChecked());
    EXPECT_FALSE(dialog.chkUpdates->isChecked());
    EXPECT_EQ(dialog.txtTime->text(), "");
    EXPECT_FALSE(dialog.chkScheduledScanning->isChecked());
    for (QWidget *control : scheduleGroup(dialog))
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    dialog.chkScheduledScanning->setChecked(true);
    for (QWidget *control : scheduleGroup(dialog))
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_FALSE(dialog.optDaily->isChecked() || dialog.optWeekly->isChecked() || dialog.optMonthly->isChecked());
}

TEST(frmSettingsDialog, StoredValuesAreShownAsTheyRead)
{
    TempProgramFolder folder;
    const struct {
        const char *schedule;
        QRadioButton *frmSettingsDialog::*option;
        QStringList days;
        const char *monthDays;
    } cases[] = {
        {"2|,M,,W,", &frmSettingsDialog::optWeekly, {"Monday", "Wednesday"}, ""},
        {"2|,TH,,SU,", &frmSettingsDialog::optWeekly, {"Thursday", "Sunday"}, ""},
        {"3|8, 23", &frmSettingsDialog::optMonthly, {}, "8, 23"},
        {"", nullptr, {}, ""},
    };
    for (const auto &c : cases) {
        folder.Write("Quillmere.ini", QByteArray("[Options]\nScheduledScan=") + c.schedule
                                          + "\nScheduledTime=6:30 PM\nMinimizeToTray=1\nShowQuickStart=abc\n");
        frmSettingsDialog dialog;
        EXPECT_TRUE(dialog.chkScheduledScanning->isChecked()) << c.schedule;
        for (QRadioButton *option : {dialog.optDaily, dialog.optWeekly, dialog.optMonthly})
            EXPECT_EQ(option->isChecked(), c.option && option == dialog.*c.option) << c.schedule;
        EXPECT_EQ(tickedDays(dialog), c.days) << c.schedule;
        EXPECT_EQ(dialog.txtMonthDay->text(), c.monthDays);
        EXPECT_EQ(dialog.txtTime->text(), "6:30 PM");
        EXPECT_TRUE(dialog.chkTray->isChecked());
        EXPECT_FALSE(dialog.chkQuickStart->isChecked()) << "no number: the box stays as made";
    }
}

TEST(frmSettingsDialog, OkWritesTheSevenKeysAndRegistersTheScan)
{
    TempProgramFolder folder;
    testing_support::MemoryDirectory directory;
    directory.AddDomain("SALES");
    directory.AddDomain("STAFF");
    ScriptedShell shell;
    const QByteArray line = "0 17 * * 2,5 '" + support::ProgramFile().toUtf8() + "' -scan # Quillmere job 1\n";
    {
        frmSettingsDialog dialog;
        EXPECT_EQ(dialog.cmbDomain->count(), 2);
        dialog.cmbDomain->setCurrentIndex(-1);
        dialog.txtDbasePath->setText("/srv/results.mdb");
        dialog.chkUpdates->setChecked(true);
        dialog.chkScheduledScanning->setChecked(true);
        dialog.optWeekly->setChecked(true);
        dialog.chkDayOfTheWeek[1]->setChecked(true);
        dialog.chkDayOfTheWeek[4]->setChecked(true);
        dialog.txtTime->setText("5:00 PM");
        dialog.cmdOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(folder.Read("Quillmere.ini"), "[Options]\nDatabasePath=/srv/results.mdb\nDomain=SALES\nMinimizeToTray=0\n"
                                            "ShowQuickStart=1\nCheckForUpdates=1\nScheduledScan=2|,T,,F,\n"
                                            "ScheduledTime=5:00 PM\n");
    EXPECT_EQ(crontab(), line);

    // Switched off: the job goes, and nothing is said.
    frmSettingsDialog dialog;
    EXPECT_EQ(dialog.cmbDomain->currentText(), "SALES");
    dialog.chkScheduledScanning->setChecked(false);
    dialog.cmdOK->click();
    EXPECT_EQ(crontab(), "");
    EXPECT_EQ(frmSettings::Instance().GetScheduledScan(), "0");
    EXPECT_EQ(frmSettings::Instance().GetScheduledTime(), "5:00 PM");
    EXPECT_TRUE(shell.prompts.empty());
}

TEST(frmSettingsDialog, ASchedulePastCronIsRefusedWithNothingWritten)
{
    TempProgramFolder folder;
    const struct {
        const char *time;
        QRadioButton *frmSettingsDialog::*option;
        const char *monthDays;
        const char *message;
        const char *selected;
    } cases[] = {
        {"25:00", &frmSettingsDialog::optDaily, "", "Please enter a valid time.", "25:00"},
        {"", &frmSettingsDialog::optDaily, "", "Please enter a valid time.", ""},
        {"17:00", &frmSettingsDialog::optMonthly, "8,,23", "Please enter the days of the month", "8,,23"},
        {"17:00", &frmSettingsDialog::optWeekly, "", "Please tick the days of the week", nullptr},
        {"17:00", nullptr, "", "Please choose the days", nullptr},
    };
    for (const auto &c : cases) {
        ScriptedShell shell;
        frmSettingsDialog dialog;
        dialog.chkScheduledScanning->setChecked(true);
        if (c.option)
            (dialog.*c.option)->setChecked(true);
        dialog.txtMonthDay->setText(c.monthDays);
        dialog.txtTime->setText(c.time);
        dialog.cmdOK->click();
        ASSERT_EQ(shell.prompts.size(), 1u) << c.time << c.monthDays;
        EXPECT_TRUE(shell.prompts[0].text.startsWith(c.message)) << shell.prompts[0].text.toStdString();
        EXPECT_EQ(shell.prompts[0].title, "Scheduled scanning");
        EXPECT_EQ(shell.prompts[0].style, platform::shell::vbExclamation);
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        if (c.selected) {
            QLineEdit *box = c.option == &frmSettingsDialog::optMonthly ? dialog.txtMonthDay : dialog.txtTime;
            EXPECT_EQ(box->selectedText(), c.selected);
        }
        EXPECT_FALSE(QFile::exists(folder.File("Quillmere.ini")));
        EXPECT_FALSE(QFile::exists(folder.CrontabFile()));
    }
    // A program whose path no crontab line can carry.
    TempProgramFolder broken("two\nlines");
    ScriptedShell shell;
    frmSettingsDialog dialog;
    dialog.chkScheduledScanning->setChecked(true);
    dialog.optDaily->setChecked(true);
    dialog.txtTime->setText("17:00");
    dialog.cmdOK->click();
    ASSERT_EQ(shell.prompts.size(), 1u);
    EXPECT_TRUE(shell.prompts[0].text.startsWith("Cron cannot start the program")) << shell.prompts[0].text.toStdString();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(QFile::exists(broken.File("Quillmere.ini")));
    EXPECT_FALSE(QFile::exists(broken.CrontabFile()));
}

TEST(frmSettingsDialog, CancelWritesNothingAndACancelledFileDialogKeepsThePath)
{
    TempProgramFolder folder;
    folder.Write("Quillmere.ini", "[Options]\nDatabasePath=/srv/a.mdb\nScheduledScan=1|\nScheduledTime=17:00\n");
    ScriptedShell shell;
    shell.files = {"/srv/b.mdb", ""};
    frmSettingsDialog dialog;
    dialog.cmdBrowse->click();
    EXPECT_EQ(dialog.txtDbasePath->text(), "/srv/b.mdb");
    dialog.cmdBrowse->click();
    EXPECT_EQ(dialog.txtDbasePath->text(), "/srv/b.mdb");
    ASSERT_EQ(shell.fileDialogs.size(), 2u);
    EXPECT_EQ(shell.fileDialogs[0].kind, platform::shell::FileDialog::Open);
    EXPECT_EQ(shell.fileDialogs[0].fileName, "/srv/a.mdb");
    EXPECT_TRUE(shell.fileDialogs[0].filter.endsWith("|*.mdb"));

    dialog.chkScheduledScanning->setChecked(false);
    dialog.cmdCancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(folder.Read("Quillmere.ini"), "[Options]\nDatabasePath=/srv/a.mdb\nScheduledScan=1|\nScheduledTime=17:00\n");
    EXPECT_FALSE(QFile::exists(folder.CrontabFile()));
}

TEST(frmSettingsDialog, WithoutDomainsTheNoticeIsShownButNeverStored)
{
    TempProgramFolder folder;
    testing_support::MemoryDirectory none;
    frmSettingsDialog dialog;
    ASSERT_EQ(dialog.cmbDomain->count(), 1);
    dialog.cmbDomain->setCurrentIndex(0);
    EXPECT_EQ(dialog.cmbDomain->currentText(), "No domains found");
    dialog.cmdOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(folder.Read("Quillmere.ini").contains("\nDomain=\n"));
}

// The line a confirmed dialog registers, run as cron runs it, performs one unattended scan. The
// program folder's name holds what a careless command line would let cron or the shell change.
TEST(frmSettingsDialog, TheRegisteredLineRunsOneUnattendedScan)
{
    TempProgramFolder folder("quill 100% bs\\%x a\\\\b $HOME `false` 'x'");
    folder.InstallProgram(QFileInfo(support::ProgramFile()).fileName());
    folder.InstallDatabase();
    folder.Write("Quillmere.ini", "[Options]\nScanUsers=1\nScanDirectories=0\nScanPrograms=0\n");
    {
        frmSettingsDialog dialog;
        dialog.chkScheduledScanning->setChecked(true);
        dialog.optDaily->setChecked(true);
        dialog.txtTime->setText("03:15");
        dialog.cmdOK->click();
    }
    const QString line = QString::fromUtf8(crontab()).trimmed();
    ASSERT_TRUE(line.startsWith("15 3 * * * ")) << line.toStdString();

    QProcessEnvironment cron;
    cron.insert("HOME", folder.ConfigHome());
    cron.insert("PATH", "/usr/bin:/bin");
    QProcess shell;
    shell.setProcessEnvironment(cron);
    EXPECT_EQ(testing_support::CronCommand(line), modNetScheduleJobs::ScanCommandLine(support::ProgramFile())
                                                      + " # Quillmere job 1");
    shell.start("/bin/sh", {"-c", testing_support::CronCommand(line)});
    ASSERT_TRUE(shell.waitForFinished(120000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    const QByteArray log = folder.Read("ScanLog.log");
    EXPECT_TRUE(log.contains("  -  Users and groups scanned successfully.\r\n")) << log.toStdString();
    EXPECT_TRUE(log.contains("  -  Scan finished successfully.\r\n"));
}

// The settings never claim a schedule that the crontab does not hold: when the job cannot be
// made, the stored schedule stays and only the other options are written.
TEST(frmSettingsDialog, AFailedRegistrationKeepsTheStoredSchedule)
{
    TempProgramFolder folder;
    ScriptedShell shell;
    folder.Write("Quillmere.ini", "[Options]\nScheduledScan=0\nScheduledTime=6:00\n");
    QDir().mkpath(folder.CrontabFile()); // a directory cannot be read as a crontab
    frmSettingsDialog dialog;
    dialog.chkTray->setChecked(true);
    dialog.chkScheduledScanning->setChecked(true);
    dialog.optDaily->setChecked(true);
    dialog.txtTime->setText("17:00");
    dialog.cmdOK->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(shell.prompts.size(), 1u);
    EXPECT_EQ(shell.prompts[0].text, "Error while making the scheduled task.");
    EXPECT_EQ(frmSettings::Instance().GetScheduledScan(), "0");
    EXPECT_EQ(frmSettings::Instance().GetScheduledTime(), "6:00");
    EXPECT_EQ(frmSettings::Instance().GetMinimizeToTray(), "1");

    // Settings that cannot be written are not confirmed as saved: the dialog stays open.
    QFile::setPermissions(folder.File("Quillmere.ini"), QFile::ReadOwner);
    frmSettingsDialog again;
    again.chkTray->setChecked(false);
    again.cmdOK->click();
    EXPECT_NE(again.result(), QDialog::Accepted);
    ASSERT_EQ(shell.prompts.size(), 2u);
    EXPECT_EQ(shell.prompts[1].text, "The settings could not be saved in " + folder.File("Quillmere.ini") + ".");
    EXPECT_EQ(frmSettings::Instance().GetMinimizeToTray(), "1");
}

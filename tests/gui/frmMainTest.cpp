#include "common/ModalAnswerer.h"
#include "common/TestSupport.h"
#include "gui/LinkLabel.h"
#include "gui/frmAnalysis.h"
#include "gui/frmDownloader.h"
#include "gui/frmInfo.h"
#include "gui/frmMain.h"
#include "gui/frmQuickStart.h"
#include "gui/frmScanNetwork.h"
#include "gui/frmSelect.h"
#include "gui/frmSettingsDialog.h"
#include "gui/frmSplash.h"
#include "gui/frmUpdateService.h"
#include "platform/shell/widgets/WidgetShell.h"
#include "platform/userstore/UserStore.h"
#include "shell/frmSettings.h"
#include "support/ProgramEnd.h"

#include <QAccessible>
#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using testing_support::TempProgramFolder;

namespace {

QString maximizeValue() { return platform::userstore::GetSetting("Quillmere", "Options", "Maximize"); }

struct Ended {};

std::vector<std::unique_ptr<QWidget>> everyWindow()
{
    std::vector<std::unique_ptr<QWidget>> windows;
    windows.push_back(std::make_unique<frmSettingsDialog>());
    windows.push_back(std::make_unique<frmScanNetwork>());
    windows.push_back(std::make_unique<frmAnalysis>());
    windows.push_back(std::make_unique<frmSelect>());
    windows.push_back(std::make_unique<frmQuickStart>());
    windows.push_back(std::make_unique<frmSplash>());
    windows.push_back(std::make_unique<frmInfo>());
    windows.push_back(std::make_unique<frmDownloader>());
    windows.push_back(std::make_unique<frmUpdateService>());
    return windows;
}

// Where a frame's caption shows its words (past its leading blanks), in window coordinates.
QRect captionWords(const QGroupBox *frame, const QWidget *window)
{
    QStyleOptionGroupBox option;
    option.initFrom(frame);
    option.text = frame->title();
    option.textAlignment = frame->alignment();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    const QRect label = frame->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
    const QString words = frame->title().trimmed();
    const int blanks = option.fontMetrics.horizontalAdvance(frame->title().left(frame->title().indexOf(words)));
    const QRect shown(label.left() + blanks, label.top(), option.fontMetrics.horizontalAdvance(words), label.height());
    return shown.translated(frame->mapTo(window, QPoint()));
}

QString labelWords(const QWidget *label)
{
    QString text;
    if (auto *caption = qobject_cast<const QLabel *>(label))
        text = caption->text();
    else if (auto *button = qobject_cast<const QAbstractButton *>(label))
        text = button->text();
    else if (auto *frame = qobject_cast<const QGroupBox *>(label))
        text = frame->title();
    return text.remove(u'&').trimmed();
}

} // namespace

TEST(frmMain, MenusCarryTheirCaptionsAndShortcutsAndAreAllEnabled)
{
    TempProgramFolder folder;
    frmMain window({});
    EXPECT_EQ(window.windowTitle(), "Quill Mere");
    EXPECT_FALSE(window.windowIcon().isNull());
    const struct {
        QAction *action;
        const char *caption;
        QKeySequence shortcut;
    } items[] = {
        {window.mnuScanNetwork, "&Scan network", QKeySequence(Qt::Key_F2)},
        {window.mnuViewAnalysis, "&View analyses", QKeySequence(Qt::Key_F3)},
        {window.mnuSettings, "&Settings", QKeySequence(Qt::Key_F4)},
        {window.mnuExit, "&Exit", QKeySequence()},
        {window.mnuHelpContents, "&Help on the site", QKeySequence(Qt::Key_F1)},
        {window.mnuUpdateService, "&Updating service", QKeySequence()},
        {window.mnuInfo, "&Info", QKeySequence()},
    };
    for (const auto &item : items) {
        EXPECT_EQ(item.action->text(), item.caption);
        EXPECT_EQ(item.action->shortcut(), item.shortcut) << item.caption;
        EXPECT_TRUE(item.action->isEnabled()) << item.caption;
    }
    EXPECT_EQ(window.mnuProgram->title(), "&Program");
    EXPECT_EQ(window.mnuHelp->title(), "&Help");
    // Separators sit between the groups of both menus.
    QStringList program, help;
    for (QAction *a : window.mnuProgram->actions())
        program << (a->isSeparator() ? "-" : a->text());
    for (QAction *a : window.mnuHelp->actions())
        help << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(program, (QStringList{"&Scan network", "&View analyses", "-", "&Settings", "-", "&Exit"}));
    EXPECT_EQ(help, (QStringList{"&Help on the site", "&Updating service", "-", "&Info"}));

    // "&Scan network" twice: one window, in front.
    window.show();
    window.mnuScanNetwork->trigger();
    frmScanNetwork *scan = window.ScanNetwork();
    ASSERT_NE(scan, nullptr);
    window.mnuScanNetwork->trigger();
    EXPECT_EQ(window.ScanNetwork(), scan);
    EXPECT_EQ(window.mdiArea->subWindowList().size(), 1);
    EXPECT_EQ(window.mdiArea->activeSubWindow()->widget(), scan);
    EXPECT_EQ(scan->windowTitle(), "Scan network");

    testing_support::ScriptedShell shell;
    window.mnuHelpContents->trigger();
    ASSERT_EQ(shell.opened.size(), 1);
    EXPECT_TRUE(shell.opened.first().startsWith("https://"));
}

namespace {
// The main window closed as "&Exit" closes it, with the end of the program caught.
struct ExitableMain : frmMain {
    using frmMain::frmMain;
    void Exit()
    {
        QCloseEvent close;
        EXPECT_THROW(closeEvent(&close), Ended);
    }
};
} // namespace

TEST(frmMain, ExitUnloadsOnlyOpenChildWindowsAndAClosedOneIsGone)
{
    TempProgramFolder folder;
    ExitableMain window(QStringList{});
    support::SetProgramTerminator([](int) { throw Ended{}; });
    window.mnuScanNetwork->trigger();
    window.ScanNetwork()->txtSubCount->setText("6");
    window.Exit();
    EXPECT_TRUE(folder.Read("Quillmere.ini").contains("\nSubdirectoryCount=6\n")) << "the open window was unloaded";
    EXPECT_EQ(window.ScanNetwork(), nullptr);

    folder.Write("Quillmere.ini", "[Options]\nSubdirectoryCount=5\n"); // by hand, after the close
    window.Exit();
    support::SetProgramTerminator(nullptr);
    EXPECT_EQ(folder.Read("Quillmere.ini"), "[Options]\nSubdirectoryCount=5\n") << "the closed one is not unloaded again";

    EXPECT_TRUE(testing_support::RunUntil([&] { return window.mdiArea->subWindowList().isEmpty(); }, 2000))
        << "destroyed with its frame";
    window.mnuScanNetwork->trigger();
    EXPECT_EQ(window.ScanNetwork()->txtSubCount->text(), "5") << "a new window, loaded from the file";
}

TEST(frmMain, OneShotTimersSwitchThemselvesOffAndThePollRunsOn)
{
    TempProgramFolder folder;
    folder.Write("Quillmere.ini", "[Options]\nShowQuickStart=0\n");
    testing_support::ModalAnswerer answerer;
    answerer.answers["frmSplash"] = [](QWidget *splash) { static_cast<frmSplash *>(splash)->tmrUnload->setInterval(1); };
    answerer.answers["frmSettingsDialog"] = [](QWidget *dialog) { static_cast<frmSettingsDialog *>(dialog)->reject(); };
    frmMain window({});
    EXPECT_EQ(window.tmrCheckUpdate->interval(), 50);
    EXPECT_EQ(window.tmrMaximize->interval(), 500);
    EXPECT_EQ(window.tmrLoadSplash->interval(), 1000);
    EXPECT_EQ(window.trmDeleteUpdateFiles->interval(), 6000);
    for (QTimer *timer : {window.tmrCheckUpdate, window.tmrMaximize, window.tmrLoadSplash, window.trmDeleteUpdateFiles})
        EXPECT_TRUE(timer->isActive());

    EXPECT_TRUE(testing_support::RunUntil([&] { return !window.tmrCheckUpdate->isActive() && !window.tmrLoadSplash->isActive(); }, 3000));
    EXPECT_TRUE(window.tmrMaximize->isActive());
    EXPECT_TRUE(window.trmDeleteUpdateFiles->isActive());
}

TEST(frmMain, TheStartUpSequenceShowsItsWindowsInOrderAndOpensWhatTheQuickStartPageChose)
{
    TempProgramFolder folder;
    testing_support::ModalAnswerer answerer;
    answerer.answers["frmSplash"] = [](QWidget *splash) { static_cast<frmSplash *>(splash)->tmrUnload->setInterval(1); };
    frmMain window({});
    answerer.answers["frmSettingsDialog"] = [&window](QWidget *dialog) {
        EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
        static_cast<frmSettingsDialog *>(dialog)->reject();
    };
    answerer.answers["frmQuickStart"] = [](QWidget *widget) {
        auto *page = static_cast<frmQuickStart *>(widget);
        page->chkShowOnStartup->setChecked(false);
        emit page->lblAnalysisTitle->clicked();
    };
    window.tmrLoadSplash->setInterval(1);
    window.show();
    ASSERT_TRUE(testing_support::RunUntil([&] { return window.Analysis() != nullptr; }, 5000)) << qPrintable(answerer.shown.join(", "));
    EXPECT_EQ(answerer.shown, (QStringList{"frmSplash", "frmSettingsDialog", "frmQuickStart"}));
    EXPECT_EQ(frmSettings::Instance().GetShowQuickStart(), "0");
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(platform::userstore::GetSetting("Quillmere", "Options", "AskForSettings"), "1") << "also when cancelled";

    // Next time, with the box unticked: only the splash.
    const auto startAgain = [&] {
        answerer.shown.clear();
        frmMain next({});
        next.tmrLoadSplash->setInterval(1);
        EXPECT_TRUE(testing_support::RunUntil([&] { return !next.tmrLoadSplash->isActive(); }, 5000));
        EXPECT_TRUE(next.mdiArea->subWindowList().isEmpty());
    };
    startAgain();
    EXPECT_EQ(answerer.shown, QStringList{"frmSplash"});

    // Esc on the page opens nothing and writes the box back as it was.
    frmSettings::Instance().SetShowQuickStart(1);
    answerer.answers["frmQuickStart"] = [](QWidget *page) { QTest::keyClick(page, Qt::Key_Escape); };
    startAgain();
    EXPECT_EQ(answerer.shown, (QStringList{"frmSplash", "frmQuickStart"}));
    EXPECT_EQ(frmSettings::Instance().GetShowQuickStart(), "1");
}

namespace {
// Another top-level window of the program's, as the notification-area icon is one.
struct IconWindow : QWidget {
    int presses = 0;
    void mousePressEvent(QMouseEvent *) override { ++presses; }
};
} // namespace

// F4 before the splash: the start-up sequence waits until that Settings dialog is closed. Once
// confirmed, it stands for the first run's Settings, which the sequence then does not open; a
// cancelled one does not, and the first run's follows it.
TEST(frmMain, TheStartUpSequenceOpensNoSecondSettingsDialogOverOneFromTheMenu)
{
    for (const bool confirmed : {true, false}) {
        TempProgramFolder folder;
        testing_support::ModalAnswerer answerer;
        answerer.answers["frmSplash"] = [](QWidget *splash) { static_cast<frmSplash *>(splash)->tmrUnload->setInterval(1); };
        answerer.answers["frmQuickStart"] = [](QWidget *page) { static_cast<QDialog *>(page)->reject(); };
        answerer.answers["frmSettingsDialog"] = [&answerer, confirmed](QWidget *widget) {
            auto *dialog = static_cast<frmSettingsDialog *>(widget);
            if (dialog->property("answered").toBool())
                return;
            dialog->setProperty("answered", true);
            dialog->chkQuickStart->setChecked(false);
            // Answered once the sequence has had its chance to open another one.
            QTimer::singleShot(500, dialog, [dialog, confirmed] { confirmed ? dialog->cmdOK->click() : dialog->reject(); });
        };
        frmMain window({});
        window.tmrLoadSplash->setInterval(100);
        window.show();
        QTimer::singleShot(0, window.mnuSettings, &QAction::trigger);
        ASSERT_TRUE(testing_support::RunUntil([&] { return !window.tmrLoadSplash->isActive() && !QApplication::activeModalWidget(); }, 5000));
        const QStringList firstRun = confirmed ? QStringList{} : QStringList{"frmSettingsDialog", "frmQuickStart"};
        EXPECT_EQ(answerer.shown, QStringList({"frmSettingsDialog", "frmSplash"}) + firstRun) << confirmed;
        EXPECT_EQ(frmSettings::Instance().GetShowQuickStart(), confirmed ? "0" : "1");
    }
}

// A window waiting behind the icon comes back only if the click on the icon is let through, also
// while the start-up sequence, a menu or a step's message box holds a dialog open.
TEST(frmMain, ItsDialogsLeaveTheNotificationAreaIconClickable)
{
    TempProgramFolder folder;
    IconWindow icon;
    icon.show();
    testing_support::ModalAnswerer answerer;
    const auto clickIcon = [&icon](QWidget *dialog) {
        const int before = icon.presses;
        QTest::mouseClick(icon.windowHandle(), Qt::LeftButton);
        EXPECT_EQ(icon.presses, before + 1) << dialog->metaObject()->className();
        static_cast<QDialog *>(dialog)->reject();
    };
    for (const char *dialog : {"frmSplash", "frmSettingsDialog", "frmQuickStart", "frmInfo", "QMessageBox"})
        answerer.answers[dialog] = clickIcon;
    frmMain window({});
    window.tmrLoadSplash->setInterval(1);
    window.show();
    ASSERT_TRUE(testing_support::RunUntil([&] { return answerer.shown.size() == 3; }, 5000));
    window.mnuInfo->trigger();
    platform::shell::WidgetShell shell;
    platform::shell::Install(&shell);
    platform::shell::MsgBox("Another scan is writing to the results database");
    platform::shell::Install(nullptr);
    EXPECT_EQ(answerer.shown, (QStringList{"frmSplash", "frmSettingsDialog", "frmQuickStart", "frmInfo", "QMessageBox"}));
}

TEST(frmMain, TheUpdateCleanUpRemovesOnlyItsOwnFilesAndIgnoresFailures)
{
    TempProgramFolder folder;
    const auto cleanUp = [] {
        frmMain window({});
        window.trmDeleteUpdateFiles->setInterval(1);
        return testing_support::RunUntil([&] { return !window.trmDeleteUpdateFiles->isActive(); }, 3000);
    };
    ASSERT_TRUE(cleanUp()) << "no Updates folder at all";

    for (const char *name : {"Quillmere.exe", "Quill Mere.exe", "QuillmereSetup.exe", "Updater.exe", "quillmere",
                             "quillmere-updater", "keep.txt"}) {
        QDir().mkpath(folder.File("Updates"));
        folder.Write(QStringLiteral("Updates/") + name, "x");
    }
    ASSERT_TRUE(cleanUp());
    EXPECT_EQ(QDir(folder.File("Updates")).entryList(QDir::Files), QStringList{"keep.txt"});
    QFile::remove(folder.File("Updates/keep.txt"));
    ASSERT_TRUE(cleanUp());
    EXPECT_FALSE(QDir(folder.File("Updates")).exists());
}

TEST(frmMain, OnlyTheWholeCommandLineScanInAnyCaseIsTheUnattendedStart)
{
    for (const QStringList &yes : {QStringList{"-scan"}, {"-SCAN"}, {"-Scan"}})
        EXPECT_TRUE(frmMain::IsScanCommand(yes));
    for (const QStringList &no : {QStringList{"-scan", "now"}, {"-scan now"}, {}, {"scan"}, {" -scan"}, {"-scan", "-scan"}})
        EXPECT_FALSE(frmMain::IsScanCommand(no)) << no.join(' ').toStdString();
}

TEST(frmMain, ASecondInstanceHandsOverToTheRunningOneAndEnds)
{
    TempProgramFolder folder;
    const QString program = folder.InstallProgram();

    frmMain first({});
    first.tmrLoadSplash->stop();
    first.MDIForm_Load();
    first.show();
    ASSERT_FALSE(first.isMaximized());

    // A scheduled "-scan" that hands over ran no scan: under cron that must not read as success.
    for (const QStringList &arguments : {QStringList{}, QStringList{"-scan"}}) {
        QProcess second;
        second.start(program, arguments);
        ASSERT_TRUE(second.waitForFinished(20000));
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        const bool scan = !arguments.isEmpty();
        EXPECT_EQ(second.exitCode(), scan ? 1 : 0);
        EXPECT_EQ(second.readAllStandardError().contains("No scan ran: this user's Quill Mere is running already"), scan);
        EXPECT_TRUE(testing_support::RunUntil([&] { return first.isMaximized() && maximizeValue() == "0"; }, 3000))
            << "maximised: " << first.isMaximized() << ", Maximize: " << maximizeValue().toStdString();
        first.showNormal();
    }
}

TEST(frmMain, TheProgramStartsDespiteACorruptSettingsFileAndAnUnwritableStore)
{
    TempProgramFolder folder;
    const QString program = folder.InstallProgram();
    folder.Write("Quillmere.ini", QByteArray("\xff\xfe\x00garbage\n[Options\n=\n", 20));
    QFile blocker(folder.ConfigHome() + "/Quillmere");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QProcess process;
    process.start(program, {"-scan", "later"});
    ASSERT_TRUE(process.waitForStarted());
    EXPECT_FALSE(process.waitForFinished(2500)) << process.readAllStandardError().toStdString();
    process.kill();
    process.waitForFinished();
}

// Frame pictures sit over the leading blanks of their captions, which many fonts make narrower
// than the pictures; screen readers name every box after its own label.
TEST(frmMain, NoPictureCoversACaptionAndEveryBoxIsNamedAfterItsLabel)
{
    TempProgramFolder folder;
    // Boxes labelled by something other than a label: the option before it, the frame around it.
    const QMap<QString, QString> otherLabels = {{"txtMonthDay", "optMonthly"}, {"cmbDomain", "fraDomain"}};
    for (const auto &window : everyWindow()) {
        const QList<QLabel *> labels = window->findChildren<QLabel *>();
        for (const QGroupBox *frame : window->findChildren<QGroupBox *>()) {
            if (frame->title().trimmed().isEmpty())
                continue;
            const QRect words = captionWords(frame, window.get()).adjusted(-2, 0, 2, 0);
            for (const QLabel *picture : labels) {
                const QRect place(picture->mapTo(window.get(), QPoint()), picture->size());
                EXPECT_FALSE(!picture->pixmap().isNull() && place.intersects(words))
                    << picture->objectName().toStdString() << " over " << frame->title().toStdString();
            }
        }
        for (QWidget *box : window->findChildren<QWidget *>()) {
            if (!qobject_cast<QLineEdit *>(box) && !qobject_cast<QComboBox *>(box))
                continue;
            // A combo box reads out its entry as its name on Linux; its label comes through its relations.
            const QString name = qobject_cast<QComboBox *>(box)
                                     ? box->accessibleName()
                                     : QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name);
            const std::string what = box->objectName().toStdString() + " named \"" + name.toStdString() + '"';
            EXPECT_FALSE(name.isEmpty()) << what;
            EXPECT_EQ(name, name.trimmed()) << what;
            const auto other = otherLabels.find(box->objectName());
            const QWidget *label = other == otherLabels.end() ? nullptr : window->findChild<QWidget *>(*other);
            for (const QLabel *candidate : labels)
                label = candidate->buddy() == box ? candidate : label;
            EXPECT_EQ(name, label ? labelWords(label) : QStringLiteral("<no label>")) << what;
        }
    }
}

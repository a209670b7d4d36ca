#include "common/ModalAnswerer.h"
#include "common/TestSupport.h"
#include "gui/LinkLabel.h"
#include "gui/clsSystray.h"
#include "gui/frmInfo.h"
#include "gui/frmMain.h"
#include "gui/frmQuickStart.h"
#include "gui/frmSplash.h"
#include "platform/shell/widgets/NotifyArea.h"
#include "platform/shell/widgets/WidgetShell.h"
#include "support/ProgramEnd.h"
#include "Version.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

using testing_support::RunUntil;
using testing_support::TempProgramFolder;

namespace {

// A notification area the test controls: there or not, and clicks on demand.
class FakeNotifyArea : public platform::shell::NotifyArea {
public:
    explicit FakeNotifyArea(bool available) : m_available(available) { platform::shell::InstallNotifyArea(this); }
    ~FakeNotifyArea() override { platform::shell::InstallNotifyArea(nullptr); }

    bool IsAvailable() const override { return m_available; }
    void Show(const QIcon &, const QString &text) override
    {
        shown = true;
        ++adds;
        tip = text;
    }
    void SetIcon(const QIcon &) override {}
    void Remove() override { shown = false; }
    bool IsShown() const override { return shown; }

    bool shown = false;
    int adds = 0;
    QString tip;

private:
    bool m_available;
};

struct ProgramEnded {};

// Settings that keep the start-up windows away, unless a test asks for them.
void quietStart(const TempProgramFolder &folder, const QByteArray &options = {})
{
    folder.Write("Quillmere.ini", "[Options]\nShowQuickStart=0\n" + options);
}

void minimise(frmMain &window)
{
    window.showMinimized();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace

TEST(clsSystray, MinimisingHidesBehindOneIconWhereTheDesktopHasANotificationArea)
{
    TempProgramFolder folder;
    EXPECT_EQ(clsSystray::TipText(), QStringLiteral("Quill Mere\nVersion ") + support::VersionText);

    {
        quietStart(folder, "MinimizeToTray=0\n");
        FakeNotifyArea area(true);
        frmMain window({});
        window.show();
        minimise(window);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(area.adds, 0);
    }
    {
        quietStart(folder, "MinimizeToTray=1\n");
        FakeNotifyArea area(false);
        frmMain window({});
        window.show();
        minimise(window);
        EXPECT_TRUE(window.isVisible()) << "no notification area: the window must stay reachable";
        EXPECT_TRUE(window.isMinimized());
    }

    FakeNotifyArea area(true);
    frmMain window({});
    window.tmrLoadSplash->stop();
    window.show();
    minimise(window);
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(area.shown);
    EXPECT_EQ(area.tip, clsSystray::TipText());
    const auto exposed = [&window] { return window.windowHandle()->isExposed(); };
    ASSERT_TRUE(RunUntil([&] { return !exposed(); }, 2000));

    for (int ignored : {512, 513, 515, 517}) // moves, a press, a double click, the right button
        emit area.MouseMessage(ignored);
    EXPECT_FALSE(window.isVisible());
    // A window manager that reports the withdrawn window as no longer minimised takes no icon away.
    window.setWindowState(Qt::WindowNoState);
    QCoreApplication::processEvents();
    EXPECT_TRUE(area.shown) << "the window is still hidden";

    // The window comes back maximised; the icon stays until the window is on the screen. The
    // minimised state it left with, reported once more on the way, does not send it back.
    emit area.MouseMessage(platform::shell::NotifyArea::LeftButtonUp);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isMaximized());
    ASSERT_FALSE(exposed());
    EXPECT_TRUE(area.shown) << "removed before the window was exposed";
    // As the window system reports a state: the widget's changes, the window is left as it is.
    const auto reported = [&window](Qt::WindowStates state) {
        window.overrideWindowState(state);
        QCoreApplication::processEvents();
    };
    reported(Qt::WindowMinimized | Qt::WindowMaximized);
    EXPECT_TRUE(window.isVisible()) << "hidden again on a stale state";
    reported(Qt::WindowMaximized);
    EXPECT_TRUE(RunUntil([&] { return !area.shown; }, 2000));
    EXPECT_TRUE(exposed());

    // The icon's own menu brings the window back the same way.
    minimise(window);
    ASSERT_TRUE(area.shown);
    EXPECT_EQ(area.adds, 2) << "one icon at a time";
    emit area.RestoreRequested();
    EXPECT_TRUE(window.isMaximized() && window.isVisible());
    EXPECT_TRUE(RunUntil([&] { return !area.shown; }, 2000));

    // The program's end takes the icon away.
    minimise(window);
    ASSERT_TRUE(area.shown);
    support::SetProgramTerminator([](int) { throw ProgramEnded{}; });
    EXPECT_THROW(window.close(), ProgramEnded);
    support::SetProgramTerminator(nullptr);
    EXPECT_FALSE(area.shown);
}

TEST(StartUpWindows, SplashAndAboutBoxShowTheVersionAndTheirLinks)
{
    testing_support::ScriptedShell shell;
    frmSplash splash;
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(splash.lblProductName->text(), "Quill Mere");
    EXPECT_EQ(splash.lblVersion->text(), QStringLiteral("v ") + support::VersionText);
    QSignalSpy closed(&splash, &QDialog::finished);
    splash.open();
    EXPECT_TRUE(closed.wait(3000)) << "the splash closes itself";
    EXPECT_FALSE(splash.isVisible());

    frmInfo info;
    EXPECT_EQ(info.windowTitle(), "Info");
    EXPECT_EQ(info.lblVersion->text(), support::VersionText);
    emit info.lblWebsite->clicked();
    emit info.lblEmail->clicked();
    EXPECT_EQ(shell.opened, (QStringList{support::HomePage, "mailto:info@quillmere.org"}));
    info.open();
    QTest::keyClick(&info, Qt::Key_Escape);
    EXPECT_FALSE(info.isVisible());
}

TEST(StartUpWindows, TheQuickStartPageOnlyHidesAndUnderlinesTheLinkUnderTheMouse)
{
    frmQuickStart page;
    EXPECT_EQ(page.windowTitle(), "Quickstart");
    EXPECT_EQ(page.selectedIndex, -1);
    EXPECT_TRUE(page.chkShowOnStartup->isChecked());
    EXPECT_TRUE(page.lblScan->text().contains(QStringLiteral("analyses.") + QString(59, u' ') + QStringLiteral("After")));

    const auto hover = [](QWidget *over) {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), over->mapToGlobal(QPointF(2, 2)), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(over, &move);
    };
    page.show();
    hover(page.Image1);
    EXPECT_TRUE(page.lblScanNetwork->isUnderlined());
    hover(page.lblAnalysisTitle);
    EXPECT_TRUE(page.lblScanNetwork->isUnderlined() && page.lblAnalysisTitle->isUnderlined());
    hover(page.lblAnalysis);
    EXPECT_FALSE(page.lblScanNetwork->isUnderlined() || page.lblAnalysisTitle->isUnderlined());

    page.close();
    EXPECT_FALSE(page.isVisible());
    EXPECT_EQ(page.selectedIndex, -1);
    page.show();
    QTest::keyClick(&page, Qt::Key_Escape);
    EXPECT_FALSE(page.isVisible());
    EXPECT_EQ(page.selectedIndex, -1);
    page.show();
    QTest::mouseClick(page.Image2, Qt::LeftButton);
    EXPECT_FALSE(page.isVisible());
    EXPECT_EQ(page.selectedIndex, 1);
}

TEST(WidgetShell, MessageBoxesShowTheirTextAsPlainTextAndFileDialogsTakeTheFilterPairs)
{
    testing_support::ModalAnswerer answerer;
    Qt::TextFormat format = Qt::AutoText;
    answerer.answers["QMessageBox"] = [&format](QWidget *box) {
        format = static_cast<QMessageBox *>(box)->textFormat();
        static_cast<QMessageBox *>(box)->reject();
    };
    platform::shell::WidgetShell shell;
    EXPECT_EQ(shell.MessageBox("<b>HTTP/1.0 500 Internal Server Error</b>", platform::shell::vbOKCancel, "t"),
              platform::shell::vbCancel);
    EXPECT_EQ(format, Qt::PlainText);

    using platform::shell::WidgetShell;
    EXPECT_EQ(WidgetShell::QtFilter("CSV files (*.csv) | *.csv"), "CSV files (*.csv)");
    EXPECT_EQ(WidgetShell::QtFilter("Access Database|*.mdb|All files|*"), "Access Database (*.mdb);;All files (*)");
}

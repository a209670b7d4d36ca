#include "gui/frmAnalysis.h"
#include "gui/frmSelect.h"
#include "gui/usrInstalledSoftware.h"
#include "gui/usrUserInformation.h"

#include "common/ResultsDatabase.h"
#include "common/TestSupport.h"
#include "platform/listview/widgets/ListView.h"
#include "support/DateText.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// A program folder whose settings point at a results database of the test's own.
struct ListsFixture : ::testing::Test {
    ListsFixture() { UseDatabase(db.Path()); }

    void UseDatabase(const QString &path) const
    {
        folder.Write("Quillmere.ini", "[Options]\nDatabasePath=" + path.toUtf8() + "\n");
    }

    // Exports through the view's button into a file and returns what was written.
    QByteArray Export(AnalysisList &view)
    {
        const QString file = db.File("export.csv");
        shell.files.push_back(file);
        view.cmdExport->click();
        QFile written(file);
        return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray("<none>");
    }

    static QStringList Rows(const platform::listview::ListView *list)
    {
        QStringList rows;
        for (int i = 0; i < list->Items().Count(); ++i)
            rows << list->Items().Item(i).join(u'|');
        return rows;
    }

    static void ClickHeader(platform::listview::ListView *list, int number)
    {
        QHeaderView *header = list->header();
        const QPoint centre(header->sectionViewportPosition(number - 1) + header->sectionSize(number - 1) / 2,
                            header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, centre);
    }

    static bool BarFull(const AnalysisList &view)
    {
        return view.prgAnalysisProgress->value() == view.prgAnalysisProgress->maximum();
    }

    testing_support::TempProgramFolder folder;
    testing_support::ResultsDatabase db;
    testing_support::ScriptedShell shell;
};

} // namespace

TEST_F(ListsFixture, EmptyDatabaseShowsLoadedEmptyListsAndExportsTheHeaderOnly)
{
    usrUserInformation users;
    usrInstalledSoftware software;
    users.LoadControl();
    software.LoadControl();
    EXPECT_TRUE(BarFull(users) && BarFull(software));
    EXPECT_EQ(users.lstViewUsers->Items().Count() + software.lstViewSoftware->Items().Count(), 0);
    EXPECT_EQ(users.lblAnalysisProgress->text(), QStringLiteral("List of users loaded."));
    EXPECT_EQ(software.lblAnalysisProgress->text(), QStringLiteral("List of installed programs loaded."));
    EXPECT_EQ(Export(users), QByteArray("Username,Disabled,Pwd never expires,Last login\r\n\r\n"));
    EXPECT_EQ(Export(software), QByteArray("Computer,Program,Version,Publisher,Install source\r\n\r\n"));
}

TEST_F(ListsFixture, UserListShowsFlagsAndLastLoginAndSortsByHeaders)
{
    const QDateTime march(QDate(2005, 3, 7), QTime(14, 5, 9));
    db.Exec(QStringLiteral("insert into Users values ('carol','WinNT://HOST/carol','False','False','%1'),"
                           "('alice','WinNT://HOST/alice','True','True','7 Mar 2005 14:05:09'),"
                           "('bob','WinNT://HOST/bob','true','False','01/01/1000')")
                .arg(support::DateText(march.addYears(3))));
    usrUserInformation view;
    view.show();
    view.LoadControl();
    EXPECT_EQ(Rows(view.lstViewUsers),
              QStringList({"alice|WinNT://HOST/alice|Yes|Yes|2005-03-07 14:05:09",
                           "bob|WinNT://HOST/bob|No|No|0 (unknown)",
                           "carol|WinNT://HOST/carol|No|No|2008-03-07 14:05:09"}));

    ClickHeader(view.lstViewUsers, 5);
    ClickHeader(view.lstViewUsers, 5);
    EXPECT_EQ(Export(view), QByteArray("Username,Disabled,Pwd never expires,Last login\r\n"
                                       "carol,No,No,2008-03-07 14:05:09\r\n"
                                       "alice,Yes,Yes,2005-03-07 14:05:09\r\n"
                                       "bob,No,No,0 (unknown)\r\n\r\n"));

    // A failed read keeps the rows and the order; the label tells why.
    UseDatabase(db.File("missing.mdb"));
    view.LoadControl();
    EXPECT_EQ(view.lblAnalysisProgress->text(), QStringLiteral("Database file not found!"));
    EXPECT_EQ(view.lstViewUsers->Items().Count(), 3);
}

// Names and versions come from other computers: a value that a spreadsheet would run as a formula
// (one that begins with a tab or CR too) is exported as text in both lists, in quotes where it
// needs them ("|" in a name still shows as "'").
TEST_F(ListsFixture, BothExportsWriteFormulasAsText)
{
    db.Exec(QStringLiteral("insert into Users values ('=cmd|'' /C calc''!A0','WinNT://HOST/x','False','False','01/01/1000')"));
    db.Exec(QStringLiteral("insert into Users values ('\t=1+1','WinNT://HOST/y','False','False','01/01/1000')"));
    db.Exec(QStringLiteral("insert into InstalledSoftware values ('PC1','=HYPERLINK(\"http://x.example/\",\"Update\")',"
                           "'-1','@acme','+setup'), ('PC1','\r=1+1','\t2','','')"));
    usrUserInformation users;
    usrInstalledSoftware software;
    users.LoadControl();
    software.LoadControl();
    EXPECT_EQ(Export(users), QByteArray("Username,Disabled,Pwd never expires,Last login\r\n"
                                        "'\t=1+1,No,No,0 (unknown)\r\n"
                                        "'=cmd'' /C calc'!A0,No,No,0 (unknown)\r\n\r\n"));
    EXPECT_EQ(Export(software), QByteArray("Computer,Program,Version,Publisher,Install source\r\n"
                                           "PC1,\"'=HYPERLINK(\"\"http://x.example/\"\",\"\"Update\"\")\",'-1,'@acme,'+setup\r\n"
                                           "PC1,\"'\r=1+1\",'\t2,,\r\n\r\n"));
}

class SoftwareTest : public ListsFixture {
protected:
    SoftwareTest()
    {
        db.Exec(u"insert into InstalledSoftware values ('PC1','Word','16.0','Acme, Inc.','D:\\setup'),"
                "('PC2','Word','15.0','Acme, Inc.',''), ('pc1','Tool \"Pro\"','2','Tools',''),"
                "('PC1','Excel','16.0','Acme, Inc.','')"_qs);
        view.show();
        view.LoadControl();
    }

    void Filter(const char *computer, const char *program)
    {
        view.txtComputer->setText(QString::fromUtf8(computer));
        view.txtProgram->setText(QString::fromUtf8(program));
        view.FilterList();
    }

    usrInstalledSoftware view;
};

TEST_F(SoftwareTest, FiltersCompareExactlyAndTheExportFollowsFiltersAndOrder)
{
    EXPECT_EQ(view.lstViewSoftware->Items().Count(), 4);
    Filter("PC1", "All programs");
    ClickHeader(view.lstViewSoftware, 2);
    ClickHeader(view.lstViewSoftware, 2);
    EXPECT_EQ(Export(view), QByteArray("Computer,Program,Version,Publisher,Install source\r\n"
                                       "PC1,Word,16.0,\"Acme, Inc.\",D:\\setup\r\n"
                                       "PC1,Excel,16.0,\"Acme, Inc.\",\r\n\r\n"));

    Filter("pc1", "All programs");
    EXPECT_EQ(Rows(view.lstViewSoftware), QStringList({"pc1|Tool \"Pro\"|2|Tools|"}));

    Filter("PC2", "Excel");
    EXPECT_EQ(view.lstViewSoftware->Items().Count(), 0);
    EXPECT_TRUE(BarFull(view));
    EXPECT_EQ(view.lblAnalysisProgress->text(), QStringLiteral("List of installed programs loaded."));

    view.LoadControl();
    EXPECT_EQ(view.txtComputer->text(), QStringLiteral("All computers"));
    EXPECT_EQ(view.txtProgram->text(), QStringLiteral("All programs"));
    EXPECT_EQ(view.lstViewSoftware->Items().Count(), 4);
}

// The pick lists set the filters: a chosen row filters, the first row clears the filter, Cancel
// leaves it.
TEST_F(SoftwareTest, PickListsSetAndClearTheFilters)
{
    const auto pick = [&](QPushButton *button, const char *search, bool ok) {
        QString caption;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<frmSelect *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            caption = dialog->windowTitle();
            dialog->txtSearch->setText(QString::fromUtf8(search));
            if (ok)
                QTest::keyClick(dialog->txtSearch, Qt::Key_Return);
            else
                dialog->cmdCancel->click();
        });
        button->click();
        return caption;
    };
    EXPECT_EQ(pick(view.cmdSelectComputer, "pc2", true), QStringLiteral("Computers"));
    EXPECT_EQ(view.txtComputer->text(), QStringLiteral("PC2"));
    EXPECT_EQ(Rows(view.lstViewSoftware), QStringList({"PC2|Word|15.0|Acme, Inc.|"}));
    EXPECT_EQ(pick(view.cmdSelectProgram, "excel", false), QStringLiteral("Installed programs"));
    EXPECT_EQ(view.txtProgram->text(), QStringLiteral("All programs"));
    pick(view.cmdSelectComputer, "", true);
    EXPECT_EQ(view.txtComputer->text(), QStringLiteral("All computers"));
    EXPECT_EQ(view.lstViewSoftware->Items().Count(), 4);
}

// A second load that arrives while the query lets the message loop run (another tab change) is
// ignored: it neither reads nor touches what the running load works with.
TEST_F(SoftwareTest, ALoadArrivingDuringALoadIsIgnored)
{
    usrInstalledSoftware fresh;
    bool nestedDone = false;
    QTimer::singleShot(0, [&] {
        fresh.LoadControl();
        EXPECT_TRUE(fresh.colAllPrograms.isEmpty());
        EXPECT_FALSE(fresh.colShownPrograms);
        nestedDone = true;
    });
    fresh.LoadControl();
    EXPECT_TRUE(nestedDone);
    EXPECT_EQ(fresh.lstViewSoftware->Items().Count(), 4);
}

TEST_F(SoftwareTest, AFailedReadKeepsRecordsFiltersAndRows)
{
    Filter("PC1", "All programs");
    UseDatabase(db.File("missing.mdb"));
    view.LoadControl();
    EXPECT_EQ(view.lblAnalysisProgress->text(), QStringLiteral("Database file not found!"));
    EXPECT_EQ(view.txtComputer->text(), QStringLiteral("PC1"));
    EXPECT_EQ(view.colAllPrograms.size(), 4);
    EXPECT_EQ(view.lstViewSoftware->Items().Count(), 2);
    Filter("All computers", "Word");
    EXPECT_EQ(view.lstViewSoftware->Items().Count(), 2);
}

// A maintainer with a mail address makes a wide publisher: the columns after it stay in view.
TEST_F(SoftwareTest, AtTheDefaultSizeEveryColumnIsInViewAndLongTextsAreElided)
{
    // Enough rows for a vertical scroll bar, which shows only after the columns got their widths.
    for (int i = 0; i < 40; ++i)
        db.Exec(u"insert into InstalledSoftware values ('PC1','gir1.2-gst-plugins-bad-1.0','1.22.0-4+deb12u5',"
                "'Maintainers of GStreamer packages <gstreamer1.0@packages.debian.org>','')"_qs);
    frmAnalysis window;
    window.show();
    window.AnalysisTabPage->setCurrentIndex(4);
    const platform::listview::ListView *list = window.usrInstalledSoftware->lstViewSoftware;
    ASSERT_EQ(list->Items().Count(), 44);
    QCoreApplication::processEvents();
    ASSERT_TRUE(list->verticalScrollBar()->isVisible());
    EXPECT_EQ(list->horizontalScrollBar()->maximum(), 0) << "nothing to scroll sideways";
    const QHeaderView *header = list->header();
    const auto wanted = [list](int column) {
        return static_cast<const QAbstractItemView *>(list)->sizeHintForColumn(column);
    };
    for (int column = 0; column < 5; ++column) {
        EXPECT_GE(header->sectionSize(column), 40) << column;
        EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column), list->viewport()->width())
            << column;
    }
    EXPECT_LT(header->sectionSize(3), wanted(3)) << "the publisher is elided";
    EXPECT_EQ(header->sectionSize(0), std::max(wanted(0), header->sectionSizeHint(0)))
        << "a narrow column keeps its width";
}

TEST_F(ListsFixture, LayoutFollowsTheViewSize)
{
    usrInstalledSoftware view;
    view.show();
    view.resize(900, 600);
    const QRect list = view.lstViewSoftware->geometry();
    EXPECT_EQ(list.right() + 1, 900 - 20);
    EXPECT_EQ(list.bottom() + 1, 600 - 40);
    EXPECT_EQ(view.cmdExport->y(), 600 - 25);
    EXPECT_EQ(view.prgAnalysisProgress->geometry().right(), list.right());
    EXPECT_EQ(view.prgAnalysisProgress->y(), 600 - 17);
    EXPECT_EQ(view.lblAnalysisProgress->x(), view.prgAnalysisProgress->x());
    for (QFrame *line : {view.Line1, view.Line2, view.Line3, view.Line4})
        EXPECT_EQ(line->geometry().right() + 1, 900 - 5);
}

// The analysis window loads each list when its tab is shown, from the overview entry as well;
// showing the software tab again resets the filters.
TEST_F(SoftwareTest, TheAnalysisWindowLoadsAViewWhenItsTabIsShown)
{
    frmAnalysis window;
    window.show();
    EXPECT_EQ(window.usrInstalledSoftware->lstViewSoftware->Items().Count(), 0);
    QTest::mouseClick(window.lblAnalysis[3], Qt::LeftButton);
    EXPECT_EQ(window.AnalysisTabPage->currentIndex(), 4);
    EXPECT_EQ(window.usrInstalledSoftware->lstViewSoftware->Items().Count(), 4);
    EXPECT_EQ(window.usrInstalledSoftware->size(), window.usrUserInformation->size());
    EXPECT_GT(window.usrInstalledSoftware->width(), window.AnalysisTabPage->width() - 40);

    window.usrInstalledSoftware->txtComputer->setText(QStringLiteral("PC1"));
    window.usrInstalledSoftware->FilterList();
    window.AnalysisTabPage->setCurrentIndex(3);
    EXPECT_EQ(window.usrUserInformation->lblAnalysisProgress->text(), QStringLiteral("List of users loaded."));
    window.AnalysisTabPage->setCurrentIndex(4);
    EXPECT_EQ(window.usrInstalledSoftware->txtComputer->text(), QStringLiteral("All computers"));
    EXPECT_EQ(window.usrInstalledSoftware->lstViewSoftware->Items().Count(), 4);
}

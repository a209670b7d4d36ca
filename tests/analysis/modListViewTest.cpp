#include "analysis/modListView.h"

#include "common/TestSupport.h"
#include "platform/listview/ListItems.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using platform::listview::ListItems;

namespace {

clsProgram program(const QString &computer, const QString &name)
{
    clsProgram record;
    record.setComputer(computer);
    record.setProgram(name);
    return record;
}

// Fills list with rows of texts, given as they are.
void fill(ListItems &list, const std::vector<QStringList> &rows)
{
    list.Fill(int(rows.size()), [rows](int row, int column) { return rows[size_t(row)].value(column); });
}

QStringList column(const ListItems &list, int index)
{
    QStringList texts;
    for (int i = 0; i < list.Count(); ++i)
        texts << list.Text(i, index);
    return texts;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(modListView, LastLoginText)
{
    const struct {
        QDate day;
        QTime time;
        const char *text;
    } cases[] = {
        {QDate(1000, 1, 1), QTime(0, 0), "0 (unknown)"},
        {QDate(1000, 1, 1), QTime(0, 0, 1), "1000-01-01 00:00:01"},
        {QDate(2005, 3, 7), QTime(14, 5, 9), "2005-03-07 14:05:09"},
        {QDate(2005, 12, 31), QTime(0, 0), "2005-12-31 00:00:00"},
        {QDate(9999, 12, 31), QTime(23, 59, 59), "9999-12-31 23:59:59"},
        // Years of other than four digits, as the format writes them.
        {QDate(999, 12, 31), QTime(23, 59, 59), "0999-12-31 23:59:59"},
        {QDate(10000, 1, 1), QTime(0, 0), "10000-01-01 00:00:00"},
        {QDate(), QTime(), ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(modListView::LastLoginText(support::LocalDateTime(c.day, c.time)), QString::fromLatin1(c.text));
        // Every date shows as the format writes it.
        if (c.day.year() != 1000) {
            EXPECT_EQ(QDateTime(c.day, c.time, Qt::UTC).toString(u"yyyy-MM-dd HH:mm:ss"_qs), QString::fromLatin1(c.text));
        }
    }
    EXPECT_EQ(modListView::LastLoginText(support::ZeroDate()), u"1899-12-30 00:00:00"_qs); // a Null value in the database
}

TEST(modListView, FiltersCompareExactlyAndAllClearsAFilter)
{
    const QList<clsProgram> all = {program("PC1", "Word"), program("PC1", "Excel"), program("pc1", "Word"),
                                   program("PC2", "Word"), program("PC1", "word")};
    const struct {
        const char *computer, *program, *shown;
    } cases[] = {
        {"PC1", "All programs", "PC1 Word,PC1 Excel,PC1 word"},
        {"All computers", "Word", "PC1 Word,pc1 Word,PC2 Word"},
        {"PC1", "Word", "PC1 Word"},
        {"pc1", "All programs", "pc1 Word"},
        {"PC2", "Excel", ""},
        {"All computers", "All programs", "PC1 Word,PC1 Excel,pc1 Word,PC2 Word,PC1 word"},
    };
    for (const auto &c : cases) {
        QStringList shown;
        for (const clsProgram &p : modListView::ProgramsShown(all, QString::fromLatin1(c.computer),
                                                              QString::fromLatin1(c.program)))
            shown << p.Computer() + u' ' + p.Program();
        EXPECT_EQ(shown.join(u','), QString::fromLatin1(c.shown)) << c.computer << " / " << c.program;
    }
}

// A header clicked again switches the direction, another header keeps it; a refill keeps the
// current sort. Texts compare without regard to case, equal texts keep the order they came in.
TEST(modListView, SortsOnHeaderClicks)
{
    ListItems list({"Name", "Size"});
    fill(list, {{"beta", "2"}, {"Alpha", "10"}, {"alpha", "1"}, {"Gamma", "2"}});
    EXPECT_EQ(column(list, 0), QStringList({"Alpha", "alpha", "beta", "Gamma"}));

    int16_t last = 0;
    const struct {
        int16_t number;
        const char *names;
    } clicks[] = {
        {1, "Alpha,alpha,beta,Gamma"},
        {1, "Gamma,beta,Alpha,alpha"},
        {2, "Gamma,beta,Alpha,alpha"}, // by text: "2" > "10" > "1"
        {2, "alpha,Alpha,Gamma,beta"},
    };
    for (const auto &click : clicks) {
        modListView::SortOnColumn(list, last, click.number);
        EXPECT_EQ(column(list, 0).join(u','), QString::fromLatin1(click.names)) << "click on " << click.number;
        EXPECT_EQ(last, click.number);
    }
    fill(list, {{"x", "3"}, {"y", "1"}});
    EXPECT_EQ(column(list, 0), QStringList({"y", "x"}));

    // Letters beyond ASCII fold too, also those written as two UTF-16 units.
    fill(list, {{"Émile", ""}, {"zoë", ""}, {"émile", ""}, {"Adam", ""}, {"\U00010400b", ""}, {"\U00010428a", ""}});
    modListView::SortOnColumn(list, last, 1);
    EXPECT_EQ(column(list, 0), QStringList({"Adam", "zoë", "Émile", "émile", "\U00010428a", "\U00010400b"}));
    // Texts that begin alike are told apart further on.
    fill(list, {{"Alexandra Z", ""}, {"alexander B", ""}, {"ALEXANDER", ""}, {"Alexander a", ""}});
    EXPECT_EQ(column(list, 0), QStringList({"ALEXANDER", "Alexander a", "alexander B", "Alexandra Z"}));
}

// A value that a spreadsheet would run as a formula is written as text, an apostrophe in front,
// and the quoting rules hold for what is written.
TEST(modListView, CsvValueQuotesOnlyWhatNeedsItAndNeverAFormula)
{
    const struct {
        const char *value, *field;
    } cases[] = {
        {"Word", "Word"},
        {" spaced ", " spaced "},
        {"Acme, Inc.", "\"Acme, Inc.\""},
        {"19\" rack tool", "\"19\"\" rack tool\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"line\nfeed", "\"line\nfeed\""},
        {"=1+1", "'=1+1"},
        {"+49 30", "'+49 30"},
        {"-1", "'-1"},
        {"@SUM(A1:A9)", "'@SUM(A1:A9)"},
        {"=HYPERLINK(\"http://x.example/\",\"Update\")", "\"'=HYPERLINK(\"\"http://x.example/\"\",\"\"Update\"\")\""},
        {"-\r\n", "\"'-\r\n\""},
        {"\t=1+1", "'\t=1+1"},
        {"\r=1+1", "\"'\r=1+1\""},
        {"a\tb", "a\tb"},
        {"a=b", "a=b"},
        {" =1+1", " =1+1"},
        {"'=1+1", "'=1+1"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(modListView::CsvValue(QString::fromLatin1(c.value)), QString::fromLatin1(c.field)) << c.value;
}

class ExportTest : public ::testing::Test {
protected:
    QString Export(const QString &text, const QString &answer)
    {
        shell.files.push_back(answer);
        modListView::ExportList(text, QStringLiteral("Error while exporting the list of users. "));
        return answer;
    }

    testing_support::ScriptedShell shell;
    QTemporaryDir folder;
};

TEST_F(ExportTest, TheSaveDialogAsksAndACancelEndsSilently)
{
    Export(QStringLiteral("x\r\n"), QString());
    ASSERT_EQ(shell.fileDialogs.size(), 1u);
    const auto &dialog = shell.fileDialogs.front();
    EXPECT_EQ(dialog.kind, platform::shell::FileDialog::Save);
    EXPECT_EQ(dialog.title, QStringLiteral("Save export file..."));
    EXPECT_EQ(dialog.filter, QStringLiteral("CSV files (*.csv) | *.csv"));
    EXPECT_EQ(dialog.defaultExt, QStringLiteral("csv"));
    EXPECT_TRUE(shell.prompts.empty());
    EXPECT_TRUE(QDir(folder.path()).isEmpty());
}

// Values holding commas, quotes, line breaks and letters of any language read back as the same
// columns with an independent CSV reader (which also takes the file as UTF-8); the export takes
// the chosen columns in the list's order.
TEST_F(ExportTest, QuotedValuesReadBackAsTheSameColumns)
{
    const std::vector<QStringList> rows = {{"PC1", "Acme, Inc.", "-", "Say \"Hello\" 2.0"},
                                           {"東京", "two\r\nlines", "-", "Zoë"}};
    ListItems list({"Computer", "Publisher", "Version", "Program"});
    fill(list, rows);
    const QString file = Export(modListView::ExportText(list, QStringLiteral("Computer,Publisher,Program"), {0, 1, 3}),
                                folder.filePath("software.csv"));

    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QStringLiteral("import csv, json, sys; print(json.dumps(list(csv.reader("
                                                       "open(sys.argv[1], newline='', encoding='utf-8')))))"),
                  file});
    ASSERT_TRUE(python.waitForFinished(20000)) << "python3 is needed for this test";
    const QJsonArray parsed = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(parsed.size(), 4) << python.readAllStandardError().toStdString();
    EXPECT_EQ(parsed[0].toVariant().toStringList(), QStringList({"Computer", "Publisher", "Program"}));
    EXPECT_EQ(parsed[1].toVariant().toStringList(), QStringList({"PC1", "Acme, Inc.", "Say \"Hello\" 2.0"}));
    EXPECT_EQ(parsed[2].toVariant().toStringList(), QStringList({"東京", "two\r\nlines", "Zoë"}));
    EXPECT_TRUE(parsed[3].toArray().isEmpty()); // the closing empty line
}

TEST_F(ExportTest, AFailedWriteShowsTheErrorAndKeepsTheOldFile)
{
    Export(QStringLiteral("x\r\n"), folder.filePath("missing/users.csv"));
    ASSERT_EQ(shell.prompts.size(), 1u);
    EXPECT_TRUE(shell.prompts[0].text.startsWith(QStringLiteral("Error while exporting the list of users. \r\n\r\n")));
    EXPECT_EQ(shell.prompts[0].style, platform::shell::vbCritical);
    EXPECT_EQ(shell.prompts[0].title, QStringLiteral("Error"));

    // A write that fails half-way (the file size limit) leaves the file that was there.
    const QString existing = folder.filePath("users.csv");
    QFile old(existing);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous export\r\n");
    old.close();
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit{4096, saved.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    Export(QString(10000, u'a'), existing);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(shell.prompts.size(), 2u);
    EXPECT_TRUE(shell.prompts[1].text.endsWith(QStringLiteral("File too large"))) << shell.prompts[1].text.toStdString();
    EXPECT_EQ(readFile(existing), QByteArray("previous export\r\n"));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList({"users.csv"}));
}

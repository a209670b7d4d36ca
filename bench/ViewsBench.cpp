// The analysis window's views against their statements run bare, side by side in one run. For
// each view: its whole load on a shown widget (offscreen without a display), from the call until
// the result is painted, against the same SELECT prepared and stepped through SQLite's C API,
// reading every column of every row as text. Prints the medians and their ratios (goals: every
// load at most 3 times its bare statement; the user list's load at 50,000 users under 0.5 s, the
// longest the GUI thread is kept from the message loop). Then a sort of the software view on
// another column against its fill (goal: at most the fill).
//
// Usage: bench_views [ROUNDS [VIEW]]
//   ROUNDS: default 7; every round times each view once and its statement once, in turns, so
//           that a busy machine slows both alike. VIEW: only the views whose name holds this text
//           (for a profiler).

#include "gui/usrGroupsRight.h"
#include "gui/usrInstalledSoftware.h"
#include "gui/usrUserInformation.h"
#include "gui/usrUserRight.h"
#include "platform/listview/widgets/ListView.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

const char *const kRightsFilter = "(Right LIKE '%List%' OR Right LIKE '%Read%' OR Right LIKE '%Execute%' OR "
                                  "Right LIKE '%Modify%' OR Right LIKE '%Write%' OR Right LIKE '%Full%')";

// One results database per case, each in a folder of its own that serves as the program folder
// while the case runs (the views find their database there). The rows are written the first
// time a case uses it.
class Folder {
public:
    Folder(const QTemporaryDir &root, const QString &name, std::function<void(const Folder &)> fill)
        : m_path(root.filePath(name)), m_fill(std::move(fill))
    {
    }
    QString Database() const { return m_path + QStringLiteral("/NetworkInfo.mdb"); }
    void Use() const
    {
        if (m_fill) {
            QDir().mkpath(m_path);
            if (QProcess::execute(QStringLiteral(QUILL_MAKE_DATABASE), {Database()}) != 0)
                std::abort();
            m_fill(*this);
            m_fill = nullptr;
        }
        support::SetProgramFolder(m_path);
    }

    // Runs an insert with row numbers 0 to rows - 1 as n(i).
    void Fill(int rows, const std::string &insert) const
    {
        sqlite3 *db = nullptr;
        sqlite3_open(Database().toUtf8().constData(), &db);
        const std::string sql = "with recursive n(i) as (select 0 union all select i + 1 from n where i < " +
                                std::to_string(rows - 1) + ") " + insert;
        char *message = nullptr;
        if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
            std::fprintf(stderr, "%s\n", message);
            std::abort();
        }
        sqlite3_close(db);
    }

private:
    QString m_path;
    mutable std::function<void(const Folder &)> m_fill;
};

// Users as a scan writes them, in no order of their names: a tenth never logged in, a few
// logged in at midnight (the date alone), the others at some second of the last years.
void fillUsers(const Folder &folder, int users)
{
    const std::string name = "printf('%06d', i * 7919 % " + std::to_string(users) + ")";
    folder.Fill(users, "insert into Users select 'user' || " + name + ", 'WinNT://HOST/user' || " + name +
                           ", case when i % 9 = 0 then 'True' else 'False' end, "
                           "case when i % 4 = 0 then 'True' else 'False' end, "
                           "case when i % 10 = 0 then '01/01/1000' when i % 10 = 5 then "
                           "date(1100000000 + i * 977, 'unixepoch') else datetime(1100000000 + i * 1733, 'unixepoch') "
                           "end from n");
}

// Computers with their programs, as the installed-software scan writes them.
void fillSoftware(const Folder &folder, int computers, int programs)
{
    const std::string insert =
        "insert into InstalledSoftware select 'WS' || printf('%03d', i / " + std::to_string(programs) +
        "), 'Program ' || (i % " + std::to_string(programs) +
        ") || ' ' || substr('Suite Tools Runtime Viewer Driver', 1 + (i % 5) * 6, 6), "
        "(i % 9) || '.' || (i % 13) || '.' || i, 'Publisher ' || (i % 37), '/srv/install/' || (i % 200) from n";
    folder.Fill(computers * programs, insert);
}

// The group Staff holds rows on rows directories, ten to a project and a hundred projects to a
// department; the user alice holds half as many directly, and her group Team the same directories
// again, so that her rows come in runs of two.
void fillRights(const Folder &folder, int rows)
{
    const char *const path = "'/srv/data/dept' || printf('%03d', i / 1000) || '/project' || printf('%05d', i / 10) "
                             "|| '/folder' || printf('%07d', i)";
    const char *const right = "substr('Read&ExecuteFull        Modify      Read&Write  List        Read        ', "
                              "1 + (i % 6) * 12, 12)";
    folder.Fill(rows, std::string("insert into Permissions select ") + path + ", 'Staff', trim(" + right + ") from n");
    folder.Fill(rows / 2, std::string("insert into Permissions select ") + path + ", m.name, trim(" + right +
                              ") from n, (select 'alice' as name union all select 'Team') as m");
    folder.Fill(1, "insert into UserGroup select 'alice', 'Team' from n");
}

// Opens the database, prepares sql, binds the values and steps through every row reading every
// column as text; returns a sum of the text lengths, so that nothing is left unread.
size_t bareQuery(const QString &database, const std::string &sql, const std::vector<std::string> &values)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(database.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        std::abort();
    for (size_t i = 0; i < values.size(); ++i)
        sqlite3_bind_text(statement, int(i + 1), values[i].c_str(), -1, SQLITE_STATIC);
    size_t bytes = 0;
    const int columns = sqlite3_column_count(statement);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            if (sqlite3_column_text(statement, c))
                bytes += size_t(sqlite3_column_bytes(statement, c));
        }
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return bytes;
}

double msSince(const QElapsedTimer &timer) { return double(timer.nsecsElapsed()) / 1e6; }

// How long a view took to load, and then to lay out and paint what the load changed.
struct Timing {
    double load;
    double paint;
};

// Runs load on a shown view, then lets it lay out and paint at once, and lets the message loop
// handle what else the load asked for.
Timing loadAndPaint(QWidget &view, const std::function<void()> &load)
{
    QElapsedTimer timer;
    timer.start();
    load();
    const double loaded = msSince(timer);
    view.repaint();
    QCoreApplication::processEvents();
    return {loaded, msSince(timer) - loaded};
}

// Presses button, whose handler fills and shows a modal dialog, and closes the dialog once it
// is shown and painted: the load is the time until the dialog is shown.
Timing pickAndClose(QPushButton *button)
{
    QElapsedTimer timer;
    Timing timing{};
    std::function<void()> close = [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(0, close);
            return;
        }
        timing.load = msSince(timer);
        dialog->repaint();
        timing.paint = msSince(timer) - timing.load;
        dialog->reject();
    };
    QTimer::singleShot(0, close);
    timer.start();
    button->click();
    return timing;
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct Case {
    const char *name;
    const Folder &folder;
    std::function<Timing()> load;
    std::string sql;
    std::vector<std::string> values;
    double limitMs = 0; // a bound on every load, the first included; 0 for none
};

void run(const Case &c, int rounds)
{
    c.folder.Use();
    const Timing first = c.load(); // as the first showing of the tab
    std::vector<double> loads, paints, bares;
    double longest = first.load;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        bareQuery(c.folder.Database(), c.sql, c.values);
        bares.push_back(msSince(timer));
        const Timing timing = c.load();
        loads.push_back(timing.load);
        paints.push_back(timing.paint);
        longest = std::max(longest, timing.load);
    }
    const double load = median(loads), bare = median(bares);
    std::printf("%-40s %9.1f %9.1f %7.2f x %8.1f", c.name, load, bare, load / bare, median(paints));
    if (c.limitMs > 0)
        std::printf("   longest load %.1f ms, the first included (goal < %.0f)", longest, c.limitMs);
    std::printf("\n");
    std::fflush(stdout);
}

// A click on another column header of the software view against refilling the view from its
// records (AddProgramsToList), in turns on the loaded view (goal: the sort at most the fill).
void sortAgainstFill(usrInstalledSoftware &view, int rounds)
{
    std::vector<double> fills, sorts;
    int column = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        view.AddProgramsToList();
        fills.push_back(msSince(timer));
        timer.start();
        column = column % 4 + 2; // headers 2 to 5 in turn: every click sorts on another column
        emit view.lstViewSoftware->ColumnClick(column);
        sorts.push_back(msSince(timer));
    }
    const double fill = median(fills), sort = median(sorts);
    std::printf("%-40s %9.1f %9.1f %7.2f x (goal <= 1: the sort against the fill)\n", "software, sort on a column", sort,
                fill, sort / fill);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const QTemporaryDir root;
    const Folder users5k(root, QStringLiteral("users5k"), [](const Folder &f) { fillUsers(f, 5'000); });
    const Folder users50k(root, QStringLiteral("users50k"), [](const Folder &f) { fillUsers(f, 50'000); });
    const Folder software(root, QStringLiteral("software"), [](const Folder &f) { fillSoftware(f, 50, 1'000); });
    const Folder rights(root, QStringLiteral("rights"), [](const Folder &f) { fillRights(f, 1'000'000); });

    usrUserInformation userList;
    usrInstalledSoftware softwareList;
    usrGroupsRight groupRights;
    usrUserRight userRights;
    for (QWidget *view : std::initializer_list<QWidget *>{&userList, &softwareList, &groupRights, &userRights}) {
        view->resize(1200, 800);
        view->show();
    }
    groupRights.txtGroup->setText(QStringLiteral("Staff"));
    userRights.txtUser->setText(QStringLiteral("alice"));
    for (RightsView *view : std::initializer_list<RightsView *>{&groupRights, &userRights})
        view->txtSubDirs->setText(QStringLiteral("99"));

    const auto listLoad = [&userList] { return loadAndPaint(userList, [&userList] { userList.LoadControl(); }); };
    const auto pickUser = [&userRights] { return pickAndClose(userRights.cmdSelectUser); };
    const std::string allUsers = "SELECT * FROM [Users]";
    // A rights tree's load with the directories chosen (none: "All directories") against its
    // statement, whose condition on Path selects each directory and the directories below it.
    const auto rightsCase = [&rights](const char *name, RightsView &view, const std::string &members,
                                      std::vector<std::string> values, const std::vector<std::string> &directories) {
        std::string any;
        QStringList chosen;
        for (const std::string &directory : directories) {
            any += std::string(any.empty() ? "" : " OR ") + "Path = ? OR (Path >= ? AND Path < ?)";
            values.insert(values.end(), {directory, directory + '/', directory + '0'});
            chosen << QString::fromStdString(directory);
        }
        const QString text = chosen.isEmpty() ? QStringLiteral("All directories") : chosen.join(QStringLiteral(", "));
        return Case{name,
                    rights,
                    [&view, text] {
                        view.txtDirectories->setText(text);
                        return loadAndPaint(view, [&view] { view.cmdFilter_Click(); });
                    },
                    "Select * FROM Permissions WHERE " + members + (any.empty() ? "" : " AND (" + any + ")") +
                        " AND " + kRightsFilter + " ORDER BY Path ASC",
                    values};
    };
    const std::vector<std::string> departments = {"/srv/data/dept100", "/srv/data/dept250", "/srv/data/dept400"};
    const std::vector<Case> cases = {
        {"user list, 5,000 users", users5k, listLoad, allUsers, {}},
        {"user list, 50,000 users", users50k, listLoad, allUsers, {}, 500},
        {"user picker, 5,000 users", users5k, pickUser, allUsers, {}},
        {"user picker, 50,000 users", users50k, pickUser, allUsers, {}},
        {"software, 50 computers x 1,000 programs",
         software,
         [&softwareList] { return loadAndPaint(softwareList, [&softwareList] { softwareList.LoadControl(); }); },
         "SELECT * FROM [InstalledSoftware]",
         {}},
        rightsCase("group rights tree, 1,000,000 rows", groupRights, "Member = ?", {"Staff"}, {}),
        rightsCase("group rights tree, /srv/data (every row)", groupRights, "Member = ?", {"Staff"}, {"/srv/data"}),
        rightsCase("group rights tree, three departments", groupRights, "Member = ?", {"Staff"}, departments),
        rightsCase("user rights tree, 1,000,000 rows", userRights, "Member IN (?,?)", {"alice", "Team"}, {}),
        rightsCase("user rights tree, /srv/data (every row)", userRights, "Member IN (?,?)", {"alice", "Team"},
                   {"/srv/data"}),
        rightsCase("user rights tree, three departments", userRights, "Member IN (?,?)", {"alice", "Team"},
                   departments),
    };
    std::printf("medians of %d rounds, in ms; ratio: load / bare SQL (goal <= 3)\n", rounds);
    std::printf("%-40s %9s %9s %9s %8s\n", "view", "load", "bare SQL", "ratio", "+ paint");
    const char *only = argc > 2 ? argv[2] : "";
    for (const Case &c : cases)
        if (std::strstr(c.name, only))
            run(c, rounds);
    if (std::strstr("software", only))
        sortAgainstFill(softwareList, rounds);
    return 0;
}

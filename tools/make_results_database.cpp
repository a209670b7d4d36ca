// Makes the empty results database that ships beside the program: an SQLite 3 file with the
// seven tables the scan writes and the analysis reads. The program itself never creates a
// table, so this file is the one place that fixes them.
//
// Usage: make_results_database <output file>   (an existing file is replaced)
//
// Both sides insert whole rows without a column list and read columns by position, so the
// order of the columns below is binding. Every column is text with a length limit that a CHECK
// constraint enforces: a value over the limit is refused (reported to the user as fields that
// are too small) instead of being stored cut. The limits are generous for Linux: paths up to
// PATH_MAX (4096), account and group names up to 256 characters.
//
// One index, on Permissions (Member): the rights views ask for the rows of one group or user, and
// the finishing queries for the distinct members. Paths stay out of the key on purpose: keeping
// long path keys in order cost a third of the permission scan's time, more than sorting one
// member's rows by path when they are read.

#include <sqlite3.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Column {
    const char *name;
    int limit;
};

struct Table {
    const char *name;
    std::vector<Column> columns;
};

constexpr int kPath = 4096;
constexpr int kName = 256;
constexpr int kFlag = 16;
constexpr int kDateText = 64;

const std::vector<Table> kTables = {
    {"Permissions", {{"Path", kPath}, {"Member", kName}, {"Right", 64}}},
    {"Users",
     {{"Username", kName},
      {"UserPath", 2 * kName + 1},
      {"AccountDisabled", kFlag},
      {"PasswordNeverExpires", kFlag},
      {"LastLogin", kDateText}}},
    {"Groups", {{"GroupName", kName}}},
    {"UserGroup", {{"User", kName}, {"Group", kName}}},
    {"UsedGroups", {{"GroupName", kName}}},
    {"InstalledSoftware",
     {{"computer", kName},
      {"Program name", 1024},
      {"DisplayVersion", kName},
      {"Publisher", 1024},
      {"InstallSource", kPath}}},
    {"settings", {{"LastScanDate", kDateText}}},
};

std::string quoted(const char *name) { return std::string("\"") + name + "\""; }

std::string createStatement(const Table &table)
{
    std::string sql = "CREATE TABLE " + quoted(table.name) + " (";
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const Column &column = table.columns[i];
        const std::string name = quoted(column.name);
        sql += (i ? ", " : "") + name + " TEXT CONSTRAINT " + quoted((std::string(column.name) + " too long").c_str()) +
               " CHECK (length(" + name + ") <= " + std::to_string(column.limit) + ")";
    }
    return sql + ")";
}

bool run(sqlite3 *db, const std::string &sql)
{
    char *message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    std::fprintf(stderr, "make_results_database: %s\n  in: %s\n", message ? message : "?", sql.c_str());
    sqlite3_free(message);
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_results_database <output file>\n");
        return 2;
    }
    const std::string target = argv[1];
    const std::string temporary = target + ".new";
    std::remove(temporary.c_str());

    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(temporary.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "make_results_database: cannot create %s: %s\n", temporary.c_str(), sqlite3_errmsg(db));
        sqlite3_close(db);
        return 1;
    }
    bool ok = run(db, "BEGIN");
    for (const Table &table : kTables)
        ok = ok && run(db, createStatement(table));
    ok = ok && run(db, "CREATE INDEX \"PermissionsByMember\" ON \"Permissions\" (\"Member\")");
    ok = ok && run(db, "COMMIT");
    sqlite3_close(db);
    if (!ok || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "make_results_database: could not write %s\n", target.c_str());
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testing_support {

// Makes an empty results database at path with the build's own tool; a failure fails the test.
void MakeEmptyDatabase(const QString &path);

// An empty results database, made by the build's tool in a temporary folder of its own. Exec and Rows go to the file straight through SQLite, not through
// the program's database layer, so they see only what that layer has committed.
class ResultsDatabase {
public:
    ResultsDatabase();

    QString Path() const { return m_path; }
    // A path in the same temporary folder, for files a test makes itself.
    QString File(const QString &name) const { return m_folder.filePath(name); }
    // Writes a file of that name into the folder and returns its path.
    QString WriteFile(const QString &name, const QByteArray &content) const;

    // Runs one or more statements; a failure fails the test.
    void Exec(const QString &sql) const;
    // The rows of a query, each row's values joined by "\t" (Null as "<Null>").
    QStringList Rows(const QString &query) const;

private:
    QTemporaryDir m_folder;
    QString m_path;
};

} // namespace testing_support

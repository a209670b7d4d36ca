#pragma once

#include "analysis/clsProgram.h"
#include "analysis/clsUser.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace platform::listview {
class ListItems;
}

// The rules the analysis window's lists share: the texts a row shows for a record, the software
// filter, sorting by a column header and the CSV export.
namespace modListView {

// "Last login" as the user list shows it: "YYYY-MM-DD hh:mm:ss" (24-hour clock), or
// "0 (unknown)" for an account that never logged in (1 January 1000, 00:00:00).
QString LastLoginText(const support::LocalDateTime &LastLogin);

// The texts of a user's row, by column from 0: name, path, "Yes"/"No" twice, last login.
QString UserText(const clsUser &user, int column);
// The texts of a program's row, by column from 0: computer, program, version, publisher,
// install source.
QString ProgramText(const clsProgram &program, int column);

// The records of colAllPrograms, in order, whose Computer equals strComputer (or strComputer is
// "All computers") and whose Program equals strProgram (or strProgram is "All programs");
// both comparisons exact and case-sensitive.
QList<clsProgram> ProgramsShown(const QList<clsProgram> &colAllPrograms, const QString &strComputer,
                                const QString &strProgram);

// A click on column header number (from 1): the same header as the last click switches the
// direction, any other keeps it; the list is then sorted on that column.
void SortOnColumn(platform::listview::ListItems &list, int16_t &intLastColumn, int16_t number);

// One value as a CSV field: a value that begins with "=", "+", "-", "@", a tab or CR gets an
// apostrophe in front, so that a spreadsheet reads it as text rather than run it as a formula; then the field
// is put in double quotes, with its double quotes doubled, when it holds a comma, a double quote,
// CR or LF, and otherwise left as it is.
QString CsvValue(const QString &value);

// The export of a list: strHeader, then per row in the list's current order the values of
// columns (from 0) joined by ","; every line ends with CR LF.
QString ExportText(const platform::listview::ListItems &list, const QString &strHeader,
                   const std::vector<int> &columns);

// Asks for the export file through the save dialog and writes strText and one more CR LF to it
// in UTF-8. The file is replaced only once it is completely written. A cancelled dialog ends
// silently; any other failure shows a critical message: strFailure, two line breaks and the
// reason.
void ExportList(const QString &strText, const QString &strFailure);

} // namespace modListView

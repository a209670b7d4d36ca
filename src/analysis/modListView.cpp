#include "analysis/modListView.h"

#include "platform/listview/ListItems.h"
#include "platform/shell/Shell.h"

#include <QSaveFile>

#include <cerrno>

namespace modListView {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString yesNo(bool flag) { return flag ? QStringLiteral("Yes") : QStringLiteral("No"); }

} // namespace

QString LastLoginText(const support::LocalDateTime &LastLogin)
{
    if (LastLogin == support::LocalDateTime(QDate(1000, 1, 1), QTime(0, 0)))
        return QStringLiteral("0 (unknown)");
    return support::DateAndTimeText(LastLogin);
}

QString UserText(const clsUser &user, int column)
{
    switch (column) {
    case 0:
        return user.Username();
    case 1:
        return user.UserPath();
    case 2:
        return yesNo(user.AccountDisabled());
    case 3:
        return yesNo(user.PasswordNeverExpires());
    default:
        return LastLoginText(user.LastLogin());
    }
}

QString ProgramText(const clsProgram &program, int column)
{
    switch (column) {
    case 0:
        return program.Computer();
    case 1:
        return program.Program();
    case 2:
        return program.version();
    case 3:
        return program.Publisher();
    default:
        return program.InstallSource();
    }
}

QList<clsProgram> ProgramsShown(const QList<clsProgram> &colAllPrograms, const QString &strComputer,
                                const QString &strProgram)
{
    const bool allComputers = strComputer == QStringLiteral("All computers");
    const bool allPrograms = strProgram == QStringLiteral("All programs");
    QList<clsProgram> shown;
    for (const clsProgram &program : colAllPrograms) {
        if ((allComputers || program.Computer() == strComputer) && (allPrograms || program.Program() == strProgram))
            shown.append(program);
    }
    return shown;
}

void SortOnColumn(platform::listview::ListItems &list, int16_t &intLastColumn, int16_t number)
{
    if (number == intLastColumn)
        list.setSortOrder(list.SortOrder() == platform::listview::lvwAscending ? platform::listview::lvwDescending
                                                                                : platform::listview::lvwAscending);
    list.setSortKey(number - 1);
    intLastColumn = number;
}

QString CsvValue(const QString &value)
{
    // Names and versions come from other computers' exports: a spreadsheet would run a cell that
    // begins like a formula (a tab or a carriage return before it included), and an apostrophe in
    // front makes it text.
    const bool formula = !value.isEmpty() && QStringView(u"=+-@\t\r").contains(value.front());
    QString field = formula ? u'\'' + value : value;
    if (!field.contains(u',') && !field.contains(u'"') && !field.contains(u'\r') && !field.contains(u'\n'))
        return field;
    field.replace(u'"', QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

QString ExportText(const platform::listview::ListItems &list, const QString &strHeader, const std::vector<int> &columns)
{
    QString text = strHeader + kCrLf;
    for (int i = 0; i < list.Count(); ++i) {
        QStringList values;
        for (int column : columns)
            values << CsvValue(list.Text(i, column));
        text += values.join(u',') + kCrLf;
    }
    return text;
}

void ExportList(const QString &strText, const QString &strFailure)
{
    platform::shell::FileDialog dlgOpenFile;
    dlgOpenFile.kind = platform::shell::FileDialog::Save;
    dlgOpenFile.title = QStringLiteral("Save export file...");
    dlgOpenFile.filter = QStringLiteral("CSV files (*.csv) | *.csv");
    dlgOpenFile.defaultExt = QStringLiteral("csv");
    const std::optional<QString> fileName = platform::shell::Current().GetFileName(dlgOpenFile);
    if (!fileName)
        return;
    // Written beside the chosen file and renamed over it only when complete: a failed export
    // never destroys the file that was there. Unbuffered, so that the one write meets every
    // failure itself (a buffered write's failure at commit is not reported); a short write (a
    // full disk) counts as a failure.
    QSaveFile file(*fileName);
    const QByteArray bytes = (strText + kCrLf).toUtf8();
    QString failure;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        failure = file.errorString();
    } else if (file.write(bytes) != bytes.size()) {
        failure = file.error() != QFileDevice::NoError ? file.errorString() : qt_error_string(errno);
        file.cancelWriting();
    }
    if (failure.isEmpty() && !file.commit())
        failure = file.errorString();
    if (!failure.isEmpty())
        platform::shell::MsgBox(strFailure + kCrLf + kCrLf + failure, platform::shell::vbCritical,
                                QStringLiteral("Error"));
}

} // namespace modListView

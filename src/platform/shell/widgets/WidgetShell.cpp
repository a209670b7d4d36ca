#include "platform/shell/widgets/WidgetShell.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QUrl>

#include <algorithm>
#include <utility>
#include <vector>

namespace platform::shell {

namespace {

QMessageBox::Icon iconOf(int style)
{
    switch (style & 0x70) {
    case vbCritical:
        return QMessageBox::Critical;
    case vbQuestion:
        return QMessageBox::Question;
    case vbExclamation:
        return QMessageBox::Warning;
    case vbInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

// The buttons of a style, each with the answer it gives.
std::vector<std::pair<QMessageBox::StandardButton, int>> buttonsOf(int style)
{
    switch (style & 7) {
    case vbOKCancel:
        return {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}};
    case vbAbortRetryIgnore:
        return {{QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}};
    case vbYesNoCancel:
        return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
    case vbYesNo:
        return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}};
    case vbRetryCancel:
        return {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}};
    default:
        return {{QMessageBox::Ok, vbOK}};
    }
}

// The window the seam's dialogs open over: the dialog in front, else the active window, else the
// program's main window, also while it waits hidden behind the notification-area icon.
QWidget *owner()
{
    if (QWidget *front = QApplication::activeModalWidget())
        return front;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto main = std::find_if(windows.begin(), windows.end(), [](QWidget *window) { return qobject_cast<QMainWindow *>(window); });
    return main == windows.end() ? nullptr : *main;
}

} // namespace

int WidgetShell::MessageBox(const QString &prompt, int style, const QString &title)
{
    QMessageBox box(iconOf(style), title, prompt, QMessageBox::NoButton, owner());
    // Prompts may carry text from outside (a web server's status line, a file name): never markup.
    box.setTextFormat(Qt::PlainText);
    const auto buttons = buttonsOf(style);
    for (const auto &[button, answer] : buttons)
        box.addButton(button);
    box.setDefaultButton(buttons.front().first);
    const auto chosen = static_cast<QMessageBox::StandardButton>(ExecWindowModal(box));
    for (const auto &[button, answer] : buttons) {
        if (button == chosen)
            return answer;
    }
    // Closed with Esc or the close box: the cancelling answer where there is one.
    return buttons.size() == 1 ? buttons.front().second : buttons.back().second;
}

bool WidgetShell::OpenDocument(const QString &target)
{
    const QUrl url = QDir::isAbsolutePath(target) ? QUrl::fromLocalFile(target) : QUrl(target);
    return QDesktopServices::openUrl(url);
}

std::optional<QString> WidgetShell::BrowseForFolder(const QString &title, const QString &root)
{
    QFileDialog box(owner(), title, root.isEmpty() ? QDir::homePath() : root);
    box.setFileMode(QFileDialog::Directory);
    box.setOption(QFileDialog::ShowDirsOnly);
    if (ExecWindowModal(box) != QDialog::Accepted || box.selectedFiles().value(0).isEmpty())
        return std::nullopt;
    return box.selectedFiles().constFirst();
}

int WidgetShell::ExecWindowModal(QDialog &dialog)
{
    dialog.setWindowModality(Qt::WindowModal);
    return dialog.exec();
}

QString WidgetShell::QtFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList lines;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed();
        lines << (description.contains(u'(') ? description : QStringLiteral("%1 (%2)").arg(description, pattern));
    }
    return lines.join(QStringLiteral(";;"));
}

std::optional<QString> WidgetShell::GetFileName(const FileDialog &dialog)
{
    QFileDialog box(owner(), dialog.title, {}, QtFilter(dialog.filter));
    box.setAcceptMode(dialog.kind == FileDialog::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    box.setFileMode(dialog.kind == FileDialog::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    box.setDefaultSuffix(dialog.defaultExt);
    if (!dialog.fileName.isEmpty())
        box.selectFile(dialog.fileName);
    if (ExecWindowModal(box) != QDialog::Accepted || box.selectedFiles().isEmpty())
        return std::nullopt;
    return box.selectedFiles().constFirst();
}

} // namespace platform::shell

#include "platform/shell/Shell.h"

#include "support/Installed.h"
#include "support/NameBytes.h"
#include "Version.h"

#include <QProcess>

#include <cstdio>

namespace platform::shell {

int FirstButton(int style)
{
    switch (style & 7) {
    case vbAbortRetryIgnore:
        return vbAbort;
    case vbYesNoCancel:
    case vbYesNo:
        return vbYes;
    case vbRetryCancel:
        return vbRetry;
    default:
        return vbOK;
    }
}

int HeadlessShell::MessageBox(const QString &prompt, int style, const QString &title)
{
    WriteErrorLine(prompt, title);
    return FirstButton(style);
}

bool HeadlessShell::OpenDocument(const QString &target)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {target});
}

std::optional<QString> HeadlessShell::BrowseForFolder(const QString &, const QString &) { return std::nullopt; }

std::optional<QString> HeadlessShell::GetFileName(const FileDialog &) { return std::nullopt; }

Shell &Current()
{
    static HeadlessShell headless;
    return support::Installed<Shell>::Or(headless);
}

void Install(Shell *shell) { support::Installed<Shell>::Install(shell); }

namespace {

MessageBoxRecord &record()
{
    static MessageBoxRecord shown;
    return shown;
}

QString programTitleOr(const QString &title) { return title.isEmpty() ? QString::fromUtf8(support::ProgramTitle) : title; }

} // namespace

int MsgBox(const QString &prompt, int style, const QString &title)
{
    ++record().count;
    record().last = prompt;
    return Current().MessageBox(prompt, style, programTitleOr(title));
}

const MessageBoxRecord &MessageBoxesShown() { return record(); }

void WriteErrorLine(const QString &text, const QString &title)
{
    std::fprintf(stderr, "%s\n", support::Printed(programTitleOr(title) + QStringLiteral(": ") + text).constData());
}

} // namespace platform::shell

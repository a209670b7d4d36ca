#include "platform/shell/Shell.h"

#include "support/Installed.h"
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
    std::fprintf(stderr, "%s: %s\n", qUtf8Printable(title), qUtf8Printable(prompt));
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

int MsgBox(const QString &prompt, int style, const QString &title)
{
    return Current().MessageBox(prompt, style, title.isEmpty() ? QString::fromUtf8(support::ProgramTitle) : title);
}

} // namespace platform::shell

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
    const QByteArray bytes = (programTitleOr(title) + QStringLiteral(": ") + text).toUtf8();
    const auto escaped = [](char byte) {
        return QByteArray("\\x") + QByteArray::number(uchar(byte), 16).toUpper().rightJustified(2, '0');
    };
    QByteArray line;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar byte = bytes[i];
        // C0 and DEL are one byte; a C1 control (U+0080 to U+009F) is 0xC2 and a byte below 0xA0.
        const bool c1 = byte == 0xC2 && i + 1 < bytes.size() && uchar(bytes[i + 1]) < 0xA0;
        if (c1) {
            line += escaped(bytes[i]) + escaped(bytes[i + 1]);
            ++i;
        } else {
            line += byte < 0x20 || byte == 0x7F ? escaped(bytes[i]) : QByteArray(1, bytes[i]);
        }
    }
    std::fprintf(stderr, "%s\n", line.constData());
}

} // namespace platform::shell

#pragma once

#include <QString>

#include <optional>

namespace platform::shell {

// Message-box styles and answers, with the numbers the program's steps compare.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};

enum MsgBoxResult : int { vbOK = 1, vbCancel = 2, vbAbort = 3, vbRetry = 4, vbIgnore = 5, vbYes = 6, vbNo = 7 };

// The settings of a file dialog: its kind, title, filter ("Description (*.ext)|*.ext", pairs
// separated by "|"), the suffix added to a name typed without one, and the name it starts with.
// A save dialog asks before it overwrites a file; an open dialog takes only existing files.
struct FileDialog {
    enum Kind { Open, Save };
    Kind kind = Open;
    QString title;
    QString filter;
    QString defaultExt;
    QString fileName;
};

// The one seam through which every part of the program reaches the desktop: message boxes,
// opening documents and web addresses, the folder picker and the file dialogs. The window side installs an
// implementation with real dialogs; without one, a headless implementation answers (see
// HeadlessShell); tests install their own to answer prompts.
class Shell {
public:
    virtual ~Shell() = default;

    // Shows prompt with the buttons and icon of style; returns the button chosen.
    virtual int MessageBox(const QString &prompt, int style, const QString &title) = 0;
    // Opens a web address, mail link, folder or file with the desktop's handler.
    virtual bool OpenDocument(const QString &target) = 0;
    // Lets the user pick a folder below the folder root (empty: anywhere); nothing when cancelled.
    virtual std::optional<QString> BrowseForFolder(const QString &title, const QString &root) = 0;
    // Shows a file dialog; the chosen file's full path, nothing when cancelled.
    virtual std::optional<QString> GetFileName(const FileDialog &dialog) = 0;
};

// Without a screen, and for an unattended run: a message box is written to the standard error
// stream (WriteErrorLine) and answered with its first button, documents are handed to xdg-open,
// and the folder picker and file dialogs are cancelled.
class HeadlessShell : public Shell {
public:
    int MessageBox(const QString &prompt, int style, const QString &title) override;
    bool OpenDocument(const QString &target) override;
    std::optional<QString> BrowseForFolder(const QString &title, const QString &root) override;
    std::optional<QString> GetFileName(const FileDialog &dialog) override;
};

// The implementation in use; the headless one until another is installed.
Shell &Current();
// Installs shell (not owned) as the one in use; nullptr restores the headless one.
void Install(Shell *shell);

// The call every step makes: an empty title means the program's title.
int MsgBox(const QString &prompt, int style = vbOKOnly, const QString &title = {});

// What MsgBox has shown so far: how many boxes, and the text of the last one. An unattended run,
// whose boxes go to standard error, counts a task during which one was shown as failed.
struct MessageBoxRecord {
    int count = 0;
    QString last;
};
const MessageBoxRecord &MessageBoxesShown();

// Writes "title: text" to standard error as one line (an empty title means the program's title),
// as support::Printed gives it: a backslash as "\\", each control character and each byte of a
// name kept by support::KeptBytes as "\xHH", so that no name in it (a file name with a line break
// in it, say) can pass for another, or for a line of its own in what cron mails.
void WriteErrorLine(const QString &text, const QString &title = {});

// The answer a style's first button gives (OK, Abort, Yes or Retry).
int FirstButton(int style);

} // namespace platform::shell

#pragma once

#include "platform/shell/Shell.h"

class QDialog;

namespace platform::shell {

// The desktop seam with real dialogs: QMessageBox, QDesktopServices and QFileDialog.
class WidgetShell : public Shell {
public:
    int MessageBox(const QString &prompt, int style, const QString &title) override;
    bool OpenDocument(const QString &target) override;
    std::optional<QString> BrowseForFolder(const QString &title, const QString &root) override;
    std::optional<QString> GetFileName(const FileDialog &dialog) override;

    // A filter of "Description|pattern" pairs as Qt's file dialog takes it: one line per pair,
    // "Description (pattern)" unless the description already names its pattern.
    static QString QtFilter(const QString &filter);

    // Runs dialog modal to the windows it was opened over, not to the whole program: a dialog
    // modal to the whole program also blocks the icon in the notification area, so that a main
    // window waiting there could not be brought back while the dialog is open. Returns its result.
    static int ExecWindowModal(QDialog &dialog);
};

} // namespace platform::shell

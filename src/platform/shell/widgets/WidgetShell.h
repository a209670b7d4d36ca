#pragma once

#include "platform/shell/Shell.h"

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
};

} // namespace platform::shell

#include "gui/frmMain.h"
#include "platform/shell/widgets/NotifyArea.h"
#include "platform/shell/widgets/WidgetShell.h"

#include <QApplication>

#include <csignal>

namespace {

QtMessageHandler standardHandler = nullptr;

// Without a screen nobody reads Qt's notes about the stand-in platform or a missing runtime
// folder, but cron mails them every night: only real failures are let through.
void OnlyFailures(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if ((type == QtCriticalMsg || type == QtFatalMsg) && standardHandler)
        standardHandler(type, context, message);
}

} // namespace

int main(int argc, char *argv[])
{
    // A file-size limit (ulimit -f) would otherwise kill the program at the first write past it;
    // ignored, the write fails and the step that made it reports the failure.
    std::signal(SIGXFSZ, SIG_IGN);

    // Without a display (cron, a console login, CI) the program still runs: the unattended scan
    // needs no screen, so Qt's offscreen platform stands in for one.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        standardHandler = qInstallMessageHandler(OnlyFailures);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmere"));
    platform::shell::WidgetShell shell;
    platform::shell::Install(&shell);
    platform::shell::SystemTrayArea notifyArea;
    platform::shell::InstallNotifyArea(&notifyArea);

    frmMain window(QApplication::arguments().mid(1));
    window.MDIForm_Load();
    window.show();
    return QApplication::exec();
}

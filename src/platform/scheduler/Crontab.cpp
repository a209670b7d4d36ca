#include "platform/scheduler/Crontab.h"

#include <QFile>
#include <QProcess>
#include <QSaveFile>

namespace platform::scheduler {

namespace {

QString &crontabFile()
{
    static QString file;
    return file;
}

constexpr int CommandTimeout = 30000;

// Runs the crontab command with its messages in English, which ReadCrontab looks at.
bool runCrontab(QProcess &crontab, const QStringList &arguments, const QByteArray &input = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    crontab.setProcessEnvironment(environment);
    crontab.start(QStringLiteral("crontab"), arguments);
    if (!crontab.waitForStarted(CommandTimeout))
        return false;
    if (!input.isEmpty())
        crontab.write(input);
    crontab.closeWriteChannel();
    if (!crontab.waitForFinished(CommandTimeout)) {
        crontab.kill();
        crontab.waitForFinished();
        return false;
    }
    return crontab.exitStatus() == QProcess::NormalExit && crontab.exitCode() == 0;
}

} // namespace

std::optional<QByteArray> ReadCrontab()
{
    if (!crontabFile().isEmpty()) {
        QFile file(crontabFile());
        if (!file.exists())
            return QByteArray();
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }
    QProcess crontab;
    if (runCrontab(crontab, {QStringLiteral("-l")}))
        return crontab.readAllStandardOutput();
    // The one failure that is no failure: the user has not had a crontab yet.
    if (crontab.exitStatus() == QProcess::NormalExit && crontab.readAllStandardError().startsWith("no crontab for "))
        return QByteArray();
    return std::nullopt;
}

bool WriteCrontab(const QByteArray &content)
{
    if (!crontabFile().isEmpty()) {
        QSaveFile file(crontabFile());
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
    }
    QProcess crontab;
    return runCrontab(crontab, {QStringLiteral("-")}, content);
}

void SetCrontabFile(const QString &file) { crontabFile() = file; }

} // namespace platform::scheduler

#include "common/TestSupport.h"

#include "common/ResultsDatabase.h"

#include "platform/scheduler/Crontab.h"
#include "support/ProgramFolder.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

namespace testing_support {

TempProgramFolder::TempProgramFolder(const QString &namePrefix)
    : m_folder(QDir::tempPath() + u'/' + (namePrefix.isEmpty() ? QCoreApplication::applicationName() : namePrefix)
               + QStringLiteral("-XXXXXX")),
      m_oldConfigHome(qgetenv("XDG_CONFIG_HOME")), m_hadConfigHome(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
{
    support::SetProgramFolder(m_folder.path());
    qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    platform::scheduler::SetCrontabFile(CrontabFile());
}

TempProgramFolder::~TempProgramFolder()
{
    support::SetProgramFolder({});
    platform::scheduler::SetCrontabFile({});
    if (m_hadConfigHome)
        qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

QString TempProgramFolder::Path() const { return m_folder.path() + u'/'; }

void TempProgramFolder::Write(const QString &name, const QByteArray &content) const
{
    QFile file(File(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

QByteArray TempProgramFolder::Read(const QString &name) const
{
    QFile file(File(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString TempProgramFolder::InstallProgram(const QString &name) const
{
    const QString target = File(name);
    QFile::copy(QStringLiteral(QUILL_EXECUTABLE), target);
    QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::ExeOwner);
    return target;
}

void TempProgramFolder::InstallDatabase() const { MakeEmptyDatabase(File(QStringLiteral("NetworkInfo.mdb"))); }

QString CronCommand(const QString &line)
{
    QString command;
    bool escaping = false;
    for (const QChar c : line.section(u' ', 5)) {
        if (escaping && c != u'\\' && c != u'%')
            command += u'\\';
        else if (!escaping && c == u'%')
            break;
        escaping = !escaping && c == u'\\';
        if (!escaping)
            command += c;
    }
    return escaping ? command + u'\\' : command;
}

bool RunUntil(const std::function<bool()> &done, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    // What done() said when the wait ended: a condition that another process keeps flipping may
    // already say otherwise when asked once more.
    bool held = done();
    while (!held && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        held = done();
    }
    return held;
}

ScriptedShell::ScriptedShell() { platform::shell::Install(this); }

ScriptedShell::~ScriptedShell() { platform::shell::Install(nullptr); }

int ScriptedShell::MessageBox(const QString &prompt, int style, const QString &title)
{
    prompts.push_back({prompt, style, title});
    if (answers.empty())
        return platform::shell::FirstButton(style);
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

bool ScriptedShell::OpenDocument(const QString &target)
{
    opened << target;
    return true;
}

namespace {

// The next scripted answer of a picker or dialog; none left, or an empty one, cancels.
std::optional<QString> nextAnswer(std::deque<QString> &answers)
{
    if (answers.empty())
        return std::nullopt;
    const QString answer = answers.front();
    answers.pop_front();
    if (answer.isEmpty())
        return std::nullopt;
    return answer;
}

} // namespace

std::optional<QString> ScriptedShell::BrowseForFolder(const QString &, const QString &) { return nextAnswer(folders); }

std::optional<QString> ScriptedShell::GetFileName(const platform::shell::FileDialog &dialog)
{
    fileDialogs.push_back(dialog);
    return nextAnswer(files);
}

void ProgressRecorder::setMax(double max)
{
    m_max = max;
    maxes.push_back(max);
    if (onChange)
        onChange();
}

void ProgressRecorder::setValue(double value)
{
    m_value = value;
    values.push_back(value);
    if (onChange)
        onChange();
}

void ProgressRecorder::setCaption(const QString &caption)
{
    m_caption = caption;
    captions << caption;
    if (onChange)
        onChange();
}

} // namespace testing_support

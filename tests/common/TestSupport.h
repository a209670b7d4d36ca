#pragma once

#include "platform/shell/Shell.h"
#include "support/ProgressPair.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <ostream>

// Readable texts in test failure messages.
inline void PrintTo(const QString &text, std::ostream *os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList &list, std::ostream *os) { *os << '{' << list.join(", ").toStdString() << '}'; }

namespace testing_support {

// A fresh program folder, per-user store and crontab for one test: the program folder points at
// a temporary folder, XDG_CONFIG_HOME at another, and the user's crontab at a file in that
// other folder (so no test reaches the real one by accident); all are restored when the object
// goes. The folder's name begins with namePrefix.
class TempProgramFolder {
public:
    explicit TempProgramFolder(const QString &namePrefix = {});
    ~TempProgramFolder();

    // The program folder, with its trailing "/".
    QString Path() const;
    QString File(const QString &name) const { return Path() + name; }
    QString ConfigHome() const { return m_config.path(); }
    QString CrontabFile() const { return ConfigHome() + QStringLiteral("/crontab"); }

    void Write(const QString &name, const QByteArray &content) const;
    // A copy of the program in this folder, so that a process of it works on this folder's
    // files; returns its path.
    QString InstallProgram(const QString &name = QStringLiteral("quillmere")) const;
    // An empty results database, made by the build's tool, as this folder's NetworkInfo.mdb.
    void InstallDatabase() const;
    QByteArray Read(const QString &name) const;

private:
    QTemporaryDir m_folder;
    QTemporaryDir m_config;
    QByteArray m_oldConfigHome;
    bool m_hadConfigHome;
};

// Lets the message loop run until done() holds or the time is up; true when it held.
bool RunUntil(const std::function<bool()> &done, int milliseconds);

// What cron hands to the shell from one of our crontab lines, by the rule the cron package
// follows: the text after the five time fields up to the first "%" that no backslash escapes;
// "\\" gives one backslash and "\%" a "%", a backslash before anything else stays.
QString CronCommand(const QString &line);

// A desktop seam that answers message boxes from a script and records what was asked.
class ScriptedShell : public platform::shell::Shell {
public:
    ScriptedShell();
    ~ScriptedShell() override;

    struct Prompt {
        QString text;
        int style;
        QString title;
    };

    // Answers for the next message boxes, in order; without one, a box gets its first button.
    std::deque<int> answers;
    // Answers for the next folder pickers; an empty text stands for a cancelled picker.
    std::deque<QString> folders;
    // Answers for the next file dialogs, in the same way; every dialog shown is recorded.
    std::deque<QString> files;
    std::vector<platform::shell::FileDialog> fileDialogs;
    std::vector<Prompt> prompts;
    QStringList opened;

    int MessageBox(const QString &prompt, int style, const QString &title) override;
    bool OpenDocument(const QString &target) override;
    std::optional<QString> BrowseForFolder(const QString &title, const QString &root) override;
    std::optional<QString> GetFileName(const platform::shell::FileDialog &dialog) override;
};

// A progress pair that records every change, for checking what a step showed and in which order.
class ProgressRecorder : public support::ProgressBar, public support::StatusLabel {
public:
    double Max() const override { return m_max; }
    void setMax(double max) override;
    double Value() const override { return m_value; }
    void setValue(double value) override;
    QString Caption() const override { return m_caption; }
    void setCaption(const QString &caption) override;

    QStringList captions;     // every caption set, in order
    std::vector<double> maxes; // every Max set, in order
    std::vector<double> values; // every Value set, in order
    // Called after every change; tests use it to act in the middle of a step (press Stop, ...).
    std::function<void()> onChange;

private:
    double m_max = 100;
    double m_value = 0;
    QString m_caption;
};

} // namespace testing_support

#include "platform/scheduler/JobScheduler.h"

#include "platform/directory/NssDirectory.h"
#include "platform/scheduler/Crontab.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <optional>

namespace platform::scheduler {

namespace {

constexpr uint8_t EveryWeekday = 0x7F;
constexpr uint32_t MillisecondsPerDay = 24 * 3600 * 1000;

// Our lines: five time fields, the command, and the marker with the job's identifier. A line
// that begins with "#" is a comment, also one that a user made of our line to switch it off.
const QRegularExpression JobLine(QStringLiteral(
    R"(^\s*([^#\s]\S*)\s+(\S+)\s+(\S+)\s+\S+\s+(\S+)\s+(.*\S)\s+# Quillmere job (\d+)\s*$)"));

// Cron's weekday numbers: Sunday is 0; our bit 0 is Monday.
int cronWeekday(int bit) { return (bit + 1) % 7; }

QString cronList(uint32_t mask, int bits, int (*number)(int))
{
    QList<int> numbers;
    for (int bit = 0; bit < bits; ++bit) {
        if (mask & (1u << bit))
            numbers << number(bit);
    }
    std::sort(numbers.begin(), numbers.end());
    QStringList texts;
    for (int n : numbers)
        texts << QString::number(n);
    return texts.join(u',');
}

uint32_t maskOf(const QString &field, int bits, int (*number)(int))
{
    uint32_t mask = 0;
    for (const QString &piece : field.split(u',')) {
        bool ok = false;
        const int n = piece.toInt(&ok);
        for (int bit = 0; ok && bit < bits; ++bit) {
            if (number(bit) == n || (n == 7 && number(bit) == 0))
                mask |= 1u << bit;
        }
    }
    return mask;
}

int monthDay(int bit) { return bit + 1; }

QString marker(uint32_t id) { return QStringLiteral(" # Quillmere job ") + QString::number(id); }

// Cron reads "\\" as one backslash and "\%" as "%" (a "%" of its own ends the command and
// starts its input); a backslash before any other character stays.
QString cronEscaped(const QString &command)
{
    QString escaped;
    for (const QChar c : command) {
        if (c == u'\\' || c == u'%')
            escaped += u'\\';
        escaped += c;
    }
    return escaped;
}

// The command that cron hands to the shell from a field that cronEscaped wrote.
QString cronUnescaped(const QString &field)
{
    QString command;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == u'\\' && i + 1 < field.size() && (field[i + 1] == u'\\' || field[i + 1] == u'%'))
            ++i;
        command += field[i];
    }
    return command;
}

std::optional<QByteArray> cronLine(const AT_INFO &info, uint32_t id)
{
    const uint8_t weekdays = info.DaysOfWeek & EveryWeekday;
    const uint32_t monthDays = info.DaysOfMonth & 0x7FFFFFFF;
    if (!(info.Flags & JOB_RUN_PERIODICALLY) || info.JobTime >= MillisecondsPerDay || (!weekdays && !monthDays)
        || info.Command.trimmed().isEmpty() || !CronCanCarry(info.Command))
        return std::nullopt;
    const uint32_t minutes = info.JobTime / 60000;
    const QString dom = monthDays ? cronList(monthDays, 31, monthDay) : QStringLiteral("*");
    const QString dow = weekdays && (monthDays || weekdays != EveryWeekday) ? cronList(weekdays, 7, cronWeekday)
                                                                            : QStringLiteral("*");
    // One pass, so that a "%6" in the command is never taken for a place holder.
    return QStringLiteral("%1 %2 %3 * %4 %5%6")
        .arg(QString::number(minutes % 60), QString::number(minutes / 60), dom, dow, cronEscaped(info.Command),
             marker(id))
        .toUtf8();
}

std::optional<AT_ENUM> parseJob(const QByteArray &line)
{
    const QRegularExpressionMatch match = JobLine.match(QString::fromUtf8(line));
    if (!match.hasMatch())
        return std::nullopt;
    AT_ENUM job;
    job.JobId = match.captured(6).toUInt();
    job.JobTime = (match.captured(2).toUInt() * 60 + match.captured(1).toUInt()) * 60000;
    const QString dom = match.captured(3);
    const QString dow = match.captured(4);
    job.DaysOfMonth = dom == u'*' ? 0 : maskOf(dom, 31, monthDay);
    job.DaysOfWeek = dow == u'*' ? (dom == u'*' ? EveryWeekday : 0) : maskOf(dow, 7, cronWeekday);
    job.Flags = JOB_RUN_PERIODICALLY;
    job.Command = cronUnescaped(match.captured(5));
    return job;
}

} // namespace

// A line break would end the line early. Cron refuses a command field (the command and our
// marker) of more than 998 bytes; the marker is counted with the longest job number.
bool CronCanCarry(const QString &command)
{
    constexpr qsizetype LongestField = 998;
    return !command.contains(u'\n') && !command.contains(u'\r')
           && (cronEscaped(command) + marker(std::numeric_limits<uint32_t>::max())).toUtf8().size() <= LongestField;
}

JobScheduler::JobScheduler(const QString &server)
{
    if (!directory::NssDirectory::IsThisHost(server)) {
        m_status = ERROR_BAD_NETPATH;
        return;
    }
    const std::optional<QByteArray> content = ReadCrontab();
    if (!content) {
        m_status = ERROR_READ_FAULT;
        return;
    }
    m_lines = content->split('\n');
    if (m_lines.constLast().isEmpty())
        m_lines.removeLast();
}

uint32_t JobScheduler::Enum(std::vector<AT_ENUM> &jobs) const
{
    jobs.clear();
    for (const QByteArray &line : m_lines) {
        if (const auto job = parseJob(line))
            jobs.push_back(*job);
    }
    return m_status;
}

uint32_t JobScheduler::Del(uint32_t minJobId, uint32_t maxJobId)
{
    if (m_status != NERR_Success)
        return m_status;
    const qsizetype removed = m_lines.removeIf([&](const QByteArray &line) {
        const auto job = parseJob(line);
        return job && job->JobId >= minJobId && job->JobId <= maxJobId;
    });
    m_changed = m_changed || removed > 0;
    return NERR_Success;
}

uint32_t JobScheduler::Add(const AT_INFO &info, uint32_t &jobId)
{
    if (m_status != NERR_Success)
        return m_status;
    std::vector<AT_ENUM> jobs;
    Enum(jobs);
    uint32_t id = 1;
    for (const AT_ENUM &job : jobs)
        id = std::max(id, job.JobId + 1);
    const auto line = cronLine(info, id);
    if (!line)
        return ERROR_INVALID_PARAMETER;
    m_lines << *line;
    m_changed = true;
    jobId = id;
    return NERR_Success;
}

uint32_t JobScheduler::Commit()
{
    if (m_status != NERR_Success || !m_changed)
        return m_status;
    QByteArray content;
    for (const QByteArray &line : m_lines)
        content += line + '\n';
    if (!WriteCrontab(content))
        return ERROR_WRITE_FAULT;
    m_changed = false;
    return NERR_Success;
}

} // namespace platform::scheduler

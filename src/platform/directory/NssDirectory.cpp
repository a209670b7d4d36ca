#include "platform/directory/NssDirectory.h"

#include "support/ProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <optional>

namespace platform::directory {

namespace {

// What the shadow file says about one account.
struct ShadowStatus {
    bool disabled = false;
    bool neverExpires = false;
};

std::optional<long long> ShadowNumber(const QByteArray &field)
{
    bool ok = false;
    const long long value = field.toLongLong(&ok);
    return ok ? std::optional<long long>(value) : std::nullopt;
}

// Reads the shadow file ("name:password:lastchange:min:max:warn:inactive:expire:reserved",
// dates in days since 1970) into one status per account name. An unreadable file gives none.
QHash<QString, ShadowStatus> ReadShadow(const QString &path)
{
    QHash<QString, ShadowStatus> statuses;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return statuses;
    const long long today = static_cast<long long>(std::time(nullptr)) / 86400;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        QList<QByteArray> fields = line.split(':');
        while (fields.size() < 9)
            fields.append(QByteArray());
        ShadowStatus status;
        // Like the login tools, an expiry day of 0 or below means "no expiry".
        const auto expire = ShadowNumber(fields[7]);
        const bool expired = expire && *expire > 0 && today >= *expire;
        status.disabled = fields[1].startsWith('!') || expired;
        // The range that "chage -l" reports as "never"; text that is no number enforces nothing.
        const auto maxAge = ShadowNumber(fields[4]);
        status.neverExpires = !maxAge || *maxAge < 0 || *maxAge >= 10000;
        const QString name = QString::fromUtf8(fields[0]);
        if (!statuses.contains(name))
            statuses.insert(name, status);
    }
    return statuses;
}

// The lastlog file: one record of 292 bytes per uid at uid * 292, beginning with the login time
// as 32-bit seconds since 1970. The file is sparse: a uid that never logged on reads as zeros or
// lies past the end.
class LastlogFile {
public:
    explicit LastlogFile(const QString &path) : m_file(path) { m_open = m_file.open(QIODevice::ReadOnly); }

    std::optional<QDateTime> LastLogin(uid_t uid)
    {
        constexpr qint64 recordSize = 292;
        if (!m_open || !m_file.seek(static_cast<qint64>(uid) * recordSize))
            return std::nullopt;
        uint32_t seconds = 0;
        if (m_file.read(reinterpret_cast<char *>(&seconds), sizeof seconds) != sizeof seconds || seconds == 0)
            return std::nullopt;
        return QDateTime::fromSecsSinceEpoch(seconds);
    }

private:
    QFile m_file;
    bool m_open = false;
};

struct Account {
    QString name;
    uid_t uid;
    gid_t gid;
    QByteArray rawName;
};

std::vector<Account> ReadAccounts()
{
    std::vector<Account> accounts;
    QSet<QString> seen;
    setpwent();
    while (const passwd *entry = getpwent()) {
        const QString name = QString::fromUtf8(entry->pw_name);
        // Two NSS sources may list one account; the first one is the one that logs in.
        if (seen.contains(name))
            continue;
        seen.insert(name);
        accounts.push_back({name, entry->pw_uid, entry->pw_gid, QByteArray(entry->pw_name)});
    }
    endpwent();
    return accounts;
}

// The gids of every group account belongs to, its primary group first, each once.
std::vector<gid_t> GroupIds(const Account &account)
{
    int count = 32;
    std::vector<gid_t> gids(count);
    while (getgrouplist(account.rawName.constData(), account.gid, gids.data(), &count) < 0) {
        // count now holds the number needed; guard against a source that keeps asking for more.
        const int needed = std::max<int>(count, static_cast<int>(gids.size()) * 2);
        gids.resize(needed);
        count = needed;
    }
    gids.resize(count);
    std::vector<gid_t> unique;
    for (gid_t gid : gids)
        if (std::find(unique.begin(), unique.end(), gid) == unique.end())
            unique.push_back(gid);
    return unique;
}

// A name a computer can have: "..reg" names no computer, and a line break in a file name would
// split the computer list into two names.
bool IsComputerName(const QString &name)
{
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    const bool onlyDots = name.count(u'.') == name.size();
    return !onlyDots && std::none_of(name.begin(), name.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || forbidden.contains(c);
    });
}

class NssDomain : public DomainContainer {
public:
    NssDomain(QString name, NssDirectory::Files files) : m_name(std::move(name)), m_files(std::move(files)) {}

    QString Name() const override { return m_name; }

    std::vector<User> Users() override
    {
        const QHash<QString, ShadowStatus> shadow = ReadShadow(m_files.shadow);
        LastlogFile lastlog(m_files.lastlog);
        QHash<gid_t, QString> groupNames;
        std::vector<User> users;
        for (const Account &account : ReadAccounts()) {
            User user = MakeUser(m_name, account.name);
            const ShadowStatus status = shadow.value(account.name);
            user.Put(QStringLiteral("AccountDisabled"), status.disabled);
            user.Put(QStringLiteral("UserFlags"),
                     (status.disabled ? kAccountDisable : 0) | (status.neverExpires ? kDontExpirePassword : 0));
            if (const auto login = lastlog.LastLogin(account.uid))
                user.Put(QStringLiteral("LastLogin"), *login);
            std::vector<Group> groups;
            for (gid_t gid : GroupIds(account)) {
                const QString name = GroupName(gid, groupNames);
                // A gid without a group entry has nothing to name it by.
                if (!name.isEmpty())
                    groups.push_back(MakeGroup(m_name, name));
            }
            user.setGroups(std::move(groups));
            users.push_back(std::move(user));
        }
        return users;
    }

    std::vector<Group> Groups() override
    {
        std::vector<Group> groups;
        QSet<QString> seen;
        setgrent();
        while (const group *entry = getgrent()) {
            const QString name = NssDirectory::GroupName(entry->gr_name);
            if (seen.contains(name))
                continue;
            seen.insert(name);
            groups.push_back(MakeGroup(m_name, name));
        }
        endgrent();
        return groups;
    }

    std::vector<Computer> Computers() override
    {
        const QString host = NssDirectory::HostShortName();
        std::vector<Computer> computers{MakeComputer(m_name, host)};
        QDir exports(support::ProgramFolder() + QStringLiteral("Registry"));
        const QFileInfoList files =
            exports.entryInfoList({QStringLiteral("*.reg")}, QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo &file : files) {
            const QString name = file.fileName().chopped(4);
            // This host's software is read from its own package database, not from an export.
            if (file.fileName().endsWith(QStringLiteral(".reg")) && IsComputerName(name) && !NssDirectory::IsThisHost(name))
                computers.push_back(MakeComputer(m_name, name));
        }
        return computers;
    }

private:
    static QString GroupName(gid_t gid, QHash<gid_t, QString> &cache)
    {
        const auto found = cache.constFind(gid);
        if (found != cache.cend())
            return *found;
        const group *entry = getgrgid(gid);
        const QString name = entry ? NssDirectory::GroupName(entry->gr_name) : QString();
        cache.insert(gid, name);
        return name;
    }

    QString m_name;
    NssDirectory::Files m_files;
};

} // namespace

QString NssDirectory::HostShortName()
{
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0)
        return QStringLiteral("localhost");
    const QString host = QString::fromUtf8(name.data());
    return host.section(u'.', 0, 0);
}

QString NssDirectory::GroupName(const char *name)
{
    const QString group = QString::fromUtf8(name);
    return getpwnam(name) ? u'@' + group : group;
}

bool NssDirectory::IsThisHost(const QString &computer)
{
    if (computer.isEmpty() || computer == u"." || computer.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    // Without a host name HostShortName() says "localhost", which is handled above.
    std::array<char, 256> name{};
    if (gethostname(name.data(), name.size() - 1) != 0)
        return false;
    const QString full = QString::fromUtf8(name.data());
    return computer.compare(full.section(u'.', 0, 0), Qt::CaseInsensitive) == 0 ||
           computer.compare(full, Qt::CaseInsensitive) == 0;
}

QStringList NssDirectory::Domains() { return {HostShortName()}; }

std::unique_ptr<DomainContainer> NssDirectory::Bind(const QString &domain)
{
    const QString host = HostShortName();
    if (domain.isEmpty() || domain.compare(host, Qt::CaseInsensitive) != 0)
        throw DomainNotFound();
    return std::make_unique<NssDomain>(host, m_files);
}

} // namespace platform::directory

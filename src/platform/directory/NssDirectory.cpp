#include "platform/directory/NssDirectory.h"

#include "platform/directory/NssAccounts.h"
#include "support/NameBytes.h"
#include "support/ProgramFolder.h"

#include <QFile>
#include <QSet>

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
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

// An account the shadow file does not list has no maximum password age either.
constexpr ShadowStatus Unlisted{false, true};

std::optional<long long> ShadowNumber(const QByteArray &field)
{
    bool ok = false;
    const long long value = field.toLongLong(&ok);
    return ok ? std::optional<long long>(value) : std::nullopt;
}

// Reads the shadow file ("name:password:lastchange:min:max:warn:inactive:expire:reserved",
// dates in days since 1970) into one status per account name; nothing when it cannot be read.
std::optional<QHash<QByteArray, ShadowStatus>> ReadShadow(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QHash<QByteArray, ShadowStatus> statuses;
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
        if (!statuses.contains(fields[0]))
            statuses.insert(fields[0], status);
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

// The text of a group's name as it is stored and shown: "@" + name when an account has it too. A
// name that is no text keeps its bytes, so that it stands for no other name.
QString StoredGroupName(const QByteArray &name, bool shared)
{
    const QString text = support::NameText(name);
    return shared ? u'@' + text : text;
}

// object, marked when name, the bytes it was made from, is no valid UTF-8.
template <class Object>
Object Marked(Object object, const QByteArray &name)
{
    object.setUnreadableName(support::UnreadableName(name));
    return object;
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

// The names of the regular files in folder (or links to them) that end in ".reg", as the system
// holds them (a name need not be UTF-8), ordered by name without regard to letter case.
std::vector<QByteArray> ExportFileNames(const QString &folder)
{
    std::vector<QByteArray> names;
    DIR *listing = opendir(QFile::encodeName(folder).constData());
    if (!listing)
        return names;
    while (const dirent *entry = readdir(listing)) {
        struct stat info {};
        const QByteArray name(entry->d_name);
        if (name.endsWith(".reg") && fstatat(dirfd(listing), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode))
            names.push_back(name);
    }
    closedir(listing);
    std::sort(names.begin(), names.end(), [](const QByteArray &left, const QByteArray &right) {
        return support::KeptBytes(left).compare(support::KeptBytes(right), Qt::CaseInsensitive) < 0;
    });
    return names;
}

class NssDomain : public DomainContainer {
public:
    NssDomain(QString name, NssDirectory::Files files) : m_name(std::move(name)), m_files(std::move(files)) {}

    QString Name() const override { return m_name; }

    std::vector<User> Users() override
    {
        NssAccounts nss;
        const auto shadow = ReadShadow(m_files.shadow);
        LastlogFile lastlog(m_files.lastlog);
        QHash<gid_t, std::optional<Group>> groupOfGid;
        std::vector<User> users;
        for (const NssAccounts::Account &listed : nss.Accounts()) {
            const NssAccounts::Account account = nss.LookedUp(listed);
            User user = Marked(MakeUser(m_name, QString::fromUtf8(account.name)), account.name);
            // Without the shadow file nothing is known: enabled, with a password that expires.
            const ShadowStatus status = shadow ? shadow->value(account.name, Unlisted) : ShadowStatus{};
            user.Put(QStringLiteral("AccountDisabled"), status.disabled);
            user.Put(QStringLiteral("UserFlags"),
                     (status.disabled ? kAccountDisable : 0) | (status.neverExpires ? kDontExpirePassword : 0));
            if (const auto login = lastlog.LastLogin(account.uid))
                user.Put(QStringLiteral("LastLogin"), *login);
            std::vector<Group> groups;
            for (gid_t gid : nss.GroupIds(account)) {
                if (!groupOfGid.contains(gid))
                    groupOfGid.insert(gid, GroupOf(nss, gid));
                // A gid without a group entry has nothing to name it by.
                if (const std::optional<Group> &group = groupOfGid[gid])
                    groups.push_back(*group);
            }
            user.setGroups(std::move(groups));
            users.push_back(std::move(user));
        }
        return users;
    }

    std::vector<Group> Groups() override
    {
        NssAccounts nss;
        std::vector<Group> groups;
        QSet<QString> seen;
        for (const QByteArray &name : nss.GroupNames()) {
            Group group = NamedGroup(nss, name);
            // Names that are no text are told apart by their bytes, which GroupNames lists once.
            if (group.UnreadableName().isEmpty()) {
                if (seen.contains(group.Name()))
                    continue;
                seen.insert(group.Name());
            }
            groups.push_back(std::move(group));
        }
        return groups;
    }

    std::vector<Computer> Computers() override
    {
        const QString host = NssDirectory::HostShortName();
        std::vector<Computer> computers{MakeComputer(m_name, host)};
        for (const QByteArray &file : ExportFileNames(support::RegistryExportFolder())) {
            const QByteArray bytes = file.chopped(4);
            const QString name = QString::fromUtf8(bytes);
            Computer computer = Marked(MakeComputer(m_name, name), bytes);
            // This host's software is read from its own package database, not from an export. A
            // name that is no text is kept, marked, so that the software scan can say why its
            // export is not read.
            if (!computer.UnreadableName().isEmpty() || (IsComputerName(name) && !NssDirectory::IsThisHost(name)))
                computers.push_back(std::move(computer));
        }
        return computers;
    }

private:
    Group NamedGroup(NssAccounts &nss, const QByteArray &name) const
    {
        return Marked(MakeGroup(m_name, StoredGroupName(name, nss.SharesName(name))), name);
    }

    std::optional<Group> GroupOf(NssAccounts &nss, gid_t gid) const
    {
        const std::optional<QByteArray> name = nss.GroupName(gid);
        return name ? std::optional<Group>(NamedGroup(nss, *name)) : std::nullopt;
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

QString NssDirectory::GroupName(const char *name) { return StoredGroupName(name, getpwnam(name) != nullptr); }

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

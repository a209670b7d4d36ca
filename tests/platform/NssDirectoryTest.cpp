#include "common/TestSupport.h"
#include "platform/directory/NssDirectory.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ctime>
#include <map>

using namespace platform::directory;

namespace {

// What getent lists for a database (in NSS order), split into the fields of each line.
std::vector<QStringList> Getent(const QString &database)
{
    QProcess getent;
    getent.start(QStringLiteral("getent"), {database});
    EXPECT_TRUE(getent.waitForFinished(60000)) << "getent " << database.toStdString();
    std::vector<QStringList> lines;
    for (const QString &line : QString::fromUtf8(getent.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
        lines.push_back(line.split(u':'));
    return lines;
}

// Sorted and without repeats, so that a failure shows readable names.
std::string Sorted(QStringList list)
{
    list.sort();
    list.removeDuplicates();
    return list.join(u' ').toStdString();
}

int32_t ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const support::Error &error) {
        return error.Number();
    }
    return 0;
}

class NssDirectoryTest : public ::testing::Test {
protected:
    // This machine's users by name, read with the given shadow and lastlog files.
    std::map<QString, User> UsersWith(const QByteArray &shadow, const QByteArray &lastlog = {})
    {
        for (const auto &[name, content] : {std::pair{"shadow", shadow}, std::pair{"lastlog", lastlog}}) {
            QFile file(m_files.filePath(name));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        std::map<QString, User> users;
        for (const User &user : NssDirectory(Files()).Bind(NssDirectory::HostShortName())->Users())
            users.emplace(user.Name(), user);
        return users;
    }

    NssDirectory::Files Files() const { return {m_files.filePath("shadow"), m_files.filePath("lastlog")}; }

    QTemporaryDir m_files;
};

} // namespace

TEST_F(NssDirectoryTest, TheHostIsTheOneDomainInAnyLetterCase)
{
    const QString host = NssDirectory::HostShortName();
    EXPECT_FALSE(host.contains(u'.'));
    NssDirectory directory(Files());
    EXPECT_EQ(directory.Domains(), QStringList{host});
    EXPECT_EQ(directory.Bind(host.toUpper())->Name(), host);
    for (const QString &unknown : {QString(), host + QStringLiteral("x"), QStringLiteral("WORKGROUP")})
        EXPECT_EQ(ErrorOf([&] { directory.Bind(unknown); }), kDomainNotFound) << unknown.toStdString();
    EXPECT_EQ(DomainNotFound().Description(), QStringLiteral("Domain not found"));
}

// A group that shares its name with an account ("root", every private group) is named "@" + its name.
TEST_F(NssDirectoryTest, UsersGroupsAndMembershipsAreThoseGetentLists)
{
    const auto domain = NssDirectory(Files()).Bind(NssDirectory::HostShortName());
    std::map<QString, QStringList> memberships; // user: the names of its groups, in order
    QStringList users, groups, accounts, listedGroups;
    for (const User &user : domain->Users()) {
        users << user.Name();
        for (const Group &group : user.Groups())
            memberships[user.Name()] << group.Name();
    }
    for (const Group &group : domain->Groups())
        groups << group.Name();
    const std::vector<QStringList> passwd = Getent(QStringLiteral("passwd"));
    for (const QStringList &fields : passwd)
        accounts << fields[0];
    const auto shown = [&accounts](const QString &group) { return accounts.contains(group) ? u'@' + group : group; };
    ASSERT_TRUE(accounts.contains("root"));
    std::map<QString, QString> groupOfGid;
    for (const QStringList &fields : Getent(QStringLiteral("group"))) {
        listedGroups << shown(fields[0]);
        groupOfGid.emplace(fields.value(2), shown(fields[0]));
        for (const QString &member : fields.value(3).split(u',', Qt::SkipEmptyParts))
            if (users.contains(member)) { // a member may be no account of this machine
                EXPECT_TRUE(memberships[member].contains(shown(fields[0])))
                    << member.toStdString() << " in " << fields[0].toStdString();
            }
    }
    for (const QStringList &fields : passwd) {
        if (users.contains(fields[0]) && groupOfGid.count(fields.value(3))) { // the primary group comes first
            EXPECT_EQ(memberships[fields[0]].value(0).toStdString(), groupOfGid[fields.value(3)].toStdString());
        }
    }
    EXPECT_TRUE(groups.contains("@root"));
    EXPECT_EQ(Sorted(users), Sorted(accounts));
    EXPECT_EQ(users.size(), QSet<QString>(users.begin(), users.end()).size()) << "an account listed twice";
    EXPECT_EQ(Sorted(groups), Sorted(listedGroups));
}

TEST_F(NssDirectoryTest, ShadowDecidesDisabledAndNeverExpires)
{
    const std::vector<QStringList> accounts = Getent(QStringLiteral("passwd"));
    const long long today = static_cast<long long>(std::time(nullptr)) / 86400;
    const std::vector<std::tuple<QByteArray, bool, int>> cases = { // everything after "name:", disabled, flags
        {"$6$salt$hash:19000:0:90:7:::", false, 0},
        {"!$6$salt$hash:19000:0:90:7:::", true, kAccountDisable},
        {"!:19000::::::", true, kAccountDisable | kDontExpirePassword},
        {"*:19000:0:9999:7:::", false, 0},
        {"*:19000:0:10000:7:::", false, kDontExpirePassword},
        {"*:19000:0:99999:7:::", false, kDontExpirePassword},
        {"*:19000:0:-1:7:::", false, kDontExpirePassword},
        {"*:19000:0:90:7::1:", true, kAccountDisable},
        {"*:19000:0:90:7::" + QByteArray::number(today) + ":", true, kAccountDisable},
        {"*:19000:0:90:7::" + QByteArray::number(today + 1000) + ":", false, 0},
        {"*:19000:0:90:7::0:", false, 0},
        {"*", false, kDontExpirePassword}, // a cut line: no maximum age at all
    };
    ASSERT_GE(accounts.size(), cases.size() + 1) << "this machine has too few accounts";
    QByteArray shadow = "# comment line\n\n";
    for (size_t i = 0; i < cases.size(); ++i)
        shadow += accounts[i][0].toUtf8() + ':' + std::get<0>(cases[i]) + '\n';
    // A second line for an account does not override the first, as for the login tools.
    shadow += accounts[0][0].toUtf8() + ":!:1:0:99999:7:::\n";
    const auto users = UsersWith(shadow);
    for (size_t i = 0; i < cases.size(); ++i) {
        const auto &[fields, disabled, flags] = cases[i];
        EXPECT_EQ(users.at(accounts[i][0]).AccountDisabled(), disabled) << fields.toStdString();
        EXPECT_EQ(users.at(accounts[i][0]).Get(QStringLiteral("UserFlags")).toInt(), flags) << fields.toStdString();
    }
    // An account the shadow file does not list is enabled and has no maximum password age; every
    // account is enabled, and nothing says it never expires, when the file cannot be read.
    const User &unlisted = users.at(accounts[cases.size()][0]);
    EXPECT_FALSE(unlisted.AccountDisabled());
    EXPECT_EQ(unlisted.Get(QStringLiteral("UserFlags")).toInt(), kDontExpirePassword);
    for (const User &user : NssDirectory({m_files.filePath("missing"), {}}).Bind(NssDirectory::HostShortName())->Users()) {
        EXPECT_FALSE(user.AccountDisabled()) << user.Name().toStdString();
        EXPECT_EQ(user.Get(QStringLiteral("UserFlags")).toInt(), 0) << user.Name().toStdString();
    }
}

TEST_F(NssDirectoryTest, LastLoginComesFromTheRecordAtTheUid)
{
    // The three lowest uids, so the test file stays small.
    std::map<uint32_t, QString> byUid;
    for (const QStringList &fields : Getent(QStringLiteral("passwd")))
        byUid.emplace(fields.value(2).toUInt(), fields[0]);
    const std::vector<std::pair<uint32_t, QString>> low(byUid.begin(), byUid.end());
    ASSERT_GE(low.size(), 3u);

    const uint32_t known = 1700000123;      // 2023-11-14 22:15:23 UTC
    const uint32_t after2038 = 3000000000u; // past the signed 32-bit range
    QByteArray lastlog(static_cast<int>(low[2].first) * 292 + 2, '\0'); // the last record is cut short
    memcpy(lastlog.data() + low[0].first * 292, &known, sizeof known);
    memcpy(lastlog.data() + low[1].first * 292, &after2038, sizeof after2038);
    const auto users = UsersWith({}, lastlog);

    EXPECT_EQ(users.at(low[0].second).LastLogin().toSecsSinceEpoch(), known);
    EXPECT_EQ(users.at(low[1].second).LastLogin().toSecsSinceEpoch(), after2038);
    for (size_t i = 2; i < low.size(); ++i) // cut short, or past the end of the file
        EXPECT_EQ(ErrorOf([&] { users.at(low[i].second).LastLogin(); }), kPropertyNotFound) << low[i].second.toStdString();
}

TEST_F(NssDirectoryTest, ComputersAreThisHostAndEveryRegistryExport)
{
    testing_support::TempProgramFolder folder;
    const QString host = NssDirectory::HostShortName();
    QDir(folder.Path()).mkpath(QStringLiteral("Registry/folder.reg"));
    // Only names a computer can have, and none that names this host again.
    for (const QString &name : {QStringLiteral("zeta.reg"), QStringLiteral("Alpha.reg"), host.toUpper() + QStringLiteral(".reg"),
                                QStringLiteral("notes.txt"), QStringLiteral(".reg"), QStringLiteral("PC'1 ü.reg"),
                                QStringLiteral("..reg"), QStringLiteral("localhost.reg"), QStringLiteral("line\nbreak.reg"),
                                QStringLiteral("a:b.reg"), QStringLiteral("tab\t.reg")})
        folder.Write(QStringLiteral("Registry/") + name, "REGEDIT4\r\n");

    QStringList names;
    for (const Computer &computer : NssDirectory(Files()).Bind(host)->Computers())
        names << computer.Name();
    EXPECT_EQ(names, (QStringList{host, QStringLiteral("Alpha"), QStringLiteral("PC'1 ü"), QStringLiteral("zeta")}));
}

TEST(DirectoryObjectTest, AMissingPropertyRaisesWhenRead)
{
    User user = MakeUser(QStringLiteral("D"), QStringLiteral("u"));
    user.Put(QStringLiteral("UserFlags"), 0x10000);
    EXPECT_EQ(user.Get(QStringLiteral("userflags")).toInt(), 0x10000);
    EXPECT_EQ(ErrorOf([&] { user.LastLogin(); }), kPropertyNotFound);
    EXPECT_EQ(ErrorOf([&] { user.AccountDisabled(); }), kPropertyNotFound);
    user.Put(QStringLiteral("USERFLAGS"), QVariant());
    EXPECT_EQ(ErrorOf([&] { user.Get(QStringLiteral("UserFlags")); }), kPropertyNotFound);
}

#include "common/TestSupport.h"
#include "platform/directory/NssDirectory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>

#include <ctime>

using namespace platform::directory;

namespace {

const QString kShadow = QStringLiteral("shadow");
const QString kLastlog = QStringLiteral("lastlog");

// Account names and uids of this machine, in NSS order.
std::vector<std::pair<QString, uid_t>> Accounts()
{
    std::vector<std::pair<QString, uid_t>> accounts;
    setpwent();
    while (const passwd *entry = getpwent())
        accounts.emplace_back(QString::fromUtf8(entry->pw_name), entry->pw_uid);
    endpwent();
    return accounts;
}

class NssDirectoryTest : public ::testing::Test {
protected:
    std::vector<User> UsersWith(const QByteArray &shadow, const QByteArray &lastlog = {})
    {
        Write(kShadow, shadow);
        Write(kLastlog, lastlog);
        return NssDirectory(Files()).Bind(NssDirectory::HostShortName())->Users();
    }

    NssDirectory::Files Files() const { return {m_files.filePath(kShadow), m_files.filePath(kLastlog)}; }

    void Write(const QString &name, const QByteArray &content) const
    {
        QFile file(m_files.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    static const User &Find(const std::vector<User> &users, const QString &name)
    {
        for (const User &user : users)
            if (user.Name() == name)
                return user;
        throw std::runtime_error("no such user");
    }

    QTemporaryDir m_files;
};

int32_t ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const support::Error &error) {
        return error.Number();
    }
    return 0;
}

} // namespace

TEST_F(NssDirectoryTest, TheHostIsTheOneDomainInAnyLetterCase)
{
    const QString host = NssDirectory::HostShortName();
    EXPECT_FALSE(host.contains(u'.'));
    NssDirectory directory(Files());
    EXPECT_EQ(directory.Domains(), QStringList{host});
    EXPECT_EQ(directory.Bind(host.toUpper())->Name(), host);
    for (const QString &unknown : {QString(), host + QStringLiteral("x"), QStringLiteral("WORKGROUP")}) {
        try {
            directory.Bind(unknown);
            ADD_FAILURE() << "bound " << unknown.toStdString();
        } catch (const support::Error &error) {
            EXPECT_EQ(error.Number(), kDomainNotFound);
            EXPECT_EQ(error.Description(), QStringLiteral("Domain not found"));
        }
    }
}

TEST_F(NssDirectoryTest, ShadowDecidesDisabledAndNeverExpires)
{
    const auto accounts = Accounts();
    const long long today = static_cast<long long>(std::time(nullptr)) / 86400;
    struct Case {
        QByteArray fields; // everything after "name:"
        bool disabled;
        int flags;
    };
    const std::vector<Case> cases = {
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
        shadow += accounts[i].first.toUtf8() + ':' + cases[i].fields + '\n';
    // A second line for an account does not override the first, as for the login tools.
    shadow += accounts[0].first.toUtf8() + ":!:1:0:99999:7:::\n";
    const std::vector<User> users = UsersWith(shadow);
    for (size_t i = 0; i < cases.size(); ++i) {
        const User &user = Find(users, accounts[i].first);
        EXPECT_EQ(user.AccountDisabled(), cases[i].disabled) << cases[i].fields.toStdString();
        EXPECT_EQ(user.Get(QStringLiteral("UserFlags")).toInt(), cases[i].flags) << cases[i].fields.toStdString();
    }
    // An account the shadow file does not list is enabled, and nothing says it never expires.
    const User &unlisted = Find(users, accounts[cases.size()].first);
    EXPECT_FALSE(unlisted.AccountDisabled());
    EXPECT_EQ(unlisted.Get(QStringLiteral("UserFlags")).toInt(), 0);
}

TEST_F(NssDirectoryTest, UnreadableShadowLeavesEveryUserEnabled)
{
    NssDirectory directory({m_files.filePath(QStringLiteral("missing")), m_files.filePath(kLastlog)});
    for (const User &user : directory.Bind(NssDirectory::HostShortName())->Users()) {
        EXPECT_FALSE(user.AccountDisabled()) << user.Name().toStdString();
        EXPECT_EQ(user.Get(QStringLiteral("UserFlags")).toInt(), 0) << user.Name().toStdString();
    }
}

TEST_F(NssDirectoryTest, LastLoginComesFromTheRecordAtTheUid)
{
    const auto accounts = Accounts();
    // Three accounts with distinct uids below 100, so the test file stays small.
    std::vector<std::pair<QString, uid_t>> low;
    for (const auto &account : accounts)
        if (account.second < 100 && std::none_of(low.begin(), low.end(), [&](auto &l) { return l.second == account.second; }))
            low.push_back(account);
    ASSERT_GE(low.size(), 3u);
    std::sort(low.begin(), low.end(), [](auto &a, auto &b) { return a.second < b.second; });

    const uint32_t known = 1700000123;      // 2023-11-14 22:15:23 UTC
    const uint32_t after2038 = 3000000000u; // past the signed 32-bit range
    QByteArray lastlog(static_cast<int>(low[2].second) * 292 + 2, '\0'); // the last record is cut short
    auto put = [&](uid_t uid, uint32_t time) { memcpy(lastlog.data() + uid * 292, &time, sizeof time); };
    put(low[0].second, known);
    put(low[1].second, after2038);
    const std::vector<User> users = UsersWith({}, lastlog);

    EXPECT_EQ(Find(users, low[0].first).LastLogin().toSecsSinceEpoch(), known);
    EXPECT_EQ(Find(users, low[1].first).LastLogin().toSecsSinceEpoch(), after2038);
    EXPECT_EQ(ErrorOf([&] { Find(users, low[2].first).LastLogin(); }), kPropertyNotFound);
    for (const auto &account : accounts) {
        if (account.second > low[2].second) {
            EXPECT_EQ(ErrorOf([&] { Find(users, account.first).LastLogin(); }), kPropertyNotFound);
        }
    }
}

TEST_F(NssDirectoryTest, ComputersAreThisHostAndEveryRegistryExport)
{
    testing_support::TempProgramFolder folder;
    const QString host = NssDirectory::HostShortName();
    QDir(folder.Path()).mkdir(QStringLiteral("Registry"));
    for (const QString &name : {QStringLiteral("zeta.reg"), QStringLiteral("Alpha.reg"), host.toUpper() + QStringLiteral(".reg"),
                                QStringLiteral("notes.txt"), QStringLiteral(".reg"), QStringLiteral("PC'1 ü.reg")})
        folder.Write(QStringLiteral("Registry/") + name, "REGEDIT4\r\n");
    QDir(folder.Path()).mkpath(QStringLiteral("Registry/folder.reg"));

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

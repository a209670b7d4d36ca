#include "platform/directory/NssSwitch.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::directory::NssSwitch;

namespace {

// The sources as one text, "-" for none.
std::string Described(const std::optional<QList<QByteArray>> &sources)
{
    return sources ? QByteArrayList(*sources).join(' ').toStdString() : "-";
}

} // namespace

// Only a plain list of sources is followed source by source: any action, a second line, an
// initgroups line of its own, no line at all, or a word that could name a module elsewhere than
// in the library's folders leave the database to the C library. A "#" after the colon is part of
// a word, as the C library reads it, and a line that begins with "#" names no database.
TEST(NssSwitch, OnlyAPlainListOfSourcesIsFollowed)
{
    const struct {
        const char *content, *passwd, *group;
    } cases[] = {
        {"passwd:         files systemd\ngroup:          files systemd\n", "files systemd", "files systemd"},
        {"# comment: x\n  passwd:\tfiles\tsss\n#passwd: files\n # group: files\ngroup: files sss\n\n", "files sss", "files sss"},
        {"passwd: files # sss\ngroup: files sss#old\n", "files # sss", "files sss#old"},
        {"Passwd: files\nGROUP: files sss\n", "-", "-"},
        {"passwd: files [NOTFOUND=return] sss\ngroup: files [SUCCESS=merge] sss\n", "-", "-"},
        {"passwd: files\ngroup: files ldap\ninitgroups: files\n", "files", "-"},
        {"passwd: files\npasswd: sss\ngroup:\n", "-", "-"},
        {"shadow: files\nhosts: files dns\n", "-", "-"},
        {"passwd: compat\ngroup: compat winbind\nnetgroup: nis\n", "compat", "compat winbind"},
        {"passwd: files ../../tmp/x\ngroup: files my_ldap-2\n", "-", "files my_ldap-2"},
    };
    QTemporaryDir folder;
    for (const auto &c : cases) {
        QFile file(folder.filePath("nsswitch.conf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        const NssSwitch nsswitch(file.fileName());
        EXPECT_EQ(Described(nsswitch.Sources("passwd")), c.passwd) << c.content;
        EXPECT_EQ(Described(nsswitch.Sources("group")), c.group) << c.content;
    }
    const NssSwitch missing(folder.filePath("missing"));
    EXPECT_EQ(Described(missing.Sources("passwd")), "-");
    EXPECT_EQ(Described(missing.Sources("group")), "-");
}

#include "common/TestSupport.h"
#include "platform/ini/IniFile.h"
#include "support/Error.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

using platform::ini::DeleteValue;
using platform::ini::ReadValue;
using platform::ini::WriteValue;
using testing_support::TempProgramFolder;

namespace {
const QString Dflt = QStringLiteral("<default>");
}

TEST(IniFile, ReadsAHandEditedFileAsTheIniFunctionsDo)
{
    TempProgramFolder folder;
    folder.Write(QStringLiteral("a.ini"),
                 "\xEF\xBB\xBF; written by hand\r\n"
                 "[options]\r\n"
                 "  DATABASEPATH  =  /srv/data/results.mdb  \r\n"
                 "# a comment = not a key\r\n"
                 "Quoted=\"  with blanks  \"\r\n"
                 "Empty=\r\n"
                 "NoEquals\r\n"
                 "Domain=FIRST\r\n"
                 "domain=second\r\n"
                 "[ Directories ]\r\n"
                 "Directory1=/home\r\n"
                 "[Options]\r\n"
                 "Late=ignored, the first section of a name wins\r\n");
    const QString file = folder.File(QStringLiteral("a.ini"));
    EXPECT_EQ(ReadValue("Options", "DatabasePath", Dflt, file), "/srv/data/results.mdb");
    EXPECT_EQ(ReadValue("OPTIONS", "quoted", Dflt, file), "  with blanks  ");
    EXPECT_EQ(ReadValue("Options", "Empty", Dflt, file), "");
    EXPECT_EQ(ReadValue("Options", "NoEquals", Dflt, file), Dflt);
    EXPECT_EQ(ReadValue("Options", "# a comment", Dflt, file), Dflt);
    EXPECT_EQ(ReadValue("Options", "Domain", Dflt, file), "FIRST");
    EXPECT_EQ(ReadValue("Directories", "directory1", Dflt, file), "/home");
    EXPECT_EQ(ReadValue("Options", "Late", Dflt, file), Dflt);
    EXPECT_EQ(ReadValue("Missing", "Domain", Dflt, file), Dflt);
    EXPECT_EQ(ReadValue("Options", "Domain", Dflt, folder.File("absent.ini")), Dflt);
    EXPECT_EQ(ReadValue("options", "Domain", Dflt, file, Qt::CaseSensitive), "FIRST");
    EXPECT_EQ(ReadValue("options", "domain", Dflt, file, Qt::CaseSensitive), "second");
    EXPECT_EQ(ReadValue("Options", "Domain", Dflt, file, Qt::CaseSensitive), Dflt);
}

TEST(IniFile, AWriteKeepsEveryOtherLineAndTheFilesLineEnds)
{
    TempProgramFolder folder;
    const QByteArray original = "; keep me\r\n[Options]\r\nDomain = OLD\r\nOther=1\r\n\r\n[Directories]\r\nDirectoryCount=0\r\n";
    folder.Write(QStringLiteral("a.ini"), original);
    const QString file = folder.File(QStringLiteral("a.ini"));

    ASSERT_TRUE(WriteValue("options", "DOMAIN", "NEW", file));
    ASSERT_TRUE(WriteValue("Options", "Added", "x", file));
    ASSERT_TRUE(WriteValue("Directories", "Directory1", "/data", file));
    ASSERT_TRUE(WriteValue("Extra", "Key", "v", file));
    EXPECT_EQ(folder.Read("a.ini"), QByteArray("; keep me\r\n[Options]\r\nDOMAIN=NEW\r\nOther=1\r\nAdded=x\r\n\r\n"
                                               "[Directories]\r\nDirectoryCount=0\r\nDirectory1=/data\r\n"
                                               "[Extra]\r\nKey=v\r\n"));

    ASSERT_TRUE(DeleteValue("Options", "Other", file));
    ASSERT_TRUE(DeleteValue("Options", "NotThere", file));
    EXPECT_EQ(ReadValue("Options", "Other", Dflt, file), Dflt);
    EXPECT_EQ(ReadValue("Options", "Added", Dflt, file), "x");
}

TEST(IniFile, ValuesAreWholeAndLineBreaksCannotInjectKeys)
{
    TempProgramFolder folder;
    const QString file = folder.File(QStringLiteral("new.ini"));
    const QString longValue = QStringLiteral("/").repeated(1) + QStringLiteral("d").repeated(299);
    ASSERT_TRUE(WriteValue("Options", "DatabasePath", longValue, file));
    EXPECT_EQ(ReadValue("Options", "DatabasePath", Dflt, file), longValue);

    const QString nonAscii = QStringLiteral("/srv/Gemeinsame Dateien/Übersicht ✓");
    ASSERT_TRUE(WriteValue("Directories", "Directory1", nonAscii, file));
    EXPECT_EQ(ReadValue("Directories", "Directory1", Dflt, file), nonAscii);

    // Values that reading would trim or unquote come back as written.
    for (const QString &value : {QStringLiteral(" /lead"), QStringLiteral("/trail "), QStringLiteral("\"quoted\""),
                                 QStringLiteral("\""), QStringLiteral("a \"b\" c")}) {
        ASSERT_TRUE(WriteValue("Directories", "Directory2", value, file));
        EXPECT_EQ(ReadValue("Directories", "Directory2", Dflt, file), value);
    }

    EXPECT_FALSE(WriteValue("Options", "Domain", "x\nNoPing=1", file));
    EXPECT_FALSE(WriteValue("Options", "Domain", "x\r[Evil]", file));
    EXPECT_EQ(ReadValue("Options", "NoPing", Dflt, file), Dflt);
    EXPECT_EQ(ReadValue("Options", "Domain", Dflt, file), Dflt);
}

TEST(IniFile, UnreadableOrUnwritablePlacesGiveDefaultsAndFalse)
{
    TempProgramFolder folder;
    // A folder or a FIFO where the settings file should be: it cannot be read or replaced, is named
    // with the reason, and nothing waits for a writer to the FIFO.
    ASSERT_TRUE(QDir().mkpath(folder.File("dir.ini")));
    ASSERT_EQ(mkfifo(QFile::encodeName(folder.File("fifo.ini")).constData(), 0644), 0);
    for (const auto &[name, reason] : {std::pair{"dir.ini", "Is a directory"}, {"fifo.ini", "Not a regular file"}}) {
        const QString file = folder.File(name);
        EXPECT_EQ(ReadValue("Options", "Domain", Dflt, file), Dflt);
        EXPECT_FALSE(WriteValue("Options", "Domain", "x", file));
        for (const auto &call : std::initializer_list<std::function<void()>>{
                 [&] { platform::ini::CheckReadable(file); }, [&] { platform::ini::RewriteFile({{"Options", "Domain", "x"}}, file); }}) {
            try {
                call();
                ADD_FAILURE() << name;
            } catch (const support::Error &error) {
                EXPECT_EQ(error.Description(), file + " cannot be read: " + reason + ".");
            }
        }
    }
    struct stat fifo {};
    EXPECT_TRUE(lstat(QFile::encodeName(folder.File("fifo.ini")).constData(), &fifo) == 0 && S_ISFIFO(fifo.st_mode));
    EXPECT_NO_THROW(platform::ini::CheckReadable(folder.File("absent.ini")));
    EXPECT_FALSE(WriteValue("Options", "Domain", "x", folder.File("no/such/folder/a.ini")));

    // Binary garbage reads as a file without the key.
    folder.Write("garbage.ini", QByteArray("\x00\xff\xfe[\x01=\x02\n\n\x80", 11));
    EXPECT_EQ(ReadValue("Options", "Domain", Dflt, folder.File("garbage.ini")), Dflt);
    EXPECT_TRUE(WriteValue("Options", "Domain", "ok", folder.File("garbage.ini")));
    EXPECT_EQ(ReadValue("Options", "Domain", Dflt, folder.File("garbage.ini")), "ok");
}

TEST(IniFile, ValuesEndAtANulAndAWriteKeepsTheTextLineEndsModeAndOwner)
{
    TempProgramFolder folder;
    const QString file = folder.File("a.ini");
    folder.Write("a.ini", QByteArray("[Directories]\nDirectory1=/a\0/etc\n", 34));
    EXPECT_EQ(ReadValue("Directories", "Directory1", Dflt, file), "/a");
    EXPECT_FALSE(WriteValue("Directories", "Directory2", QStringLiteral("/b") + QChar() + "/etc", file));

    // An ANSI (Latin-1) file with CR line ends: read, and written again with both kept. A line in
    // Latin-1 pasted into a UTF-8 file leaves the UTF-8 lines as they are.
    folder.Write("a.ini", "[Options]\rDomain=M\xfcller\rOther=1\rPath=/srv/M\xc3\xbcller\r");
    ASSERT_TRUE(WriteValue("Options", "Other", "2", file));
    EXPECT_EQ(folder.Read("a.ini"), QStringLiteral("[Options]\rDomain=Müller\rOther=2\rPath=/srv/Müller\r").toUtf8());

    // Read-only: not written, not even by root. Otherwise mode and owner stay the file's.
    const QByteArray before = folder.Read("a.ini");
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0444), 0);
    EXPECT_FALSE(WriteValue("Options", "Other", "3", file));
    EXPECT_FALSE(platform::ini::RewriteFile({{"Options", "Other", "3"}}, file));
    EXPECT_EQ(folder.Read("a.ini"), before);
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0640), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(QFile::encodeName(file).constData(), 65534, 65534), 0);
    }
    ASSERT_TRUE(WriteValue("Options", "Other", "4", file));
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(file).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(info.st_uid, root ? 65534u : geteuid());
}

// A line that is no UTF-8 as a whole is Latin-1, wherever its letter stands: also last in the
// line or the file, where a UTF-8 decoder would wait for the rest of a sequence. Each line sits
// beside a UTF-8 line that must keep its letter, and both survive a write.
TEST(IniFile, ALatin1LetterIsKeptWhereverItStandsBesideUtf8Lines)
{
    TempProgramFolder folder;
    const QString file = folder.File("a.ini");
    const struct {
        QByteArray line;
        const char *key;
        QString value;
    } cases[] = {
        {"Directory1=/srv/caf\xe9", "Directory1", QStringLiteral("/srv/café")},
        {"Directory1=\xe9", "Directory1", QStringLiteral("é")},
        {"Directory1=/srv/\xe9t\xe9/x", "Directory1", QStringLiteral("/srv/été/x")},
        {"\xc9tage=/srv", "\xc3\x89tage", QStringLiteral("/srv")},
        {"Directory1=/srv/caf\xc3", "Directory1", QStringLiteral("/srv/cafÃ")},
        {"Directory1=/srv/\xe2\x82", "Directory1", QStringLiteral("/srv/â\u0082")},
    };
    for (const auto &c : cases) {
        for (const QByteArray end : {"\r\n", "\n", "\r", ""}) {
            const QByteArray content = "[Directories]\r\nUtf8=/srv/caf\xc3\xa9\r\n" + c.line + end;
            folder.Write("a.ini", content);
            const auto trace = content.toHex(' ').toStdString();
            EXPECT_EQ(ReadValue("Directories", QString::fromUtf8(c.key), Dflt, file), c.value) << trace;
            ASSERT_TRUE(WriteValue("Directories", "Other", "1", file));
            EXPECT_EQ(ReadValue("Directories", QString::fromUtf8(c.key), Dflt, file), c.value) << trace << " written";
            EXPECT_EQ(ReadValue("Directories", "Utf8", Dflt, file), QStringLiteral("/srv/café")) << trace;
        }
    }
}

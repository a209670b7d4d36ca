#include "common/UpdateSigning.h"
#include "common/TestSupport.h"
#include "net/UpdateService.h"
#include "platform/signature/Ed25519.h"

#include <gtest/gtest.h>

using platform::signature::VerifyFileSignature;

TEST(UpdateService, OnlyAHigherVersionIsNewer)
{
    const struct {
        const char *offered;
        const char *running;
        bool newer;
    } cases[] = {
        {"1.0.1", "1.0.0", true},   {"1.10.0", "1.9.9", true}, {"2", "1.9.9", true},     {"1.0.0.1", "1.0.0", true},
        {"1.0.0", "1.0.0", false},  {"1.0", "1.0.0", false},   {"0.9.9", "1.0.0", false}, {"1.9.10", "1.10.0", false},
        {"", "1.0.0", false},       {"1.0.x", "1.0.0", false}, {"1..1", "1.0.0", false},  {" 2.0.0", "1.0.0", false},
        {"+2.0.0", "1.0.0", false}, {"2.0.0\r\n", "1.0.0", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(net::IsNewerVersion(c.offered, c.running), c.newer) << c.offered << " over " << c.running;
}

// A mistyped key in the source would make every real update fail its check.
TEST(UpdateService, TheProductsOwnKeyIsWellFormed)
{
    net::InstallUpdateService(nullptr);
    EXPECT_EQ(net::CurrentUpdateService().publicKey.size(), 32);
    testing_support::InstallNowhereUpdateService();
}

// A signature covers the preamble (a release's role and version line) and the file's bytes.
TEST(Ed25519, AFileMatchesOnlyItsOwnSignatureUnderTheRightKey)
{
    testing_support::TempProgramFolder folder;
    testing_support::TestKeyPair keys, other;
    QByteArray bytes(70000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);
    folder.Write("file", bytes);
    folder.Write("empty", {});
    const QString path = folder.File("file");
    const QByteArray preamble = net::SignedPreamble(net::UpdateRole::Updater, "2.0.0");
    const QString good = keys.Sign(preamble + bytes);

    EXPECT_EQ(preamble, "Quillmere updater 2.0.0\n");
    EXPECT_TRUE(VerifyFileSignature(path, preamble, good, keys.publicKey));
    EXPECT_TRUE(VerifyFileSignature(folder.File("empty"), preamble, keys.Sign(preamble), keys.publicKey));
    EXPECT_FALSE(VerifyFileSignature(path, preamble, good, other.publicKey));
    EXPECT_FALSE(VerifyFileSignature(path, preamble, other.Sign(preamble + bytes), keys.publicKey));
    EXPECT_FALSE(VerifyFileSignature(path, preamble, keys.Sign(preamble + bytes.left(bytes.size() - 1)), keys.publicKey));
    EXPECT_FALSE(VerifyFileSignature(path, net::SignedPreamble(net::UpdateRole::Product, "2.0.0"), good, keys.publicKey));
    EXPECT_FALSE(VerifyFileSignature(path, net::SignedPreamble(net::UpdateRole::Updater, "2.0.1"), good, keys.publicKey));
    EXPECT_FALSE(VerifyFileSignature(folder.File("missing"), preamble, good, keys.publicKey));
    for (const QString &malformed : {QString(), QString("not base64!"), good.left(20)})
        EXPECT_FALSE(VerifyFileSignature(path, preamble, malformed, keys.publicKey)) << malformed.toStdString();

    // One changed byte anywhere spoils it.
    bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 1);
    folder.Write("file", bytes);
    EXPECT_FALSE(VerifyFileSignature(path, preamble, good, keys.publicKey));
}

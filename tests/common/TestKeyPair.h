#pragma once

#include <QByteArray>
#include <QString>

namespace testing_support {

// An Ed25519 key pair made for one test, to sign what a test update service hands out.
class TestKeyPair {
public:
    TestKeyPair();
    QByteArray publicKey;
    // The base64 signature of bytes.
    QString Sign(const QByteArray &bytes) const;

private:
    QByteArray m_secretKey;
};

} // namespace testing_support

#pragma once

#include "net/UpdateService.h"

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

// The update service of every test that installs none: a closed port on loopback, so that no
// test ever reaches the product's real service.
void InstallNowhereUpdateService();

// A test's own update service at baseAddress, signing with keys, for the object's lifetime.
class LocalUpdateService {
public:
    LocalUpdateService(const QString &baseAddress, const TestKeyPair &keys);
    ~LocalUpdateService();
    LocalUpdateService(const LocalUpdateService &) = delete;
    LocalUpdateService &operator=(const LocalUpdateService &) = delete;

private:
    net::UpdateService m_service;
};

} // namespace testing_support

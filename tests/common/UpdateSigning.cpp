#include "common/UpdateSigning.h"

#include <sodium.h>

namespace testing_support {

TestKeyPair::TestKeyPair() : publicKey(crypto_sign_PUBLICKEYBYTES, '\0'), m_secretKey(crypto_sign_SECRETKEYBYTES, '\0')
{
    if (sodium_init() < 0)
        qFatal("libsodium cannot start");
    crypto_sign_keypair(reinterpret_cast<unsigned char *>(publicKey.data()), reinterpret_cast<unsigned char *>(m_secretKey.data()));
}

QString TestKeyPair::Sign(const QByteArray &bytes) const
{
    QByteArray signature(crypto_sign_BYTES, '\0');
    crypto_sign_detached(reinterpret_cast<unsigned char *>(signature.data()), nullptr,
                         reinterpret_cast<const unsigned char *>(bytes.constData()), static_cast<unsigned long long>(bytes.size()),
                         reinterpret_cast<const unsigned char *>(m_secretKey.constData()));
    return QString::fromLatin1(signature.toBase64());
}

void InstallNowhereUpdateService()
{
    static net::UpdateService nowhere{QStringLiteral("http://127.0.0.1:9/"), QByteArray(crypto_sign_PUBLICKEYBYTES, '\0')};
    net::InstallUpdateService(&nowhere);
}

LocalUpdateService::LocalUpdateService(const QString &baseAddress, const TestKeyPair &keys)
    : m_service{baseAddress, keys.publicKey}
{
    net::InstallUpdateService(&m_service);
}

LocalUpdateService::~LocalUpdateService() { InstallNowhereUpdateService(); }

} // namespace testing_support

#include "platform/signature/Ed25519.h"

#include <QFile>

#include <sodium.h>

namespace platform::signature {

bool VerifyFileSignature(const QString &path, const QByteArray &preamble, const QString &signatureBase64,
                         const QByteArray &publicKey)
{
    if (sodium_init() < 0 || publicKey.size() != crypto_sign_PUBLICKEYBYTES)
        return false;
    const auto result = QByteArray::fromBase64Encoding(signatureBase64.trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray &decoded = result.decoded;
    if (!result || decoded.size() != crypto_sign_BYTES)
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray message = preamble + file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(decoded.constData()),
                                       reinterpret_cast<const unsigned char *>(message.constData()),
                                       static_cast<unsigned long long>(message.size()),
                                       reinterpret_cast<const unsigned char *>(publicKey.constData())) == 0;
}

} // namespace platform::signature

#include "platform/signature/Ed25519.h"

#include <QFile>

#include <sodium.h>

namespace platform::signature {

bool VerifyFileSignature(const QString &path, const QString &signatureBase64, const QByteArray &publicKey)
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
    // Mapped, not read: an update file may be large.
    const qint64 size = file.size();
    const uchar *bytes = size > 0 ? file.map(0, size) : nullptr;
    if (size > 0 && !bytes)
        return false;
    static const unsigned char empty = 0;
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char *>(decoded.constData()), bytes ? bytes : &empty,
                                       static_cast<unsigned long long>(size),
                                       reinterpret_cast<const unsigned char *>(publicKey.constData())) == 0;
}

} // namespace platform::signature

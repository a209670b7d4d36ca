#pragma once

#include <QByteArray>
#include <QString>

namespace platform::signature {

// True when signatureBase64 (standard base64 with padding) is a valid Ed25519 signature, made
// with the secret half of publicKey (32 bytes), of preamble followed by the exact bytes of the
// file at path. A file that cannot be read, a malformed signature or key, or any other doubt
// gives false.
bool VerifyFileSignature(const QString &path, const QByteArray &preamble, const QString &signatureBase64,
                         const QByteArray &publicKey);

} // namespace platform::signature

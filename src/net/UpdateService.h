#pragma once

#include <QByteArray>
#include <QString>

namespace net {

// Where the update check asks for the current version, and the public half of the key that the
// service signs its files with. Tests install their own (a local server, a key pair they made).
struct UpdateService {
    QString baseAddress; // ends in "/"; the check asks for baseAddress + "updateservice.aspx"
    QByteArray publicKey; // Ed25519, 32 bytes
};

// The service in use: the product's own unless another is installed.
const UpdateService &CurrentUpdateService();
// Installs service (not owned); nullptr restores the product's own.
void InstallUpdateService(UpdateService *service);

// True when offered, a version text of whole numbers joined by ".", is higher than running,
// compared number by number (missing numbers count as 0). A text that is not such a version is
// never higher.
bool IsNewerVersion(const QString &offered, const QString &running);

} // namespace net

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

// The two files of an update.
enum class UpdateRole { Product, Updater };

// What a release signs in front of each file's bytes: one line naming the file's role and the
// version the service offers it as, "Quillmere product 2.0.0" and a line feed. A signed file
// therefore counts only in its own role and under its own version, so an earlier release cannot
// be offered as a newer one.
QByteArray SignedPreamble(UpdateRole role, const QString &version);

// True when text is a version: whole numbers joined by ".", without blanks or anything else.
bool IsVersion(const QString &text);

// True when offered, a version text of whole numbers joined by ".", is higher than running,
// compared number by number (missing numbers count as 0). A text that is not such a version is
// never higher.
bool IsNewerVersion(const QString &offered, const QString &running);

} // namespace net

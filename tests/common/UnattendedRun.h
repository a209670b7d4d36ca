#pragma once

#include "common/TestSupport.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>

// Helpers for tests that run the real program's unattended scan ("quillmere -scan") and read
// what it left.
namespace testing_support {

int RowCount(const QString &database, const QString &table);
// The first column of every row query gives, in its order.
QStringList Rows(const QString &database, const QString &query);

// Runs "quillmere -scan" from the folder the way cron would: no display, no Qt platform chosen.
// With a wrapper, the program is started through it: wrapper + {program, "-scan"}.
void StartUnattended(const TempProgramFolder &folder, QProcess &process, QStringList wrapper = {});

// A command line that runs a program in a private mount namespace (root only) after the shell
// commands of setup, which see arguments as "$1", "$2", ...: what they mount is never seen
// outside, so the machine's own files and accounts are never touched.
QStringList PrivateMountsCommand(const QString &setup, const QStringList &arguments);
bool PrivateMountsAvailable();

// Removes a tree that QTemporaryDir cannot: deeper than PATH_MAX, or with names that are no UTF-8.
struct RemovedTree {
    ~RemovedTree() { QProcess::execute("rm", {"-rf", path}); }
    QString path;
};

// An id that is neither a user's nor a group's on this machine, from on.
uint32_t FreeId(uint32_t from);

QByteArray FileContent(const QString &path);

// The folder of the test build's name-service sources (libnss_lookuponly.so.2 and
// libnss_stalled.so.2, from nss/), for LD_LIBRARY_PATH.
QString NssModuleFolder();

} // namespace testing_support

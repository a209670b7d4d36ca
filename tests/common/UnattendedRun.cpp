#include "common/UnattendedRun.h"

#include "platform/database/Recordset.h"
#include "scan/modDatabase.h"

#include <QFile>
#include <QProcessEnvironment>

#include <grp.h>
#include <pwd.h>

namespace testing_support {

int RowCount(const QString &database, const QString &table)
{
    return Rows(database, "select count(*) from " + table).value(0).toInt();
}

QStringList Rows(const QString &database, const QString &query)
{
    QStringList values;
    platform::database::Connection connection;
    modDatabase::OpenDatabase(connection, database);
    platform::database::Recordset recordset;
    for (recordset.Open(query, connection); !recordset.Eof(); recordset.MoveNext())
        values << recordset.Fields(0).Value().toString();
    return values;
}

void StartUnattended(const TempProgramFolder &folder, QProcess &process, QStringList wrapper)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    wrapper << folder.InstallProgram() << "-scan";
    process.start(wrapper.takeFirst(), wrapper);
}

QStringList PrivateMountsCommand(const QString &setup, const QStringList &arguments)
{
    return QStringList{"unshare", "--mount", "--propagation", "private", "sh", "-c",
                       setup + QStringLiteral(" && shift %1 && exec \"$@\"").arg(arguments.size()), "sh"}
           + arguments;
}

bool PrivateMountsAvailable() { return QProcess::execute("unshare", {"--mount", "--propagation", "private", "true"}) == 0; }

uint32_t FreeId(uint32_t from)
{
    while (getpwuid(from) || getgrgid(from))
        ++from;
    return from;
}

QByteArray FileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString NssModuleFolder() { return QStringLiteral(QUILL_NSS_MODULE_DIR); }

} // namespace testing_support

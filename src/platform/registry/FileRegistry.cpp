#include "platform/registry/FileRegistry.h"

#include "platform/directory/NssDirectory.h"
#include "platform/registry/DpkgStatus.h"
#include "platform/registry/RegExport.h"
#include "support/ProgramFolder.h"

#include <QDir>
#include <QFile>


namespace platform::registry {

namespace {

const QString LocalMachine = QStringLiteral("HKEY_LOCAL_MACHINE");

// The content of path, or nothing, with the system's reason in reason (when given).
std::optional<QByteArray> readFile(const QString &path, QString *reason = nullptr)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (reason)
            *reason = file.errorString();
        return std::nullopt;
    }
    return file.readAll();
}

// The export of computer: Registry/<computer>.reg in the program folder, or a file whose name
// differs from that only in letter case. A name that could leave the folder has none.
QString exportFile(const QString &computer)
{
    if (computer.isEmpty() || computer == u"." || computer == u".." || computer.contains(u'/') || computer.contains(QChar()))
        return {};
    const QDir folder(support::RegistryExportFolder());
    const QString wanted = computer + QStringLiteral(".reg");
    if (QFile::exists(folder.filePath(wanted)))
        return folder.filePath(wanted);
    const QStringList files = folder.entryList(QDir::Files | QDir::Readable);
    for (const QString &name : files) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return folder.filePath(name);
    }
    return {};
}

std::shared_ptr<const RegistryKey> packageTree(const std::vector<DpkgPackage> &packages)
{
    auto tree = std::make_shared<RegistryKey>();
    RegistryKey *uninstall = &tree->Ensure(LocalMachine);
    for (const QString &part : SplitKeyPath(UninstallKey))
        uninstall = &uninstall->Ensure(part);
    for (const DpkgPackage &package : packages) {
        // dpkg keeps one package of a name per architecture: together they name it uniquely.
        RegistryKey &entry = uninstall->Ensure(package.package + u':' + package.architecture);
        entry.SetValue(QStringLiteral("DisplayName"), RegistryValue{REG_SZ, package.name});
        entry.SetValue(QStringLiteral("DisplayVersion"), RegistryValue{REG_SZ, package.version});
        entry.SetValue(QStringLiteral("Publisher"), RegistryValue{REG_SZ, package.maintainer});
        entry.SetValue(QStringLiteral("InstallSource"), RegistryValue{REG_SZ, QString()});
    }
    return tree;
}

QString below(const QString &subKey) { return LocalMachine + u'\\' + subKey; }

} // namespace

FileRegistry::FileRegistry(QString dpkgStatusFile) : m_dpkgStatusFile(std::move(dpkgStatusFile)) {}

HKEY FileRegistry::add(Handle handle)
{
    // Skip 0 and the numbers of the predefined root keys.
    while (m_next == 0 || m_next >= 0x80000000u || m_handles.count(m_next))
        m_next = m_next >= 0x80000000u ? 1 : m_next + 1;
    const HKEY key = m_next++;
    m_handles.emplace(key, std::move(handle));
    return key;
}

int32_t FileRegistry::ConnectRegistry(const QString &computer, HKEY root, HKEY &result)
{
    result = 0;
    m_lastReadFailure.reset();
    if (root != HKEY_LOCAL_MACHINE)
        return ERROR_INVALID_HANDLE;
    Handle handle;
    if (directory::NssDirectory::IsThisHost(computer)) {
        const std::optional<QByteArray> status = readFile(m_dpkgStatusFile);
        if (!status)
            return ERROR_BAD_NETPATH;
        auto tree = packageTree(InstalledPackages(*status, NativeArchitecture()));
        handle.load = [tree](const QString &) { return tree; };
    } else {
        const QString file = exportFile(computer);
        if (file.isEmpty())
            return ERROR_BAD_NETPATH;
        QString reason;
        const std::optional<QByteArray> bytes = readFile(file, &reason);
        std::optional<QString> text = bytes ? DecodeExport(*bytes, &reason) : std::nullopt;
        if (!text) {
            m_lastReadFailure = ReadFailure{file, reason};
            return ERROR_BADDB;
        }
        auto shared = std::make_shared<const QString>(std::move(*text));
        handle.load = [shared](const QString &subKey) {
            return std::make_shared<const RegistryKey>(ParseExport(*shared, below(subKey)));
        };
    }
    result = add(std::move(handle));
    return ERROR_SUCCESS;
}

const RegistryKey *FileRegistry::keyOf(HKEY key)
{
    const auto found = m_handles.find(key);
    if (found == m_handles.end())
        return nullptr;
    Handle &handle = found->second;
    if (!handle.key) {
        handle.tree = handle.load(QString());
        handle.key = handle.tree->Find(LocalMachine);
        if (!handle.key) { // an export without a single key of this root: the root is still there
            handle.tree = std::make_shared<const RegistryKey>(LocalMachine);
            handle.key = handle.tree.get();
        }
    }
    return handle.key;
}

int32_t FileRegistry::OpenKey(HKEY key, const QString &subKey, HKEY &result)
{
    result = 0;
    const auto found = m_handles.find(key);
    if (found == m_handles.end())
        return ERROR_INVALID_HANDLE;
    Handle opened;
    if (!found->second.key) {
        // A root not read whole yet: read only what lies below the key asked for.
        opened.tree = found->second.load(subKey);
        opened.key = opened.tree->Find(below(subKey));
    } else {
        opened.tree = found->second.tree;
        opened.key = found->second.key->Find(subKey);
    }
    if (!opened.key)
        return ERROR_FILE_NOT_FOUND;
    result = add(std::move(opened));
    return ERROR_SUCCESS;
}

int32_t FileRegistry::EnumKey(HKEY key, uint32_t index, QString &name)
{
    const RegistryKey *found = keyOf(key);
    if (!found)
        return ERROR_INVALID_HANDLE;
    if (index >= found->SubkeyCount())
        return ERROR_NO_MORE_ITEMS;
    name = found->Subkey(index).Name();
    return ERROR_SUCCESS;
}

int32_t FileRegistry::QueryValue(HKEY key, const QString &valueName, uint32_t &type, QString &data)
{
    const RegistryKey *found = keyOf(key);
    if (!found)
        return ERROR_INVALID_HANDLE;
    const RegistryValue *value = found->Value(valueName);
    if (!value)
        return ERROR_FILE_NOT_FOUND;
    type = value->type;
    data = value->data;
    return ERROR_SUCCESS;
}

int32_t FileRegistry::CloseKey(HKEY key) { return m_handles.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

} // namespace platform::registry

#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace platform::registry {

// The registry functions of the installed-software scan: connect to a computer's registry, open
// keys, enumerate subkeys, read values, close handles. Results are the registry's status codes;
// a handle is a number, 0 for none.
using HKEY = uint32_t;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

constexpr int32_t ERROR_SUCCESS = 0;
constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
constexpr int32_t ERROR_INVALID_HANDLE = 6;
constexpr int32_t ERROR_BAD_NETPATH = 53;
constexpr int32_t ERROR_NO_MORE_ITEMS = 259;
constexpr int32_t ERROR_BADDB = 1009; // the registry is there but cannot be read

// The value type of text values, the only type kept.
constexpr uint32_t REG_SZ = 1;

// The key below HKEY_LOCAL_MACHINE whose subkeys are the installed programs.
inline const QString UninstallKey = QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");

// A computer's registry that is there but cannot be read: its file and why.
struct ReadFailure {
    QString file;
    QString reason;
};

class Backend {
public:
    virtual ~Backend() = default;

    // The root key root of computer's registry.
    virtual int32_t ConnectRegistry(const QString &computer, HKEY root, HKEY &result) = 0;
    // The key subKey below key; the new handle stays valid when key is closed.
    virtual int32_t OpenKey(HKEY key, const QString &subKey, HKEY &result) = 0;
    // The name of key's subkey number index (from 0); ERROR_NO_MORE_ITEMS past the last.
    virtual int32_t EnumKey(HKEY key, uint32_t index, QString &name) = 0;
    // The value valueName of key: its type and data.
    virtual int32_t QueryValue(HKEY key, const QString &valueName, uint32_t &type, QString &data) = 0;
    virtual int32_t CloseKey(HKEY key) = 0;
    // Why the last ConnectRegistry failed when it found the computer's registry but could not
    // read it; nothing after any other outcome, and from a backend that cannot tell.
    virtual std::optional<ReadFailure> LastReadFailure() const { return std::nullopt; }
};

// The backend in use: FileRegistry (this host's packages, other computers' exports) until
// another is installed.
Backend &Current();
// Installs backend (not owned) as the one in use; nullptr restores the default.
void Install(Backend *backend);

// The calls the program makes, on the backend in use. Each sets result to 0 when it fails.
int32_t RegConnectRegistry(const QString &computer, HKEY root, HKEY &result);
int32_t RegOpenKey(HKEY key, const QString &subKey, HKEY &result);
int32_t RegEnumKey(HKEY key, uint32_t index, QString &name);
int32_t RegQueryValueEx(HKEY key, const QString &valueName, uint32_t &type, QString &data);
int32_t RegCloseKey(HKEY key);
// The backend's LastReadFailure.
std::optional<ReadFailure> RegLastReadFailure();

} // namespace platform::registry

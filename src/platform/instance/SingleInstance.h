#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace platform::instance {

// "Is another instance of the program already running for this user?" A per-user lock file is
// taken when the object is made and held for its lifetime; a lock left behind by a process that
// died is taken over. When the lock cannot even be created (no writable folder), the program
// counts as the only instance rather than refusing to start.
class SingleInstance {
public:
    explicit SingleInstance(const QString &application);
    ~SingleInstance();

    bool PrevInstance() const { return m_prevInstance; }
    // Frees the lock at once; for the program's immediate end, where destructors do not run.
    void Release();

    static QString LockFile(const QString &application);

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_prevInstance = false;
};

} // namespace platform::instance

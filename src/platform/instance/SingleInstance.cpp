#include "platform/instance/SingleInstance.h"

#include "platform/userstore/UserStore.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

namespace platform::instance {

QString SingleInstance::LockFile(const QString &application)
{
    return QFileInfo(userstore::StoreFile(application)).absolutePath() + QStringLiteral("/instance.lock");
}

SingleInstance::SingleInstance(const QString &application)
{
    const QString path = LockFile(application);
    QDir().mkpath(QFileInfo(path).absolutePath());
    m_lock = std::make_unique<QLockFile>(path);
    m_lock->setStaleLockTime(0); // only a dead owner makes a lock stale, never its age
    if (!m_lock->tryLock(0))
        m_prevInstance = m_lock->error() == QLockFile::LockFailedError;
}

SingleInstance::~SingleInstance() = default;

void SingleInstance::Release()
{
    if (m_lock)
        m_lock->unlock();
}

} // namespace platform::instance

#include "common/MountNamespace.h"

#include <QFile>
#include <QThread>

#include <sched.h>
#include <sys/mount.h>

namespace testing_support {

QString InPrivateMounts(const std::function<QString()> &prepare, const std::function<void()> &body)
{
    QString failure;
    QThread *thread = QThread::create([&] {
        if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            failure = QStringLiteral("no private mount namespace (root needed)");
        else if ((failure = prepare()).isEmpty())
            body();
    });
    thread->start();
    thread->wait();
    delete thread;
    return failure;
}

QString Bind(const QString &source, const QString &target)
{
    if (mount(QFile::encodeName(source).constData(), QFile::encodeName(target).constData(), nullptr, MS_BIND, nullptr) == 0)
        return {};
    return QStringLiteral("cannot bind %1 over %2").arg(source, target);
}

} // namespace testing_support

#include "support/DoEvents.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

namespace support {

void DoEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

bool WaitUntil(const std::function<bool()> &done, QDeadlineTimer deadline, int pollMs)
{
    // The timers only wake the loop, so that the deadline and the poll are seen in time.
    // A timer may fire a little early: the end timer starts again until the deadline has passed.
    QTimer end, poll;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    const auto startEnd = [&] { end.start(std::chrono::milliseconds(std::max<qint64>(deadline.remainingTime(), 1))); };
    QObject::connect(&end, &QTimer::timeout, [&] {
        if (!deadline.hasExpired())
            startEnd();
    });
    QObject::connect(&poll, &QTimer::timeout, [] {});
    if (!deadline.isForever())
        startEnd();
    if (pollMs > 0)
        poll.start(pollMs);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

} // namespace support

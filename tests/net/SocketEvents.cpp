#include "SocketEvents.h"

#include "support/Error.h"

#include <gtest/gtest.h>

namespace testing_support {

SocketEvents::SocketEvents(clsSocketMaster &socket)
{
    clsSocketMasterEvents *events = socket.Events();
    QObject::connect(events, &clsSocketMasterEvents::Connect, &m_context, [this] { Record(QStringLiteral("Connect")); });
    QObject::connect(events, &clsSocketMasterEvents::CloseSck, &m_context, [this] { Record(QStringLiteral("CloseSck")); });
    QObject::connect(events, &clsSocketMasterEvents::SendComplete, &m_context,
                     [this] { Record(QStringLiteral("SendComplete")); });
    QObject::connect(events, &clsSocketMasterEvents::ConnectionRequest, &m_context,
                     [this](int32_t id) { Record(QStringLiteral("ConnectionRequest %1").arg(id)); });
    QObject::connect(events, &clsSocketMasterEvents::DataArrival, &m_context,
                     [this](int32_t total) { Record(QStringLiteral("DataArrival %1").arg(total)); });
    QObject::connect(events, &clsSocketMasterEvents::SendProgress, &m_context, [this](int32_t sent, int32_t remaining) {
        Record(QStringLiteral("SendProgress %1 %2").arg(sent).arg(remaining));
    });
    QObject::connect(events, &clsSocketMasterEvents::Error, &m_context,
                     [this](int16_t number, QString &description, int32_t sCode, const QString &source,
                            const QString &helpFile, int32_t helpContext, bool &display) {
                         EXPECT_TRUE(display);
                         EXPECT_EQ(sCode, 0);
                         EXPECT_TRUE(helpFile.isEmpty());
                         EXPECT_EQ(helpContext, 0);
                         display = cancelDisplay;
                         Record(QStringLiteral("Error %1 %2 %3").arg(number).arg(description, source));
                     });
}

void SocketEvents::Record(const QString &event)
{
    log << event;
    if (then)
        then(event);
}

std::pair<int32_t, QString> ErrorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const support::Error &error) {
        return {error.Number(), error.Source()};
    }
    return {0, {}};
}

} // namespace testing_support

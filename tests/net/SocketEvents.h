#pragma once

#include "net/clsSocketMaster.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

namespace testing_support {

// Records the events of one socket object as texts ("Connect", "DataArrival 150",
// "Error 11001 Host not found. clsSocketMaster.ConnectToIP", "SendProgress 5 0", ...), in order,
// and runs then after each, so that a test can act inside a handler.
class SocketEvents {
public:
    explicit SocketEvents(clsSocketMaster &socket);

    QStringList log;
    std::function<void(const QString &event)> then;
    // What an Error handler leaves in CancelDisplay.
    bool cancelDisplay = true;

private:
    void Record(const QString &event);

    QObject m_context; // the connections end with the recorder
};

// A new socket object with its events recorded.
struct RecordedSocket {
    RecordedSocket() : socket(clsSocketMaster::Create()), events(std::make_unique<SocketEvents>(*socket)) {}
    std::shared_ptr<clsSocketMaster> socket;
    std::unique_ptr<SocketEvents> events;
};

// A name the resolver refuses without asking any server: one label is longer than 63 characters.
inline const QString UnresolvableName = QString(64, u'x') + QStringLiteral(".invalid");

// The number and source of the error that call raises; 0 and "" when it raises none.
std::pair<int32_t, QString> ErrorOf(const std::function<void()> &call);

} // namespace testing_support

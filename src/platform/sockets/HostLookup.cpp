#include "platform/sockets/HostLookup.h"

#include "platform/sockets/MessageWindow.h"
#include "platform/sockets/SocketErrors.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>

#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>
#include <unordered_map>

namespace platform::sockets {

namespace {

class LookupDone : public QEvent {
public:
    static inline const Type Kind = static_cast<Type>(registerEventType());

    LookupDone(int32_t handle, HostEntry entry) : QEvent(Kind), handle(handle), entry(std::move(entry)) {}

    int32_t handle;
    HostEntry entry;
};

// Where lookup threads deliver: the courier on the GUI thread while it exists. A thread that
// finishes after the courier has gone (the application is ending) delivers nowhere.
struct Mailbox {
    std::mutex mutex;
    QObject *receiver = nullptr;

    void Deliver(int32_t handle, HostEntry entry)
    {
        const std::lock_guard lock(mutex);
        if (receiver)
            QCoreApplication::postEvent(receiver, new LookupDone(handle, std::move(entry)));
    }
};

struct Pending {
    int32_t hwnd;
    uint32_t message;
    std::shared_ptr<HostEntry> buffer;
};

// Takes finished lookups on the GUI thread and hands those not cancelled to their windows.
class Courier : public QObject {
public:
    explicit Courier(std::shared_ptr<Mailbox> mailbox) : QObject(QCoreApplication::instance()), m_mailbox(std::move(mailbox))
    {
        m_mailbox->receiver = this;
    }
    ~Courier() override
    {
        const std::lock_guard lock(m_mailbox->mutex);
        m_mailbox->receiver = nullptr;
    }

    std::shared_ptr<Mailbox> MailboxOf() const { return m_mailbox; }
    std::unordered_map<int32_t, Pending> pending;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() != LookupDone::Kind)
            return QObject::event(event);
        auto *done = static_cast<LookupDone *>(event);
        const auto found = pending.find(done->handle);
        if (found == pending.end())
            return true; // cancelled
        const Pending lookup = found->second;
        pending.erase(found);
        *lookup.buffer = std::move(done->entry);
        MessageWindow::Send(lookup.hwnd, lookup.message, static_cast<uint32_t>(done->handle),
                            static_cast<uint32_t>(lookup.buffer->error) << 16);
        return true;
    }

private:
    std::shared_ptr<Mailbox> m_mailbox;
};

Courier &courier()
{
    static QPointer<Courier> instance;
    if (!instance)
        instance = new Courier(std::make_shared<Mailbox>());
    return *instance;
}

int32_t nextHandle()
{
    static int32_t last = 0;
    do
        last = last == INT32_MAX ? 1 : last + 1;
    while (courier().pending.contains(last));
    return last;
}

} // namespace

HostEntry GetHostByName(const QByteArray &name)
{
    HostEntry entry;
    if (name.contains('\0')) {
        entry.error = WSAHOST_NOT_FOUND;
        return entry;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM; // one entry per address
    addrinfo *found = nullptr;
    if (const int result = ::getaddrinfo(name.constData(), nullptr, &hints, &found); result != 0) {
        entry.error = FromLookupError(result, errno);
        return entry;
    }
    for (const addrinfo *item = found; item; item = item->ai_next)
        if (item->ai_family == AF_INET && item->ai_addr)
            entry.addresses.push_back(reinterpret_cast<const sockaddr_in *>(item->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    if (entry.addresses.empty())
        entry.error = WSANO_DATA;
    return entry;
}

int32_t AsyncGetHostByName(int32_t hwnd, uint32_t message, const QByteArray &name, std::shared_ptr<HostEntry> buffer,
                           int32_t &error)
{
    Courier &target = courier();
    const int32_t handle = nextHandle();
    try {
        std::thread([handle, name, mailbox = target.MailboxOf()] { mailbox->Deliver(handle, GetHostByName(name)); })
            .detach();
    } catch (const std::system_error &) {
        error = WSAENOBUFS;
        return 0;
    }
    target.pending.emplace(handle, Pending{hwnd, message, std::move(buffer)});
    return handle;
}

int32_t CancelAsyncRequest(int32_t handle) { return courier().pending.erase(handle) ? 0 : WSAEINVAL; }

} // namespace platform::sockets

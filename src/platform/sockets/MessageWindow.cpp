#include "platform/sockets/MessageWindow.h"

#include "platform/sockets/SocketWatch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHash>
#include <QPointer>

namespace platform::sockets {

namespace {

class PostedMessage : public QEvent {
public:
    static inline const Type Kind = static_cast<Type>(registerEventType());

    PostedMessage(uint32_t msg, uint32_t wParam, uint32_t lParam, uint64_t stamp)
        : QEvent(Kind), uMsg(msg), wParam(wParam), lParam(lParam), socketStamp(stamp)
    {
    }

    uint32_t uMsg;
    uint32_t wParam;
    uint32_t lParam;
    uint64_t socketStamp;
};

// Windows that exist, by handle. QPointer: the application object deletes its children when it
// goes, and a window must not be found after that.
QHash<int32_t, QPointer<MessageWindow>> &windows()
{
    static QHash<int32_t, QPointer<MessageWindow>> table;
    return table;
}

int32_t nextHandle()
{
    static int32_t last = 0;
    do
        last = last == INT32_MAX ? 1 : last + 1;
    while (windows().contains(last));
    return last;
}

} // namespace

MessageWindow::MessageWindow(int32_t hwnd, const QString &title)
    : QObject(QCoreApplication::instance()), m_hwnd(hwnd), m_procedure([](int32_t, uint32_t, uint32_t, uint32_t) { return 0; })
{
    setObjectName(title);
}

int32_t MessageWindow::Create(const QString &title)
{
    const int32_t hwnd = nextHandle();
    windows().insert(hwnd, new MessageWindow(hwnd, title));
    return hwnd;
}

bool MessageWindow::Destroy(int32_t hwnd)
{
    MessageWindow *window = Find(hwnd);
    windows().remove(hwnd);
    if (!window)
        return false;
    // The window may be handling a message right now (the last socket closes from inside a
    // notification): it goes once that handling has returned, and drops what is still queued.
    window->m_procedure = nullptr;
    window->deleteLater();
    return true;
}

MessageWindow *MessageWindow::Find(int32_t hwnd) { return windows().value(hwnd); }

WindowProcedure MessageWindow::Procedure(int32_t hwnd)
{
    const MessageWindow *window = Find(hwnd);
    return window ? window->m_procedure : WindowProcedure();
}

WindowProcedure MessageWindow::SetProcedure(int32_t hwnd, WindowProcedure procedure)
{
    MessageWindow *window = Find(hwnd);
    if (!window)
        return {};
    std::swap(window->m_procedure, procedure);
    return procedure;
}

bool MessageWindow::Post(int32_t hwnd, uint32_t uMsg, uint32_t wParam, uint32_t lParam, uint64_t socketStamp)
{
    MessageWindow *window = Find(hwnd);
    if (!window)
        return false;
    QCoreApplication::postEvent(window, new PostedMessage(uMsg, wParam, lParam, socketStamp));
    return true;
}

int32_t MessageWindow::Send(int32_t hwnd, uint32_t uMsg, uint32_t wParam, uint32_t lParam)
{
    const WindowProcedure procedure = Procedure(hwnd);
    return procedure ? procedure(hwnd, uMsg, wParam, lParam) : 0;
}

bool MessageWindow::event(QEvent *event)
{
    if (event->type() != PostedMessage::Kind)
        return QObject::event(event);
    const auto *message = static_cast<PostedMessage *>(event);
    if (message->socketStamp && !SocketWatch::IsCurrent(static_cast<int>(message->wParam), message->socketStamp))
        return true;
    // A copy: the procedure may be replaced, or the window destroyed, while it runs.
    const WindowProcedure procedure = m_procedure;
    if (procedure)
        procedure(m_hwnd, message->uMsg, message->wParam, message->lParam);
    return true;
}

} // namespace platform::sockets

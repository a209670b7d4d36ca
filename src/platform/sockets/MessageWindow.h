#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace platform::sockets {

// The procedure that handles the messages of a message window; what it returns is the
// message's result.
using WindowProcedure = std::function<int32_t(int32_t hwnd, uint32_t uMsg, uint32_t wParam, uint32_t lParam)>;

// A hidden object that stands for a window that only receives messages: socket notifications
// and finished host lookups are posted to it and handled, one at a time, by the GUI thread's
// event loop, which calls the window's procedure with them. Windows are known by a handle (never
// 0), so that a notification posted to a window that is gone meanwhile is simply dropped.
// GUI thread only.
class MessageWindow : public QObject {
    Q_OBJECT

public:
    // Makes a window with the title (its object name), a child of the application object. Its
    // procedure answers every message with 0. Returns its handle.
    static int32_t Create(const QString &title);
    // Destroys the window: messages still queued for it are dropped. False when there is no
    // such window.
    static bool Destroy(int32_t hwnd);

    // The window's procedure; an empty one when there is no such window.
    static WindowProcedure Procedure(int32_t hwnd);
    // Installs procedure on the window and returns the one it replaces.
    static WindowProcedure SetProcedure(int32_t hwnd, WindowProcedure procedure);

    // Queues a message for the window; false when there is no such window. A message that
    // carries a socket stamp (see SocketWatch) is dropped when it is handled if that socket
    // has been closed meanwhile, even when its descriptor number is in use again.
    static bool Post(int32_t hwnd, uint32_t uMsg, uint32_t wParam, uint32_t lParam, uint64_t socketStamp = 0);
    // Hands a message to the window's procedure at once; 0 when there is no such window.
    static int32_t Send(int32_t hwnd, uint32_t uMsg, uint32_t wParam, uint32_t lParam);

protected:
    bool event(QEvent *event) override;

private:
    MessageWindow(int32_t hwnd, const QString &title);

    static MessageWindow *Find(int32_t hwnd);

    int32_t m_hwnd;
    WindowProcedure m_procedure;
};

} // namespace platform::sockets

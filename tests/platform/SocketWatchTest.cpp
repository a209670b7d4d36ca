#include "common/TestSupport.h"
#include "platform/sockets/MessageWindow.h"
#include "platform/sockets/SocketWatch.h"
#include "platform/sockets/Sockets.h"

#include <QTcpSocket>

#include <gtest/gtest.h>

using namespace platform::sockets;
using testing_support::RunUntil;

namespace {

constexpr uint32_t Notification = 0x8001;

// A message window that records the notifications it receives as (socket, event) pairs.
class RecordingWindow {
public:
    RecordingWindow() : hwnd(MessageWindow::Create(QStringLiteral("test")))
    {
        MessageWindow::SetProcedure(hwnd, [this](int32_t, uint32_t, uint32_t wParam, uint32_t lParam) {
            received.emplace_back(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam));
            return 0;
        });
    }
    ~RecordingWindow() { MessageWindow::Destroy(hwnd); }

    int Count(int32_t socket, int32_t lParam) const
    {
        return static_cast<int>(std::count(received.begin(), received.end(), std::make_pair(socket, lParam)));
    }
    bool WaitFor(int32_t socket, int32_t lParam, int count = 1) const
    {
        return RunUntil([&] { return Count(socket, lParam) >= count; }, 5000);
    }
    void Settle() const { RunUntil([] { return false; }, 100); }

    int32_t hwnd;
    std::vector<std::pair<int32_t, int32_t>> received;
};

// A listening socket on loopback watched by the window, and the connection it accepted from a
// peer (whose FD_WRITE is queued).
class Watched : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(OpenSocket(SocketType::Stream, listener), 0);
        ASSERT_EQ(AsyncSelect(listener, window.hwnd, Notification, 59), 0);
        ASSERT_EQ(Bind(listener, {*InetAddr(QStringLiteral("127.0.0.1")), 0}), 0);
        ASSERT_EQ(Listen(listener, 5), 0);
        Endpoint local;
        ASSERT_EQ(LocalEndpoint(listener, local), 0);
        peer.connectToHost(QHostAddress::LocalHost, local.port);
        ASSERT_TRUE(window.WaitFor(listener, FD_ACCEPT));
        ASSERT_EQ(Accept(listener, accepted), 0);
    }
    void TearDown() override
    {
        CloseSocket(accepted);
        CloseSocket(listener);
    }

    RecordingWindow window;
    QTcpSocket peer;
    int32_t listener = INVALID_SOCKET;
    int32_t accepted = INVALID_SOCKET;
};

} // namespace

// One read notification until the program receives; the close only after the last byte.
TEST_F(Watched, ReadsAreReportedOnceUntilReceivedAndTheCloseAfterTheData)
{
    ASSERT_TRUE(window.WaitFor(accepted, FD_WRITE));
    peer.write("0123456789");
    peer.disconnectFromHost();
    ASSERT_TRUE(window.WaitFor(accepted, FD_READ));
    window.Settle();
    EXPECT_EQ(window.Count(accepted, FD_READ), 1);
    char buffer[10];
    int32_t received = 0;
    ASSERT_EQ(Receive(accepted, buffer, 4, received), 0);
    ASSERT_TRUE(window.WaitFor(accepted, FD_READ, 2));
    EXPECT_EQ(window.Count(accepted, FD_CLOSE), 0);
    ASSERT_EQ(Receive(accepted, buffer, 10, received), 0);
    EXPECT_EQ(received, 6);
    ASSERT_TRUE(window.WaitFor(accepted, FD_CLOSE));
    EXPECT_EQ(window.Count(accepted, FD_READ), 2);
}

// Linux gives a closed socket's number to the next socket at once: what was queued for the
// old one must not reach the new one.
TEST_F(Watched, NotificationsOfAClosedSocketAreDroppedWhenItsNumberIsReused)
{
    ASSERT_EQ(CloseSocket(accepted), 0);
    const int32_t closed = accepted;
    ASSERT_EQ(OpenSocket(SocketType::Stream, accepted), 0);
    ASSERT_EQ(accepted, closed);
    ASSERT_EQ(AsyncSelect(accepted, window.hwnd, Notification, 59), 0);
    window.Settle();
    EXPECT_EQ(window.Count(accepted, FD_WRITE), 0);
}

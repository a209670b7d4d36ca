#include "net/clsSocketMaster.h"
#include "net/modSocketMaster.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

std::shared_ptr<clsSocketMaster> boundSocket()
{
    auto socket = clsSocketMaster::Create();
    socket->Bind(0, QStringLiteral("127.0.0.1"));
    return socket;
}

// The message windows that exist; a destroyed one goes with the next deferred deletions, which
// only the event loop itself runs.
QList<QObject *> messageWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return QCoreApplication::instance()->findChildren<QObject *>(QStringLiteral("SOCKET_WINDOW"), Qt::FindDirectChildrenOnly);
}

} // namespace

TEST(modSocketMaster, SocketsShareOneMessageWindowWhileAnyIsRegisteredAndReuseFreedSlots)
{
    ASSERT_TRUE(messageWindows().isEmpty()); // no socket of another test is left

    auto first = boundSocket();
    auto second = boundSocket();
    const int32_t window = modSocketMaster::MessageWindowHandle();
    EXPECT_NE(window, 0);
    EXPECT_EQ(messageWindows().size(), 1);
    EXPECT_EQ(modSocketMaster::SocketTableCount(), 2);

    first->CloseSck();
    EXPECT_EQ(modSocketMaster::MessageWindowHandle(), window);
    auto third = boundSocket();
    EXPECT_EQ(modSocketMaster::SocketTableCount(), 2);

    second.reset();
    third->CloseSck();
    EXPECT_EQ(modSocketMaster::MessageWindowHandle(), 0);
    EXPECT_TRUE(messageWindows().isEmpty());

    auto fourth = boundSocket();
    EXPECT_NE(modSocketMaster::MessageWindowHandle(), 0);
    EXPECT_NE(modSocketMaster::MessageWindowHandle(), window);
    EXPECT_EQ(modSocketMaster::SocketTableCount(), 1);
}

TEST(modSocketMaster, ErrorDescriptions)
{
    const std::pair<int32_t, const char *> cases[] = {
        {0, "Unknown error."},           {10004, "Interrupted function call."},
        {10050, "Network is down."},     {10059, "Unknown error."},
        {10061, "Connection refused."},  {11001, "Host not found."},
        {11004, "Valid name, no data record of requested type."}, {11005, "Unknown error."},
    };
    for (const auto &[code, text] : cases)
        EXPECT_EQ(modSocketMaster::GetErrorDescription(code), QString::fromLatin1(text)) << code;
}

#include "gui/ViewLoad.h"

#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

TEST(ViewLoad, ASecondLoadOfTheSameViewIsRefused)
{
    QWidget view;
    bool loading = false, other = false;
    {
        ViewLoad first(&view, loading);
        EXPECT_TRUE(first);
        EXPECT_TRUE(loading);
        ViewLoad again(&view, loading);
        EXPECT_FALSE(again);
        ViewLoad otherView(&view, other);
        EXPECT_TRUE(otherView);
        EXPECT_EQ(view.cursor().shape(), Qt::WaitCursor);
    }
    EXPECT_FALSE(loading) << "a refused load leaves the flag to the one that set it";
    EXPECT_FALSE(other);
    EXPECT_EQ(view.cursor().shape(), Qt::ArrowCursor);
}

TEST(ViewLoad, AWindowClosedDuringALoadIsDeletedOnlyAfterIt)
{
    QMdiArea area;
    auto *view = new QWidget;
    QPointer<QMdiSubWindow> frame = area.addSubWindow(view);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    area.show();
    bool loading = false;
    {
        ViewLoad load(view, loading);
        // The user closes the window while the load lets the message loop run, twice.
        QTimer::singleShot(0, frame, &QWidget::close);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        ASSERT_TRUE(frame);
        EXPECT_TRUE(frame->isHidden());
        {
            ViewLoad nested(view); // a second load in the same window keeps it too
        }
        QCoreApplication::processEvents();
        EXPECT_TRUE(frame);
    }
    EXPECT_FALSE(loading);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(frame);
}

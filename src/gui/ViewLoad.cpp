#include "gui/ViewLoad.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QWidget>

namespace {

// Lives on a frame while loads run in it: counts them, shows the hourglass and holds back the
// frame's deletion until the count is back at 0.
class FrameKeeper : public QObject {
public:
    explicit FrameKeeper(QWidget *frame) : QObject(frame), m_frame(frame)
    {
        setObjectName(Name);
        frame->installEventFilter(this);
    }

    static FrameKeeper *Of(QWidget *frame)
    {
        auto *keeper = dynamic_cast<FrameKeeper *>(frame->findChild<QObject *>(Name, Qt::FindDirectChildrenOnly));
        return keeper ? keeper : new FrameKeeper(frame);
    }

    void Enter()
    {
        if (m_count++ == 0)
            m_frame->setCursor(Qt::WaitCursor);
    }

    void Leave()
    {
        if (--m_count > 0)
            return;
        m_frame->unsetCursor();
        if (m_deletePending) {
            m_deletePending = false;
            m_frame->deleteLater();
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_frame && event->type() == QEvent::DeferredDelete && m_count > 0) {
            m_deletePending = true;
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static inline const QString Name = QStringLiteral("ViewLoadKeeper");

    QWidget *m_frame;
    int m_count = 0;
    bool m_deletePending = false;
};

} // namespace

QWidget *ViewLoad::FrameOf(QWidget *view)
{
    for (QWidget *widget = view; widget; widget = widget->parentWidget())
        if (auto *frame = qobject_cast<QMdiSubWindow *>(widget))
            return frame;
    return view->window();
}

ViewLoad::ViewLoad(QWidget *view, bool &loading) : m_loading(&loading), m_entered(!loading)
{
    if (!m_entered)
        return;
    loading = true;
    auto *keeper = FrameKeeper::Of(FrameOf(view));
    keeper->Enter();
    m_keeper = keeper;
}

ViewLoad::ViewLoad(QWidget *view) : m_entered(true)
{
    auto *keeper = FrameKeeper::Of(FrameOf(view));
    keeper->Enter();
    m_keeper = keeper;
}

ViewLoad::~ViewLoad()
{
    if (!m_entered)
        return;
    if (m_loading)
        *m_loading = false;
    if (m_keeper)
        static_cast<FrameKeeper *>(m_keeper.data())->Leave();
}

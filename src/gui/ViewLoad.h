#pragma once

#include <QPointer>

class QWidget;

// A load in a view that lets the message loop run (a query's status texts, a modal pick list)
// and what keeps it safe. While a load runs, the user can click anywhere: the same button again,
// another picker, a node of the old tree, another tab, the window's close box. Hold a ViewLoad
// for the whole handler that loads:
//
//     ViewLoad load(this, m_loading);
//     if (!load)
//         return; // this view is loading already: the click is ignored
//     ...query into fresh local collections, and take them over only at the end...
//
// While one is held:
// - the view's flag is set, so a second load of the same view is refused; handlers that read
//   what a load replaces (a node click reading the rights) check the flag as well;
// - the window that holds the view (its MDI frame, else its top-level window) shows the
//   hourglass, and is not destroyed when it is closed: its deletion is held back until the last
//   load in that window has returned, and then carried out. (A deleteLater posted from inside
//   a pass of the message loop may be carried out by the very next pass of the same load, so
//   the deletion itself is held back, not only the close.) The window closes as usual meanwhile:
//   it is hidden and its close handler runs.
//
// A load that outlives the close goes on against its hidden window and ends normally.
class ViewLoad {
public:
    // A load of one view: refused (false) when the view's flag is set already.
    ViewLoad(QWidget *view, bool &loading);
    // A step that keeps the window alive without a flag of its own (a tab change that loads
    // whichever view it shows); never refused.
    explicit ViewLoad(QWidget *view);
    ~ViewLoad();
    ViewLoad(const ViewLoad &) = delete;
    ViewLoad &operator=(const ViewLoad &) = delete;

    explicit operator bool() const { return m_entered; }

    // The widget whose deletion a load holds back: the view's MDI frame, else its window.
    static QWidget *FrameOf(QWidget *view);

private:
    bool *m_loading = nullptr;
    bool m_entered = false;
    QPointer<QObject> m_keeper;
};

#pragma once

#include <QWidget>

#include <array>

class QFrame;
class QGroupBox;
class QLabel;
class QTabWidget;
class usrGroupsRight;
class usrUserRight;
class usrInstalledSoftware;
class usrUserInformation;

// The child window "Analyses": an overview page and the four analysis views on a tab strip.
// It decides when each view loads (when its tab is selected) and stores the rights views' depth
// settings when a tab is selected and when it closes.
class frmAnalysis : public QWidget {
    Q_OBJECT

public:
    explicit frmAnalysis(QWidget *parent = nullptr);

    QLabel *lblAnalysisTitle = nullptr;
    QLabel *Image1 = nullptr;
    QFrame *Line3 = nullptr;
    QFrame *Line4 = nullptr;
    QTabWidget *AnalysisTabPage = nullptr;
    ::usrGroupsRight *usrGroupsRight = nullptr;
    ::usrUserRight *usrUserRight = nullptr;
    QLabel *lblAnalysisOverview = nullptr;
    QFrame *Line1 = nullptr;
    QFrame *Line2 = nullptr;
    QGroupBox *fraAnalysis = nullptr;
    std::array<QLabel *, 4> picAnalysis = {};
    std::array<QLabel *, 4> lblAnalysis = {};
    std::array<QGroupBox *, 5> fraExplanation = {};
    // The views on tabs 3 and 4, named as their types (so the type here is ::usrUserInformation).
    ::usrUserInformation *usrUserInformation = nullptr;
    ::usrInstalledSoftware *usrInstalledSoftware = nullptr;

    // The index of the highlighted overview entry, -1 when none.
    int intLastLabel = -1;

    QSize sizeHint() const override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateOverview(QWidget *page);
    // Makes the view of a tab on its page; the layout sizes it.
    template <typename View> View *PlaceView(int tab, const char *name);
    void AnalysisTabPage_Click(int previousTab);
    void lblAnalysis_MouseMove(int index);
    void lblAnalysis_Click(int index);
    void Form_Unload();
    void Form_Resize();

    // The widget of each view, in tab order (tabs 1 to 4), as the layout sizes them.
    std::array<QWidget *, 4> m_views = {};
    int m_previousTab = 0;
};

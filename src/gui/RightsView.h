#pragma once

#include "analysis/KeyedTreeModel.h"
#include "gui/ProgressPairView.h"

#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QStringList>
#include <QWidget>

#include <array>
#include <cstdint>
#include <optional>

class QAction;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTreeView;

// What the group rights view and the user rights view share: for one chosen group or user,
// every scanned directory where it holds a right, as a directory tree whose node pictures tell
// the right, narrowed by root directories, a rights filter and a depth. The tree is built only by
// "&Refresh directory list". A view holds a ViewLoad while it reads the database or shows a pick
// list, so a second click meanwhile is ignored and the window outlives the load.
class RightsView : public QWidget {
    Q_OBJECT

public:
    // What tells the two views apart on their common design.
    struct Kind {
        const char *titleName, *title;
        const char *selectorCaption;
        const char *choiceName, *placeholder;
        const char *pickerName;
        const char *subDirsCaption;
        int extraTop; // room for controls of the view's own between the selectors and the filter
        const char *pickerCaption, *pickerTitle;
        const char *missingChoiceText, *missingChoiceTitle; // the message when nothing is chosen
        bool mergeEqualPaths; // rows of one path become one node with the highest right
    };

    ~RightsView() override;

    // Fills the depth box from the settings file when it is empty; the tree stays as it is.
    void LoadControl();
    // Stores the depth box in the settings file unless it is empty.
    void SaveSettings();

    QFrame *Line1 = nullptr;
    QFrame *Line2 = nullptr;
    QLabel *lblNetworkGroup = nullptr;
    QLabel *lblFilterDir = nullptr;
    QLineEdit *txtDirectories = nullptr;
    QPushButton *cmdSelectDirectory = nullptr;
    QGroupBox *fraFilter = nullptr;
    QLabel *lblFilter = nullptr;
    QCheckBox *chkList = nullptr;
    QCheckBox *chkRead = nullptr;
    QCheckBox *chkExecute = nullptr;
    QCheckBox *chkModify = nullptr;
    QCheckBox *chkWrite = nullptr;
    QCheckBox *chkFull = nullptr;
    QLabel *imgList = nullptr;
    QLabel *imgRead = nullptr;
    QLabel *imgExecute = nullptr;
    QLabel *imgModify = nullptr;
    QLabel *imgWrite = nullptr;
    QLabel *imgFull = nullptr;
    QLabel *lblSubDirs = nullptr;
    QLineEdit *txtSubDirs = nullptr;
    QLabel *lblSubDirs2 = nullptr;
    QPushButton *cmdFilter = nullptr;
    QTreeView *treeMaps = nullptr;
    // The node pictures, by number from 1.
    QList<QIcon> imgListMaps;
    std::array<QLabel *, 6> picTreeNodes = {};
    QFrame *picTreeNodesFrame = nullptr;
    QLabel *lblSelectedRight = nullptr;
    QLabel *lblNetworkRight = nullptr;
    QLabel *lblAnalysisProgress = nullptr;
    QProgressBar *prgAnalysisProgress = nullptr;
    QMenu *mnuContext = nullptr;
    QAction *mnuExplore = nullptr;

    // The rights of the rows of the last build, in row order; node tags count into it from 1.
    QStringList colRights;
    // The index of the highlighted tree tool, -1 when none.
    int intLastPicture = -1;
    // The nodes of treeMaps.
    KeyedTreeModel &Nodes() { return m_nodes; }

    void cmdFilter_Click();

protected:
    RightsView(const Kind &kind, QWidget *parent);

    // The stored depth and its setter in the settings file.
    virtual QString StoredDepth() = 0;
    virtual void StoreDepth(int16_t depth) = 0;
    // The names the picker offers, none when the query failed (its message is in the status).
    virtual std::optional<QStringList> LoadList() = 0;
    // Reads the rows of the chosen name into paths and rights; 1, or 0 with the message shown.
    virtual int32_t Query(const QString &database, const QString &filter, const QString &name, QStringList &paths,
                          QStringList &rights) = 0;

    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    QLabel *m_title = nullptr;
    QLineEdit *m_choice = nullptr;
    QPushButton *m_picker = nullptr;
    std::optional<ProgressBarView> m_bar;
    std::optional<StatusLabelView> m_status;

private:
    void CreateControls(const Kind &kind);
    void CreateTreeTools();
    void BuildRightsTree();
    void cmdSelectChoice_Click();
    void cmdSelectDirectory_Click();
    void treeMaps_NodeClick(const QModelIndex &index);
    void mnuExplore_Click();
    void picTreeNodes_Click(int index);
    void picTreeNodes_MouseMove(int index);
    void treeMaps_MouseMove();
    void ExpandOneLevel();
    void CollapseOneLevel();
    void UserControl_Resize();

    bool Expanded(int node) const;
    bool Visible(int node) const;
    void SetExpanded(int node, bool expanded);
    // Walks the nodes from the last one added down to the first visible node whose expanded
    // state is not wanted, and sets wanted on it and on the nodes numbered between it and its
    // parent.
    void ChangeOneLevel(bool wanted);

    const Kind &m_kind;
    KeyedTreeModel m_nodes;
    QString m_placeholder;
    bool m_loading = false;
};

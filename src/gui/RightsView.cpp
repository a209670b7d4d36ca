#include "gui/RightsView.h"

#include "analysis/modRightsTree.h"
#include "gui/Design.h"
#include "gui/Resources.h"
#include "gui/ViewLoad.h"
#include "gui/frmSelect.h"
#include "platform/listview/widgets/ListBox.h"
#include "platform/shell/Shell.h"
#include "platform/shell/widgets/WidgetShell.h"
#include "shell/frmSettings.h"
#include "support/Error.h"
#include "support/NumericText.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

#include <algorithm>

using namespace design;

namespace {

const std::array<const char *, 7> NodePictures = {
    ":/icons/node-list.png",  ":/icons/node-read.png", ":/icons/node-execute.png", ":/icons/node-modify.png",
    ":/icons/node-write.png", ":/icons/node-full.png", ":/icons/node-unknown.png"};

constexpr int TreeLeft = 240;
constexpr int TreeTop = 2760;
constexpr int ToolWidth = 1815;
constexpr int ToolHeight = 320;
constexpr int MinimumWidth = 8000;
constexpr int MinimumHeight = 4500;

const std::array<const char *, 6> ToolWords = {"Tree nodes",         "Tree nodes", "Expand one level",
                                               "Collapse one level", "Expand all", "Collapse all"};

// A tree tool: its glyph at the left (a triangle, or one or two boxes with + or -) and its words.
QPixmap toolPicture(int index, const QFont &font)
{
    QPixmap picture(px(ToolWidth), px(ToolHeight));
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    const int middle = picture.height() / 2;
    if (index < 2) {
        const int tip = index == 0 ? 3 : -3;
        painter.setBrush(Qt::black);
        painter.drawPolygon(QPolygon({QPoint(5, middle - tip), QPoint(13, middle - tip), QPoint(9, middle + tip)}));
    } else {
        const int boxes = index < 4 ? 1 : 2;
        const bool plus = index % 2 == 0;
        for (int b = 0; b < boxes; ++b) {
            const QRect box(4 + b * 5, middle - 4 - b * 3 + (boxes - 1) * 2, 9, 9);
            painter.setBrush(Qt::white);
            painter.drawRect(box);
            painter.drawLine(box.left() + 2, box.center().y(), box.right() - 2, box.center().y());
            if (plus)
                painter.drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
        }
    }
    painter.setFont(font);
    painter.drawText(QRect(24, 0, picture.width() - 24, picture.height()), Qt::AlignVCenter,
                     QString::fromLatin1(ToolWords[size_t(index)]));
    return picture;
}

// The depth as the box shows it: a stored text that does not fit its two characters becomes
// its number, kept within what two characters can hold (-9 to 99).
QString depthText(const QString &stored)
{
    if (stored.size() <= 2)
        return stored;
    const double value = std::clamp(support::Val(stored), -9.0, 99.0);
    return QString::number(support::CInt(value));
}

} // namespace

RightsView::RightsView(const Kind &kind, QWidget *parent) : QWidget(parent), m_kind(kind), m_placeholder(QString::fromUtf8(kind.placeholder))
{
    LoadResources();
    setFont(QFont(QStringLiteral("Arial"), 8));
    for (const char *resource : NodePictures)
        imgListMaps << QIcon(QString::fromLatin1(resource));
    m_nodes.SetImageList([this](int image) {
        return image >= 1 && image <= imgListMaps.size() ? QVariant(imgListMaps[image - 1]) : QVariant();
    });
    CreateControls(kind);
    CreateTreeTools();
    setMinimumSize(px(MinimumWidth), px(MinimumHeight + kind.extraTop));
}

RightsView::~RightsView() = default;

void RightsView::CreateControls(const Kind &kind)
{
    const int e = kind.extraTop;
    m_title = make<QLabel>(this, kind.titleName, kind.title, 240, 120, 6000, 330);
    makeTitle(m_title);
    Line1 = makeLine(this, "Line1", 240, 600, 8000, QColor(0x80, 0x80, 0x80));
    Line2 = makeLine(this, "Line2", 240, 615, 8000, Qt::white);

    lblNetworkGroup = make<QLabel>(this, "lblNetworkGroup", kind.selectorCaption, 240, 840, 3600, 240);
    m_choice = make<QLineEdit>(this, kind.choiceName, "", 240, 1080, 3600, 285);
    m_choice->setText(m_placeholder);
    m_picker = make<QPushButton>(this, kind.pickerName, "...", 3900, 1080, 285, 285);
    lblFilterDir = make<QLabel>(this, "lblFilterDir", "Select one or more directories", 4560, 840, 3600, 240);
    txtDirectories = make<QLineEdit>(this, "txtDirectories", "", 4560, 1080, 3600, 285);
    txtDirectories->setText(QStringLiteral("All directories"));
    cmdSelectDirectory = make<QPushButton>(this, "cmdSelectDirectory", "...", 8220, 1080, 285, 285);
    nameAfter(m_choice, lblNetworkGroup);
    nameAfter(txtDirectories, lblFilterDir);
    for (QLineEdit *chosen : {m_choice, txtDirectories}) {
        chosen->setReadOnly(true); // filled only by the pickers
        setColour(chosen, QPalette::Base, Plain);
    }

    fraFilter = make<QGroupBox>(this, "fraFilter", "", 240, 1500 + e, 9660, 555);
    lblFilter = make<QLabel>(fraFilter, "lblFilter", "Permission filter:", 120, 180, 1300, 240);
    const std::array<const char *, 6> words = {"List", "Read", "Execute", "Modify", "Write", "Full"};
    std::array<QCheckBox *, 6> boxes{};
    std::array<QLabel *, 6> pictures{};
    for (int k = 0; k < 6; ++k) {
        const int left = 1440 + k * 1350;
        boxes[k] = make<QCheckBox>(fraFilter, "", "", left, 180, 255, 255);
        boxes[k]->setObjectName(QStringLiteral("chk") + QLatin1String(words[k]));
        boxes[k]->setChecked(true);
        // The box has no caption of its own (its picture beside it names it): screen readers get the word.
        boxes[k]->setAccessibleName(QLatin1String(words[k]));
        pictures[k] = make<QLabel>(fraFilter, "", "", left + 285, 150, 1035, 300);
        pictures[k]->setObjectName(QStringLiteral("img") + QLatin1String(words[k]));
        pictures[k]->setText(QStringLiteral("<img src=\"%1\" style=\"vertical-align: middle\"> %2")
                                 .arg(QLatin1String(NodePictures[k]), QLatin1String(words[k])));
    }
    std::tie(chkList, chkRead, chkExecute, chkModify, chkWrite, chkFull) =
        std::tuple(boxes[0], boxes[1], boxes[2], boxes[3], boxes[4], boxes[5]);
    std::tie(imgList, imgRead, imgExecute, imgModify, imgWrite, imgFull) =
        std::tuple(pictures[0], pictures[1], pictures[2], pictures[3], pictures[4], pictures[5]);

    lblSubDirs = make<QLabel>(this, "lblSubDirs", kind.subDirsCaption, 240, 2250 + e, 2640, 240);
    txtSubDirs = make<QLineEdit>(this, "txtSubDirs", "", 2900, 2220 + e, 375, 285);
    txtSubDirs->setMaxLength(2);
    nameAfter(txtSubDirs, lblSubDirs);
    lblSubDirs2 = make<QLabel>(this, "lblSubDirs2", "(99 = unlimited)", 3360, 2250 + e, 1400, 240);
    cmdFilter = make<QPushButton>(this, "cmdFilter", "&Refresh directory list", 4900, 2175 + e, 2200, 375);

    treeMaps = make<QTreeView>(this, "treeMaps", "", TreeLeft, TreeTop + e, 8000, 3000);
    treeMaps->setModel(&m_nodes);
    treeMaps->setHeaderHidden(true);
    treeMaps->setEditTriggers(QAbstractItemView::NoEditTriggers);
    treeMaps->setUniformRowHeights(true); // keeps very large trees quick to lay out
    treeMaps->setContextMenuPolicy(Qt::CustomContextMenu);
    treeMaps->viewport()->setMouseTracking(true);
    treeMaps->viewport()->installEventFilter(this);

    lblSelectedRight = make<QLabel>(this, "lblSelectedRight", "Selected access right:", 240, 4000, 1700, 240);
    lblNetworkRight = make<QLabel>(this, "lblNetworkRight", "None", 1980, 4000, 2900, 240);
    prgAnalysisProgress = make<QProgressBar>(this, "prgAnalysisProgress", "", 5000, 4000, 2700, 195);
    lblAnalysisProgress = make<QLabel>(this, "lblAnalysisProgress", "Analyze progress", 5000, 3800, 3600, 240);
    m_bar.emplace(prgAnalysisProgress);
    m_status.emplace(lblAnalysisProgress);

    mnuContext = new QMenu(QStringLiteral("Context"), this);
    mnuContext->setObjectName(QStringLiteral("mnuContext"));
    mnuExplore = mnuContext->addAction(QStringLiteral("&Explore"));
    mnuExplore->setObjectName(QStringLiteral("mnuExplore"));

    connect(m_picker, &QPushButton::clicked, this, &RightsView::cmdSelectChoice_Click);
    connect(cmdSelectDirectory, &QPushButton::clicked, this, &RightsView::cmdSelectDirectory_Click);
    connect(cmdFilter, &QPushButton::clicked, this, &RightsView::cmdFilter_Click);
    connect(treeMaps->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { treeMaps_NodeClick(current); });
    connect(treeMaps, &QTreeView::customContextMenuRequested, this,
            [this](const QPoint &at) { mnuContext->popup(treeMaps->viewport()->mapToGlobal(at)); });
    connect(mnuExplore, &QAction::triggered, this, &RightsView::mnuExplore_Click);
}

// The tools float over the tree's top right corner: "Tree nodes" opens a drop-down of four more.
void RightsView::CreateTreeTools()
{
    picTreeNodesFrame = make<QFrame>(this, "picTreeNodesFrame", "", 0, 0, ToolWidth, 1520);
    picTreeNodesFrame->setFrameShape(QFrame::Box);
    picTreeNodesFrame->setAutoFillBackground(true);
    setColour(picTreeNodesFrame, QPalette::Window, Plain);
    for (int i = 0; i < 6; ++i) {
        QWidget *container = i < 2 ? static_cast<QWidget *>(this) : picTreeNodesFrame;
        // Inside the drop-down the pictures leave its border free.
        const int inset = i < 2 ? 0 : 15;
        const int top = i < 2 ? 0 : 60 + (i - 2) * 360;
        picTreeNodes[i] = make<QLabel>(container, "picTreeNodes", "", inset, top, ToolWidth - 2 * inset, ToolHeight);
        picTreeNodes[i]->setObjectName(QStringLiteral("picTreeNodes%1").arg(i));
        picTreeNodes[i]->setPixmap(toolPicture(i, font()));
        picTreeNodes[i]->setAccessibleName(QString::fromLatin1(ToolWords[size_t(i)]));
        picTreeNodes[i]->setMouseTracking(true);
        picTreeNodes[i]->installEventFilter(this);
    }
    highlightPicture(picTreeNodes, -1);
    picTreeNodes[1]->hide();
    picTreeNodesFrame->hide();
}

void RightsView::LoadControl()
{
    if (txtSubDirs->text().isEmpty())
        txtSubDirs->setText(depthText(StoredDepth()));
}

void RightsView::SaveSettings()
{
    if (!txtSubDirs->text().isEmpty())
        StoreDepth(support::CInt(support::Val(txtSubDirs->text())));
}

void RightsView::cmdFilter_Click() { BuildRightsTree(); }

// The rows are read into fresh lists; the tree and the rights are replaced together only when
// the query succeeded, so a node always shows a right of the build that made it.
void RightsView::BuildRightsTree()
{
    if (m_choice->text() == m_placeholder) {
        platform::shell::MsgBox(QString::fromUtf8(m_kind.missingChoiceText), platform::shell::vbInformation,
                                QString::fromUtf8(m_kind.missingChoiceTitle));
        m_choice->setFocus();
        m_choice->selectAll();
        return;
    }
    ViewLoad load(this, m_loading);
    if (!load)
        return;
    const QString filter = modRightsTree::RightsFilter({chkList->isChecked(), chkRead->isChecked(),
                                                        chkExecute->isChecked(), chkModify->isChecked(),
                                                        chkWrite->isChecked(), chkFull->isChecked()});
    QStringList paths;
    QStringList rights;
    if (Query(frmSettings::Instance().GetDatabasePath(), filter, m_choice->text(), paths, rights) == 0)
        return;
    modRightsTree::BuildTree(m_nodes, paths, rights, txtSubDirs->text(), m_kind.mergeEqualPaths, *m_bar, *m_status);
    colRights = rights;
}

void RightsView::cmdSelectChoice_Click()
{
    ViewLoad load(this, m_loading);
    if (!load)
        return;
    frmSelect dialog(this);
    dialog.setWindowTitle(QString::fromUtf8(m_kind.pickerCaption));
    std::optional<QStringList> names = LoadList();
    dialog.SetCollection(names ? &*names : nullptr, QString::fromUtf8(m_kind.pickerTitle), true);
    platform::shell::WidgetShell::ExecWindowModal(dialog);
    if (!dialog.selected())
        return;
    m_choice->setText(dialog.FirstSelected().value_or(m_placeholder));
}

void RightsView::cmdSelectDirectory_Click()
{
    ViewLoad load(this, m_loading);
    if (!load)
        return;
    frmSelect dialog(this);
    QStringList directories = frmSettings::Instance().GetDirectories();
    dialog.setWindowTitle(QStringLiteral("Directories"));
    dialog.SetCollection(&directories, QStringLiteral("Select the directorie(s)"));
    platform::shell::WidgetShell::ExecWindowModal(dialog);
    if (!dialog.selected())
        return;
    // Nothing chosen leaves the box empty, which the query reads as every directory.
    QStringList chosen;
    for (int i = 1; i < dialog.lstItems->ListCount(); ++i)
        if (dialog.lstItems->Selected(i))
            chosen << dialog.lstItems->List(i);
    const bool all = dialog.lstItems->ListCount() > 0 && dialog.lstItems->Selected(0);
    txtDirectories->setText(all ? QStringLiteral("All directories") : chosen.join(QStringLiteral(", ")));
}

void RightsView::treeMaps_NodeClick(const QModelIndex &index)
{
    const int node = m_nodes.NodeOf(index);
    if (node == 0 || m_loading)
        return;
    lblNetworkRight->setText(modRightsTree::NodeRight(m_nodes, node, colRights));
}

// Opens the selected node's directory in the desktop's file manager; the root and the
// "No items found." node stand for no directory.
void RightsView::mnuExplore_Click()
{
    const int node = m_nodes.NodeOf(treeMaps->currentIndex());
    if (node == 0)
        return;
    if (const auto directory = modRightsTree::DirectoryOf(m_nodes, node))
        platform::shell::Current().OpenDocument(*directory);
}

bool RightsView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == treeMaps->viewport() && event->type() == QEvent::MouseMove)
        treeMaps_MouseMove();
    for (int i = 0; i < 6; ++i) {
        if (watched != picTreeNodes[i])
            continue;
        if (event->type() == QEvent::MouseMove)
            picTreeNodes_MouseMove(i);
        else if (event->type() == QEvent::MouseButtonRelease)
            picTreeNodes_Click(i);
    }
    return QWidget::eventFilter(watched, event);
}

void RightsView::picTreeNodes_Click(int index)
{
    switch (index) {
    case 0:
    case 1:
        picTreeNodesFrame->setVisible(index == 0);
        picTreeNodes[1]->setVisible(index == 0);
        picTreeNodesFrame->raise();
        picTreeNodes[1]->raise();
        break;
    case 2:
        ExpandOneLevel();
        break;
    case 3:
        CollapseOneLevel();
        break;
    case 4:
        treeMaps->expandAll();
        break;
    case 5:
        treeMaps->collapseAll();
        break;
    }
}

void RightsView::picTreeNodes_MouseMove(int index)
{
    if (index == intLastPicture)
        return;
    highlightPicture(picTreeNodes, index);
    intLastPicture = index;
}

void RightsView::treeMaps_MouseMove() { picTreeNodes_MouseMove(-1); }

// A node without children counts as not expanded, as a tree control reports it.
bool RightsView::Expanded(int node) const
{
    return m_nodes.rowCount(m_nodes.IndexOf(node)) > 0 && treeMaps->isExpanded(m_nodes.IndexOf(node));
}

bool RightsView::Visible(int node) const
{
    for (int n = m_nodes.At(node).parent; n != 0; n = m_nodes.At(n).parent)
        if (!Expanded(n))
            return false;
    return true;
}

void RightsView::SetExpanded(int node, bool expanded) { treeMaps->setExpanded(m_nodes.IndexOf(node), expanded); }

void RightsView::ChangeOneLevel(bool wanted)
{
    for (int node = m_nodes.Count(); node >= 1; --node) {
        if (!Visible(node) || Expanded(node) == wanted)
            continue;
        const int parent = m_nodes.At(node).parent;
        if (parent == 0) {
            SetExpanded(1, wanted);
            return;
        }
        for (int n = parent + 1; n <= node; ++n)
            SetExpanded(n, wanted);
        return;
    }
}

void RightsView::ExpandOneLevel() { ChangeOneLevel(true); }

void RightsView::CollapseOneLevel() { ChangeOneLevel(false); }

void RightsView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    UserControl_Resize();
}

void RightsView::UserControl_Resize()
{
    const int w = width();
    const int h = height();
    for (QFrame *line : {Line1, Line2})
        line->resize(w - px(70) - line->x(), line->height());
    treeMaps->resize(std::max(0, w - treeMaps->x() - px(300)), std::max(0, h - treeMaps->y() - px(600)));
    for (QLabel *label : {lblSelectedRight, lblNetworkRight})
        label->move(label->x(), h - px(375));
    prgAnalysisProgress->move(treeMaps->x() + treeMaps->width() - prgAnalysisProgress->width(), h - px(255));
    lblAnalysisProgress->move(prgAnalysisProgress->x(), h - px(495));
    const int toolsLeft = treeMaps->width() - px(1935);
    const int toolsTop = treeMaps->y() + px(120);
    picTreeNodes[0]->move(toolsLeft, toolsTop);
    picTreeNodes[1]->move(toolsLeft, toolsTop);
    picTreeNodesFrame->move(toolsLeft, toolsTop + px(ToolHeight));
}

#include "gui/frmAnalysis.h"

#include "gui/Design.h"
#include "gui/Resources.h"
#include "gui/ViewLoad.h"
#include "gui/usrGroupsRight.h"
#include "gui/usrInstalledSoftware.h"
#include "gui/usrUserInformation.h"
#include "gui/usrUserRight.h"

#include <QCloseEvent>
#include <QFrame>
#include <QMouseEvent>
#include <QTabWidget>

#include <algorithm>

using namespace design;

namespace {

constexpr int DesignWidth = 12600;
constexpr int DesignHeight = 8700;
constexpr int TabLeft = 360;
constexpr int TabTop = 960;
// Views sit this far inside their tab page.
constexpr int ViewInset = 120;

const std::array<const char *, 5> TabCaptions = {"Analyses", "Access rights per user group",
                                                 "Access rights per single user", "User details",
                                                 "Installed software"};
const std::array<const char *, 4> EntryTexts = {"User group rights", "User rights", "User details",
                                                "Installed software"};
const std::array<const char *, 4> EntryPictures = {":/icons/group-rights.png", ":/icons/user-rights.png",
                                                   ":/icons/details.png", ":/icons/software.png"};
const std::array<const char *, 4> ExplanationHeadings = {"Access rights per user group",
                                                         "Access rights per single user", "User details",
                                                         "Installed software"};
const std::array<const char *, 5> ExplanationTexts = {
    "The component [User group rights] gives an overview of all access rights per user group. This allows you "
    "to select a network group and filter for access rights. After you have selected a network group, a tree "
    "structure will be built with all directories and the appropriate access rights. In this way, the location "
    "of the critical access rights in the directory structure can be seen at a glance.",
    "This overview functions for the most part in exactly the same way as the component  [User group rights]. "
    "In this overview, you can indicate whether you only want to reproduce the rights of a particular user or "
    "also want to reproduce the rights of the user groups that are related to a particular user. By only "
    "reproducing the individual user rights, you keep control over loose user rights and so prevent pollution "
    "of the network.",
    "The component [User details] gives an overview of all network users. It shows the last log-in time of each "
    "user and whether a user's password never expires. You are able to keep control of the password policy and "
    "you can see which users have been blocked to prevent pollution caused by non-active users.",
    "The component [Installed software] reports all installed software on each workstation. You can filter by "
    "workstation or application. This gives you a clear view of the location of each application in the "
    "network and also which applications have been installed on each workstation.",
    "Move the mouse over an label to show the explanation . . .",
};

} // namespace

frmAnalysis::frmAnalysis(QWidget *parent) : QWidget(parent)
{
    LoadResources();
    setWindowTitle(QStringLiteral("Analyses"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/analysis.png")));
    setFont(QFont(QStringLiteral("Arial"), 8));

    Image1 = makePicture(this, "Image1", ":/icons/analysis.png", 360, 140, 480, 480);
    lblAnalysisTitle = make<QLabel>(this, "lblAnalysisTitle", "Analyses", 1080, 240, 3000, 330);
    makeTitle(lblAnalysisTitle);
    Line3 = makeLine(this, "Line3", TabLeft, 720, DesignWidth - 2 * TabLeft, QColor(0x80, 0x80, 0x80));
    Line4 = makeLine(this, "Line4", TabLeft, 735, DesignWidth - 2 * TabLeft, Qt::white);

    AnalysisTabPage = make<QTabWidget>(this, "AnalysisTabPage", "", TabLeft, TabTop,
                                       DesignWidth + ChromeWidth - 2 * TabLeft, DesignHeight + ChromeHeight - TabTop - 700);
    for (size_t i = 0; i < TabCaptions.size(); ++i) {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("AnalysisTabPage%1").arg(i));
        AnalysisTabPage->addTab(page, QString::fromUtf8(TabCaptions[i]));
    }
    CreateOverview(AnalysisTabPage->widget(0));
    usrGroupsRight = PlaceView<::usrGroupsRight>(1, "usrGroupsRight");
    usrUserRight = PlaceView<::usrUserRight>(2, "usrUserRight");
    usrUserInformation = PlaceView<::usrUserInformation>(3, "usrUserInformation");
    usrInstalledSoftware = PlaceView<::usrInstalledSoftware>(4, "usrInstalledSoftware");
    connect(AnalysisTabPage, &QTabWidget::currentChanged, this, [this](int) { AnalysisTabPage_Click(m_previousTab); });

    // As narrow as the widest view allows; never lower than 6000 twips (the views are clipped
    // below their own minimum height rather than making the window taller).
    int viewWidth = 0;
    for (QWidget *view : m_views)
        viewWidth = std::max(viewWidth, view->minimumWidth());
    setMinimumSize(viewWidth + px(465 + 2 * TabLeft - ChromeWidth), px(6000 - ChromeHeight));
    resize(sizeHint());
}

template <typename View> View *frmAnalysis::PlaceView(int tab, const char *name)
{
    auto *view = new View(AnalysisTabPage->widget(tab));
    view->setObjectName(QString::fromLatin1(name));
    view->move(px(ViewInset), px(ViewInset));
    m_views[size_t(tab - 1)] = view;
    return view;
}

QSize frmAnalysis::sizeHint() const { return {px(DesignWidth), px(DesignHeight)}; }

void frmAnalysis::CreateOverview(QWidget *page)
{
    lblAnalysisOverview = make<QLabel>(page, "lblAnalysisOverview", "Analyses overview", 240, 240, 4000, 330);
    lblAnalysisOverview->setFont(boldened(QFont(QStringLiteral("Arial"), 12)));
    Line1 = makeLine(page, "Line1", 240, 600, 7000, QColor(0x80, 0x80, 0x80));
    Line2 = makeLine(page, "Line2", 240, 615, 7000, Qt::white);

    fraAnalysis = make<QGroupBox>(page, "fraAnalysis", "", 240, 840, 7800, 1560);
    for (int i = 0; i < 4; ++i) {
        const int left = 240 + (i % 2) * 3900;
        const int top = 240 + (i / 2) * 600;
        picAnalysis[i] = makePicture(fraAnalysis, "picAnalysis", EntryPictures[i], left, top - 60, 480, 480);
        lblAnalysis[i] = make<QLabel>(fraAnalysis, "lblAnalysis", EntryTexts[i], left + 600, top + 60, 3000, 285);
        picAnalysis[i]->setObjectName(QStringLiteral("picAnalysis%1").arg(i));
        lblAnalysis[i]->setObjectName(QStringLiteral("lblAnalysis%1").arg(i));
        lblAnalysis[i]->setFont(boldened(font()));
        for (QLabel *entry : {picAnalysis[i], lblAnalysis[i]}) {
            entry->setMouseTracking(true);
            entry->installEventFilter(this);
        }
    }
    highlightPicture(picAnalysis, -1);

    for (int i = 0; i < 5; ++i) {
        QGroupBox *frame = make<QGroupBox>(page, "fraExplanation", "Explanation", 240, 2520, 7800, 2400);
        frame->setObjectName(QStringLiteral("fraExplanation%1").arg(i));
        // Opaque, so that the frame in front hides the others at the same place.
        frame->setAutoFillBackground(true);
        int top = 360;
        if (i < 4) {
            QLabel *heading = make<QLabel>(frame, "lblExplanationHeading", ExplanationHeadings[i], 240, top, 7320, 285);
            heading->setFont(boldened(font()));
            top += 360;
        }
        QLabel *text = make<QLabel>(frame, "lblExplanation", ExplanationTexts[i], 240, top, 7320, 2400 - top - 120);
        text->setWordWrap(true);
        text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        fraExplanation[i] = frame;
    }
    fraExplanation[0]->hide();
    fraExplanation[4]->raise(); // the hint lies in front until an entry is hovered
}

// Runs when another tab has been selected: the rights views store their depth box first, then
// every view loads. Selecting the tab that is selected already changes nothing.
void frmAnalysis::AnalysisTabPage_Click(int previousTab)
{
    const int tab = AnalysisTabPage->currentIndex();
    if (tab == previousTab)
        return;
    m_previousTab = tab;
    ViewLoad load(this);
    switch (tab) {
    case 1:
        usrGroupsRight->SaveSettings();
        usrGroupsRight->LoadControl();
        break;
    case 2:
        usrUserRight->SaveSettings();
        usrUserRight->LoadControl();
        break;
    case 3:
        usrUserInformation->LoadControl();
        break;
    case 4:
        usrInstalledSoftware->LoadControl();
        break;
    }
}

bool frmAnalysis::eventFilter(QObject *watched, QEvent *event)
{
    for (int i = 0; i < 4; ++i) {
        if (watched != lblAnalysis[i] && watched != picAnalysis[i])
            continue;
        if (event->type() == QEvent::MouseMove)
            lblAnalysis_MouseMove(i);
        else if (event->type() == QEvent::MouseButtonRelease && watched == lblAnalysis[i])
            lblAnalysis_Click(i);
    }
    return QWidget::eventFilter(watched, event);
}

// The hovered entry is highlighted and its explanation shown; it stays so until another entry
// is hovered.
void frmAnalysis::lblAnalysis_MouseMove(int index)
{
    fraExplanation[4]->hide();
    if (index == intLastLabel)
        return;
    highlightPicture(picAnalysis, index);
    for (int j = 0; j < 4; ++j)
        fraExplanation[j]->setVisible(j == index);
    intLastLabel = index;
}

void frmAnalysis::lblAnalysis_Click(int index) { AnalysisTabPage->setCurrentIndex(index + 1); }

void frmAnalysis::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

// Both depth boxes are stored, whichever tab was shown; a box never filled stores nothing.
void frmAnalysis::Form_Unload()
{
    usrGroupsRight->SaveSettings();
    usrUserRight->SaveSettings();
}

void frmAnalysis::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmAnalysis::Form_Resize()
{
    if (LayoutSkipped(this))
        return;
    const int outerWidth = width() + px(ChromeWidth);
    const int outerHeight = height() + px(ChromeHeight);
    if (outerHeight < px(6000)) {
        resize(width(), px(6000 - ChromeHeight));
        return;
    }
    const int tabWidth = outerWidth - 2 * AnalysisTabPage->x();
    const int tabHeight = outerHeight - AnalysisTabPage->y() - px(700);
    AnalysisTabPage->resize(tabWidth, tabHeight);
    for (QFrame *line : {Line3, Line4})
        line->resize(AnalysisTabPage->x() + tabWidth - line->x(), line->height());
    for (QFrame *line : {Line1, Line2})
        line->resize(tabWidth - px(300) - line->x(), line->height());
    for (QWidget *view : m_views)
        view->setGeometry(px(ViewInset), px(ViewInset), tabWidth - px(465), tabHeight - px(720));
    const int left = qRound((tabWidth - fraAnalysis->width()) / 2.0);
    fraAnalysis->move(left, fraAnalysis->y());
    for (QGroupBox *frame : fraExplanation)
        frame->move(left, frame->y());
}

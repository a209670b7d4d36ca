#include "gui/frmQuickStart.h"

#include "gui/Design.h"
#include "gui/LinkLabel.h"
#include "gui/Resources.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>

using namespace design;

namespace {

const char *ScanText = "Your network will be scanned and the information will be saved in the database. This step "
                       "is necessary to view the analyses."
                       "                                                           "
                       "After the scan the database will be up-to-date.";

} // namespace

frmQuickStart::frmQuickStart(QWidget *parent) : QDialog(parent)
{
    LoadResources();
    setWindowTitle(QStringLiteral("Quickstart"));
    setFixedSize(px(6480), px(4320));
    setMouseTracking(true);

    Label1 = make<QLabel>(this, "Label1", "I want to ...", 360, 240, 5000, 360);
    Label1->setFont(boldened(QFont(QStringLiteral("Arial"), 12)));
    Image1 = make<LinkLabel>(this, "Image1", "", 360, 840, 480, 480);
    Image1->setPixmap(QPixmap(QStringLiteral(":/icons/scan.png")));
    lblScanNetwork = make<LinkLabel>(this, "lblScanNetwork", "Scan my network", 1080, 840, 4800, 300);
    lblScan = make<QLabel>(this, "lblScan", ScanText, 1080, 1140, 5040, 1260);
    Image2 = make<LinkLabel>(this, "Image2", "", 360, 2580, 480, 480);
    Image2->setPixmap(QPixmap(QStringLiteral(":/icons/analysis.png")));
    lblAnalysisTitle = make<LinkLabel>(this, "lblAnalysisTitle", "View the analyses", 1080, 2580, 4800, 300);
    lblAnalysis = make<QLabel>(this, "lblAnalysis", "View the results of the network scan.", 1080, 2880, 5040, 300);
    chkShowOnStartup = make<QCheckBox>(this, "chkShowOnStartup", "Show quickstart on startup", 360, 3720, 4000, 300);

    for (LinkLabel *title : {lblScanNetwork, lblAnalysisTitle})
        title->setFont(boldened(title->font()));
    lblScan->setWordWrap(true);
    lblScan->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    for (QWidget *control : std::initializer_list<QWidget *>{Image1, lblScanNetwork, lblScan, Image2, lblAnalysisTitle,
                                                             lblAnalysis}) {
        control->setMouseTracking(true);
        control->installEventFilter(this);
    }
    for (LinkLabel *scan : {Image1, lblScanNetwork})
        connect(scan, &LinkLabel::clicked, this, [this] { Choose(0); });
    for (LinkLabel *analysis : {Image2, lblAnalysisTitle})
        connect(analysis, &LinkLabel::clicked, this, [this] { Choose(1); });
    Form_Load();
}

void frmQuickStart::Form_Load()
{
    selectedIndex = -1;
    chkShowOnStartup->setChecked(true);
}

void frmQuickStart::Choose(int16_t index)
{
    selectedIndex = index;
    hide();
}

void frmQuickStart::Hover(QObject *over)
{
    if (over == Image1 || over == lblScanNetwork)
        lblScanNetwork->setUnderlined(true);
    else if (over == Image2 || over == lblAnalysisTitle)
        lblAnalysisTitle->setUnderlined(true);
    else {
        lblScanNetwork->setUnderlined(false);
        lblAnalysisTitle->setUnderlined(false);
    }
}

// A move over a control ends there: passed on to the page, it would count as the background.
bool frmQuickStart::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseMove)
        return QDialog::eventFilter(watched, event);
    Hover(watched);
    return true;
}

void frmQuickStart::mouseMoveEvent(QMouseEvent *event)
{
    Hover(this);
    QDialog::mouseMoveEvent(event);
}

// Esc hides the page as it is: nothing chosen, and the start-up box as the user left it.
void frmQuickStart::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        hide();
    else
        QDialog::keyPressEvent(event);
}

// The close box only hides the page: the main window still reads it before closing it.
void frmQuickStart::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
}

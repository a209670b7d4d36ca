#include "gui/AnalysisList.h"

#include "analysis/modListView.h"
#include "gui/Design.h"
#include "gui/Resources.h"
#include "gui/ViewLoad.h"
#include "platform/listview/widgets/ListView.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

using namespace design;
using platform::listview::ListView;

namespace {
// Design measures of the controls below the list (twips).
constexpr int ListLeft = 240;
constexpr int BarWidth = 3000;
} // namespace

AnalysisList::AnalysisList(Export exportRule, QWidget *parent) : QWidget(parent), m_export(std::move(exportRule))
{
    LoadResources();
    setFont(QFont(QStringLiteral("Arial"), 8));
}

AnalysisList::~AnalysisList() = default;

QLabel *AnalysisList::MakeTitle(const char *name, const char *text, int tipTop)
{
    auto *title = make<QLabel>(this, name, text, ListLeft, 120, 6000, 375);
    makeTitle(title);
    MakeRules("Line1", "Line2", 540, Line1, Line2);
    lblSort = make<QLabel>(this, "lblSort", "Tip: Click on the column you want to sort", ListLeft, tipTop, 6000, 240);
    return title;
}

void AnalysisList::MakeRules(const char *grey, const char *white, int top, QFrame *&greyLine, QFrame *&whiteLine)
{
    greyLine = makeLine(this, grey, ListLeft, top, 8000, QColor(0x80, 0x80, 0x80));
    whiteLine = makeLine(this, white, ListLeft, top + 15, 8000, Qt::white);
    m_rules.push_back(greyLine);
    m_rules.push_back(whiteLine);
}

ListView *AnalysisList::MakeList(const char *name, const QStringList &columnHeaders, const char *image)
{
    m_list = new ListView(columnHeaders, QIcon(QString::fromLatin1(image)), this);
    m_list->setObjectName(QString::fromLatin1(name));
    m_list->setGeometry(px(ListLeft), lblSort->geometry().bottom() + px(60), px(8000), px(3000));
    cmdExport = make<QPushButton>(this, "cmdExport", "&Export list", ListLeft, 0, 1335, 315);
    prgAnalysisProgress = make<QProgressBar>(this, "prgAnalysisProgress", "", 0, 0, BarWidth, 195);
    lblAnalysisProgress = make<QLabel>(this, "lblAnalysisProgress", "Analyze progress", 0, 0, BarWidth, 240);
    m_progress = std::make_unique<ProgressBarView>(prgAnalysisProgress);
    m_progressLabel = std::make_unique<StatusLabelView>(lblAnalysisProgress);
    connect(m_list, &ListView::ColumnClick, this, &AnalysisList::ColumnClick);
    connect(cmdExport, &QPushButton::clicked, this, &AnalysisList::cmdExport_Click);
    return m_list;
}

void AnalysisList::ShowRows(int count, std::function<QString(int row, int column)> texts, const QString &strLoaded)
{
    m_list->Items().Fill(count, std::move(texts));
    m_progress->setValue(m_progress->Max());
    m_progressLabel->setCaption(strLoaded);
}

void AnalysisList::ColumnClick(int number)
{
    modListView::SortOnColumn(m_list->Items(), intLastColumn, int16_t(number));
}

void AnalysisList::cmdExport_Click()
{
    // The save dialog lets the message loop run: a close of the window meanwhile must not
    // delete this view under the click.
    ViewLoad keep(this);
    modListView::ExportList(modListView::ExportText(m_list->Items(), m_export.strHeader, m_export.exportColumns),
                            m_export.strFailure);
}

// The rules reach to the right edge, the list fills the view down to the export button, and
// the progress pair stands right-aligned under the list.
void AnalysisList::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!m_list)
        return;
    const int w = width();
    const int h = height();
    for (QFrame *rule : m_rules)
        rule->resize(w - px(70) - rule->x(), rule->height());
    m_list->resize(w - m_list->x() - px(300), h - m_list->y() - px(600));
    cmdExport->move(cmdExport->x(), h - px(375));
    const int barLeft = m_list->x() + m_list->width() - prgAnalysisProgress->width();
    prgAnalysisProgress->move(barLeft, h - px(255));
    lblAnalysisProgress->move(barLeft, h - px(495));
}

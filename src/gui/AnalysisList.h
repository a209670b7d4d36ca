#pragma once

#include "analysis/clsAnalysis.h"
#include "gui/ProgressPairView.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace platform::listview {
class ListView;
}

// What the user details view and the installed-software view have in common: a title over
// horizontal rules, the sort tip, a list in report view sorted by header clicks, the export
// button and the progress pair the view's query drives, laid out on every resize.
class AnalysisList : public QWidget {
    Q_OBJECT

public:
    ~AnalysisList() override;

    QFrame *Line1 = nullptr;
    QFrame *Line2 = nullptr;
    QLabel *lblSort = nullptr;
    QPushButton *cmdExport = nullptr;
    QProgressBar *prgAnalysisProgress = nullptr;
    QLabel *lblAnalysisProgress = nullptr;

    // The number of the column header clicked last (from 1; 0 before the first click).
    int16_t intLastColumn = 0;

protected:
    // Export: strHeader, then for every row the texts of exportColumns; strFailure opens the
    // message shown when the file cannot be written.
    struct Export {
        QString strHeader;
        std::vector<int> exportColumns;
        QString strFailure;
    };

    AnalysisList(Export exportRule, QWidget *parent);

    // The title, its two rules and the sort tip; the view's own controls go between the rules
    // and the tip, which stands at tipTop.
    QLabel *MakeTitle(const char *name, const char *text, int tipTop);
    // The list (under the sort tip), the export button and the progress pair.
    platform::listview::ListView *MakeList(const char *name, const QStringList &columnHeaders,
                                           const char *image);
    // A further pair of rules, stretched with the title's.
    void MakeRules(const char *grey, const char *white, int top, QFrame *&greyLine, QFrame *&whiteLine);

    // Fills the list with count rows whose texts come from texts, then shows the full bar and
    // the loaded text.
    void ShowRows(int count, std::function<QString(int row, int column)> texts, const QString &strLoaded);

    void resizeEvent(QResizeEvent *event) override;

    std::unique_ptr<clsAnalysis> objAnalysis;
    // Set while a load or a pick list runs (see ViewLoad).
    bool m_loading = false;
    std::unique_ptr<ProgressBarView> m_progress;
    std::unique_ptr<StatusLabelView> m_progressLabel;

private:
    void ColumnClick(int number);
    void cmdExport_Click();

    Export m_export;
    platform::listview::ListView *m_list = nullptr;
    std::vector<QFrame *> m_rules;
};

#include "gui/usrInstalledSoftware.h"

#include "analysis/modListView.h"
#include "gui/Design.h"
#include "gui/ViewLoad.h"
#include "gui/frmSelect.h"
#include "platform/shell/widgets/WidgetShell.h"
#include "shell/frmSettings.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using design::make;

namespace {
const QString AllComputers = QStringLiteral("All computers");
const QString AllPrograms = QStringLiteral("All programs");
} // namespace

usrInstalledSoftware::usrInstalledSoftware(QWidget *parent)
    : AnalysisList({QStringLiteral("Computer,Program,Version,Publisher,Install source"),
                    {0, 1, 2, 3, 4},
                    QStringLiteral("Error while exporting the list of installed programs. ")},
                   parent)
{
    lblInstalledSoftware = MakeTitle("lblInstalledSoftware", "Installed software", 1260);
    lblComputer = make<QLabel>(this, "lblComputer", "Computer", 240, 735, 900, 240);
    txtComputer = make<QLineEdit>(this, "txtComputer", "", 1140, 690, 3000, 315);
    cmdSelectComputer = make<QPushButton>(this, "cmdSelectComputer", "...", 4200, 690, 315, 315);
    lblProgram = make<QLabel>(this, "lblProgram", "Program", 4920, 735, 900, 240);
    txtProgram = make<QLineEdit>(this, "txtProgram", "", 5820, 690, 3000, 315);
    cmdSelectProgram = make<QPushButton>(this, "cmdSelectProgram", "...", 8880, 690, 315, 315);
    // The filters change only through the pick lists.
    for (QLineEdit *filter : {txtComputer, txtProgram})
        filter->setReadOnly(true);
    design::nameAfter(txtComputer, lblComputer);
    design::nameAfter(txtProgram, lblProgram);
    txtComputer->setText(AllComputers);
    txtProgram->setText(AllPrograms);
    MakeRules("Line3", "Line4", 1140, Line3, Line4);
    connect(cmdSelectComputer, &QPushButton::clicked, this, &usrInstalledSoftware::cmdSelectComputer_Click);
    connect(cmdSelectProgram, &QPushButton::clicked, this, &usrInstalledSoftware::cmdSelectProgram_Click);
    lstViewSoftware = MakeList("lstViewSoftware",
                               {QStringLiteral("Computer"), QStringLiteral("Program"), QStringLiteral("Version"),
                                QStringLiteral("Publisher"), QStringLiteral("Install source")},
                               ":/icons/program.png");
}

void usrInstalledSoftware::LoadControl()
{
    ViewLoad load(this, m_loading);
    if (!load)
        return;
    objAnalysis = std::make_unique<clsAnalysis>();
    LoadInstalledSoftware();
}

// Reads into a collection of its own: the view's records, filters and rows change only once the
// whole inventory has been read.
void usrInstalledSoftware::LoadInstalledSoftware()
{
    QList<clsProgram> programs;
    if (objAnalysis->GetInstalledSoftware(frmSettings::Instance().GetDatabasePath(), programs, *m_progress,
                                          *m_progressLabel) == 0)
        return;
    txtComputer->setText(AllComputers);
    txtProgram->setText(AllPrograms);
    colAllPrograms = std::move(programs);
    colShownPrograms = colAllPrograms;
    AddProgramsToList();
}

void usrInstalledSoftware::cmdSelectComputer_Click()
{
    SelectFilter(txtComputer, QStringLiteral("Computers"), &frmSelect::LoadComputers);
}

void usrInstalledSoftware::cmdSelectProgram_Click()
{
    SelectFilter(txtProgram, QStringLiteral("Installed programs"), &frmSelect::LoadPrograms);
}

// Choosing the first row ("All computers", "All programs") clears the filter.
void usrInstalledSoftware::SelectFilter(QLineEdit *filter, const QString &strCaption, void (frmSelect::*fill)())
{
    ViewLoad load(this, m_loading);
    if (!load)
        return;
    frmSelect dialog(this);
    dialog.setWindowTitle(strCaption);
    (dialog.*fill)();
    platform::shell::WidgetShell::ExecWindowModal(dialog);
    if (!dialog.selected())
        return;
    if (const std::optional<QString> row = dialog.FirstSelected()) {
        filter->setText(*row);
        FilterList();
    }
}

void usrInstalledSoftware::FilterList()
{
    if (!colShownPrograms)
        return;
    colShownPrograms = modListView::ProgramsShown(colAllPrograms, txtComputer->text(), txtProgram->text());
    AddProgramsToList();
}

void usrInstalledSoftware::AddProgramsToList()
{
    const QList<clsProgram> shown = colShownPrograms.value_or(QList<clsProgram>());
    ShowRows(
        int(shown.size()), [shown](int row, int column) { return modListView::ProgramText(shown[row], column); },
        QStringLiteral("List of installed programs loaded."));
}

#include "gui/frmScanNetwork.h"

#include "analysis/clsAnalysis.h"
#include "gui/Design.h"
#include "gui/ProgressPairView.h"
#include "gui/Resources.h"
#include "platform/database/DatabaseClaim.h"
#include "platform/files/RegularFile.h"
#include "platform/ini/IniFile.h"
#include "platform/shell/Shell.h"
#include "scan/modBrowseForFolder.h"
#include "scan/modQueries.h"
#include "scan/modScanDirs.h"
#include "scan/modScanInstalledPrograms.h"
#include "scan/modScanUsersGroups.h"
#include "scan/modSearchDirs.h"
#include "shell/frmSettings.h"
#include "support/DateText.h"
#include "support/DoEvents.h"
#include "support/Error.h"
#include "support/NumericText.h"
#include "support/ProgramEnd.h"
#include "support/ProgramFolder.h"
#include "support/StepGuard.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <array>
#include <optional>

using namespace design;

namespace {

const QString StartCaption = QStringLiteral("&Start scanning");
const QString StopCaption = QStringLiteral("&Stop scanning");
const QString Options = QStringLiteral("Options");
const QString Directories = QStringLiteral("Directories");

const std::array<const char *, 5> DesignTexts = {
    "Scanning users and network groups (0%)", "Searching directories (0%)", "Scanning directories (0%)",
    "Scanning installed software (0%)", "Finishing (0%)"};
const std::array<const char *, 5> RunStartTexts = {
    "Scanning users and networkgroups (0%)", "Searching directories (0%)", "Scanning directories (0%)",
    "Scanning installed software (0%)", "Finishing (0%)"};

QFrame *makeLine(QWidget *container, const char *name, int top, const QColor &colour)
{
    return design::makeLine(container, name, 360, top, 8000 - 360, colour);
}

// The leading number of a text as a whole number; nothing when it is out of range.
std::optional<int16_t> wholeNumber(const QString &text)
{
    try {
        return support::CInt(support::Val(text));
    } catch (const support::Error &) {
        return std::nullopt;
    }
}

// Sets a check box to a stored value; values a check box does not take leave it as it was.
void setCheckValue(QCheckBox *box, const QString &text)
{
    const auto value = wholeNumber(text);
    if (!value || *value < 0 || *value > 2)
        return;
    box->setCheckState(*value == 2 ? Qt::PartiallyChecked : *value == 1 ? Qt::Checked : Qt::Unchecked);
}

int checkValue(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

// A getter's value, or "" when it fails: each value of the rewrite stands on its own.
QString safely(QString (frmSettings::*getter)())
{
    try {
        return (frmSettings::Instance().*getter)();
    } catch (const support::Error &) {
        return {};
    }
}

} // namespace

// The progress pair of one run. Closing the window detaches it, so that the rest of the run no
// longer touches the window.
struct frmScanNetwork::RunDisplay {
    explicit RunDisplay(frmScanNetwork *window)
        : bar(window->ProgressBar1),
          labels{StatusLabelView(window->lblProgress[0]), StatusLabelView(window->lblProgress[1]),
                 StatusLabelView(window->lblProgress[2]), StatusLabelView(window->lblProgress[3]),
                 StatusLabelView(window->lblProgress[4])}
    {
    }

    void Detach()
    {
        attached = false;
        bar.Detach();
        for (StatusLabelView &label : labels)
            label.Detach();
    }

    ProgressBarView bar;
    std::array<StatusLabelView, 5> labels;
    bool attached = true;
    QStringList failures; // the closing texts of the tasks that failed or were cancelled
    // What each task passed over: accounts and groups, directories not listed or whose rights were
    // not read and the accounts and groups they name, exports.
    std::vector<PassedOver> accounts;
    std::vector<PassedOver> directories;
    std::vector<PassedOver> exports;

    // What the run passed over, in the order of its tasks; an account that two tasks passed over
    // (the users scan, and the rights read for an owner) is named once.
    std::vector<PassedOver> PassedOverItems() const
    {
        std::vector<PassedOver> items = accounts;
        items.insert(items.end(), directories.begin(), directories.end());
        items.insert(items.end(), exports.begin(), exports.end());
        return EachOnce(items);
    }
};

frmScanNetwork::frmScanNetwork(QWidget *parent) : QWidget(parent)
{
    LoadResources();
    setWindowTitle(QStringLiteral("Scan network"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/scan.png")));
    resize(px(11745), px(7470));
    CreateControls();
    tmrBeginScan = new QTimer(this);
    tmrBeginScan->setInterval(50);
    connect(tmrBeginScan, &QTimer::timeout, this, &frmScanNetwork::tmrBeginScan_Timer);
}

QSize frmScanNetwork::sizeHint() const { return {px(11745), px(7470)}; }

frmScanNetwork::~frmScanNetwork()
{
    if (m_run)
        m_run->Detach();
}

void frmScanNetwork::CreateControls()
{
    QFont arial(QStringLiteral("Arial"), 8);
    arial.setBold(false); // stated, so that it is not taken over from a bold frame
    setFont(arial);

    imgScan = makePicture(this, "imgScan", ":/icons/scan.png", 480, 140, 450, 435);
    lblScanNetwork = make<QLabel>(this, "lblScanNetwork", "Scan network", 1200, 240, 1905, 330);
    makeTitle(lblScanNetwork);
    Line3 = makeLine(this, "Line3", 720, QColor(0x80, 0x80, 0x80));
    Line4 = makeLine(this, "Line4", 735, Qt::white);

    fraDirs = make<QGroupBox>(this, "fraDirs", "          Directories", 360, 1080, 6495, 4095);
    lblDirlist = make<QLabel>(fraDirs, "lblDirlist", "Add/remove directories to scan:", 240, 360, 2745, 240);
    lstDirs = make<QListWidget>(fraDirs, "lstDirs", "", 240, 720, 5895, 2205);
    lstDirs->setSelectionMode(QAbstractItemView::ExtendedSelection);
    txtDir = make<QLineEdit>(fraDirs, "txtDir", "", 240, 3045, 5535, 285);
    cmdBrowse = make<QPushButton>(fraDirs, "cmdBrowse", "...", 5880, 3045, 285, 285);
    cmdAdd = make<QPushButton>(fraDirs, "cmdAdd", "&Add", 240, 3555, 1095, 375);
    cmdRemove = make<QPushButton>(fraDirs, "cmdRemove", "&Remove", 1560, 3555, 1095, 375);

    fraDetails = make<QGroupBox>(this, "fraDetails", "          Sub-directories", 360, 5520, 6495, 1215);
    lblScan1 = make<QLabel>(fraDetails, "lblScan1", "Scan of a maximum of", 240, 360, 1950, 240);
    txtSubCount = make<QLineEdit>(fraDetails, "txtSubCount", "", 2300, 360, 375, 285);
    lblScan2 = make<QLabel>(fraDetails, "lblScan2", "sub-directories.", 2760, 360, 1335, 240);
    chkAll = make<QCheckBox>(fraDetails, "chkAll", "Scan every subdirectory", 240, 840, 4815, 195);

    fraScan = make<QGroupBox>(this, "fraScan", "          Scan", 6960, 1080, 4575, 1455);
    chkUsers = make<QCheckBox>(fraScan, "chkUsers", "Users / groups", 600, 360, 1575, 255);
    chkDirectories = make<QCheckBox>(fraScan, "chkDirectories", "Directories", 600, 720, 1575, 255);
    chkPrograms = make<QCheckBox>(fraScan, "chkPrograms", "Installed programs", 600, 1080, 1935, 255);

    fraProgress = make<QGroupBox>(this, "fraProgress", "", 6960, 2760, 4575, 3975);
    lblStatus = make<QLabel>(fraProgress, "lblStatus", "Status", 240, 240, 585, 240);
    for (int i = 0; i < 5; ++i) {
        lblProgress[i] = make<QLabel>(fraProgress, "lblProgress", "", 480, 600 + 480 * i, 4065, 435);
        lblProgress[i]->setObjectName(QStringLiteral("lblProgress%1").arg(i));
        lblProgress[i]->setWordWrap(true);
        lblProgress[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    // Wider than at design: the title grows to "Progress  (cancelled)".
    lblProgressTitle = make<QLabel>(fraProgress, "lblProgressTitle", "", 240, 3120, 4065, 240);
    ProgressBar1 = make<QProgressBar>(fraProgress, "ProgressBar1", "", 240, 3480, 4215, 195);
    ProgressBar1->setTextVisible(false);

    boldenCaptions({fraDirs, fraDetails, fraScan, fraProgress}, arial);
    for (QLabel *bold : {lblStatus, lblProgressTitle})
        bold->setFont(boldened(arial));

    cmdStart = make<QPushButton>(this, "cmdStart", "", 9840, 6960, 1695, 375);
    lblLastScanDate = make<QLabel>(this, "lblLastScanDate", "", 360, 6960, 4575, 255);
    // The frames' icons sit over the start of their captions, which leave room with blanks.
    picDirs = makePicture(this, "picDirs", ":/icons/folder.png", 600, 990, 360, 360);
    picDetails = makePicture(this, "picDetails", ":/icons/details.png", 600, 5400, 495, 375);
    picScan = makePicture(this, "picScan", ":/icons/tasks.png", 7200, 960, 375, 375);
    captionBeside(fraDirs, picDirs);
    captionBeside(fraDetails, picDetails);
    captionBeside(fraScan, picScan);
    nameAfter(txtDir, lblDirlist);
    nameAfter(txtSubCount, lblScan1);
    // The marker stands beside the task boxes at 240, 400 in their frame, but is no child of it:
    // the run disables the frame, and a disabled frame would grey the marker while it shows.
    shpBlueCircle = makePicture(this, "shpBlueCircle", ":/icons/bluecircle.png", 6960 + 240, 1080 + 400, 180, 180);

    connect(cmdStart, &QPushButton::clicked, this, &frmScanNetwork::cmdStart_Click);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmScanNetwork::cmdBrowse_Click);
    connect(cmdAdd, &QPushButton::clicked, this, &frmScanNetwork::cmdAdd_Click);
    connect(cmdRemove, &QPushButton::clicked, this, &frmScanNetwork::cmdRemove_Click);
    connect(txtDir, &QLineEdit::returnPressed, this, &frmScanNetwork::cmdAdd_Click);
    connect(chkAll, &QCheckBox::stateChanged, this, &frmScanNetwork::chkAll_Click);
    txtSubCount->installEventFilter(this);
    lstDirs->installEventFilter(this);
    ResetToDesign();
}

// The state the window has when it is loaded: design texts and values, nothing in the lists.
void frmScanNetwork::ResetToDesign()
{
    lstDirs->clear();
    txtDir->clear();
    txtSubCount->setText(QStringLiteral("1"));
    chkAll->setCheckState(Qt::Unchecked);
    for (QCheckBox *task : {chkUsers, chkDirectories, chkPrograms})
        task->setCheckState(Qt::Checked);
    for (int i = 0; i < 5; ++i) {
        lblProgress[i]->setText(QString::fromUtf8(DesignTexts[i]));
        SetLabelState(i, LabelState::Waiting);
    }
    lblProgressTitle->setText(QStringLiteral("Progress"));
    ProgressBar1->setValue(0);
    ShowMarker(chkUsers);
    cmdStart->setText(StartCaption);
    lblLastScanDate->setText(QStringLiteral("Last scan date:"));
    EnableControls(true);
    chkAll_Click();
}

void frmScanNetwork::Form_Load()
{
    ResetToDesign();
    AppPath = support::ProgramFolder();
    GetSettings();
    clsAnalysis analysis;
    const QString lastScan = analysis.GetLastScanDate(frmSettings::Instance().GetDatabasePath());
    if (!lastScan.isEmpty())
        lblLastScanDate->setText(QStringLiteral("Last scan date: ") + lastScan);
}

// Everything from one reading of the file, however many directories it lists.
void frmScanNetwork::GetSettings()
{
    const platform::ini::Snapshot settings(frmSettings::Instance().SettingsFile());
    for (const QString &entry : frmSettings::DirectoriesIn(settings)) {
        if (!entry.isEmpty())
            lstDirs->addItem(entry);
    }
    txtSubCount->setText(settings.Value(Options, QStringLiteral("SubdirectoryCount"), QStringLiteral("2")));
    setCheckValue(chkAll, settings.Value(Options, QStringLiteral("AllSubdirectories"), QString()));
    chkAll_Click();
    setCheckValue(chkUsers, settings.Value(Options, QStringLiteral("ScanUsers"), QStringLiteral("1")));
    setCheckValue(chkDirectories, settings.Value(Options, QStringLiteral("ScanDirectories"), QStringLiteral("1")));
    setCheckValue(chkPrograms, settings.Value(Options, QStringLiteral("ScanPrograms"), QStringLiteral("1")));
}

// The whole file is written anew in one step, so a crash in the middle never loses the settings.
// The values of the settings service are those in effect (the domain found on the network when
// none is set); keys that are not written here are gone afterwards.
void frmScanNetwork::WriteSettings()
{
    QList<platform::ini::Entry> entries;
    const auto option = [&](const char *key, const QString &value) {
        entries.append({Options, QString::fromLatin1(key), value});
    };
    option("DatabasePath", safely(&frmSettings::GetDatabasePath));
    option("Domain", safely(&frmSettings::GetDomain));
    option("ShowQuickStart", safely(&frmSettings::GetShowQuickStart));
    option("CheckForUpdates", safely(&frmSettings::GetCheckForUpdates));
    option("NetworkgroupSubdirCount", safely(&frmSettings::GetNetworkgroupSubdirCount));
    option("NetworkuserSubdirCount", safely(&frmSettings::GetNetworkuserSubdirCount));
    option("MinimizeToTray", safely(&frmSettings::GetMinimizeToTray));
    option("SubdirectoryCount", txtSubCount->text());
    option("ScanUsers", QString::number(checkValue(chkUsers)));
    option("ScanDirectories", QString::number(checkValue(chkDirectories)));
    option("ScanPrograms", QString::number(checkValue(chkPrograms)));
    option("ScheduledScan", safely(&frmSettings::GetScheduledScan));
    option("ScheduledTime", safely(&frmSettings::GetScheduledTime));
    if (safely(&frmSettings::GetNoPing) == QStringLiteral("1"))
        option("NoPing", QStringLiteral("1"));
    entries.append({Directories, QStringLiteral("DirectoryCount"), QString::number(lstDirs->count())});
    for (int i = 0; i < lstDirs->count(); ++i)
        entries.append({Directories, QStringLiteral("Directory") + QString::number(i + 1), lstDirs->item(i)->text()});
    option("AllSubdirectories", checkValue(chkAll) == 1 ? QStringLiteral("1") : QStringLiteral("0"));
    // A file that cannot be read or written keeps what it held, and the window says so (an
    // unattended run on standard error, and it ends with exit code 1).
    try {
        platform::ini::RewriteFile(entries, frmSettings::Instance().SettingsFile());
    } catch (const support::Error &error) {
        platform::shell::MsgBox(error.Description(), platform::shell::vbExclamation);
    }
}

void frmScanNetwork::cmdStart_Click()
{
    if (cmdStart->text() == StartCaption)
        RunScan();
    else
        CancelScan();
    // A window closed while its run went on has written the settings at its close; what it
    // shows now is no longer what the file should hold.
    if (!m_unloaded)
        WriteSettings();
}

void frmScanNetwork::cmdBrowse_Click()
{
    const QString folder = modBrowseForFolder::BrowseForFolder(QStringLiteral("Select a folder"), 1, 0);
    if (!folder.isEmpty())
        txtDir->setText(folder);
}

void frmScanNetwork::cmdAdd_Click()
{
    if (txtDir->text().trimmed().isEmpty())
        return;
    lstDirs->addItem(txtDir->text());
    txtDir->clear();
}

void frmScanNetwork::cmdRemove_Click()
{
    for (int i = lstDirs->count() - 1; i >= 0; --i) {
        if (lstDirs->item(i)->isSelected())
            delete lstDirs->takeItem(i);
    }
}

bool frmScanNetwork::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (watched == lstDirs && key->key() == Qt::Key_Delete) {
        cmdRemove_Click();
        return true;
    }
    // Tab moves on: it is no typed character.
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (watched == txtSubCount && !key->text().isEmpty() && !tab) {
        // Only digits, the point and Backspace get through; every other typed character is dropped.
        const QChar c = key->text().front();
        const bool accepted = (c >= u'0' && c <= u'9') || c == u'.' || c == QChar(8);
        return !accepted;
    }
    return QWidget::eventFilter(watched, event);
}

void frmScanNetwork::chkAll_Click()
{
    const bool enable = chkAll->checkState() == Qt::Unchecked;
    for (QWidget *widget : std::initializer_list<QWidget *>{txtSubCount, lblScan1, lblScan2})
        widget->setEnabled(enable);
}

void frmScanNetwork::EnableControls(bool enable)
{
    // The progress frame stays enabled: a disabled frame would grey out the progress labels,
    // which must stay enabled whatever the state.
    for (QWidget *widget : std::initializer_list<QWidget *>{
             lblScanNetwork, fraDirs, lblDirlist, lstDirs, txtDir, cmdBrowse, cmdAdd, cmdRemove, fraDetails, lblScan1,
             txtSubCount, lblScan2, chkAll, fraScan, chkUsers, chkDirectories, chkPrograms, lblLastScanDate})
        widget->setEnabled(enable);
    for (QWidget *widget : std::initializer_list<QWidget *>{cmdStart, lblProgressTitle, lblStatus, lblProgress[0],
                                                          lblProgress[1], lblProgress[2], lblProgress[3], lblProgress[4]})
        widget->setEnabled(true);
}

void frmScanNetwork::SetTitle(const QString &title)
{
    if (!m_run || m_run->attached)
        lblProgressTitle->setText(title);
}

void frmScanNetwork::SetLabelState(int index, LabelState state)
{
    if (m_run && !m_run->attached)
        return;
    QLabel *label = lblProgress[index];
    QFont font = label->font();
    font.setBold(state == LabelState::Running);
    label->setFont(font);
    if (state == LabelState::Waiting)
        setColour(label, QPalette::WindowText, Qt::black);
    else if (state == LabelState::Done)
        setColour(label, QPalette::WindowText, palette().color(QPalette::Active, QPalette::Highlight));
}

// Shows the marker beside a task box, or hides it (nullptr).
void frmScanNetwork::ShowMarker(QCheckBox *beside)
{
    if (m_run && !m_run->attached)
        return;
    shpBlueCircle->setVisible(beside != nullptr);
    if (beside)
        shpBlueCircle->move(shpBlueCircle->x(), fraScan->y() + beside->y() + px(40));
}

void frmScanNetwork::SetRunning(bool running)
{
    if (m_run && !m_run->attached)
        return;
    if (running)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
    EnableControls(!running);
    cmdStart->setText(running ? StopCaption : StartCaption);
    cmdStart->setEnabled(true);
}

bool frmScanNetwork::Stopped() const { return m_cancelled || (m_run && !m_run->attached); }

// The search takes 100 and more for no limit, and 0 and less for nothing: a number beyond either
// end (a hand-edited "1e10") means the same and must not overflow the conversion.
int32_t frmScanNetwork::Depth() const
{
    if (checkValue(chkAll) == 1)
        return modSearchDirs::UnlimitedDepth;
    return support::CLng(std::clamp(support::Val(txtSubCount->text()), 0.0, double(modSearchDirs::UnlimitedDepth)));
}

// One task of the run: the label running, the marker beside its box, the task, the log line (for
// a task without one, when it failed), the marker hidden and the label done. True when it
// succeeded. Unattended, a message that the window would show in a box has gone to standard error
// instead, and fails the task: the last such message becomes its outcome.
bool frmScanNetwork::RunTask(int label, QCheckBox *marker, const std::function<int32_t()> &task, bool log)
{
    SetLabelState(label, LabelState::Running);
    ShowMarker(marker);
    const int boxesBefore = platform::shell::MessageBoxesShown().count;
    bool succeeded = task() != 0;
    if (m_autoScan && platform::shell::MessageBoxesShown().count != boxesBefore) {
        m_run->labels[label].setCaption(platform::shell::MessageBoxesShown().last);
        succeeded = false;
    }
    if (!succeeded)
        m_run->failures << m_run->labels[label].Caption();
    if (log || !succeeded)
        WriteLogLine(m_run->labels[label].Caption());
    if (marker)
        ShowMarker(nullptr);
    SetLabelState(label, LabelState::Done);
    return succeeded;
}

// The root list, each root once (the same path typed twice, or once with a trailing "/").
QStringList frmScanNetwork::Roots() const
{
    QStringList roots;
    QSet<QString> seen;
    for (int i = 0; i < lstDirs->count(); ++i) {
        const QString root = lstDirs->item(i)->text();
        const qsizetype before = seen.size();
        seen.insert(modSearchDirs::RootPath(root));
        if (seen.size() > before)
            roots << root;
    }
    return roots;
}

// Task 2: the search below every root. A root that is no absolute path, has a ".." part or cannot
// be listed fails the task, and the rights are not scanned then: the table keeps the last scan's
// rows rather than lose those of a root that is only missing for a while (a mount that did not
// come up).
int32_t frmScanNetwork::SearchRoots(RunDisplay &display)
{
    display.labels[1].setCaption(QStringLiteral("Searching directories..."));
    colDirs.clear();
    const int32_t depth = Depth();
    QStringList refused;
    for (const QString &root : Roots()) {
        try {
            modSearchDirs::SearchDirs(root, depth, colDirs, &display.directories);
        } catch (const support::Error &error) {
            refused << error.Description();
        }
    }
    // A root inside another is searched from both: what lies below it is stored, and named, once.
    colDirs.removeDuplicates();
    display.directories = EachOnce(display.directories);
    SetTitle(QStringLiteral("Progress  (task 3/5)"));
    if (!refused.isEmpty()) {
        display.labels[1].setCaption(refused.join(u' ') + QStringLiteral(" The directory rights were not scanned."));
        return 0;
    }
    display.labels[1].setCaption(QStringLiteral("Directories listed successfully."));
    return 1;
}

void frmScanNetwork::RunScan()
{
    {
        support::StepGuard guard(m_runBusy);
        if (guard)
            RunTasks();
    }
    if (m_unloaded && !m_runBusy)
        DestroyWhenIdle(); // closed while the run went on: nothing uses the window any more
}

void frmScanNetwork::RunTasks()
{
    RunDisplay display(this);
    m_run = &display;
    m_cancelled = false;
    const bool users = checkValue(chkUsers) == 1;
    const bool directories = checkValue(chkDirectories) == 1;
    const bool programs = checkValue(chkPrograms) == 1;
    try {
        // Settings that are there but cannot be read would run the scan on defaults: another
        // database, no roots.
        try {
            platform::ini::CheckReadable(frmSettings::Instance().SettingsFile());
        } catch (const support::Error &error) {
            m_run = nullptr;
            return NotStarted(error);
        }
        const QString databasePath = frmSettings::Instance().GetDatabasePath();
        const QString domain = frmSettings::Instance().GetDomain();
        const auto claim = ClaimDatabase(databasePath);
        if (!claim) {
            m_run = nullptr;
            return;
        }
        SetRunning(true);
        ShowMarker(nullptr);
        for (int i = 0; i < 5; ++i) {
            SetLabelState(i, LabelState::Waiting);
            display.labels[i].setCaption(QString::fromUtf8(RunStartTexts[i]));
        }
        display.bar.setValue(0);
        SetTitle(QStringLiteral("Progress  (task 1/5)"));

        if (users) {
            RunTask(0, chkUsers, [&] {
                return modScanUsersGroups::ScanUsersGroups(display.bar, display.labels[0], databasePath, QStringLiteral("Users"),
                                                    QStringLiteral("Groups"), QStringLiteral("UserGroup"), domain,
                                                    &display.accounts);
            }, true);
        }
        bool listed = false;
        if (directories && !Stopped()) {
            SetTitle(QStringLiteral("Progress  (task 2/5)"));
            listed = RunTask(1, chkDirectories, [&] { return SearchRoots(display); }, false);
        }
        if (listed && !Stopped()) {
            // The marker stays at the directories box from the search.
            RunTask(2, chkDirectories, [&] {
                return modScanDirs::ScanDirs(colDirs, display.bar, display.labels[2], databasePath,
                                             QStringLiteral("Permissions"), &display.directories);
            }, true);
        }
        if (programs && !Stopped()) {
            SetTitle(QStringLiteral("Progress  (task 4/5)"));
            RunTask(3, chkPrograms, [&] {
                return modScanInstalledPrograms::ScanInstalledPrograms(display.bar, display.labels[3], databasePath,
                                                                QStringLiteral("InstalledSoftware"), domain,
                                                                &display.exports);
            }, true);
        }
        if (!Stopped()) {
            SetTitle(QStringLiteral("Progress  (task 5/5)"));
            RunTask(4, nullptr, [&] {
                modQueries::ExecuteQueries(display.bar, display.labels[4], databasePath, QStringLiteral("UsedGroups"),
                                           QStringLiteral("UnusedGroups"));
                return display.labels[4].Caption() == modQueries::SuccessText ? 1 : 0;
            }, true);
        }

        SetRunning(false);
        SetLabelState(4, LabelState::Done);
        if (!Stopped())
            SetTitle(QStringLiteral("Progress  (done)"));
        // The database the run claimed, even when the setting has changed meanwhile.
        clsAnalysis analysis;
        analysis.SetLastScanDate(databasePath, support::DateText(QDateTime::currentDateTime()));
    } catch (const support::Error &error) {
        display.labels[4].setCaption(QStringLiteral("Unknown error: ") + error.Description());
        m_run = nullptr;
        // Unattended, nobody could press a button to get out of the failed state, and a program
        // left running would swallow every later scheduled start: report every failure and end.
        if (m_autoScan)
            EndUnattended(display.failures << display.labels[4].Caption(), display.PassedOverItems());
        return;
    }
    m_run = nullptr;
    if (m_autoScan)
        EndUnattended(display.failures, display.PassedOverItems());
}

// The run's claim on its database, held until the run ends. When another run holds it, or it
// cannot be had, the run touches nothing and says so (NotStarted).
std::unique_ptr<platform::database::DatabaseClaim> frmScanNetwork::ClaimDatabase(const QString &databasePath)
{
    try {
        return std::make_unique<platform::database::DatabaseClaim>(databasePath);
    } catch (const support::Error &error) {
        NotStarted(error);
        return nullptr;
    }
}

// A run that cannot start touches nothing and says why: in a message box, or, unattended, on
// standard error, and the program ends with exit code 1 (the settings file is left as it is).
void frmScanNetwork::NotStarted(const support::Error &error)
{
    platform::shell::MsgBox(error.Description() + QStringLiteral(" The scan did not start."),
                            platform::shell::vbExclamation);
    if (m_autoScan)
        support::EndProgram(1);
}

// The end of an unattended run: cron, systemd timers and monitoring tell a run in which anything
// failed by its exit code, a message box that went to standard error included. What the tasks
// passed over (directories, accounts, exports that could not be read) is listed but fails nothing.
void frmScanNetwork::EndUnattended(const QStringList &failures, const std::vector<PassedOver> &passedOver)
{
    for (const auto &[name, reason] : passedOver)
        platform::shell::WriteErrorLine(QStringLiteral("Could not read (%1): %2").arg(reason, name));
    for (const QString &failure : failures)
        platform::shell::WriteErrorLine(failure);
    Form_Unload();
    support::EndProgram(failures.isEmpty() && platform::shell::MessageBoxesShown().count == 0 ? 0 : 1);
}

void frmScanNetwork::CancelScan()
{
    m_cancelled = true;
    modScanDirs::StopScanDirs();
    modScanInstalledPrograms::StopScanInstalledPrograms();
    support::DoEvents();
    SetTitle(QStringLiteral("Progress  (cancelled)"));
    if (!m_run || m_run->attached)
        cmdStart->setText(StartCaption);
}

// A tick while the run is in progress starts nothing: RunScan is never entered twice.
void frmScanNetwork::tmrBeginScan_Timer()
{
    RunScan();
    tmrBeginScan->stop();
}

// Appends a line to the scan log, which begins anew once it has grown past 250,000 bytes. A line
// that cannot be written (a full disk, a folder or a FIFO in the log's place) raises an error
// that names the file.
void frmScanNetwork::WriteScanLog(const QString &line)
{
    const QString file = AppPath + QStringLiteral("ScanLog.log");
    if (QFile old(file); QFileInfo(file).isFile() && old.size() > 250000 && !old.remove()) {
        throw support::Error(75, QStringLiteral("%1 cannot be begun anew: %2.").arg(file, old.errorString()),
                             QStringLiteral("WriteScanLog"));
    }
    platform::files::Append(file, (line + QStringLiteral("\r\n")).toUtf8());
}

// A task's outcome in the scan log: date, " (", time, ")  -  " and the text its label was left with.
void frmScanNetwork::WriteLogLine(const QString &outcome)
{
    const QDateTime now = QDateTime::currentDateTime();
    WriteScanLog(support::ShortDateText(now.date()) + QStringLiteral(" (") + support::TimeText(now.time())
                 + QStringLiteral(")  -  ") + outcome);
}

void frmScanNetwork::Form_Unload()
{
    modScanDirs::StopScanDirs();
    modScanInstalledPrograms::StopScanInstalledPrograms();
    if (m_run)
        m_run->Detach();
    support::DoEvents();
    WriteSettings();
}

void frmScanNetwork::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_unloaded)
        return;
    Form_Unload();
    m_unloaded = true;
    emit Unloaded();
    if (!m_runBusy)
        DestroyWhenIdle();
}

// A run that is still in progress below the close keeps using the window, so it is destroyed
// only after the run: a deferred deletion would be carried out by the run's own message-loop
// calls.
void frmScanNetwork::DestroyWhenIdle()
{
    if (auto *frame = qobject_cast<QMdiSubWindow *>(parentWidget()))
        frame->deleteLater();
}

void frmScanNetwork::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void frmScanNetwork::Form_Resize()
{
    if (LayoutSkipped(this))
        return;
    int x = 0;
    try {
        x = support::CInt((width() * 15 - 11175) / 2.0);
    } catch (const support::Error &) {
        return; // wider than any layout needs: leave it as it is
    }
    const auto left = [](QWidget *widget, int twips) { widget->move(px(twips), widget->y()); };
    const int dirsWidth = fraDirs->width() * 15;
    left(fraDirs, x);
    left(picDirs, x + 240);
    left(fraDetails, x);
    left(picDetails, x + 240);
    left(fraScan, x + dirsWidth + 100);
    left(picScan, x + dirsWidth + 100 + 240);
    left(shpBlueCircle, x + dirsWidth + 100 + 240);
    left(fraProgress, x + dirsWidth + 100);
    left(cmdStart, x + dirsWidth + 100 + fraProgress->width() * 15 - cmdStart->width() * 15);
    left(lblLastScanDate, x);
    const int lineEnd = px(x + dirsWidth + 100) + fraScan->width();
    for (QFrame *line : {Line3, Line4})
        line->resize(lineEnd - line->x(), line->height());
}

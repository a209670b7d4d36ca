#include "gui/frmInfo.h"

#include "gui/Design.h"
#include "gui/LinkLabel.h"
#include "gui/Resources.h"
#include "platform/shell/Shell.h"
#include "Version.h"

#include <QPushButton>

using namespace design;

namespace {

const char *Description =
    "Quill Mere scans the directories of your network and records which users and groups hold which access rights "
    "on them. Once a scan has finished, you can view those access rights per network group or per single user, as "
    "a directory tree. It also takes stock of the software installed on the workstations of your network. With a "
    "scheduled scan set in the settings, the program scans on the days and at the time you choose, then closes by "
    "itself. The scan log in the program folder tells you whether each scan has completed.";

} // namespace

frmInfo::frmInfo(QWidget *parent) : QDialog(parent)
{
    LoadResources();
    setWindowTitle(QStringLiteral("Info"));
    setFixedSize(px(7800), px(5160));

    imgLogo = makePicture(this, "imgLogo", ":/icons/splash.png", 360, 360, 960, 960);
    lblNaam = make<QLabel>(this, "lblNaam", "Quill Mere", 1560, 360, 5880, 420);
    makeTitle(lblNaam);
    Label1 = make<QLabel>(this, "Label1", Description, 1560, 900, 5880, 2400);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    lblVersionTitle = make<QLabel>(this, "lblVersionTitle", "Version:", 1560, 3480, 1080, 255);
    lblVersion = make<QLabel>(this, "lblVersion", "", 2760, 3480, 3600, 255);
    lblWebsiteTitle = make<QLabel>(this, "lblWebsiteTitle", "Website", 1560, 3780, 1080, 255);
    lblWebsite = make<LinkLabel>(this, "lblWebsite", support::HomePage, 2760, 3780, 3600, 255);
    lblEmailTitle = make<QLabel>(this, "lblEmailTitle", "E-mail", 1560, 4080, 1080, 255);
    lblEmail = make<LinkLabel>(this, "lblEmail", support::MailAddress, 2760, 4080, 3600, 255);
    for (LinkLabel *address : {lblWebsite, lblEmail})
        address->setUnderlined(true);
    cmdOK = make<QPushButton>(this, "cmdOK", "&OK", 6240, 4620, 1215, 375);
    cmdOK->setDefault(true);

    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(lblWebsite, &LinkLabel::clicked, this, &frmInfo::OpenWebsiteLink);
    connect(lblEmail, &LinkLabel::clicked, this, &frmInfo::OpenMailLink);
    Form_Load();
}

void frmInfo::Form_Load() { lblVersion->setText(QString::fromUtf8(support::VersionText)); }

void frmInfo::OpenWebsiteLink() { lblWebsite->OpenAsWebAddress(); }

void frmInfo::OpenMailLink() { platform::shell::Current().OpenDocument(QStringLiteral("mailto:") + lblEmail->text()); }

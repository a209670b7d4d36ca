#include "gui/frmSplash.h"

#include "gui/Design.h"
#include "gui/LinkLabel.h"
#include "gui/Resources.h"
#include "Version.h"

#include <QTimer>

using namespace design;

frmSplash::frmSplash(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    LoadResources();
    setObjectName(QStringLiteral("frmSplash"));
    setFixedSize(px(6600), px(3000));
    setAutoFillBackground(true);
    setColour(this, QPalette::Window, Qt::white);
    setStyleSheet(QStringLiteral("frmSplash { border: 1px solid #2c5aa8; }"));

    imgLogo = makePicture(this, "imgLogo", ":/icons/splash.png", 480, 540, 1920, 1920);
    lblProductName = make<QLabel>(this, "lblProductName", "Quill Mere", 2880, 660, 3480, 600);
    QFont title(QStringLiteral("Arial"));
    title.setPointSizeF(24);
    lblProductName->setFont(boldened(title));
    setColour(lblProductName, QPalette::WindowText, QColor(0x2c, 0x5a, 0xa8));
    lblVersion = make<QLabel>(this, "lblVersion", "", 2880, 1380, 3480, 300);
    lblWebsite = make<LinkLabel>(this, "lblWebsite", support::HomePage, 2880, 2100, 3480, 300);
    lblWebsite->setUnderlined(true);
    connect(lblWebsite, &LinkLabel::clicked, this, &frmSplash::OpenWebsiteLink);

    tmrUnload = new QTimer(this);
    tmrUnload->setInterval(2000);
    tmrUnload->setSingleShot(true);
    connect(tmrUnload, &QTimer::timeout, this, &frmSplash::CloseSplash);
    tmrUnload->start();
    Form_Load();
}

void frmSplash::Form_Load() { lblVersion->setText(QStringLiteral("v ") + QString::fromUtf8(support::VersionText)); }

void frmSplash::OpenWebsiteLink() { lblWebsite->OpenAsWebAddress(); }

void frmSplash::CloseSplash()
{
    hide();
    done(Accepted);
}

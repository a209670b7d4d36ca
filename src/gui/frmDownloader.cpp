#include "gui/frmDownloader.h"

#include "gui/Design.h"
#include "net/clsDownload.h"
#include "platform/shell/Shell.h"
#include "platform/userstore/UserStore.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

using namespace design;

namespace {

const QString AppName = QStringLiteral("Quillmere");
const QString Markers = QStringLiteral("Downloads");

} // namespace

frmDownloader::frmDownloader(QWidget *parent) : QDialog(parent), moDownload(new clsDownload(this))
{
    setWindowTitle(QStringLiteral("Downloading..."));
    // Modal to the windows it opens over, as every dialog of the program's: not to the whole
    // program, which would block the notification-area icon too.
    setWindowModality(Qt::WindowModal);
    setFixedSize(px(5400), px(1900));
    lblBestand = make<QLabel>(this, "lblBestand", "File 1 of the 1", 240, 180, 4900, 255);
    prgDownload = make<QProgressBar>(this, "prgDownload", "", 240, 480, 4900, 300);
    prgDownload->setRange(0, 100);
    prgDownload->setValue(0);
    prgDownload->setTextVisible(false);
    lblProcent = make<QLabel>(this, "lblProcent", "0 %", 240, 870, 2000, 255);
    cmdAnnuleren = make<QPushButton>(this, "cmdAnnuleren", "&Cancel", 3780, 1320, 1360, 375);
    tmrDownloadVolgendBestand = new QTimer(this);
    tmrDownloadVolgendBestand->setInterval(200);
    tmrDownloadVolgendBestand->setSingleShot(true);

    connect(cmdAnnuleren, &QPushButton::clicked, this, &frmDownloader::cmdAnnuleren_Click);
    connect(tmrDownloadVolgendBestand, &QTimer::timeout, this, &frmDownloader::tmrDownloadVolgendBestand_Timer);
    connect(moDownload, &clsDownload::Starting, this, &frmDownloader::moDownload_Starting);
    connect(moDownload, &clsDownload::DataArrival, this, &frmDownloader::moDownload_DataArrival);
    connect(moDownload, &clsDownload::Completed, this, &frmDownloader::moDownload_Completed);
    connect(moDownload, &clsDownload::Error, this, &frmDownloader::moDownload_Error);
}

frmDownloader::~frmDownloader() = default;

void frmDownloader::reject() { cmdAnnuleren_Click(); }

void frmDownloader::DeleteMarker(const QString &path) { platform::userstore::DeleteSetting(AppName, Markers, path); }

void frmDownloader::DownloadNextFile()
{
    if (!m_finishing) {
        prgDownload->setValue(0);
        lblProcent->setText(QStringLiteral("0 %"));
    }
    ++m_item;
    StartFileDownload();
}

QString frmDownloader::LocalPath() const
{
    const QString &item = Bestanden.at(m_item - 1);
    return item.mid(item.indexOf(u',') + 1);
}

void frmDownloader::StartFileDownload()
{
    lblBestand->setText(m_finishing ? QStringLiteral("Finishing...")
                                    : QStringLiteral("File %1 of the %2").arg(m_item).arg(Bestanden.size()));
    const QString &item = Bestanden.at(m_item - 1);
    const QString url = item.left(item.indexOf(u','));
    const QString path = LocalPath();
    if (platform::userstore::GetSetting(AppName, Markers, path).isEmpty()) {
        platform::userstore::SaveSetting(AppName, Markers, path, QStringLiteral("1"));
        moDownload->Download(url, path);
    } else {
        moDownload->ResumeDownload(url, path);
    }
}

void frmDownloader::tmrDownloadVolgendBestand_Timer()
{
    tmrDownloadVolgendBestand->stop();
    DownloadNextFile();
}

void frmDownloader::moDownload_Starting(int32_t FileSize, const QString &)
{
    if (FileSize > 0)
        prgDownload->setMaximum(FileSize);
}

// The bar and its percentage stop at the maximum, also when a reply brings more than it announced.
void frmDownloader::moDownload_DataArrival(int32_t bytesTotal)
{
    if (m_finishing || moDownload->FileSize() == 0)
        return;
    const int maximum = prgDownload->maximum();
    const int value = static_cast<int>(std::min<int64_t>(int64_t(prgDownload->value()) + bytesTotal, maximum));
    prgDownload->setValue(value);
    lblProcent->setText(QString::number(int64_t(value) * 100 / maximum) + u'%');
}

void frmDownloader::moDownload_Completed()
{
    lblProcent->setText(QStringLiteral("100 %"));
    prgDownload->setMaximum(100);
    prgDownload->setValue(100);
    if (m_finishing)
        DeleteMarker(LocalPath());
    if (m_item < Bestanden.size()) {
        tmrDownloadVolgendBestand->start();
    } else if (m_finishing) {
        lblBestand->setText(QStringLiteral("Download finished."));
        mblnSuccesvol = true;
        hide();
    } else {
        m_finishing = true;
        m_item = 0;
        tmrDownloadVolgendBestand->start();
    }
}

void frmDownloader::moDownload_Error(int32_t, const QString &Description)
{
    platform::shell::MsgBox(QStringLiteral("An error occured while downloading the update files.\r\n\r\nDescription: ") +
                                Description + QStringLiteral("\r\n\r\nPlease try again later."),
                            platform::shell::vbCritical, QStringLiteral("Error while downloading files"));
    done(QDialog::Rejected);
}

// The timer stops too: otherwise the next file would start behind the closed dialog.
void frmDownloader::cmdAnnuleren_Click()
{
    tmrDownloadVolgendBestand->stop();
    moDownload->Cancel();
    hide();
}

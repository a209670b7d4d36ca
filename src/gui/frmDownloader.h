#pragma once

#include <QDialog>
#include <QStringList>

#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class clsDownload;

// The modal dialog that downloads a list of files one after the other and shows the progress.
// Every file is fetched twice: in the download pass, then once more as a resumed transfer in the
// finishing pass. A per-user marker per file (section "Downloads", keyed by the full local path)
// lives from the start of its download until its finishing pass completed, so a download that an
// earlier run left unfinished continues where it stopped.
class frmDownloader : public QDialog {
    Q_OBJECT

public:
    explicit frmDownloader(QWidget *parent = nullptr);
    ~frmDownloader() override;

    // True once every file has finished both passes.
    bool mblnSuccesvol = false;
    // The work list: each item is the URL, one comma and the full local path (the URL holds no
    // comma; the path may).
    QStringList Bestanden;

    QLabel *lblBestand = nullptr;
    QProgressBar *prgDownload = nullptr;
    QLabel *lblProcent = nullptr;
    QPushButton *cmdAnnuleren = nullptr;
    // One-shot, 200 ms: starts the next file.
    QTimer *tmrDownloadVolgendBestand = nullptr;

    // The downloader whose events the dialog handles.
    clsDownload *Downloader() const { return moDownload; }

    // Esc and the close box act as Cancel.
    void reject() override;

    // Forgets the marker of the file at path: its next download begins anew.
    static void DeleteMarker(const QString &path);

private:
    void DownloadNextFile();
    void StartFileDownload();
    void tmrDownloadVolgendBestand_Timer();
    void moDownload_Starting(int32_t FileSize, const QString &Header);
    void moDownload_DataArrival(int32_t bytesTotal);
    void moDownload_Completed();
    void moDownload_Error(int32_t Number, const QString &Description);
    void cmdAnnuleren_Click();

    QString LocalPath() const;

    int16_t m_item = 0;
    bool m_finishing = false;
    clsDownload *moDownload;
};

// Fetches one URL into one file with clsDownload, as the download dialog does, and ends: 0 when
// the file arrived, 1 with the error on standard error otherwise. Timed by download_vs_curl.sh.
#include "net/clsDownload.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_download URL FILE\n");
        return 2;
    }
    clsDownload download;
    QObject::connect(&download, &clsDownload::Completed, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&download, &clsDownload::Error, &app, [](int32_t number, const QString &description) {
        std::fprintf(stderr, "error %d: %s\n", number, qPrintable(description));
        QCoreApplication::exit(1);
    });
    download.Download(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    return QCoreApplication::exec();
}

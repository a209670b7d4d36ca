#pragma once

#include <QDialog>

class LinkLabel;
class QLabel;
class QTimer;

// The window without a caption that shows the product's name, version and web site for two
// seconds at start-up, then closes itself.
class frmSplash : public QDialog {
    Q_OBJECT

public:
    explicit frmSplash(QWidget *parent = nullptr);

    QLabel *lblProductName = nullptr;
    QLabel *lblVersion = nullptr;
    LinkLabel *lblWebsite = nullptr;
    QLabel *imgLogo = nullptr;
    QTimer *tmrUnload = nullptr;

private:
    void Form_Load();
    void OpenWebsiteLink();
    void CloseSplash();
};

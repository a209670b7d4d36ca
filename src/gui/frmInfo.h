#pragma once

#include <QDialog>

class LinkLabel;
class QLabel;
class QPushButton;

// The about box: what the program does, its version, web site and mail address.
class frmInfo : public QDialog {
    Q_OBJECT

public:
    explicit frmInfo(QWidget *parent = nullptr);

    QLabel *imgLogo = nullptr;
    QLabel *lblNaam = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *lblVersionTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblWebsiteTitle = nullptr;
    LinkLabel *lblWebsite = nullptr;
    QLabel *lblEmailTitle = nullptr;
    LinkLabel *lblEmail = nullptr;
    QPushButton *cmdOK = nullptr;

private:
    void Form_Load();
    void OpenWebsiteLink();
    void OpenMailLink();
};

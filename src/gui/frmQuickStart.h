#pragma once

#include <QDialog>

#include <cstdint>

class LinkLabel;
class QCheckBox;
class QLabel;

// The page that asks, after the splash, what the user wants to do first. Choosing hides the page;
// the main window reads selectedIndex and the start-up box, then closes it.
class frmQuickStart : public QDialog {
    Q_OBJECT

public:
    explicit frmQuickStart(QWidget *parent = nullptr);

    // -1 nothing chosen, 0 scan the network, 1 view the analyses.
    int16_t selectedIndex = -1;

    QLabel *Label1 = nullptr;
    LinkLabel *Image1 = nullptr;
    LinkLabel *lblScanNetwork = nullptr;
    QLabel *lblScan = nullptr;
    LinkLabel *Image2 = nullptr;
    LinkLabel *lblAnalysisTitle = nullptr;
    QLabel *lblAnalysis = nullptr;
    QCheckBox *chkShowOnStartup = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void Choose(int16_t index);
    // Underlines the link the mouse is over (or neither); moving from one link straight to the
    // other leaves both underlined until the mouse passes over the page or a description.
    void Hover(QObject *over);
};

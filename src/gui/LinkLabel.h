#pragma once

#include <QLabel>

// A label that acts as a link: shown in the link colour, a pointing hand over it, and clicked()
// when the left button is released over it. Its text (or picture) is set as on any label.
class LinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit LinkLabel(QWidget *parent = nullptr);

    // Shows the text underlined, or not.
    void setUnderlined(bool underlined);
    bool isUnderlined() const { return font().underline(); }

    // Opens the label's text as a web address with the desktop's handler ("www..." as "http://www...").
    void OpenAsWebAddress() const;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

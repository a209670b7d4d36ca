#include "gui/LinkLabel.h"

#include "platform/shell/Shell.h"

#include <QMouseEvent>
#include <QUrl>

LinkLabel::LinkLabel(QWidget *parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    QPalette linkPalette = palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0x2c, 0x5a, 0xa8));
    setPalette(linkPalette);
}

void LinkLabel::setUnderlined(bool underlined)
{
    QFont underlinedFont = font();
    underlinedFont.setUnderline(underlined);
    setFont(underlinedFont);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void LinkLabel::OpenAsWebAddress() const
{
    platform::shell::Current().OpenDocument(QUrl::fromUserInput(text()).toString());
}

#include "gui/Design.h"

#include <QFrame>
#include <QPixmap>

namespace design {

QFont boldened(QFont font)
{
    font.setBold(true);
    return font;
}

void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

QLabel *makePicture(QWidget *container, const char *name, const char *resource, int left, int top, int width,
                    int height)
{
    auto *picture = make<QLabel>(container, name, "", left, top, width, height);
    picture->setPixmap(QPixmap(QString::fromLatin1(resource)));
    picture->setScaledContents(true);
    return picture;
}

QFrame *makeLine(QWidget *container, const char *name, int left, int top, int width, const QColor &colour)
{
    auto *line = make<QFrame>(container, name, "", left, top, width, 15);
    line->setAutoFillBackground(true);
    setColour(line, QPalette::Window, colour);
    return line;
}

} // namespace design

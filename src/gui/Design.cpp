#include "gui/Design.h"

#include "gui/CaptionBesidePicture.h"

#include <QFrame>
#include <QMdiSubWindow>
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

void boldenCaptions(std::initializer_list<QGroupBox *> frames, const QFont &inside)
{
    for (QGroupBox *frame : frames) {
        frame->setFont(boldened(QFont(QStringLiteral("MS Sans Serif"), 8)));
        for (QWidget *child : frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            child->setFont(inside);
    }
}

void captionBeside(QGroupBox *frame, const QLabel *picture)
{
    auto *style = new CaptionBesidePicture(picture->geometry().right() + 1 - frame->x());
    style->setParent(frame);
    frame->setStyle(style);
}

void nameAfter(QWidget *box, QWidget *label)
{
    QString text;
    if (auto *caption = qobject_cast<QLabel *>(label)) {
        caption->setBuddy(box);
        text = caption->text();
    } else if (auto *button = qobject_cast<QAbstractButton *>(label)) {
        text = button->text();
    } else if (auto *frame = qobject_cast<QGroupBox *>(label)) {
        text = frame->title();
    }
    QString words;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i; // "&x" shows x, "&&" shows one "&"
        words += text[i];
    }
    box->setAccessibleName(words.trimmed());
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

void makeTitle(QLabel *title)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(14.25);
    title->setFont(boldened(font));
    setColour(title, QPalette::WindowText, title->palette().color(QPalette::Active, QPalette::Highlight));
}

void highlightPicture(std::span<QLabel *const> pictures, int index)
{
    for (size_t k = 0; k < pictures.size(); ++k) {
        pictures[k]->setAutoFillBackground(true);
        setColour(pictures[k], QPalette::Window, int(k) == index ? Highlighted : Plain);
    }
}

bool LayoutSkipped(const QWidget *child)
{
    const QWidget *frame = qobject_cast<QMdiSubWindow *>(child->parentWidget());
    return child->window()->isMinimized() || (frame && frame->isMinimized());
}

} // namespace design

#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>

#include <initializer_list>
#include <span>
#include <type_traits>

// Helpers for building a window from its design: measures in twips (15 to a pixel at 96 dpi),
// controls placed at their design positions with their design captions.
namespace design {

inline int px(int twips) { return qRound(twips / 15.0); }

QFont boldened(QFont font);

void setColour(QWidget *widget, QPalette::ColorRole role, const QColor &colour);

// A control at its design position (in twips) inside its container, with its caption.
template <typename Widget>
Widget *make(QWidget *container, const char *name, const char *text, int left, int top, int width, int height)
{
    auto *widget = new Widget(container);
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(px(left), px(top), px(width), px(height));
    if constexpr (std::is_base_of_v<QGroupBox, Widget>) {
        widget->setTitle(QString::fromUtf8(text));
        // Screen readers get the caption's words, without the blanks left for a picture.
        widget->setAccessibleName(widget->title().trimmed());
    }
    else if constexpr (std::is_base_of_v<QLabel, Widget> || std::is_base_of_v<QAbstractButton, Widget>)
        widget->setText(QString::fromUtf8(text));
    return widget;
}

// Gives the frames bold captions while the controls inside keep the window's font.
void boldenCaptions(std::initializer_list<QGroupBox *> frames, const QFont &inside);

// Lays out a frame's caption beside the picture that sits over its start: the caption's words
// begin after the picture, whatever the width of its leading blanks in the font in use. The
// picture keeps its place relative to the frame.
void captionBeside(QGroupBox *frame, const QLabel *picture);

// Names a text box or combo box for screen readers after its label (a label, a button or a
// frame): the label's words without the "&" of a shortcut and without outer blanks. A label also
// becomes the box's buddy. Unnamed, a box would be named after its frame's caption, blanks and all.
void nameAfter(QWidget *box, QWidget *label);

// A picture from the program's resources, scaled to its design size.
QLabel *makePicture(QWidget *container, const char *name, const char *resource, int left, int top, int width,
                    int height);

// A one-pixel rule of the given colour (the grey and white pairs under window titles).
QFrame *makeLine(QWidget *container, const char *name, int left, int top, int width, const QColor &colour);

// A window's design lengths are those of the whole window, its title bar and borders included,
// which take this much (in twips) beyond the inner area that a window lays out.
constexpr int ChromeWidth = 120;
constexpr int ChromeHeight = 465;

// The title line of a window or view: bold Arial 14.25 in the highlight colour.
void makeTitle(QLabel *title);

// A colour written as the design's &HBBGGRR number.
inline QColor bgr(unsigned value) { return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int(value >> 16)); }

// The pale background of the pictures that act as buttons (and of the boxes and frames beside
// them), and the background of such a picture while the mouse is over it.
inline const QColor Plain = bgr(0xFBF2EE);
inline const QColor Highlighted = bgr(0xC0E0FF);

// Gives the picture at index the highlighted background and the others the plain one; -1
// highlights none. The pictures fill their background from then on.
void highlightPicture(std::span<QLabel *const> pictures, int index);

// Child windows of the main window do no layout while either of them is minimised. A child
// maximised inside a main window of normal size is laid out like any other.
bool LayoutSkipped(const QWidget *child);

} // namespace design

#include "gui/CaptionBesidePicture.h"

#include <QApplication>
#include <QStyleOptionGroupBox>

namespace {
// Room between the picture and the caption's first word.
constexpr int Gap = 4;
} // namespace

CaptionBesidePicture::CaptionBesidePicture(int pictureEnd)
    : QProxyStyle(QApplication::style()->name()), m_wordsFrom(pictureEnd + Gap)
{
}

QRect CaptionBesidePicture::subControlRect(ComplexControl control, const QStyleOptionComplex *option,
                                           SubControl subControl, const QWidget *widget) const
{
    QRect rect = QProxyStyle::subControlRect(control, option, subControl, widget);
    const auto *frame = qstyleoption_cast<const QStyleOptionGroupBox *>(option);
    if (control != CC_GroupBox || subControl != SC_GroupBoxLabel || !frame)
        return rect;
    const QString &caption = frame->text;
    qsizetype blanks = 0;
    while (blanks < caption.size() && caption[blanks] == u' ')
        ++blanks;
    const int wordsAt = rect.left() + frame->fontMetrics.horizontalAdvance(caption.left(blanks));
    if (wordsAt < m_wordsFrom)
        rect.translate(m_wordsFrom - wordsAt, 0);
    return rect;
}

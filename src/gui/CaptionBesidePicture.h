#pragma once

#include <QProxyStyle>

// The look of a frame whose caption begins with blanks that leave room for a picture over its
// start: the caption moves right as far as needed for its words to begin after the picture, since
// the blanks of many fonts are narrower than the picture. The caption text itself stays as it is.
class CaptionBesidePicture : public QProxyStyle {
    Q_OBJECT

public:
    // pictureEnd: the picture's right edge, in pixels from the frame's left edge.
    explicit CaptionBesidePicture(int pictureEnd);

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl subControl,
                         const QWidget *widget) const override;

private:
    int m_wordsFrom;
};

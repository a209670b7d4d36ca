#include "gui/ProgressPairView.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cmath>

namespace {
// The bar's scale: fine enough for any item count, within the widget's int range.
constexpr double Steps = 10000;
// The least time between two paintings of the bar in the middle of a step.
constexpr qint64 PaintIntervalMs = 100;
} // namespace

ProgressBarView::ProgressBarView(QProgressBar *bar) : m_bar(bar)
{
    m_bar->setRange(0, int(Steps));
    m_bar->setTextVisible(false);
    show();
}

void ProgressBarView::setMax(double max)
{
    m_max = max;
    show();
}

void ProgressBarView::setValue(double value)
{
    m_value = value;
    show();
}

// The widget works its chunk out anew for every new value and paints itself at once when the
// chunk grows: a step of many thousands of items would spend more there than on its items. So a
// change of less than a pixel is not handed on, and the bar is painted at once a few times a
// second at most (a long step still shows its progress); in between it is painted when the
// message loop runs next. The ends are always shown at once.
void ProgressBarView::show()
{
    if (!m_bar)
        return;
    const double share = m_max > 0 ? std::clamp(m_value / m_max, 0.0, 1.0) : 0.0;
    const int value = int(std::lround(share * Steps));
    const bool end = value == 0 || value == int(Steps);
    if (!end && std::abs(value - m_bar->value()) * std::max(m_bar->width(), 1) < int(Steps))
        return;
    if (end || !m_painted.isValid() || m_painted.hasExpired(PaintIntervalMs)) {
        m_bar->setValue(value);
        m_painted.start();
        return;
    }
    m_bar->setUpdatesEnabled(false);
    m_bar->setValue(value);
    m_bar->setUpdatesEnabled(true); // asks for a painting when the loop runs next
}

StatusLabelView::StatusLabelView(QLabel *label) : m_label(label), m_caption(label->text()) {}

void StatusLabelView::setCaption(const QString &caption)
{
    m_caption = caption;
    if (m_label)
        m_label->setText(caption);
}

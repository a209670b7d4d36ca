#include "gui/ProgressPairView.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cmath>

namespace {
// The bar's scale: fine enough for any item count, within the widget's int range.
constexpr double Steps = 10000;
// How long a step runs without the message loop before the bar is painted at once.
constexpr qint64 PaintIntervalMs = 100;
} // namespace

ProgressBarView::ProgressBarView(QProgressBar *bar) : m_bar(bar)
{
    m_painted.start();
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
// chunk grows, and with it everything else of the window that waits for painting: a step of
// many thousands of items would spend more there than on its items. So a change of less than a
// pixel is not handed on, and a new value is painted when the message loop runs next; only a
// step that has run a while without letting the loop run (a tenth of a second since it started
// from 0, or since the bar was last painted) has the bar painted at once, to show its progress.
void ProgressBarView::show()
{
    if (!m_bar)
        return;
    const double share = m_max > 0 ? std::clamp(m_value / m_max, 0.0, 1.0) : 0.0;
    const int value = int(std::lround(share * Steps));
    const bool inBetween = value != 0 && value != int(Steps);
    if (inBetween && std::abs(value - m_bar->value()) * std::max(m_bar->width(), 1) < int(Steps))
        return;
    if (value == 0)
        m_painted.start();
    if (inBetween && m_painted.hasExpired(PaintIntervalMs)) {
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

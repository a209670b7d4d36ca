#include "gui/ProgressPairView.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>
#include <cmath>

namespace {
// The bar's scale: fine enough for any item count, within the widget's int range.
constexpr double Steps = 10000;
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

void ProgressBarView::show()
{
    if (!m_bar)
        return;
    const double share = m_max > 0 ? std::clamp(m_value / m_max, 0.0, 1.0) : 0.0;
    m_bar->setValue(int(std::lround(share * Steps)));
}

StatusLabelView::StatusLabelView(QLabel *label) : m_label(label), m_caption(label->text()) {}

void StatusLabelView::setCaption(const QString &caption)
{
    m_caption = caption;
    if (m_label)
        m_label->setText(caption);
}

#pragma once

#include "support/ProgressPair.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>

// The progress pair of a window: the values live here and are shown on the widgets while they
// are attached. A step that outlives its window (the window closed during a scan) goes on
// against the values alone once the widgets are detached.
class ProgressBarView : public support::ProgressBar {
public:
    explicit ProgressBarView(QProgressBar *bar);

    double Max() const override { return m_max; }
    void setMax(double max) override;
    double Value() const override { return m_value; }
    void setValue(double value) override;
    void Detach() { m_bar = nullptr; }

private:
    void show();

    QPointer<QProgressBar> m_bar;
    QElapsedTimer m_painted; // since the bar was last painted at once, or a step started
    double m_max = 100;
    double m_value = 0;
};

class StatusLabelView : public support::StatusLabel {
public:
    explicit StatusLabelView(QLabel *label);

    QString Caption() const override { return m_caption; }
    void setCaption(const QString &caption) override;
    void Detach() { m_label = nullptr; }

private:
    QPointer<QLabel> m_label;
    QString m_caption;
};

#pragma once

#include <QString>

namespace support {

// The progress bar handed to a long-running step. The window implements it with a widget,
// tests with a recorder; a step never needs to know which.
class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual double Max() const = 0;
    virtual void setMax(double max) = 0;
    virtual double Value() const = 0;
    virtual void setValue(double value) = 0;
};

// The status label handed to a long-running step: its last text is the step's outcome.
class StatusLabel {
public:
    virtual ~StatusLabel() = default;
    virtual QString Caption() const = 0;
    virtual void setCaption(const QString &caption) = 0;
};

// Plain in-memory halves of the pair, for runs that have no window to show them in.
class MemoryProgressBar : public ProgressBar {
public:
    double Max() const override { return m_max; }
    void setMax(double max) override { m_max = max; }
    double Value() const override { return m_value; }
    void setValue(double value) override { m_value = value; }

private:
    double m_max = 100;
    double m_value = 0;
};

class MemoryStatusLabel : public StatusLabel {
public:
    QString Caption() const override { return m_caption; }
    void setCaption(const QString &caption) override { m_caption = caption; }

private:
    QString m_caption;
};

} // namespace support

#pragma once

namespace support {

// Keeps a step from being entered again while it runs (a timer firing, or a button pressed,
// while the step lets the message loop run). Usage:
//     if (support::StepGuard guard(m_busy); guard) { ...the step... }
class StepGuard {
public:
    explicit StepGuard(bool &busy) : m_busy(busy), m_entered(!busy) { m_busy = true; }
    ~StepGuard()
    {
        if (m_entered)
            m_busy = false;
    }
    StepGuard(const StepGuard &) = delete;
    StepGuard &operator=(const StepGuard &) = delete;

    explicit operator bool() const { return m_entered; }

private:
    bool &m_busy;
    bool m_entered;
};

} // namespace support

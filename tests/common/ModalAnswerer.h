#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <map>

namespace testing_support {

// Answers the program's modal windows while a test lets the message loop run: every window that
// becomes the active modal one is recorded by its class name, once, and its answer (by class
// name) is run; a window without an answer is left to close by itself.
class ModalAnswerer : public QObject {
    Q_OBJECT

public:
    ModalAnswerer();

    std::map<QString, std::function<void(QWidget *)>> answers;
    QStringList shown;

private:
    void Poll();

    QTimer m_poll;
    QPointer<QWidget> m_last;
};

} // namespace testing_support

#include "common/ModalAnswerer.h"

#include <QApplication>
#include <QWidget>

namespace testing_support {

ModalAnswerer::ModalAnswerer()
{
    m_poll.setInterval(10);
    connect(&m_poll, &QTimer::timeout, this, &ModalAnswerer::Poll);
    m_poll.start();
}

void ModalAnswerer::Poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || modal == m_last)
        return;
    m_last = modal;
    const QString name = QString::fromLatin1(modal->metaObject()->className());
    shown << name;
    if (const auto answer = answers.find(name); answer != answers.end())
        answer->second(modal);
}

} // namespace testing_support

#include "support/DoEvents.h"

#include <QCoreApplication>

namespace support {

void DoEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

} // namespace support

#include "common/UpdateSigning.h"

#include <QApplication>

#include <gtest/gtest.h>

// Every test binary runs headless with an application object, so that timers, the message loop
// and widgets work as they do in the program; none of them reaches the real update service.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    testing_support::InstallNowhereUpdateService();
    return RUN_ALL_TESTS();
}

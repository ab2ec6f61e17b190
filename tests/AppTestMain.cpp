// GoogleTest entry point for tests of the whole window: one CNivoApp for the
// process; each test builds a fresh window with InitInstance.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/CNivoApp.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The user's own settings and dialog history are never read or written by tests.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    CNivoApp app(argc, argv);
    return RUN_ALL_TESTS();
}

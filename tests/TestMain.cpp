// GoogleTest entry point for tests that need a running application: a plain
// QApplication, or with NIVO_WHOLE_APPLICATION the program's own CNivoApp, of
// which each test builds a fresh window with InitInstance.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <clocale>

#ifdef NIVO_WHOLE_APPLICATION
#include "app/CNivoApp.h"
using Application = CNivoApp;
#else
#include <QApplication>
using Application = QApplication;
#endif

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Widget tests never need a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The user's own settings and dialog history are never read or written by tests.
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
    Application app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    return RUN_ALL_TESTS();
}

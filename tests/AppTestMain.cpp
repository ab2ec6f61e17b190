// GoogleTest entry point for tests of the whole window: one CNivoApp for the
// process; each test builds a fresh window with InitInstance.
#include <gtest/gtest.h>

#include "app/CNivoApp.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CNivoApp app(argc, argv);
    return RUN_ALL_TESTS();
}

// A GoogleTest main with a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>
#include <cstdlib>

#include "platform/ui/ui.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    orbiq::platform::InstallUnitBackend();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// A GoogleTest main with a QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include <clocale>
#include <cstdlib>

#include "platform/ui/language.h"
#include "platform/ui/ui.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>

// The options of scripts/sanitizer-env.sh, for a run without them (ASAN_OPTIONS and
// LSAN_OPTIONS override these one by one).
extern "C" const char* __asan_default_options() {
    return "halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:"
           "new_delete_type_mismatch=0";
}
extern "C" const char* __lsan_default_options() { return "suppressions=" ORBIQ_LSAN_SUPPRESSIONS; }
#endif

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    orbiq::platform::UseChineseInterface();  // as the program starts
    orbiq::platform::InstallUnitBackend();
    ::testing::InitGoogleTest(&argc, argv);
    // Abandoned request workers and counter threads may still run: leave as the program
    // does, without running exit handlers (OpenSSL's among them) under them.
    int rc = RUN_ALL_TESTS();
    std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
    // _Exit skips the leak check that exit would run; a leak ends the process here.
    __lsan_do_leak_check();
#endif
    std::_Exit(rc);
}

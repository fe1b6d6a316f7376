// The program: globals, clean-up, the start window and the message loop.
#include <QApplication>

#include <clocale>

#include "platform/net/http_get.h"
#include "platform/ui/language.h"
#include "platform/ui/program.h"
#include "platform/ui/ui.h"
#include "player/globals.h"
#include "player/main_window.h"

int main(int argc, char** argv) {
    orbiq::platform::EnsureCurlGlobal();  // before any thread exists
    orbiq::platform::ChooseWindowSystem();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");  // libmpv needs it
    QApplication::setQuitOnLastWindowClosed(false);
    orbiq::platform::UseChineseInterface();
    orbiq::platform::InstallUnitBackend();

    orbiq::InitialiseGlobals(orbiq::DefaultHosts());
    orbiq::platform::RegisterCleanup(orbiq::ReleaseGlobals);
    orbiq::LoadMainWindow();
    if (!orbiq::platform::StartWindowClosed()) app.exec();
    orbiq::platform::EndProgram(0);
}

// Opens SponsorWindow against the local site stand-in and keeps it up for a screenshot.
// Usage: sponsor_window_show [seconds]
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/http_get.h"
#include "platform/ui/program.h"
#include "platform/ui/ui.h"
#include "player/globals.h"
#include "player/small_windows.h"
#include "site/site_server.h"

int main(int argc, char** argv) {
    using namespace orbiq;
    EnsureCurlGlobal();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    platform::InstallUnitBackend();
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;

    site::SiteServer site;
    site.LoadDefaults(ORBIQ_PICTURE_DIR);
    if (!site.Start()) return 1;
    auto loopback = [](int port) { return Text("127.0.0.1:" + std::to_string(port)); };
    QTemporaryDir folder;
    platform::SetProgramFolder(Text::FromUtf8(folder.path().toStdString()));
    platform::SetMessageBoxResponder([](const Text&, int32_t, const Text&) { return platform::kIdOk; });
    InitialiseGlobals(RemoteHosts{loopback(site.sitePort()), loopback(site.mirror1Port()), loopback(site.mirror2Port()),
                                  loopback(site.downloadPort()), loopback(site.boardPort())});
    QTimer::singleShot(seconds * 1000, [] { platform::DestroyWindow(gSponsorWindow); });
    OnSponsorButtonClick();
    site.Stop();
    std::fflush(nullptr);
    std::_Exit(0);
}

// Opens one of the small windows against the local stand-in site and keeps it up for a
// screenshot; the report window's fields are filled. The sponsor button's box is answered.
// Usage: small_window_show <report|about|sponsor> [seconds]
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/net/http_get.h"
#include "platform/ui/program.h"
#include "platform/ui/ui.h"
#include "player/globals.h"
#include "player/small_windows.h"
#include "test_support.h"
#include "show_program.h"

int main(int argc, char** argv) {
    using namespace orbiq;
    test::ShowProgram program(argc, argv);
    test::LocalSite site;
    InitialiseGlobals(site.hosts);
    platform::SetMessageBoxResponder([](const Text&, int32_t, const Text&) { return platform::kIdOk; });

    const std::string which = argc > 1 ? argv[1] : "report";
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 5;
    uint64_t* window = which == "about" ? &gAboutWindow : which == "sponsor" ? &gSponsorWindow : &gReportWindow;
    if (which == "report") {
        QTimer::singleShot(100, [] {
            UnitRef{gReportWindow, "编辑框3"}.Set(Prop::Text, TXT("本地测试台"));
            UnitRef{gReportWindow, "编辑框4"}.Set(Prop::Text, TXT("直播频道 Qgjy"));
            UnitRef{gReportWindow, "编辑框1"}.Set(Prop::Text, TXT("画面卡顿，没有声音\r\n第二行"));
            UnitRef{gReportWindow, "编辑框2"}.Set(Prop::Text, Text("viewer@example.com"));
        });
    }
    QTimer::singleShot(seconds * 1000, [window] { platform::DestroyWindow(*window); });
    if (which == "about") OnAboutItemClick();
    else if (which == "sponsor") OnSponsorButtonClick();
    else OnReportChannelItemClick();
    // Leave as the program does: the web engine's pages are not torn down at exit.
    site.server.Stop();
    std::fflush(nullptr);
    std::_Exit(0);
}

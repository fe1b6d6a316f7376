// Opens UpdateWindow against the local stand-in and keeps it up for a screenshot.
// Usage: update_window_show [seconds] [bar position]
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/ui/program.h"
#include "platform/ui/ui.h"
#include "site/site_server.h"
#include "update/update_globals.h"
#include "update/update_window.h"
#include "show_program.h"

int main(int argc, char** argv) {
    using namespace orbiq;
    test::ShowProgram program(argc, argv);

    site::SiteServer server;
    server.LoadDefaults({});
    if (!server.Start()) return 1;
    auto host = [](int port) { return Text("127.0.0.1:" + std::to_string(port)); };
    RemoteHosts hosts{host(server.sitePort()), host(server.mirror1Port()), host(server.mirror2Port()),
                      host(server.downloadPort()), Text()};

    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    const int position = argc > 2 ? std::atoi(argv[2]) : -1;
    InitialiseUpdateGlobals();
    if (position >= 0)
        QTimer::singleShot(100, [position] { UnitRef{gUpdateWindow, "进度条2"}.Set(Prop::Position, int32_t{position}); });
    QTimer::singleShot(seconds * 1000, [] { platform::DestroyWindow(gUpdateWindow); });
    OpenUpdateWindow(hosts);
    ReleaseUpdateGlobals();
    return 0;
}

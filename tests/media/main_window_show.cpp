// Starts the program against the local stand-in, chooses a channel in the tree as a click
// would, and keeps playing for a screenshot; then ends. Used by xvfb_main_window_shot.sh.
//   main_window_show [channel] [seconds]
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
#include "player/main_window.h"
#include "site/site_server.h"
#include "update/update_window.h"
#include "show_program.h"
#include "test_support.h"

int main(int argc, char** argv) {
    using namespace orbiq;
    test::ShowProgram program(argc, argv);

    test::LocalSite site(ORBIQ_SITE_MEDIA_DIR);
    const RemoteHosts& hosts = site.hosts;
    const Text channel = Text::FromUtf8(argc > 1 ? argv[1] : "彩条频道");
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 8;

    InitialiseGlobals(hosts);
    platform::RegisterCleanup(ReleaseGlobals);
    // The user picks mirror one; the update window closes itself once the catalogue is in.
    QTimer::singleShot(300, [] { platform::RaiseEvent(UnitRef{gUpdateWindow, "单选框1"}, "Click"); });
    QTimer::singleShot(15000, [] {
        if (platform::WindowExists(gUpdateWindow)) platform::DestroyWindow(gUpdateWindow);
    });
    LoadMainWindow();
    if (!platform::WindowExists(gMainWindow)) return 1;

    const UnitRef tree = MainUnit("列表1");
    int32_t found = -1;
    for (int32_t i = 0; i < platform::TreeCount(tree) && found < 0; ++i)
        if (platform::TreeItemText(tree, i) == channel) found = i;
    if (found < 0) {
        std::fprintf(stderr, "no channel %s in the tree\n", channel.ToUtf8().c_str());
        return 1;
    }
    platform::TreeSelect(tree, found);
    std::printf("chose %s\n", channel.ToUtf8().c_str());
    std::fflush(stdout);
    QTimer::singleShot(seconds * 1000, [&program] {
        std::printf("status: %s\n", MainUnit("显示_标签").GetText(Prop::Caption).ToUtf8().c_str());
        std::fflush(stdout);
        program.folder().remove();
        platform::EndProgram(0);
    });
    program.app().exec();
    program.folder().remove();
    platform::EndProgram(0);
}

// Start-up times against a normal, a refused, a silent and a trickling product web site (the
// mirrors answer as usual), with the GETs started ahead and taken as each step comes to them
// ("ahead"), beside the former way, each GET run when its step comes, on the UI thread
// ("in turn", SetGetsAheadForBench(false)). Each start runs in a fresh child process.
//   bench_startup [runs]          (headless unless DISPLAY is set)
// Columns: start to the update window on screen; the server choice (mirror one) to the main
// window on screen; the longest time the UI thread served no 10 ms timer.
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/hosts.h"
#include "platform/net/http_get.h"
#include "platform/ui/pending_get.h"
#include "platform/ui/program.h"
#include "platform/ui/ui_widgets.h"
#include "player/globals.h"
#include "player/main_window.h"
#include "site/site_server.h"
#include "update/update_window.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace orbiq;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool Visible(uint64_t window) {
    QWidget* w = platform::WindowExists(window) ? platform::WidgetOf(platform::WindowRef(window)) : nullptr;
    return w && w->isVisible();
}

// One start in this process; prints "<start to update> <choice to main> <longest gap>" in ms.
int RunChild(int argc, char** argv) {
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    platform::EnsureCurlGlobal();
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    platform::InstallUnitBackend();
    platform::SetGetsAheadForBench(std::string(argv[2]) == "ahead");
    const RemoteHosts hosts{Text(argv[3]), Text(argv[4]), Text(argv[5]), Text(argv[6]), Text(argv[7])};
    QTemporaryDir folder;
    platform::SetProgramFolder(Text::FromUtf8(folder.path().toStdString()));
    platform::SetMessageBoxResponder([](const Text&, int32_t, const Text&) { return platform::kIdOk; });
    platform::SetBrowserHook([](const Text&) {});

    Clock::time_point start, updateShown, choice, last;
    Clock::duration longest{};
    bool chosen = false;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        longest = std::max(longest, now - last);
        last = now;
        if (chosen || !Visible(gUpdateWindow)) return;
        updateShown = now;
        chosen = true;
        choice = Clock::now();
        platform::RaiseEvent(UnitRef{gUpdateWindow, "单选框1"}, "Click");
    });
    InitialiseGlobals(hosts);
    start = last = Clock::now();
    tick.start(10);
    LoadMainWindow();
    const Clock::time_point mainShown = Clock::now();
    const bool ok = chosen && Visible(gMainWindow);
    std::printf("%.0f %.0f %.0f %d\n", Ms(updateShown - start), Ms(mainShown - choice), Ms(longest), ok ? 1 : 0);
    std::fflush(stdout);
    std::_Exit(0);
}

int ClosedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
    close(fd);
    return ntohs(a.sin_port);
}

std::string Loopback(int port) { return "127.0.0.1:" + std::to_string(port); }

struct Result {
    double toUpdate = 0, toMain = 0, gap = 0;
    bool ok = false;
};

Result RunOnce(const std::string& self, const std::string& way, const std::string& siteHost, const site::SiteServer& s) {
    const std::string command = self + " --child " + way + " " + siteHost + " " + Loopback(s.mirror1Port()) + " " +
                                Loopback(s.mirror2Port()) + " " + Loopback(s.downloadPort()) + " " +
                                Loopback(s.boardPort()) + " 2>/dev/null";
    Result r;
    if (FILE* child = popen(command.c_str(), "r")) {
        int ok = 0;
        if (std::fscanf(child, "%lf %lf %lf %d", &r.toUpdate, &r.toMain, &r.gap, &ok) == 4) r.ok = ok == 1;
        pclose(child);
    }
    return r;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--child" && argc >= 8) return RunChild(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 1;
    self[n] = '\0';

    struct Site {
        const char* name;
        site::SiteStall stall;
        bool refused;
    };
    const Site sites[] = {{"normal", site::SiteStall::None, false},
                          {"refused", site::SiteStall::None, true},
                          {"silent", site::SiteStall::Silent, false},
                          {"trickling", site::SiteStall::Trickle, false}};
    std::printf("GET time-out %ld ms; %d run(s) each, medians in ms\n\n", platform::HttpGetLimits{}.totalTimeoutMs, runs);
    std::printf("%-10s %-8s %18s %18s %16s %s\n", "site", "GETs", "start->update win", "choice->main win",
                "longest UI gap", "");
    for (const Site& s : sites) {
        for (const char* way : {"ahead", "in-turn"}) {
            std::vector<double> toUpdate, toMain, gap;
            int failed = 0;
            for (int i = 0; i < runs; ++i) {
                auto server = std::make_unique<site::SiteServer>();
                server->LoadDefaults(ORBIQ_BENCH_PICTURE_DIR);
                server->SetSiteStall(s.stall);
                if (!server->Start()) return 1;
                const std::string siteHost = Loopback(s.refused ? ClosedPort() : server->sitePort());
                Result r = RunOnce(self, way, siteHost, *server);
                if (!r.ok) ++failed;
                toUpdate.push_back(r.toUpdate);
                toMain.push_back(r.toMain);
                gap.push_back(r.gap);
            }
            std::printf("%-10s %-8s %18.0f %18.0f %16.0f %s\n", s.name, way, Median(toUpdate), Median(toMain), Median(gap),
                        failed ? "(a start did not finish)" : "");
            std::fflush(stdout);
        }
    }
    return 0;
}

// Memory of the player with the sponsor window: the player's process and every process it
// started (the web engine's helpers), with only MainWindow up, with the sponsor window open
// and its four adverts loaded, and after it has closed; several open/close cycles.
//   bench_sponsor_memory [cycles]       (headless unless DISPLAY is set)
// RSS counts shared pages once per process; PSS shares them out, so its sum is the total
// (and moves with what other processes on the machine map of the same libraries).
// Like the program, the bench does not link the web engine: the web view module brings it.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "common/hosts.h"
#include "platform/net/http_get.h"
#include "platform/ui/program.h"
#include "platform/ui/ui_widgets.h"
#include "player/globals.h"
#include "player/main_window.h"
#include "player/small_windows.h"
#include "site/site_server.h"
#include "update/update_window.h"

namespace {

struct Memory {
    int processes = 0;
    long rssKiB = 0;
    long pssKiB = 0;
    long ownRssKiB = 0;  // the player's process alone
    long ownPssKiB = 0;
};

long FieldKiB(const std::string& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    return 0;
}

int ParentOf(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/stat");
    std::string stat;
    std::getline(in, stat);
    auto close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(stat.substr(close + 2));
    char state;
    int ppid = -1;
    rest >> state >> ppid;
    return ppid;
}

// This process and all its descendants.
Memory Measure() {
    std::map<int, int> parent;
    for (auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        parent[std::stoi(name)] = ParentOf(name);
    }
    std::set<int> ours{getpid()};
    for (bool grew = true; grew;) {
        grew = false;
        for (auto& [pid, ppid] : parent)
            if (ours.count(ppid) && ours.insert(pid).second) grew = true;
    }
    Memory m;
    for (int pid : ours) {
        const std::string dir = "/proc/" + std::to_string(pid);
        ++m.processes;
        const long rss = FieldKiB(dir + "/status", "VmRSS:");
        m.rssKiB += rss;
        const long pss = FieldKiB(dir + "/smaps_rollup", "Pss:");
        m.pssKiB += pss;
        if (pid == getpid()) {
            m.ownRssKiB = rss;
            m.ownPssKiB = pss;
        }
    }
    return m;
}

// Runs the event loop for ms, sleeping between events as the program does.
void Run(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void Report(const char* what, const Memory& m) {
    std::printf("%-34s %d processes  RSS %6.1f MiB  PSS %6.1f MiB   player alone: RSS %6.1f MiB  PSS %6.1f MiB\n", what,
                m.processes, m.rssKiB / 1024.0, m.pssKiB / 1024.0, m.ownRssKiB / 1024.0, m.ownPssKiB / 1024.0);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orbiq;
    platform::EnsureCurlGlobal();
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    platform::InstallUnitBackend();
    const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    site::SiteServer site;
    site.LoadDefaults(ORBIQ_BENCH_PICTURE_DIR);
    if (!site.Start()) return 1;
    auto loopback = [](int port) { return Text("127.0.0.1:" + std::to_string(port)); };
    const RemoteHosts hosts{loopback(site.sitePort()), loopback(site.mirror1Port()), loopback(site.mirror2Port()),
                            loopback(site.downloadPort()), loopback(site.boardPort())};
    QTemporaryDir folder;
    platform::SetProgramFolder(Text::FromUtf8(folder.path().toStdString()));
    platform::SetMessageBoxResponder([](const Text&, int32_t, const Text&) { return platform::kIdOk; });
    platform::SetBrowserHook([](const Text&) {});

    InitialiseGlobals(hosts);
    QTimer::singleShot(2000, [] { platform::DestroyWindow(gUpdateWindow); });
    LoadMainWindow();
    Run(3000);
    Report("MainWindow only", Measure());

    for (int cycle = 1; cycle <= cycles; ++cycle) {
        QTimer::singleShot(0, [cycle] {
            QElapsedTimer clock;
            clock.start();
            // Loaded when each advert's picture is on screen.
            QWidget* window = platform::WidgetOf(platform::WindowRef(gSponsorWindow));
            auto shown = [window] {
                const QImage shot = window->grab().toImage();
                for (int i = 1; i <= 4; ++i) {
                    const QRgb pixel = shot.pixel(8 + 56, 8 + 120 * (i - 1) + 56);
                    const uint32_t want = site::AdvertScreenColour(i);
                    if (std::abs(qRed(pixel) - int(want >> 16 & 0xFF)) + std::abs(qGreen(pixel) - int(want >> 8 & 0xFF)) +
                            std::abs(qBlue(pixel) - int(want & 0xFF)) > 24)
                        return false;
                }
                return true;
            };
            while (!shown() && clock.elapsed() < 30000) Run(50);
            const long loadMs = clock.elapsed();
            Run(2000);
            const std::string what = "sponsor window open, cycle " + std::to_string(cycle);
            Report(what.c_str(), Measure());
            std::printf("  (four adverts loaded in %ld ms)\n", loadMs);
            platform::DestroyWindow(gSponsorWindow);
        });
        OnSponsorButtonClick();
        Run(5000);
        const std::string what = "sponsor window closed, cycle " + std::to_string(cycle);
        Report(what.c_str(), Measure());
    }
    Run(15000);
    Report("20 s after the last close", Measure());
    site.Stop();
    std::fflush(nullptr);
    std::_Exit(0);
}

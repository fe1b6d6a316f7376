// The message board against hostile answers of its script (the local site's switches): how
// long the UI thread goes without serving a 10 ms timer while the list refreshes, the time a
// refresh takes, the rows and columns shown, and the player's resident memory before, at the
// peak and after a normal answer has come back. The board's refresh beside the previous way
// in the same run: the whole reply cut into a table, the list emptied column by column and
// filled row by row, nothing given back to the system.
//   bench_board [refreshes] [now]   (headless unless DISPLAY is set; "now": without the previous way)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "board/board_window.h"
#include "platform/net/http_get.h"
#include "platform/ui/program.h"
#include "platform/ui/ui_widgets.h"
#include "remotedb/remote_db.h"
#include "site/site_server.h"
#include "web/http_request.h"
#include "web/url.h"

namespace {

using namespace orbiq;
using Clock = std::chrono::steady_clock;
using site::BoardAnswer;

long StatusKiB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string prefix = key;
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
    return -1;
}
long ResidentKiB() { return StatusKiB("VmRSS:"); }
long PeakKiB() { return StatusKiB("VmHWM:"); }
// From here on the peak counts from the present size.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// CPU time the calling thread has used, in ms.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Runs the event loop for ms, sleeping between events as the program does.
void Run(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The longest time the UI thread went without serving a 10 ms timer, beyond its 10 ms.
class GapMeter {
public:
    GapMeter() {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            worst_ = std::max(worst_, std::chrono::duration<double, std::milli>(now - last_).count() - 10);
            last_ = now;
        });
        last_ = Clock::now();
        timer_.start(10);
    }
    double WorstMs() {
        const auto now = Clock::now();
        return std::max(worst_, std::chrono::duration<double, std::milli>(now - last_).count() - 10);
    }

private:
    QTimer timer_;
    Clock::time_point last_;
    double worst_ = 0;
};

// ---- the previous way, as the board did it before ----
ReplyTable PreviousTable(const Text& reply) {
    ReplyTable table;
    std::vector<Text> rowPieces = CutText(reply, kReplyRowToken);
    if (rowPieces.size() >= 2 && rowPieces.back().Empty()) rowPieces.pop_back();
    table.columnCount = static_cast<int32_t>(CutText(rowPieces.front(), kReplyColumnToken).size());
    for (const Text& piece : rowPieces) {
        std::vector<Text> cells = CutText(piece, kReplyColumnToken);
        cells.resize(static_cast<size_t>(table.columnCount));
        table.rows.push_back(std::move(cells));
    }
    return table;
}

void PreviousRefresh(uint64_t window) {
    platform::ProcessPendingEvents();
    const auto server = BoardServer();
    const Text body = Text("ac=show&mdb=") + server->databaseName + Text("&sql=") + PercentEncodeAllBytes(BoardMessageQuery());
    const Text reply = Text::FromBytes(
        SendHttpRequest(server->baseUrl + server->scriptName, Text("POST"), {}, {}, body, server->timeoutSeconds));
    ReplyTable table;
    if (reply.Find(kReplyRowToken) != -1 && reply != kReplyIllegalOperation && reply != kReplyDatabaseMissing &&
        reply != kReplySqlError)
        table = PreviousTable(reply);
    else if (RoutineRef warn = gUnexpectedReplyHandler.load())
        warn();
    const UnitRef list{window, "超级列表框1"};
    platform::ReportRemoveAllRows(list);
    while (platform::ReportColumnCount(list) >= 1) platform::ReportDeleteColumn(list, 0);
    for (int32_t c = 1; c <= GetReplyColumnCount(table); ++c)
        platform::ReportAppendColumn(list, GetReplyColumnName(table, c), 100);
    FitMessageListColumns(window);
    for (int32_t r = 1; r <= GetReplyRowCount(table); ++r) {
        const int32_t i = platform::ReportAppendRow(list);
        platform::ReportSetCell(list, i, 0, GetReplyCell(table, r, TXT("客人名称")));
        platform::ReportSetCell(list, i, 1, GetReplyCell(table, r, TXT("留言内容")));
        platform::ReportSetCell(list, i, 2, GetReplyCell(table, r, TXT("时间")));
    }
    platform::ProcessPendingEvents();
}

const char* Name(BoardAnswer answer) {
    switch (answer) {
    case BoardAnswer::RowTokens: return "10 MiB of row tokens";
    case BoardAnswer::Columns1000: return "1,000 columns";
    case BoardAnswer::Rows100000: return "100,000 rows";
    case BoardAnswer::InvalidGbk: return "invalid GBK";
    case BoardAnswer::EndlessBody: return "a body that never ends";
    case BoardAnswer::LongCells: return "1,000 rows of long cells";
    case BoardAnswer::Script: break;
    }
    return "the script's own";
}

}  // namespace

int main(int argc, char** argv) {
    platform::EnsureCurlGlobal();
    if (!std::getenv("DISPLAY") && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setQuitOnLastWindowClosed(false);
    platform::InstallUnitBackend();
    const int refreshes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const bool nowOnly = argc > 2 && std::string(argv[2]) == "now";

    QTemporaryDir folder;
    platform::SetProgramFolder(Text::FromUtf8(folder.path().toStdString()));
    int warnings = 0;
    platform::SetMessageBoxResponder([&](const Text&, int32_t, const Text&) {
        ++warnings;
        return platform::kIdOk;
    });
    site::SiteServer site;
    if (!site.Start()) {
        std::fprintf(stderr, "bench_board: the local site did not start\n");
        return 1;
    }
    RemoteHosts hosts;
    hosts.board = Text("127.0.0.1:" + std::to_string(site.boardPort()));
    const uint64_t window = LoadMessageBoardWindow(hosts);
    const UnitRef list{window, "超级列表框1"};
    Run(1000);  // the loading thread's list

    std::printf("%d refreshes an answer; gap: the longest time the UI thread served no 10 ms timer, beyond its 10 ms\n"
                "%-24s %-9s %9s %11s %8s %6s %8s %10s %10s %10s\n",
                refreshes, "answer", "way", "gap ms", "refresh ms", "UI cpu", "rows", "columns", "RSS before", "peak",
                "after");
    // The previous way last: the memory it keeps would count in the other's figures.
    for (bool previous : {false, true}) {
        if (previous && nowOnly) break;
        for (BoardAnswer answer : {BoardAnswer::RowTokens, BoardAnswer::Columns1000, BoardAnswer::Rows100000,
                                   BoardAnswer::InvalidGbk, BoardAnswer::EndlessBody, BoardAnswer::LongCells}) {
            const std::function<void()> refresh = [&] {
                if (previous) PreviousRefresh(window);
                else RefreshMessageList(window);
            };
            site.SetBoardAnswer(BoardAnswer::Script);
            refresh();
            Run(300);
            const long before = ResidentKiB();
            ResetPeak();
            site.SetBoardAnswer(answer);
            double worst = 0, totalMs = 0, cpuMs = 0;
            int rows = 0, columns = 0;
            for (int i = 0; i < refreshes; ++i) {
                GapMeter meter;
                QElapsedTimer took;
                took.start();
                const double cpu = ThreadCpuMs();
                refresh();
                cpuMs += ThreadCpuMs() - cpu;
                totalMs += static_cast<double>(took.nsecsElapsed()) / 1e6;
                Run(50);
                worst = std::max(worst, meter.WorstMs());
                rows = platform::ReportRowCount(list);
                columns = platform::ReportColumnCount(list);
            }
            site.SetBoardAnswer(BoardAnswer::Script);
            refresh();
            Run(300);
            const long peak = PeakKiB();
            const long after = ResidentKiB();
            std::printf("%-24s %-9s %9.0f %11.0f %8.0f %6d %8d %7.1f MiB %6.1f MiB %6.1f MiB\n", Name(answer),
                        previous ? "previous" : "now", worst, totalMs / refreshes, cpuMs / refreshes, rows, columns,
                        before / 1024.0, peak / 1024.0, after / 1024.0);
            std::fflush(stdout);
        }
    }
    std::printf("(%d warnings answered)\n", warnings);

    // The UI thread's own work at the bounds, apart from the machine's load on the gaps: one
    // replacement of the list with 64 columns and 500 rows of three 512-byte cells, then a
    // repaint; the median of five.
    {
        Text cell;
        while (cell.Length() + 2 <= static_cast<int32_t>(kReplyMaxCellBytes)) cell += TXT("长");
        std::vector<double> times;
        for (int i = 0; i < 5; ++i) {
            std::vector<Text> titles(kReplyMaxColumns, cell);
            std::vector<std::vector<Text>> rows(kReplyMaxDataRows, std::vector<Text>(3, cell));
            QElapsedTimer took;
            took.start();
            platform::ReportReplaceAll(list, std::move(titles), 100, std::move(rows));
            FitMessageListColumns(window);
            platform::WidgetOf(list)->repaint();
            times.push_back(static_cast<double>(took.nsecsElapsed()) / 1e6);
            Run(100);
        }
        std::sort(times.begin(), times.end());
        std::printf("the list filled at the bounds (%d columns, %d rows of three %zu-byte cells) and repainted: "
                    "%.1f ms (median of 5; %.1f to %.1f)\n",
                    kReplyMaxColumns, kReplyMaxDataRows, kReplyMaxCellBytes, times[2], times[0], times[4]);
    }
    platform::DestroyWindow(window);
    Run(50);
    site.Stop();
    std::fflush(nullptr);
    std::_Exit(0);
}

// The board against a script that answers far too much or garbage (the local site's hostile
// answers): the window keeps handling its events, the list shows no more than the reply
// table keeps, and the memory a large answer took goes back once a normal answer has come.
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "board_fixture.h"
#include "site/hostile_board.h"

namespace orbiq::test {
namespace {

using site::BoardAnswer;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // the sanitizer's allocator keeps freed memory on purpose
#else
constexpr bool kSanitized = false;
#endif

// Far above what one refresh costs the UI thread now (a few ms, see the bench), far below
// the seconds the previous refill took, so a loaded machine does not make it flake.
constexpr double kLongestGapMs = 1000;
constexpr long kMiB = 1024;  // in KiB

long StatusKiB(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    return -1;
}
long ResidentKiB() { return StatusKiB("VmRSS:"); }
long PeakKiB() { return StatusKiB("VmHWM:"); }
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The longest time the UI thread went without serving a 10 ms timer, beyond its 10 ms.
class GapMeter {
public:
    GapMeter() : last_(Clock::now()) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(10);
    }
    double WorstMs() {
        Tick();
        return worst_;
    }

private:
    void Tick() {
        const auto now = Clock::now();
        worst_ = std::max(worst_, std::chrono::duration<double, std::milli>(now - last_).count() - 10);
        last_ = now;
    }
    QTimer timer_;
    Clock::time_point last_;
    double worst_ = 0;
};

class BoardHostileTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        hosts_ = site_.hosts;
        WriteNameFile(TXT("张三"));
    }
    void Answer(BoardAnswer answer) { site_.server.SetBoardAnswer(answer); }
    Text Cell(int32_t row, int32_t column) { return platform::ReportCell(List(), row, column); }
    LocalSite site_;
};

TEST_F(BoardHostileTest, HostileAnswersNeitherFreezeTheBoardNorLeaveThePlayerLarger) {
    // The first list comes through the loading thread, the refill posted to the UI thread.
    Answer(BoardAnswer::Rows100000);
    {
        GapMeter meter;
        window_ = LoadMessageBoardWindow(hosts_);
        ASSERT_TRUE(WaitFor([&] { return platform::ReportRowCount(List()) > 0; }, 30000));
        EXPECT_LT(meter.WorstMs(), kLongestGapMs);
    }
    StopRefreshTimer();
    EXPECT_EQ(platform::ReportRowCount(List()), kReplyMaxDataRows);
    Answer(BoardAnswer::Script);
    U("留言内容编辑框1").Set(Prop::Text, TXT("你好"));
    platform::RaiseEvent(U("留言发送按钮1"), "Click");
    ASSERT_EQ(platform::ReportRowCount(List()), 1) << "the script's own list";

    Text longCell;  // 长 (B3 A4) as often as the bound holds it
    while (longCell.Length() + 2 <= static_cast<int32_t>(kReplyMaxCellBytes)) longCell += TXT("长");
    struct Case {
        BoardAnswer answer;
        const char* what;
        int32_t rows, columns;
        Text firstMessage, lastMessage;  // column 1 of the first and the last row shown
        bool warns;                      // the answer is no table
    };
    const Case cases[] = {
        {BoardAnswer::RowTokens, "10 MiB of row tokens", kReplyMaxDataRows, 3, Text(), Text(), false},
        {BoardAnswer::Columns1000, "1,000 columns", 50, kReplyMaxColumns, TXT("用户1 说: 第1条"), TXT("用户50 说: 第50条"),
         false},
        {BoardAnswer::Rows100000, "100,000 rows", kReplyMaxDataRows, 3, TXT("用户1 说: 第1条"),
         Text::FromUtf8("用户" + std::to_string(kReplyMaxDataRows) + " 说: 第" + std::to_string(kReplyMaxDataRows) + "条"),
         false},
        // A lead byte before a token takes its "[": 9 of the 50 rows run on in the row before.
        {BoardAnswer::InvalidGbk, "invalid GBK", 41, 3, TXT("用户 说: ?完"), Text(), false},
        {BoardAnswer::EndlessBody, "a body that never ends", 0, 0, Text(), Text(), true},
        {BoardAnswer::LongCells, "long cells", kReplyMaxDataRows, 3, longCell, longCell, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClearBoxes();
        RefreshMessageList(window_);
        Pump(100);
        const long before = ResidentKiB();
        ResetPeak();
        Answer(c.answer);
        double gap;
        {
            GapMeter meter;
            RefreshMessageList(window_);
            RefreshMessageList(window_);
            gap = meter.WorstMs();
        }
        const int32_t rows = platform::ReportRowCount(List());
        EXPECT_EQ(rows, c.rows);
        EXPECT_EQ(platform::ReportColumnCount(List()), c.columns);
        if (c.rows > 0) {
            EXPECT_EQ(Cell(0, 1), c.firstMessage);
            if (!c.lastMessage.Empty()) {
                EXPECT_EQ(Cell(c.rows - 1, 1), c.lastMessage) << "the last row whole";
            }
        }
        EXPECT_EQ(Boxes().size(), c.warns ? 2u : 0u);
        if (c.warns) {
            EXPECT_EQ(Boxes()[0].text, TXT("您的发送速度过快，请不要刷屏"));
        }

        Answer(BoardAnswer::Script);
        RefreshMessageList(window_);
        Pump(100);
        const long peak = PeakKiB(), after = ResidentKiB();
        EXPECT_EQ(platform::ReportRowCount(List()), 1) << "a normal answer shows again";
        EXPECT_LT(gap, kLongestGapMs);
        if (!kSanitized) {
            EXPECT_LT(peak - before, 100 * kMiB) << "KiB taken at the peak";
            EXPECT_LT(after - before, 20 * kMiB) << "KiB kept after a normal answer";
        }
        std::printf("[ figures  ] %-22s longest gap %6.1f ms, rows %4d; RSS before %6.1f MiB, peak %6.1f MiB, after %6.1f MiB\n",
                    c.what, gap, rows, before / 1024.0, peak / 1024.0, after / 1024.0);
    }
}

}  // namespace
}  // namespace orbiq::test

// Closing the board while one of its requests waits, and board hosts that answer too much.
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <condition_variable>
#include <fstream>

#include "board_fixture.h"
#include "listening.h"

namespace orbiq::test {
namespace {

const std::string kRow = "[ZOTRAMEK/row]", kCol = "[ZOTRAMEK/Col]";

// A board script that lists one message and holds every statement's reply until released.
class HoldingScript {
public:
    HoldingScript() {
        server_.Post("/box/boo1/wms.asp", [this](const httplib::Request& req, httplib::Response& res) {
            if (req.body.rfind("ac=do", 0) != 0) {
                res.set_content(TXT("客人名称").Bytes() + kCol + TXT("留言内容").Bytes() + kCol + TXT("时间").Bytes() +
                                    kRow + TXT("游客").Bytes() + kCol + TXT("李四 说: 早").Bytes() + kCol + "1",
                                "text/html");
                return;
            }
            std::unique_lock lock(mutex_);
            ++held_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
            res.set_content("0", "text/html");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = orbiq::test::ListenInBackground(server_);
    }
    ~HoldingScript() {
        Release();
        server_.stop();
        thread_.join();
    }
    Text Host() const { return Text(Loopback(port_)); }
    int Held() {
        std::lock_guard lock(mutex_);
        return held_;
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }
    void Hold() {
        std::lock_guard lock(mutex_);
        released_ = false;
    }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    int held_ = 0;
    bool released_ = false;
};

class BoardCloseTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        hosts_.board = holding_.Host();
        WriteNameFile(TXT("张三"));
    }
    HoldingScript holding_;
};

// Enter in the message box starts a send (or, with the moderator code, a delete) that waits
// for the held reply; the board is closed inside that wait, while Qt is still delivering the
// Enter key to the box. The box must outlive the key's delivery and go afterwards.
TEST_F(BoardCloseTest, ClosingWhileAnEnterStartedRequestWaitsDeletesTheWindowOnlyAfterwards) {
    struct Case {
        const char* what;
        const char* text;
        bool esc;
    };
    const Case cases[] = {
        {"send, close button", "你好", false},
        {"send, Esc", "你好", true},
        {"delete, close button", "*746", false},
        {"delete, Esc", "*746", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        holding_.Hold();
        Open(false);
        StopRefreshTimer();
        ASSERT_TRUE(WaitFor([&] { return platform::ReportRowCount(List()) == 1; }));
        ASSERT_TRUE(U("标签1").GetBool(Prop::Visible) == false) << "logged in";
        U("留言内容编辑框1").Set(Prop::Text, Text::FromUtf8(c.text));
        const uint64_t window = window_;
        QPointer<QWidget> box = Widget("留言内容编辑框1");
        QPointer<QWidget> top = platform::WidgetOf(Self());
        QPointer<QWidget> closeButton = Widget("关闭1");
        ASSERT_TRUE(box && top && closeButton);
        QApplication::setActiveWindow(top);
        box->setFocus();

        const int heldBefore = holding_.Held();
        bool closed = false, boxDuringWait = false, boxAfterPump = false, tried = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (tried || holding_.Held() == heldBefore) return;
            tried = true;
            poll.stop();
            if (c.esc) QTest::keyClick(top, Qt::Key_Escape);
            else QTest::mouseClick(closeButton, Qt::LeftButton);
            closed = !platform::WindowExists(window);
            boxDuringWait = !box.isNull();
            Pump(100);  // a deletion queued at once would run here
            boxAfterPump = !box.isNull();
            holding_.Release();
        });
        poll.start(10);
        QTest::keyClick(box, Qt::Key_Return);  // returns once the request's wait is over
        poll.stop();

        ASSERT_TRUE(tried) << "the request never reached the script";
        EXPECT_TRUE(closed);
        EXPECT_TRUE(boxDuringWait);
        EXPECT_TRUE(boxAfterPump) << "deleted while the Enter key was still being delivered to it";
        EXPECT_TRUE(WaitFor([&] { return box.isNull() && top.isNull(); }, 2000)) << "gone once the send returned";
        EXPECT_EQ(holding_.Held(), heldBefore + 1);
        window_ = 0;
    }
}

// Stands in for the board host: its answers are bodyBytes long, sent in blocks while the
// client takes them; counts what went out.
class FloodingScript {
public:
    explicit FloodingScript(size_t bodyBytes) : bodyBytes_(bodyBytes) {
        server_.Post("/box/boo1/wms.asp", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(bodyBytes_, "text/html",
                                     [this](size_t offset, size_t length, httplib::DataSink& sink) {
                                         std::string block(std::min<size_t>(length, 1 << 16), 'x');
                                         if (offset == 0) block.replace(0, kRow.size(), kRow);
                                         if (!sink.write(block.data(), block.size())) return false;
                                         sent_ += block.size();
                                         return true;
                                     });
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = orbiq::test::ListenInBackground(server_);
    }
    ~FloodingScript() {
        server_.stop();
        thread_.join();
    }
    Text Host() const { return Text(Loopback(port_)); }
    size_t Sent() const { return sent_; }

private:
    size_t bodyBytes_;
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<size_t> sent_{0};
};

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

TEST_F(BoardTest, AHostAnsweringAHundredMegabytesGivesTheFailureWithBoundedMemory) {
    FloodingScript flood(size_t{100} << 20);
    hosts_.board = flood.Host();
    const long before = ResidentKiB();
    Open(false);
    ASSERT_TRUE(WaitFor([&] { return !Boxes().empty(); }, 60000));
    EXPECT_EQ(Boxes()[0].text, TXT("您的发送速度过快，请不要刷屏"));
    EXPECT_EQ(platform::ReportRowCount(List()), 0);
    EXPECT_EQ(platform::ReportColumnCount(List()), 0);
    // 16 MiB taken, plus what the socket buffers held when the reader let go.
    EXPECT_LT(flood.Sent(), size_t{48} << 20);
    EXPECT_LT(ResidentKiB() - before, 300 * 1024) << "KiB grown";
}

}  // namespace
}  // namespace orbiq::test

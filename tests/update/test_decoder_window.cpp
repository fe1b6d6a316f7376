// DecoderDownloadWindow against the local stand-in's download host and against a server of
// the tests' own that hands out the installer as far as a test lets it. The window opens
// modally: each test's script runs inside its event loop.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/files.h"
#include "platform/transfer/transfer.h"
#include "platform/ui/program.h"
#include "platform/ui/ui_widgets.h"
#include "test_support.h"
#include "update/decoder_window.h"
#include "update/update_globals.h"
#include "listening.h"

namespace orbiq::test {
namespace {

using namespace std::chrono_literals;

UnitRef Unit(const char* name) { return UnitRef{gDecoderWindow, name}; }
Text Caption(const char* name) { return Unit(name).GetText(Prop::Caption); }
int32_t Bar() { return Unit("进度条1").GetInt(Prop::Position); }
bool WindowGone() { return !platform::WindowExists(gDecoderWindow); }
bool StartsWith(const Text& text, const Text& head) { return text.Left(head.Length()) == head; }
bool EndsWith(const Text& text, const Text& tail) { return text.Right(tail.Length()) == tail; }


// Serves the installer with its length announced, but only as many bytes as the test allows.
class GatedServer {
public:
    GatedServer(std::string bytes, size_t allowed) : data_(std::move(bytes)), allowed_(allowed) {
        server_.set_keep_alive_max_count(1);
        server_.Get("/web/orbiq_zyjiema.exe", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(data_.size(), "application/octet-stream",
                                     [this](size_t offset, size_t length, httplib::DataSink& sink) {
                                         std::unique_lock lock(mutex_);
                                         cv_.wait_for(lock, 10s, [&] { return stopping_ || allowed_ > offset; });
                                         if (stopping_ || allowed_ <= offset) return false;
                                         size_t n = std::min(length, allowed_ - offset);
                                         lock.unlock();
                                         if (!sink.write(data_.data() + offset, n)) {
                                             abandoned.store(true);
                                             return false;
                                         }
                                         return true;
                                     });
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = orbiq::test::ListenInBackground(server_);
    }
    ~GatedServer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        server_.stop();
        thread_.join();
    }
    void Allow(size_t bytes) {
        {
            std::lock_guard lock(mutex_);
            allowed_ = bytes;
        }
        cv_.notify_all();
    }
    Text Host() const { return Text(Loopback(port_)); }
    const std::string& data() const { return data_; }

    std::atomic<bool> abandoned{false};

private:
    httplib::Server server_;
    std::string data_;
    std::mutex mutex_;
    std::condition_variable cv_;
    size_t allowed_;
    bool stopping_ = false;
    int port_ = 0;
    std::thread thread_;
};

struct AskedBox {
    Text text;
    int32_t flags;
    Text title;
};

class DecoderWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        platform::SetDownloadFolderForTests(Folder());
        platform::SetOpenOrRunHook([this](const Text& path) { opened_.push_back(path); });
        platform::SetMessageBoxResponder([this](const Text& text, int32_t flags, const Text& title) {
            asked_.push_back({text, flags, title});
            return answer_;
        });
        InitialiseUpdateGlobals();
    }
    void TearDown() override {
        if (!WindowGone()) platform::DestroyWindow(gDecoderWindow);
        ReleaseUpdateGlobals();
        QCoreApplication::processEvents();
        platform::SetMessageBoxResponder(nullptr);
        platform::SetOpenOrRunHook(nullptr);
        platform::SetDownloadFolderForTests(Text());
    }

    Text Folder() const { return Text::FromUtf8(folder_.path().toStdString()); }
    Text Installer() const { return Folder() + Text("\\orbiq_zyjiema.exe"); }

    // Opens the window modally and runs script inside its loop; a guard destroys the window
    // after guardMs. True when the window went before the guard.
    static bool Open(const RemoteHosts& hosts, const std::function<void()>& script, int guardMs = 15000) {
        return RunInsideModal([&] { OpenDecoderDownloadWindow(hosts); }, gDecoderWindow, script, guardMs);
    }
    static RemoteHosts DownloadFrom(const Text& host) {
        RemoteHosts hosts = DeadHosts();
        hosts.download = host;
        return hosts;
    }

    QTemporaryDir folder_;
    std::vector<Text> opened_;
    std::vector<AskedBox> asked_;
    int32_t answer_ = platform::kIdCancel;
};

// The fields the decoder download writes, and the component's defaults everywhere else.
void ExpectDecoderRecord(const platform::TransferTaskParams& p, const Text& url, const Text& path) {
    const platform::TransferTaskParams d = platform::DefaultTransferTaskParams();
    EXPECT_EQ(p.field1, 4096);
    EXPECT_EQ(p.sourceUrl, url);
    EXPECT_EQ(p.localPath, path);
    EXPECT_TRUE(p.userName.Empty());
    EXPECT_TRUE(p.password.Empty());
    EXPECT_EQ(p.field6, 200);
    EXPECT_EQ(p.field7, 999999999);
    EXPECT_EQ(p.field8, 5000);
    EXPECT_EQ(p.field9, 5001);
    EXPECT_EQ(p.field10, 10000);
    EXPECT_EQ(p.field11, 1000);
    EXPECT_EQ(p.field12, 20480);
    EXPECT_EQ(p.field13, d.field13);
    EXPECT_EQ(p.infoCallback, &OnDecoderTransferInfo);
    EXPECT_EQ(p.eventCallback, &OnDecoderTransferEvent);
    EXPECT_EQ(p.field16, d.field16);
    EXPECT_EQ(p.field17, d.field17);
    EXPECT_EQ(p.field18, d.field18);
    EXPECT_EQ(p.field19, d.field19);
    EXPECT_EQ(p.field20, d.field20);
}

TEST_F(DecoderWindowTest, FullDownloadTurnsTheButtonIntoInstallWhichRunsTheInstaller) {
    LocalSite site;
    const std::string installer = Payload(300000, 1);
    site.server.SetDownloadFile("web/orbiq_zyjiema.exe", installer);
    const Text url = Text("http://") + site.hosts.download + Text("/web/orbiq_zyjiema.exe");
    EXPECT_TRUE(Open(site.hosts, [&] {
        // The download started while the window was created, with the first speed item.
        EXPECT_TRUE(platform::UnboundHandlers(gDecoderWindow).empty());
        EXPECT_EQ(gDecoderUrl, url);
        EXPECT_EQ(gDecoderFilePath, Installer());
        ExpectDecoderRecord(gDecoderTaskParams, url, Installer());
        EXPECT_EQ(Unit("组合框").GetInt(Prop::SelectedIndex), 0);
        EXPECT_EQ(Unit("时钟").GetInt(Prop::Interval), 50);
        EXPECT_EQ(Unit("时钟1").GetInt(Prop::Interval), 1000);

        EXPECT_TRUE(WaitFor([] { return Caption("标签进度") == TXT("已完成:100%"); }, 5000));
        EXPECT_EQ(Caption("标签大小"), TXT("文件大小:0.29M"));  // 300000 / 1048576 = 0.286
        EXPECT_TRUE(StartsWith(Caption("标签时间"), TXT("总耗时:")));
        EXPECT_TRUE(EndsWith(Caption("标签时间"), TXT("秒")));
        EXPECT_EQ(Caption("标签速度"), TXT("正在效验版本!"));
        EXPECT_EQ(Bar(), 1000);
        EXPECT_EQ(Unit("时钟").GetInt(Prop::Interval), 0);
        EXPECT_EQ(Unit("时钟1").GetInt(Prop::Interval), 0);

        EXPECT_TRUE(WaitFor([] { return Caption("按钮1") == TXT("安装") && !Unit("按钮1").GetBool(Prop::Disabled); }));
        EXPECT_TRUE(opened_.empty());
        QTest::mouseClick(platform::WidgetOf(Unit("按钮1")), Qt::LeftButton);
        QTest::mouseClick(platform::WidgetOf(Unit("按钮1")), Qt::LeftButton);
        EXPECT_EQ(opened_, (std::vector<Text>{Installer(), Installer()}));
        EXPECT_FALSE(WindowGone());
        EXPECT_EQ(gDecoderTaskParams.sourceUrl, url);  // no new download

        // The close graphic does nothing; cancel at 1000 closes without asking.
        QTest::mouseClick(platform::WidgetOf(Unit("图形按钮9")), Qt::LeftButton);
        Pump(100);
        EXPECT_FALSE(WindowGone());
        QTest::mouseClick(platform::WidgetOf(Unit("按钮2")), Qt::LeftButton);
        EXPECT_TRUE(WindowGone());
    }));
    EXPECT_TRUE(asked_.empty());
    EXPECT_EQ(AsString(ReadFileAt(Installer())), installer);
    EXPECT_EQ(gDecoderTotalBytes.load(), static_cast<int64_t>(installer.size()));
}

TEST_F(DecoderWindowTest, TextsAtAKnownPointOfTheDownload) {
    // 1 MiB of 1.5 MiB on disk: the bar at 666, sizes in binary megabytes.
    GatedServer server(Payload(1572864, 2), 1048576);
    EXPECT_TRUE(Open(DownloadFrom(server.Host()), [&] {
        EXPECT_EQ(Caption("标签进度"), TXT("等待下载..."));
        EXPECT_EQ(Caption("标签大小"), TXT("正在连接下载服务器..."));
        EXPECT_TRUE(Unit("按钮1").GetBool(Prop::Disabled));
        EXPECT_TRUE(WaitFor([] { return Bar() == 666; }));
        EXPECT_EQ(gDecoderTotalBytes.load(), 1572864);
        EXPECT_TRUE(WaitFor([] { return Caption("标签进度") == TXT("已下载:66.6%"); }, 2500));
        EXPECT_EQ(Caption("标签大小"), TXT("进度：1M/1.5M"));
        const Text speed = Caption("标签速度");
        EXPECT_TRUE(StartsWith(speed, TXT("速度：")) && EndsWith(speed, TXT("KB/秒 "))) << speed.ToUtf8();
        const Text left = Caption("标签时间");
        EXPECT_TRUE(left.Empty() || StartsWith(left, TXT("剩余时间:"))) << left.ToUtf8();
        EXPECT_TRUE(Unit("按钮1").GetBool(Prop::Disabled));
        server.Allow(server.data().size());
        EXPECT_TRUE(WaitFor([] { return Caption("按钮1") == TXT("安装"); }));
        EXPECT_TRUE(WaitFor([] { return Caption("标签进度") == TXT("已完成:100%"); }, 3000));
        EXPECT_EQ(Caption("标签大小"), TXT("文件大小:1.5M"));
        platform::DestroyWindow(gDecoderWindow);
    }));
    EXPECT_EQ(AsString(ReadFileAt(Installer())), server.data());
}

TEST_F(DecoderWindowTest, VerifyingStartsAboveNineHundredNinety) {
    GatedServer server(Payload(1000, 3), 990);
    EXPECT_TRUE(Open(DownloadFrom(server.Host()), [&] {
        EXPECT_TRUE(WaitFor([] { return Bar() == 990; }));
        EXPECT_TRUE(WaitFor([] { return Caption("标签进度") == TXT("已下载:99%"); }, 2500));
        Pump(200);
        EXPECT_EQ(Bar(), 990);
        EXPECT_NE(Caption("标签速度"), TXT("正在效验版本!"));
        EXPECT_FALSE(Caption("标签大小").Empty());

        server.Allow(991);
        EXPECT_TRUE(WaitFor([] { return Bar() == 1000; }));
        EXPECT_TRUE(Caption("标签大小").Empty() || Caption("标签进度") == TXT("已完成:100%"));
        EXPECT_EQ(Caption("标签速度"), TXT("正在效验版本!"));
        // The file is at its full size from the moment the size is known, so the check passes
        // before the download ends; the install button waits for the end.
        EXPECT_TRUE(WaitFor([] { return Caption("标签进度") == TXT("已完成:100%"); }, 2500));
        EXPECT_EQ(Caption("标签大小"), TXT("文件大小:0M"));
        EXPECT_EQ(Caption("按钮1"), TXT("下载解码器"));
        EXPECT_TRUE(Unit("按钮1").GetBool(Prop::Disabled));
        server.Allow(1000);
        EXPECT_TRUE(WaitFor([] { return !Unit("按钮1").GetBool(Prop::Disabled); }));
        EXPECT_EQ(Caption("按钮1"), TXT("安装"));
        platform::DestroyWindow(gDecoderWindow);
    }));
}

TEST_F(DecoderWindowTest, CancelDuringADownloadAsksFirst) {
    GatedServer server(Payload(4000, 4), 2000);
    EXPECT_TRUE(Open(DownloadFrom(server.Host()), [&] {
        EXPECT_TRUE(WaitFor([] { return Bar() == 500; }));
        answer_ = platform::kIdCancel;
        QTest::mouseClick(platform::WidgetOf(Unit("按钮2")), Qt::LeftButton);
        ASSERT_EQ(asked_.size(), 1u);
        EXPECT_EQ(asked_[0].text, TXT("任务下载中...是否强行结束当前下载?"));
        EXPECT_EQ(asked_[0].title, TXT("提示:"));
        EXPECT_EQ(asked_[0].flags, platform::kMbOkCancel);
        Pump(200);
        EXPECT_FALSE(WindowGone());
        EXPECT_TRUE(platform::TransferBusy(gDecoderTask));

        answer_ = platform::kIdOk;
        QTest::mouseClick(platform::WidgetOf(Unit("按钮2")), Qt::LeftButton);
        EXPECT_EQ(asked_.size(), 2u);
        EXPECT_TRUE(WindowGone());
        EXPECT_FALSE(platform::TransferBusy(gDecoderTask));
    }));
    EXPECT_TRUE(WaitFor([&] { return server.abandoned.load() || !platform::TransferBusy(gDecoderTask); }));
}

TEST_F(DecoderWindowTest, WithoutANetworkCancelClosesAtOnce) {
    EXPECT_TRUE(Open(DeadHosts(), [&] {
        Pump(1300);
        EXPECT_EQ(Bar(), 0);
        EXPECT_EQ(Caption("标签进度"), TXT("等待下载..."));
        EXPECT_EQ(Caption("标签大小"), TXT("正在连接下载服务器..."));
        EXPECT_TRUE(Caption("标签速度").Empty());
        EXPECT_TRUE(Caption("标签时间").Empty());
        EXPECT_TRUE(Unit("按钮1").GetBool(Prop::Disabled));
        QTest::mouseClick(platform::WidgetOf(Unit("按钮2")), Qt::LeftButton);
        EXPECT_TRUE(WindowGone());
    }));
    EXPECT_TRUE(asked_.empty());
    EXPECT_EQ(gDecoderTotalBytes.load(), 0);
}

TEST_F(DecoderWindowTest, EscClosesWithoutAskingAndLeavesTheTaskRunning) {
    GatedServer server(Payload(4000, 5), 1000);
    uint64_t first = 0;
    EXPECT_TRUE(Open(DownloadFrom(server.Host()), [&] {
        first = gDecoderWindow;
        EXPECT_TRUE(WaitFor([] { return Bar() == 250; }));
        QTest::keyClick(platform::WidgetOf(platform::WindowRef(gDecoderWindow)), Qt::Key_Escape);
        EXPECT_TRUE(WaitFor(WindowGone, 2000));
    }));
    EXPECT_TRUE(asked_.empty());
    EXPECT_TRUE(platform::TransferBusy(gDecoderTask));
    // Its end reaches no window.
    server.Allow(4000);
    EXPECT_TRUE(WaitFor([] { return !platform::TransferBusy(gDecoderTask); }));
    EXPECT_EQ(OnDecoderTransferEvent(platform::kTransferFinished, 0, 4000, 0, 0), 0);
    Pump(100);
    EXPECT_FALSE(platform::WindowExists(first));
    EXPECT_EQ(AsString(ReadFileAt(Installer())), server.data());
}

TEST_F(DecoderWindowTest, TheProgramsEndStopsADownloadLeftRunning) {
    GatedServer server(Payload(4000, 8), 1000);
    answer_ = platform::kIdOk;
    EXPECT_TRUE(Open(DownloadFrom(server.Host()), [&] {
        EXPECT_TRUE(WaitFor([] { return Bar() == 250; }));
        QTest::mouseClick(platform::WidgetOf(Unit("按钮2")), Qt::LeftButton);  // answered: OK
    }));
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_FALSE(platform::TransferBusy(gDecoderTask));

    answer_ = platform::kIdCancel;
    EXPECT_TRUE(Open(DownloadFrom(server.Host()), [&] {
        EXPECT_TRUE(WaitFor([] { return Bar() == 250; }));
        QTest::keyClick(platform::WidgetOf(platform::WindowRef(gDecoderWindow)), Qt::Key_Escape);
        EXPECT_TRUE(WaitFor(WindowGone, 2000));
    }));
    EXPECT_TRUE(platform::TransferBusy(gDecoderTask));
    ReleaseUpdateGlobals();
    EXPECT_FALSE(platform::TransferBusy(gDecoderTask));
    EXPECT_EQ(gDecoderTotalBytes.load(), 0);
    EXPECT_FALSE(FileExists(Installer()));  // a cancelled download takes its file away
}

TEST_F(DecoderWindowTest, TheFileNameFollowsAFolderWhoseNameHoldsADot) {
    const Text folder = Folder() + Text("\\v1.2 downloads");
    ASSERT_TRUE(CreateFolderAt(folder));
    platform::SetDownloadFolderForTests(folder);
    EXPECT_TRUE(Open(DeadHosts(), [&] {
        EXPECT_EQ(gDecoderFilePath, folder + Text("\\orbiq_zyjiema.exe"));
        EXPECT_EQ(gDecoderTaskParams.localPath, gDecoderFilePath);
        platform::DestroyWindow(gDecoderWindow);
    }));
}

TEST_F(DecoderWindowTest, ASecondOpeningShowsThePreviousTotalUntilTheNewSizeArrives) {
    {
        GatedServer server(Payload(1572864, 6), 1572864);
        EXPECT_TRUE(Open(DownloadFrom(server.Host()), [&] {
            EXPECT_TRUE(WaitFor([] { return Caption("按钮1") == TXT("安装"); }));
            platform::DestroyWindow(gDecoderWindow);
        }));
    }
    EXPECT_EQ(gDecoderTotalBytes.load(), 1572864);

    // The second server answers only after a while, so no size arrives at first.
    httplib::Server slow;
    const std::string second = Payload(2000, 7);
    slow.Get("/web/orbiq_zyjiema.exe", [&](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(1800ms);
        res.set_content(second, "application/octet-stream");
    });
    const int port = slow.bind_to_any_port("127.0.0.1");
    std::thread thread = orbiq::test::ListenInBackground(slow);
    EXPECT_TRUE(Open(DownloadFrom(Text(Loopback(port))), [&] {
        EXPECT_EQ(gDecoderTaskParams.field6, 200);
        EXPECT_EQ(Caption("按钮1"), TXT("下载解码器"));
        EXPECT_TRUE(WaitFor([] { return StartsWith(Caption("标签大小"), TXT("进度：")); }, 1500));
        EXPECT_EQ(Caption("标签大小"), TXT("进度：0M/1.5M"));
        EXPECT_EQ(Caption("标签进度"), TXT("已下载:0%"));
        EXPECT_TRUE(WaitFor([] { return Caption("按钮1") == TXT("安装"); }, 4000));
        EXPECT_EQ(gDecoderTotalBytes.load(), 2000);
        platform::DestroyWindow(gDecoderWindow);
    }));
    slow.stop();
    thread.join();
    EXPECT_EQ(AsString(ReadFileAt(Installer())), second);
}

TEST(DecoderNumberText, WritesNumbersWithoutTrailingZeros) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {1048576 / 1048576.0, "1"}, {1572864 / 1048576.0, "1.5"}, {500 / 10.0, "50"}, {991 / 10.0, "99.1"},
        {0.29, "0.29"},           {-0.0, "0"},                  {123456.78, "123456.78"},
    };
    for (const Case& c : cases) EXPECT_EQ(DecoderNumberText(c.value), Text(c.text)) << c.value;
}

}  // namespace
}  // namespace orbiq::test

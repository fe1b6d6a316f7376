// UpdateWindow against the local stand-in and against servers of the tests' own on 127.0.0.1
// (slow, delayed or cut-short catalogues). The window opens modally: each test's script runs
// inside its event loop.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QImage>
#include <QProcess>
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
#include <set>
#include <string>
#include <thread>

#include "common/catalogue_file.h"
#include "common/files.h"
#include "platform/net/http_get.h"
#include "platform/transfer/connection_state.h"
#include "platform/ui/program.h"
#include "platform/ui/ui_widgets.h"
#include "test_support.h"
#include "tools/jetwriter/jet_writer.h"
#include "update/update_globals.h"
#include "update/update_window.h"
#include "listening.h"

namespace orbiq::test {
namespace {

using namespace std::chrono_literals;

struct ProgramEnded {
    int code;
};

int gCleanups = 0;
void CountingCleanup() {
    ++gCleanups;
    ReleaseUpdateGlobals();
}

UnitRef Unit(const char* name) { return UnitRef{gUpdateWindow, name}; }
int32_t Bar() { return Unit("进度条2").GetInt(Prop::Position); }
bool WindowGone() { return !platform::WindowExists(gUpdateWindow); }
void PressEsc() { QTest::keyClick(platform::WidgetOf(platform::WindowRef(gUpdateWindow)), Qt::Key_Escape); }

bool MachineConnected() {
    uint32_t flags = 0;
    char name[64];
    return platform::InternetGetConnectedStateEx(&flags, name, sizeof name, 0);
}
const Text& WordFor(bool connected) { return connected ? TXT("是") : TXT("否"); }

std::optional<Text> T(const char* utf8) { return Text::FromUtf8(utf8); }

// A catalogue of one category holding one channel, as a mirror serves it.
std::string Catalogue(const char* category, const char* password = catalogue::kPassword) {
    return AsString(jet::WriteCatalogue({T(category)}, {{T(category), T("台"), T("http://x/"), T("")}}, Text(password)));
}


// A server of the test's own on a free port.
class OwnServer {
public:
    OwnServer() {
        server_.set_keep_alive_max_count(1);  // no idle connection holds up the stop
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = orbiq::test::ListenInBackground(server_);
    }
    ~OwnServer() {
        stopping.store(true);
        server_.stop();
        thread_.join();
    }
    Text Host() const { return Text(Loopback(port_)); }
    httplib::Server& server() { return server_; }

    // Serves bytes with their length announced, 1 KiB every pieceMs; notes a client that left.
    void Throttled(const std::string& path, std::string bytes, int pieceMs) {
        auto data = std::make_shared<const std::string>(std::move(bytes));
        server_.Get(path, [this, data, pieceMs](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(data->size(), "application/octet-stream",
                                     [this, data, pieceMs](size_t offset, size_t length, httplib::DataSink& sink) {
                                         if (stopping.load()) return false;
                                         std::this_thread::sleep_for(std::chrono::milliseconds(pieceMs));
                                         if (!sink.write(data->data() + offset, std::min<size_t>(length, 1024))) {
                                             abandoned.store(true);
                                             return false;
                                         }
                                         return true;
                                     });
        });
    }

    std::atomic<bool> stopping{false};
    std::atomic<bool> abandoned{false};

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

// Fields the catalogue download writes, and the component's defaults everywhere else.
void ExpectCatalogueRecord(const platform::TransferTaskParams& p, const Text& url, const Text& path) {
    const platform::TransferTaskParams d = platform::DefaultTransferTaskParams();
    EXPECT_EQ(p.field1, 1);
    EXPECT_EQ(p.sourceUrl, url);
    EXPECT_EQ(p.localPath, path);
    EXPECT_EQ(p.field6, 10);
    EXPECT_EQ(p.field17, 4096);
    EXPECT_TRUE(p.field19.Empty());
    EXPECT_EQ(p.eventCallback, &OnDatabaseTransferEvent);
    EXPECT_EQ(p.userName, d.userName);
    EXPECT_EQ(p.password, d.password);
    EXPECT_EQ(p.field7, d.field7);
    EXPECT_EQ(p.field8, d.field8);
    EXPECT_EQ(p.field9, d.field9);
    EXPECT_EQ(p.field10, d.field10);
    EXPECT_EQ(p.field11, d.field11);
    EXPECT_EQ(p.field12, d.field12);
    EXPECT_EQ(p.field13, d.field13);
    EXPECT_EQ(p.infoCallback, d.infoCallback);
    EXPECT_EQ(p.field16, d.field16);
    EXPECT_EQ(p.field18, d.field18);
    EXPECT_EQ(p.field20, d.field20);
}

class UpdateWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        platform::SetExitHook([](int code) { throw ProgramEnded{code}; });
        platform::ResetCleanupForTests();
        gCleanups = 0;
        platform::RegisterCleanup(CountingCleanup);
        platform::SetProgramFolder(Folder());
        InitialiseUpdateGlobals();
    }
    void TearDown() override {
        if (!WindowGone()) platform::DestroyWindow(gUpdateWindow);
        ReleaseUpdateGlobals();
        site_.reset();  // after the task has let its idle connection go
        QCoreApplication::processEvents();
        platform::RegisterCleanup(nullptr);
        platform::SetExitHook(nullptr);
    }

    LocalSite& Site() {
        if (!site_) site_ = std::make_unique<LocalSite>();
        return *site_;
    }
    Text Folder() const { return Text::FromUtf8(folder_.path().toStdString()); }
    Text Target() const { return Folder() + Text(catalogue::kPathInFolder.data()); }

    // Opens UpdateWindow modally and runs script inside its loop; a guard destroys the window
    // after guardMs. True when the window went before the guard.
    static bool Open(const RemoteHosts& hosts, const std::function<void()>& script, int guardMs = 8000) {
        return RunInsideModal([&] { OpenUpdateWindow(hosts); }, gUpdateWindow, script, guardMs);
    }

    QTemporaryDir folder_;
    std::unique_ptr<LocalSite> site_;
};

TEST_F(UpdateWindowTest, FullStartDownloadsTheChosenCatalogueAndClosesAtHundred) {
    LocalSite& site = Site();
    const ByteSet catalogue = platform::HttpGet(Text("http://") + site.hosts.mirror1 + Text("/orbiq/Mdb/iead.dll"));
    ASSERT_GT(catalogue.size(), 1000u);
    ASSERT_TRUE(WriteFileAt(Target(), ByteSet{'o', 'l', 'd'}));
    EXPECT_TRUE(Open(site.hosts, [&] {
        EXPECT_FALSE(FileExists(Target()));
        EXPECT_EQ(Unit("透明标签2").GetText(Prop::Caption), TXT("最新程序版本号:1.33.2"));
        EXPECT_EQ(Unit("透明标签7").GetText(Prop::Caption), TXT("三台服务器运行正常"));
        EXPECT_EQ(Unit("透明标签5").GetText(Prop::Caption), WordFor(MachineConnected()));
        EXPECT_EQ(std::get<RoundRegion>(platform::WindowRef(gUpdateWindow).Get(Prop::Region)),
                  (RoundRegion{0, 0, 416, 303, 14, 14}));
        EXPECT_TRUE(platform::UnboundHandlers(gUpdateWindow).empty());
        EXPECT_EQ(Unit("时钟1").GetInt(Prop::Interval), 100);
        EXPECT_EQ(Bar(), 0);
        QTest::mouseClick(platform::WidgetOf(Unit("单选框1")), Qt::LeftButton);
        EXPECT_TRUE(WaitFor(WindowGone));
    }));
    EXPECT_EQ(ReadFileAt(Target()), catalogue);
    EXPECT_EQ(gDatabaseTotalBytes.load(), static_cast<int32_t>(catalogue.size()));
    EXPECT_EQ(gDatabaseDoneBytes.load(), static_cast<int32_t>(catalogue.size()));
    EXPECT_EQ(gCleanups, 0);
    // The version text and the server status, together, before anything else of the site.
    auto seen = site.server.SiteRequests();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(std::multiset<std::string>(seen.begin(), seen.begin() + 2),
              (std::multiset<std::string>{"GET /BB.txt", "GET /fwq2.txt"}));
}

TEST_F(UpdateWindowTest, EachServerFetchesItsOwnPathFromItsOwnHost) {
    LocalSite& site = Site();
    const std::string one = Catalogue("镜像一"), two = Catalogue("镜像二"), own = Catalogue("本站");
    site.server.SetMirror1File("orbiq/Mdb/iead.dll", one);
    site.server.SetMirror2File("iead.dll", two);
    site.server.SetSiteFile("SJ/iead.dll", own);
    // The other names on every host: a wrong host or path fetches one of these.
    const std::string wrong = Catalogue("错");
    site.server.SetMirror1File("iead.dll", wrong);
    site.server.SetMirror1File("SJ/iead.dll", wrong);
    site.server.SetMirror2File("orbiq/Mdb/iead.dll", wrong);
    site.server.SetMirror2File("SJ/iead.dll", wrong);
    site.server.SetSiteFile("iead.dll", wrong);
    site.server.SetSiteFile("orbiq/Mdb/iead.dll", wrong);
    struct Case {
        const char* radio;
        Text url;
        const std::string& content;
    };
    const Text http("http://");
    const Case cases[] = {
        {"单选框1", http + site.hosts.mirror1 + Text("/orbiq/Mdb/iead.dll"), one},
        {"单选框2", http + site.hosts.mirror2 + Text("/iead.dll"), two},
        {"单选框3", http + site.hosts.site + Text("/SJ/iead.dll"), own},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radio);
        InitialiseUpdateGlobals();
        EXPECT_TRUE(Open(site.hosts, [&] {
            platform::RaiseEvent(Unit(c.radio), "Click");
            EXPECT_TRUE(WaitFor(WindowGone));
        }));
        EXPECT_TRUE(AsString(ReadFileAt(Target())) == c.content);
        ExpectCatalogueRecord(gDatabaseTaskParams, c.url, Target());
    }
}

TEST_F(UpdateWindowTest, WithoutTheRemoteSideTheWindowStaysUntilEsc) {
    EXPECT_TRUE(Open(DeadHosts(), [&] {
        EXPECT_EQ(Unit("透明标签2").GetText(Prop::Caption), TXT("最新程序版本号:"));
        EXPECT_TRUE(Unit("透明标签7").GetText(Prop::Caption).Empty());
        EXPECT_EQ(Unit("透明标签5").GetText(Prop::Caption), WordFor(MachineConnected()));
        QTest::mouseClick(platform::WidgetOf(Unit("单选框2")), Qt::LeftButton);
        Pump(400);
        EXPECT_EQ(Bar(), 0);
        EXPECT_FALSE(WindowGone());
        EXPECT_EQ(Unit("时钟1").GetInt(Prop::Interval), 100);
        PressEsc();
        EXPECT_TRUE(WaitFor(WindowGone, 2000));
    }));
    EXPECT_EQ(gCleanups, 0);  // Esc closes only the window
    EXPECT_FALSE(FileExists(Target()));
}

TEST_F(UpdateWindowTest, CloseGraphicEndsTheProgramAtOnceDuringADownload) {
    OwnServer server;
    server.Throttled("/orbiq/Mdb/iead.dll", Payload(64 << 10, 1), 20);
    RemoteHosts hosts = DeadHosts();
    hosts.mirror1 = server.Host();
    int code = -1;
    Open(hosts, [&] {
        platform::RaiseEvent(Unit("单选框1"), "Click");
        EXPECT_TRUE(WaitFor([] { return Bar() > 0; }));
        try {
            platform::RaiseEvent(Unit("图形按钮9"), "Click");
        } catch (const ProgramEnded& e) {
            code = e.code;
        }
        platform::DestroyWindow(gUpdateWindow);  // the process would have gone
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(gCleanups, 1);
    EXPECT_FALSE(platform::TransferBusy(gDatabaseTask));  // the clean-up destroyed the task
    EXPECT_TRUE(WaitFor([&] { return server.abandoned.load(); }));
}

TEST_F(UpdateWindowTest, ASecondChoiceRestartsTheSameTask) {
    OwnServer server;
    const std::string first = Payload(64 << 10, 2);
    const std::string second = Catalogue("第二");
    server.Throttled("/orbiq/Mdb/iead.dll", first, 20);
    server.server().Get("/iead.dll", [&second](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(1s);
        res.set_content(second, "application/octet-stream");
    });
    RemoteHosts hosts = DeadHosts();
    hosts.mirror1 = hosts.mirror2 = server.Host();
    EXPECT_TRUE(Open(hosts, [&] {
        platform::RaiseEvent(Unit("单选框1"), "Click");
        EXPECT_TRUE(WaitFor([] { return Bar() > 0; }));
        EXPECT_EQ(gDatabaseTotalBytes.load(), static_cast<int32_t>(first.size()));
        const int32_t before = Bar();
        platform::RaiseEvent(Unit("单选框2"), "Click");
        EXPECT_FALSE(FileExists(Target()));
        EXPECT_TRUE(WaitFor([&] { return server.abandoned.load(); }));
        // Until the new download reports, the bar and the total keep their values.
        Pump(300);
        EXPECT_GE(Bar(), before);
        EXPECT_LT(Bar(), 100);
        EXPECT_EQ(gDatabaseTotalBytes.load(), static_cast<int32_t>(first.size()));
        EXPECT_TRUE(WaitFor(WindowGone));
    }));
    EXPECT_TRUE(AsString(ReadFileAt(Target())) == second);
    EXPECT_EQ(gDatabaseTotalBytes.load(), static_cast<int32_t>(second.size()));
}

TEST_F(UpdateWindowTest, BarDividesFirstAndAShortDownloadNeverReachesHundred) {
    std::mutex mutex;
    std::condition_variable cv;
    bool cut = false;
    OwnServer server;
    // Announces 100 bytes, sends 29, and ends the connection when the test says so.
    server.server().Get("/SJ/iead.dll", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(100, "application/octet-stream", [&](size_t offset, size_t, httplib::DataSink& sink) {
            if (offset == 0) return sink.write(std::string(29, 'x').data(), 29);
            std::unique_lock lock(mutex);
            cv.wait_for(lock, 5s, [&] { return cut || server.stopping.load(); });
            return false;
        });
    });
    RemoteHosts hosts = DeadHosts();
    hosts.site = server.Host();
    EXPECT_TRUE(Open(hosts, [&] {
        platform::RaiseEvent(Unit("单选框3"), "Click");
        // 29 / 100 * 100.0 is 28.999999999999996.
        EXPECT_TRUE(WaitFor([] { return gDatabaseDoneBytes.load() == 29 && Bar() == 28; }));
        EXPECT_EQ(gDatabaseTotalBytes.load(), 100);
        Pump(150);
        EXPECT_EQ(Bar(), 28);

        for (int32_t code : {0, 1, 2, 5, 7, 15, 17, -3}) {
            EXPECT_EQ(OnDatabaseTransferEvent(code, 1, 2, 3, 4), 0) << code;
            EXPECT_EQ(Bar(), 28) << code;
            EXPECT_EQ(gDatabaseTotalBytes.load(), 100) << code;
            EXPECT_EQ(gDatabaseDoneBytes.load(), 29) << code;
        }

        {
            std::lock_guard lock(mutex);
            cut = true;
        }
        cv.notify_all();
        EXPECT_TRUE(WaitFor([] { return !platform::TransferBusy(gDatabaseTask); }));
        Pump(300);
        EXPECT_EQ(Bar(), 28);
        EXPECT_FALSE(WindowGone());
        EXPECT_FALSE(FileExists(Target()));  // the failed download took its file away

        // A missing or empty target at event 3 leaves a total that sets the bar to 0.
        for (bool empty : {false, true}) {
            if (empty) {
                ASSERT_TRUE(WriteFileAt(Target(), {}));
            }
            Unit("进度条2").Set(Prop::Position, int32_t{50});
            EXPECT_EQ(OnDatabaseTransferEvent(3, 0, 100, 100, 0), 0);
            EXPECT_LE(gDatabaseTotalBytes.load(), 0);
            EXPECT_EQ(OnDatabaseTransferEvent(16, 0, 29, 100, 0), 0);
            EXPECT_EQ(Bar(), 0) << (empty ? "empty" : "missing");
        }
        Pump(200);
        EXPECT_FALSE(WindowGone());
        platform::DestroyWindow(gUpdateWindow);
    }));
}

// What a misbehaving mirror answers with status 200 is removed once it has ended, the bar
// goes back to 0 and the window stays for another server or Esc, after which the start-up
// writes the built-in copy.
TEST_F(UpdateWindowTest, ADownloadThatIsNoCatalogueIsRemovedAndTheWindowStays) {
    LocalSite& site = Site();
    constexpr uint64_t kCap = uint64_t{64} << 20;
    const std::string good = Catalogue("甲");
    struct Case {
        const char* what;
        std::string body;  // ignored for junk
        uint64_t junk = 0;
        bool announced = true;
    };
    std::vector<Case> cases = {
        {"an HTML error page", "<html><head><title>500 Internal Server Error</title></head><body>error</body></html>"},
        {"a zero-length body", ""},
        {"two bytes", "OK"},
        {"a catalogue cut short", good.substr(0, good.size() / 2)},
        {"a catalogue with another password", Catalogue("甲", "12345678")},
        {"a Jet file of other tables",
         AsString(jet::WriteJet4({jet::Table{TXT("频道"), {{TXT("名称"), 50}}, {{T("甲")}}}}, Text(catalogue::kPassword)))},
        {"past the cap, announced", {}, kCap + 1, true},
        {"past the cap, unannounced", {}, kCap + 1, false},
    };
    // A database that the real engine made: Jet 4 with no password, but no catalogue tables.
    if (ByteSet engineMade = ReadFileAt(Text::FromUtf8(ORBIQ_JET_SAMPLES_DIR "/V2003_test.mdb")); !engineMade.empty())
        cases.push_back({"an engine-made Jet file of other tables", AsString(engineMade)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InitialiseUpdateGlobals();
        if (c.junk)
            site.server.SetMirror1Junk("orbiq/Mdb/iead.dll", c.junk, c.announced);
        else
            site.server.SetMirror1File("orbiq/Mdb/iead.dll", c.body);
        EXPECT_TRUE(Open(site.hosts, [&] {
            platform::RaiseEvent(Unit("单选框1"), "Click");
            EXPECT_TRUE(WaitFor([] { return !platform::TransferBusy(gDatabaseTask); }, 20000));
            Pump(300);
            if (WindowGone()) {
                ADD_FAILURE() << "the window closed itself";
                return;
            }
            EXPECT_EQ(Bar(), 0);
            EXPECT_FALSE(FileExists(Target()));
            EXPECT_LE(platform::TransferBytesDone(gDatabaseTask), static_cast<int32_t>(kCap));
            PressEsc();
            EXPECT_TRUE(WaitFor(WindowGone, 2000));
        }, 30000));
        EXPECT_FALSE(FileExists(Target()));
        EXPECT_EQ(gCleanups, 0);
    }
    // The same mirror with a catalogue: kept, and the window closes itself.
    InitialiseUpdateGlobals();
    site.server.SetMirror1File("orbiq/Mdb/iead.dll", good);
    EXPECT_TRUE(Open(site.hosts, [&] {
        platform::RaiseEvent(Unit("单选框1"), "Click");
        EXPECT_TRUE(WaitFor(WindowGone));
    }));
    EXPECT_TRUE(AsString(ReadFileAt(Target())) == good);
}

TEST_F(UpdateWindowTest, EventsAfterTheWindowHasGoneAreDropped) {
    OwnServer server;
    const std::string payload = Payload(64 << 10, 4);
    server.Throttled("/iead.dll", payload, 20);
    RemoteHosts hosts = DeadHosts();
    hosts.mirror2 = server.Host();
    EXPECT_TRUE(Open(hosts, [&] {
        platform::RaiseEvent(Unit("单选框2"), "Click");
        EXPECT_TRUE(WaitFor([] { return Bar() > 0; }));
        PressEsc();
        EXPECT_TRUE(WaitFor(WindowGone, 2000));
    }));
    // Esc before 100 stops the download, so no part-written catalogue is left for the
    // start-up to open; a late event finds no window.
    EXPECT_FALSE(platform::TransferBusy(gDatabaseTask));
    Pump(100);
    EXPECT_FALSE(FileExists(Target()));
    EXPECT_EQ(OnDatabaseTransferEvent(16, 0, 0, 0, 0), 0);

    // Once the globals are released no callback runs any more.
    StartDatabaseDownload(Text("http://") + server.Host() + Text("/iead.dll"), Target(), Unit("进度条2"));
    EXPECT_TRUE(WaitFor([] { return gDatabaseDoneBytes.load() > 0; }));
    ReleaseUpdateGlobals();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(gDatabaseDoneBytes.load(), 0);
    EXPECT_EQ(gDatabaseTotalBytes.load(), 0);
    EXPECT_FALSE(platform::TransferBusy(gDatabaseTask));
}

TEST_F(UpdateWindowTest, LabelsDrawWhiteOnTheSkinAndTheUnusedUnitsLieOutside) {
    EXPECT_TRUE(Open(DeadHosts(), [&] {
        QWidget* window = platform::WidgetOf(platform::WindowRef(gUpdateWindow));
        const QImage shot = window->grab().toImage();
        auto pixels = [&](const char* unit, const std::function<bool(QColor)>& pred) {
            QWidget* w = platform::WidgetOf(Unit(unit));
            QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    if (shot.rect().contains(x, y) && pred(shot.pixelColor(x, y))) ++n;
            return n;
        };
        auto white = [](QColor c) { return c.red() > 200 && c.green() > 200 && c.blue() > 200; };
        for (const char* label : {"透明标签1", "透明标签2", "透明标签3", "透明标签4", "透明标签5", "透明标签6",
                                  "单选框1", "单选框2", "单选框3"})
            EXPECT_GT(pixels(label, white), 0) << label;
        // The logo lies in front of the skin: its blue emblem shows.
        EXPECT_GT(pixels("图片框3", [](QColor c) { return c.blue() > c.red() + 80; }), 100);
        for (const char* unit : {"标签15", "分组框2", "组合框2", "标签2"}) {
            QWidget* w = platform::WidgetOf(Unit(unit));
            EXPECT_FALSE(QRect(w->mapTo(window, QPoint(0, 0)), w->size()).intersects(window->rect())) << unit;
        }
        platform::DestroyWindow(gUpdateWindow);
    }));
}

// In a network namespace of its own no interface is up: the connection state is false.
// The case below runs there, started by the next test.
TEST_F(UpdateWindowTest, DISABLED_OfflineInAnEmptyNetworkNamespace) {
    Text name("x"), description;
    EXPECT_FALSE(GetInternetConnectionState(&name, &description));
    EXPECT_TRUE(name.Empty());
    EXPECT_EQ(description, TXT("现在连接处于离线状态.") + Text("\r\n") + TXT("没有设定好的连接."));
    EXPECT_FALSE(GetInternetConnectionState());
    const Text nowhere("127.0.0.1:9");
    EXPECT_TRUE(Open(RemoteHosts{nowhere, nowhere, nowhere, nowhere, nowhere}, [&] {
        EXPECT_EQ(Unit("透明标签5").GetText(Prop::Caption), TXT("否"));
        EXPECT_EQ(Unit("透明标签2").GetText(Prop::Caption), TXT("最新程序版本号:"));
        platform::RaiseEvent(Unit("单选框1"), "Click");
        Pump(300);
        EXPECT_EQ(Bar(), 0);
        EXPECT_FALSE(WindowGone());
        PressEsc();
        EXPECT_TRUE(WaitFor(WindowGone, 2000));
    }));
}

TEST(UpdateWindowOffline, ShowsTheFalseWordWithoutAnyNetwork) {
    QProcess child;
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("unshare", {"--net", QCoreApplication::applicationFilePath(),
                            "--gtest_filter=UpdateWindowTest.DISABLED_OfflineInAnEmptyNetworkNamespace",
                            "--gtest_also_run_disabled_tests"});
    if (!child.waitForStarted(5000)) GTEST_SKIP() << "unshare is not available";
    ASSERT_TRUE(child.waitForFinished(30000));
    const QString out = QString::fromUtf8(child.readAll());
    if (child.exitCode() != 0 && out.startsWith("unshare:")) GTEST_SKIP() << out.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << out.toStdString();
    EXPECT_TRUE(out.contains("[  PASSED  ] 1 test.")) << out.toStdString();
}

}  // namespace
}  // namespace orbiq::test

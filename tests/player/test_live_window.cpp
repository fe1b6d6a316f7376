// The program's main window playing a channel from a real streaming server (ffmpeg's HTTP
// MPEG-TS listener, through tests/media/live_server.sh) that goes away for 5 s: the status line
// says so while the player reconnects, and the channel comes back by itself.
#include <QTest>

#include <string>
#include <vector>

#include "common/catalogue_file.h"
#include "common/files.h"
#include "live_server.h"
#include "player_fixture.h"
#include "tools/jetwriter/jet_writer.h"

namespace orbiq::test {
namespace {

class LiveWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        scripted_ = false;
        MainWindowTest::SetUp();
    }
};

TEST_F(LiveWindowTest, StatusLineShowsTheReconnectAndTheChannelComesBack) {
    LiveServer server("httpts");
    ASSERT_TRUE(server.Start()) << "ffmpeg did not start";
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/live.ts";
    auto t = [](const char* s) { return std::optional<Text>(Text::FromUtf8(s)); };
    ByteSet catalogue = jet::WriteCatalogue({t("直播频道")}, {{t("直播频道"), t("本地直播"), std::optional<Text>(Text(url)), t("x")}},
                                            Text(catalogue::kPassword));
    Start(DeadHosts(), [&] { ASSERT_TRUE(WriteFileAt(Folder() + Text(catalogue::kPathInFolder.data()), catalogue)); });
    std::vector<std::string> captions;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const std::string c = MainUnit("显示_标签").GetText(Prop::Caption).ToUtf8();
        if (captions.empty() || captions.back() != c) captions.push_back(c);
    });
    watch.start(20);
    platform::TreeSelect(MainUnit("列表1"), 1);
    ASSERT_TRUE(WaitFor([] { return MainUnit("播放器1").GetInt(Prop::PlayState) == 3; }, 20000));
    EXPECT_EQ(MainUnit("显示_标签").GetText(Prop::Caption), TXT("正在直播:本地直播"));

    server.Stop();
    EXPECT_TRUE(WaitFor([] { return MainUnit("显示_标签").GetText(Prop::Caption) == TXT(" 尝试重新连接..."); }, 20000));
    Pump(5000);
    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(WaitFor([] { return MainUnit("播放器1").GetInt(Prop::PlayState) == 3; }, 30000));
    EXPECT_EQ(MainUnit("显示_标签").GetText(Prop::Caption), TXT("正在直播:本地直播"));
    watch.stop();
    std::string seen;
    for (const std::string& c : captions) seen += "[" + c + "] ";
    std::printf("[captions] %s\n", seen.c_str());
    // Never the stopped text or the empty line of an end while it comes back.
    for (const std::string& c : captions) {
        EXPECT_NE(c, "开心每一天,享受精彩TV时间.欢迎使用ORBIQ网络电视") << seen;
        EXPECT_NE(c, "") << seen;
    }
}

}  // namespace
}  // namespace orbiq::test

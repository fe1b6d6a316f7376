#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTest>

#include <cmath>

#include "common/builtin_catalogue.h"
#include "common/catalogue_file.h"
#include "common/files.h"
#include "player_fixture.h"
#include "tools/jetwriter/jet_writer.h"
#include "tone_wav.h"

namespace orbiq::test {
namespace {

class PlaybackTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Start(DeadHosts());
        ASSERT_NE(Player(), nullptr);
    }
    // Puts every unit the table writes into a known state.
    static void Reset() {
        MainUnit("显示_标签").Set(Prop::Caption, Text("before"));
        for (const char* u : {"播放媒体", "暂停播放", "FLASH播放器", "图片框9"}) MainUnit(u).Set(Prop::Visible, true);
        MainUnit("FLASH播放器").Set(Prop::URL, Text("before"));
        MainUnit("标签2").Set(Prop::Caption, TXT("频道甲"));
    }
    static bool Shown(const char* u) { return MainUnit(u).GetBool(Prop::Visible); }
};

TEST_F(PlaybackTest, EveryPlayStateAsTheTableSays) {
    const Text folder = Folder();
    const Text animation = gHosts.SiteAddress() + Text("orbiq.swf");
    const Text before("before");
    // -1: the row leaves the unit alone.
    struct Row { int32_t state; Text status; int play, pause, overlay; Text overlayUrl; bool picture; };
    const Row rows[] = {
        {0, TXT(" 未知状态..."), -1, -1, -1, before, false},
        {1, TXT("开心每一天,享受精彩TV时间.欢迎使用ORBIQ网络电视"), 1, 0, 1, folder, true},
        {2, TXT(" 播放暂停..."), 1, 0, 1, folder, true},
        {3, TXT("正在直播:频道甲"), 0, 1, 0, Text(), false},
        {4, TXT(" 向前搜索..."), -1, -1, -1, before, false},
        {5, TXT(" 向后搜索..."), -1, -1, -1, before, false},
        {6, TXT("频道缓存中,请稍等..."), 0, 1, 1, animation, false},
        {7, TXT(" 等待加载..."), -1, -1, -1, before, false},
        {8, Text(), -1, -1, -1, before, false},
        {9, TXT(" 正在连接频道..."), 0, 1, 1, animation, false},
        {10, Text(" "), -1, -1, -1, folder, true},
        {11, TXT(" 尝试重新连接..."), -1, -1, -1, before, false},
        {12, TXT(" 上一次状态"), -1, -1, -1, before, false},
        {13, before, -1, -1, -1, before, false},
        {-1, before, -1, -1, -1, before, false},
        {1000, before, -1, -1, -1, before, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.state);
        Reset();
        Player()->Raise({r.state});
        EXPECT_EQ(MainUnit("显示_标签").GetText(Prop::Caption), r.status);
        if (r.play >= 0) EXPECT_EQ(Shown("播放媒体"), r.play == 1);
        else EXPECT_TRUE(Shown("播放媒体"));
        if (r.pause >= 0) EXPECT_EQ(Shown("暂停播放"), r.pause == 1);
        else EXPECT_TRUE(Shown("暂停播放"));
        if (r.overlay >= 0) EXPECT_EQ(Shown("FLASH播放器"), r.overlay == 1);
        else EXPECT_TRUE(Shown("FLASH播放器"));
        EXPECT_EQ(MainUnit("FLASH播放器").GetText(Prop::URL), r.overlayUrl);
        EXPECT_EQ(Shown("图片框9"), r.picture);
    }
    EXPECT_GE(Player()->reads, 13);
}

TEST_F(PlaybackTest, EachTestReadsTheStateAfresh) {
    // Thirteen reads: the state moves from 3 to 9 after the fourth.
    Reset();
    Player()->Raise({3, 3, 3, 3, 9, 9, 9, 9, 9, 9, 9, 9, 9});
    EXPECT_EQ(Player()->reads, 13);
    // Row 3 ran (overlay URL emptied, then row 9 gave it the animation) and row 9 wrote last.
    EXPECT_EQ(MainUnit("显示_标签").GetText(Prop::Caption), TXT(" 正在连接频道..."));
    EXPECT_EQ(MainUnit("FLASH播放器").GetText(Prop::URL), gHosts.SiteAddress() + Text("orbiq.swf"));
    EXPECT_TRUE(Shown("FLASH播放器"));
    // From 9 back to 1: row 1 ran before row 9 was read, so neither applies twice.
    Reset();
    Player()->Raise({9, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1});
    EXPECT_EQ(MainUnit("显示_标签").GetText(Prop::Caption), TXT("开心每一天,享受精彩TV时间.欢迎使用ORBIQ网络电视"));
    EXPECT_TRUE(Shown("播放媒体"));
    EXPECT_FALSE(Shown("暂停播放"));
}

TEST_F(PlaybackTest, OpenFileWritesTheDialogsChoiceEvenAfterACancel) {
    std::string answer = "/media/film.mp4";
    int shown = 0;
    platform::SetOpenFileDialogResponder([&] { ++shown; return answer; });
    platform::TriggerMenuItem(gMainWindow, "OpenFileItem");
    EXPECT_EQ(Player()->urls.back(), Text(answer));
    answer.clear();  // cancelled
    platform::RaiseEvent(MainUnit("超级按钮1"), "Click");
    EXPECT_TRUE(Player()->urls.back().Empty());
    EXPECT_EQ(shown, 2);
    // The pause graphic stops; the play graphic then opens the dialog, never resumes.
    platform::RaiseEvent(MainUnit("暂停播放"), "Click");
    EXPECT_EQ(Player()->stops, 1);
    EXPECT_TRUE(Shown("播放媒体"));
    EXPECT_FALSE(Shown("暂停播放"));
    platform::RaiseEvent(MainUnit("播放媒体"), "Click");
    EXPECT_EQ(shown, 3);
    platform::SetOpenFileDialogResponder(nullptr);
}

TEST_F(PlaybackTest, ALocalFilePlaysUnderTheLastChannelsName) {
    MainUnit("标签2").Set(Prop::Caption, TXT("精品影院"));
    platform::SetOpenFileDialogResponder([] { return std::string("/tmp/a.wav"); });
    OnOpenFileItemClick();
    platform::SetOpenFileDialogResponder(nullptr);
    Player()->Raise({3});
    EXPECT_EQ(MainUnit("显示_标签").GetText(Prop::Caption), TXT("正在直播:精品影院"));
}

TEST_F(PlaybackTest, VolumeFullScreenAndStop) {
    MainUnit("音量滚动条").Set(Prop::Position, int32_t{35});
    EXPECT_EQ(Player()->volume, 35);
    EXPECT_EQ(gPlayerSettings->volume(), 35);
    platform::TriggerMenuItem(gMainWindow, "FullScreenItem");
    EXPECT_TRUE(Player()->fullScreen);
    Player()->SetUrl(Text("http://x/"));
    platform::TriggerMenuItem(gMainWindow, "StopPlaybackItem");
    EXPECT_TRUE(Player()->urls.back().Empty());
    // The full-screen super button has no handler.
    Player()->fullScreen = false;
    QTest::mouseClick(platform::WidgetOf(MainUnit("超级按钮3")), Qt::LeftButton);
    EXPECT_FALSE(Player()->fullScreen);
}

TEST_F(PlaybackTest, RightClickOnThePlayerPopsUpThePlayMenu) {
    QWidget* player = platform::WidgetOf(MainUnit("播放器1"));
    // The overlay player lies above; the channel player is reached where the overlay is hidden.
    MainUnit("FLASH播放器").Set(Prop::Visible, false);
    MainUnit("图片框9").Set(Prop::Visible, false);
    QTest::mouseClick(player, Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
    QMenu* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), QString("PlayMenu"));
    popup->close();
}

// The real libmpv player in the main window: a channel of a local catalogue plays a WAV
// from a local server.
class RealPlaybackTest : public MainWindowTest {
protected:
    void SetUp() override {
        scripted_ = false;
        MainWindowTest::SetUp();
    }
};

TEST_F(RealPlaybackTest, AChannelReachesThePlayingStateAndStops) {
    LocalSite site;
    std::string radio = "http://" + site.hosts.site.Bytes() + "/media/radio.wav";
    auto t = [](const char* s) { return std::optional<Text>(Text::FromUtf8(s)); };
    ByteSet catalogue = jet::WriteCatalogue({t("广播电台")},
                                            {{t("广播电台"), t("本地之声"), std::optional<Text>(Text(radio)), t("x")},
                                             {t("广播电台"), t("死台"), std::optional<Text>(Text("http://127.0.0.1:1/x.wav")), t("x")}},
                                            Text(catalogue::kPassword));
    Start(site.hosts, [&] { ASSERT_TRUE(WriteFileAt(Folder() + Text(catalogue::kPathInFolder.data()), catalogue)); });
    platform::TreeSelect(MainUnit("列表1"), 1);
    EXPECT_TRUE(WaitFor([] { return MainUnit("播放器1").GetInt(Prop::PlayState) == 3; }, 15000));
    EXPECT_EQ(MainUnit("显示_标签").GetText(Prop::Caption), TXT("正在直播:本地之声"));
    EXPECT_FALSE(MainUnit("FLASH播放器").GetBool(Prop::Visible));
    // Stop from the menu: the empty URL.
    platform::TriggerMenuItem(gMainWindow, "StopPlaybackItem");
    EXPECT_TRUE(WaitFor([] { return MainUnit("播放器1").GetInt(Prop::PlayState) != 3; }, 10000));
    EXPECT_TRUE(WaitFor([] { return MainUnit("播放媒体").GetBool(Prop::Visible); }, 10000));
    // A dead address ends without a hang, and the window keeps answering.
    platform::TreeSelect(MainUnit("列表1"), 2);
    EXPECT_TRUE(WaitFor([] {
        int s = MainUnit("播放器1").GetInt(Prop::PlayState);
        return s == 1 || s == 10;
    }, 15000));
}

// The program's folder is named with characters outside GBK ("ő" and the Hangul).
class NativeFolderTest : public RealPlaybackTest {
protected:
    void SetUp() override {
        RealPlaybackTest::SetUp();
        const QString name = QString::fromUtf8("测试-ő-한국");
        ASSERT_TRUE(QDir(base_.path()).mkdir(name));
        native_ = QFile::encodeName(base_.path() + "/" + name).toStdString();
        platform::SetNativeProgramFolder(native_);
    }
    QTemporaryDir base_;
    std::string native_;
};

TEST_F(NativeFolderTest, AFullStartShowsTheBuiltInTreeAndPlaysAFileChosenThere) {
    const Text folder = platform::ProgramFolder();
    EXPECT_EQ(folder.Right(TXT("测试-?-??").Length()), TXT("测试-?-??")) << "shown as GBK shows it";
    Start(DeadHosts());
    // The built-in copy went into the folder itself, and the tree shows it.
    EXPECT_EQ(ReadFileAt(folder + Text(catalogue::kPathInFolder.data())), BuiltinCatalogue());
    EXPECT_EQ(QFileInfo(QFile::decodeName(QByteArray::fromStdString(native_ + "/" + catalogue::kFileName))).size(),
              static_cast<qint64>(BuiltinCatalogue().size()));
    EXPECT_EQ(QDir(base_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1) << "nothing beside it";
    std::vector<std::string> categories;
    for (const Text& c : platform::TreeChildren(MainUnit("列表1"), -1)) categories.push_back(c.ToUtf8());
    EXPECT_EQ(categories, (std::vector<std::string>{"直播频道", "电视剧场", "电影频道", "综艺娱乐", "音乐频道", "体育频道",
                                                    "资讯频道", "广播电台"}));

    // A file of that folder, chosen in the dialog, plays.
    const std::string clip = native_ + "/片段-ő.wav";
    {
        QFile file(QFile::decodeName(QByteArray::fromStdString(clip)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const std::string wav = ToneWav(1.0);
        file.write(wav.data(), static_cast<qint64>(wav.size()));
    }
    platform::SetOpenFileDialogResponder([clip] { return clip; });
    platform::TriggerMenuItem(gMainWindow, "OpenFileItem");
    platform::SetOpenFileDialogResponder(nullptr);
    EXPECT_EQ(MainUnit("播放器1").GetText(Prop::URL), folder + TXT("/片段-?.wav"));
    EXPECT_TRUE(WaitFor([] { return MainUnit("播放器1").GetInt(Prop::PlayState) == 3; }, 15000));
    platform::TriggerMenuItem(gMainWindow, "StopPlaybackItem");
    EXPECT_TRUE(WaitFor([] { return MainUnit("播放器1").GetInt(Prop::PlayState) != 3; }, 10000));
}

}  // namespace
}  // namespace orbiq::test

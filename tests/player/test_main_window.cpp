#include <QAction>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <QApplication>

#include "board/board_window.h"
#include "player/small_windows.h"
#include <cstdio>
#include <set>

#include "player_fixture.h"
#include "update/decoder_window.h"

namespace orbiq::test {
namespace {

// A 1 x 1 GIF.
const std::string kGif("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00\x00\x00,"
                       "\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;", 43);

TEST_F(MainWindowTest, StartsWithEveryFetchFailing) {
    Start(DeadHosts());
    EXPECT_EQ(MainUnit("透明标签3").GetText(Prop::Caption), TXT("ORBIQ网络电视直播列表"));
    for (const char* label : {"透明标签8", "透明标签9", "透明标签10"}) {
        EXPECT_TRUE(MainUnit(label).GetText(Prop::Caption).Empty()) << label;
        EXPECT_EQ(MainUnit(label).GetInt(Prop::TextColour), 0xFFFFFF) << label;  // stored white kept
    }
    EXPECT_TRUE(std::get<ByteSet>(MainUnit("图片框9").Get(Prop::Picture)).empty());
    EXPECT_EQ(Window().GetInt(Prop::Height), 544);
    // The ticker runs with the empty notice: a label of width 0 that keeps wrapping.
    EXPECT_EQ(MainUnit("控制时钟").GetInt(Prop::Interval), 105);
    EXPECT_EQ(MainUnit("滚动条").GetInt(Prop::Width), 0);
    EXPECT_EQ(gTickerStep, 2);
    // The counter thread's empty page still gives a number.
    EXPECT_TRUE(WaitFor([] { return MainUnit("透明标签2").GetText(Prop::Caption) == TXT("0人与您同在"); }));
}

TEST_F(MainWindowTest, StartsWithTheSiteUp) {
    LocalSite site;
    site.server.SetSiteFile("orbiq-back.gif", kGif);
    site.server.SetSiteFile("fwq/3.txt", Utf8ToGbk("停机"));
    Start(site.hosts);
    EXPECT_EQ(MainUnit("透明标签3").GetText(Prop::Caption), TXT("ORBIQ网络电视直播列表(全部频道)"));
    EXPECT_EQ(MainUnit("透明标签8").GetText(Prop::Caption), TXT("正常"));
    EXPECT_EQ(MainUnit("透明标签8").GetInt(Prop::TextColour), 0x00FF00);
    EXPECT_EQ(MainUnit("透明标签9").GetInt(Prop::TextColour), 0x0000FF);
    EXPECT_EQ(MainUnit("透明标签10").GetInt(Prop::TextColour), 0x00FFFF);
    ByteSet picture = std::get<ByteSet>(MainUnit("图片框9").Get(Prop::Picture));
    EXPECT_EQ(std::string(picture.begin(), picture.end()), kGif);
    // The notice from the address stored in 系统2.
    Text notice = MainUnit("滚动条").GetText(Prop::Caption);
    EXPECT_GT(notice.Length(), 100);
    EXPECT_EQ(MainUnit("滚动条").GetInt(Prop::Width), 6 * notice.Length());
    EXPECT_EQ(MainUnit("音量滚动条").GetInt(Prop::Position), 100);
    // The update window's two GETs first, then the main window's six, each group at once
    // and each address once.
    const std::multiset<std::string> update = {"GET /BB.txt", "GET /fwq2.txt"};
    const std::multiset<std::string> main = {"GET /orbiq-back.gif", "GET /rq.txt", "GET /fwq/1.txt",
                                             "GET /fwq/2.txt", "GET /fwq/3.txt", "GET /LB.txt"};
    const std::vector<std::string> expected = [&] {
        std::vector<std::string> seen = site.server.SiteRequests();
        seen.resize(std::min(seen.size(), update.size() + main.size()));
        return seen;
    }();
    ASSERT_EQ(expected.size(), update.size() + main.size());
    EXPECT_EQ(std::multiset<std::string>(expected.begin(), expected.begin() + 2), update);
    EXPECT_EQ(std::multiset<std::string>(expected.begin() + 2, expected.end()), main);
    auto seen = site.server.SiteRequests();
    // Every counter update asks for id 3, 1 and 2, in this order.
    EXPECT_TRUE(WaitFor([] { return MainUnit("透明标签2").GetText(Prop::Caption).Find(TXT("人与您同在")) > 1; }));
    seen = site.server.SiteRequests();
    std::vector<std::string> counter(seen.begin() + expected.size(), seen.begin() + expected.size() + 3);
    EXPECT_EQ(counter, (std::vector<std::string>{"GET /ok/count.asp?id=3", "GET /ok/count.asp?id=1", "GET /ok/count.asp?id=2"}));
}

TEST_F(MainWindowTest, StartsWithASiteThatAnswersBadly) {
    LocalSite site;
    site.server.RemoveSiteFile("rq.txt");                         // 404
    site.server.SetSiteFile("orbiq-back.gif", "GIF89a garbage");  // not a picture
    site.server.SetSiteFile("LB.txt", std::string(9u << 20, 'x'));  // over the size limit
    site.server.SetSiteFile("fwq/1.txt", std::string("\xff\x00\x81", 3));
    Start(site.hosts);
    EXPECT_EQ(MainUnit("透明标签3").GetText(Prop::Caption), TXT("ORBIQ网络电视直播列表"));
    EXPECT_EQ(std::get<ByteSet>(MainUnit("图片框9").Get(Prop::Picture)).size(), 14u);
    EXPECT_TRUE(MainUnit("滚动条").GetText(Prop::Caption).Empty());
    EXPECT_EQ(MainUnit("透明标签8").GetText(Prop::Caption).Length(), 3);
    EXPECT_EQ(platform::TreeCount(MainUnit("列表1")), 26);  // the built-in catalogue
}

TEST_F(MainWindowTest, StatusWordsMatchOnlyByteForByte) {
    Start(DeadHosts());
    struct Case { const char* word; int32_t colour; };
    const Case cases[] = {{"正常", 0x00FF00}, {"繁忙", 0x0000FF}, {"维护", 0xFFFFFF}, {"停机", 0x00FFFF},
                          {"正常\r\n", 0x123456}, {" 正常", 0x123456}, {"", 0x123456}};
    for (const Case& c : cases) {
        MainUnit("透明标签9").Set(Prop::TextColour, int32_t{0x123456});
        MainUnit("透明标签9").Set(Prop::Caption, Text::FromUtf8(c.word));
        OnColourStatusButtonClick();
        EXPECT_EQ(MainUnit("透明标签9").GetInt(Prop::TextColour), c.colour) << c.word;
    }
}

TEST_F(MainWindowTest, RegionIsFifteenPixelsTallerWithRoundTopCorners) {
    Start(DeadHosts());
    auto region = std::get<RoundRegion>(Window().Get(Prop::Region));
    EXPECT_EQ(region, (RoundRegion{0, 0, 794, 559, 14, 14}));
    QRegion mask = platform::WidgetOf(Window())->mask();
    EXPECT_EQ(mask.boundingRect(), QRect(0, 0, 794, 559));
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));       // a rounded top corner
    EXPECT_TRUE(mask.contains(QPoint(0, 543)));      // the bottom corners lie below the window
    OnCollapseButtonClick();
    EXPECT_EQ(std::get<RoundRegion>(Window().Get(Prop::Region)), region);  // not rebuilt
}

TEST_F(MainWindowTest, CollapseCutsTheStripOffForGood) {
    Start(DeadHosts());
    QTest::mouseClick(platform::WidgetOf(MainUnit("图形按钮1")), Qt::LeftButton);
    EXPECT_EQ(Window().GetInt(Prop::Height), 514);
    OnCollapseButtonClick();
    EXPECT_EQ(Window().GetInt(Prop::Height), 514);
}

TEST_F(MainWindowTest, MinimiseAndAlwaysOnTop) {
    Start(DeadHosts());
    EXPECT_FALSE(Window().GetBool(Prop::AlwaysOnTop));
    platform::RaiseEvent(MainUnit("图形按钮8"), "Click");
    EXPECT_EQ(Window().GetInt(Prop::WindowState), 2);
    ASSERT_TRUE(platform::TriggerMenuItem(gMainWindow, "AlwaysOnTopItem"));
    EXPECT_TRUE(Window().GetBool(Prop::AlwaysOnTop));
    platform::TriggerMenuItem(gMainWindow, "AlwaysOnTopItem");
    EXPECT_TRUE(Window().GetBool(Prop::AlwaysOnTop));
}

TEST_F(MainWindowTest, CloseButtonAndBothExitItemsEndWithCodeZeroAndCleanUpOnce) {
    Start(DeadHosts());
    EXPECT_EQ(ExitCodeOf([] { platform::RaiseEvent(MainUnit("图形按钮9"), "Click"); }), 0);
    EXPECT_EQ(gCleanups, 1);
    EXPECT_EQ(gPlayerSettings, nullptr);
    // A second ending does not run the clean-up again.
    EXPECT_EQ(ExitCodeOf([] { platform::EndProgram(0); }), 0);
    EXPECT_EQ(gCleanups, 1);
    // A menu item's handler runs inside Qt, which no exception may cross (the unwinding would
    // skip Qt's clean-up): each item ends a child process for real.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const char* item : {"ExitItem", "QuitItem"}) {
        EXPECT_EXIT(
            {
                platform::ResetCleanupForTests();
                gCleanups = 0;
                platform::SetExitHook([](int) { std::fprintf(stderr, "clean-ups: %d\n", gCleanups); });
                platform::TriggerMenuItem(gMainWindow, item);
            },
            ::testing::ExitedWithCode(0), "clean-ups: 1")
            << item;
    }
}

TEST_F(MainWindowTest, EscEndsTheMessageLoop) {
    Start(DeadHosts());
    QWidget* w = platform::WidgetOf(Window());
    w->activateWindow();
    QTimer::singleShot(50, w, [w] { QTest::keyClick(w, Qt::Key_Escape); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });  // a guard, never reached
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(platform::WindowExists(gMainWindow));
    gMainWindow = 0;
}

TEST_F(MainWindowTest, WebsiteButtonHandsOverTheHostAlone) {
    Start(DeadHosts());
    Text opened;
    platform::SetBrowserHook([&](const Text& a) { opened = a; });
    platform::RaiseEvent(MainUnit("超级按钮4"), "Click");
    platform::SetBrowserHook(nullptr);
    EXPECT_EQ(opened, gHosts.site);
}

TEST_F(MainWindowTest, MenusReadAsStored) {
    Start(DeadHosts());
    std::vector<std::string> main = {"文件菜单", "  打开文件", "  -", "  退出", "-", "程序相关", "  在线聊天", "  -",
                                     "  解码器下载", "  -", "  窗口总在最前", "-", "关于我们", "-", "退出ORBIQ"};
    EXPECT_EQ(platform::MenuEntries(gMainWindow, "MainMenu"), main);
    EXPECT_EQ(platform::MenuEntries(gMainWindow, "PlayMenu"), (std::vector<std::string>{"全屏模式", "-", "停止播放"}));
    EXPECT_EQ(platform::MenuEntries(gMainWindow, "ChannelMenu"), (std::vector<std::string>{"上报错误频道", "-", "在线聊天室"}));
}

TEST_F(MainWindowTest, StoredLayoutAndStacking) {
    Start(DeadHosts());
    QWidget* window = platform::WidgetOf(Window());
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("ORBIQ网络电视7 2.0简体中文版"));
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    // Front to back on the window: overlay picture, overlay player, ..., skin.
    auto z = [window](const char* name) { return window->children().indexOf(platform::WidgetOf(MainUnit(name))); };
    EXPECT_GT(z("图片框9"), z("FLASH播放器"));
    EXPECT_GT(z("FLASH播放器"), z("图片框1"));
    QWidget* skin = platform::WidgetOf(MainUnit("图片框1"));
    auto zs = [skin](const char* name) { return skin->children().indexOf(platform::WidgetOf(MainUnit(name))); };
    EXPECT_GT(zs("播放媒体"), zs("暂停播放"));
    for (const char* hidden : {"电视地址", "标签2", "系统2", "系统", "编辑框1", "按钮1", "按钮2", "按钮3", "按钮4", "按钮5"})
        EXPECT_FALSE(MainUnit(hidden).GetBool(Prop::Visible)) << hidden;
    EXPECT_EQ(MainUnit("系统2").GetText(Prop::Text), gHosts.SiteAddress() + Text("LB.txt"));
    EXPECT_EQ(MainUnit("时钟2").GetInt(Prop::Interval), 5000);
    EXPECT_EQ(platform::WidgetOf(MainUnit("播放器1"))->geometry(), QRect(2, 40, 566, 376));
    EXPECT_EQ(platform::WidgetOf(MainUnit("列表1"))->geometry(), QRect(576, 62, 208, 348));
}

TEST_F(MainWindowTest, EveryHandlerNameBinds) {
    Start(DeadHosts());
    EXPECT_TRUE(platform::UnboundHandlers(gMainWindow).empty());
}

// Every menu item and what choosing it does.
TEST_F(MainWindowTest, EveryMenuItemHasItsEffect) {
    Start(DeadHosts());
    platform::SetDownloadFolderForTests(Folder());
    int dialogs = 0;
    platform::SetOpenFileDialogResponder([&] { ++dialogs; return std::string("/media/film.mp4"); });
    // Opens the modal window that `window` will name; true when it was open while the item's
    // handler waited, and gone when the handler returned.
    auto modal = [](const char* item, const uint64_t& window) {
        bool seen = false;
        const bool closed = RunInsideModal([item] { platform::TriggerMenuItem(gMainWindow, item); }, window, [&] {
            seen = platform::WindowExists(window);
            platform::DestroyWindow(window);
        }, 15000);
        return seen && closed && !platform::WindowExists(window);
    };
    // The board opens without waiting: the item's handler returns with the window up.
    auto board = [](const char* item) {
        gMessageBoardWindow = 0;
        platform::TriggerMenuItem(gMainWindow, item);
        const uint64_t id = gMessageBoardWindow;
        const bool open = platform::WindowExists(id) && platform::WidgetOf(UnitRef{id, "留言内容编辑框1"});
        platform::DestroyWindow(id);
        return open;
    };
    auto exits = [](const char* item) {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EXPECT_EXIT(
            {
                platform::SetExitHook(nullptr);
                platform::TriggerMenuItem(gMainWindow, item);
            },
            ::testing::ExitedWithCode(0), "")
            << item;
        return true;  // the expectation above reports for itself
    };
    struct Item {
        const char* name;
        const char* effect;
        std::function<bool(const char*)> happened;
    };
    const Item items[] = {
        {"OpenFileItem", "the dialog's choice plays",
         [&](const char* item) {
             platform::TriggerMenuItem(gMainWindow, item);
             return dialogs == 1 && Player()->urls.back() == Text("/media/film.mp4");
         }},
        {"ChatItem", "the message board, not modal", board},
        {"DecoderDownloadItem", "the decoder window, modal", [&](const char* item) { return modal(item, gDecoderWindow); }},
        {"AlwaysOnTopItem", "MainWindow stays on top", [](const char* item) {
             platform::TriggerMenuItem(gMainWindow, item);
             return UnitRef{gMainWindow, {}}.GetBool(Prop::AlwaysOnTop);
         }},
        {"AboutItem", "the About window, modal", [&](const char* item) { return modal(item, gAboutWindow); }},
        {"FullScreenItem", "the player goes full screen", [this](const char* item) {
             platform::TriggerMenuItem(gMainWindow, item);
             return Player()->fullScreen;
         }},
        {"StopPlaybackItem", "the player's address is emptied", [this](const char* item) {
             Player()->SetUrl(Text("http://x/"));
             platform::TriggerMenuItem(gMainWindow, item);
             return Player()->urls.back().Empty();
         }},
        {"ReportChannelItem", "the report window, modal", [&](const char* item) { return modal(item, gReportWindow); }},
        {"ChatRoomItem", "the same message board as ChatItem", board},
        // A menu item's handler runs inside Qt, which no exception may cross: the ending items
        // end a child process for real.
        {"ExitItem", "the program ends with 0", exits},
        {"QuitItem", "the program ends with 0", exits},
    };
    for (const Item& i : items) {
        platform::ResetCleanupForTests();
        EXPECT_TRUE(i.happened(i.name)) << i.name << ": " << i.effect;
        EXPECT_TRUE(platform::WindowExists(gMainWindow)) << i.name;
    }
    platform::SetOpenFileDialogResponder(nullptr);
    platform::SetDownloadFolderForTests(Text());
    WaitFor([] { return false; }, 100);  // the board's and the decoder's threads see their windows gone
}

// Tab moves through the shown units stored with "tab", in their stored order, and the
// slider answers the keys once it has the focus.
TEST_F(MainWindowTest, TabMovesThroughTheTabUnitsInTheirOrder) {
    Start(DeadHosts());
    QWidget* window = platform::WidgetOf(Window());
    window->activateWindow();
    QApplication::setActiveWindow(window);
    const std::vector<std::string> order = {"FLASH播放器", "播放器1", "列表1", "音量滚动条",
                                            "超级按钮1", "超级按钮2", "超级按钮3", "超级按钮4"};
    platform::WidgetOf(UnitRef{gMainWindow, order[0]})->setFocus(Qt::TabFocusReason);
    std::vector<std::string> seen;
    for (size_t i = 0; i <= order.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        seen.push_back(focus ? focus->objectName().toStdString() : "");
        if (focus) QTest::keyClick(focus, Qt::Key_Tab);
    }
    std::vector<std::string> expected = order;
    expected.push_back(order[0]);  // and round again
    EXPECT_EQ(seen, expected);
    // Shift+Tab goes back.
    platform::WidgetOf(MainUnit("超级按钮1"))->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    ASSERT_TRUE(platform::UnitHasFocus(MainUnit("音量滚动条")));
    QWidget* slider = QApplication::focusWidget();
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Left, 99}, {Qt::Key_Right, 100}, {Qt::Key_PageUp, 80},
                                            {Qt::Key_Home, 0}, {Qt::Key_PageDown, 20}, {Qt::Key_End, 100}};
    for (auto [key, position] : keys) {
        QTest::keyClick(slider, key);
        EXPECT_EQ(MainUnit("音量滚动条").GetInt(Prop::Position), position) << key;
        EXPECT_EQ(Player()->volume, position) << key;
    }
}

}  // namespace
}  // namespace orbiq::test

// The About, sponsor and channel error report windows, opened from MainWindow against the
// local site. Each window is modal: a test's script runs inside its event loop.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QScrollBar>
#include <QImage>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>
#include <QTest>
#include <QTreeWidget>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWidget>

#include <httplib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "player/small_windows.h"
#include "player_fixture.h"
#include "site/site_server.h"
#include "listening.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

namespace orbiq::test {
namespace {

struct Box {
    Text text;
    int32_t flags;
    Text title;
    uint64_t sponsorWindowThen;
};

class SmallWindowsTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        platform::SetMessageBoxResponder([this](const Text& text, int32_t flags, const Text& title) {
            boxes.push_back({text, flags, title, gSponsorWindow});
            return platform::kIdOk;
        });
    }
    void TearDown() override {
        platform::SetBrowserHook(nullptr);
        MainWindowTest::TearDown();
    }

    // Runs opener (which returns once its modal window has closed) with script running
    // inside the window's loop; a guard closes the window should the script not.
    static void WhileOpen(const std::function<void()>& opener, uint64_t* window, std::function<void()> script,
                          int guardMs = 15000) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            EXPECT_TRUE(platform::WindowExists(*window));
            script();
            ran = true;
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [window] {
            ADD_FAILURE() << "the window stayed open";
            platform::DestroyWindow(*window);
        });
        guard.start(guardMs);
        opener();
        EXPECT_TRUE(ran);
        EXPECT_EQ(*window, 0u);
    }

    static void PressEsc(uint64_t window) {
        QWidget* w = platform::WidgetOf(platform::WindowRef(window));
        w->activateWindow();
        EXPECT_TRUE(WaitFor([w] { return QApplication::activeWindow() == w; }, 2000));
        QTest::keyClick(w, Qt::Key_Escape);
    }
    static void Click(uint64_t window, const char* unit) {
        QTest::mouseClick(platform::WidgetOf(UnitRef{window, unit}), Qt::LeftButton);
    }
    // Waits until every window left by the script is gone (Esc and close act after the event).
    static bool Closed(uint64_t window) {
        return WaitFor([window] { return !platform::WindowExists(window); }, 3000);
    }

    std::vector<std::string> ReportRequests() const {
        std::vector<std::string> out;
        for (auto& r : site_->server.SiteRequests())
            if (r.rfind("GET /abc.asp", 0) == 0) out.push_back(r);
        return out;
    }

    std::unique_ptr<LocalSite> site_ = std::make_unique<LocalSite>();
    std::vector<Box> boxes;
};

struct Rect {
    const char* unit;
    int left, top, width, height;
};

void ExpectRects(uint64_t window, const std::vector<Rect>& rects) {
    for (const Rect& r : rects) {
        UnitRef u{window, r.unit};
        EXPECT_EQ(u.GetInt(Prop::Left), r.left) << r.unit;
        EXPECT_EQ(u.GetInt(Prop::Top), r.top) << r.unit;
        EXPECT_EQ(u.GetInt(Prop::Width), r.width) << r.unit;
        EXPECT_EQ(u.GetInt(Prop::Height), r.height) << r.unit;
    }
}

TEST_F(SmallWindowsTest, AboutOpensFromItsMenuItemAndClosesByItsCloseGraphic) {
    Start(site_->hosts);
    std::vector<Text> opened;
    platform::SetBrowserHook([&](const Text& address) { opened.push_back(address); });
    uint64_t seen = 0;
    WhileOpen([] { ASSERT_TRUE(platform::TriggerMenuItem(gMainWindow, "AboutItem")); }, &gAboutWindow, [&] {
        seen = gAboutWindow;
        const UnitRef window = platform::WindowRef(gAboutWindow);
        EXPECT_EQ(window.GetInt(Prop::Width), 379);
        EXPECT_EQ(window.GetInt(Prop::Height), 272);
        EXPECT_TRUE(window.GetText(Prop::Caption).Empty());
        EXPECT_TRUE(platform::WidgetOf(window)->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(std::get<RoundRegion>(window.Get(Prop::Region)), (RoundRegion{0, 0, 379, 287, 14, 14}));
        EXPECT_TRUE(platform::UnboundHandlers(gAboutWindow).empty());
        ExpectRects(gAboutWindow, {{"图片框1", 0, 0, 380, 272}, {"图形按钮9", 349, 0, 32, 15}, {"图片框3", 8, 32, 176, 56},
                                   {"透明标签1", 16, 88, 160, 24}, {"超级链接框1", 16, 160, 144, 16},
                                   {"编辑框1", 16, 184, 352, 80}});
        EXPECT_EQ(UnitRef(gAboutWindow, "透明标签1").GetText(Prop::Caption), TXT("ORBIQ网络电视8 (1.55.9)"));
        EXPECT_EQ(UnitRef(gAboutWindow, "时钟1").GetInt(Prop::Interval), 100);
        auto* text = qobject_cast<QPlainTextEdit*>(platform::WidgetOf(UnitRef{gAboutWindow, "编辑框1"}));
        ASSERT_NE(text, nullptr);
        EXPECT_TRUE(text->isReadOnly());
        EXPECT_FALSE(text->toPlainText().isEmpty());
        // The hyperlink box shows the site's address and opens it on a click.
        const UnitRef link{gAboutWindow, "超级链接框1"};
        EXPECT_EQ(link.GetText(Prop::Text), site_->hosts.SiteAddress());
        Click(gAboutWindow, "超级链接框1");
        EXPECT_TRUE(platform::WindowExists(gAboutWindow));
        Click(gAboutWindow, "图形按钮9");
    });
    EXPECT_FALSE(platform::WindowExists(seen));
    EXPECT_EQ(opened, std::vector<Text>{site_->hosts.SiteAddress()});
    EXPECT_TRUE(platform::WindowExists(gMainWindow));
}

// The engine's view behind an HTML view unit.
QWebEngineView* EngineView(uint64_t window, const std::string& unit) {
    return qobject_cast<QWebEngineView*>(platform::WidgetOf(UnitRef{window, unit}));
}

// Runs a script in the page and waits for its value (invalid when none came).
QVariant RunJs(QWebEngineView* view, const QString& script) {
    auto out = std::make_shared<std::optional<QVariant>>();
    view->page()->runJavaScript(script, [out](const QVariant& v) { *out = v; });
    WaitFor([&] { return out->has_value(); }, 10000);
    return out->value_or(QVariant());
}

bool Near(QRgb pixel, uint32_t rgb) {
    const int d = std::abs(qRed(pixel) - int(rgb >> 16 & 0xFF)) + std::abs(qGreen(pixel) - int(rgb >> 8 & 0xFF)) +
                  std::abs(qBlue(pixel) - int(rgb & 0xFF));
    return d <= 24;
}

// The engine starts its own processes: generous waits, as CI runs many suites at once.
constexpr int kPageWait = 45000;

// Waits until the advert page in view has loaded with its picture, style sheet and script.
void ExpectAdvertShown(QWebEngineView* view, int i) {
    const QString loaded = QStringLiteral(
        "document.readyState === 'complete' && document.getElementById('pic') !== null && "
        "document.getElementById('pic').naturalWidth === 96 && "
        "getComputedStyle(document.body).backgroundColor === 'rgb(27, 35, 48)' && "
        "document.getElementById('go').textContent.length > 0");
    EXPECT_TRUE(WaitFor([&] { return RunJs(view, loaded).toBool(); }, kPageWait)) << "advert " << i;
    EXPECT_EQ(RunJs(view, "document.querySelector('.slot').textContent").toString(), QString::fromUtf8("广告位 ") + QString::number(i));
    // The rendered page: the picture's screen at its centre, the style sheet's background beside it.
    const uint32_t screen = site::AdvertScreenColour(i);
    QImage shot;
    EXPECT_TRUE(WaitFor([&] {
        shot = view->grab().toImage();
        return Near(shot.pixel(56, 56), screen) && Near(shot.pixel(262, 4), 0x1b2330);
    }, kPageWait)) << "advert " << i << ": " << std::hex << shot.pixel(56, 56) << " " << shot.pixel(262, 4);
}

TEST_F(SmallWindowsTest, SponsorWindowComesAfterTheThankYouBoxAndLoadsItsFourPages) {
    Start(site_->hosts);
    WhileOpen([] { platform::RaiseEvent(MainUnit("超级按钮2"), "Click"); }, &gSponsorWindow, [&] {
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, TXT("非常感谢您对我们的赞助,请点击广告就是对我们的赞助"));
        EXPECT_EQ(boxes[0].flags, platform::kMbOk);
        EXPECT_TRUE(boxes[0].title.Empty());
        EXPECT_EQ(boxes[0].sponsorWindowThen, 0u) << "the box came before the window";

        const UnitRef window = platform::WindowRef(gSponsorWindow);
        EXPECT_EQ(window.GetText(Prop::Caption), TXT("点击广告就是您对我们的赞助"));
        const Qt::WindowFlags flags = platform::WidgetOf(window)->windowFlags();
        EXPECT_FALSE(flags & Qt::FramelessWindowHint);
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
        EXPECT_FALSE(window.Get(Prop::Region).index() == 6) << "no region on the framed window";
        for (int i = 1; i <= 4; ++i) {
            const std::string name = "超文本浏览框" + std::to_string(i);
            const UnitRef view{gSponsorWindow, name};
            ExpectRects(gSponsorWindow, {{name.c_str(), 8, 8 + 120 * (i - 1), 272, 112}});
            const Text page = site_->hosts.SiteAddress() + Text("GG/" + std::to_string(i) + ".htm");
            EXPECT_EQ(view.GetText(Prop::URL), page);
            QWebEngineView* engine = EngineView(gSponsorWindow, name);
            ASSERT_NE(engine, nullptr) << name;
            ExpectAdvertShown(engine, i);
        }
        auto requests = site_->server.SiteRequests();
        for (int i = 1; i <= 4; ++i) {
            EXPECT_EQ(std::count(requests.begin(), requests.end(), "GET /GG/" + std::to_string(i) + ".htm"), 1) << i;
            EXPECT_EQ(std::count(requests.begin(), requests.end(), "GET /GG/" + std::to_string(i) + ".bmp"), 1) << i;
        }
        // Esc closes the window with the keyboard focus inside an advert, too.
        QWidget* w = platform::WidgetOf(window);
        w->activateWindow();
        EXPECT_TRUE(WaitFor([w] { return QApplication::activeWindow() == w; }, 2000));
        QWebEngineView* first = EngineView(gSponsorWindow, "超文本浏览框1");
        first->setFocus();
        EXPECT_TRUE(WaitFor([first] { return first->isAncestorOf(QApplication::focusWidget()) || first->hasFocus(); }, 2000));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    }, kPageWait * 4);
    EXPECT_EQ(boxes.size(), 1u);
}

// A page that cannot be had shows what the engine shows for it; the window opens regardless.
class FailedAdvertsTest : public SmallWindowsTest {
protected:
    void ExpectEnginePages(const RemoteHosts& hosts, const char* shown) {
        for (int i = 1; i <= 4; ++i) site_->server.RemoveSiteFile("GG/" + std::to_string(i) + ".htm");
        Start(hosts);
        WhileOpen([] { OnSponsorButtonClick(); }, &gSponsorWindow, [&] {
            const QString text = QStringLiteral("document.body ? document.body.innerText : ''");
            for (int i = 1; i <= 4; ++i) {
                QWebEngineView* view = EngineView(gSponsorWindow, "超文本浏览框" + std::to_string(i));
                ASSERT_NE(view, nullptr);
                EXPECT_TRUE(WaitFor([&] { return RunJs(view, text).toString().contains(shown); }, kPageWait))
                    << i << ": " << RunJs(view, text).toString().toStdString();
            }
            platform::DestroyWindow(gSponsorWindow);
        }, kPageWait * 4);
    }
};

TEST_F(FailedAdvertsTest, MissingPagesShowTheSitesAnswer) { ExpectEnginePages(site_->hosts, "not found"); }

TEST_F(FailedAdvertsTest, SiteDownShowsTheEnginesErrorPage) { ExpectEnginePages(DeadHosts(), "ERR_CONNECTION_REFUSED"); }

// A link that an advert opens in a new window goes to the default browser; the advert stays.
TEST_F(SmallWindowsTest, AdvertLinkToANewWindowGoesToTheDefaultBrowser) {
    Start(site_->hosts);
    std::vector<Text> opened;
    platform::SetBrowserHook([&](const Text& address) { opened.push_back(address); });
    WhileOpen([] { OnSponsorButtonClick(); }, &gSponsorWindow, [&] {
        QWebEngineView* view = EngineView(gSponsorWindow, "超文本浏览框2");
        ASSERT_NE(view, nullptr);
        ExpectAdvertShown(view, 2);
        const QList<QWidget*> before = QApplication::topLevelWidgets();
        // A real click on the link, where the page lays it out.
        const QVariantList box = RunJs(view, "(function(){var r=document.getElementById('go').getBoundingClientRect();"
                                             "return [r.left + r.width / 2, r.top + r.height / 2];})()").toList();
        ASSERT_EQ(box.size(), 2);
        const QPoint at(qRound(box[0].toDouble()), qRound(box[1].toDouble()));
        QWidget* input = view->focusProxy() ? view->focusProxy() : view;
        QTest::mouseClick(input, Qt::LeftButton, {}, at);
        EXPECT_TRUE(WaitFor([&] { return !opened.empty(); }, kPageWait));
        EXPECT_EQ(opened, std::vector<Text>{site_->hosts.SiteAddress()});
        WaitFor([] { return false; }, 200);
        EXPECT_EQ(view->url().toString().toStdString(), site_->hosts.SiteAddress().Bytes() + "GG/2.htm");
        EXPECT_EQ(QApplication::topLevelWidgets().size(), before.size()) << "no window of our own";
        platform::DestroyWindow(gSponsorWindow);
    }, kPageWait * 2);
}

// A page that answers only after the window has gone is dropped without harm.
TEST_F(SmallWindowsTest, SponsorWindowClosedBeforeItsPagesArrive) {
    Start(DeadHosts());
    site_.reset();
    WhileOpen([] { OnSponsorButtonClick(); }, &gSponsorWindow, [] { platform::DestroyWindow(gSponsorWindow); });
    WaitFor([] { return false; }, 300);
    EXPECT_TRUE(platform::WindowExists(gMainWindow));
}

struct ReportCase {
    const char* what;
    const char* description;
    const char* channel;
    const char* email;
    const char* category;
};

// Every report goes to the script with its fields exactly as typed, in the address's order.
TEST_F(SmallWindowsTest, ReportSendsItsFieldsToTheScriptAndThanks) {
    const ReportCase cases[] = {
        {"all fields empty", "", "", "", ""},
        {"a usual report", "画面卡顿，没有声音", "本地测试台", "viewer@example.com", "直播频道"},
        {"line breaks in the description and the category", "第一行\r\n第二行", "彩条频道", "a@b.c", "直播\r\n频道"},
        {"the address's own delimiters", "50% & more #1 a+b=c?", "台/1", "x y", ":"},
    };
    Start(site_->hosts);
    WhileOpen([] { ASSERT_TRUE(platform::TriggerMenuItem(gMainWindow, "ReportChannelItem")); }, &gReportWindow, [&] {
        auto field = [](const char* name) { return UnitRef{gReportWindow, name}; };
        size_t sent = 0;
        for (const ReportCase& c : cases) {
            SCOPED_TRACE(c.what);
            field("编辑框1").Set(Prop::Text, Text::FromUtf8(c.description));
            field("编辑框3").Set(Prop::Text, Text::FromUtf8(c.channel));
            field("编辑框2").Set(Prop::Text, Text::FromUtf8(c.email));
            field("编辑框4").Set(Prop::Text, Text::FromUtf8(c.category));
            boxes.clear();
            Click(gReportWindow, "按钮1");
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, TXT("感谢您对我们的支持,您提交的频道我们会在2个工作日内完成修复,并且通过您提供的Email地址发送给您反馈结果."));
            EXPECT_EQ(boxes[0].title, TXT("反馈成功"));
            EXPECT_EQ(boxes[0].flags, platform::kMbOk);
            ++sent;
            ASSERT_TRUE(WaitFor([&] { return ReportRequests().size() == sent; }));
            // Each box's text goes in as the box holds it (a multi-line box's line breaks included).
            const Text report = TXT("频道错误描述:") + field("编辑框1").GetText(Prop::Text) + TXT(":错误频道") +
                                Text::FromUtf8(c.channel) + TXT(":联系方式") + Text::FromUtf8(c.email) +
                                TXT(":错误频道分类") + field("编辑框4").GetText(Prop::Text);
            EXPECT_EQ(ReportRequests().back(), "GET /abc.asp?msg=" + report.Bytes());
            EXPECT_EQ(Text(ReportRequests().back()).Find(Text("\n")) > 0, std::string(c.description).find('\n') != std::string::npos);
            // The window stays open with the fields as they were; the sender stays hidden.
            EXPECT_TRUE(platform::WindowExists(gReportWindow));
            EXPECT_FALSE(UnitRef(gReportWindow, "超文本浏览框1").GetBool(Prop::Visible));
        }
        // Sending again sends again.
        Click(gReportWindow, "按钮1");
        EXPECT_EQ(boxes.size(), 2u);
        EXPECT_TRUE(WaitFor([&] { return ReportRequests().size() == sent + 1; }));
        Click(gReportWindow, "图形按钮9");
    });
}

std::string PercentEncoded(const Text& text) {
    std::string out;
    char hex[4];
    for (unsigned char c : text.Bytes()) {
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        out += hex;
    }
    return out;
}

// The hidden sender's plain GET asks for exactly the address it is given, as the engine
// asks for it: a recorder in place of the site keeps the raw request targets.
TEST_F(SmallWindowsTest, ReportSenderAsksForItsAddressAsTheEngineDoes) {
    httplib::Server recorder;
    std::mutex mutex;
    std::vector<std::string> reports;
    recorder.Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        if (req.path == "/abc.asp") reports.push_back(req.target);
        res.set_content("ok", "text/plain");
    });
    recorder.set_keep_alive_timeout(1);
    const int port = recorder.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    std::thread listener = orbiq::test::ListenInBackground(recorder);
    auto count = [&] {
        std::lock_guard lock(mutex);
        return reports.size();
    };
    RemoteHosts hosts = site_->hosts;
    hosts.site = Text(Loopback(port));
    Start(hosts);
    // The handler's report, and an address handed over with raw GBK bytes, a blank and a line break.
    Text addresses[2];
    addresses[1] = hosts.SiteAddress() + TXT("abc.asp?msg=频道 错误\r\n描述");
    WhileOpen([] { OnReportChannelItemClick(); }, &gReportWindow, [&] {
        UnitRef(gReportWindow, "编辑框1").Set(Prop::Text, TXT("画面卡顿\r\n50% & #1 a+b=c?"));
        UnitRef(gReportWindow, "编辑框3").Set(Prop::Text, TXT("本地测试台"));
        UnitRef(gReportWindow, "编辑框2").Set(Prop::Text, TXT("a b@c.d"));
        UnitRef(gReportWindow, "编辑框4").Set(Prop::Text, TXT("直播频道"));
        Click(gReportWindow, "按钮1");
        addresses[0] = UnitRef(gReportWindow, "超文本浏览框1").GetText(Prop::URL);
        EXPECT_TRUE(WaitFor([&] { return count() == 1; }));
        UnitRef(gReportWindow, "超文本浏览框1").Set(Prop::URL, addresses[1]);
        EXPECT_TRUE(WaitFor([&] { return count() == 2; }));
        platform::DestroyWindow(gReportWindow);
    });
    WhileOpen([] { OnSponsorButtonClick(); }, &gSponsorWindow, [&] {
        for (size_t i = 0; i < 2; ++i) {
            UnitRef(gSponsorWindow, "超文本浏览框1").Set(Prop::URL, addresses[i]);
            EXPECT_TRUE(WaitFor([&] { return count() == 3 + i; }, kPageWait));
        }
        platform::DestroyWindow(gSponsorWindow);
    }, kPageWait * 2);
    recorder.stop();
    listener.join();
    ASSERT_EQ(reports.size(), 4u);
    // The handler's address is asked for as it is; the engine asks for the same targets.
    EXPECT_EQ(hosts.SiteAddress().Bytes() + reports[0].substr(1), addresses[0].Bytes());
    EXPECT_EQ(reports[2], reports[0]);
    EXPECT_EQ(reports[3], reports[1]);
    EXPECT_EQ(reports[1], "/abc.asp?msg=" + PercentEncoded(TXT("频道 错误\r\n描述")));
}

TEST_F(SmallWindowsTest, ReportIsThankedEvenWhenTheSiteIsDown) {
    Start(DeadHosts());
    WhileOpen([] { OnReportChannelItemClick(); }, &gReportWindow, [&] {
        Click(gReportWindow, "按钮1");
        EXPECT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, TXT("反馈成功"));
        platform::DestroyWindow(gReportWindow);
    });
}

TEST_F(SmallWindowsTest, ReportWindowLayout) {
    Start(site_->hosts);
    WhileOpen([] { OnReportChannelItemClick(); }, &gReportWindow, [&] {
        const UnitRef window = platform::WindowRef(gReportWindow);
        EXPECT_EQ(window.GetInt(Prop::Width), 382);
        EXPECT_EQ(window.GetInt(Prop::Height), 270);
        EXPECT_TRUE(platform::WidgetOf(window)->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_EQ(std::get<RoundRegion>(window.Get(Prop::Region)), (RoundRegion{0, 0, 382, 285, 14, 14}));
        EXPECT_TRUE(platform::UnboundHandlers(gReportWindow).empty());
        ExpectRects(gReportWindow, {{"图片框1", 0, 0, 384, 272}, {"图片框2", 5, 5, 14, 13}, {"图形按钮9", 349, 0, 32, 22},
                                    {"图片框3", 2, 23, 380, 65}, {"图片框4", 0, 88, 1, 136}, {"编辑框3", 80, 112, 200, 16},
                                    {"编辑框4", 80, 136, 200, 16}, {"编辑框1", 80, 160, 200, 40}, {"编辑框2", 80, 208, 200, 16},
                                    {"按钮1", 296, 240, 71, 23}, {"超文本浏览框1", 24, 280, 248, 80}});
        const std::pair<const char*, const char*> captions[] = {
            {"透明标签8", "错误频道举报"}, {"透明标签2", "频道名称:"}, {"透明标签6", "(错误频道名称)"},
            {"透明标签5", "频道分类:"}, {"透明标签7", "(错误频道分类)"}, {"透明标签1", "错误描述:"},
            {"透明标签9", "(频道出现的问\r\n 题详情)"}, {"透明标签4", "Email地址:"}, {"按钮1", "上报错误"}};
        for (auto& [unit, caption] : captions)
            EXPECT_EQ(UnitRef(gReportWindow, unit).GetText(Prop::Caption), Text::FromUtf8(caption)) << unit;
        EXPECT_EQ(UnitRef(gReportWindow, "透明标签8").GetInt(Prop::TextColour), 0xFFE9CD);
        EXPECT_EQ(UnitRef(gReportWindow, "透明标签2").GetInt(Prop::TextColour), 0x808080);
        EXPECT_FALSE(UnitRef(gReportWindow, "超文本浏览框1").GetBool(Prop::Visible));
        EXPECT_FALSE(std::get<ByteSet>(UnitRef(gReportWindow, "图片框1").Get(Prop::Picture)).empty());
        EXPECT_FALSE(std::get<ByteSet>(UnitRef(gReportWindow, "图片框3").Get(Prop::Picture)).empty());
        PressEsc(gReportWindow);
    });
}

// A multi-line box one line high shows its whole line; the About box its scroll bar.
TEST_F(SmallWindowsTest, TextBoxesShowTheirWholeLineAndTheirScrollBars) {
    Start(site_->hosts);
    WhileOpen([] { OnReportChannelItemClick(); }, &gReportWindow, [&] {
        for (const char* name : {"编辑框4", "编辑框1"}) {
            UnitRef(gReportWindow, name).Set(Prop::Text, TXT("直播频道Qgjy"));
            auto* box = qobject_cast<QPlainTextEdit*>(platform::WidgetOf(UnitRef{gReportWindow, name}));
            ASSERT_NE(box, nullptr) << name;
            // The text's ink as the box shows it and as a box tall enough shows it: the same.
            auto ink = [box] {
                const QImage image = box->viewport()->grab().toImage();
                int dark = 0;
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 160;
                return dark;
            };
            const int shown = ink();
            const QSize size = box->size();
            box->resize(size.width(), 80);
            const int whole = ink();
            box->resize(size);
            EXPECT_GT(whole, 0) << name;
            EXPECT_EQ(shown, whole) << name << ": part of the line is cut off";
            EXPECT_EQ(box->verticalScrollBar()->value(), 0) << name << " scrolled";
            EXPECT_FALSE(box->verticalScrollBar()->isVisible()) << name;
        }
        PressEsc(gReportWindow);
    });
    WhileOpen([] { OnAboutItemClick(); }, &gAboutWindow, [&] {
        auto* text = qobject_cast<QPlainTextEdit*>(platform::WidgetOf(UnitRef{gAboutWindow, "编辑框1"}));
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_TRUE(text->verticalScrollBar()->isVisible());
        EXPECT_FALSE(text->horizontalScrollBar()->isVisible());
        PressEsc(gAboutWindow);
    });
}

// The dark pixels a box's text area shows.
int Ink(QPlainTextEdit* box) {
    const QImage image = box->viewport()->grab().toImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 160;
    return dark;
}

// Tab leaves the one-line category box for the next box (Ctrl+Tab types a tab), and whatever
// the edits, the box shows the text it holds.
TEST_F(SmallWindowsTest, CategoryBoxPassesTheFocusOnAndKeepsItsTextInView) {
    Start(site_->hosts);
    WhileOpen([] { OnReportChannelItemClick(); }, &gReportWindow, [&] {
        QWidget* window = platform::WidgetOf(platform::WindowRef(gReportWindow));
        auto* box = qobject_cast<QPlainTextEdit*>(platform::WidgetOf(UnitRef{gReportWindow, "编辑框4"}));
        ASSERT_NE(box, nullptr);
        window->activateWindow();
        ASSERT_TRUE(WaitFor([window] { return QApplication::activeWindow() == window; }, 2000));
        box->setFocus();
        ASSERT_TRUE(WaitFor([box] { return box->hasFocus(); }, 2000));

        QTest::keyClick(box, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), platform::WidgetOf(UnitRef{gReportWindow, "编辑框1"}));
        EXPECT_TRUE(UnitRef(gReportWindow, "编辑框4").GetText(Prop::Text).Empty()) << "Tab typed into the box";
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), box);
        QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(UnitRef(gReportWindow, "编辑框4").GetText(Prop::Text), Text("\t"));
        EXPECT_EQ(QApplication::focusWidget(), box);

        struct Case {
            const char* what;
            std::function<void()> edit;
            const char* held;
        };
        const Case cases[] = {
            {"a line, Return, Ctrl+A, Backspace, then typing",
             [box] {
                 QTest::keyClicks(box, "abc");
                 QTest::keyClick(box, Qt::Key_Return);
                 QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
                 QTest::keyClick(box, Qt::Key_Backspace);
                 QTest::keyClicks(box, "Qgjy");
             },
             "Qgjy"},
            {"two lines joined again by Backspace",
             [box] {
                 QTest::keyClicks(box, "ab");
                 QTest::keyClick(box, Qt::Key_Return);
                 QTest::keyClicks(box, "cd");
                 QTest::keyClick(box, Qt::Key_Home);
                 QTest::keyClick(box, Qt::Key_Backspace);
             },
             "abcd"},
            {"the system's write after a second line", [box] {
                 QTest::keyClicks(box, "x");
                 QTest::keyClick(box, Qt::Key_Return);
                 UnitRef(gReportWindow, "编辑框4").Set(Prop::Text, Text("Qgjy"));
             },
             "Qgjy"},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            box->clear();
            c.edit();
            QApplication::processEvents();
            EXPECT_EQ(UnitRef(gReportWindow, "编辑框4").GetText(Prop::Text), Text(c.held));
            const int shown = Ink(box);
            box->resize(box->width(), 80);
            box->verticalScrollBar()->setValue(0);
            const int whole = Ink(box);
            box->resize(box->width(), 16);
            EXPECT_GT(shown, 0) << "the box shows nothing";
            EXPECT_EQ(shown, whole);
        }
        PressEsc(gReportWindow);
    });
}

// A text box shows whole lines only, at the top and scrolled to the bottom: a line cut by an
// edge of the text area leaves ink on that edge's pixel row. Scrolled to the end, the area is
// full: its last line of text ends within a line of the lower edge.
TEST_F(SmallWindowsTest, TextBoxesCutNoLine) {
    auto expectWholeLines = [](QPlainTextEdit* box, const char* name) {
        ASSERT_NE(box, nullptr) << name;
        const int lineHeight = static_cast<int>(std::ceil(box->document()->firstBlock().layout()->lineAt(0).height()));
        for (bool bottom : {false, true}) {
            SCOPED_TRACE(bottom ? "at the bottom" : "at the top");
            box->verticalScrollBar()->setValue(bottom ? box->verticalScrollBar()->maximum() : 0);
            QApplication::processEvents();
            const QImage image = box->viewport()->grab().toImage();
            auto inkInRow = [&image](int y) {
                int dark = 0;
                for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 160;
                return dark;
            };
            EXPECT_EQ(inkInRow(0), 0) << name << ": a line cut at the top";
            EXPECT_EQ(inkInRow(image.height() - 1), 0) << name << ": a line cut at the bottom";
            int lowest = -1;
            for (int y = 0; y < image.height(); ++y)
                if (inkInRow(y) > 0) lowest = y;
            EXPECT_GE(lowest, image.height() - lineHeight) << name << ": a line's room left empty";
        }
    };
    Start(site_->hosts);
    WhileOpen([] { OnAboutItemClick(); }, &gAboutWindow, [&] {
        expectWholeLines(qobject_cast<QPlainTextEdit*>(platform::WidgetOf(UnitRef{gAboutWindow, "编辑框1"})), "About");
        PressEsc(gAboutWindow);
    });
    WhileOpen([] { OnReportChannelItemClick(); }, &gReportWindow, [&] {
        UnitRef(gReportWindow, "编辑框1").Set(Prop::Text, TXT("第一行\r\n第二行\r\n第三行\r\n第四行"));
        expectWholeLines(qobject_cast<QPlainTextEdit*>(platform::WidgetOf(UnitRef{gReportWindow, "编辑框1"})),
                         "description");
        PressEsc(gReportWindow);
    });
}

// The stored 290 x 516 is the outer size: where the platform draws a frame (the test's second
// run, under a window manager), the inside is what the frame leaves.
TEST_F(SmallWindowsTest, SponsorWindowIsItsStoredSizeWithItsFrame) {
    Start(site_->hosts);
    const bool framesExpected = qEnvironmentVariableIsSet("ORBIQ_TEST_WINDOW_FRAMES");
    WhileOpen([] { OnSponsorButtonClick(); }, &gSponsorWindow, [&] {
        const UnitRef window = platform::WindowRef(gSponsorWindow);
        QWidget* w = platform::WidgetOf(window);
        if (framesExpected) {
            ASSERT_TRUE(WaitFor([w] { return w->windowHandle() && !w->windowHandle()->frameMargins().isNull(); }, 10000))
                << "no frame under the window manager";
        }
        EXPECT_TRUE(WaitFor([w] { return w->frameGeometry().size() == QSize(290, 516); }, 5000))
            << w->frameGeometry().width() << " x " << w->frameGeometry().height();
        const QMargins m = w->windowHandle() ? w->windowHandle()->frameMargins() : QMargins();
        EXPECT_EQ(w->size(), QSize(290 - m.left() - m.right(), 516 - m.top() - m.bottom()));
        EXPECT_EQ(window.GetInt(Prop::Width), 290);
        EXPECT_EQ(window.GetInt(Prop::Height), 516);
        // The fourth view ends inside, at 480.
        EXPECT_GE(w->height(), 480);
        std::printf("sponsor window: outer %d x %d, frame %d/%d/%d/%d, inside %d x %d\n", w->frameGeometry().width(),
                    w->frameGeometry().height(), m.left(), m.top(), m.right(), m.bottom(), w->width(), w->height());
        platform::DestroyWindow(gSponsorWindow);
    });
}

// The title the desktop shows (taskbar, Alt+Tab): the window's own title, or the program's
// name for a window with none. Read from the X server in the run under a window manager.
std::string DesktopTitle(QWidget* w) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != "xcb" || !x11 || !x11->display()) return {};
    Display* display = x11->display();
    const Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string out;
    if (XGetWindowProperty(display, static_cast<::Window>(w->winId()), name, 0, 1024, False, utf8, &type, &format,
                           &items, &after, &data) == Success && data) {
        out.assign(reinterpret_cast<char*>(data), items);
    }
    if (data) XFree(data);
    return out;
}

TEST_F(SmallWindowsTest, DesktopTitlesAreTheWindowsOwnOrTheProductsName) {
    Start(site_->hosts);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QString::fromUtf8("ORBIQ网络电视"));
    const bool onX = QGuiApplication::platformName() == "xcb";
    WhileOpen([] { OnAboutItemClick(); }, &gAboutWindow, [&] {
        QWidget* w = platform::WidgetOf(platform::WindowRef(gAboutWindow));
        EXPECT_TRUE(w->windowTitle().isEmpty());
        if (onX) {
            EXPECT_EQ(DesktopTitle(w), "ORBIQ网络电视");
        }
        PressEsc(gAboutWindow);
    });
    WhileOpen([] { OnSponsorButtonClick(); }, &gSponsorWindow, [&] {
        QWidget* w = platform::WidgetOf(platform::WindowRef(gSponsorWindow));
        if (onX) {
            EXPECT_EQ(DesktopTitle(w), "点击广告就是您对我们的赞助") << "the title alone, nothing appended";
        }
        platform::DestroyWindow(gSponsorWindow);
    });
}

// The rounded top corners follow the screen's device pixels. Offscreen, the window's region in
// its own pixels; under X (a run at QT_SCALE_FACTOR=2 with a window manager) the X window's
// shape, whose corner steps by one device pixel where Qt's own mask steps by the scale.
TEST_F(SmallWindowsTest, RoundedCornersFollowTheDevicePixels) {
    Start(site_->hosts);
    WhileOpen([] { OnAboutItemClick(); }, &gAboutWindow, [&] {
        QWidget* w = platform::WidgetOf(platform::WindowRef(gAboutWindow));
        const QRegion mask = w->mask();
        EXPECT_FALSE(mask.contains(QPoint(0, 0)));
        EXPECT_FALSE(mask.contains(QPoint(378, 0)));
        EXPECT_TRUE(mask.contains(QPoint(7, 7)));
        EXPECT_TRUE(mask.contains(QPoint(0, 271))) << "the bottom corners are square";
        EXPECT_TRUE(mask.contains(QPoint(378, 271)));
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (QGuiApplication::platformName() == "xcb" && x11 && x11->display()) {
            ASSERT_TRUE(WaitFor([w] { return w->windowHandle() && w->windowHandle()->isExposed(); }, 5000));
            Pump(200);  // the shape goes on after Qt's own
            const qreal ratio = w->windowHandle()->devicePixelRatio();
            int count = 0, ordering = 0;
            XRectangle* rects = XShapeGetRectangles(x11->display(), static_cast<::Window>(w->winId()), ShapeBounding,
                                                    &count, &ordering);
            QRegion shape;
            for (int i = 0; i < count; ++i) shape += QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height);
            if (rects) XFree(rects);
            // The left edge of each device row of the top-left corner.
            std::vector<int> edges;
            std::string shown;
            for (int y = 0; y < static_cast<int>(7 * ratio); ++y) {
                int x = 0;
                while (x < 20 * ratio && !shape.contains(QPoint(x, y))) ++x;
                edges.push_back(x);
                shown += std::to_string(x) + " ";
            }
            ASSERT_FALSE(edges.empty());
            EXPECT_GT(edges.front(), 0) << shown;
            EXPECT_EQ(edges.back() <= edges.front(), true) << shown;
            EXPECT_TRUE(shape.contains(QPoint(0, static_cast<int>(272 * ratio) - 1))) << "bottom corner";
            if (ratio >= 2) {
                bool finer = false;
                for (size_t y = 0; y + 1 < edges.size(); y += 2) finer |= edges[y] != edges[y + 1];
                EXPECT_TRUE(finer) << "the corner steps by " << ratio << " device pixels: " << shown;
            }
            std::printf("corner at a ratio of %.1f, left edge by device row: %s\n", ratio, shown.c_str());
        }
        PressEsc(gAboutWindow);
    });
}

TEST_F(SmallWindowsTest, EscClosesEachWindowBackToMainWindow) {
    Start(site_->hosts);
    const std::pair<void (*)(), uint64_t*> windows[] = {
        {OnAboutItemClick, &gAboutWindow}, {OnSponsorButtonClick, &gSponsorWindow}, {OnReportChannelItemClick, &gReportWindow}};
    for (auto& [opener, window] : windows) {
        uint64_t id = 0;
        WhileOpen(opener, window, [&, window = window] {
            id = *window;
            PressEsc(*window);
        });
        EXPECT_FALSE(platform::WindowExists(id));
    }
    EXPECT_TRUE(platform::WindowExists(gMainWindow));
}

// Right-clicks on the channel tree: on a channel and on empty space.
class TreeRightButtonTest : public SmallWindowsTest {
protected:
    void RightClickEach(const std::function<void()>& whileOpen) {
        QTreeWidget* tree = qobject_cast<QTreeWidget*>(platform::WidgetOf(MainUnit("列表1")));
        ASSERT_NE(tree, nullptr);
        ASSERT_GT(tree->topLevelItemCount(), 0);
        const QPoint places[] = {tree->visualItemRect(tree->topLevelItem(0)).center(), QPoint(100, 330)};
        for (const QPoint& at : places) {
            WhileOpen([&] { QTest::mousePress(tree->viewport(), Qt::RightButton, {}, at); }, &gReportWindow, [&] {
                whileOpen();
                PressEsc(gReportWindow);
            });
            QTest::mouseRelease(tree->viewport(), Qt::RightButton, {}, at);
        }
    }
};

// The same window opens, with empty fields every time.
TEST_F(TreeRightButtonTest, OpensAnEmptyReportEveryTime) {
    Start(site_->hosts);
    int opened = 0;
    RightClickEach([&] {
        ++opened;
        for (const char* box : {"编辑框1", "编辑框2", "编辑框3", "编辑框4"})
            EXPECT_TRUE(UnitRef(gReportWindow, box).GetText(Prop::Text).Empty()) << box;
        UnitRef(gReportWindow, "编辑框1").Set(Prop::Text, TXT("上一次的描述"));
    });
    EXPECT_EQ(opened, 2);
    EXPECT_TRUE(ReportRequests().empty());
}

// The tree's selection and the player are left alone.
// Off until the tree list stops handling the right presses it reports (a right press on
// empty space clears the selection, on an item selects it).
TEST_F(TreeRightButtonTest, LeavesTheSelectionAndThePlayerAlone) {
    Start(site_->hosts);
    ASSERT_GT(platform::TreeCount(MainUnit("列表1")), 1);
    platform::TreeSelect(MainUnit("列表1"), 1);
    const int32_t selected = MainUnit("列表1").GetInt(Prop::SelectedIndex);
    const size_t urls = Player()->urls.size();
    RightClickEach([] {});
    EXPECT_EQ(MainUnit("列表1").GetInt(Prop::SelectedIndex), selected);
    EXPECT_EQ(Player()->urls.size(), urls);
}

}  // namespace
}  // namespace orbiq::test

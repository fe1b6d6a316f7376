#include <QEvent>
#include <QImage>
#include <QWidget>

#include <set>

#include "player_fixture.h"

namespace orbiq::test {
namespace {

TEST(ExtractCounterNumber, ReadsTheDigitsAfterTheFirstMarker) {
    struct Case { const char* page; const char* number; };
    const Case cases[] = {
        {"<font class=none>1234</font>", "1234"},
        {"a none>5< b none>6<", "5"},       // the first one counts
        {"none>007<", "7"},                 // through the integer
        {"none>-3<", "-3"},
        {"none>12 people<", "12"},
        {"none>99999999999<", "2147483647"},  // saturates
        {"no marker here", "0"},
        {"", "0"},                          // a failed fetch
        {"none>42", "42"},                  // no "<": the rest of the page
        {"none>abc<", "0"},
        {"NONE>5<", "0"},                   // letter case counts
    };
    for (const Case& c : cases) EXPECT_EQ(ExtractCounterNumber(Text(c.page)), Text(c.number)) << c.page;
}

class TickerTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        Start(DeadHosts());
    }
    static int32_t Left() { return MainUnit("滚动条").GetInt(Prop::Left); }
};

TEST_F(TickerTest, SixPixelsPerByteAndTwoPerTick) {
    StartTicker(Text(std::string(100, 'x')), 0, 2);
    EXPECT_EQ(MainUnit("滚动条").GetInt(Prop::Width), 600);
    EXPECT_EQ(Left(), 5);
    OnTickerTimerTick();
    EXPECT_EQ(Left(), 3);
    StartTicker(TXT("中文"), 0, 2);
    EXPECT_EQ(MainUnit("滚动条").GetInt(Prop::Width), 24);
}

TEST_F(TickerTest, WrapsToTheStripWidthMinusTheStep) {
    StartTicker(Text(std::string(100, 'x')), 0, 2);
    int ticks = 0;
    while (Left() > -600) { OnTickerTimerTick(); ++ticks; }
    EXPECT_EQ(Left(), -601);
    EXPECT_EQ(ticks, 303);
    OnTickerTimerTick();
    EXPECT_EQ(Left(), 758);
    // A strip of another width wraps to that width.
    MainUnit("背景条").Set(Prop::Width, int32_t{500});
    MainUnit("滚动条").Set(Prop::Left, int32_t{-600});
    OnTickerTimerTick();
    EXPECT_EQ(Left(), 498);
}

TEST_F(TickerTest, DefaultsForIntervalAndStep) {
    struct Case { int32_t interval, step, expectedInterval, expectedStep; };
    const Case cases[] = {{0, 0, 105, 1}, {-5, -1, 105, 1}, {250, 3, 250, 3}, {1, 0, 1, 1}};
    for (const Case& c : cases) {
        StartTicker(Text("abc"), c.interval, c.step);
        EXPECT_EQ(MainUnit("控制时钟").GetInt(Prop::Interval), c.expectedInterval);
        EXPECT_EQ(gTickerStep, c.expectedStep);
        OnTickerTimerTick();
        EXPECT_EQ(Left(), 5 - c.expectedStep);
    }
    StartTicker(Text("abc"));
    EXPECT_EQ(MainUnit("控制时钟").GetInt(Prop::Interval), 105);
    EXPECT_EQ(gTickerStep, 1);
}

TEST_F(TickerTest, TheTimerMovesTheLabel) {
    StartTicker(Text("moving"), 20, 2);
    EXPECT_TRUE(WaitFor([] { return Left() < -4; }, 3000));
}

// Notes which widgets paint.
class PaintWatch : public QObject {
public:
    std::set<QObject*> painted;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint) painted.insert(o);
        return false;
    }
};

// The ticker runs for as long as the program: a tick repaints the strip at most, never the
// window's pictures under it.
TEST_F(TickerTest, ATickRepaintsTheStripAlone) {
    struct Case { const char* what; size_t bytes; };
    const Case cases[] = {{"a notice shorter than the strip", 40}, {"a notice longer than the strip", 400}};
    QWidget* window = platform::WidgetOf(platform::WindowRef(gMainWindow));
    QWidget* label = platform::WidgetOf(MainUnit("滚动条"));
    QWidget* strip = platform::WidgetOf(MainUnit("背景条"));
    ASSERT_TRUE(WaitFor([window] { return window->isVisible(); }));
    // The viewer counter's label repaints the picture under it: the counter is stopped.
    MainUnit("时钟2").Set(Prop::Interval, int32_t{0});
    ASSERT_TRUE(WaitFor([] { return gCounterThreads.load() == 0; }, 20000));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartTicker(Text(std::string(c.bytes, 'x')), 0, 2);
        Pump(100);
        PaintWatch watch;
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets.append(window);
        for (QWidget* w : widgets) w->installEventFilter(&watch);
        for (int i = 0; i < 5; ++i) {
            OnTickerTimerTick();
            Pump(30);
        }
        for (QWidget* w : widgets) w->removeEventFilter(&watch);
        EXPECT_FALSE(watch.painted.empty()) << "the label moved on screen";
        for (QObject* o : watch.painted)
            EXPECT_TRUE(o == label || o == strip) << o->objectName().toStdString() << " painted";
    }
}

// The label draws its face once per text: a new text, colour or width shows at once.
TEST_F(TickerTest, TheLabelShowsEachTextAndColourItIsGiven) {
    const UnitRef label = MainUnit("滚动条");
    auto face = [&] { return platform::WidgetOf(label)->grab().toImage(); };
    StartTicker(TXT("第一条通知"), 0, 2);
    const QImage first = face();
    StartTicker(TXT("第二条通知"), 0, 2);
    const QImage second = face();
    EXPECT_NE(first, second);
    StartTicker(TXT("第一条通知"), 0, 2);
    EXPECT_EQ(face(), first);
    label.Set(Prop::TextColour, int32_t{0x0000FF});
    EXPECT_NE(face(), first);
    StartTicker(TXT("第一条通知 and more"), 0, 2);
    const QImage wider = face();
    EXPECT_GT(wider.width(), first.width());
    const QRect added(first.width(), 0, wider.width() - first.width(), wider.height());
    QImage black(added.size(), wider.format());
    black.fill(Qt::black);
    EXPECT_NE(wider.copy(added), black) << "the added text is drawn";
}

}  // namespace
}  // namespace orbiq::test

// Edge docking: hiding at the left, right and top edges and coming back under the mouse.
#include "board_fixture.h"

namespace orbiq::test {
namespace {

class BoardDockingTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        Open();
        // The test's ticks are the only ones.
        U("点播窗口贴边隐藏时钟1").Set(Prop::Interval, 0);
        W = platform::ScreenWidth();
        width = Self().GetInt(Prop::Width);
        height = Self().GetInt(Prop::Height);
    }
    void Place(int left, int top) {
        Self().Set(Prop::Left, left);
        Self().Set(Prop::Top, top);
        Pump(20);
    }
    QPoint Tick(QPoint mouse) {
        QCursor::setPos(mouse);
        platform::RaiseEvent(U("点播窗口贴边隐藏时钟1"), "Tick");
        Pump(20);
        return {Self().GetInt(Prop::Left), Self().GetInt(Prop::Top)};
    }
    QPoint Away() const { return {W / 2, 590}; }
    int W = 0, width = 0, height = 0;
};

TEST_F(BoardDockingTest, TheScreenAndTheWindowAsTheTestsExpectThem) {
    ASSERT_GT(W, width + 100);
    EXPECT_EQ(width, 548);
    EXPECT_EQ(height, 359);
}

TEST_F(BoardDockingTest, LeftEdgeHidesAndComesBackUnderTheMouse) {
    Place(-20, 100);
    EXPECT_EQ(Tick(Away()), QPoint(4 - width, 100));
    EXPECT_EQ(Tick({2, 200}), QPoint(0, 100)) << "over the 4-pixel strip";
    EXPECT_EQ(Tick({width, 200}), QPoint(0, 100)) << "one pixel right of the window counts as over it";
    EXPECT_EQ(Tick({width + 1, 200}), QPoint(4 - width, 100));
}

TEST_F(BoardDockingTest, RightEdgeHidesAndComesBackFlush) {
    Place(W - width, 100);
    EXPECT_EQ(Tick(Away()), QPoint(W - 4, 100));
    EXPECT_EQ(Tick({W - 2, 200}), QPoint(W - width, 100));
    EXPECT_EQ(Tick({W - 2, 200}), QPoint(W - width, 100)) << "stays while the mouse is over it";
    EXPECT_EQ(Tick({W - width - 5, 200}), QPoint(W - 4, 100));
}

TEST_F(BoardDockingTest, PartlyPastTheRightEdgeItStaysUnderTheMouse) {
    Place(W - 300, 100);
    EXPECT_EQ(Tick({W - 200, 200}), QPoint(W - 300, 100));
    EXPECT_EQ(Tick(Away()), QPoint(W - 4, 100));
}

TEST_F(BoardDockingTest, TopEdgeHidesToItsBottomRows) {
    Place(100, -5);
    EXPECT_EQ(Tick(Away()), QPoint(100, 4 - height));
    EXPECT_EQ(Tick({200, 1}), QPoint(100, 0));
    EXPECT_EQ(Tick(Away()), QPoint(100, 4 - height));
}

TEST_F(BoardDockingTest, CornersAndTheBottomEdge) {
    // Top-left: hides to the left only; under the mouse Top stays negative.
    Place(-10, -10);
    EXPECT_EQ(Tick(Away()), QPoint(4 - width, -10));
    EXPECT_EQ(Tick({1, 10}), QPoint(0, -10));
    EXPECT_EQ(Tick({1, 10}), QPoint(0, -10));

    // Top and past the right edge: hides right; comes back right first, then to the top.
    Place(W - 300, -10);
    EXPECT_EQ(Tick(Away()), QPoint(W - 4, -10));
    EXPECT_EQ(Tick({W - 1, 10}), QPoint(W - width, -10));
    EXPECT_EQ(Tick({W - 1, 10}), QPoint(W - width, 0));

    // Beyond the bottom edge nothing moves.
    Place(100, 500);
    EXPECT_EQ(Tick(Away()), QPoint(100, 500));
    EXPECT_EQ(Tick({200, 550}), QPoint(100, 500));
}

// Where the window really stands decides: a window manager may keep more than the strip on
// screen (openbox keeps a tenth of a window that a program moves, rounded its own way), and the mouse anywhere over
// what it keeps brings the window back. Without a manager only the 4-pixel strip stays.
TEST_F(BoardDockingTest, HidesAsFarAsTheWindowSystemLetsItAndComesBackAnywhereOverIt) {
    const bool managed = qEnvironmentVariableIsSet("ORBIQ_TEST_WINDOW_FRAMES");
    enum Edge { Left, Right, Top };
    struct Case {
        const char* name;
        Edge edge;
        QPoint start;
        int kept;  // what stays on screen
    };
    const Case cases[] = {
        {"left", Left, {-20, 100}, managed ? width - width * 9 / 10 : 4},
        {"right", Right, {W - width, 100}, managed ? width / 10 : 4},
        {"top", Top, {100, -5}, managed ? height - height * 9 / 10 : 4},
    };
    auto shown = [&](Edge edge) {
        const int left = Self().GetInt(Prop::Left), top = Self().GetInt(Prop::Top);
        return edge == Left ? left + width : edge == Right ? W - left : top + height;
    };
    auto back = [&](Edge edge) {
        const QPoint at(Self().GetInt(Prop::Left), Self().GetInt(Prop::Top));
        return edge == Left ? at.x() == 0 : edge == Right ? at.x() == W - width : at.y() == 0;
    };
    for (const Case& c : cases) {
        Place(c.start.x(), c.start.y());
        Tick(Away());
        ASSERT_TRUE(WaitFor([&] { return shown(c.edge) == c.kept; }, 3000))
            << c.name << ": " << shown(c.edge) << " on screen, " << c.kept << " expected";
        // The first, a middle and the last row or column that stays on screen.
        for (int into : {0, c.kept / 2, c.kept - 1}) {
            const QPoint mouse = c.edge == Left    ? QPoint(into, c.start.y() + 50)
                                 : c.edge == Right ? QPoint(W - 1 - into, c.start.y() + 50)
                                                   : QPoint(c.start.x() + 50, into);
            // The dock timer ticks on while the window manager catches up.
            EXPECT_TRUE(WaitFor([&] { return Tick(mouse), back(c.edge); }, 3000)) << c.name << ", mouse " << into << " in";
            EXPECT_TRUE(WaitFor([&] { return Tick(Away()), shown(c.edge) == c.kept; }, 3000)) << c.name << " hides again";
        }
    }
}

TEST_F(BoardDockingTest, ItDocksByItsOwnTimerBeforeTheLoginAndRefitsTheList) {
    ASSERT_TRUE(U("标签1").GetBool(Prop::Visible)) << "waiting for a login";
    U("点播窗口贴边隐藏时钟1").Set(Prop::Interval, 100);
    platform::ReportSetColumnWidth(List(), 1, 7);
    QCursor::setPos(Away());
    Place(-30, 100);
    ASSERT_TRUE(WaitFor([&] { return Self().GetInt(Prop::Left) == 4 - width; }, 2000));
    EXPECT_TRUE(WaitFor([&] { return platform::ReportColumnWidth(List(), 1) == 501; }, 2000)) << "Moved fits the columns";
}

}  // namespace
}  // namespace orbiq::test

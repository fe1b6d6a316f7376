// Under a real window manager (openbox, run through with_window_manager.sh): the stacking of
// the windows opened after "always on top", and a minimised modal window coming back.
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "board/board_window.h"
#include "player_fixture.h"
#include "player/small_windows.h"
#include "window_manager_view.h"

namespace orbiq::test {
namespace {

class WindowManagerTest : public MainWindowTest {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "runs under a window manager only";
        MainWindowTest::SetUp();
    }
    void TearDown() override {
        if (gMessageBoardWindow && platform::WindowExists(gMessageBoardWindow)) platform::DestroyWindow(gMessageBoardWindow);
        MainWindowTest::TearDown();
    }
    // Runs a modal window's opener with the script inside its loop; the window is closed after.
    static void WhileOpen(const std::function<void()>& opener, uint64_t* window, const std::function<void()>& script) {
        QTimer::singleShot(0, [=] {
            script();
            platform::DestroyWindow(*window);
        });
        opener();
    }
    static QWidget* W(uint64_t window) { return platform::WidgetOf(platform::WindowRef(window)); }
    // The main window shown and managed.
    void StartShown() {
        Start(site_->hosts);
        ASSERT_TRUE(WaitFor([] { return WmState(W(gMainWindow)) == "Normal"; }, 10000));
    }
    // Shown, managed and above the main window in the manager's stacking order.
    static bool AboveMain(QWidget* w) {
        if (WmState(w) != "Normal") return false;
        const int at = StackIndex(w);
        return at >= 0 && at > StackIndex(W(gMainWindow));
    }

    std::unique_ptr<LocalSite> site_ = std::make_unique<LocalSite>();
};

TEST_F(WindowManagerTest, WindowsOpenedAfterAlwaysOnTopAreAboveTheMainWindow) {
    StartShown();
    OnAlwaysOnTopItemClick();
    QWidget* main = W(gMainWindow);
    ASSERT_TRUE(WaitFor([main] { return WmState(main) == "Normal"; }, 10000));
    ASSERT_TRUE(RunXTool("xprop", {"-id", XId(main), "_NET_WM_STATE"}).contains("_NET_WM_STATE_ABOVE"));

    const std::pair<const char*, std::function<void()>> modal[] = {
        {"AboutWindow", [] { OnAboutItemClick(); }},
        {"ChannelErrorReportWindow", [] { OnReportChannelItemClick(); }},
        {"SponsorWindow", [] { OnSponsorButtonClick(); }},
    };
    uint64_t* ids[] = {&gAboutWindow, &gReportWindow, &gSponsorWindow};
    for (size_t i = 0; i < std::size(modal); ++i) {
        bool above = false;
        WhileOpen(modal[i].second, ids[i], [&, id = ids[i]] {
            QWidget* w = W(*id);
            above = WaitFor([w] { return AboveMain(w); }, 10000);
            // Clicking the main window (the manager raises what the user clicks) leaves it above.
            ActivateAsUser(main);
            Pump(300);
            above = above && AboveMain(w);
        });
        EXPECT_TRUE(above) << modal[i].first;
    }

    // A message box, as the board's warnings show them.
    platform::SetMessageBoxResponder(nullptr);
    bool boxAbove = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = nullptr;
        WaitFor([&] { return (box = QApplication::activeModalWidget()) != nullptr; }, 5000);
        if (!box) return;
        boxAbove = WaitFor([box] { return AboveMain(box); }, 10000);
        box->close();
    });
    platform::MessageBox(TXT("警告"), platform::kMbOk, TXT("警告"));
    EXPECT_TRUE(boxAbove) << "message box";

    // Not modal: the board opens above it too.
    OpenMessageBoardWindow();
    ASSERT_TRUE(platform::WindowExists(gMessageBoardWindow));
    EXPECT_TRUE(WaitFor([] { return AboveMain(W(gMessageBoardWindow)); }, 10000)) << "MessageBoardWindow";
}

// The manager offers minimise on the sponsor window although it asks for none: minimised, it
// takes the main window with it, and activating the main window gives both back.
TEST_F(WindowManagerTest, AMinimisedModalWindowComesBackWithTheMainWindow) {
    StartShown();
    QWidget* main = W(gMainWindow);
    QString mainAfterMinimise, sponsorAfterMinimise;
    bool back = false;
    WhileOpen([] { OnSponsorButtonClick(); }, &gSponsorWindow, [&] {
        QWidget* sponsor = W(gSponsorWindow);
        ASSERT_TRUE(WaitFor([sponsor] { return AboveMain(sponsor); }, 10000));
        MinimiseAsUser(sponsor);
        WaitFor([&] { return WmState(sponsor) == "Iconic" && WmState(main) == "Iconic"; }, 10000);
        sponsorAfterMinimise = WmState(sponsor);
        mainAfterMinimise = WmState(main);
        ActivateAsUser(main);
        back = WaitFor([&] { return WmState(main) == "Normal" && AboveMain(sponsor); }, 10000);
    });
    EXPECT_EQ(sponsorAfterMinimise, "Iconic");
    EXPECT_EQ(mainAfterMinimise, "Iconic") << "the blocked window was left on screen alone";
    EXPECT_TRUE(back) << "main " << WmState(main).toStdString();
}

}  // namespace
}  // namespace orbiq::test

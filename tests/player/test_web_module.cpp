// The web engine comes from the web view module, loaded when the first shown HTML view is
// made. This binary does not link Qt WebEngine, so it meets the engine as the program does:
// loaded after the application object exists.
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <fstream>
#include <string>

#include "player/small_windows.h"
#include "player_fixture.h"
#include "site/site_server.h"

namespace orbiq::test {
namespace {

bool Mapped(const std::string& library) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(library) != std::string::npos) return true;
    return false;
}

bool Near(QRgb pixel, uint32_t rgb) {
    const int d = std::abs(qRed(pixel) - int(rgb >> 16 & 0xFF)) + std::abs(qGreen(pixel) - int(rgb >> 8 & 0xFF)) +
                  std::abs(qBlue(pixel) - int(rgb & 0xFF));
    return d <= 24;
}

constexpr int kPageWait = 45000;  // the engine starts its own processes on a busy machine

class WebModuleTest : public MainWindowTest {
protected:
    // Runs opener (which returns once its modal window has closed) with script inside its loop.
    static void WhileOpen(const std::function<void()>& opener, uint64_t* window, std::function<void()> script) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            script();
            ran = true;
        });
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [window] {
            ADD_FAILURE() << "the window stayed open";
            platform::DestroyWindow(*window);
        });
        guard.start(kPageWait * 4);
        opener();
        EXPECT_TRUE(ran);
        EXPECT_EQ(*window, 0u);
    }
    LocalSite site_;
};

TEST_F(WebModuleTest, EngineLoadsWithTheFirstShownViewAndTheAdvertsShowEveryTime) {
    Start(site_.hosts);
    EXPECT_FALSE(Mapped("libQt6WebEngineCore")) << "the engine is there before any page";

    // The report window's hidden view sends with a plain GET and loads no engine.
    WhileOpen([] { OnReportChannelItemClick(); }, &gReportWindow, [&] {
        QTest::mouseClick(platform::WidgetOf(UnitRef{gReportWindow, "按钮1"}), Qt::LeftButton);
        EXPECT_TRUE(WaitFor([&] {
            for (auto& r : site_.server.SiteRequests())
                if (r.rfind("GET /abc.asp", 0) == 0) return true;
            return false;
        }));
        platform::DestroyWindow(gReportWindow);
    });
    EXPECT_FALSE(Mapped("libQt6WebEngineCore"));
    EXPECT_FALSE(Mapped("liborbiq_web_view"));

    for (int cycle = 1; cycle <= 2; ++cycle) {
        SCOPED_TRACE("opening " + std::to_string(cycle));
        WhileOpen([] { OnSponsorButtonClick(); }, &gSponsorWindow, [&] {
            QWidget* window = platform::WidgetOf(platform::WindowRef(gSponsorWindow));
            // Each advert's picture at its centre and the style sheet's background beside it,
            // as the window draws them.
            QImage shot;
            auto shown = [&](int i) {
                const QPoint view(8, 8 + 120 * (i - 1));
                return Near(shot.pixel(view + QPoint(56, 56)), site::AdvertScreenColour(i)) &&
                       Near(shot.pixel(view + QPoint(262, 4)), 0x1b2330);
            };
            EXPECT_TRUE(WaitFor([&] {
                shot = window->grab().toImage();
                return shown(1) && shown(2) && shown(3) && shown(4);
            }, kPageWait * 2)) << shown(1) << shown(2) << shown(3) << shown(4);
            EXPECT_TRUE(Mapped("libQt6WebEngineCore"));
            // Esc closes the window with the keyboard focus inside an advert.
            window->activateWindow();
            EXPECT_TRUE(WaitFor([window] { return QApplication::activeWindow() == window; }, 2000));
            QWidget* first = platform::WidgetOf(UnitRef{gSponsorWindow, "超文本浏览框1"});
            first->setFocus();
            EXPECT_TRUE(WaitFor([first] { return first->isAncestorOf(QApplication::focusWidget()) || first->hasFocus(); }, 2000));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        });
    }
    EXPECT_TRUE(platform::WindowExists(gMainWindow));
}

}  // namespace
}  // namespace orbiq::test

// GETs started ahead and taken later: answers and failures as HttpGet gives them, one time-out
// for several silent hosts rather than the sum, events handled while a get is waited for (a
// window on screen answers Esc), and no completion lost to a wait nested inside another.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QTest>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "listening.h"
#include "platform/ui/pending_get.h"
#include "platform/ui/ui_widgets.h"
#include "site/stalling_host.h"
#include "test_support.h"
#include "ui_gaps.h"

namespace orbiq::test {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

// Answers /<ms> after that many milliseconds with the text "<ms>".
class DelayedServer {
public:
    DelayedServer() {
        server_.Get(R"(/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(req.matches[1])));
            res.set_content(req.matches[1], "text/plain");
        });
        server_.Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("not here", "text/plain");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = ListenInBackground(server_);
    }
    ~DelayedServer() {
        server_.stop();
        thread_.join();
    }
    Text Url(const std::string& path) const { return Text("http://" + Loopback(port_) + "/" + path); }

private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

std::string Body(platform::PendingGet& get) { return AsString(get.Take()); }

TEST(PendingGetTest, SeveralHostsCostOneTimeOutAndTheUiThreadKeepsGoing) {
    DelayedServer answering;
    site::StallingHost silent(site::SiteStall::Silent), trickling(site::SiteStall::Trickle);
    const int silentPort = silent.Listen("127.0.0.1", 0), tricklingPort = trickling.Listen("127.0.0.1", 0);
    ASSERT_GT(silentPort, 0);
    ASSERT_GT(tricklingPort, 0);
    platform::HttpGetLimits limits;
    limits.totalTimeoutMs = 1500;
    struct Case {
        const char* what;
        Text url;
        std::string body;
    };
    const Case cases[] = {
        {"answers", answering.Url("200"), "200"},
        {"404", answering.Url("missing"), ""},
        {"refused", Text("http://" + Loopback(ClosedPort()) + "/x"), ""},
        {"silent", Text("http://" + Loopback(silentPort) + "/x"), ""},
        {"silent too", Text("http://" + Loopback(silentPort) + "/y"), ""},
        {"trickling", Text("http://" + Loopback(tricklingPort) + "/x"), ""},
    };
    UiGapMeter gaps;
    const Clock::time_point start = Clock::now();
    std::vector<platform::PendingGet> gets;
    for (const Case& c : cases) gets.emplace_back(c.url, limits);
    for (size_t i = 0; i < gets.size(); ++i) EXPECT_EQ(Body(gets[i]), cases[i].body) << cases[i].what;
    const double elapsed = MsSince(start);
    gaps.Stop();
    // One time-out and a margin for a busy machine; one after another they would take four.
    EXPECT_LT(elapsed, 1500 + 1500);
    EXPECT_LT(gaps.LongestMs(), 500);
    EXPECT_EQ(silent.Accepted(), 2);
    EXPECT_EQ(trickling.Accepted(), 1);
    // Taken once.
    EXPECT_TRUE(gets[0].Take().empty());
}

TEST(PendingGetTest, AnAnswerThatComesDuringANestedWaitIsSeenWhenItReturns) {
    DelayedServer server;
    platform::PendingGet outer(server.Url("300"));
    Clock::time_point innerDone;
    std::string innerBody;
    QTimer::singleShot(50, [&] {
        platform::PendingGet inner(server.Url("900"));
        innerBody = Body(inner);
        innerDone = Clock::now();
    });
    EXPECT_EQ(Body(outer), "300");
    const double afterInner = std::chrono::duration<double, std::milli>(Clock::now() - innerDone).count();
    EXPECT_EQ(innerBody, "900");
    // Not at the wait's limit (some 8 s): right after the nested wait has returned.
    EXPECT_LT(afterInner, 1000);
}

TEST(PendingGetTest, AWindowOnScreenAnswersEscWhileAGetIsWaitedFor) {
    site::StallingHost silent(site::SiteStall::Silent);
    const int port = silent.Listen("127.0.0.1", 0);
    ASSERT_GT(port, 0);
    const uint64_t window = platform::LoadWindow("about_window", platform::Handlers{});
    ASSERT_TRUE(platform::WindowExists(window));
    platform::HttpGetLimits limits;
    limits.totalTimeoutMs = 1500;
    platform::PendingGet get(Text("http://" + Loopback(port) + "/x"), limits);
    const Clock::time_point start = Clock::now();
    double closedAfterMs = -1;
    QTimer::singleShot(300, [&] {
        QTest::keyClick(platform::WidgetOf(platform::WindowRef(window)), Qt::Key_Escape);
        if (!platform::WindowExists(window)) closedAfterMs = MsSince(start);
    });
    EXPECT_TRUE(get.Take().empty());
    EXPECT_GE(closedAfterMs, 300);
    EXPECT_LT(closedAfterMs, 300 + 200);
}

TEST(PendingGetTest, TakenOnAThreadWithoutEvents) {
    DelayedServer server;
    std::string body;
    std::thread([&] {
        platform::PendingGet get(server.Url("100"));
        body = Body(get);
    }).join();
    EXPECT_EQ(body, "100");
}

}  // namespace
}  // namespace orbiq::test

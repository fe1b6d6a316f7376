#include <gtest/gtest.h>

#include <httplib.h>

#include <thread>

#include "platform/net/http_get.h"
#include "listening.h"

namespace orbiq::platform {
namespace {

class HttpGetTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_.Get("/ok", [](const httplib::Request&, httplib::Response& r) { r.set_content("\xD5\xFD\xB3\xA3", "text/plain"); });
        server_.Get("/missing", [](const httplib::Request&, httplib::Response& r) { r.status = 404; r.set_content("nope", "text/plain"); });
        server_.Get("/error", [](const httplib::Request&, httplib::Response& r) { r.status = 500; r.set_content("oops", "text/plain"); });
        server_.Get("/huge", [](const httplib::Request&, httplib::Response& r) { r.set_content(std::string(3u << 20, 'x'), "text/plain"); });
        server_.Get("/slow", [](const httplib::Request&, httplib::Response& r) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            r.set_content("late", "text/plain");
        });
        server_.Get("/redirect", [](const httplib::Request&, httplib::Response& r) { r.set_redirect("/ok"); });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = orbiq::test::ListenInBackground(server_);
    }
    void TearDown() override {
        server_.stop();
        thread_.join();
    }
    Text Url(const char* path) const { return Text("http://127.0.0.1:" + std::to_string(port_) + path); }

    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
};

TEST_F(HttpGetTest, ReturnsTheBodyBytesUnchanged) {
    ByteSet body = HttpGet(Url("/ok"));
    EXPECT_EQ(std::string(body.begin(), body.end()), "\xD5\xFD\xB3\xA3");
    body = HttpGet(Url("/redirect"));
    EXPECT_EQ(body.size(), 4u);
}

TEST_F(HttpGetTest, FailuresGiveTheEmptyByteSet) {
    HttpGetLimits small;
    small.maxBodyBytes = 1u << 20;
    small.totalTimeoutMs = 500;
    EXPECT_TRUE(HttpGet(Url("/missing")).empty());
    EXPECT_TRUE(HttpGet(Url("/error")).empty());
    EXPECT_TRUE(HttpGet(Url("/huge"), small).empty());
    EXPECT_TRUE(HttpGet(Url("/slow"), small).empty());
    EXPECT_TRUE(HttpGet(Text("http://127.0.0.1:1/x")).empty());
    EXPECT_TRUE(HttpGet(Text("not a url at all")).empty());
    EXPECT_TRUE(HttpGet(Text("file:///etc/passwd")).empty());
}

TEST(HttpGetSilent, AHostThatNeverAnswersTimesOut) {
    // Accepts the connection and never writes a byte.
    httplib::Server silent;
    silent.Get("/", [](const httplib::Request&, httplib::Response& r) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        r.set_content("x", "text/plain");
    });
    int port = silent.bind_to_any_port("127.0.0.1");
    std::thread t = orbiq::test::ListenInBackground(silent);
    HttpGetLimits limits;
    limits.totalTimeoutMs = 300;
    EXPECT_TRUE(HttpGet(Text("http://127.0.0.1:" + std::to_string(port) + "/"), limits).empty());
    silent.stop();
    t.join();
}

}  // namespace
}  // namespace orbiq::platform

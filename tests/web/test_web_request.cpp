// The blocking request call against real loopback servers, on a thread with a Qt event loop
// and on a plain thread.
#include "web/http_request.h"

#include "tests/inet/raw_server.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include "listening.h"

using orbiq::ByteSet;
using orbiq::SendHttpRequest;
using orbiq::Text;
using orbiq::testing::RawServer;
using orbiq::testing::ReceivedRequest;
using namespace std::chrono_literals;

namespace {

const std::string kAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
const std::string kAgentLine = "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n";

std::string Str(const ByteSet& bytes) { return std::string(bytes.begin(), bytes.end()); }
ByteSet Get(const std::string& url, int32_t timeout = 10) {
    return SendHttpRequest(Text(url), {}, {}, {}, {}, timeout);
}

RawServer::Handler Answer(const std::string& bytes) {
    return [bytes](const ReceivedRequest&, RawServer::Connection& c) { c.Send(bytes); };
}

// cpp-httplib on a loopback address, for the tests that need an ordinary server.
class HttplibServer {
public:
    explicit HttplibServer(const std::string& address = "127.0.0.1") : address_(address) {
        port_ = server.bind_to_any_port(address);
    }
    ~HttplibServer() {
        server.stop();
        if (thread_.joinable()) thread_.join();
    }
    void Start() {
        thread_ = orbiq::test::ListenInBackground(server);
    }
    std::string Url(const std::string& path) const {
        return "http://" + address_ + ":" + std::to_string(port_) + path;
    }
    httplib::Server server;

private:
    std::string address_;
    int port_ = 0;
    std::thread thread_;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(DefaultHeadersTest, AppendedUnlessTheirNameIsInTheCallersHeaders) {
    struct Case {
        const char* name;
        std::string headers;
        std::string expected;  // the header lines after User-Agent; {url} is the request URL
    };
    const Case cases[] = {
        {"none given", "", kAccept + "Referer: {url}\r\nAccept-Language: zh-cn\r\n"},
        {"accept in lower case", "accept: text/html\r\n",
         "accept: text/html\r\nReferer: {url}\r\nAccept-Language: zh-cn\r\n"},
        {"Referer inside another header", "X-Note: see Referer: here\r\n",
         "X-Note: see Referer: here\r\n" + kAccept + "Accept-Language: zh-cn\r\n"},
        {"language only", "ACCEPT-LANGUAGE: en\r\n",
         "ACCEPT-LANGUAGE: en\r\n" + kAccept + "Referer: {url}\r\n"},
        {"last line without CR LF runs into Accept", "X-Last: 1",
         "X-Last: 1" + kAccept + "Referer: {url}\r\nAccept-Language: zh-cn\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(Answer(RawServer::Response("ok")));
        const std::string url = "HTTP://127.0.0.1:" + std::to_string(server.Port()) + "/Box/p.asp?x=1";
        EXPECT_EQ(Str(SendHttpRequest(Text(url), {}, {}, Text(c.headers), {}, 10)), "ok");
        ASSERT_TRUE(server.WaitForRequests(1, 5s));
        std::string expected = c.expected;
        if (size_t at = expected.find("{url}"); at != std::string::npos) expected.replace(at, 5, url);
        EXPECT_EQ(server.Requests()[0].head,
                  "GET /Box/p.asp?x=1 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.Port()) +
                      "\r\n" + kAgentLine + expected);
    }
}

TEST(PostTest, ContentHeadersOnlyWithABodyCountingGbkBytes) {
    struct Case {
        const char* name;
        Text body;
        const char* contentLength;  // nullptr: no content headers at all
    };
    const Case cases[] = {
        {"gbk body", TXT("ac=do&sql=中文"), "14"},
        {"ascii body", Text("a=1"), "3"},
        {"empty body", Text(), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(Answer(RawServer::Response("0")));
        EXPECT_EQ(Str(SendHttpRequest(Text(server.Url("/wms.asp")), Text("POST"), {}, {}, c.body, 10)), "0");
        ASSERT_TRUE(server.WaitForRequests(1, 5s));
        ReceivedRequest got = server.Requests()[0];
        EXPECT_EQ(got.requestLine, "POST /wms.asp HTTP/1.1");
        EXPECT_EQ(got.body, c.body.Bytes());
        if (c.contentLength) {
            EXPECT_EQ(got.Header("Content-Length"), c.contentLength);
            EXPECT_EQ(got.Header("Content-Type"), "application/x-www-form-urlencoded");
            EXPECT_NE(got.head.find("Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                                    "Content-Length: "),
                      std::string::npos);
        } else {
            EXPECT_FALSE(got.Has("Content-Length"));
            EXPECT_FALSE(got.Has("Content-Type"));
        }
    }
}

TEST(VerbTest, EmptyVerbAndGetSendGet) {
    for (const char* verb : {"", "GET"}) {
        SCOPED_TRACE(verb);
        RawServer server(Answer(RawServer::Response("got")));
        EXPECT_EQ(Str(SendHttpRequest(Text(server.Url("/x")), Text(verb), {}, {}, Text("ignored"), 10)), "got");
        ASSERT_TRUE(server.WaitForRequests(1, 5s));
        EXPECT_EQ(server.Requests()[0].requestLine, "GET /x HTTP/1.1");
        EXPECT_EQ(server.Requests()[0].body, "");
    }
}

TEST(VerbTest, OtherVerbsFailAtOnceWithoutSending) {
    RawServer server(Answer(RawServer::Response("never")));
    for (const char* verb : {"get", "post", "Post", "PUT", "HEAD"}) {
        SCOPED_TRACE(verb);
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(SendHttpRequest(Text(server.Url("/")), Text(verb), {}, {}, Text("a=1"), 30).empty());
        EXPECT_LT(SecondsSince(start), 5.0);
    }
    EXPECT_TRUE(server.Requests().empty());
}

TEST(BodyTest, ReturnedWhole) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{511}, size_t{512}, size_t{513}, size_t{5} << 20}) {
        SCOPED_TRACE(size);
        std::string body(size, '\0');
        for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>((i * 31) ^ (i >> 9));
        RawServer server(Answer(RawServer::Response(body)));
        EXPECT_EQ(Str(Get(server.Url("/"))), body);
    }
}

TEST(BodyTest, ErrorStatusStillGivesItsBody) {
    RawServer server(Answer(RawServer::Response("missing", "", "404 Not Found")));
    EXPECT_EQ(Str(Get(server.Url("/nothing"))), "missing");
}

TEST(BodyTest, BrokenAnswerGivesTheBytesReadSoFar) {
    RawServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 2000\r\n\r\n" + std::string(700, 'b')));
    EXPECT_EQ(Str(Get(server.Url("/"))), std::string(700, 'b'));
}

// Past 16 MiB the call fails as for a broken connection, and stops reading: the server gets
// rid of little more than the cap and what the socket buffers hold.
TEST(BodyTest, ABodyPastTheCapGivesNothing) {
    constexpr size_t kCap = size_t{16} << 20;
    for (size_t size : {kCap, kCap + 1, size_t{100} << 20}) {
        SCOPED_TRACE(size);
        std::atomic<size_t> sent{0};
        RawServer server([size, &sent](const ReceivedRequest&, RawServer::Connection& c) {
            if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n")) return;
            const std::string block(1 << 16, 'z');
            for (size_t done = 0; done < size; done += block.size()) {
                size_t n = std::min(block.size(), size - done);
                if (!c.Send(std::string_view(block).substr(0, n))) return;
                sent += n;
            }
        });
        ByteSet body = Get(server.Url("/"), 120);
        if (size <= kCap) {
            EXPECT_EQ(body.size(), size);
        } else {
            EXPECT_TRUE(body.empty());
            EXPECT_LT(sent.load(), kCap + (size_t{32} << 20));
        }
    }
}

// WinINet's own receive time-out (here shortened for every session) ends the wait on a
// server that never answers, whatever the call's time-out.
TEST(TimeoutTest, WinInetsReceiveTimeoutEndsTheWaitBeforeTheCallsOwn) {
    struct ReceiveTimeout {
        explicit ReceiveTimeout(uint32_t ms) { Set(ms); }
        ~ReceiveTimeout() { Set(orbiq::platform::kDefaultReceiveTimeoutMs); }
        static void Set(uint32_t ms) {
            orbiq::platform::InternetSetOptionA(nullptr, orbiq::platform::INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
        }
    } shortened(300);
    RawServer silent([](const ReceivedRequest&, RawServer::Connection& c) { c.WaitClientClosed(30s); });
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Get(silent.Url("/"), 60).empty());
    EXPECT_LT(SecondsSince(start), 20.0);
}

TEST(BodyTest, UnreachableServerGivesNothingAtOnce) {
    int port;
    { RawServer gone(nullptr); port = gone.Port(); }
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Get("http://127.0.0.1:" + std::to_string(port) + "/", 30).empty());
    EXPECT_TRUE(Get("/no/host", 30).empty());
    EXPECT_LT(SecondsSince(start), 5.0);
}

TEST(ProxyTest, ProxyGetsTheAbsoluteUriAndBlanksMeanDirect) {
    RawServer proxy(Answer(RawServer::Response("proxied")));
    const std::string at = "127.0.0.1:" + std::to_string(proxy.Port());
    EXPECT_EQ(Str(SendHttpRequest(Text("http://orbiq-test.invalid/a?b=1"), {}, Text(at), {}, {}, 10)), "proxied");
    ASSERT_TRUE(proxy.WaitForRequests(1, 5s));
    EXPECT_EQ(proxy.Requests()[0].requestLine, "GET http://orbiq-test.invalid/a?b=1 HTTP/1.1");

    RawServer direct(Answer(RawServer::Response("direct")));
    EXPECT_EQ(Str(SendHttpRequest(Text(direct.Url("/")), {}, Text("   "), {}, {}, 10)), "direct");
}

// The cookie store lasts as long as the process, so each test uses loopback addresses of its
// own; cookies do not tell ports apart.
TEST(CookieTest, SetByOneAnswerAndSentByTheNextRequestToTheSameHostOnly) {
    HttplibServer setter("127.0.0.11");
    setter.server.Get("/login", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "a=b=c; path=/");
        res.set_content("in", "text/plain");
    });
    setter.server.Get("/who", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(req.get_header_value("Cookie"), "text/plain");
    });
    setter.Start();
    HttplibServer other("127.0.0.12");
    other.server.Get("/who", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("[" + req.get_header_value("Cookie") + "]", "text/plain");
    });
    other.Start();

    EXPECT_EQ(Str(Get(setter.Url("/login"))), "in");
    EXPECT_EQ(Str(Get(setter.Url("/who"))), "a=b=c");
    EXPECT_EQ(Str(Get(other.Url("/who"))), "[]");
}

TEST(CookieTest, LinesWithoutEqualsAreSkippedAndTheRestStored) {
    RawServer setter(Answer(RawServer::Response(
        "", "Set-Cookie: flagonly\r\nset-cookie: lower=1\r\nSet-Cookie: =\r\nSet-Cookie: ok=2; path=/\r\n")),
        "127.0.0.13");
    Get(setter.Url("/"));
    RawServer reader(Answer(RawServer::Response("")), "127.0.0.13");
    Get(reader.Url("/"));
    ASSERT_TRUE(reader.WaitForRequests(1, 5s));
    EXPECT_EQ(reader.Requests()[0].Header("Cookie"), "lower=1; ok=2");
}

TEST(CookieTest, HeaderBlockMustFitTheRawHeaderBuffer) {
    // The raw headers with their terminating zero have 1024 bytes of room.
    struct Case {
        const char* address;
        size_t rawLength;
        bool stored;
    };
    for (Case c : {Case{"127.0.0.14", 1023, true}, Case{"127.0.0.15", 1024, false},
                   Case{"127.0.0.16", 4000, false}}) {
        SCOPED_TRACE(c.rawLength);
        std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nSet-Cookie: big=1\r\nX-Pad: ";
        head += std::string(c.rawLength - head.size() - 4, 'p') + "\r\n\r\n";
        ASSERT_EQ(head.size(), c.rawLength);
        RawServer setter(Answer(head), c.address);
        Get(setter.Url("/"));
        RawServer reader(Answer(RawServer::Response("")), c.address);
        Get(reader.Url("/"));
        ASSERT_TRUE(reader.WaitForRequests(1, 5s));
        EXPECT_EQ(reader.Requests()[0].Has("Cookie"), c.stored);
    }
}

TEST(TimeoutTest, SilentServerGivesNothingAfterTheTimeoutAndTheWorkerLetsGo) {
    for (bool eventLoopThread : {true, false}) {
        SCOPED_TRACE(eventLoopThread ? "event loop thread" : "plain thread");
        std::promise<bool> clientLeft;
        RawServer silent([&clientLeft](const ReceivedRequest&, RawServer::Connection& c) {
            clientLeft.set_value(c.WaitClientClosed(10s));
        });
        auto call = [&] { return Get(silent.Url("/"), 1); };
        auto start = std::chrono::steady_clock::now();
        ByteSet result;
        if (eventLoopThread) {
            result = call();
        } else {
            std::thread plain([&] { result = call(); });
            plain.join();
        }
        double waited = SecondsSince(start);
        EXPECT_TRUE(result.empty());
        EXPECT_GE(waited, 1.0);
        EXPECT_LT(waited, 4.0);
        // The abandoned worker drops its connection instead of waiting on it.
        auto left = clientLeft.get_future();
        ASSERT_EQ(left.wait_for(5s), std::future_status::ready);
        EXPECT_TRUE(left.get());

        RawServer next(Answer(RawServer::Response("next")));
        EXPECT_EQ(Str(Get(next.Url("/"), 5)), "next");
    }
}

TEST(TimeoutTest, NegativeTimeoutGivesUpAtOnceEvenWhenTheServerAnswers) {
    RawServer server(Answer(RawServer::Response("fast")));
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Get(server.Url("/"), -1).empty());
    EXPECT_LT(SecondsSince(start), 1.0);
}

TEST(TimeoutTest, ZeroMeansTheDefaultNotAtOnce) {
    RawServer slow([](const ReceivedRequest&, RawServer::Connection& c) {
        c.Sleep(1500ms);
        c.Send(RawServer::Response("late"));
    });
    EXPECT_EQ(Str(Get(slow.Url("/"), 0)), "late");
    EXPECT_EQ(Str(Get(slow.Url("/"), 3)), "late");
}

// Answers each path with its own name, once `expected` requests have arrived.
RawServer::Handler AnswerWhenAllArrived(RawServer*& self, size_t expected) {
    return [&self, expected](const ReceivedRequest& r, RawServer::Connection& c) {
        bool together = self->WaitForRequests(expected, 5s);
        std::string path = r.requestLine.substr(4, r.requestLine.find(' ', 4) - 4);
        c.Send(RawServer::Response(path + (together ? "" : " alone")));
    };
}

TEST(OverlapTest, TwoThreadsWaitingAtOnceEachGetTheirOwnBody) {
    RawServer* self = nullptr;
    RawServer server(AnswerWhenAllArrived(self, 2));
    self = &server;
    ByteSet fromPlainThread;
    std::thread plain([&] { fromPlainThread = Get(server.Url("/plain")); });
    ByteSet fromEventThread = Get(server.Url("/event"));
    plain.join();
    EXPECT_EQ(Str(fromEventThread), "/event");
    EXPECT_EQ(Str(fromPlainThread), "/plain");
}

TEST(OverlapTest, RequestFromATimerInsideTheWaitGetsItsOwnBody) {
    // The outer answer comes while the inner call waits, the inner one later.
    RawServer* self = nullptr;
    RawServer server([&self](const ReceivedRequest& r, RawServer::Connection& c) {
        bool together = self->WaitForRequests(2, 5s);
        bool isInner = r.requestLine.find("/inner") != std::string::npos;
        if (isInner) c.Sleep(300ms);
        c.Send(RawServer::Response(std::string(isInner ? "/inner" : "/outer") + (together ? "" : " alone")));
    });
    self = &server;
    ByteSet inner;
    bool innerDoneBeforeOuter = false;
    // Due at once: the inner call runs inside the outer call's first pass.
    QTimer::singleShot(0, [&] { inner = Get(server.Url("/inner"), 10); innerDoneBeforeOuter = true; });
    auto start = std::chrono::steady_clock::now();
    ByteSet outer = Get(server.Url("/outer"), 10);
    EXPECT_LT(SecondsSince(start), 5.0);  // the outer completion is not missed behind the inner wait
    EXPECT_TRUE(innerDoneBeforeOuter);
    EXPECT_EQ(Str(inner), "/inner");
    EXPECT_EQ(Str(outer), "/outer");
}

TEST(WaitTest, TimersRunAndCompletionIsSeenAtOnce) {
    RawServer server([](const ReceivedRequest&, RawServer::Connection& c) {
        c.Sleep(500ms);
        c.Send(RawServer::Response("done"));
    });
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Str(Get(server.Url("/"), 60)), "done");
    EXPECT_LT(SecondsSince(start), 3.0);
    EXPECT_GT(ticks, 10);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    // Abandoned request workers and counter threads may still run: leave as the program
    // does, without running exit handlers (OpenSSL's among them) under them.
    int rc = RUN_ALL_TESTS();
    std::fflush(nullptr);
    std::_Exit(rc);
}

// The WinINet functions on libcurl against real loopback servers.
#include "platform/inet/wininet.h"
#include "tests/inet/raw_server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>

using namespace orbiq::platform;
using orbiq::testing::RawServer;
using orbiq::testing::ReceivedRequest;
using namespace std::chrono_literals;

namespace {

const char kAgent[] = "TestAgent/1.0";

// One transaction's three handles.
struct Transaction {
    UniqueInternetHandle internet;
    UniqueInternetHandle connection;
    UniqueInternetHandle request;

    Transaction(const std::string& host, int port, const char* verb, const std::string& path,
                const char* proxyList = nullptr) {
        internet.reset(proxyList ? InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PROXY, proxyList, "", 0)
                                 : InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, "", "", 0));
        connection.reset(InternetConnectA(internet.get(), host.c_str(), static_cast<INTERNET_PORT>(port),
                                          "", "", INTERNET_SERVICE_HTTP, 0, 0));
        request.reset(HttpOpenRequestA(connection.get(), verb, path.c_str(), "HTTP/1.1", nullptr,
                                       nullptr, INTERNET_FLAG_RELOAD, 0));
    }

    bool Send(const std::string& headers = "", const std::string& data = "") {
        return HttpSendRequestA(request.get(), headers.c_str(), static_cast<uint32_t>(headers.size()),
                                data.data(), static_cast<uint32_t>(data.size()));
    }

    std::string ReadAll(uint32_t chunk = 512) {
        std::string body;
        std::string buffer(chunk, '\0');
        for (;;) {
            uint32_t count = 0;
            InternetReadFile(request.get(), buffer.data(), chunk, &count);
            if (count == 0) return body;
            body.append(buffer, 0, count);
        }
    }

    std::string RawHeaders() {
        std::string buffer(8192, ' ');
        uint32_t length = static_cast<uint32_t>(buffer.size());
        if (!HttpQueryInfoA(request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr))
            return "<failed>";
        return buffer.substr(0, length);
    }
};

RawServer::Handler Answer(const std::string& bytes) {
    return [bytes](const ReceivedRequest&, RawServer::Connection& c) { c.Send(bytes); };
}

}  // namespace

TEST(RawHeadersTest, StatusAndHeaderLinesWithCrLfEndingInAnEmptyLine) {
    struct Case {
        const char* name;
        std::string sent;
        std::string expected;
    };
    const Case cases[] = {
        {"crlf", "HTTP/1.1 200 OK\r\nX-A: 1\r\nContent-Length: 2\r\n\r\nok",
         "HTTP/1.1 200 OK\r\nX-A: 1\r\nContent-Length: 2\r\n\r\n"},
        {"bare line feeds", "HTTP/1.1 200 OK\nX-A: 1\nContent-Length: 2\n\nok",
         "HTTP/1.1 200 OK\r\nX-A: 1\r\nContent-Length: 2\r\n\r\n"},
        {"interim answer left out",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n"},
        {"error status", "HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\nok",
         "HTTP/1.1 404 Not Found\r\nContent-Length: 2\r\n\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawServer server(Answer(c.sent));
        Transaction t("127.0.0.1", server.Port(), "GET", "/");
        ASSERT_TRUE(t.Send());
        EXPECT_EQ(t.RawHeaders(), c.expected);
        EXPECT_EQ(t.ReadAll(), "ok");
    }
}

TEST(RawHeadersTest, TooSmallBufferFailsAndLeavesItUntouched) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n";
    RawServer server(Answer(head));
    Transaction t("127.0.0.1", server.Port(), "GET", "/");
    ASSERT_TRUE(t.Send());
    const uint32_t needed = static_cast<uint32_t>(head.size() + 1);
    struct Case {
        uint32_t length;
        bool ok;
    };
    for (Case c : {Case{needed - 1, false}, Case{0, false}, Case{needed, true}, Case{needed + 100, true}}) {
        SCOPED_TRACE(c.length);
        std::string buffer(needed + 100, ' ');
        uint32_t length = c.length;
        bool ok = HttpQueryInfoA(t.request.get(), HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr);
        EXPECT_EQ(ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(length, head.size());
            EXPECT_EQ(std::string(buffer.c_str()), head);
        } else {
            EXPECT_EQ(length, needed);
            EXPECT_EQ(buffer, std::string(needed + 100, ' '));
        }
    }
}

TEST(ReadFileTest, GivesAtMostTheAskedCountThenZero) {
    const std::string body(1000, 'x');
    RawServer server(Answer(RawServer::Response(body)));
    Transaction t("127.0.0.1", server.Port(), "GET", "/");
    ASSERT_TRUE(t.Send());
    std::vector<uint32_t> counts;
    char buffer[300];
    for (int i = 0; i < 6; ++i) {
        uint32_t count = 99;
        EXPECT_TRUE(InternetReadFile(t.request.get(), buffer, sizeof buffer, &count));
        counts.push_back(count);
    }
    EXPECT_EQ(counts, (std::vector<uint32_t>{300, 300, 300, 100, 0, 0}));
}

TEST(ReadFileTest, BodyCutShortKeepsWhatCameAndThenFails) {
    RawServer server(Answer("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(600, 'y')));
    Transaction t("127.0.0.1", server.Port(), "GET", "/");
    ASSERT_TRUE(t.Send());
    EXPECT_EQ(t.ReadAll(), std::string(600, 'y'));
    char c;
    uint32_t count = 7;
    EXPECT_FALSE(InternetReadFile(t.request.get(), &c, 1, &count));
    EXPECT_EQ(count, 0u);
}

TEST(SendRequestTest, ReturnsOnceTheHeadersAreIn) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    RawServer server([released](const ReceivedRequest&, RawServer::Connection& c) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n");
        released.wait_for(10s);
        c.Send("hello");
    });
    Transaction t("127.0.0.1", server.Port(), "GET", "/");
    ASSERT_TRUE(t.Send());  // would hang until the timeout above if it waited for the body
    EXPECT_EQ(released.wait_for(0s), std::future_status::timeout);
    release.set_value();
    EXPECT_EQ(t.ReadAll(), "hello");
}

TEST(SendRequestTest, LargeBodyStreamsWithBoundedBuffering) {
    constexpr size_t kBody = 256u << 20;
    std::atomic<size_t> sent{0};
    RawServer server([&sent](const ReceivedRequest&, RawServer::Connection& c) {
        if (!c.Send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kBody) + "\r\n\r\n")) return;
        std::string block(1 << 16, '\0');
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7);
        for (size_t done = 0; done < kBody; done += block.size()) {
            if (!c.Send(block)) return;
            sent += block.size();
        }
    });
    Transaction t("127.0.0.1", server.Port(), "GET", "/");
    ASSERT_TRUE(t.Send());
    std::this_thread::sleep_for(300ms);
    // Socket buffers take a few megabytes; a client that buffered the body would have it all.
    EXPECT_LT(sent.load(), 64u << 20);

    size_t total = 0;
    unsigned long long sum = 0;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        uint32_t count = 0;
        InternetReadFile(t.request.get(), buffer.data(), static_cast<uint32_t>(buffer.size()), &count);
        if (count == 0) break;
        for (uint32_t i = 0; i < count; ++i) sum += buffer[i];
        total += count;
    }
    unsigned long long blockSum = 0;
    for (size_t i = 0; i < (1u << 16); ++i) blockSum += static_cast<unsigned char>(i * 7);
    EXPECT_EQ(total, kBody);
    EXPECT_EQ(sum, blockSum * (kBody >> 16));
}

TEST(SendRequestTest, SendsVerbPathHeadersAndDataExactlyAsGiven) {
    struct Case {
        const char* verb;
        std::string headers;
        std::string data;
        std::string expectedHead;  // after the Host line
    };
    const std::string ua = std::string("User-Agent: ") + kAgent + "\r\n";
    const Case cases[] = {
        {"", "", "", "GET /p?q=1 HTTP/1.1\r\n" + ua},
        {"GET", "X-A: 1\r\nReferer: http://r/\r\n", "", "GET /p?q=1 HTTP/1.1\r\n" + ua + "X-A: 1\r\nReferer: http://r/\r\n"},
        {"put", "", "", "put /p?q=1 HTTP/1.1\r\n" + ua},
        {"POST", "", "", "POST /p?q=1 HTTP/1.1\r\n" + ua},
        {"POST", "accept: text/plain\r\nX-Empty:\r\n", "a=1", "POST /p?q=1 HTTP/1.1\r\n" + ua +
             "accept: text/plain\r\nX-Empty:\r\nContent-Length: 3\r\n"},
        {"POST", "Content-Type: x/y\r\nContent-Length: 3\r\n", "a=1",
         "POST /p?q=1 HTTP/1.1\r\n" + ua + "Content-Type: x/y\r\nContent-Length: 3\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.verb) + " " + c.headers);
        RawServer server(Answer(RawServer::Response("")));
        Transaction t("127.0.0.1", server.Port(), c.verb, "/p?q=1");
        ASSERT_TRUE(t.Send(c.headers, c.data));
        ASSERT_TRUE(server.WaitForRequests(1, 5s));
        ReceivedRequest got = server.Requests()[0];
        std::string host = "Host: 127.0.0.1:" + std::to_string(server.Port()) + "\r\n";
        std::string head = got.head;
        size_t hostAt = head.find(host);
        ASSERT_NE(hostAt, std::string::npos) << head;
        head.erase(hostAt, host.size());
        EXPECT_EQ(head, c.expectedHead);
        EXPECT_EQ(got.body, c.data);
    }
}

TEST(SendRequestTest, LargePostGoesOutWithoutExpect) {
    const std::string data(3u << 20, 'd');
    RawServer server(Answer(RawServer::Response("ok")));
    Transaction t("127.0.0.1", server.Port(), "POST", "/");
    ASSERT_TRUE(t.Send("", data));
    EXPECT_EQ(t.ReadAll(), "ok");
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    ReceivedRequest got = server.Requests()[0];
    EXPECT_FALSE(got.Has("Expect"));
    EXPECT_EQ(got.Header("Content-Length"), std::to_string(data.size()));
    EXPECT_EQ(got.body.size(), data.size());
}

TEST(SendRequestTest, ProxyListSendsTheAbsoluteUriToTheProxy) {
    struct Case {
        std::string list;
        int port;
        std::string target;
    };
    RawServer proxy(Answer(RawServer::Response("via proxy")));
    const std::string at = "127.0.0.1:" + std::to_string(proxy.Port());
    const Case cases[] = {
        {"http=" + at, 8080, "http://orbiq-test.invalid:8080/a?b=1"},
        {"http= " + at, 80, "http://orbiq-test.invalid/a?b=1"},
        {at, 80, "http://orbiq-test.invalid/a?b=1"},
        {"ftp=127.0.0.1:1 http=" + at, 80, "http://orbiq-test.invalid/a?b=1"},
    };
    size_t seen = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        Transaction t("orbiq-test.invalid", c.port, "GET", "/a?b=1", c.list.c_str());
        ASSERT_TRUE(t.Send());
        EXPECT_EQ(t.ReadAll(), "via proxy");
        ASSERT_TRUE(proxy.WaitForRequests(++seen, 5s));
        ReceivedRequest got = proxy.Requests().back();
        EXPECT_EQ(got.requestLine, "GET " + c.target + " HTTP/1.1");
        EXPECT_EQ(got.Header("Host"), c.port == 80 ? "orbiq-test.invalid" : "orbiq-test.invalid:8080");
    }
}

TEST(CloseHandleTest, ClosingFromAnotherThreadEndsAPendingSend) {
    RawServer server([](const ReceivedRequest&, RawServer::Connection& c) {
        EXPECT_TRUE(c.WaitClientClosed(10s));
    });
    Transaction t("127.0.0.1", server.Port(), "GET", "/");
    HINTERNET internet = t.internet.get();
    std::thread closer([internet] {
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(InternetCloseHandle(internet));
    });
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(t.Send());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    closer.join();
    uint32_t count = 1;
    char c;
    EXPECT_FALSE(InternetReadFile(t.request.get(), &c, 1, &count));
    EXPECT_EQ(count, 0u);
    // Closed with their parent: closing them again fails, harmlessly.
    EXPECT_FALSE(InternetCloseHandle(t.request.get()));
    EXPECT_FALSE(InternetCloseHandle(t.connection.get()));
}

TEST(SendRequestTest, RefusedConnectionFailsEverything) {
    int port;
    { RawServer gone(nullptr); port = gone.Port(); }
    Transaction t("127.0.0.1", port, "GET", "/");
    EXPECT_FALSE(t.Send());
    char c;
    uint32_t count = 5;
    EXPECT_FALSE(InternetReadFile(t.request.get(), &c, 1, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(t.RawHeaders(), "<failed>");
}

TEST(ConnectTest, EmptyServerNameFails) {
    UniqueInternetHandle internet(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, "", "", 0));
    ASSERT_TRUE(internet);
    EXPECT_EQ(InternetConnectA(internet.get(), "", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0), nullptr);
}

// Each cookie test has loopback addresses of its own: the store lives as long as the process.
TEST(CookieTest, StoredCookieGoesToItsHostAndPathOnly) {
    ASSERT_TRUE(InternetSetCookieA("http://127.0.0.21", "k", "v; path=/a"));
    ASSERT_TRUE(InternetSetCookieA("http://127.0.0.21", "all", "1"));
    struct Case {
        const char* address;
        const char* path;
        const char* cookie;
    };
    for (Case c : {Case{"127.0.0.21", "/a/x", "k=v; all=1"}, Case{"127.0.0.21", "/b", "all=1"},
                   Case{"127.0.0.22", "/a/x", ""}}) {
        SCOPED_TRACE(std::string(c.address) + c.path);
        RawServer server(Answer(RawServer::Response("")), c.address);
        Transaction t(c.address, server.Port(), "GET", c.path);
        ASSERT_TRUE(t.Send());
        ASSERT_TRUE(server.WaitForRequests(1, 5s));
        EXPECT_EQ(server.Requests()[0].Header("Cookie"), c.cookie);
    }
}

TEST(CookieTest, ExpiredCookieRemovesTheStoredOne) {
    ASSERT_TRUE(InternetSetCookieA("http://127.0.0.23", "a", "1"));
    ASSERT_TRUE(InternetSetCookieA("http://127.0.0.23", "b", "2"));
    ASSERT_TRUE(InternetSetCookieA("http://127.0.0.23", "a", "x; expires=Thu, 01 Jan 1970 00:00:01 GMT"));
    ASSERT_TRUE(InternetSetCookieA("http://127.0.0.23", "b", "x; Max-Age=0"));
    ASSERT_TRUE(InternetSetCookieA("http://127.0.0.23", "c", "3; expires=Fri, 01 Jan 2100 00:00:00 GMT"));
    RawServer server(Answer(RawServer::Response("")), "127.0.0.23");
    Transaction t("127.0.0.23", server.Port(), "GET", "/");
    ASSERT_TRUE(t.Send());
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    EXPECT_EQ(server.Requests()[0].Header("Cookie"), "c=3");
}

TEST(CookieTest, RejectsCookiesThatCannotBelongToTheUrl) {
    EXPECT_FALSE(InternetSetCookieA("http://127.0.0.24", "d", "1; domain=example.com"));
    EXPECT_FALSE(InternetSetCookieA("http://127.0.0.24", "", "no-equals-sign"));
    EXPECT_FALSE(InternetSetCookieA("ftp://127.0.0.24", "e", "1"));
    RawServer server(Answer(RawServer::Response("")), "127.0.0.24");
    Transaction t("127.0.0.24", server.Port(), "GET", "/");
    ASSERT_TRUE(t.Send());
    ASSERT_TRUE(server.WaitForRequests(1, 5s));
    EXPECT_FALSE(server.Requests()[0].Has("Cookie"));
}

TEST(CookieTest, AnswersDoNotFillTheStoreByThemselves) {
    RawServer server(Answer(RawServer::Response("", "Set-Cookie: auto=1; path=/\r\n")), "127.0.0.25");
    for (int i = 0; i < 2; ++i) {
        Transaction t("127.0.0.25", server.Port(), "GET", "/");
        ASSERT_TRUE(t.Send());
        t.ReadAll();
    }
    ASSERT_TRUE(server.WaitForRequests(2, 5s));
    EXPECT_FALSE(server.Requests()[1].Has("Cookie"));
}

uint32_t QueryMs(HINTERNET internet, uint32_t option) {
    uint32_t value = 0, length = sizeof value;
    return InternetQueryOptionA(internet, option, &value, &length) ? value : 0xFFFFFFFFu;
}

bool SetMs(HINTERNET internet, uint32_t option, uint32_t ms) {
    return InternetSetOptionA(internet, option, &ms, sizeof ms);
}

TEST(TimeoutOptionTest, WinInetsDefaultsForEverySessionAndItsOwnValues) {
    const std::pair<uint32_t, uint32_t> defaults[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, 60000},
        {INTERNET_OPTION_SEND_TIMEOUT, 30000},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, 30000},
    };
    UniqueInternetHandle a(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, "", "", 0));
    for (auto [option, ms] : defaults) {
        EXPECT_EQ(QueryMs(nullptr, option), ms) << option;
        EXPECT_EQ(QueryMs(a.get(), option), ms) << option;
    }
    ASSERT_TRUE(SetMs(a.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, 700));
    EXPECT_EQ(QueryMs(a.get(), INTERNET_OPTION_RECEIVE_TIMEOUT), 700u);
    EXPECT_EQ(QueryMs(nullptr, INTERNET_OPTION_RECEIVE_TIMEOUT), 30000u) << "one session's own";
    UniqueInternetHandle b(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_DIRECT, "", "", 0));
    EXPECT_EQ(QueryMs(b.get(), INTERNET_OPTION_RECEIVE_TIMEOUT), 30000u);

    uint16_t shortValue = 5;
    EXPECT_FALSE(InternetSetOptionA(a.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &shortValue, sizeof shortValue));
    EXPECT_FALSE(SetMs(a.get(), 99, 5)) << "not an option of this layer";
    UniqueInternetHandle connection(InternetConnectA(a.get(), "127.0.0.1", 80, "", "", INTERNET_SERVICE_HTTP, 0, 0));
    EXPECT_FALSE(SetMs(connection.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, 5));
}

// A server that takes the request and then stays silent, before its answer or within its body:
// the receive time-out ends the wait, as WinINet's own does; the bytes read before it stay.
TEST(TimeoutOptionTest, ASilentServerFailsAfterTheReceiveTimeout) {
    struct Case {
        const char* what;
        std::string before;  // what the server sends before it falls silent
        bool headers;
        std::string body;
    };
    const Case cases[] = {
        {"no answer at all", "", false, ""},
        {"half a status line", "HTTP/1.1 200", false, ""},
        {"silent within the body", "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart", true, "part"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawServer server([&c](const ReceivedRequest&, RawServer::Connection& conn) {
            if (!c.before.empty()) conn.Send(c.before);
            conn.WaitClientClosed(20s);
        });
        Transaction t("127.0.0.1", server.Port(), "GET", "/");
        ASSERT_TRUE(SetMs(t.internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, 300));
        auto run = std::async(std::launch::async, [&] {
            bool sent = t.Send();
            return std::make_pair(sent, sent ? t.ReadAll() : std::string());
        });
        if (run.wait_for(15s) != std::future_status::ready) {
            InternetCloseHandle(t.internet.get());  // let the call go before failing
            run.wait();
            FAIL() << "still waiting";
        }
        auto [sent, body] = run.get();
        EXPECT_EQ(sent, c.headers);
        EXPECT_EQ(body, c.body);
    }
}

// A listener whose queue is full never completes a connection: the connect time-out ends it.
TEST(TimeoutOptionTest, AConnectionNeverTakenFailsAfterTheConnectTimeout) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {  // fill the queue; the later ones stay pending themselves
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fillers.push_back(fd);
    }
    std::this_thread::sleep_for(100ms);

    Transaction t("127.0.0.1", ntohs(address.sin_port), "GET", "/");
    ASSERT_TRUE(SetMs(t.internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, 300));
    auto run = std::async(std::launch::async, [&] { return t.Send(); });
    if (run.wait_for(15s) != std::future_status::ready) {
        InternetCloseHandle(t.internet.get());
        run.wait();
        ADD_FAILURE() << "still connecting";
    } else {
        EXPECT_FALSE(run.get());
    }
    for (int fd : fillers) ::close(fd);
    ::close(listener);
}

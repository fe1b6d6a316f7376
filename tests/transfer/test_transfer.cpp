// Downloads against servers on 127.0.0.1: cpp-httplib for well-formed replies, a raw socket
// server for one that cuts its body short and one that never answers.
#include "common/files.h"
#include "platform/transfer/transfer.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <thread>
#include "listening.h"

namespace orbiq::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Payload(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string data(size, '\0');
    for (auto& c : data) c = static_cast<char>(gen() & 0xFF);
    return data;
}

const std::string& FilePayload() {
    static const std::string data = Payload(3 << 20, 1);
    return data;
}
const std::string& SlowPayload() {
    static const std::string data = Payload(4 << 20, 2);
    return data;
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

struct Event {
    int32_t code;
    int32_t a3;
    int32_t a4;
    int64_t fileSize;   // size of the target on disk when the event came
    int32_t bytesDone;  // TransferBytesDone at that moment
};

// What one callback saw. The callbacks are plain functions, so the recorders are global.
struct Recorder {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Event> events;
    fs::path file;
    const TransferTask* task = nullptr;

    void Reset(const fs::path& target, const TransferTask* t) {
        std::lock_guard lock(mutex);
        events.clear();
        file = target;
        task = t;
    }
    std::vector<Event> Events() {
        std::lock_guard lock(mutex);
        return events;
    }
    bool WaitFor(int32_t code, std::chrono::milliseconds timeout = 5s) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] {
            for (const auto& e : events)
                if (e.code == code) return true;
            return false;
        });
    }
};
Recorder gRecorders[2];

template <int N>
int32_t OnEvent(int32_t code, int32_t, int32_t a3, int32_t a4, int32_t) {
    Recorder& r = gRecorders[N];
    std::error_code ec;
    auto size = fs::file_size(r.file, ec);
    Event e{code, a3, a4, ec ? -1 : static_cast<int64_t>(size), TransferBytesDone(*r.task)};
    std::lock_guard lock(r.mutex);
    r.events.push_back(e);
    r.changed.notify_all();
    return 0;
}

class HttpServer {
public:
    HttpServer() {
        server_.set_keep_alive_max_count(1);
        server_.Get("/file", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(FilePayload(), "application/octet-stream");
        });
        server_.Get("/redirect", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/file");
        });
        server_.Get("/chunked", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider("application/octet-stream",
                [](size_t offset, httplib::DataSink& sink) {
                    const auto& data = FilePayload();
                    if (offset >= data.size()) {
                        sink.done();
                        return true;
                    }
                    return sink.write(data.data() + offset, std::min<size_t>(65536, data.size() - offset));
                });
        });
        server_.Get("/slow", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(SlowPayload().size(), "application/octet-stream",
                [this](size_t offset, size_t length, httplib::DataSink& sink) {
                    std::this_thread::sleep_for(10ms);
                    return !stopping_ &&
                           sink.write(SlowPayload().data() + offset, std::min<size_t>(length, 32768));
                });
        });
        for (auto [path, status] : {std::pair{"/missing", 404}, std::pair{"/error", 500}}) {
            server_.Get(path, [status](const httplib::Request&, httplib::Response& res) {
                res.status = status;
                res.set_content("<html><body>error page</body></html>", "text/html");
            });
        }
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = orbiq::test::ListenInBackground(server_);
        while (!server_.is_running()) std::this_thread::sleep_for(1ms);
    }
    ~HttpServer() {
        stopping_ = true;
        server_.stop();
        thread_.join();
    }
    Text Url(const std::string& path) const {
        return Text("http://127.0.0.1:" + std::to_string(port_) + path);
    }

private:
    httplib::Server server_;
    std::atomic<bool> stopping_{false};
    int port_ = 0;
    std::thread thread_;
};

int ListeningSocket(int backlog, int& port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len);
    if (backlog > 0) ::listen(fd, backlog);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

// Accepts connections and hands each, once its request has arrived, to a handler; a handler
// that wants the connection kept open returns false.
class RawServer {
public:
    explicit RawServer(std::function<bool(int)> handler) : handler_(std::move(handler)) {
        listen_ = ListeningSocket(8, port_);
        thread_ = std::thread([this] { Loop(); });
    }
    ~RawServer() {
        stopping_ = true;
        thread_.join();
        for (int fd : held_) ::close(fd);
        ::close(listen_);
    }
    Text Url() const { return Text("http://127.0.0.1:" + std::to_string(port_) + "/x"); }

private:
    void Loop() {
        while (!stopping_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) continue;
            int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                request.append(buffer, static_cast<size_t>(n));
            }
            if (handler_(fd))
                ::close(fd);
            else
                held_.push_back(fd);
        }
    }

    std::function<bool(int)> handler_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::vector<int> held_;
    std::thread thread_;
};

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("orbiq-transfer-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        target_ = dir_ / "target.bin";
    }
    void TearDown() override {
        TransferDestroy(task_);
        fs::remove_all(dir_);
    }

    // Starts task_ on url into target with recorder N's callback.
    template <int N = 0>
    void Start(const Text& url, const fs::path& target, const Text& localPath, int64_t cap = kTransferMaxBytes) {
        gRecorders[N].Reset(target, &task_);
        TransferTaskParams params = DefaultTransferTaskParams();
        params.sourceUrl = url;
        params.localPath = localPath;
        params.eventCallback = &OnEvent<N>;
        TransferStart(task_, params, cap);
    }
    template <int N = 0>
    void Start(const Text& url, int64_t cap = kTransferMaxBytes) { Start<N>(url, target_, Text(target_.string()), cap); }

    bool WaitIdle(std::chrono::milliseconds timeout = 5s) {
        auto end = Clock::now() + timeout;
        while (TransferBusy(task_)) {
            if (Clock::now() > end) return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }

    // Checks a completed download: 3 first with the file at full size, 16s in between with
    // bytes done never falling, a last 16 at the total, then 4.
    void ExpectCompleted(const std::vector<Event>& events, const std::string& content) {
        const auto size = static_cast<int32_t>(content.size());
        ASSERT_GE(events.size(), 3u);
        EXPECT_EQ(events.front().code, kTransferSizeKnown);
        EXPECT_EQ(events.front().a3, size);
        EXPECT_EQ(events.front().fileSize, size);
        EXPECT_EQ(events.back().code, kTransferFinished);
        const Event& last = events[events.size() - 2];
        EXPECT_EQ(last.code, kTransferProgress);
        EXPECT_EQ(last.bytesDone, size);
        int32_t done = 0;
        for (size_t i = 1; i + 1 < events.size(); ++i) {
            EXPECT_EQ(events[i].code, kTransferProgress) << "event " << i;
            EXPECT_GE(events[i].bytesDone, done);
            EXPECT_LE(events[i].bytesDone, size);
            done = events[i].bytesDone;
        }
    }

    fs::path dir_;
    fs::path target_;
    TransferTask task_;
};

TEST(TransferParamsTest, DefaultRecordHoldsTheComponentDefaults) {
    TransferTaskParams p = DefaultTransferTaskParams();
    EXPECT_EQ(p.field1, 1);
    EXPECT_TRUE(p.sourceUrl.Empty());
    EXPECT_TRUE(p.localPath.Empty());
    EXPECT_EQ(p.userName.Length(), 9);
    EXPECT_EQ(p.password.Length(), 17);
    EXPECT_NE(p.password.Find(Text("@")), -1);
    std::vector<int32_t> numbers{p.field6, p.field7, p.field8, p.field9, p.field10,
                                 p.field11, p.field12, p.field13};
    EXPECT_EQ(numbers, (std::vector<int32_t>{1, 0, 20000, 20000, 20000, 1000, 20480, 1024}));
    EXPECT_EQ(p.infoCallback, nullptr);
    EXPECT_EQ(p.eventCallback, nullptr);
    EXPECT_TRUE(p.field16.Empty());
    EXPECT_EQ(p.field17, 1);
    EXPECT_EQ(p.field18, Text(".exe|.rar|.zip|.gif|.jpg|.mp3|.rm"));
    EXPECT_TRUE(p.field19.Empty());
    EXPECT_EQ(p.field20, 0u);
}

TEST_F(TransferTest, CompletesWithTheFileAtFullSizeFromTheFirstEvent) {
    HttpServer http;
    // The same task object serves every download, as the system uses it.
    for (const char* path : {"/file", "/redirect", "/chunked"}) {
        SCOPED_TRACE(path);
        fs::remove(target_);
        Start(http.Url(path));
        ASSERT_TRUE(gRecorders[0].WaitFor(kTransferFinished));
        ASSERT_TRUE(WaitIdle());
        ExpectCompleted(gRecorders[0].Events(), FilePayload());
        EXPECT_EQ(TransferBytesDone(task_), static_cast<int32_t>(FilePayload().size()));
        EXPECT_EQ(TransferSpeed(task_), 0);
        EXPECT_TRUE(ReadAll(target_) == FilePayload());
    }
}

TEST_F(TransferTest, FailedRequestsReportNothingAndLeaveTheTargetAlone) {
    HttpServer http;
    int refusedPort = 0;
    int bound = ListeningSocket(0, refusedPort);  // bound, never listening: connects are refused
    const Text urls[] = {
        http.Url("/missing"),
        http.Url("/error"),
        Text("http://127.0.0.1:" + std::to_string(refusedPort) + "/file"),
        Text("ftp://127.0.0.1/file"),
        Text(),
    };
    for (const auto& url : urls) {
        SCOPED_TRACE(url.Bytes());
        WriteAll(target_, "previous file");
        Start(url);
        ASSERT_TRUE(WaitIdle());
        EXPECT_TRUE(gRecorders[0].Events().empty());
        EXPECT_EQ(ReadAll(target_), "previous file");
        EXPECT_EQ(TransferBytesDone(task_), 0);
    }
    ::close(bound);
}

TEST_F(TransferTest, BodyShorterThanAnnouncedNeverFinishes) {
    constexpr int32_t kAnnounced = 100000;
    constexpr int32_t kSent = 40000;
    RawServer server([](int fd) {
        std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kAnnounced) +
                            "\r\nConnection: close\r\n\r\n" + std::string(kSent, 'x');
        ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
        return true;
    });
    Start(server.Url());
    ASSERT_TRUE(WaitIdle());
    auto events = gRecorders[0].Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().code, kTransferSizeKnown);
    EXPECT_EQ(events.front().a3, kAnnounced);
    EXPECT_EQ(events.front().fileSize, kAnnounced);
    for (const auto& e : events) {
        EXPECT_NE(e.code, kTransferFinished);
        EXPECT_LT(e.bytesDone, kAnnounced);
    }
    EXPECT_EQ(TransferBytesDone(task_), kSent);
    // A broken download does not leave a full-sized file that looks complete.
    EXPECT_FALSE(fs::exists(target_));
}

TEST_F(TransferTest, ADownloadPastItsCapFailsWithoutAFile) {
    HttpServer http;
    const auto size = static_cast<int64_t>(FilePayload().size());
    struct Case {
        const char* path;  // /file announces its length, /chunked does not
        int64_t cap;
        bool completes;
    };
    const Case cases[] = {
        {"/file", size - 1, false},
        {"/chunked", size - 1, false},
        {"/file", size, true},
        {"/chunked", size, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " cap " + std::to_string(c.cap));
        fs::remove(target_);
        Start(http.Url(c.path), c.cap);
        ASSERT_TRUE(WaitIdle());
        EXPECT_LE(TransferBytesDone(task_), c.cap);
        if (c.completes) {
            ExpectCompleted(gRecorders[0].Events(), FilePayload());
            EXPECT_TRUE(ReadAll(target_) == FilePayload());
        } else {
            EXPECT_TRUE(gRecorders[0].Events().empty());
            EXPECT_FALSE(fs::exists(target_));
        }
    }
}

TEST_F(TransferTest, StopAndDestroyReturnPromptlyWhileTheServerIsSilent) {
    RawServer server([](int) { return false; });  // reads the request, never answers
    using Op = std::function<void(TransferTask&)>;
    const std::pair<const char*, Op> ops[] = {
        {"stop", [](TransferTask& t) { ByteSet leftover{1, 2, 3}; TransferStop(t, leftover, 2);
                                       EXPECT_TRUE(leftover.empty()); }},
        {"destroy", [](TransferTask& t) { TransferDestroy(t); }},
    };
    for (const auto& [name, op] : ops) {
        SCOPED_TRACE(name);
        Start(server.Url());
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(TransferBusy(task_));
        auto begin = Clock::now();
        op(task_);
        EXPECT_LT(Clock::now() - begin, 500ms);
        EXPECT_FALSE(TransferBusy(task_));
        EXPECT_TRUE(gRecorders[0].Events().empty());
    }
}

TEST_F(TransferTest, StartingARunningTaskAgainReplacesItsDownload) {
    HttpServer http;
    Start<0>(http.Url("/slow"));
    ASSERT_TRUE(gRecorders[0].WaitFor(kTransferProgress));
    Start<1>(http.Url("/file"));  // same task, same target
    const size_t oldCount = gRecorders[0].Events().size();
    ASSERT_TRUE(gRecorders[1].WaitFor(kTransferFinished));
    ASSERT_TRUE(WaitIdle());
    std::this_thread::sleep_for(100ms);
    auto old = gRecorders[0].Events();
    EXPECT_EQ(old.size(), oldCount);
    for (const auto& e : old) EXPECT_NE(e.code, kTransferFinished);
    ExpectCompleted(gRecorders[1].Events(), FilePayload());
    EXPECT_TRUE(ReadAll(target_) == FilePayload());
}

TEST_F(TransferTest, DestroyDuringADownloadSilencesItsCallback) {
    HttpServer http;
    Start(http.Url("/slow"));
    ASSERT_TRUE(gRecorders[0].WaitFor(kTransferProgress));
    std::this_thread::sleep_for(500ms);
    // Mid-download the task and the component both show a speed.
    EXPECT_GT(TransferSpeed(task_), 0);
    EXPECT_GT(TransferRate(), 0);
    int32_t done = TransferBytesDone(task_);
    EXPECT_GT(done, 0);
    EXPECT_LT(done, static_cast<int32_t>(SlowPayload().size()));

    auto begin = Clock::now();
    TransferDestroy(task_);
    EXPECT_LT(Clock::now() - begin, 500ms);
    const size_t count = gRecorders[0].Events().size();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(gRecorders[0].Events().size(), count);
    EXPECT_EQ(TransferBytesDone(task_), 0);
    EXPECT_EQ(TransferRate(), 0);
    EXPECT_FALSE(fs::exists(target_));
    TransferDestroy(task_);  // a second destroy is harmless
}

TEST(TransferTaskTest, DestroyOfANeverStartedTaskIsHarmless) {
    TransferTask task;
    TransferDestroy(task);
    ByteSet leftover;
    TransferStop(task, leftover, 2);
    EXPECT_EQ(TransferBytesDone(task), 0);
    EXPECT_EQ(TransferSpeed(task), 0);
    EXPECT_FALSE(TransferBusy(task));
}

TEST_F(TransferTest, GbkPathWithBackslashesLandsInTheNativeFolder) {
    HttpServer http;
    const fs::path folder = dir_ / "淺水";
    fs::create_directories(folder);
    const fs::path native = folder / "解码器.exe";
    Start(http.Url("/file"), native, Text(dir_.string()) + TXT("\\淺水\\解码器.exe"));
    ASSERT_TRUE(gRecorders[0].WaitFor(kTransferFinished));
    ASSERT_TRUE(WaitIdle());
    ExpectCompleted(gRecorders[0].Events(), FilePayload());
    EXPECT_TRUE(ReadAll(native) == FilePayload());
}

}  // namespace
}  // namespace orbiq::platform

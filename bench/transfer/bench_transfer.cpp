// Throughput of the file-transfer component against `curl -o` on the same 200 MB file,
// served over loopback by a small sendfile server, in the same run. Prints the ratio.
#include "platform/transfer/transfer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using orbiq::Text;
namespace platform = orbiq::platform;

constexpr size_t kFileBytes = 200u << 20;
constexpr int kRounds = 5;

// Serves one file to every GET, HTTP/1.0 with a Content-Length, one thread per connection.
class FileServer {
public:
    explicit FileServer(const fs::path& file) : file_(file), size_(fs::file_size(file)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), len);
        ::listen(listen_, 16);
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Loop(); });
    }
    ~FileServer() {
        stopping_ = true;
        thread_.join();
        for (auto& t : connections_) t.join();
        ::close(listen_);
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/big.bin"; }

private:
    void Loop() {
        while (!stopping_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) connections_.emplace_back([this, fd] { Serve(fd); });
        }
    }
    void Serve(int fd) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, static_cast<size_t>(n));
        }
        std::string head = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                           std::to_string(size_) + "\r\nConnection: close\r\n\r\n";
        if (::send(fd, head.data(), head.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(head.size())) {
            int in = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
            off_t offset = 0;
            while (in >= 0 && offset < static_cast<off_t>(size_))
                if (::sendfile(fd, in, &offset, size_ - static_cast<size_t>(offset)) <= 0) break;
            if (in >= 0) ::close(in);
        }
        ::close(fd);
    }

    fs::path file_;
    size_t size_;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
    std::vector<std::thread> connections_;
};

std::mutex gMutex;
std::condition_variable gChanged;
bool gFinished = false;

int32_t OnEvent(int32_t code, int32_t, int32_t, int32_t, int32_t) {
    if (code == platform::kTransferFinished) {
        std::lock_guard lock(gMutex);
        gFinished = true;
        gChanged.notify_all();
    }
    return 0;
}

double RunComponent(platform::TransferTask& task, const std::string& url, const fs::path& out) {
    {
        std::lock_guard lock(gMutex);
        gFinished = false;
    }
    platform::TransferTaskParams params = platform::DefaultTransferTaskParams();
    params.sourceUrl = Text(url);
    params.localPath = Text(out.string());
    params.eventCallback = &OnEvent;
    auto begin = Clock::now();
    platform::TransferStart(task, params);
    std::unique_lock lock(gMutex);
    if (!gChanged.wait_for(lock, std::chrono::seconds(120), [] { return gFinished; })) return -1;
    return std::chrono::duration<double>(Clock::now() - begin).count();
}

double RunCurl(const std::string& url, const fs::path& out) {
    std::string outPath = out.string();
    std::vector<char*> argv{const_cast<char*>("curl"), const_cast<char*>("-s"),
                            const_cast<char*>("--noproxy"), const_cast<char*>("*"),
                            const_cast<char*>("-o"), outPath.data(),
                            const_cast<char*>(url.c_str()), nullptr};
    auto begin = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1;
}

bool SameContent(const fs::path& a, const fs::path& b) {
    std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (fa && fb) {
        fa.read(ba.data(), ba.size());
        fb.read(bb.data(), bb.size());
        if (fa.gcount() != fb.gcount() || !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin()))
            return false;
    }
    return fa.eof() && fb.eof();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    fs::path dir = fs::temp_directory_path() / ("orbiq-bench-transfer-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path source = dir / "big.bin";
    {
        std::mt19937_64 gen(7);
        std::vector<uint64_t> block(1 << 17);
        std::ofstream out(source, std::ios::binary);
        for (size_t done = 0; done < kFileBytes; done += block.size() * sizeof(uint64_t)) {
            for (auto& w : block) w = gen();
            out.write(reinterpret_cast<const char*>(block.data()), block.size() * sizeof(uint64_t));
        }
    }
    FileServer server(source);
    platform::TransferTask task;
    std::vector<double> ours, theirs;
    bool contentOk = true;
    for (int round = 0; round < kRounds; ++round) {
        fs::path a = dir / "component.bin";
        fs::path b = dir / "curl.bin";
        // Alternate the order so neither side always meets a warmer cache.
        double t1, t2;
        if (round % 2 == 0) {
            t1 = RunComponent(task, server.Url(), a);
            t2 = RunCurl(server.Url(), b);
        } else {
            t2 = RunCurl(server.Url(), b);
            t1 = RunComponent(task, server.Url(), a);
        }
        if (t1 < 0 || t2 < 0) {
            std::fprintf(stderr, "round %d failed (component %.3f s, curl %.3f s)\n", round, t1, t2);
            fs::remove_all(dir);
            return 1;
        }
        if (round == 0) contentOk = SameContent(source, a) && SameContent(source, b);
        ours.push_back(t1);
        theirs.push_back(t2);
        std::printf("round %d: component %.3f s, curl %.3f s\n", round, t1, t2);
        fs::remove(a);
        fs::remove(b);
    }
    platform::TransferDestroy(task);
    fs::remove_all(dir);

    const double mb = static_cast<double>(kFileBytes) / (1 << 20);
    double oursMedian = Median(ours), theirsMedian = Median(theirs);
    std::printf("file %.0f MB over loopback, %d rounds, content %s\n", mb, kRounds,
                contentOk ? "identical" : "DIFFERENT");
    std::printf("component: median %.3f s = %.0f MB/s (best %.3f s)\n", oursMedian, mb / oursMedian,
                *std::min_element(ours.begin(), ours.end()));
    std::printf("curl -o:   median %.3f s = %.0f MB/s (best %.3f s)\n", theirsMedian, mb / theirsMedian,
                *std::min_element(theirs.begin(), theirs.end()));
    std::printf("throughput ratio component/curl: %.2f (goal 0.90)\n", theirsMedian / oursMedian);
    return contentOk ? 0 : 1;
}

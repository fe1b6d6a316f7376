// Starts and stops one server of tests/media/live_server.sh (a real streaming server fed by
// ffmpeg, on 127.0.0.1) in its own process group. ORBIQ_LIVE_SERVER_SCRIPT names the script.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QTemporaryDir>
#include <QTest>

namespace orbiq::test {

inline int UnusedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    ::close(fd);
    return port;
}

inline bool Listening(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

// One server of live_server.sh in its own process group.
class LiveServer {
public:
    explicit LiveServer(std::string kind) : kind_(std::move(kind)), port_(UnusedPort()) {}
    ~LiveServer() { Stop(); }
    LiveServer(const LiveServer&) = delete;
    LiveServer& operator=(const LiveServer&) = delete;

    // Starts the server and waits until it takes connections.
    bool Start() {
        Stop();
        const std::string dir = dir_.path().toStdString() + "/" + kind_;
        const std::string port = std::to_string(port_);
        const std::string ready = dir + "/ready";
        ::unlink(ready.c_str());  // from the run before
        std::fflush(nullptr);     // or the child's freopen writes the buffered lines again
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);
            std::freopen("/dev/null", "w", stdout);
            ::execl("/bin/bash", "bash", ORBIQ_LIVE_SERVER_SCRIPT, kind_.c_str(), port.c_str(), dir.c_str(),
                    static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        ::setpgid(pid_, pid_);
        bool ended = false;  // the script gave up: a server package is missing
        const bool up = QTest::qWaitFor([&] {
            ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
            return ended || ::access(ready.c_str(), F_OK) == 0;
        }, 20000);
        if (ended) pid_ = -1;
        return up && !ended;
    }
    // Stops the server and its feeders.
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(-pid_, SIGCONT);
        ::kill(-pid_, SIGTERM);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (::waitpid(pid_, nullptr, WNOHANG) == 0 && std::chrono::steady_clock::now() < until) QTest::qWait(20);
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        (void)QTest::qWaitFor([&] { return !Listening(port_); }, 5000);
        pid_ = -1;
    }
    void Freeze() { ::kill(-pid_, SIGSTOP); }
    void Thaw() { ::kill(-pid_, SIGCONT); }
    int Port() const { return port_; }

private:
    std::string kind_;
    int port_;
    QTemporaryDir dir_;
    pid_t pid_ = -1;
};

}  // namespace orbiq::test

// What the engine tests share: ports that accept and never answer or refuse, and a recorder
// of PlayStateChange that checks each call.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <poll.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QTest>
#include <QThread>
#include <QWidget>

#include "platform/media/media_engine.h"

namespace orbiq::platform {

using namespace std::chrono_literals;

// A TCP port that accepts connections (the kernel's backlog) and never answers.
class SilentPort {
public:
    SilentPort() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), len) == 0 && ::listen(fd_, 16) == 0 &&
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
            port_ = ntohs(addr.sin_port);
    }
    ~SilentPort() { if (fd_ >= 0) ::close(fd_); }
    SilentPort(const SilentPort&) = delete;
    SilentPort& operator=(const SilentPort&) = delete;
    int Fd() const { return fd_; }
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
};

// A port that accepts every connection, keeps what the client sent first (the first packet
// names the protocol) and never answers.
class RecordingPort {
public:
    RecordingPort() {
        thread_ = std::thread([this] { Serve(); });
    }
    ~RecordingPort() {
        done_ = true;
        thread_.join();
        for (int fd : clients_) ::close(fd);
    }
    RecordingPort(const RecordingPort&) = delete;
    RecordingPort& operator=(const RecordingPort&) = delete;
    int Port() const { return listener_.Port(); }
    std::vector<std::string> Openings() {
        std::lock_guard<std::mutex> lock(mutex_);
        return openings_;
    }

private:
    void Serve() {
        std::vector<pollfd> fds{{listener_.Fd(), POLLIN, 0}};
        std::vector<std::string*> heads{nullptr};
        while (!done_) {
            if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
            for (size_t i = 0; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                if (i == 0) {
                    const int fd = ::accept(listener_.Fd(), nullptr, nullptr);
                    if (fd < 0) continue;
                    clients_.push_back(fd);
                    std::lock_guard<std::mutex> lock(mutex_);
                    openings_.emplace_back();
                    fds.push_back({fd, POLLIN, 0});
                    heads.push_back(nullptr);
                    continue;
                }
                char buf[512];
                const ssize_t n = ::recv(fds[i].fd, buf, sizeof buf, 0);
                if (n <= 0) {
                    fds[i].events = 0;  // closed by the client: kept open on our side, unread
                    continue;
                }
                std::lock_guard<std::mutex> lock(mutex_);
                std::string& head = openings_[i - 1];
                if (head.size() < 512) head.append(buf, static_cast<size_t>(n));
            }
        }
    }

    SilentPort listener_;  // accepts; this class reads what arrives
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::vector<std::string> openings_;
    std::vector<int> clients_;
    std::thread thread_;
};

// A port with nothing listening: bound once, then released.
int RefusedPort() {
    SilentPort probe;
    return probe.Port();
}

// The states as text, for messages and the record of a run.
inline std::string StateList(const std::vector<int>& states) {
    std::string out;
    for (int s : states) out += (out.empty() ? "" : " ") + std::to_string(s);
    return out;
}

// Records every PlayStateChange and checks what each call saw.
class Recorder {
public:
    explicit Recorder(MediaEngine& engine) : engine_(engine) {
        QObject::connect(&engine, &MediaEngine::PlayStateChange, [this](int state) {
            states.push_back(state);
            if (QThread::currentThread() != qApp->thread()) offUiThread = true;
            if (engine_.PlayState() != state) mismatched = true;
            if (states.size() > 1 && states[states.size() - 2] == state) repeated = true;
        });
    }
    // Waits until state is the latest one signalled after the first `from` states.
    bool WaitFor(int state, std::chrono::milliseconds timeout = 5s, size_t from = 0) {
        return QTest::qWaitFor([&] { return states.size() > from && states.back() == state; },
                               static_cast<int>(timeout.count()));
    }
    // The states since index from.
    std::vector<int> Since(size_t from) const { return {states.begin() + static_cast<long>(from), states.end()}; }
    // Nothing more happens for a while.
    bool Settled(std::chrono::milliseconds quiet = 400ms) {
        const size_t before = states.size();
        QTest::qWait(static_cast<int>(quiet.count()));
        return states.size() == before;
    }
    void ExpectClean() const {
        EXPECT_FALSE(offUiThread) << "PlayStateChange off the UI thread";
        EXPECT_FALSE(mismatched) << "PlayState() differs from the state signalled";
        EXPECT_FALSE(repeated) << "PlayStateChange without a change";
    }

    std::vector<int> states;
    bool offUiThread = false, mismatched = false, repeated = false;

private:
    MediaEngine& engine_;
};

struct Player {
    QWidget parent;
    std::unique_ptr<MediaEngine> engine = CreateMpvEngine(&parent);
    Recorder rec{*engine};
};

}  // namespace orbiq::platform

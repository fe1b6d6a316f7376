#include "site/stalling_host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

namespace orbiq::site {
namespace {

using Clock = std::chrono::steady_clock;

// Longer than any client waits at a byte a second.
const std::string kTrickledAnswer =
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: 64\r\nConnection: close\r\n\r\n" +
    std::string(64, 'z');

struct Connection {
    int fd;
    size_t sent = 0;
    Clock::time_point nextByte;
};

}  // namespace

StallingHost::StallingHost(SiteStall mode) : mode_(mode) {}

StallingHost::~StallingHost() { Stop(); }

int StallingHost::Listen(const std::string& host, int port) {
    listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return -1;
    int yes = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof address;
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
        bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listenFd_, 128) != 0 ||
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(stopFds_, O_CLOEXEC) != 0) {
        Stop();
        return -1;
    }
    thread_ = std::thread([this] { Run(); });
    return ntohs(address.sin_port);
}

void StallingHost::Stop() {
    if (thread_.joinable()) {
        char byte = 0;
        (void)!write(stopFds_[1], &byte, 1);
        thread_.join();
    }
    for (int* fd : {&listenFd_, &stopFds_[0], &stopFds_[1]}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

void StallingHost::Run() {
    std::vector<Connection> connections;
    for (;;) {
        std::vector<pollfd> fds{{stopFds_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
        for (const Connection& c : connections) fds.push_back({c.fd, POLLIN, 0});
        int timeoutMs = 1000;
        if (mode_ == SiteStall::Trickle) {
            for (const Connection& c : connections) {
                auto left = std::chrono::ceil<std::chrono::milliseconds>(c.nextByte - Clock::now()).count();
                timeoutMs = static_cast<int>(std::clamp<long long>(left, 0, timeoutMs));
            }
        }
        if (poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) break;
        if (fds[0].revents) break;
        std::vector<int> gone;
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            char buffer[4096];
            ssize_t n = recv(fds[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) gone.push_back(fds[i].fd);  // the client left
        }
        if (fds[1].revents & POLLIN) {
            int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                ++accepted_;
                connections.push_back({fd, 0, Clock::now() + std::chrono::seconds(1)});
            }
        }
        if (mode_ == SiteStall::Trickle) {
            for (Connection& c : connections) {
                if (Clock::now() < c.nextByte || c.sent >= kTrickledAnswer.size()) continue;
                if (send(c.fd, kTrickledAnswer.data() + c.sent, 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1) ++c.sent;
                c.nextByte += std::chrono::seconds(1);
                if (c.sent == kTrickledAnswer.size()) gone.push_back(c.fd);
            }
        }
        for (int fd : gone) {
            auto it = std::find_if(connections.begin(), connections.end(), [fd](const Connection& c) { return c.fd == fd; });
            if (it == connections.end()) continue;
            close(fd);
            connections.erase(it);
        }
    }
    for (const Connection& c : connections) close(c.fd);
}

}  // namespace orbiq::site

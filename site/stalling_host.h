// A product web site that misbehaves as slow real ones do: it accepts every connection and
// then never answers, or answers a byte a second. One thread serves every connection.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace orbiq::site {

enum class SiteStall {
    None,
    Silent,   // reads the request, never writes a byte, keeps the connection open
    Trickle,  // writes a 200 answer (status line and headers included) one byte a second
};

class StallingHost {
public:
    explicit StallingHost(SiteStall mode);
    ~StallingHost();
    StallingHost(const StallingHost&) = delete;
    StallingHost& operator=(const StallingHost&) = delete;

    // Listens on host:port (port 0: a free one); the port, or -1 when it cannot be bound.
    int Listen(const std::string& host, int port);
    // Closes every connection and the listening socket.
    void Stop();
    // Connections accepted so far.
    int Accepted() const { return accepted_.load(); }

private:
    void Run();
    SiteStall mode_;
    int listenFd_ = -1;
    int stopFds_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<int> accepted_{0};
};

}  // namespace orbiq::site

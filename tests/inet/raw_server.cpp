#include "tests/inet/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace orbiq::testing {
namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

}  // namespace

std::string ReceivedRequest::Header(std::string_view name) const {
    for (const std::string& line : headerLines) {
        size_t colon = line.find(':');
        if (colon == std::string::npos || Lower(line.substr(0, colon)) != Lower(name)) continue;
        size_t start = line.find_first_not_of(' ', colon + 1);
        return start == std::string::npos ? std::string() : line.substr(start);
    }
    return {};
}

bool ReceivedRequest::Has(std::string_view name) const {
    for (const std::string& line : headerLines) {
        size_t colon = line.find(':');
        if (colon != std::string::npos && Lower(line.substr(0, colon)) == Lower(name)) return true;
    }
    return false;
}

bool RawServer::Connection::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool RawServer::Connection::Sleep(std::chrono::milliseconds time) {
    std::unique_lock lock(server_.mutex_);
    return server_.changed_.wait_for(lock, time, [this] { return server_.stopping_.load(); });
}

bool RawServer::Connection::WaitClientClosed(std::chrono::milliseconds time) {
    auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end && !server_.stopping_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) > 0) {
            char c;
            ssize_t n = ::recv(fd_, &c, 1, 0);
            if (n <= 0) return true;
        }
    }
    return false;
}

RawServer::RawServer(Handler handler, const std::string& address)
    : handler_(std::move(handler)), address_(address) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = 0;
    ::inet_pton(AF_INET, address.c_str(), &addr.sin_addr);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 16) != 0)
        throw std::runtime_error("cannot listen on " + address);
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

RawServer::~RawServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    acceptThread_.join();
    for (std::thread& t : threads_) t.join();
    ::close(listenFd_);
}

std::string RawServer::Url(const std::string& path) const {
    return "http://" + address_ + ":" + std::to_string(port_) + path;
}

std::vector<ReceivedRequest> RawServer::Requests() {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool RawServer::WaitForRequests(size_t count, std::chrono::milliseconds time) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, time, [&] { return requests_.size() >= count; });
}

std::string RawServer::Response(const std::string& body, const std::string& extraHeaders,
                                const std::string& status) {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
}

void RawServer::AcceptLoop() {
    while (!stopping_) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0) continue;
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            break;
        }
        openFds_.push_back(fd);
        threads_.emplace_back([this, fd] { Serve(fd); });
    }
}

void RawServer::Serve(int fd) {
    std::string data;
    char buffer[65536];
    size_t headEnd = std::string::npos;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        data.append(buffer, static_cast<size_t>(n));
    }
    if (headEnd != std::string::npos) {
        ReceivedRequest request;
        request.head = data.substr(0, headEnd + 2);
        size_t pos = 0;
        for (size_t eol; (eol = request.head.find("\r\n", pos)) != std::string::npos; pos = eol + 2) {
            std::string line = request.head.substr(pos, eol - pos);
            if (pos == 0) request.requestLine = line;
            else request.headerLines.push_back(line);
        }
        size_t length = std::strtoul(request.Header("Content-Length").c_str(), nullptr, 10);
        request.body = data.substr(headEnd + 4);
        while (request.body.size() < length) {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.body.append(buffer, static_cast<size_t>(n));
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        changed_.notify_all();
        Connection connection(*this, fd);
        if (handler_) handler_(request, connection);
    }
    std::lock_guard lock(mutex_);
    openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

}  // namespace orbiq::testing

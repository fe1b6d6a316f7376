// A loopback HTTP server for tests: keeps the exact bytes of every request it receives and
// answers through a handler that writes raw bytes, trickles, stays silent or closes.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace orbiq::testing {

struct ReceivedRequest {
    std::string head;  // request line and header lines with their CR LF, up to the empty line
    std::string body;  // Content-Length bytes
    std::string requestLine;
    std::vector<std::string> headerLines;  // in order, without CR LF

    // Value of the first header with this name (case ignored); "" when absent.
    std::string Header(std::string_view name) const;
    bool Has(std::string_view name) const;
};

class RawServer {
public:
    class Connection {
    public:
        bool Send(std::string_view bytes);
        // Sleeps up to the given time; true when the server is stopping.
        bool Sleep(std::chrono::milliseconds time);
        // Waits until the client closes its end; false when it does not within the time.
        bool WaitClientClosed(std::chrono::milliseconds time);

    private:
        friend class RawServer;
        Connection(RawServer& server, int fd) : server_(server), fd_(fd) {}
        RawServer& server_;
        int fd_;
    };
    using Handler = std::function<void(const ReceivedRequest&, Connection&)>;

    explicit RawServer(Handler handler, const std::string& address = "127.0.0.1");
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    int Port() const { return port_; }
    // "http://address:port" followed by path.
    std::string Url(const std::string& path = "/") const;
    std::vector<ReceivedRequest> Requests();
    bool WaitForRequests(size_t count, std::chrono::milliseconds time);

    // An answer with Content-Length and "Connection: close"; extraHeaders end in CR LF each.
    static std::string Response(const std::string& body, const std::string& extraHeaders = "",
                                const std::string& status = "200 OK");

private:
    void AcceptLoop();
    void Serve(int fd);

    Handler handler_;
    std::string address_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ReceivedRequest> requests_;
    std::vector<int> openFds_;
    std::vector<std::thread> threads_;
    std::thread acceptThread_;
};

}  // namespace orbiq::testing

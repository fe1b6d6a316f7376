// Starts a bound cpp-httplib server for a test.
#pragma once

#include <httplib.h>

#include <chrono>
#include <thread>

namespace orbiq::test {

// Runs the server's accept loop on a thread and returns once it listens: stop() does nothing
// to a server that has not started listening, so a test ending at once would hang its join.
inline std::thread ListenInBackground(httplib::Server& server) {
    std::thread thread([&server] { server.listen_after_bind(); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server.is_running() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return thread;
}

}  // namespace orbiq::test

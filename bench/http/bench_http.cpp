// CPU used while SendHttpRequest waits 3 s for a slow loopback reply, as a share of the wait
// (getrusage user + system of the whole process). Goal: under 2 %; a spinning wait uses 100 %.
// Run: build/bench/http/bench_http
#include "web/http_request.h"

#include <httplib.h>

#include <QCoreApplication>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void Measure(const char* label, const std::string& url) {
    double cpuBefore = CpuSeconds();
    auto start = std::chrono::steady_clock::now();
    orbiq::ByteSet body = orbiq::SendHttpRequest(orbiq::Text(url), {}, {}, {}, {}, 30);
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = CpuSeconds() - cpuBefore;
    std::printf("%-18s wait %.2f s, CPU %.3f s = %.2f %% of the wait, body %zu bytes\n", label, wall,
                cpu, 100.0 * cpu / wall, body.size());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    httplib::Server server;
    server.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        res.set_content("slow reply", "text/plain");
    });
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/slow";

    Measure("event-loop thread", url);
    std::thread plain([&] { Measure("plain thread", url); });
    plain.join();

    server.stop();
    serving.join();
    return 0;
}

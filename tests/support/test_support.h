// Shared fixtures: a local site on free ports, a closed port, waiting with events.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>

#include <functional>
#include <memory>
#include <random>
#include <string>

#include "common/hosts.h"
#include "platform/ui/ui.h"
#include "site/site_server.h"

namespace orbiq::test {

// Processes events until pred holds or the time runs out; true when it held. Between events
// it sleeps (a timer wakes it to test pred again): a loop that never sleeps starves timers of
// the glib dispatcher, Qt WebEngine's among them.
inline bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000) {
    QElapsedTimer t;
    t.start();
    QTimer wake;
    wake.start(20);
    while (!pred()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Processes events for ms milliseconds.
inline void Pump(int ms) { WaitFor([] { return false; }, ms); }

// size pseudo-random bytes, the same for the same seed.
inline std::string Payload(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string data(size, '\0');
    for (auto& c : data) c = static_cast<char>(gen() & 0xFF);
    return data;
}
inline std::string AsString(const ByteSet& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Runs script inside the wait of a modal window that open loads; a guard destroys the window
// that `window` names (read when the guard fires) after guardMs. True when the window went
// before the guard. The script starts from a timer event, not a posted one: inside a posted
// event's handler Qt does not deliver the events already queued behind it, such as another
// thread's unit writes.
inline bool RunInsideModal(const std::function<void()>& open, const uint64_t& window,
                           const std::function<void()>& script, int guardMs) {
    QObject context;
    bool guarded = false;
    QTimer::singleShot(1, &context, [&] { script(); });
    QTimer::singleShot(guardMs, &context, [&] {
        guarded = platform::WindowExists(window);
        platform::DestroyWindow(window);
    });
    open();
    return !guarded;
}

// A port on 127.0.0.1 that refuses connections.
inline int ClosedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    int port = probe.serverPort();
    probe.close();
    return port;
}

inline std::string Loopback(int port) { return "127.0.0.1:" + std::to_string(port); }

// Hosts that all refuse: every fetch fails at once.
inline RemoteHosts DeadHosts() {
    int port = ClosedPort();
    Text h(Loopback(port));
    return RemoteHosts{h, h, h, h, h};
}

// The stand-in site with its default content, on free ports.
struct LocalSite {
    site::SiteServer server;
    RemoteHosts hosts;
    explicit LocalSite(const std::string& mediaDir = {}) {
        server.LoadDefaults(ORBIQ_TEST_PICTURE_DIR, mediaDir);
        server.Start();
        hosts = RemoteHosts{Text(Loopback(server.sitePort())), Text(Loopback(server.mirror1Port())),
                            Text(Loopback(server.mirror2Port())), Text(Loopback(server.downloadPort())),
                            Text(Loopback(server.boardPort()))};
    }
};

}  // namespace orbiq::test

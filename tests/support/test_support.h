// Shared fixtures: a local site on free ports, a closed port, waiting with events.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <random>
#include <string>

#include "common/hosts.h"
#include "platform/ui/ui_widgets.h"
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

// Runs fn once the window that `window` names (read at each look) is on screen, looking every
// millisecond from a timer event: a window's creation may wait for the network, handling
// events, before the window shows. Inside a posted event's handler Qt does not deliver the
// events already queued behind it, such as another thread's unit writes; a timer's is fine.
inline void WhenShown(QObject* context, const uint64_t& window, std::function<void()> fn) {
    auto* look = new QTimer(context);
    QObject::connect(look, &QTimer::timeout, context, [look, &window, fn = std::move(fn)] {
        QWidget* w = platform::WindowExists(window) ? platform::WidgetOf(platform::WindowRef(window)) : nullptr;
        if (!w || !w->isVisible()) return;
        look->stop();
        look->deleteLater();
        fn();
    });
    look->start(1);
}

// Runs script inside the wait of a modal window that open loads, once it is on screen; a
// guard destroys the window that `window` names (read when the guard fires) after guardMs.
// True when the script ran and the window went before the guard.
inline bool RunInsideModal(const std::function<void()>& open, const uint64_t& window,
                           const std::function<void()>& script, int guardMs) {
    QObject context;
    bool guarded = false, ran = false;
    WhenShown(&context, window, [&] {
        ran = true;
        script();
    });
    QTimer::singleShot(guardMs, &context, [&] {
        guarded = platform::WindowExists(window);
        platform::DestroyWindow(window);
    });
    open();
    return ran && !guarded;
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

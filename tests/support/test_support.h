// Shared fixtures: a local site on free ports, a closed port, waiting with events.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>

#include <functional>
#include <memory>
#include <string>

#include "common/hosts.h"
#include "site/site_server.h"

namespace orbiq::test {

// Processes events until pred holds or the time runs out; true when it held.
inline bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
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
    LocalSite() {
        server.LoadDefaults(ORBIQ_TEST_PICTURE_DIR);
        server.Start();
        hosts = RemoteHosts{Text(Loopback(server.sitePort())), Text(Loopback(server.mirror1Port())),
                            Text(Loopback(server.mirror2Port())), Text(Loopback(server.downloadPort())),
                            Text(Loopback(server.boardPort()))};
    }
};

}  // namespace orbiq::test

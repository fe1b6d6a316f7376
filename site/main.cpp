// orbiq-site: serves the local stand-in on the ports the player was built with.
//   orbiq-site [--log-requests]   (the second: print every request the product site takes, one a
//                                  line, so a test of the program as a process sees what it asked for)
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

#include "common/hosts_config.h"
#include "site/site_server.h"

namespace {
int PortOf(const char* hostPort) {
    std::string s(hostPort);
    auto colon = s.rfind(':');
    return colon == std::string::npos ? 80 : std::stoi(s.substr(colon + 1));
}
volatile std::sig_atomic_t gStop = 0;
}  // namespace

int main(int argc, char** argv) {
    const bool logRequests = argc > 1 && std::strcmp(argv[1], "--log-requests") == 0;
    orbiq::site::SiteServer server;
    server.LoadDefaults(ORBIQ_PICTURE_DIR, ORBIQ_SITE_MEDIA_DIR);
    server.SetBoardFolder(ORBIQ_SITE_BOARD_DIR);
    orbiq::site::SitePorts ports{PortOf(ORBIQ_SITE_HOST), PortOf(ORBIQ_MIRROR1_HOST), PortOf(ORBIQ_MIRROR2_HOST),
                                 PortOf(ORBIQ_DOWNLOAD_HOST), PortOf(ORBIQ_BOARD_HOST)};
    // Every port is needed: the player knows no other. One that is taken ends the site.
    if (!server.Start(ports)) {
        std::fprintf(stderr, "orbiq-site: cannot listen on all of the ports %d, %d, %d, %d and %d; nothing started\n",
                     ports.site, ports.mirror1, ports.mirror2, ports.download, ports.board);
        return 1;
    }
    std::printf("orbiq-site: site %d, mirrors %d and %d, downloads %d, board %d\n", server.sitePort(),
                server.mirror1Port(), server.mirror2Port(), server.downloadPort(), server.boardPort());
    std::fflush(stdout);
    std::signal(SIGINT, [](int) { gStop = 1; });
    std::signal(SIGTERM, [](int) { gStop = 1; });
    if (!logRequests) {
        while (!gStop) pause();
    }
    for (size_t printed = 0; !gStop; usleep(50 * 1000)) {
        const auto requests = server.SiteRequests();
        for (; printed < requests.size(); ++printed) std::printf("%s\n", requests[printed].c_str());
        std::fflush(stdout);
    }
    server.Stop();
    return 0;
}

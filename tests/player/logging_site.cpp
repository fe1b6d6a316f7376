// The local stand-in on the program's compiled-in ports, as orbiq-site serves it, that also
// prints every request its product web site takes ("GET /media/clip.mp4"), one a line, so a
// test of the program as a separate process sees what it asked for. Ends on SIGTERM or SIGINT.
#include <csignal>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "common/hosts_config.h"
#include "site/site_server.h"

namespace {

int PortOf(const char* hostPort) {
    const std::string s(hostPort);
    const auto colon = s.rfind(':');
    return colon == std::string::npos ? 80 : std::stoi(s.substr(colon + 1));
}

volatile std::sig_atomic_t gStop = 0;

}  // namespace

int main() {
    orbiq::site::SiteServer server;
    server.LoadDefaults(ORBIQ_PICTURE_DIR, ORBIQ_SITE_MEDIA_DIR);
    const orbiq::site::SitePorts ports{PortOf(ORBIQ_SITE_HOST), PortOf(ORBIQ_MIRROR1_HOST), PortOf(ORBIQ_MIRROR2_HOST),
                                       PortOf(ORBIQ_DOWNLOAD_HOST), PortOf(ORBIQ_BOARD_HOST)};
    if (!server.Start(ports)) {
        std::fprintf(stderr, "logging_site: cannot listen on all of the site's ports\n");
        return 1;
    }
    std::printf("logging_site: ready\n");
    std::fflush(stdout);
    std::signal(SIGINT, [](int) { gStop = 1; });
    std::signal(SIGTERM, [](int) { gStop = 1; });
    size_t printed = 0;
    while (!gStop) {
        const auto requests = server.SiteRequests();
        for (; printed < requests.size(); ++printed) std::printf("%s\n", requests[printed].c_str());
        std::fflush(stdout);
        usleep(50 * 1000);
    }
    server.Stop();
    return 0;
}

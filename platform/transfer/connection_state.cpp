#include "platform/transfer/connection_state.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace orbiq::platform {
namespace {

constexpr unsigned long kRouteUp = 0x0001;      // RTF_UP
constexpr unsigned long kRouteReject = 0x0200;  // RTF_REJECT

struct IfaddrsDeleter {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

bool ParseHex(const std::string& field, unsigned long& value) {
    if (field.empty()) return false;
    char* end = nullptr;
    value = std::strtoul(field.c_str(), &end, 16);
    return end && *end == '\0';
}

bool AllZero(const std::string& hex) {
    return !hex.empty() && hex.find_first_not_of('0') == std::string::npos;
}

std::vector<std::string> Fields(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> fields;
    for (std::string f; in >> f;) fields.push_back(f);
    return fields;
}

std::string ReadFile(const char* path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool UsableAddress(const sockaddr* addr) {
    if (!addr) return false;
    if (addr->sa_family == AF_INET) {
        uint32_t a = ntohl(reinterpret_cast<const sockaddr_in*>(addr)->sin_addr.s_addr);
        return (a >> 16) != 0xA9FE;  // 169.254/16
    }
    if (addr->sa_family == AF_INET6) {
        const in6_addr& a = reinterpret_cast<const sockaddr_in6*>(addr)->sin6_addr;
        return !IN6_IS_ADDR_LINKLOCAL(&a) && !IN6_IS_ADDR_UNSPECIFIED(&a);
    }
    return false;
}

}  // namespace

ConnectionState DecideConnectionState(const std::vector<NetInterface>& interfaces,
                                      const std::vector<DefaultRoute>& routes) {
    ConnectionState state;
    bool lan = std::any_of(interfaces.begin(), interfaces.end(), [](const NetInterface& i) {
        return i.up && !i.loopback && i.hasAddress;
    });
    if (lan) state.flags |= INTERNET_CONNECTION_LAN;
    if (!routes.empty()) {
        state.flags |= INTERNET_CONNECTION_CONFIGURED;
        auto best = std::min_element(routes.begin(), routes.end(),
            [](const DefaultRoute& a, const DefaultRoute& b) { return a.metric < b.metric; });
        state.name = best->interfaceName;
    }
    if (state.flags == 0) state.flags = INTERNET_CONNECTION_OFFLINE;
    state.connected = lan && !routes.empty();
    return state;
}

// Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT (header line first).
std::vector<DefaultRoute> ParseIpv4Routes(std::string_view procText) {
    std::vector<DefaultRoute> routes;
    std::istringstream in{std::string(procText)};
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        auto f = Fields(line);
        unsigned long flags = 0;
        if (f.size() < 8 || !ParseHex(f[3], flags)) continue;
        if (!AllZero(f[1]) || !AllZero(f[7])) continue;
        if (!(flags & kRouteUp) || (flags & kRouteReject) || f[0] == "lo") continue;
        char* end = nullptr;
        unsigned long metric = std::strtoul(f[6].c_str(), &end, 10);
        routes.push_back({f[0], static_cast<uint32_t>(metric)});
    }
    return routes;
}

// Destination, prefix length, source, source prefix, next hop, metric, refcount, use, flags,
// interface; all numbers in hexadecimal, no header line.
std::vector<DefaultRoute> ParseIpv6Routes(std::string_view procText) {
    std::vector<DefaultRoute> routes;
    std::istringstream in{std::string(procText)};
    for (std::string line; std::getline(in, line);) {
        auto f = Fields(line);
        unsigned long prefix = 0, metric = 0, flags = 0;
        if (f.size() < 10 || !ParseHex(f[1], prefix) || !ParseHex(f[5], metric) ||
            !ParseHex(f[8], flags))
            continue;
        if (!AllZero(f[0]) || prefix != 0) continue;
        if (!(flags & kRouteUp) || (flags & kRouteReject) || f[9] == "lo") continue;
        routes.push_back({f[9], static_cast<uint32_t>(metric)});
    }
    return routes;
}

std::vector<NetInterface> ReadInterfaces() {
    std::vector<NetInterface> interfaces;
    ifaddrs* raw = nullptr;
    if (getifaddrs(&raw) != 0) return interfaces;
    std::unique_ptr<ifaddrs, IfaddrsDeleter> list(raw);
    for (ifaddrs* a = list.get(); a; a = a->ifa_next) {
        if (!a->ifa_name) continue;
        auto it = std::find_if(interfaces.begin(), interfaces.end(),
                               [&](const NetInterface& i) { return i.name == a->ifa_name; });
        if (it == interfaces.end()) {
            interfaces.push_back({a->ifa_name});
            it = interfaces.end() - 1;
        }
        it->up = (a->ifa_flags & IFF_UP) && (a->ifa_flags & IFF_RUNNING);
        it->loopback = a->ifa_flags & IFF_LOOPBACK;
        if (UsableAddress(a->ifa_addr)) it->hasAddress = true;
    }
    return interfaces;
}

ConnectionState ReadConnectionState() {
    auto routes = ParseIpv4Routes(ReadFile("/proc/net/route"));
    auto v6 = ParseIpv6Routes(ReadFile("/proc/net/ipv6_route"));
    routes.insert(routes.end(), v6.begin(), v6.end());
    return DecideConnectionState(ReadInterfaces(), routes);
}

bool InternetGetConnectedStateEx(uint32_t* flags, char* name, uint32_t nameLen, uint32_t /*reserved*/) {
    ConnectionState state = ReadConnectionState();
    if (flags) *flags = state.flags;
    if (name && nameLen > 0) {
        size_t n = std::min<size_t>(state.name.size(), nameLen - 1);
        std::memcpy(name, state.name.data(), n);
        name[n] = '\0';
    }
    return state.connected;
}

}  // namespace orbiq::platform

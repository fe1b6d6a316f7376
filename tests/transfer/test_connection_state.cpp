// The connection state's rule over tables of interfaces and routes, the route-table parsers,
// and one call on this machine.
#include "platform/transfer/connection_state.h"

#include <gtest/gtest.h>

#include <cstring>

namespace orbiq::platform {
namespace {

constexpr uint32_t kLan = INTERNET_CONNECTION_LAN;
constexpr uint32_t kConfigured = INTERNET_CONNECTION_CONFIGURED;
constexpr uint32_t kOffline = INTERNET_CONNECTION_OFFLINE;

const NetInterface kLoopback{"lo", true, true, true};
const NetInterface kEth{"eth0", true, false, true};
const NetInterface kEthDown{"eth0", false, false, true};
const NetInterface kEthNoAddress{"eth0", true, false, false};
const NetInterface kWlan{"wlan0", true, false, true};

TEST(ConnectionStateTest, FlagsNameAndResultFollowInterfacesAndRoutes) {
    struct Case {
        const char* what;
        std::vector<NetInterface> interfaces;
        std::vector<DefaultRoute> routes;
        uint32_t flags;
        std::string name;
        bool connected;
    };
    const Case cases[] = {
        {"nothing at all", {}, {}, kOffline, "", false},
        {"loopback only", {kLoopback}, {}, kOffline, "", false},
        {"interface down", {kLoopback, kEthDown}, {}, kOffline, "", false},
        {"interface without address", {kLoopback, kEthNoAddress}, {}, kOffline, "", false},
        {"LAN without default route", {kLoopback, kEth}, {}, kLan, "", false},
        {"default route, no LAN", {kLoopback, kEthDown}, {{"eth0", 0}}, kConfigured, "eth0", false},
        {"LAN and default route", {kLoopback, kEth}, {{"eth0", 100}}, kLan | kConfigured, "eth0", true},
        {"lowest metric names the connection", {kEth, kWlan}, {{"eth0", 600}, {"wlan0", 100}},
         kLan | kConfigured, "wlan0", true},
        {"first of equal metrics", {kEth, kWlan}, {{"wlan0", 0}, {"eth0", 0}},
         kLan | kConfigured, "wlan0", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ConnectionState state = DecideConnectionState(c.interfaces, c.routes);
        EXPECT_EQ(state.flags, c.flags);
        EXPECT_EQ(state.name, c.name);
        EXPECT_EQ(state.connected, c.connected);
    }
}

TEST(ConnectionStateTest, Ipv4RouteTableGivesOnlyUsableDefaultRoutes) {
    const char* table =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t010200C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
        "eth1\t00000000\t010200C0\t0002\t0\t0\t5\t00000000\t0\t0\t0\n"      // not up
        "eth2\t00000000\t00000000\t0201\t0\t0\t5\t00000000\t0\t0\t0\n"      // reject
        "wlan0\t00000000\t0101A8C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n";
    auto routes = ParseIpv4Routes(table);
    ASSERT_EQ(routes.size(), 2u);
    EXPECT_EQ(routes[0].interfaceName, "eth0");
    EXPECT_EQ(routes[0].metric, 100u);
    EXPECT_EQ(routes[1].interfaceName, "wlan0");
    EXPECT_EQ(routes[1].metric, 600u);
    EXPECT_TRUE(ParseIpv4Routes("").empty());
    EXPECT_TRUE(ParseIpv4Routes("Iface\tDestination\n").empty());
}

TEST(ConnectionStateTest, Ipv6RouteTableSkipsTheLoopbackRejectRoute) {
    const char* table =
        "fd000000000000000000000000000000 40 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 00000100 00000001 00000000 00000001     eth0\n"
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "fd000000000000000000000000000001 00000400 00000002 00000000 00000003     eth0\n"
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n";
    auto routes = ParseIpv6Routes(table);
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_EQ(routes[0].interfaceName, "eth0");
    EXPECT_EQ(routes[0].metric, 0x400u);
}

TEST(ConnectionStateTest, ThisMachineGivesAConsistentAnswer) {
    uint32_t flags = 0xFFFFFFFF;
    char name[513];
    std::memset(name, ' ', sizeof name);
    bool connected = InternetGetConnectedStateEx(&flags, name, 512, 0);
    ASSERT_NE(std::memchr(name, '\0', 512), nullptr);
    const bool lan = flags & kLan;
    const bool configured = flags & kConfigured;
    EXPECT_EQ(flags & ~(kLan | kConfigured | kOffline), 0u);
    EXPECT_EQ(connected, lan && configured);
    EXPECT_EQ(static_cast<bool>(flags & kOffline), !lan && !configured);
    EXPECT_EQ(std::strlen(name) > 0, configured);

    char tiny[3];
    InternetGetConnectedStateEx(&flags, tiny, sizeof tiny, 0);
    EXPECT_LE(std::strlen(tiny), 2u);
}

}  // namespace
}  // namespace orbiq::platform

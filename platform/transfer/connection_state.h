// The machine's internet connection state, in the form of WinINet's InternetGetConnectedStateEx,
// derived from the network interfaces and the default routes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orbiq::platform {

inline constexpr uint32_t INTERNET_CONNECTION_MODEM = 0x01;
inline constexpr uint32_t INTERNET_CONNECTION_LAN = 0x02;
inline constexpr uint32_t INTERNET_CONNECTION_PROXY = 0x04;
inline constexpr uint32_t INTERNET_RAS_INSTALLED = 0x10;
inline constexpr uint32_t INTERNET_CONNECTION_OFFLINE = 0x20;
inline constexpr uint32_t INTERNET_CONNECTION_CONFIGURED = 0x40;

struct NetInterface {
    std::string name;
    bool up = false;          // administratively up and with a carrier
    bool loopback = false;
    bool hasAddress = false;  // an IPv4 or IPv6 address other than link-local
};

struct DefaultRoute {
    std::string interfaceName;
    uint32_t metric = 0;
};

struct ConnectionState {
    uint32_t flags = 0;
    std::string name;  // the interface of the preferred default route, "" without one
    bool connected = false;
};

// LAN when an up, non-loopback interface has an address; CONFIGURED when a default route
// exists; OFFLINE when neither. Connected exactly when both LAN and CONFIGURED hold. The
// name is the interface of the default route with the lowest metric (the first on a tie).
ConnectionState DecideConnectionState(const std::vector<NetInterface>& interfaces,
                                      const std::vector<DefaultRoute>& routes);

// Default routes from the text of /proc/net/route and /proc/net/ipv6_route: destination and
// prefix zero, the route up, not a reject route, not on "lo".
std::vector<DefaultRoute> ParseIpv4Routes(std::string_view procText);
std::vector<DefaultRoute> ParseIpv6Routes(std::string_view procText);

// Reads the interfaces (getifaddrs) and the route tables of this machine.
std::vector<NetInterface> ReadInterfaces();
ConnectionState ReadConnectionState();

// WinINet's call: fills flags and copies the connection name, cut to nameLen - 1 bytes and
// ended by a zero byte, into name. reserved is ignored. Returns the connected state.
bool InternetGetConnectedStateEx(uint32_t* flags, char* name, uint32_t nameLen, uint32_t reserved);

}  // namespace orbiq::platform

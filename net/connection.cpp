#include "net/connection.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <fstream>
#include <sstream>

namespace solvane {
namespace {

bool HasUpInterface()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool found = false;
    for (const ifaddrs* entry = list; entry && !found; entry = entry->ifa_next) {
        if (!entry->ifa_addr || (entry->ifa_flags & IFF_LOOPBACK) || !(entry->ifa_flags & IFF_UP)) continue;
        const int family = entry->ifa_addr->sa_family;
        found = family == AF_INET || family == AF_INET6;
    }
    freeifaddrs(list);
    return found;
}

// /proc/net/route: "Iface Destination Gateway Flags ..." in hexadecimal; a default route has
// destination 00000000 and the up flag (RTF_UP = 1). /proc/net/ipv6_route: destination of 32
// zeros with prefix length 00, on an interface other than "lo".
bool HasDefaultRoute()
{
    std::ifstream routes("/proc/net/route");
    std::string line;
    std::getline(routes, line);  // column titles
    while (std::getline(routes, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags;
        if (!(fields >> iface >> destination >> gateway >> flags)) continue;
        if (destination == "00000000" && (std::stoul(flags, nullptr, 16) & 1u) != 0) return true;
    }
    std::ifstream routes6("/proc/net/ipv6_route");
    while (std::getline(routes6, line)) {
        std::istringstream fields(line);
        std::string destination, prefix, source, sourcePrefix, nextHop, metric, refs, use, flags, iface;
        if (!(fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >> refs >> use >> flags >>
              iface))
            continue;
        if (destination == std::string(32, '0') && prefix == "00" && iface != "lo") return true;
    }
    return false;
}

}  // namespace

bool IsLoopbackHost(const std::string& host)
{
    if (host == "localhost") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, host.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

bool InternetConnected(const std::string& host)
{
    if (IsLoopbackHost(host)) return true;
    try {
        return HasUpInterface() && HasDefaultRoute();
    } catch (const std::exception&) {
        return false;  // an unreadable routing table counts as off-line
    }
}

}  // namespace solvane

// Whether the machine is on-line, answered locally without sending anything.
#pragma once

#include <string>

namespace solvane {

// True when host is a loopback address (127.0.0.0/8, ::1 or "localhost"): such an endpoint is
// always reachable.
bool IsLoopbackHost(const std::string& host);
// True when host is loopback, or when an interface other than loopback is up with an address and
// the routing table holds a default route.
bool InternetConnected(const std::string& host);

}  // namespace solvane

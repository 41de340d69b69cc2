// Host names resolved by Winsock (Windows). The command line resolves
// before the link starts Winsock, so the lookup starts it for itself.
#include "host_address.h"

#include "socket_layer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

bool resolve_ipv4_host(const std::string& name, std::string* dotted) {
    if (net_startup() != NetStartup::Ok) return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    bool ok = getaddrinfo(name.c_str(), nullptr, &hints, &found) == 0 && found != nullptr;
    if (ok) {
        const auto* sin = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        char buf[kIpv4TextSize] = {};
        format_ipv4(Ipv4Endpoint{ntohl(sin->sin_addr.s_addr), 0}, buf);
        *dotted = buf;
        freeaddrinfo(found);
    }
    net_cleanup();
    return ok;
}

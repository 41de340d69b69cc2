// Host names resolved by the system's resolver (POSIX).
#include "host_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

bool resolve_ipv4_host(const std::string& name, std::string* dotted) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    char buf[INET_ADDRSTRLEN] = {};
    const auto* sin = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    const bool ok = inet_ntop(AF_INET, &sin->sin_addr, buf, sizeof buf) != nullptr;
    freeaddrinfo(found);
    if (ok) *dotted = buf;
    return ok;
}

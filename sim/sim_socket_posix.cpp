// The simulator's server sockets on POSIX (Linux).
#include "sim_socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <vector>

bool sim_bind(SocketHandle sock, const Ipv4Endpoint& at) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(at.address);
    sa.sin_port = htons(at.port);
    return ::bind(sock, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

void sim_reuse_address(SocketHandle sock) {
    const int on = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
}

bool sim_listen(SocketHandle sock, int backlog) { return ::listen(sock, backlog) == 0; }

std::uint16_t sim_local_port(SocketHandle sock) {
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    if (::getsockname(sock, reinterpret_cast<sockaddr*>(&bound), &len) != 0) return 0;
    return ntohs(bound.sin_port);
}

SocketHandle sim_accept(SocketHandle listener) { return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC); }

void sim_no_delay(SocketHandle sock) {
    const int on = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void sim_shutdown(SocketHandle sock) { ::shutdown(sock, SHUT_RDWR); }

int sim_wait_readable(const SocketHandle* socks, bool* ready, std::size_t count, int timeoutMs) {
    std::vector<pollfd> fds(count);
    for (std::size_t i = 0; i < count; ++i) fds[i] = {socks[i], POLLIN, 0};
    const int n = ::poll(fds.data(), fds.size(), timeoutMs);
    for (std::size_t i = 0; i < count; ++i) ready[i] = n > 0 && fds[i].revents != 0;
    if (n < 0) return errno == EINTR ? 0 : -1;
    return n;
}

bool sim_address_in_use() { return errno == EADDRINUSE; }

std::string sim_last_error_text() { return std::strerror(errno); }

std::optional<std::uint32_t> sim_interface_broadcast(std::uint32_t address) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::optional<std::uint32_t> out;
    for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_BROADCAST) ||
            i->ifa_broadaddr == nullptr) {
            continue;
        }
        if (ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr) == address) {
            out = ntohl(reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr.s_addr);
            break;
        }
    }
    freeifaddrs(list);
    return out;
}

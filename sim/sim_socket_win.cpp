// The simulator's server sockets on Winsock 2 (Windows).
#include "sim_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <vector>

namespace {
SOCKET native(SocketHandle sock) { return static_cast<SOCKET>(sock); }

// Winsock (and Wine, which follows it) binds a socket asked for a
// broadcast address to any address; the discovery socket then shares its
// port with the answer socket bound to the simulator's own address, which
// both must allow. Datagram sockets only: a listening port stays exclusive.
void share_datagram_port(SocketHandle sock) {
    int type = 0;
    int len = sizeof type;
    if (getsockopt(native(sock), SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &len) != 0 ||
        type != SOCK_DGRAM) {
        return;
    }
    const BOOL on = TRUE;
    setsockopt(native(sock), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
}

}  // namespace

bool sim_bind(SocketHandle sock, const Ipv4Endpoint& at) {
    share_datagram_port(sock);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(at.address);
    sa.sin_port = htons(at.port);
    return ::bind(native(sock), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

// Windows keeps no listening port from being bound again after a close;
// its SO_REUSEADDR would instead let two servers share a port.
void sim_reuse_address(SocketHandle) {}

bool sim_listen(SocketHandle sock, int backlog) { return ::listen(native(sock), backlog) == 0; }

std::uint16_t sim_local_port(SocketHandle sock) {
    sockaddr_in bound{};
    int len = sizeof bound;
    if (::getsockname(native(sock), reinterpret_cast<sockaddr*>(&bound), &len) != 0) return 0;
    return ntohs(bound.sin_port);
}

SocketHandle sim_accept(SocketHandle listener) {
    const SOCKET s = ::accept(native(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) return kInvalidSocket;
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return static_cast<SocketHandle>(s);
}

void sim_no_delay(SocketHandle sock) {
    const BOOL on = TRUE;
    ::setsockopt(native(sock), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

void sim_shutdown(SocketHandle sock) { ::shutdown(native(sock), SD_BOTH); }

int sim_wait_readable(const SocketHandle* socks, bool* ready, std::size_t count, int timeoutMs) {
    std::vector<WSAPOLLFD> fds(count);
    for (std::size_t i = 0; i < count; ++i) fds[i] = {native(socks[i]), POLLRDNORM, 0};
    const int n = ::WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs);
    for (std::size_t i = 0; i < count; ++i) ready[i] = n > 0 && fds[i].revents != 0;
    return n == SOCKET_ERROR ? -1 : n;
}

bool sim_address_in_use() { return WSAGetLastError() == WSAEADDRINUSE; }

std::string sim_last_error_text() {
    const int err = WSAGetLastError();
    char text[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(err), 0, text, sizeof text, nullptr);
    std::string out(text, n);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
    return out.empty() ? "Winsock error " + std::to_string(err) : out;
}

// Windows hands a broadcast to the sockets bound to the receiving
// interface's own address, so no socket on the broadcast address is needed.
std::optional<std::uint32_t> sim_interface_broadcast(std::uint32_t) { return std::nullopt; }

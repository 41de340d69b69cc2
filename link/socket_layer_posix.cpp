// The socket layer on POSIX sockets (Linux).
#include "socket_layer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

sockaddr_in to_sockaddr(const Ipv4Endpoint& endpoint) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(endpoint.address);
    sa.sin_port = htons(endpoint.port);
    return sa;
}

bool set_timeout(SocketHandle sock, int option, int ms) {
    if (ms < 0) ms = 0;  // 0: wait without limit, as on every platform
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return setsockopt(sock, SOL_SOCKET, option, &tv, sizeof tv) == 0;
}

// A reset or closed connection shows up under several names depending on
// whether the send or the receive meets it first. ETIMEDOUT here is TCP
// giving up on retransmissions: the connection is dead, unlike the socket
// time-outs, which report EAGAIN.
bool is_closed_error(int err) {
    return err == EPIPE || err == ECONNRESET || err == ENOTCONN || err == ESHUTDOWN || err == ECONNABORTED ||
           err == ETIMEDOUT;
}

}  // namespace

bool parse_ipv4(const char* text, std::uint16_t port, Ipv4Endpoint* out) {
    if (text == nullptr) return false;
    // inet_pton takes exactly four decimal parts; it refuses "1.2.3", octal
    // and hex forms, and anything after the fourth part.
    in_addr addr{};
    if (inet_pton(AF_INET, text, &addr) != 1) return false;
    out->address = ntohl(addr.s_addr);
    out->port = port;
    return true;
}

void format_ipv4(const Ipv4Endpoint& endpoint, char* text) {
    const std::uint32_t a = endpoint.address;
    std::snprintf(text, kIpv4TextSize, "%u.%u.%u.%u", (a >> 24) & 0xFFu, (a >> 16) & 0xFFu, (a >> 8) & 0xFFu,
                  a & 0xFFu);
}

NetError net_last_error() {
    const int err = errno;
    if (err == EAGAIN || err == EWOULDBLOCK) return NetError::TimedOut;
    if (is_closed_error(err)) return NetError::Closed;
    return NetError::Other;
}

NetStartup net_startup() { return NetStartup::Ok; }
void net_cleanup() {}

SocketHandle udp_socket() { return socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); }
SocketHandle tcp_socket() { return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP); }

void sock_close(SocketHandle& sock) {
    if (sock != kInvalidSocket) close(sock);
    sock = kInvalidSocket;
}

bool sock_set_broadcast(SocketHandle sock) {
    const int on = 1;  // Linux wants an int-sized option value
    return setsockopt(sock, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
}

bool sock_set_nonblocking(SocketHandle sock) {
    const int flags = fcntl(sock, F_GETFL, 0);
    return flags >= 0 && fcntl(sock, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool sock_set_send_timeout(SocketHandle sock, int ms) { return set_timeout(sock, SO_SNDTIMEO, ms); }
bool sock_set_recv_timeout(SocketHandle sock, int ms) { return set_timeout(sock, SO_RCVTIMEO, ms); }

int sock_wait_ready(SocketHandle sock, int timeoutMs) {
    // fd_set holds FD_SETSIZE descriptors; a higher one cannot be asked about.
    if (sock < 0 || sock >= FD_SETSIZE) {
        errno = EBADF;
        return -1;
    }
    fd_set readSet;
    fd_set writeSet;
    FD_ZERO(&readSet);
    FD_SET(sock, &readSet);
    writeSet = readSet;
    timeval tv{};
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    const int n = select(sock + 1, &readSet, &writeSet, nullptr, &tv);
    if (n <= 0) return n < 0 ? -1 : 0;
    return FD_ISSET(sock, &readSet) || FD_ISSET(sock, &writeSet) ? 1 : 0;
}

int sock_sendto(SocketHandle sock, const std::uint8_t* data, std::size_t len, const Ipv4Endpoint& to) {
    const sockaddr_in sa = to_sockaddr(to);
    return static_cast<int>(
        sendto(sock, data, len, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sa), sizeof sa));
}

int sock_recvfrom(SocketHandle sock, std::uint8_t* buf, std::size_t len, Ipv4Endpoint* from) {
    sockaddr_in sa{};
    socklen_t saLen = sizeof sa;
    const ssize_t n = recvfrom(sock, buf, len, 0, reinterpret_cast<sockaddr*>(&sa), &saLen);
    if (n >= 0 && from != nullptr) {
        from->address = ntohl(sa.sin_addr.s_addr);
        from->port = ntohs(sa.sin_port);
    }
    return static_cast<int>(n);
}

bool sock_connect(SocketHandle sock, const Ipv4Endpoint& to) {
    const sockaddr_in sa = to_sockaddr(to);
    return connect(sock, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

bool sock_connect_within(SocketHandle sock, const Ipv4Endpoint& to, int timeoutMs) {
    const int flags = fcntl(sock, F_GETFL, 0);
    if (flags < 0 || fcntl(sock, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    const sockaddr_in sa = to_sockaddr(to);
    bool connected = connect(sock, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    int err = connected ? 0 : errno;
    if (!connected && err == EINPROGRESS) {
        pollfd pfd{sock, POLLOUT, 0};
        const int ready = poll(&pfd, 1, timeoutMs < 0 ? 0 : timeoutMs);
        if (ready == 1) {
            socklen_t len = sizeof err;
            if (getsockopt(sock, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
            connected = err == 0;
        } else {
            err = ready == 0 ? EAGAIN : errno;
        }
    }
    fcntl(sock, F_SETFL, flags);
    errno = err;
    return connected;
}

int sock_send(SocketHandle sock, const std::uint8_t* data, std::size_t len) {
    if (sock == kInvalidSocket) {
        errno = ENOTSOCK;
        return -1;
    }
    return static_cast<int>(send(sock, data, len, MSG_NOSIGNAL));
}

int sock_recv(SocketHandle sock, std::uint8_t* buf, std::size_t len) {
    if (sock == kInvalidSocket) {
        errno = ENOTSOCK;
        return -1;
    }
    return static_cast<int>(recv(sock, buf, len, 0));
}

int sock_recv_within(SocketHandle sock, std::uint8_t* buf, std::size_t len, int timeoutMs) {
    if (sock == kInvalidSocket) {
        errno = ENOTSOCK;
        return -1;
    }
    pollfd pfd{sock, POLLIN, 0};
    const int ready = poll(&pfd, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready < 0) return -1;
    if (ready == 0) {
        errno = EAGAIN;
        return -1;
    }
    // Readable: data, an end of stream or an error, none of which waits.
    return static_cast<int>(recv(sock, buf, len, MSG_DONTWAIT));
}

std::size_t sock_discard_pending(SocketHandle sock, bool* peerClosed) {
    *peerClosed = false;
    if (sock == kInvalidSocket) return 0;
    std::uint8_t scratch[1024];
    std::size_t dropped = 0;
    // Bounded: a peer that streams without pause cannot keep us here.
    for (int i = 0; i < 64; ++i) {
        const ssize_t n = recv(sock, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n > 0) {
            dropped += static_cast<std::size_t>(n);
            continue;
        }
        *peerClosed = n == 0 || is_closed_error(errno);
        break;
    }
    return dropped;
}

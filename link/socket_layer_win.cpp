// The socket layer on Winsock 2 (Windows). Same promises as on POSIX; the
// differences of Winsock are absorbed here: time-outs report WSAETIMEDOUT,
// a refused connect shows in the exception set, a datagram longer than the
// buffer fails with WSAEMSGSIZE, and an ICMP "port unreachable" fails the
// next UDP receive unless told not to.
#include "socket_layer.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>

#include <algorithm>
#include <climits>
#include <cstdio>

namespace {

constexpr int kDiscardRounds = 64;  // a peer that streams without pause cannot keep us here
constexpr std::size_t kDiscardChunk = 1024;

SOCKET native(SocketHandle sock) { return static_cast<SOCKET>(sock); }

sockaddr_in to_sockaddr(const Ipv4Endpoint& endpoint) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(endpoint.address);
    sa.sin_port = htons(endpoint.port);
    return sa;
}

// Winsock counts lengths in int.
int clamp_length(std::size_t len) { return static_cast<int>(std::min<std::size_t>(len, INT_MAX)); }

bool set_timeout(SocketHandle sock, int option, int ms) {
    const DWORD value = ms < 0 ? 0 : static_cast<DWORD>(ms);  // 0: wait without limit, as on every platform
    return setsockopt(native(sock), SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}

// A reset or closed connection, under whichever name the call met it.
// Unlike POSIX, WSAETIMEDOUT is what the socket time-outs report, so it is
// not among these.
bool is_closed_error(int err) {
    return err == WSAECONNRESET || err == WSAECONNABORTED || err == WSAENOTCONN || err == WSAESHUTDOWN ||
           err == WSAENETRESET || err == WSAEDISCON;
}

// Readable within `timeoutMs`: 1, 0 when not in time, -1 on failure.
int wait_readable(SocketHandle sock, int timeoutMs) {
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(native(sock), &readSet);
    const int ms = timeoutMs < 0 ? 0 : timeoutMs;
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    const int n = select(0, &readSet, nullptr, nullptr, &tv);
    if (n == SOCKET_ERROR) return -1;
    return n > 0 && FD_ISSET(native(sock), &readSet) ? 1 : 0;
}

// Bytes waiting to be read, without reading them.
u_long bytes_waiting(SocketHandle sock) {
    u_long waiting = 0;
    if (ioctlsocket(native(sock), FIONREAD, &waiting) != 0) return 0;
    return waiting;
}

// One receive on a socket select() called readable: with bytes waiting it
// takes at most those, so it returns at once; with none it meets the end of
// stream or the error, which do not wait either. No MSG_DONTWAIT on Windows.
int recv_ready(SocketHandle sock, std::uint8_t* buf, std::size_t len) {
    const u_long waiting = bytes_waiting(sock);
    const std::size_t take = waiting > 0 ? std::min<std::size_t>(len, waiting) : len;
    return recv(native(sock), reinterpret_cast<char*>(buf), clamp_length(take), 0);
}

bool set_blocking(SocketHandle sock, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    return ioctlsocket(native(sock), FIONBIO, &nonBlocking) == 0;
}

// A new socket, not inherited by programs this one starts (as SOCK_CLOEXEC).
SocketHandle new_socket(int type, int protocol) {
    const SOCKET s = socket(AF_INET, type, protocol);
    if (s == INVALID_SOCKET) return kInvalidSocket;
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return static_cast<SocketHandle>(s);
}

// One dotted-decimal part: 1 to 3 digits, at most 255, no leading zero (as
// POSIX inet_pton refuses "01"). Advances `p` past it.
bool parse_part(const char*& p, std::uint32_t* value) {
    const char* start = p;
    std::uint32_t v = 0;
    while (*p >= '0' && *p <= '9' && p - start < 4) v = v * 10 + static_cast<std::uint32_t>(*p++ - '0');
    const std::ptrdiff_t digits = p - start;
    if (digits == 0 || digits > 3 || v > 255 || (digits > 1 && *start == '0')) return false;
    *value = v;
    return true;
}

}  // namespace

bool parse_ipv4(const char* text, std::uint16_t port, Ipv4Endpoint* out) {
    if (text == nullptr) return false;
    // Parsed here rather than by InetPton, so that exactly the same texts
    // are taken as on POSIX: four decimal parts, nothing before or after.
    const char* p = text;
    std::uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && *p++ != '.') return false;
        std::uint32_t value = 0;
        if (!parse_part(p, &value)) return false;
        address = (address << 8) | value;
    }
    if (*p != '\0') return false;
    out->address = address;
    out->port = port;
    return true;
}

void format_ipv4(const Ipv4Endpoint& endpoint, char* text) {
    const std::uint32_t a = endpoint.address;
    std::snprintf(text, kIpv4TextSize, "%u.%u.%u.%u", (a >> 24) & 0xFFu, (a >> 16) & 0xFFu, (a >> 8) & 0xFFu,
                  a & 0xFFu);
}

NetError net_last_error() {
    const int err = WSAGetLastError();
    if (err == WSAEWOULDBLOCK || err == WSAETIMEDOUT) return NetError::TimedOut;
    if (is_closed_error(err)) return NetError::Closed;
    return NetError::Other;
}

NetStartup net_startup() {
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) return NetStartup::Failed;
    if (LOBYTE(data.wVersion) != 2 || HIBYTE(data.wVersion) != 0) {
        WSACleanup();
        return NetStartup::WrongVersion;
    }
    return NetStartup::Ok;
}

void net_cleanup() { WSACleanup(); }

SocketHandle udp_socket() {
    const SocketHandle sock = new_socket(SOCK_DGRAM, IPPROTO_UDP);
    if (sock == kInvalidSocket) return sock;
    // Without this, a datagram that met a closed port makes the next
    // receive fail with WSAECONNRESET, which POSIX never reports for UDP.
    BOOL reportReset = FALSE;
    DWORD returned = 0;
    WSAIoctl(native(sock), SIO_UDP_CONNRESET, &reportReset, sizeof reportReset, nullptr, 0, &returned, nullptr,
             nullptr);
    return sock;
}

SocketHandle tcp_socket() { return new_socket(SOCK_STREAM, IPPROTO_TCP); }

void sock_close(SocketHandle& sock) {
    if (sock != kInvalidSocket) closesocket(native(sock));
    sock = kInvalidSocket;
}

bool sock_set_broadcast(SocketHandle sock) {
    const BOOL on = TRUE;
    return setsockopt(native(sock), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

bool sock_set_nonblocking(SocketHandle sock) { return set_blocking(sock, false); }

bool sock_set_send_timeout(SocketHandle sock, int ms) { return set_timeout(sock, SO_SNDTIMEO, ms); }
bool sock_set_recv_timeout(SocketHandle sock, int ms) { return set_timeout(sock, SO_RCVTIMEO, ms); }

int sock_wait_ready(SocketHandle sock, int timeoutMs) {
    if (sock == kInvalidSocket) {
        WSASetLastError(WSAENOTSOCK);
        return -1;
    }
    // Winsock's fd_set is a list of handles, so any socket fits.
    fd_set readSet;
    fd_set writeSet;
    FD_ZERO(&readSet);
    FD_SET(native(sock), &readSet);
    writeSet = readSet;
    const int ms = timeoutMs < 0 ? 0 : timeoutMs;
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    const int n = select(0, &readSet, &writeSet, nullptr, &tv);
    if (n == SOCKET_ERROR) return -1;
    if (n == 0) return 0;
    return FD_ISSET(native(sock), &readSet) || FD_ISSET(native(sock), &writeSet) ? 1 : 0;
}

int sock_sendto(SocketHandle sock, const std::uint8_t* data, std::size_t len, const Ipv4Endpoint& to) {
    const sockaddr_in sa = to_sockaddr(to);
    return sendto(native(sock), reinterpret_cast<const char*>(data), clamp_length(len), 0,
                  reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
}

int sock_recvfrom(SocketHandle sock, std::uint8_t* buf, std::size_t len, Ipv4Endpoint* from) {
    sockaddr_in sa{};
    int saLen = sizeof sa;
    int n = recvfrom(native(sock), reinterpret_cast<char*>(buf), clamp_length(len), 0,
                     reinterpret_cast<sockaddr*>(&sa), &saLen);
    // A longer datagram fills the buffer and fails; POSIX returns it cut
    // to the buffer, so this does too.
    if (n == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE) n = clamp_length(len);
    if (n >= 0 && from != nullptr) {
        from->address = ntohl(sa.sin_addr.s_addr);
        from->port = ntohs(sa.sin_port);
    }
    return n;
}

bool sock_connect(SocketHandle sock, const Ipv4Endpoint& to) {
    const sockaddr_in sa = to_sockaddr(to);
    return connect(native(sock), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

bool sock_connect_within(SocketHandle sock, const Ipv4Endpoint& to, int timeoutMs) {
    if (!set_blocking(sock, false)) return false;
    const sockaddr_in sa = to_sockaddr(to);
    bool connected = connect(native(sock), reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    int err = connected ? 0 : WSAGetLastError();
    if (!connected && err == WSAEWOULDBLOCK) {
        // Done shows in the write set; refused or unreachable in the
        // exception set, with the reason in SO_ERROR.
        fd_set writeSet;
        fd_set exceptSet;
        FD_ZERO(&writeSet);
        FD_SET(native(sock), &writeSet);
        exceptSet = writeSet;
        const int ms = timeoutMs < 0 ? 0 : timeoutMs;
        timeval tv{ms / 1000, (ms % 1000) * 1000};
        const int ready = select(0, nullptr, &writeSet, &exceptSet, &tv);
        if (ready == SOCKET_ERROR) {
            err = WSAGetLastError();
        } else if (ready == 0) {
            err = WSAETIMEDOUT;
        } else {
            int soError = 0;
            int len = sizeof soError;
            if (getsockopt(native(sock), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &len) != 0) {
                soError = WSAGetLastError();
            }
            connected = soError == 0 && FD_ISSET(native(sock), &writeSet);
            err = connected ? 0 : (soError != 0 ? soError : WSAECONNREFUSED);
        }
    }
    set_blocking(sock, true);
    WSASetLastError(err);
    return connected;
}

int sock_send(SocketHandle sock, const std::uint8_t* data, std::size_t len) {
    if (sock == kInvalidSocket) {
        WSASetLastError(WSAENOTSOCK);
        return -1;
    }
    // Winsock raises no signal on a closed peer: the error is all there is.
    return send(native(sock), reinterpret_cast<const char*>(data), clamp_length(len), 0);
}

int sock_recv(SocketHandle sock, std::uint8_t* buf, std::size_t len) {
    if (sock == kInvalidSocket) {
        WSASetLastError(WSAENOTSOCK);
        return -1;
    }
    return recv(native(sock), reinterpret_cast<char*>(buf), clamp_length(len), 0);
}

int sock_recv_within(SocketHandle sock, std::uint8_t* buf, std::size_t len, int timeoutMs) {
    if (sock == kInvalidSocket) {
        WSASetLastError(WSAENOTSOCK);
        return -1;
    }
    const int ready = wait_readable(sock, timeoutMs);
    if (ready < 0) return -1;
    if (ready == 0) {
        WSASetLastError(WSAEWOULDBLOCK);
        return -1;
    }
    return recv_ready(sock, buf, len);
}

std::size_t sock_discard_pending(SocketHandle sock, bool* peerClosed) {
    *peerClosed = false;
    if (sock == kInvalidSocket) return 0;
    std::uint8_t scratch[kDiscardChunk];
    std::size_t dropped = 0;
    for (int i = 0; i < kDiscardRounds; ++i) {
        const int ready = wait_readable(sock, 0);
        if (ready <= 0) {
            *peerClosed = ready < 0 && is_closed_error(WSAGetLastError());
            break;
        }
        const int n = recv_ready(sock, scratch, sizeof scratch);
        if (n > 0) {
            dropped += static_cast<std::size_t>(n);
            continue;
        }
        *peerClosed = n == 0 || is_closed_error(WSAGetLastError());
        break;
    }
    return dropped;
}

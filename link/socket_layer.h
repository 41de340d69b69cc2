// The thin socket layer under discovery, the heartbeat and the request
// exchange: IPv4 datagram and stream sockets with just the operations the
// link uses. One implementation file per platform; the link above it never
// sees a sockaddr, an errno or a WSA call.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
using SocketHandle = std::uintptr_t;  // SOCKET
inline constexpr SocketHandle kInvalidSocket = ~SocketHandle{0};
#else
using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;
#endif

// An IPv4 address and port, both in host byte order.
struct Ipv4Endpoint {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
};

// Longest dotted-decimal IPv4 text plus its NUL ("255.255.255.255").
inline constexpr std::size_t kIpv4TextSize = 16;

// Strict dotted-decimal parse ("a.b.c.d", each 0..255); false on anything else.
bool parse_ipv4(const char* text, std::uint16_t port, Ipv4Endpoint* out);
// Dotted-decimal text of the address into `text` (kIpv4TextSize bytes).
void format_ipv4(const Ipv4Endpoint& endpoint, char* text);

// What a failed operation ran into, for the callers that react to it.
enum class NetError {
    TimedOut,   // the socket's time-out elapsed, or nothing waiting on a non-blocking socket
    Closed,     // the peer closed or reset the connection
    Other,
};
// The error of the calling thread's latest failed operation.
NetError net_last_error();

enum class NetStartup {
    Ok,
    Failed,        // the stack did not start
    WrongVersion,  // it started, but not in version 2.0; already cleaned up again
};
// Starts the network stack asking for version 2.0. Nothing to start on POSIX.
NetStartup net_startup();
void net_cleanup();

SocketHandle udp_socket();
SocketHandle tcp_socket();
// Closes the socket (if valid) and leaves the handle invalid.
void sock_close(SocketHandle& sock);

bool sock_set_broadcast(SocketHandle sock);
// Receives and sends return at once instead of waiting (discovery's polling).
bool sock_set_nonblocking(SocketHandle sock);
bool sock_set_send_timeout(SocketHandle sock, int ms);
bool sock_set_recv_timeout(SocketHandle sock, int ms);

// Readiness of one socket for reading or writing within `timeoutMs`:
// 1 reported ready, 0 not within the time, -1 the check itself failed.
int sock_wait_ready(SocketHandle sock, int timeoutMs);

// Datagram send and receive. Results as the system calls: a count, or -1.
int sock_sendto(SocketHandle sock, const std::uint8_t* data, std::size_t len, const Ipv4Endpoint& to);
int sock_recvfrom(SocketHandle sock, std::uint8_t* buf, std::size_t len, Ipv4Endpoint* from);

// Stream operations. `sock_send` never raises a signal on a closed peer; it
// returns -1 with NetError::Closed instead. `sock_recv` returns 0 when the
// peer has closed the connection.
bool sock_connect(SocketHandle sock, const Ipv4Endpoint& to);
// Connects within `timeoutMs` (a non-blocking connect and a wait for it),
// whatever the socket's own time-outs; the socket is blocking again after.
// False when refused, unreachable or not done in time (NetError::TimedOut).
bool sock_connect_within(SocketHandle sock, const Ipv4Endpoint& to, int timeoutMs);
int sock_send(SocketHandle sock, const std::uint8_t* data, std::size_t len);
// One receive, bounded by the socket's receive time-out.
int sock_recv(SocketHandle sock, std::uint8_t* buf, std::size_t len);
// Waits at most `timeoutMs` (0: not at all) for bytes, then takes what has
// come, up to `len`, without waiting further: a count; 0 when the peer has
// closed the connection; -1 on failure or when nothing came in time
// (net_last_error() then says TimedOut).
int sock_recv_within(SocketHandle sock, std::uint8_t* buf, std::size_t len, int timeoutMs);
// Reads and drops whatever the peer has already sent, without waiting for
// more; returns the number of bytes dropped. *peerClosed tells whether the
// peer has closed or reset the connection meanwhile.
std::size_t sock_discard_pending(SocketHandle sock, bool* peerClosed);

// The server side of the simulator's sockets, beside the link's socket
// layer (link/socket_layer.h), which it uses for everything a client does
// too. One implementation file per platform.
#pragma once

#include "socket_layer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

bool sim_bind(SocketHandle sock, const Ipv4Endpoint& at);
// A restarted simulator may listen again on the port it just left.
void sim_reuse_address(SocketHandle sock);
bool sim_listen(SocketHandle sock, int backlog);
// The port the system gave a socket bound to port 0; 0 on failure.
std::uint16_t sim_local_port(SocketHandle sock);
// The next connection, not inherited by programs started from here.
SocketHandle sim_accept(SocketHandle listener);
// Each send goes out at once, in a segment of its own (no Nagle).
void sim_no_delay(SocketHandle sock);
// Ends both directions of a connection; the peer sees its end.
void sim_shutdown(SocketHandle sock);

// Waits at most `timeoutMs` until one of `count` sockets has something to
// read (or its peer closed); ready[i] tells which. A count of ready sockets,
// 0 when none in time, -1 when the wait failed (an interruption is not one).
int sim_wait_readable(const SocketHandle* socks, bool* ready, std::size_t count, int timeoutMs);

// Whether the calling thread's latest failure was "address already in use",
// and the system's words for it.
bool sim_address_in_use();
std::string sim_last_error_text();

// The broadcast address of the interface holding `address` (host order),
// for an address that is not loopback; nothing when unknown.
std::optional<std::uint32_t> sim_interface_broadcast(std::uint32_t address);

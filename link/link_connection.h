// Inside the link: the exchange lock, opening and dropping tcp_sock, and the
// send-and-receive that the heartbeat and the request exchange share.
#pragma once

#include "gateway_link.h"

#include <cstdint>
#include <mutex>

// Held for each complete send-and-receive on tcp_sock and whenever
// tcp_sock or pucDestIpBuf change. Never held while a message box is open.
std::unique_lock<std::mutex> lock_exchange();

enum class ConnectResult {
    Connected,
    NoSocket,       // the stream socket could not be created
    ConnectFailed,  // connect refused or timed out; tcp_sock stays invalid
};
// Exchange lock held: opens tcp_sock to pucDestIpBuf on the configured port
// and sets its time-outs.
ConnectResult open_connection_locked();

// Exchange lock held: closes tcp_sock and forgets any pending reconnect.
void close_connection_locked();

enum class TransferResult { Received, SendFailed, RecvFailed };
// Exchange lock held: sends the whole packet once and receives one reply of
// at most kRecvBufSize bytes into `recvBuf` (cleared first), with the trace
// lines of both exchanges. A connection the gateway closed or reset is
// closed when it is found so, and reopened once before the next send. `setTimeouts` sets the
// configured send and receive time-outs first.
TransferResult transfer_locked(const std::uint8_t* packet, std::uint32_t packetLen, std::uint8_t* recvBuf,
                               bool setTimeouts, int* count);

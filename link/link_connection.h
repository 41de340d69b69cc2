// Inside the link: the exchange lock, opening and dropping tcp_sock, and the
// send-and-receive that the heartbeat and the request exchange share.
#pragma once

#include "exchange_outcome.h"
#include "gateway_link.h"
#include "packet_reader.h"

#include <cstdint>
#include <mutex>

// The lock for the user-interface side (page queries, discovery, a
// reopen). It says that a user waits before it waits itself, so the
// heartbeat gives way: it starts no beat and gives up a reply it is still
// waiting for.
class UserLock {
public:
    UserLock();
    ~UserLock() = default;
    UserLock(const UserLock&) = delete;
    UserLock& operator=(const UserLock&) = delete;
    void unlock() { lock_.unlock(); }

private:
    std::unique_lock<std::mutex> lock_;
};

// The heartbeat's lock: owned only when it was free and no user waits.
std::unique_lock<std::mutex> try_lock_for_heartbeat();
// A user-interface exchange waits for the lock.
bool user_waiting();

enum class ConnectResult {
    Connected,
    NoSocket,       // the stream socket could not be created
    ConnectFailed,  // connect refused or timed out; tcp_sock stays invalid
};
// Exchange lock held: opens tcp_sock to pucDestIpBuf on the configured port
// within `connectTimeoutMs` and sets its time-outs.
ConnectResult open_connection_locked(int connectTimeoutMs);

// Exchange lock held: closes tcp_sock and forgets any pending reconnect or
// resynchronisation.
void close_connection_locked();

// What an exchange did to the connection, told to the user once the lock
// is released (a message box or the status line must never wait under it).
struct LinkNotices {
    bool foundClosed = false;   // the connection was found closed or reset
    bool reopened = false;      // a fresh connection was opened for this exchange
};
// The status line for a reopened connection.
void announce_link_notices(const LinkNotices& notices);

// One exchange's request and where its reply goes.
struct Transfer {
    const std::uint8_t* packet = nullptr;
    std::uint32_t packetLen = 0;
    std::uint8_t cmd = 0;          // the request's command: only a reply to it is taken
    bool setTimeouts = false;      // set the configured time-outs on the socket first
    ReadYield* yield = nullptr;    // the heartbeat's: gives up for a waiting user
    int connectTimeoutMs = 0;      // for a reopen before the request
};
struct ReplyTarget {
    std::uint8_t* recvBuf = nullptr;   // kLinkRecvBufSize bytes: the packet as received
    CipherSlot* plaintext = nullptr;
    std::uint8_t* rx = nullptr;        // kRxBufSize bytes: the decrypted frame
    std::uint32_t* rxLen = nullptr;
};

// Exchange lock held: sends the packet whole and reads one whole reply
// packet within the receive time-out, decrypts it into the target and
// judges magic and end byte, with the trace lines of both sides. Bytes
// that are not the answer to this request are never handed over: a late
// heartbeat reply owed from a beat that gave way is skipped; after a
// time-out, a garbled packet or bytes past the reply the position in the
// stream is unknown, so the connection is reopened before the next request.
ExchangeOutcome transfer_locked(const Transfer& transfer, const ReplyTarget& target, LinkNotices* notices);

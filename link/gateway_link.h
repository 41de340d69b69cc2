// The gateway link: the one TCP connection to the gateway, how it is found
// (discovery), kept alive (heartbeat) and used (the request exchange).
//
// The program has a single link state, g_link. The user-interface thread
// runs discovery and every page query; the heartbeat runs on a thread of its
// own. Each complete send-and-receive on tcp_sock holds the exchange lock,
// so neither side can take the other's reply; no lock is held while a
// message box is open.
#pragma once

#include "command_frame.h"
#include "exchange_outcome.h"
#include "link_settings.h"
#include "packet_reader.h"
#include "packet_cipher.h"
#include "reply.h"
#include "socket_layer.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr std::size_t kDestIpBufSize = 20;  // gateway address text with its NUL

struct GatewayLink {
    // The TCP connection to the gateway. Guarded by the exchange lock; read
    // and written only by the link's own routines.
    SocketHandle tcp_sock = kInvalidSocket;
    // The address of the gateway last found, dotted decimal, NUL-terminated.
    // Written by discovery (under the exchange lock), read by a reconnect.
    char pucDestIpBuf[kDestIpBufSize] = {};
    // A discovery found the gateway. The window enables its page buttons and
    // colours the status line from it (black 1, red 0).
    std::atomic<int> bConnected{0};
    // Outcome of the latest discovery (1 found, 0 not found) and the outcome
    // the status line shows; -1 makes the first discovery always write it.
    int iLinkState = 0;
    int iLastLinkState = -1;
    // User-interface thread buffers: discovery and every page query.
    std::uint8_t ucTxBuf[kFrameBufSize] = {};
    std::uint8_t ucRecvBuf[kLinkRecvBufSize] = {};   // the reply packet as read, and what came with it
    std::uint8_t ucRxBuf[kRxBufSize] = {};  // the decrypted reply of the last exchange
    std::uint32_t iRxLen = 0;
    CipherSlots slots;
    // Counts the connections opened during the run. The gateway keeps a
    // listing's position per connection, so a listing that sees this change
    // between two of its requests has lost its place.
    std::atomic<std::uint32_t> iConnectCount{0};
};

extern GatewayLink g_link;

// Discovery: broadcasts the discovery frame (or takes the configured gateway
// address), sets the status line, connects the first time a gateway is
// found, and starts the heartbeat. User-interface thread only.
void ScanGateway();
// Every gateway that answers one discovery within the whole discovery
// window, first answer first, as dotted addresses; only the configured
// gateway when one is set. Connects to none and leaves the status line and
// bConnected as they are. User-interface thread only.
std::vector<std::string> ScanAllGateways();

// One request of a page query.
struct ExchangeRequest {
    std::uint8_t cmd = 0;
    const std::uint8_t* payload = nullptr;
    std::uint16_t payloadLen = 0;
    bool setTimeouts = false;                // set the send and receive time-outs before the exchange
    const char* sendFailMessage = nullptr;   // the box for a failed send (null: none)
    const char* recvFailMessage = nullptr;   // the box when no reply came (null: none)
};

// One request/reply on tcp_sock, serialised with the heartbeat (which gives
// way to it). A reply: g_link.iRxLen bytes that passed magic and end byte
// are in g_link.ucRxBuf. A failure has shown its box once the lock was
// released. A dropped reply is silent.
ExchangeOutcome ExchangeFrame(const ExchangeRequest& request);
ExchangeOutcome ExchangeFrame(std::uint8_t cmd, const std::uint8_t* payload, std::uint16_t payloadLen,
                              bool setTimeouts, const char* sendFailMessage, const char* recvFailMessage = nullptr);

// One heartbeat exchange (command 0xFF, payload 00 00 00 00).
void SendHeartbeat();
// The heartbeat worker: every `periodMs`, one SendHeartbeat(), until
// StopHeartbeat(). Run by StartHeartbeat, on a thread of its own.
void HeartbeatThread(int periodMs);
// Starts the worker unless it runs already.
void StartHeartbeat(int periodMs);
bool HeartbeatRunning();
// Stops and joins the worker (no-op if not running). A heartbeat message box
// that is open when it is called is waited for: do not call it from the
// thread that has to answer that box.
void StopHeartbeat();
// For a process that is about to end: asks the worker to stop and waits at
// most `waitMs` for it. True when it was joined; false when it is still in
// an exchange (a silent gateway holds it up to the receive time-out) — it
// then shows nothing more and ends with the process.
bool StopHeartbeatWithin(int waitMs);

// Closes tcp_sock and opens a fresh connection to the gateway last found
// (the gateway starts its listings anew for each connection). True when
// connected. User-interface thread; the heartbeat yields to it.
bool ReopenConnection();

// Closes tcp_sock, stops the heartbeat and returns the link to its start
// values.
void ResetLink();

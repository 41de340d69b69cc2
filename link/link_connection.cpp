#include "link_connection.h"

#include "trace.h"

#include <cstring>

GatewayLink g_link;

namespace {

std::mutex g_exchangeMutex;
// The gateway closed the connection: the next exchange reopens it once.
bool g_reconnectDue = false;

void drop_connection_locked() {
    trace("tcp connection closed by the gateway\n");
    sock_close(g_link.tcp_sock);
    g_reconnectDue = true;
}

// Before a request goes out. Whatever is still waiting belongs to an earlier
// request (a reply that came after its time-out, the tail of a reply cut at
// the receive size) and must not be taken for the answer to this one. A
// connection the gateway has closed meanwhile (it rebooted, say) is reopened
// once to the address last found, so the request can still get through.
void prepare_connection_locked() {
    if (g_link.tcp_sock != kInvalidSocket) {
        bool peerClosed = false;
        if (const std::size_t stale = sock_discard_pending(g_link.tcp_sock, &peerClosed); stale > 0) {
            trace("stale bytes dropped:%zu\n", stale);
        }
        if (peerClosed) drop_connection_locked();
    }
    if (g_link.tcp_sock == kInvalidSocket && g_reconnectDue && g_link.pucDestIpBuf[0] != '\0') {
        open_connection_locked();
    }
}

}  // namespace

std::unique_lock<std::mutex> lock_exchange() { return std::unique_lock(g_exchangeMutex); }

ConnectResult open_connection_locked() {
    const LinkSettings& cfg = link_settings();
    g_link.tcp_sock = tcp_socket();
    if (g_link.tcp_sock == kInvalidSocket) {
        trace("create socket error !!!");
        return ConnectResult::NoSocket;
    }
    trace("IP:%s", g_link.pucDestIpBuf);
    Ipv4Endpoint gateway;
    // The send time-out also bounds connect, so an absent host cannot hold
    // the caller for the system's minutes-long default.
    sock_set_send_timeout(g_link.tcp_sock, cfg.sendTimeoutMs);
    if (!parse_ipv4(g_link.pucDestIpBuf, cfg.port, &gateway) || !sock_connect(g_link.tcp_sock, gateway)) {
        trace("create tcp socket fails\n");
        // An unconnected socket must not stay behind: a later discovery or
        // exchange connects again only while tcp_sock is invalid.
        sock_close(g_link.tcp_sock);
        return ConnectResult::ConnectFailed;
    }
    trace("tcp connect ok\n");
    ++g_link.iConnectCount;
    g_reconnectDue = false;
    sock_set_send_timeout(g_link.tcp_sock, cfg.sendTimeoutMs);
    sock_set_recv_timeout(g_link.tcp_sock, cfg.recvTimeoutMs);
    return ConnectResult::Connected;
}

void close_connection_locked() {
    sock_close(g_link.tcp_sock);
    g_reconnectDue = false;
}

TransferResult transfer_locked(const std::uint8_t* packet, std::uint32_t packetLen, std::uint8_t* recvBuf,
                               bool setTimeouts, int* count) {
    const LinkSettings& cfg = link_settings();
    prepare_connection_locked();
    if (setTimeouts) sock_set_send_timeout(g_link.tcp_sock, cfg.sendTimeoutMs);
    if (sock_send(g_link.tcp_sock, packet, packetLen) == -1) {
        const NetError err = net_last_error();
        trace("tcp send fails\n");
        if (err == NetError::Closed) drop_connection_locked();
        return TransferResult::SendFailed;
    }
    std::memset(recvBuf, 0, kRecvBufSize);
    if (setTimeouts) sock_set_recv_timeout(g_link.tcp_sock, cfg.recvTimeoutMs);
    const int n = sock_recv(g_link.tcp_sock, recvBuf, kRecvBufSize);
    if (n <= 0) {
        const bool closed = n == 0 || net_last_error() == NetError::Closed;
        trace("res error!");
        if (closed) drop_connection_locked();
        return TransferResult::RecvFailed;
    }
    trace("res:%d", n);
    *count = n;
    return TransferResult::Received;
}

bool ReopenConnection() {
    auto lock = lock_exchange();
    close_connection_locked();
    if (g_link.pucDestIpBuf[0] == '\0') return false;
    return open_connection_locked() == ConnectResult::Connected;
}

void ResetLink() {
    StopHeartbeat();
    {
        auto lock = lock_exchange();
        close_connection_locked();
        std::memset(g_link.pucDestIpBuf, 0, sizeof g_link.pucDestIpBuf);
    }
    g_link.bConnected = 0;
    g_link.iLinkState = 0;
    g_link.iLastLinkState = -1;
    std::memset(g_link.ucTxBuf, 0, sizeof g_link.ucTxBuf);
    std::memset(g_link.ucRecvBuf, 0, sizeof g_link.ucRecvBuf);
    std::memset(g_link.ucRxBuf, 0, sizeof g_link.ucRxBuf);
    g_link.iRxLen = 0;
    g_link.slots = CipherSlots{};
}

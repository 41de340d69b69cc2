#include "link_connection.h"

#include "command_frame.h"
#include "prompts.h"
#include "trace.h"

#include <atomic>
#include <cstdio>
#include <cstring>

GatewayLink g_link;

namespace {

std::mutex g_exchangeMutex;
std::atomic<int> g_usersWaiting{0};

// All below: exchange lock held.
//
// The gateway closed the connection: the next exchange reopens it once.
bool g_reconnectDue = false;
// The position in the stream is unknown (a time-out, a garbled packet,
// bytes past a reply): the next exchange starts on a fresh connection, so
// that nothing still on its way on this one can be taken for its answer.
bool g_resyncDue = false;
// Heartbeat replies still to come on this connection from beats that gave
// way to a user before their reply was in.
int g_owedHeartbeatReplies = 0;
// The time-outs last set on tcp_sock (-1: none), so an exchange sets them
// only when they change.
int g_sendTimeoutSet = -1;
int g_recvTimeoutSet = -1;

void drop_connection_locked(LinkNotices* notices) {
    trace("tcp connection closed by the gateway\n");
    sock_close(g_link.tcp_sock);
    g_reconnectDue = true;
    notices->foundClosed = true;
}

void resync_later(const char* why) {
    trace("stream out of step (%s): the next request goes on a fresh connection\n", why);
    g_resyncDue = true;
}

void apply_timeouts_locked() {
    const LinkSettings& cfg = link_settings();
    if (g_sendTimeoutSet != cfg.sendTimeoutMs && sock_set_send_timeout(g_link.tcp_sock, cfg.sendTimeoutMs))
        g_sendTimeoutSet = cfg.sendTimeoutMs;
    if (g_recvTimeoutSet != cfg.recvTimeoutMs && sock_set_recv_timeout(g_link.tcp_sock, cfg.recvTimeoutMs))
        g_recvTimeoutSet = cfg.recvTimeoutMs;
}

// Before a request goes out. A connection whose stream is out of step is
// replaced. Whatever is waiting on the connection came unasked (the reply
// to no request still open) and is dropped. A connection the gateway has
// closed meanwhile (it rebooted, say) is reopened once to the address last
// found, so the request can still get through.
void prepare_connection_locked(int connectTimeoutMs, LinkNotices* notices) {
    if (g_resyncDue && g_link.tcp_sock != kInvalidSocket) {
        trace("resynchronising: connection reopened\n");
        sock_close(g_link.tcp_sock);
        g_reconnectDue = true;
    }
    g_resyncDue = false;
    if (g_link.tcp_sock != kInvalidSocket) {
        bool peerClosed = false;
        if (const std::size_t stale = sock_discard_pending(g_link.tcp_sock, &peerClosed); stale > 0) {
            trace("stale bytes dropped:%zu\n", stale);
        }
        if (peerClosed) drop_connection_locked(notices);
    }
    if (g_link.tcp_sock == kInvalidSocket && g_reconnectDue && g_link.pucDestIpBuf[0] != '\0') {
        if (open_connection_locked(connectTimeoutMs) == ConnectResult::Connected) notices->reopened = true;
    }
}

// The connection under the reply reader. The first read of a reply waits
// with the socket's own receive time-out, which is the whole deadline: one
// system call when the reply comes in one piece.
class SocketSource final : public StreamSource {
public:
    Got read_some(std::uint8_t* buf, std::size_t len, int timeoutMs, bool first, std::size_t* count) override {
        const bool blocking = first && g_recvTimeoutSet > 0 && timeoutMs >= g_recvTimeoutSet;
        const int n = blocking ? sock_recv(g_link.tcp_sock, buf, len)
                               : sock_recv_within(g_link.tcp_sock, buf, len, timeoutMs);
        if (n > 0) {
            *count = static_cast<std::size_t>(n);
            return Got::Bytes;
        }
        if (n == 0) return Got::Closed;
        switch (net_last_error()) {
        case NetError::TimedOut: return Got::TimedOut;
        case NetError::Closed: return Got::Closed;
        case NetError::Other: break;
        }
        return Got::Failed;
    }
};

bool send_whole_locked(const std::uint8_t* packet, std::uint32_t len) {
    std::uint32_t sent = 0;
    // A send that took part of the packet is carried on: half a request
    // would leave the gateway's reading out of step.
    while (sent < len) {
        const int n = sock_send(g_link.tcp_sock, packet + sent, len - sent);
        if (n <= 0) return false;
        sent += static_cast<std::uint32_t>(n);
    }
    return true;
}

ExchangeOutcome receive_failed(PacketRead status, LinkNotices* notices) {
    trace("res error!");
    switch (status) {
    case PacketRead::Closed:
        drop_connection_locked(notices);
        return ExchangeOutcome::failed(ExchangeReason::Closed);
    case PacketRead::TimedOut:
        // The reply may still come, late: it must not meet the next request.
        resync_later("no whole reply in time");
        return ExchangeOutcome::failed(ExchangeReason::TimedOut);
    default:
        resync_later("the receive failed");
        return ExchangeOutcome::failed(ExchangeReason::RecvFailed);
    }
}

// Decrypts the packet at the start of recvBuf into the target and judges
// magic and end byte.
ExchangeOutcome open_packet_locked(const ReplyTarget& target, std::size_t length) {
    std::memset(target.rx, 0, kRxBufSize);
    *target.rxLen = 0;
    const std::uint32_t named = packet_frame_length(target.recvBuf);
    std::uint32_t n = 0;
    if (udp_aes_decrypt_entry(target.recvBuf, static_cast<std::uint32_t>(length), *target.plaintext, &n) != 0 ||
        n != named) {
        trace("reply trailer disagrees with its length\n");
        resync_later("garbled reply");
        return ExchangeOutcome::dropped(ExchangeReason::Garbled);
    }
    *target.rxLen = n;
    std::memcpy(target.rx, target.plaintext->data(), n);
    if (target.rx[0] != kFrameMagic0 || target.rx[1] != kFrameMagic1)
        return ExchangeOutcome::dropped(ExchangeReason::BadMagic);
    if (!reply_magic_and_end_ok(target.rx, n, kRxBufSize)) return ExchangeOutcome::dropped(ExchangeReason::BadEnd);
    return ExchangeOutcome::reply();
}

// Bytes that came after the reply in the same reads. The same packet once
// more is a reply sent twice and goes; anything else leaves the stream's
// position unknown, and the reply with it is not trusted.
bool leftover_acceptable_locked(const std::uint8_t* buf, std::size_t length, std::size_t have) {
    const std::size_t extra = have - length;
    if (extra == 0) return true;
    if (extra == length && std::memcmp(buf, buf + length, length) == 0) {
        trace("duplicate reply dropped:%zu\n", extra);
        return true;
    }
    trace("stray bytes after the reply:%zu\n", extra);
    resync_later("bytes past the reply");
    return false;
}

}  // namespace

UserLock::UserLock() {
    ++g_usersWaiting;
    lock_ = std::unique_lock(g_exchangeMutex);
    --g_usersWaiting;
}

std::unique_lock<std::mutex> try_lock_for_heartbeat() {
    if (g_usersWaiting.load() > 0) return {};
    std::unique_lock lock(g_exchangeMutex, std::try_to_lock);
    return lock;
}

bool user_waiting() { return g_usersWaiting.load() > 0; }

ConnectResult open_connection_locked(int connectTimeoutMs) {
    const LinkSettings& cfg = link_settings();
    g_link.tcp_sock = tcp_socket();
    if (g_link.tcp_sock == kInvalidSocket) {
        trace("create socket error !!!");
        return ConnectResult::NoSocket;
    }
    trace("IP:%s", g_link.pucDestIpBuf);
    Ipv4Endpoint gateway;
    if (!parse_ipv4(g_link.pucDestIpBuf, cfg.port, &gateway) ||
        !sock_connect_within(g_link.tcp_sock, gateway, connectTimeoutMs)) {
        trace("create tcp socket fails\n");
        // An unconnected socket must not stay behind: a later discovery or
        // exchange connects again only while tcp_sock is invalid.
        sock_close(g_link.tcp_sock);
        return ConnectResult::ConnectFailed;
    }
    trace("tcp connect ok\n");
    ++g_link.iConnectCount;
    g_reconnectDue = false;
    g_resyncDue = false;
    g_owedHeartbeatReplies = 0;
    g_sendTimeoutSet = g_recvTimeoutSet = -1;
    apply_timeouts_locked();
    return ConnectResult::Connected;
}

void close_connection_locked() {
    sock_close(g_link.tcp_sock);
    g_reconnectDue = false;
    g_resyncDue = false;
    g_owedHeartbeatReplies = 0;
}

void announce_link_notices(const LinkNotices& notices) {
    if (!notices.reopened) return;
    char text[64];
    std::snprintf(text, sizeof text, "Reconnected to %s !", g_link.pucDestIpBuf);
    prompts().set_status_line(text);
}

ExchangeOutcome transfer_locked(const Transfer& t, const ReplyTarget& target, LinkNotices* notices) {
    prepare_connection_locked(t.connectTimeoutMs, notices);
    if (t.setTimeouts && g_link.tcp_sock != kInvalidSocket) apply_timeouts_locked();
    if (!send_whole_locked(t.packet, t.packetLen)) {
        const NetError err = net_last_error();
        trace("tcp send fails\n");
        if (err == NetError::Closed) drop_connection_locked(notices);
        else if (g_link.tcp_sock != kInvalidSocket) resync_later("the send failed");
        return ExchangeOutcome::failed(ExchangeReason::SendFailed);
    }

    const auto deadline = PacketClock::now() + std::chrono::milliseconds(link_settings().recvTimeoutMs);
    SocketSource source;
    std::size_t have = 0;
    while (true) {
        const PacketReadResult r = read_packet(source, target.recvBuf, kLinkRecvBufSize, deadline, t.yield, have);
        if (r.status == PacketRead::Abandoned) {
            // Its reply is still to come; a query that meets it skips it.
            if (r.have == 0) ++g_owedHeartbeatReplies;
            else resync_later("gave way inside a reply");
            return ExchangeOutcome::failed(ExchangeReason::Abandoned);
        }
        if (r.status == PacketRead::Garbled) {
            trace("res:%d", static_cast<int>(r.have));
            trace("garbled reply dropped\n");
            resync_later("garbled reply");
            return ExchangeOutcome::dropped(ExchangeReason::Garbled);
        }
        if (r.status != PacketRead::Whole) return receive_failed(r.status, notices);
        trace("res:%d", static_cast<int>(r.length));

        const ExchangeOutcome opened = open_packet_locked(target, r.length);
        if (!opened.ok()) {
            leftover_acceptable_locked(target.recvBuf, r.length, r.have);
            return opened;
        }
        const std::uint8_t cmd = target.rx[kFrameOffsetCommand];
        if (cmd == kCmdHeartbeat && t.cmd != kCmdHeartbeat && g_owedHeartbeatReplies > 0) {
            // The late answer to a beat that gave way: skip it, read on.
            --g_owedHeartbeatReplies;
            trace("late heartbeat reply skipped\n");
            have = r.have - r.length;
            std::memmove(target.recvBuf, target.recvBuf + r.length, have);
            continue;
        }
        if (!leftover_acceptable_locked(target.recvBuf, r.length, r.have))
            return ExchangeOutcome::dropped(ExchangeReason::StrayBytes);
        if (cmd != t.cmd) {
            if (t.cmd == kCmdHeartbeat) {
                resync_later("a reply to another request");
                return ExchangeOutcome::dropped(ExchangeReason::OtherReply);
            }
            // The query judges it with its own checks; the stream is out
            // of step all the same.
            resync_later("a reply to another request");
        }
        return opened;
    }
}

bool ReopenConnection() {
    bool connected = false;
    {
        UserLock lock;
        close_connection_locked();
        if (g_link.pucDestIpBuf[0] != '\0')
            connected = open_connection_locked(link_settings().sendTimeoutMs) == ConnectResult::Connected;
    }
    return connected;
}

void ResetLink() {
    StopHeartbeat();
    {
        UserLock lock;
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

const char* exchange_reason_text(ExchangeReason reason) {
    switch (reason) {
    case ExchangeReason::None: return "";
    case ExchangeReason::NotEncrypted: return "the request could not be encrypted";
    case ExchangeReason::SendFailed: return "the request could not be sent";
    case ExchangeReason::TimedOut: return "no whole reply came within the time-out";
    case ExchangeReason::Closed: return "the gateway closed the connection";
    case ExchangeReason::RecvFailed: return "the receive failed";
    case ExchangeReason::Abandoned: return "the heartbeat gave way to a query";
    case ExchangeReason::Reconnected: return "the connection was reopened during the listing";
    case ExchangeReason::Garbled: return "a garbled reply was dropped";
    case ExchangeReason::BadMagic: return "a reply with a wrong start was dropped";
    case ExchangeReason::BadEnd: return "a reply with a wrong end byte was dropped";
    case ExchangeReason::StrayBytes: return "a reply came with stray bytes and was dropped";
    case ExchangeReason::OtherReply: return "a reply to another request was dropped";
    }
    return "unknown";
}

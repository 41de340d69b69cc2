// Gateway discovery: one encrypted 0xFF frame by UDP broadcast, about a
// second of polling for the first valid answer, the status line, and the
// first time a gateway is found the TCP connection and the heartbeat.
#include "gateway_link.h"
#include "link_connection.h"
#include "prompts.h"
#include "trace.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kReadinessTimeoutMs = 3000;  // never elapses: a datagram socket is writable at once
constexpr std::size_t kStatusTextSize = 200;
constexpr const char* kNoDeviceText = "There is no connection device. Please check the connection!\n";

void store_gateway_address(const char* text) {
    UserLock lock;
    std::snprintf(g_link.pucDestIpBuf, sizeof g_link.pucDestIpBuf, "%s", text);
}

// The datagram socket with the discovery frame already sent, set up for
// polling; invalid (after its trace line) when discovery cannot go on.
SocketHandle send_discovery(const Ipv4Endpoint& dest) {
    SocketHandle udp = udp_socket();
    if (udp == kInvalidSocket) {
        trace("Socket 创建失败，Exit!");
        return kInvalidSocket;
    }
    sock_set_broadcast(udp);

    const std::uint16_t frameLen = build_cmd_frame(g_link.ucTxBuf, kCmdDiscovery, nullptr, 0);
    // One trace text for the whole frame keeps the line whole when the
    // heartbeat traces at the same time.
    std::string bytes;
    char hex[8];
    for (std::uint16_t i = 0; i < frameLen; ++i) {
        std::snprintf(hex, sizeof hex, "%0x ", g_link.ucTxBuf[i]);
        bytes += hex;
    }
    trace("%s\n", bytes.c_str());

    std::uint32_t packetLen = 0;
    if (udp_aes_encrypt_entry(g_link.ucTxBuf, frameLen, g_link.slots.packet, &packetLen) != 0) {
        trace("udp_aes_encrypt_entry fails\n");
        sock_close(udp);
        return kInvalidSocket;
    }
    if (sock_sendto(udp, g_link.slots.packet.data(), packetLen, dest) < 0) {
        trace("sendto error.\n");
        sock_sendto(udp, g_link.slots.packet.data(), packetLen, dest);
    } else {
        trace("sendto success");
    }
    // Polling below needs receives that return at once.
    if (!sock_set_nonblocking(udp)) {
        trace("注册网络异步事件失败!");
        sock_close(udp);
        net_cleanup();
        return kInvalidSocket;
    }
    return udp;
}

// A datagram arrived: the sender is the gateway when the reply decrypts and
// has the magic and end byte. Command and sum are not looked at.
void judge_answer(int count, const Ipv4Endpoint& sender) {
    if (!open_reply(g_link.ucRecvBuf, static_cast<std::uint32_t>(count), g_link.slots.plaintext, g_link.ucRxBuf,
                    &g_link.iRxLen)) {
        return;
    }
    char text[kIpv4TextSize];
    format_ipv4(sender, text);
    store_gateway_address(text);
    trace("test %s len :%d\n", text, static_cast<int>(std::strlen(text)));
    g_link.bConnected = 1;
}

// The polling rounds. True when the loop was left with a gateway known,
// which includes an answer in the very last round.
bool poll_for_answer(SocketHandle udp, int rounds, int pauseMs) {
    int iQueryCnt = rounds;
    while (iQueryCnt > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        --iQueryCnt;
        trace("iQueryCnt:%d\n", iQueryCnt);
        const int ready = sock_wait_ready(udp, kReadinessTimeoutMs);
        if (ready < 0) {
            // A failed check costs this round, not the program.
            trace("select fails\n");
        } else if (ready == 0) {
            trace("0.\n");
        } else {
            trace("default.\n");
            trace("sock read\n");
            std::memset(g_link.ucRecvBuf, 0, sizeof g_link.ucRecvBuf);
            Ipv4Endpoint sender;
            const int count = sock_recvfrom(udp, g_link.ucRecvBuf, sizeof g_link.ucRecvBuf, &sender);
            if (count <= 0) {
                trace("iResOrg = 0..\n");
                continue;
            }
            judge_answer(count, sender);
        }
        if (g_link.bConnected == 1) return true;
    }
    return false;
}

// The first gateway found gets the program's one connection and the
// heartbeat; later discoveries keep the connection as long as it lasts.
void connect_found_gateway() {
    const char* box = nullptr;
    {
        UserLock lock;
        if (g_link.tcp_sock != kInvalidSocket) return;
        switch (open_connection_locked(link_settings().sendTimeoutMs)) {
        case ConnectResult::NoSocket:
            box = "create tcp socket error!";
            break;
        case ConnectResult::ConnectFailed:
            box = "create tcp socket fails!";
            break;
        case ConnectResult::Connected:
            StartHeartbeat(link_settings().heartbeatPeriodMs);
            break;
        }
    }
    if (box != nullptr) prompts().message_box(box);
}

void report_found() {
    char text[kStatusTextSize];
    std::snprintf(text, sizeof text, "Connecting to %s success !", g_link.pucDestIpBuf);
    g_link.iLinkState = 1;
    if (g_link.iLinkState != g_link.iLastLinkState) prompts().set_status_line(text);
    g_link.iLastLinkState = g_link.iLinkState;
    connect_found_gateway();
}

void report_not_found() {
    g_link.bConnected = 0;
    g_link.iLinkState = 0;
    trace("没有连接设备\n");
    if (g_link.iLinkState != g_link.iLastLinkState) prompts().set_status_line(kNoDeviceText);
    g_link.iLastLinkState = g_link.iLinkState;
}

// A configured gateway address takes the place of the broadcast.
void use_configured_gateway(const std::string& address) {
    Ipv4Endpoint gateway;
    if (address.size() >= kIpv4TextSize || !parse_ipv4(address.c_str(), 0, &gateway)) {
        trace("bad gateway address:%s\n", address.c_str());
        report_not_found();
        return;
    }
    store_gateway_address(address.c_str());
    g_link.bConnected = 1;
    report_found();
}

// Every answer that opens names a gateway; each sender counts once, in the
// order they answered.
void collect_answers(SocketHandle udp, std::vector<std::string>& found) {
    for (;;) {
        std::memset(g_link.ucRecvBuf, 0, sizeof g_link.ucRecvBuf);
        Ipv4Endpoint sender;
        const int count = sock_recvfrom(udp, g_link.ucRecvBuf, sizeof g_link.ucRecvBuf, &sender);
        if (count <= 0) return;
        if (!open_reply(g_link.ucRecvBuf, static_cast<std::uint32_t>(count), g_link.slots.plaintext, g_link.ucRxBuf,
                        &g_link.iRxLen)) {
            continue;
        }
        char text[kIpv4TextSize];
        format_ipv4(sender, text);
        if (std::find(found.begin(), found.end(), text) == found.end()) found.emplace_back(text);
    }
}

}  // namespace

std::vector<std::string> ScanAllGateways() {
    const LinkSettings& cfg = link_settings();
    if (!cfg.gatewayAddress.empty()) return {cfg.gatewayAddress};
    std::vector<std::string> found;
    if (net_startup() != NetStartup::Ok) return found;
    Ipv4Endpoint dest;
    if (!parse_ipv4(cfg.broadcastAddress.c_str(), cfg.port, &dest)) {
        trace("bad broadcast address:%s\n", cfg.broadcastAddress.c_str());
        return found;
    }
    SocketHandle udp = send_discovery(dest);
    if (udp == kInvalidSocket) return found;
    // The whole window, not only until the first answer.
    for (int round = 0; round < cfg.discoveryRounds; ++round) {
        std::this_thread::sleep_for(std::chrono::milliseconds(cfg.roundPauseMs));
        collect_answers(udp, found);
    }
    sock_close(udp);
    trace("gateways found: %zu\n", found.size());
    return found;
}

void ScanGateway() {
    const LinkSettings& cfg = link_settings();
    // The stack is started for a configured gateway too: on Windows no
    // socket, the TCP one included, exists before it.
    switch (net_startup()) {
    case NetStartup::Failed:
        trace("Socket2.0初始化失败，Exit!");
        return;
    case NetStartup::WrongVersion:
        return;
    case NetStartup::Ok:
        break;
    }
    if (!cfg.gatewayAddress.empty()) {
        use_configured_gateway(cfg.gatewayAddress);
        return;
    }
    Ipv4Endpoint dest;
    if (!parse_ipv4(cfg.broadcastAddress.c_str(), cfg.port, &dest)) {
        trace("bad broadcast address:%s\n", cfg.broadcastAddress.c_str());
        return;
    }
    SocketHandle udp = send_discovery(dest);
    if (udp == kInvalidSocket) return;
    const bool found = poll_for_answer(udp, cfg.discoveryRounds, cfg.roundPauseMs);
    // The datagram socket is done with whichever way discovery ends.
    sock_close(udp);
    if (found) {
        report_found();
    } else {
        report_not_found();
    }
}

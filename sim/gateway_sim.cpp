#include "gateway_sim.h"

#include "command_frame.h"
#include "sim_responder.h"
#include "sim_socket.h"
#include "sim_wire.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

constexpr int kPollMs = 500;          // each wait also ends at once on stop
constexpr int kSplitPauseMs = 20;     // between the two halves of a split reply
constexpr int kBindAttempts = 20;     // free-port picks before giving up
constexpr int kSendTimeoutMs = 1000;  // a peer that reads nothing cannot hold the server
constexpr std::size_t kRecvChunk = 4096;
// After a request the connection alone is watched this long for the next
// one (a client in the middle of a listing sends it at once), at most this
// many times in a row before the wait on every socket again: a newcomer or
// a stop waits no longer than that.
constexpr int kFollowUpMs = 2;
constexpr int kFollowUpsInARow = 64;
constexpr std::uint32_t kLoopbackAddress = 0x7F000001u;    // 127.0.0.1
constexpr std::uint32_t kLoopbackBroadcast = 0x7FFFFFFFu;  // 127.255.255.255
constexpr std::uint32_t kFirstExtraGateway = 0x7F000002u;  // 127.0.0.2, .3, ...

bool bind_to(SocketHandle sock, std::uint32_t address, std::uint16_t port) {
    return sim_bind(sock, Ipv4Endpoint{address, port});
}

// Datagrams to the broadcast address reach only sockets bound to that
// address (or to any address), so discovery is received on one bound there.
// Loopback is 127.0.0.0/8; otherwise the interface holding the address says.
std::optional<std::uint32_t> broadcast_of(std::uint32_t address) {
    if ((address >> 24) == 127) return kLoopbackBroadcast;
    return sim_interface_broadcast(address);
}

bool is_unit_reply(std::uint8_t cmd) {
    return cmd == kCmdStatus || cmd == kCmdTestResults || cmd == kCmdTestDetails;
}

// The faults for reply number `replyNumber` (since the faults were set) to
// `cmd`: all of them, or, when they are kept for other commands or another
// reply, none of the reply faults.
SimFaults faults_for(const SimFaults& f, std::uint8_t cmd, int replyNumber) {
    const bool thisReply = f.onReply <= 0 || f.onReply == replyNumber;
    if (thisReply && (f.onlyCommands.empty() || f.onlyCommands.count(cmd))) return f;
    SimFaults clean;
    clean.closeAfterReplies = f.closeAfterReplies;
    clean.unitsMissing = f.unitsMissing;
    clean.unitsBusy = f.unitsBusy;
    clean.unitsBusyEvery = f.unitsBusyEvery;
    clean.extraGateways = f.extraGateways;
    clean.ignoreDiscovery = f.ignoreDiscovery;
    clean.discoveryDelayMs = f.discoveryDelayMs;
    return clean;
}

std::string hex_line(const char* what, const std::vector<std::uint8_t>& bytes) {
    std::string out = what;
    char b[4];
    for (std::uint8_t v : bytes) {
        std::snprintf(b, sizeof b, " %02X", v);
        out += b;
    }
    return out;
}

}  // namespace

struct GatewaySim::Impl {
    explicit Impl(SimConfig c) : config(std::move(c)), responder(config.luminaires), faults(config.faults) {}

    SimConfig config;
    SimResponder responder;  // the TCP thread's, and change_luminaire()'s under dataMu
    std::mutex dataMu;

    mutable std::mutex mu;  // faults and the received frames
    SimFaults faults;
    std::vector<std::vector<std::uint8_t>> received;
    std::atomic<int> accepted{0};
    std::atomic<int> replies{0};
    int requestsSinceFaults = 0;   // under mu: counts towards SimFaults::onReply

    std::uint16_t port = 0;
    SocketHandle listenFd = kInvalidSocket;
    SocketHandle discoveryFd = kInvalidSocket;  // bound to the broadcast address; invalid when bound to any
    SocketHandle answerFd = kInvalidSocket;     // bound to the bind address: answers, unicast discovery
    std::vector<SocketHandle> extraFds;         // 127.0.0.2, .3, ...: the other gateways' answers
    // A datagram to this loopback socket ends both threads' waits; it is
    // never read, so it goes on ending them.
    SocketHandle wake = kInvalidSocket;
    Ipv4Endpoint wakeAt;

    std::mutex connMu;           // connFd between the TCP thread and drop_connection()
    SocketHandle connFd = kInvalidSocket;
    int repliesOnConn = 0;
    RequestStream stream;

    std::atomic<bool> running{false};
    std::thread tcpThread, udpThread;

    SimFaults snapshot() const {
        std::lock_guard lock(mu);
        return faults;
    }
    SimFaults faults_for_next(std::uint8_t cmd) {
        std::lock_guard lock(mu);
        return faults_for(faults, cmd, ++requestsSinceFaults);
    }
    void record(const SimFrame& frame, const char* how) {
        log(how, frame);
        std::lock_guard lock(mu);
        received.push_back(frame);
    }
    void log(const char* what, const std::vector<std::uint8_t>& bytes) const {
        if (config.frameLog) config.frameLog(hex_line(what, bytes));
    }

    // Sleeps `ms`, or less when stopping; false when stopping.
    bool pause(int ms) const {
        bool woken = false;
        return sim_wait_readable(&wake, &woken, 1, ms) == 0;
    }

    bool open_wake();

    bool open_sockets(std::uint16_t wanted);
    void close_sockets();
    void serve_tcp();
    void serve_udp();
    void accept_connection();
    // False when nothing came (the connection may have closed meanwhile).
    bool read_connection();
    void answer(const SimFrame& request, const SimFaults& f);
    bool send_all(const std::uint8_t* data, std::size_t len);
    bool send_packet(const SimPacket& packet, const SimFaults& f);
    void close_connection();
    void answer_discovery(const SimFrame& request, const Ipv4Endpoint& from, const SimFaults& f);
};

bool GatewaySim::Impl::open_wake() {
    wake = udp_socket();
    wakeAt = Ipv4Endpoint{kLoopbackAddress, 0};
    if (wake == kInvalidSocket || !sim_bind(wake, wakeAt)) return false;
    wakeAt.port = sim_local_port(wake);
    return wakeAt.port != 0;
}

bool GatewaySim::Impl::open_sockets(std::uint16_t wanted) {
    Ipv4Endpoint bindAt;
    if (!parse_ipv4(config.bindAddress.c_str(), 0, &bindAt)) {
        std::fprintf(stderr, "gateway sim: \"%s\" is not an IPv4 address\n", config.bindAddress.c_str());
        return false;
    }
    const std::uint32_t addr = bindAt.address;
    const auto bcast = addr == 0 ? std::nullopt : broadcast_of(addr);  // 0: any address
    std::string error;
    for (int attempt = 0; attempt < kBindAttempts; ++attempt) {
        close_sockets();
        listenFd = tcp_socket();
        answerFd = udp_socket();
        if (listenFd == kInvalidSocket || answerFd == kInvalidSocket) break;
        sim_reuse_address(listenFd);
        if (!bind_to(listenFd, addr, wanted) || !sim_listen(listenFd, 4)) {
            error = sim_last_error_text();
            break;
        }
        port = sim_local_port(listenFd);

        bool ok = bind_to(answerFd, addr, port);
        sock_set_broadcast(answerFd);
        if (ok && bcast) {
            discoveryFd = udp_socket();
            ok = discoveryFd != kInvalidSocket && bind_to(discoveryFd, *bcast, port);
        }
        const int extras = snapshot().extraGateways;
        for (int i = 0; ok && i < extras; ++i) {
            const SocketHandle sock = udp_socket();
            extraFds.push_back(sock);
            ok = sock != kInvalidSocket && bind_to(sock, kFirstExtraGateway + static_cast<std::uint32_t>(i), port);
        }
        if (ok) return true;
        const bool inUse = sim_address_in_use();
        error = sim_last_error_text();
        if (wanted != 0 || !inUse) break;  // only a picked port is worth another try
    }
    if (error.empty()) error = sim_last_error_text();
    std::fprintf(stderr, "gateway sim: cannot listen on %s port %u: %s\n", config.bindAddress.c_str(),
                 static_cast<unsigned>(wanted), error.c_str());
    close_sockets();
    return false;
}

void GatewaySim::Impl::close_sockets() {
    sock_close(listenFd);
    sock_close(answerFd);
    sock_close(discoveryFd);
    for (SocketHandle& sock : extraFds) sock_close(sock);
    extraFds.clear();
}

void GatewaySim::Impl::serve_tcp() {
    while (running) {
        SocketHandle socks[3] = {wake, listenFd, kInvalidSocket};
        {
            std::lock_guard lock(connMu);
            socks[2] = connFd;
        }
        bool ready[3] = {};
        const std::size_t count = socks[2] == kInvalidSocket ? 2 : 3;
        if (sim_wait_readable(socks, ready, count, kPollMs) < 0) break;
        if (ready[0]) break;
        if (ready[1]) accept_connection();
        if (count == 3 && ready[2] && read_connection()) {
            for (int i = 0; i < kFollowUpsInARow && running && connFd != kInvalidSocket; ++i) {
                if (!read_connection()) break;
            }
        }
    }
    close_connection();
}

// One connection at a time: a newcomer replaces the one before, whose peer
// is gone more often than not.
void GatewaySim::Impl::accept_connection() {
    const SocketHandle sock = sim_accept(listenFd);
    if (sock == kInvalidSocket) return;
    close_connection();
    sock_set_send_timeout(sock, kSendTimeoutMs);
    sock_set_recv_timeout(sock, kFollowUpMs);
    // A reply written in pieces goes out in those pieces.
    sim_no_delay(sock);
    {
        std::lock_guard lock(connMu);
        connFd = sock;
    }
    ++accepted;
    repliesOnConn = 0;
    stream.clear();
    {
        std::lock_guard lock(dataMu);
        responder.reset_cursors();
    }
    if (snapshot().closeAfterReplies == 0) close_connection();
}

bool GatewaySim::Impl::read_connection() {
    std::uint8_t buf[kRecvChunk];
    const int n = sock_recv(connFd, buf, sizeof buf);
    if (n < 0 && net_last_error() == NetError::TimedOut) return false;
    if (n <= 0) {
        close_connection();
        return false;
    }
    stream.feed(buf, static_cast<std::size_t>(n));
    while (running && connFd != kInvalidSocket) {
        auto frame = stream.next();
        if (!frame) break;
        // Faults are fixed before the request is recorded: once a caller
        // sees it recorded, a change of faults applies from the next one.
        const SimFaults f = faults_for_next((*frame)[kFrameOffsetCommand]);
        record(*frame, "rx tcp");
        answer(*frame, f);
    }
    return true;
}

void GatewaySim::Impl::answer(const SimFrame& request, const SimFaults& f) {
    std::optional<SimFrame> reply;
    {
        std::lock_guard lock(dataMu);
        reply = responder.reply_to(request, f);
    }
    if (!reply || f.dropReplies || f.silent) return;
    if (f.replyDelayMs > 0 && !pause(f.replyDelayMs)) return;
    const SimFrame frame = apply_frame_faults(std::move(*reply), f, is_unit_reply(request[kFrameOffsetCommand]));
    log("tx tcp", frame);
    SimPacket packet = sim_encrypt(frame);
    if (f.shortPacket) packet.resize(kShortPacketLength);
    if (f.garbleReply) {
        for (std::size_t i = 0; i < std::min<std::size_t>(16, packet.size()); ++i) packet[i] ^= 0xA7;
    }
    if (f.replyTwice) {
        const SimPacket once = packet;
        packet.insert(packet.end(), once.begin(), once.end());
    }
    if (!send_packet(packet, f)) {
        close_connection();
        return;
    }
    ++replies;
    if (f.closeAfterReplies >= 0 && ++repliesOnConn >= f.closeAfterReplies) close_connection();
}

// The packet on the wire in the pieces the faults ask for.
bool GatewaySim::Impl::send_packet(const SimPacket& packet, const SimFaults& f) {
    std::vector<std::size_t> cuts;
    if (f.byteAtATime) {
        for (std::size_t i = 1; i < packet.size(); ++i) cuts.push_back(i);
    } else if (!f.cutOffsets.empty()) {
        for (int c : f.cutOffsets)
            if (c > 0 && static_cast<std::size_t>(c) < packet.size()) cuts.push_back(static_cast<std::size_t>(c));
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    } else if (f.splitReplies && packet.size() > 1) {
        cuts.push_back(packet.size() / 2);
    }
    const int pauseMs = f.byteAtATime ? 0 : !f.cutOffsets.empty() ? f.cutPauseMs : kSplitPauseMs;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        if (!send_all(packet.data() + from, cut - from)) return false;
        // Without a pause, a piece still goes out as a segment of its own:
        // Nagle is off on the connection.
        if (pauseMs > 0 && !pause(pauseMs)) return false;
        from = cut;
    }
    return send_all(packet.data() + from, packet.size() - from);
}

bool GatewaySim::Impl::send_all(const std::uint8_t* data, std::size_t len) {
    while (len > 0) {
        const int n = sock_send(connFd, data, len);
        if (n <= 0) return false;
        data += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

void GatewaySim::Impl::close_connection() {
    std::lock_guard lock(connMu);
    sock_close(connFd);
}

void GatewaySim::Impl::serve_udp() {
    const SocketHandle rxFd = discoveryFd != kInvalidSocket ? discoveryFd : answerFd;
    while (running) {
        const SocketHandle socks[3] = {wake, rxFd, answerFd};
        bool ready[3] = {};
        const std::size_t count = rxFd == answerFd ? 2 : 3;
        if (sim_wait_readable(socks, ready, count, kPollMs) < 0) break;
        if (ready[0]) break;
        for (std::size_t i = 1; i < count; ++i) {
            if (!ready[i]) continue;
            std::uint8_t buf[kRecvChunk];
            Ipv4Endpoint from;
            const int n = sock_recvfrom(socks[i], buf, sizeof buf, &from);
            if (n <= 0) continue;
            auto frame = sim_decrypt(buf, static_cast<std::size_t>(n));
            if (!frame) continue;
            const SimFaults f = frame->size() > kFrameOffsetCommand
                                    ? faults_for(snapshot(), (*frame)[kFrameOffsetCommand], 0)
                                    : snapshot();
            record(*frame, "rx udp");
            answer_discovery(*frame, from, f);
        }
    }
}

void GatewaySim::Impl::answer_discovery(const SimFrame& request, const Ipv4Endpoint& from, const SimFaults& f) {
    if (request.size() < kFrameOverhead || request[0] != kFrameMagic0 || request[1] != kFrameMagic1 ||
        request[kFrameOffsetCommand] != kCmdDiscovery) {
        return;
    }
    if (f.ignoreDiscovery) return;
    if (f.discoveryDelayMs > 0 && !pause(f.discoveryDelayMs)) return;
    // Only the frame faults a datagram can carry; transport faults are TCP's.
    SimFaults frameFaults;
    frameFaults.badChecksum = f.badChecksum;
    frameFaults.wrongCommandEcho = f.wrongCommandEcho;
    frameFaults.endByte5F = f.endByte5F;
    frameFaults.badMagic = f.badMagic;
    frameFaults.badEndByte = f.badEndByte;
    auto send_from = [&](SocketHandle sock, int gatewayNumber) {
        const SimFrame frame = apply_frame_faults(discovery_reply(gatewayNumber), frameFaults, false);
        log(gatewayNumber == 1 ? "tx udp" : "tx udp (another gateway)", frame);
        const SimPacket packet = sim_encrypt(frame);
        sock_sendto(sock, packet.data(), packet.size(), from);
    };
    send_from(answerFd, 1);
    // More gateways may be asked for while running: bind their sockets now.
    while (extraFds.size() < static_cast<std::size_t>(std::max(f.extraGateways, 0))) {
        const std::uint32_t extra = kFirstExtraGateway + static_cast<std::uint32_t>(extraFds.size());
        SocketHandle sock = udp_socket();
        if (sock != kInvalidSocket && !bind_to(sock, extra, port)) sock_close(sock);
        extraFds.push_back(sock);
    }
    for (int i = 0; i < f.extraGateways; ++i) {
        const SocketHandle sock = extraFds[static_cast<std::size_t>(i)];
        if (sock != kInvalidSocket) send_from(sock, i + 2);
    }
}

GatewaySim::GatewaySim(SimConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

GatewaySim::~GatewaySim() { stop(); }

bool GatewaySim::start() {
    if (impl_->running) return true;
    sim_key();  // the key schedule exists before any thread needs it
    // Winsock counts its users; on POSIX there is nothing to start.
    if (net_startup() != NetStartup::Ok) return false;
    if (!impl_->open_wake() || !impl_->open_sockets(impl_->config.port)) {
        sock_close(impl_->wake);
        net_cleanup();
        return false;
    }
    impl_->running = true;
    impl_->tcpThread = std::thread([this] { impl_->serve_tcp(); });
    impl_->udpThread = std::thread([this] { impl_->serve_udp(); });
    return true;
}

void GatewaySim::stop() {
    if (!impl_->running.exchange(false)) return;
    const std::uint8_t byte = 1;
    sock_sendto(impl_->wake, &byte, 1, impl_->wakeAt);
    impl_->tcpThread.join();
    impl_->udpThread.join();
    impl_->close_sockets();
    sock_close(impl_->wake);
    net_cleanup();
}

std::uint16_t GatewaySim::port() const { return impl_->port; }

void GatewaySim::set_faults(const SimFaults& faults) {
    std::lock_guard lock(impl_->mu);
    impl_->faults = faults;
    impl_->requestsSinceFaults = 0;
}

SimFaults GatewaySim::faults() const { return impl_->snapshot(); }

bool GatewaySim::change_luminaire(std::uint8_t unit, const std::function<void(SimLuminaire&)>& edit) {
    std::lock_guard lock(impl_->dataMu);
    return impl_->responder.change(unit, edit);
}

void GatewaySim::drop_connection() {
    std::lock_guard lock(impl_->connMu);
    if (impl_->connFd != kInvalidSocket) sim_shutdown(impl_->connFd);
}

std::vector<std::vector<std::uint8_t>> GatewaySim::received_frames() const {
    std::lock_guard lock(impl_->mu);
    return impl_->received;
}

void GatewaySim::clear_received_frames() {
    std::lock_guard lock(impl_->mu);
    impl_->received.clear();
}

int GatewaySim::connections_accepted() const { return impl_->accepted; }

int GatewaySim::replies_sent() const { return impl_->replies; }

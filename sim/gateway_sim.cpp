#include "gateway_sim.h"

#include "command_frame.h"
#include "sim_responder.h"
#include "sim_wire.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <mutex>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kPollMs = 500;          // each wait also ends at once on stop
constexpr int kSplitPauseMs = 20;     // between the two halves of a split reply
constexpr int kBindAttempts = 20;     // free-port picks before giving up
constexpr int kSendTimeoutMs = 1000;  // a peer that reads nothing cannot hold the server
constexpr std::size_t kRecvChunk = 4096;

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::optional<in_addr> parse_ipv4(const std::string& text) {
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return std::nullopt;
    return a;
}

sockaddr_in socket_address(in_addr a, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = a;
    sa.sin_port = htons(port);
    return sa;
}

bool bind_to(int fd, in_addr a, std::uint16_t port) {
    const sockaddr_in sa = socket_address(a, port);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

// Datagrams to the broadcast address reach only sockets bound to that
// address (or to any address), so discovery is received on one bound there.
// Loopback is 127.0.0.0/8; otherwise the interface holding the address says.
std::optional<in_addr> broadcast_of(in_addr a) {
    const std::uint32_t host = ntohl(a.s_addr);
    if ((host >> 24) == 127) {
        in_addr b{};
        b.s_addr = htonl(0x7FFFFFFF);
        return b;
    }
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return std::nullopt;
    std::optional<in_addr> out;
    for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_BROADCAST) ||
            i->ifa_broadaddr == nullptr) {
            continue;
        }
        if (reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr == a.s_addr) {
            out = reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr)->sin_addr;
            break;
        }
    }
    freeifaddrs(list);
    return out;
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
    SimResponder responder;  // the TCP thread's alone

    mutable std::mutex mu;  // faults and the received frames
    SimFaults faults;
    std::vector<std::vector<std::uint8_t>> received;
    std::atomic<int> accepted{0};
    std::atomic<int> replies{0};
    int requestsSinceFaults = 0;   // under mu: counts towards SimFaults::onReply

    std::uint16_t port = 0;
    int listenFd = -1;
    int discoveryFd = -1;        // bound to the broadcast address; -1 when bound to any
    int answerFd = -1;           // bound to the bind address: answers, unicast discovery
    std::vector<int> extraFds;   // 127.0.0.2, .3, ...: the other gateways' answers
    int wake[2] = {-1, -1};      // a byte here ends both threads' waits

    std::mutex connMu;           // connFd between the TCP thread and drop_connection()
    int connFd = -1;
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
        pollfd p{wake[0], POLLIN, 0};
        return ::poll(&p, 1, ms) == 0;
    }

    bool open_sockets(std::uint16_t wanted);
    void close_sockets();
    void serve_tcp();
    void serve_udp();
    void accept_connection();
    void read_connection();
    void answer(const SimFrame& request, const SimFaults& f);
    bool send_all(const std::uint8_t* data, std::size_t len);
    bool send_packet(const SimPacket& packet, const SimFaults& f);
    void close_connection();
    void answer_discovery(const SimFrame& request, const sockaddr_in& from, const SimFaults& f);
};

bool GatewaySim::Impl::open_sockets(std::uint16_t wanted) {
    const auto addr = parse_ipv4(config.bindAddress);
    if (!addr) {
        std::fprintf(stderr, "gateway sim: \"%s\" is not an IPv4 address\n", config.bindAddress.c_str());
        return false;
    }
    const bool any = addr->s_addr == htonl(INADDR_ANY);
    const auto bcast = any ? std::nullopt : broadcast_of(*addr);
    int error = 0;
    for (int attempt = 0; attempt < kBindAttempts; ++attempt) {
        close_sockets();
        listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        answerFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (listenFd < 0 || answerFd < 0) break;
        const int on = 1;
        ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (!bind_to(listenFd, *addr, wanted) || ::listen(listenFd, 4) != 0) {
            error = errno;
            break;
        }
        sockaddr_in bound{};
        socklen_t len = sizeof bound;
        ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&bound), &len);
        port = ntohs(bound.sin_port);

        bool ok = bind_to(answerFd, *addr, port);
        ::setsockopt(answerFd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        if (ok && bcast) {
            discoveryFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            ok = discoveryFd >= 0 && bind_to(discoveryFd, *bcast, port);
        }
        const int extras = snapshot().extraGateways;
        for (int i = 0; ok && i < extras; ++i) {
            in_addr extra{};
            extra.s_addr = htonl(0x7F000002u + static_cast<std::uint32_t>(i));
            const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            extraFds.push_back(fd);
            ok = fd >= 0 && bind_to(fd, extra, port);
        }
        if (ok) return true;
        error = errno;
        if (wanted != 0 || error != EADDRINUSE) break;  // only a picked port is worth another try
    }
    if (error == 0) error = errno;
    std::fprintf(stderr, "gateway sim: cannot listen on %s port %u: %s\n", config.bindAddress.c_str(),
                 static_cast<unsigned>(wanted), std::strerror(error));
    close_sockets();
    return false;
}

void GatewaySim::Impl::close_sockets() {
    close_fd(listenFd);
    close_fd(answerFd);
    close_fd(discoveryFd);
    for (int& fd : extraFds) close_fd(fd);
    extraFds.clear();
}

void GatewaySim::Impl::serve_tcp() {
    while (running) {
        pollfd p[3] = {{wake[0], POLLIN, 0}, {listenFd, POLLIN, 0}, {-1, POLLIN, 0}};
        {
            std::lock_guard lock(connMu);
            p[2].fd = connFd;
        }
        if (::poll(p, 3, kPollMs) < 0 && errno != EINTR) break;
        if (p[0].revents) break;
        if (p[1].revents & POLLIN) accept_connection();
        if (p[2].fd >= 0 && p[2].revents) read_connection();
    }
    close_connection();
}

// One connection at a time: a newcomer replaces the one before, whose peer
// is gone more often than not.
void GatewaySim::Impl::accept_connection() {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    close_connection();
    const timeval tv{kSendTimeoutMs / 1000, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    {
        std::lock_guard lock(connMu);
        connFd = fd;
    }
    ++accepted;
    repliesOnConn = 0;
    stream.clear();
    responder.reset_cursors();
    if (snapshot().closeAfterReplies == 0) close_connection();
}

void GatewaySim::Impl::read_connection() {
    std::uint8_t buf[kRecvChunk];
    const ssize_t n = ::recv(connFd, buf, sizeof buf, 0);
    if (n <= 0) {
        close_connection();
        return;
    }
    stream.feed(buf, static_cast<std::size_t>(n));
    while (running && connFd >= 0) {
        auto frame = stream.next();
        if (!frame) break;
        // Faults are fixed before the request is recorded: once a caller
        // sees it recorded, a change of faults applies from the next one.
        const SimFaults f = faults_for_next((*frame)[kFrameOffsetCommand]);
        record(*frame, "rx tcp");
        answer(*frame, f);
    }
}

void GatewaySim::Impl::answer(const SimFrame& request, const SimFaults& f) {
    auto reply = responder.reply_to(request, f);
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
        const ssize_t n = ::send(connFd, data, len, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

void GatewaySim::Impl::close_connection() {
    std::lock_guard lock(connMu);
    close_fd(connFd);
}

void GatewaySim::Impl::serve_udp() {
    const int rxFd = discoveryFd >= 0 ? discoveryFd : answerFd;
    while (running) {
        pollfd p[3] = {{wake[0], POLLIN, 0}, {rxFd, POLLIN, 0}, {answerFd, POLLIN, 0}};
        const nfds_t count = rxFd == answerFd ? 2 : 3;
        if (::poll(p, count, kPollMs) < 0 && errno != EINTR) break;
        if (p[0].revents) break;
        for (nfds_t i = 1; i < count; ++i) {
            if (!(p[i].revents & POLLIN)) continue;
            std::uint8_t buf[kRecvChunk];
            sockaddr_in from{};
            socklen_t fromLen = sizeof from;
            const ssize_t n =
                ::recvfrom(p[i].fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
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

void GatewaySim::Impl::answer_discovery(const SimFrame& request, const sockaddr_in& from, const SimFaults& f) {
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
    auto send_from = [&](int fd, int gatewayNumber) {
        const SimFrame frame = apply_frame_faults(discovery_reply(gatewayNumber), frameFaults, false);
        log(gatewayNumber == 1 ? "tx udp" : "tx udp (another gateway)", frame);
        const SimPacket packet = sim_encrypt(frame);
        ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&from), sizeof from);
    };
    send_from(answerFd, 1);
    // More gateways may be asked for while running: bind their sockets now.
    while (extraFds.size() < static_cast<std::size_t>(std::max(f.extraGateways, 0))) {
        in_addr extra{};
        extra.s_addr = htonl(0x7F000002u + static_cast<std::uint32_t>(extraFds.size()));
        int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && !bind_to(fd, extra, port)) close_fd(fd);
        extraFds.push_back(fd);
    }
    for (int i = 0; i < f.extraGateways; ++i) {
        if (extraFds[static_cast<std::size_t>(i)] >= 0) send_from(extraFds[static_cast<std::size_t>(i)], i + 2);
    }
}

GatewaySim::GatewaySim(SimConfig config) : impl_(std::make_unique<Impl>(std::move(config))) {}

GatewaySim::~GatewaySim() { stop(); }

bool GatewaySim::start() {
    if (impl_->running) return true;
    sim_key();  // the key schedule exists before any thread needs it
    if (::pipe2(impl_->wake, O_CLOEXEC) != 0) return false;
    if (!impl_->open_sockets(impl_->config.port)) {
        close_fd(impl_->wake[0]);
        close_fd(impl_->wake[1]);
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
    [[maybe_unused]] const ssize_t n = ::write(impl_->wake[1], &byte, 1);
    impl_->tcpThread.join();
    impl_->udpThread.join();
    impl_->close_sockets();
    close_fd(impl_->wake[0]);
    close_fd(impl_->wake[1]);
}

std::uint16_t GatewaySim::port() const { return impl_->port; }

void GatewaySim::set_faults(const SimFaults& faults) {
    std::lock_guard lock(impl_->mu);
    impl_->faults = faults;
    impl_->requestsSinceFaults = 0;
}

SimFaults GatewaySim::faults() const { return impl_->snapshot(); }

void GatewaySim::drop_connection() {
    std::lock_guard lock(impl_->connMu);
    if (impl_->connFd >= 0) ::shutdown(impl_->connFd, SHUT_RDWR);
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

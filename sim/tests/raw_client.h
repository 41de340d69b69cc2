// A bare client built from the link core (frame builder, cipher, reply
// opener), to drive the simulator over real loopback sockets. Every wait is
// bounded.
#pragma once

#include "command_frame.h"
#include "hex.h"
#include "packet_cipher.h"
#include "reply.h"
#include "socket_layer.h"


#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline constexpr int kWaitMs = 5000;  // the longest any single wait may take

// The clients' own hold on the network stack: Winsock closes every socket of
// the process when its last user cleans up, which a simulator's stop() would
// otherwise be. Nothing to start on POSIX.
inline const bool g_clientNetwork = net_startup() == NetStartup::Ok;

inline Bytes encrypt_request(std::uint8_t cmd, const Bytes& payload) {
    std::uint8_t tx[kFrameBufSize];
    const std::uint16_t len = build_cmd_frame(tx, cmd, payload.empty() ? nullptr : payload.data(),
                                              static_cast<std::uint16_t>(payload.size()));
    CipherSlot slot;
    std::uint32_t packetLen = 0;
    if (udp_aes_encrypt_entry(tx, len, slot, &packetLen) != 0) return {};
    return Bytes(slot.begin(), slot.begin() + packetLen);
}

inline Bytes request_frame(std::uint8_t cmd, const Bytes& payload) {
    std::uint8_t tx[kFrameBufSize];
    const std::uint16_t len = build_cmd_frame(tx, cmd, payload.empty() ? nullptr : payload.data(),
                                              static_cast<std::uint16_t>(payload.size()));
    return Bytes(tx, tx + len);
}

// The frame of a whole packet, through the link's own reply opener (magic and
// end byte judged too); nullopt when it does not open.
inline std::optional<Bytes> open_packet(const Bytes& packet) {
    CipherSlot plain;
    std::uint8_t rx[kRxBufSize];
    std::uint32_t n = 0;
    if (!open_reply(packet.data(), static_cast<std::uint32_t>(packet.size()), plain, rx, &n)) return std::nullopt;
    return Bytes(rx, rx + n);
}

inline Ipv4Endpoint loopback(const char* addr, std::uint16_t port) {
    Ipv4Endpoint endpoint;
    parse_ipv4(addr, port, &endpoint);
    return endpoint;
}

struct Datagram {
    std::string from;
    std::uint16_t fromPort = 0;
    Bytes packet;
};

// Sends one discovery datagram to 127.255.255.255:port and collects the
// answers until `expected` have come (or the bounded wait ends).
inline std::vector<Datagram> discover(std::uint16_t port, std::size_t expected,
                                      const char* dest = "127.255.255.255") {
    std::vector<Datagram> out;
    SocketHandle sock = udp_socket();
    sock_set_broadcast(sock);
    const Bytes packet = encrypt_request(kCmdDiscovery, {});
    sock_sendto(sock, packet.data(), packet.size(), loopback(dest, port));
    sock_set_recv_timeout(sock, kWaitMs);
    while (out.size() < expected) {
        std::uint8_t buf[2048];
        Ipv4Endpoint from;
        const int n = sock_recvfrom(sock, buf, sizeof buf, &from);
        if (n <= 0) break;
        char text[kIpv4TextSize] = {};
        format_ipv4(from, text);
        out.push_back({text, from.port, Bytes(buf, buf + n)});
    }
    sock_close(sock);
    return out;
}

class TcpClient {
public:
    explicit TcpClient(std::uint16_t port) {
        fd_ = tcp_socket();
        if (!sock_connect(fd_, loopback("127.0.0.1", port))) sock_close(fd_);
    }
    ~TcpClient() { sock_close(fd_); }
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    bool connected() const { return fd_ != kInvalidSocket; }

    bool send_request(std::uint8_t cmd, const Bytes& payload) {
        const Bytes packet = encrypt_request(cmd, payload);
        return sock_send(fd_, packet.data(), packet.size()) == static_cast<int>(packet.size());
    }

    bool send_raw(const Bytes& bytes) {
        return sock_send(fd_, bytes.data(), bytes.size()) == static_cast<int>(bytes.size());
    }

    // Reads until the bytes so far open as one whole reply packet; the packet
    // (nullopt on close or after the bounded wait).
    std::optional<Bytes> read_packet() {
        for (;;) {
            // The shortest whole packet at the front; the rest waits for the next call.
            for (std::size_t k = 32; k <= pending_.size(); k += 16) {
                if (whole_packet(Bytes(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(k)))) {
                    Bytes packet(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(k));
                    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(k));
                    return packet;
                }
            }
            std::uint8_t buf[4096];
            const int n = sock_recv_within(fd_, buf, sizeof buf, kWaitMs);
            if (n <= 0) return std::nullopt;
            pending_.insert(pending_.end(), buf, buf + n);
            ++reads_;
        }
    }

    // The reply frame of the next packet.
    std::optional<Bytes> read_reply() {
        auto packet = read_packet();
        if (!packet) return std::nullopt;
        return open_packet(*packet);
    }

    std::optional<Bytes> exchange(std::uint8_t cmd, const Bytes& payload) {
        if (!send_request(cmd, payload)) return std::nullopt;
        return read_reply();
    }

    // Every byte until the peer closes (bounded).
    std::optional<Bytes> read_until_closed() {
        Bytes got;
        for (;;) {
            std::uint8_t buf[4096];
            const int n = sock_recv_within(fd_, buf, sizeof buf, kWaitMs);
            if (n < 0) return std::nullopt;  // a failure, or nothing within the wait
            if (n == 0) return got;
            got.insert(got.end(), buf, buf + n);
        }
    }

    int reads() const { return reads_; }

private:
    static bool whole_packet(const Bytes& p) {
        CipherSlot plain;
        std::uint32_t n = 0;
        if (udp_aes_decrypt_entry(p.data(), static_cast<std::uint32_t>(p.size()), plain, &n) != 0) return false;
        // A packet holds exactly the blocks its length needs.
        return p.size() == 16 * ((n + 15) / 16 + 1);
    }

    SocketHandle fd_ = kInvalidSocket;
    int reads_ = 0;
    Bytes pending_;
};

// Polls `condition` until it holds, for at most kWaitMs.
template <class F>
bool eventually(F condition) {
    for (int i = 0; i < kWaitMs / 5; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

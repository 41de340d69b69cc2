// A bare client built from the link core (frame builder, cipher, reply
// opener), to drive the simulator over real loopback sockets. Every wait is
// bounded.
#pragma once

#include "command_frame.h"
#include "hex.h"
#include "packet_cipher.h"
#include "reply.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

inline constexpr int kWaitMs = 5000;  // the longest any single wait may take

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

inline bool wait_readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) > 0;
}

inline sockaddr_in loopback(const char* addr, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    inet_pton(AF_INET, addr, &sa.sin_addr);
    return sa;
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
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    const Bytes packet = encrypt_request(kCmdDiscovery, {});
    const sockaddr_in to = loopback(dest, port);
    ::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    while (out.size() < expected && wait_readable(fd, kWaitMs)) {
        std::uint8_t buf[2048];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = ::recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n <= 0) break;
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        out.push_back({text, ntohs(from.sin_port), Bytes(buf, buf + n)});
    }
    ::close(fd);
    return out;
}

class TcpClient {
public:
    explicit TcpClient(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in to = loopback("127.0.0.1", port);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~TcpClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;

    bool connected() const { return fd_ >= 0; }

    bool send_request(std::uint8_t cmd, const Bytes& payload) {
        const Bytes packet = encrypt_request(cmd, payload);
        return ::send(fd_, packet.data(), packet.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(packet.size());
    }

    bool send_raw(const Bytes& bytes) {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
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
            if (!wait_readable(fd_, kWaitMs)) return std::nullopt;
            std::uint8_t buf[4096];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
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
        while (wait_readable(fd_, kWaitMs)) {
            std::uint8_t buf[4096];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n < 0) return std::nullopt;
            if (n == 0) return got;
            got.insert(got.end(), buf, buf + n);
        }
        return std::nullopt;
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

    int fd_ = -1;
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

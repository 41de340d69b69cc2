// The simulator's wire work: the packet envelope with a key schedule of its
// own (a copy of the gateway key's, so the simulator never touches the
// program-wide one while the link uses it), cutting a TCP byte stream into
// request packets, and the frame-level faults.
#pragma once

#include "packet_cipher.h"
#include "sim_responder.h"

#include <cstdint>
#include <optional>
#include <vector>

using SimPacket = std::vector<std::uint8_t>;

// The gateway key's schedule, made once from aes_load_key().
const AesContext& sim_key();

// Frame in 16-byte blocks plus the trailer block with the length as text.
SimPacket sim_encrypt(const SimFrame& frame);
// The frame of a whole packet, or nullopt when its trailer does not fit.
std::optional<SimFrame> sim_decrypt(const std::uint8_t* packet, std::size_t len);

// Collects TCP bytes and hands out whole request packets. A request's first
// block names the frame length, which fixes the packet length. A byte that
// cannot start a request (wrong magic, impossible length, a packet that does
// not decrypt to that length) is dropped, so the stream finds the next
// request after any garbage.
class RequestStream {
public:
    void feed(const std::uint8_t* data, std::size_t len);
    // The next decrypted request frame, if a whole one is there.
    std::optional<SimFrame> next();
    std::size_t discarded_bytes() const { return discarded_; }
    void clear() { buf_.clear(); }

private:
    std::vector<std::uint8_t> buf_;
    std::size_t discarded_ = 0;
};

// Frame length of the oversize fault: 1040 bytes, a packet of 1056 bytes,
// more than one receive of 1024 bytes can take.
inline constexpr std::size_t kOversizeFrameLength = 1040;
inline constexpr std::size_t kShortPacketLength = 16;

// Applies the frame faults: wrong command or unit echo, a new length
// (oversize, or cut or padded), all with a correct sum; then a wrong magic,
// a wrong sum, end byte 0x5F or 0x00. `hasUnit`: the reply carries a unit
// echo at offset 16.
SimFrame apply_frame_faults(SimFrame frame, const SimFaults& faults, bool hasUnit);

// Reading one whole packet from the TCP byte stream. A packet may come in
// any number of pieces, or share a read with bytes after it; its length is
// known once its first block is in: the frame length L sits in the frame's
// bytes 2-3, and the packet is 16 * (ceil(L / 16) + 1) bytes. One deadline
// covers the whole packet, not each read.
#pragma once

#include "packet_cipher.h"

#include <chrono>
#include <cstddef>
#include <cstdint>

// The largest packet a reply can be: a frame filling the reply buffer
// (1046 bytes, ucRxBuf), in 66 blocks, and the trailer block.
inline constexpr std::size_t kMaxReplyFrameLength = 1046;
inline constexpr std::size_t kMaxReplyPacketSize = 16 * ((kMaxReplyFrameLength + 15) / 16 + 1);  // 1072

// The link's receive buffer (ucRecvBuf): room for two of the largest
// packets, so a reply that came twice in one write is seen whole.
inline constexpr std::size_t kLinkRecvBufSize = 2 * kMaxReplyPacketSize;

// The packet length that carries a frame of `frameLen` bytes.
constexpr std::uint32_t packet_length_for(std::uint32_t frameLen) { return 16 * ((frameLen + 15) / 16 + 1); }

// Where the bytes come from: the socket, or a scripted fake in tests.
class StreamSource {
public:
    virtual ~StreamSource() = default;
    enum class Got { Bytes, TimedOut, Closed, Failed };
    // Waits at most `timeoutMs` for bytes and takes what has come, up to
    // `len`, into `buf`; *count is set for Got::Bytes. `first` marks the
    // first read of a packet, which a socket may make with its own
    // receive time-out when that equals `timeoutMs`.
    virtual Got read_some(std::uint8_t* buf, std::size_t len, int timeoutMs, bool first, std::size_t* count) = 0;
};

enum class PacketRead {
    Whole,      // a packet of `length` bytes is at the start of the buffer
    TimedOut,   // the deadline passed first (`have` bytes had come)
    Closed,     // the peer closed the connection first
    Failed,     // the read itself failed
    Garbled,    // the first block names no frame length a reply can have
    Abandoned,  // the caller's `yield` asked to give up (`have` bytes had come)
};

struct PacketReadResult {
    PacketRead status = PacketRead::Failed;
    std::size_t length = 0;   // Whole: the packet's length
    std::size_t have = 0;     // bytes read in all, the packet's and any after it
};

// Asked between slices of waiting; true gives up the read.
class ReadYield {
public:
    virtual ~ReadYield() = default;
    virtual bool give_up() = 0;
    // How long one slice of waiting may be before give_up() is asked again.
    virtual int slice_ms() const = 0;
};

using PacketClock = std::chrono::steady_clock;

// Reads one packet into `buf` (`cap` bytes, at least kMaxReplyPacketSize)
// before `deadline`. The first `preloaded` bytes of `buf` are already read
// (what came after an earlier packet). Bytes after the packet that came in
// the same reads are left in the buffer past `length` (have - length).
PacketReadResult read_packet(StreamSource& source, std::uint8_t* buf, std::size_t cap,
                             PacketClock::time_point deadline, ReadYield* yield = nullptr,
                             std::size_t preloaded = 0);

// The frame length named by a packet's first block, decrypted with the
// program's key; 0 when it cannot be the length of a reply frame.
std::uint32_t packet_frame_length(const std::uint8_t* firstBlock);

#include "sim_wire.h"

#include "command_frame.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

AesContext make_key() {
    // aes_load_key() fills the program-wide schedule; load it only when no
    // one has (it never changes afterwards), then keep a copy.
    if (g_aesContext.rk != g_aesContext.buf) aes_load_key();
    AesContext copy = g_aesContext;
    copy.rk = copy.buf;
    return copy;
}

constexpr std::size_t kMaxRequestFrame = kFrameBufSize;  // the largest frame a peer can build

std::size_t packet_length_for(std::size_t frameLen) {
    return kAesBlockSize * ((frameLen + kAesBlockSize - 1) / kAesBlockSize + 1);
}

}  // namespace

const AesContext& sim_key() {
    static const AesContext key = make_key();
    return key;
}

SimPacket sim_encrypt(const SimFrame& frame) {
    const std::size_t dataBlocks = (frame.size() + kAesBlockSize - 1) / kAesBlockSize;
    SimPacket packet(kAesBlockSize * (dataBlocks + 1), 0);
    std::vector<std::uint8_t> plain(kAesBlockSize * dataBlocks, 0);
    std::copy(frame.begin(), frame.end(), plain.begin());
    for (std::size_t b = 0; b < dataBlocks; ++b) {
        aes_encrypt_block(&sim_key(), packet.data() + b * kAesBlockSize, plain.data() + b * kAesBlockSize);
    }
    std::uint8_t trailer[kAesBlockSize] = {};
    std::snprintf(reinterpret_cast<char*>(trailer), sizeof trailer, "%zu", frame.size());
    aes_encrypt_block(&sim_key(), packet.data() + dataBlocks * kAesBlockSize, trailer);
    return packet;
}

std::optional<SimFrame> sim_decrypt(const std::uint8_t* packet, std::size_t len) {
    const std::size_t blocks = len / kAesBlockSize;
    if (blocks < 2) return std::nullopt;
    std::vector<std::uint8_t> plain(blocks * kAesBlockSize);
    for (std::size_t b = 0; b < blocks; ++b) {
        aes_decrypt_block(&sim_key(), plain.data() + b * kAesBlockSize, packet + b * kAesBlockSize);
    }
    char text[kAesBlockSize + 1] = {};
    std::copy_n(plain.end() - kAesBlockSize, kAesBlockSize, text);
    char* end = nullptr;
    const unsigned long n = std::strtoul(text, &end, 10);
    const std::size_t p = blocks * kAesBlockSize;
    if (end == text || n + 32 < p || n + 16 > p) return std::nullopt;
    plain.resize(n);
    return plain;
}

void RequestStream::feed(const std::uint8_t* data, std::size_t len) {
    buf_.insert(buf_.end(), data, data + len);
}

std::optional<SimFrame> RequestStream::next() {
    // A request's first block decrypts to the magic and the frame length;
    // anywhere else, one byte is dropped and the next position tried.
    while (buf_.size() >= kAesBlockSize) {
        std::uint8_t first[kAesBlockSize];
        aes_decrypt_block(&sim_key(), first, buf_.data());
        const std::size_t frameLen = first[2] | static_cast<std::size_t>(first[3]) << 8;
        if (first[0] == kFrameMagic0 && first[1] == kFrameMagic1 && frameLen >= kFrameOverhead &&
            frameLen <= kMaxRequestFrame) {
            const std::size_t packetLen = packet_length_for(frameLen);
            if (buf_.size() < packetLen) return std::nullopt;
            auto frame = sim_decrypt(buf_.data(), packetLen);
            if (frame && frame->size() == frameLen) {
                buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(packetLen));
                return frame;
            }
        }
        buf_.erase(buf_.begin());
        ++discarded_;
    }
    return std::nullopt;
}

SimFrame apply_frame_faults(SimFrame frame, const SimFaults& faults, bool hasUnit) {
    if (faults.wrongCommandEcho) {
        const std::uint8_t cmd = frame[kFrameOffsetCommand];
        frame[kFrameOffsetCommand] = cmd == kCmdTestResults ? kCmdTestDetails : kCmdTestResults;
    }
    if (faults.wrongUnitEcho && hasUnit && frame.size() > kReplyUnit + 3) {
        frame[kReplyUnit] = static_cast<std::uint8_t>(frame[kReplyUnit] + 1);
    }
    // A new length keeps the content before the sum, cut or padded with zeros.
    std::size_t length = frame.size();
    if (faults.replyFrameLength >= static_cast<int>(kFrameOverhead)) {
        length = std::min<std::size_t>(static_cast<std::size_t>(faults.replyFrameLength), kFrameBufSize);
    }
    if (faults.oversizeReply) length = std::max(length, kOversizeFrameLength);
    if (length != frame.size()) {
        frame.resize(frame.size() - 3);
        frame.resize(length - 3, 0);
        frame.insert(frame.end(), {0, 0, kFrameEnd});
    }
    const std::size_t n = frame.size();
    frame[2] = static_cast<std::uint8_t>(n & 0xFF);
    frame[3] = static_cast<std::uint8_t>(n >> 8);
    if (faults.badMagic) frame[0] = 0x5A;
    std::uint16_t sum = frame_sum16(frame.data(), static_cast<std::uint16_t>(n - 3));
    if (faults.badChecksum) sum = static_cast<std::uint16_t>(sum + 1);
    frame[n - 3] = static_cast<std::uint8_t>(sum & 0xFF);
    frame[n - 2] = static_cast<std::uint8_t>(sum >> 8);
    if (faults.endByte5F) frame[n - 1] = kFrameEndAlt;
    if (faults.badEndByte) frame[n - 1] = 0x00;
    return frame;
}

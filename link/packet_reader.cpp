#include "packet_reader.h"

#include "command_frame.h"

#include <algorithm>

std::uint32_t packet_frame_length(const std::uint8_t* firstBlock) {
    std::uint8_t plain[kAesBlockSize];
    if (aes_decrypt_block(&g_aesContext, plain, firstBlock) != 0) return 0;
    const std::uint32_t len = plain[kFrameOffsetLength] | (plain[kFrameOffsetLength + 1] << 8);
    if (len < kFrameMinLength || len > kMaxReplyFrameLength) return 0;
    return len;
}

namespace {

int ms_until(PacketClock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - PacketClock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 24LL * 3600 * 1000));
}

}  // namespace

PacketReadResult read_packet(StreamSource& source, std::uint8_t* buf, std::size_t cap,
                             PacketClock::time_point deadline, ReadYield* yield, std::size_t preloaded) {
    PacketReadResult r;
    r.have = preloaded;
    std::size_t need = kAesBlockSize;   // until the first block is in, then the whole packet
    bool lengthKnown = false;
    while (true) {
        if (!lengthKnown && r.have >= kAesBlockSize) {
            const std::uint32_t frameLen = packet_frame_length(buf);
            if (frameLen == 0) {
                r.status = PacketRead::Garbled;
                return r;
            }
            need = packet_length_for(frameLen);
            lengthKnown = true;
        }
        if (lengthKnown && r.have >= need) {
            r.status = PacketRead::Whole;
            r.length = need;
            return r;
        }
        int wait = ms_until(deadline);   // 0 at the end: one last look, no waiting
        if (yield != nullptr) wait = std::min(wait, std::max(1, yield->slice_ms()));
        std::size_t count = 0;
        // Read as much as there is room for: a read never has to wait for
        // more than the packet still needs, and anything after it shows.
        switch (source.read_some(buf + r.have, cap - r.have, wait, r.have == 0 && preloaded == 0 && yield == nullptr, &count)) {
        case StreamSource::Got::Bytes:
            r.have += count;
            continue;
        case StreamSource::Got::TimedOut:
            break;
        case StreamSource::Got::Closed:
            r.status = PacketRead::Closed;
            return r;
        case StreamSource::Got::Failed:
            r.status = PacketRead::Failed;
            return r;
        }
        if (yield != nullptr && yield->give_up()) {
            r.status = PacketRead::Abandoned;
            return r;
        }
        if (ms_until(deadline) == 0) {
            r.status = PacketRead::TimedOut;
            return r;
        }
    }
}

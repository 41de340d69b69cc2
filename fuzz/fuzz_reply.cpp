// Any bytes one receive can bring, opened as a reply: decrypted, copied into
// the reply buffer, judged by magic and end byte, then by the sum. Nothing
// may be read or written outside the packet, the slot or the reply buffer,
// and an accepted reply must be one the exchange can trust.
#include "command_frame.h"
#include "packet_cipher.h"
#include "reply.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool keyed = aes_load_key() == 0;
    if (!keyed) std::abort();

    // One receive takes at most kRecvBufSize bytes. An exact-size heap copy
    // lets the address sanitizer see a read past the packet.
    const std::uint32_t count = static_cast<std::uint32_t>(size > kRecvBufSize ? kRecvBufSize : size);
    const std::vector<std::uint8_t> packet(data, data + count);
    std::vector<std::uint8_t> rx(kRxBufSize, 0xCD);
    CipherSlot plain;
    std::uint32_t n = 0;
    const bool accepted = open_reply(packet.data(), count, plain, rx.data(), &n);
    if (!accepted) return 0;

    // The envelope's rule: P - 32 <= n <= P - 16 (bytes past the last whole
    // block are not decrypted and stay zero).
    if (n < kFrameMinLength || n > kRxBufSize) std::abort();
    if (n + kAesBlockSize > count || n + 2 * kAesBlockSize < count) std::abort();
    // The frame as judged: magic, an end byte the replies may carry, zero past it.
    if (rx[0] != kFrameMagic0 || rx[1] != kFrameMagic1) std::abort();
    if (rx[n - 1] != kFrameEnd && rx[n - 1] != kFrameEndAlt) std::abort();
    for (std::size_t i = n; i < kRxBufSize; ++i)
        if (rx[i] != 0) std::abort();

    const bool sumOk = reply_sum_ok(rx.data(), n);
    const std::uint16_t stated = static_cast<std::uint16_t>(rx[n - 3] | rx[n - 2] << 8);
    if (sumOk != (frame_sum16(rx.data(), static_cast<std::uint16_t>(n - 3)) == stated)) std::abort();
    (void)reply_command_ok(rx.data(), kCmdStatus);
    return 0;
}

#include "reply.h"

#include "command_frame.h"

#include <cstring>

bool open_reply(const std::uint8_t* packet, std::uint32_t count, CipherSlot& plain, std::uint8_t* rx,
                std::uint32_t* rxLen) {
    std::memset(rx, 0, kRxBufSize);
    *rxLen = 0;
    std::uint32_t n = 0;
    if (udp_aes_decrypt_entry(packet, count, plain, &n) != 0) return false;
    *rxLen = n;
    // The trailer may claim more than the reply buffer holds (a packet longer
    // than one receive can bring); such a reply is dropped, not copied.
    if (n > kRxBufSize) return false;
    std::memcpy(rx, plain.data(), n);
    return reply_magic_and_end_ok(rx, n, kRxBufSize);
}

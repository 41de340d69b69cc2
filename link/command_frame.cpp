#include "command_frame.h"

#include <cstring>

std::uint16_t build_cmd_frame(std::uint8_t* buf, std::uint8_t cmd, const std::uint8_t* payload,
                              std::uint16_t payloadLen) {
    std::memset(buf, 0, kFrameBufSize);
    buf[0] = kFrameMagic0;
    buf[1] = kFrameMagic1;
    buf[4] = 0x01;
    buf[kFrameOffsetCommand] = cmd;
    if (payloadLen > 0) std::memcpy(buf + kFrameOffsetPayload, payload, payloadLen);

    const auto len = static_cast<std::uint16_t>(payloadLen + kFrameOverhead);
    buf[kFrameOffsetLength] = static_cast<std::uint8_t>(len & 0xFF);
    buf[kFrameOffsetLength + 1] = static_cast<std::uint8_t>(len >> 8);

    const std::uint16_t sum = frame_sum16(buf, static_cast<std::uint16_t>(len - 3));
    buf[len - 3] = static_cast<std::uint8_t>(sum & 0xFF);
    buf[len - 2] = static_cast<std::uint8_t>(sum >> 8);
    buf[len - 1] = kFrameEnd;
    return len;
}

std::uint16_t frame_sum16(const std::uint8_t* data, std::uint16_t count) {
    std::uint16_t sum = 0;
    for (std::uint16_t i = 0; i < count; ++i) sum = static_cast<std::uint16_t>(sum + data[i]);
    return sum;
}

bool reply_magic_and_end_ok(const std::uint8_t* rx, std::uint32_t n, std::size_t bufSize) {
    if (n < kFrameMinLength || n > bufSize) return false;
    if (rx[0] != kFrameMagic0 || rx[1] != kFrameMagic1) return false;
    return rx[n - 1] == kFrameEnd || rx[n - 1] == kFrameEndAlt;
}

bool reply_command_ok(const std::uint8_t* rx, std::uint8_t cmd) {
    return rx[kFrameOffsetCommand] == cmd;
}

bool reply_sum_ok(const std::uint8_t* rx, std::uint32_t n) {
    const std::uint16_t received = static_cast<std::uint16_t>(rx[n - 3] | (rx[n - 2] << 8));
    return frame_sum16(rx, static_cast<std::uint16_t>(n - 3)) == received;
}

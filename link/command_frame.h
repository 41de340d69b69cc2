// The command frame: every message to and from the gateway, before
// encryption.
//
//   offset 0..1   A5 6C            magic
//          2..3   L                total length, little-endian
//          4      01
//          5..13  00 x 9
//          14     command code
//          15..   payload          L - 18 bytes
//          L-3    sum16            byte sum of offsets 0..L-4, little-endian
//          L-1    AE               end byte (replies: AE or 5F)
#pragma once

#include <cstddef>
#include <cstdint>

// Command codes on the wire.
inline constexpr std::uint8_t kCmdDiscovery = 0xFF;    // UDP broadcast, no payload
inline constexpr std::uint8_t kCmdHeartbeat = 0xFF;    // TCP, payload 00 00 00 00
inline constexpr std::uint8_t kCmdStatus = 0x21;       // payload 0x41, unit number
inline constexpr std::uint8_t kCmdTestResults = 0x10;  // first: none; follow-up: 00 00 00 00
inline constexpr std::uint8_t kCmdTestDetails = 0x15;  // first: unit; follow-up: four bytes

inline constexpr std::uint8_t kFrameMagic0 = 0xA5;
inline constexpr std::uint8_t kFrameMagic1 = 0x6C;
inline constexpr std::uint8_t kFrameEnd = 0xAE;      // every request, most replies
inline constexpr std::uint8_t kFrameEndAlt = 0x5F;   // accepted on replies only

inline constexpr std::size_t kFrameOffsetLength = 2;
inline constexpr std::size_t kFrameOffsetCommand = 14;
inline constexpr std::size_t kFrameOffsetPayload = 15;
inline constexpr std::size_t kFrameOverhead = 18;       // a frame with no payload
inline constexpr std::size_t kFrameMinLength = 18;      // shortest reply worth reading
inline constexpr std::size_t kFrameBufSize = 1048;      // request buffer (ucTxBuf)
inline constexpr std::size_t kFrameMaxPayload = kFrameBufSize - kFrameOverhead;  // 1030

// Clears all kFrameBufSize bytes of `buf` and builds a request frame at its
// start; returns its length L. The cipher relies on the zero tail.
// `payload` is not read when `payloadLen` is 0.
std::uint16_t build_cmd_frame(std::uint8_t* buf, std::uint8_t cmd, const std::uint8_t* payload,
                              std::uint16_t payloadLen);

// Sum of the first `count` bytes, modulo 65536.
std::uint16_t frame_sum16(const std::uint8_t* data, std::uint16_t count);

// The acceptance rules for a decrypted reply of n bytes lying in a buffer of
// bufSize bytes, in the order the exchanges apply them.
//
// Step 1 and 2: magic, then end byte (AE or 5F). A reply shorter than the
// smallest frame, or longer than its buffer, fails here like a wrong magic.
bool reply_magic_and_end_ok(const std::uint8_t* rx, std::uint32_t n, std::size_t bufSize);
// Step 3 belongs to the page queries: the command echo at offset 14.
bool reply_command_ok(const std::uint8_t* rx, std::uint8_t cmd);
// Step 4: the sum of bytes 0..n-4 against the little-endian value at n-3.
// Only meaningful after step 1 and 2 passed.
bool reply_sum_ok(const std::uint8_t* rx, std::uint32_t n);

// The first half of every exchange's receive side: a received packet is
// decrypted, its frame copied into the caller's reply buffer, and the magic
// and end byte judged. Discovery, the heartbeat and the request exchange all
// open their replies here.
#pragma once

#include "packet_cipher.h"

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kRecvBufSize = 1024;  // one receive call, at most (ucRecvBuf)
inline constexpr std::size_t kRxBufSize = 1046;    // the decrypted reply frame (ucRxBuf)

// Clears rx (kRxBufSize bytes), decrypts `count` bytes of `packet` into
// `plain` and copies the frame into rx. True when the packet decrypted to a
// frame that fits rx and passes the magic and end-byte checks; *rxLen holds
// the decrypted length whenever decryption produced one.
bool open_reply(const std::uint8_t* packet, std::uint32_t count, CipherSlot& plain, std::uint8_t* rx,
                std::uint32_t* rxLen);

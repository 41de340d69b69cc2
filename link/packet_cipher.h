// The packet cipher: AES (FIPS-197) applied block by block with the gateway
// key, and the envelope that carries a frame on the wire: the frame in
// 16-byte blocks, then one trailer block holding the frame length as decimal
// text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Expanded key of FIPS-197: each round-key word holds four consecutive key
// bytes in memory order. `rk` points at `buf` once the context is filled; a
// context for which that is not so is refused by the block operations.
// `inverseKeys` holds the same round keys through InvMixColumns, for the
// table-driven inverse rounds; aes_set_key() fills both.
struct AesContext {
    std::int32_t nr = 0;
    std::uint32_t* rk = nullptr;
    std::uint32_t buf[60] = {};
    std::uint32_t inverseKeys[60] = {};
};

// The one program-wide key schedule: filled once by aes_load_key() before the
// first frame is encrypted, read only afterwards (by every thread).
extern AesContext g_aesContext;

inline constexpr std::size_t kAesBlockSize = 16;

// 0 on success; 1 if ctx or key is missing or keybits is not 128/192/256.
std::int32_t aes_set_key(AesContext* ctx, const std::uint8_t* key, std::uint32_t keybits);
// 0 on success; 1 if an argument is missing; 2 if ctx was never filled.
std::int32_t aes_encrypt_block(const AesContext* ctx, std::uint8_t* output, const std::uint8_t* input);
std::int32_t aes_decrypt_block(const AesContext* ctx, std::uint8_t* output, const std::uint8_t* input);
// Fills g_aesContext with the built-in gateway key as a 128-bit key: 0, or -1.
std::int32_t aes_load_key();

// One output slot of the envelope operations: it owns at most one buffer,
// the latest packet or plaintext, and replaces it on the next operation.
using CipherSlot = std::vector<std::uint8_t>;

// Each thread that exchanges frames keeps its own pair of slots.
struct CipherSlots {
    CipherSlot packet;     // latest encrypted packet
    CipherSlot plaintext;  // latest decrypted plaintext
};

// Encrypts `len` frame bytes into a packet of 16 * (ceil(len / 16) + 1)
// bytes in `slot`; 0 with *packetLen set, or -1.
std::int32_t udp_aes_encrypt_entry(const std::uint8_t* frame, std::uint32_t len,
                                   CipherSlot& slot, std::uint32_t* packetLen);

// Decrypts the whole blocks of a packet into `slot` (as long as the packet)
// and reads the frame length n from the last block. Accepts (0) when
// P - 32 <= n <= P - 16 in unsigned arithmetic; -1 otherwise, n stored
// either way.
std::int32_t udp_aes_decrypt_entry(const std::uint8_t* packet, std::uint32_t packetLen,
                                   CipherSlot& slot, std::uint32_t* frameLen);

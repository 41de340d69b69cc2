#include "packet_cipher.h"

#include "gateway_key.h"

#include <array>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

AesContext g_aesContext;

namespace {

constexpr std::uint8_t kSbox[256] = {
    0x63, 0x7c, 0x77, 0x7b, 0xf2, 0x6b, 0x6f, 0xc5, 0x30, 0x01, 0x67, 0x2b, 0xfe, 0xd7, 0xab, 0x76,
    0xca, 0x82, 0xc9, 0x7d, 0xfa, 0x59, 0x47, 0xf0, 0xad, 0xd4, 0xa2, 0xaf, 0x9c, 0xa4, 0x72, 0xc0,
    0xb7, 0xfd, 0x93, 0x26, 0x36, 0x3f, 0xf7, 0xcc, 0x34, 0xa5, 0xe5, 0xf1, 0x71, 0xd8, 0x31, 0x15,
    0x04, 0xc7, 0x23, 0xc3, 0x18, 0x96, 0x05, 0x9a, 0x07, 0x12, 0x80, 0xe2, 0xeb, 0x27, 0xb2, 0x75,
    0x09, 0x83, 0x2c, 0x1a, 0x1b, 0x6e, 0x5a, 0xa0, 0x52, 0x3b, 0xd6, 0xb3, 0x29, 0xe3, 0x2f, 0x84,
    0x53, 0xd1, 0x00, 0xed, 0x20, 0xfc, 0xb1, 0x5b, 0x6a, 0xcb, 0xbe, 0x39, 0x4a, 0x4c, 0x58, 0xcf,
    0xd0, 0xef, 0xaa, 0xfb, 0x43, 0x4d, 0x33, 0x85, 0x45, 0xf9, 0x02, 0x7f, 0x50, 0x3c, 0x9f, 0xa8,
    0x51, 0xa3, 0x40, 0x8f, 0x92, 0x9d, 0x38, 0xf5, 0xbc, 0xb6, 0xda, 0x21, 0x10, 0xff, 0xf3, 0xd2,
    0xcd, 0x0c, 0x13, 0xec, 0x5f, 0x97, 0x44, 0x17, 0xc4, 0xa7, 0x7e, 0x3d, 0x64, 0x5d, 0x19, 0x73,
    0x60, 0x81, 0x4f, 0xdc, 0x22, 0x2a, 0x90, 0x88, 0x46, 0xee, 0xb8, 0x14, 0xde, 0x5e, 0x0b, 0xdb,
    0xe0, 0x32, 0x3a, 0x0a, 0x49, 0x06, 0x24, 0x5c, 0xc2, 0xd3, 0xac, 0x62, 0x91, 0x95, 0xe4, 0x79,
    0xe7, 0xc8, 0x37, 0x6d, 0x8d, 0xd5, 0x4e, 0xa9, 0x6c, 0x56, 0xf4, 0xea, 0x65, 0x7a, 0xae, 0x08,
    0xba, 0x78, 0x25, 0x2e, 0x1c, 0xa6, 0xb4, 0xc6, 0xe8, 0xdd, 0x74, 0x1f, 0x4b, 0xbd, 0x8b, 0x8a,
    0x70, 0x3e, 0xb5, 0x66, 0x48, 0x03, 0xf6, 0x0e, 0x61, 0x35, 0x57, 0xb9, 0x86, 0xc1, 0x1d, 0x9e,
    0xe1, 0xf8, 0x98, 0x11, 0x69, 0xd9, 0x8e, 0x94, 0x9b, 0x1e, 0x87, 0xe9, 0xce, 0x55, 0x28, 0xdf,
    0x8c, 0xa1, 0x89, 0x0d, 0xbf, 0xe6, 0x42, 0x68, 0x41, 0x99, 0x2d, 0x0f, 0xb0, 0x54, 0xbb, 0x16,
};

constexpr std::uint8_t kInvSbox[256] = {
    0x52, 0x09, 0x6a, 0xd5, 0x30, 0x36, 0xa5, 0x38, 0xbf, 0x40, 0xa3, 0x9e, 0x81, 0xf3, 0xd7, 0xfb,
    0x7c, 0xe3, 0x39, 0x82, 0x9b, 0x2f, 0xff, 0x87, 0x34, 0x8e, 0x43, 0x44, 0xc4, 0xde, 0xe9, 0xcb,
    0x54, 0x7b, 0x94, 0x32, 0xa6, 0xc2, 0x23, 0x3d, 0xee, 0x4c, 0x95, 0x0b, 0x42, 0xfa, 0xc3, 0x4e,
    0x08, 0x2e, 0xa1, 0x66, 0x28, 0xd9, 0x24, 0xb2, 0x76, 0x5b, 0xa2, 0x49, 0x6d, 0x8b, 0xd1, 0x25,
    0x72, 0xf8, 0xf6, 0x64, 0x86, 0x68, 0x98, 0x16, 0xd4, 0xa4, 0x5c, 0xcc, 0x5d, 0x65, 0xb6, 0x92,
    0x6c, 0x70, 0x48, 0x50, 0xfd, 0xed, 0xb9, 0xda, 0x5e, 0x15, 0x46, 0x57, 0xa7, 0x8d, 0x9d, 0x84,
    0x90, 0xd8, 0xab, 0x00, 0x8c, 0xbc, 0xd3, 0x0a, 0xf7, 0xe4, 0x58, 0x05, 0xb8, 0xb3, 0x45, 0x06,
    0xd0, 0x2c, 0x1e, 0x8f, 0xca, 0x3f, 0x0f, 0x02, 0xc1, 0xaf, 0xbd, 0x03, 0x01, 0x13, 0x8a, 0x6b,
    0x3a, 0x91, 0x11, 0x41, 0x4f, 0x67, 0xdc, 0xea, 0x97, 0xf2, 0xcf, 0xce, 0xf0, 0xb4, 0xe6, 0x73,
    0x96, 0xac, 0x74, 0x22, 0xe7, 0xad, 0x35, 0x85, 0xe2, 0xf9, 0x37, 0xe8, 0x1c, 0x75, 0xdf, 0x6e,
    0x47, 0xf1, 0x1a, 0x71, 0x1d, 0x29, 0xc5, 0x89, 0x6f, 0xb7, 0x62, 0x0e, 0xaa, 0x18, 0xbe, 0x1b,
    0xfc, 0x56, 0x3e, 0x4b, 0xc6, 0xd2, 0x79, 0x20, 0x9a, 0xdb, 0xc0, 0xfe, 0x78, 0xcd, 0x5a, 0xf4,
    0x1f, 0xdd, 0xa8, 0x33, 0x88, 0x07, 0xc7, 0x31, 0xb1, 0x12, 0x10, 0x59, 0x27, 0x80, 0xec, 0x5f,
    0x60, 0x51, 0x7f, 0xa9, 0x19, 0xb5, 0x4a, 0x0d, 0x2d, 0xe5, 0x7a, 0x9f, 0x93, 0xc9, 0x9c, 0xef,
    0xa0, 0xe0, 0x3b, 0x4d, 0xae, 0x2a, 0xf5, 0xb0, 0xc8, 0xeb, 0xbb, 0x3c, 0x83, 0x53, 0x99, 0x61,
    0x17, 0x2b, 0x04, 0x7e, 0xba, 0x77, 0xd6, 0x26, 0xe1, 0x69, 0x14, 0x63, 0x55, 0x21, 0x0c, 0x7d,
};

constexpr std::uint8_t kRcon[10] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x1b, 0x36};

constexpr std::uint8_t kMix[4][4] = {
    {0x02, 0x03, 0x01, 0x01}, {0x01, 0x02, 0x03, 0x01}, {0x01, 0x01, 0x02, 0x03}, {0x03, 0x01, 0x01, 0x02}};
constexpr std::uint8_t kInvMix[4][4] = {
    {0x0e, 0x0b, 0x0d, 0x09}, {0x09, 0x0e, 0x0b, 0x0d}, {0x0d, 0x09, 0x0e, 0x0b}, {0x0b, 0x0d, 0x09, 0x0e}};

// Multiplication in GF(2^8) by repeated doubling, reduction constant 0x1B.
// Used at compile time only, to fill the round tables below.
constexpr std::uint8_t gf_mul(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    while (b != 0) {
        if (b & 1) product ^= a;
        a = static_cast<std::uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1b : 0x00));
        b >>= 1;
    }
    return product;
}

// The state is kept as four column words: byte r of column c is state row
// r, input byte 4c + r, and sits in bits 8r..8r+7 of word c. Round-key words
// are read the same way, so AddRoundKey stays byte by byte in memory order.
std::uint32_t load_word(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

constexpr std::uint32_t rotate_bytes(std::uint32_t w, int n) {
    return n == 0 ? w : (w << (8 * n)) | (w >> (32 - 8 * n));
}

std::uint8_t byte_of(std::uint32_t w, int r) { return static_cast<std::uint8_t>(w >> (8 * r)); }

// The round function as table look-ups: kEncRound[x] is the column that a
// state byte x in row 0 adds to MixColumns(SubBytes(state)), that is the
// first matrix column (02 01 01 03) times S(x); a byte in row r adds the
// same column rotated by r rows. kDecRound does the same for the inverse
// steps, (0E 09 0D 0B) times InvS(x), and kInvMixColumn for InvMixColumns
// alone, (0E 09 0D 0B) times x. The cipher's results are those of the
// step-by-step definition (the FIPS-197 vectors in the tests hold both);
// only the work per block shrinks, about tenfold.
using RoundTable = std::array<std::uint32_t, 256>;

constexpr std::uint32_t column_word(std::uint8_t x, const std::uint8_t (&m)[4][4]) {
    std::uint32_t w = 0;
    for (int r = 0; r < 4; ++r) w |= std::uint32_t{gf_mul(x, m[r][0])} << (8 * r);
    return w;
}

constexpr RoundTable round_table(const std::uint8_t* box, const std::uint8_t (&m)[4][4]) {
    RoundTable t{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t in = box != nullptr ? box[x] : static_cast<std::uint8_t>(x);
        t[static_cast<std::size_t>(x)] = column_word(in, m);
    }
    return t;
}

constexpr RoundTable kEncRound = round_table(kSbox, kMix);
constexpr RoundTable kDecRound = round_table(kInvSbox, kInvMix);
constexpr RoundTable kInvMixColumn = round_table(nullptr, kInvMix);

// One column of a full round from the four state bytes that ShiftRows (or
// its inverse) brings into it, row 0 first.
std::uint32_t round_column(const RoundTable& t, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    return t[b0] ^ rotate_bytes(t[b1], 1) ^ rotate_bytes(t[b2], 2) ^ rotate_bytes(t[b3], 3);
}

// The column that a round-key word becomes under InvMixColumns.
std::uint32_t inv_mix_word(std::uint32_t k) {
    return round_column(kInvMixColumn, byte_of(k, 0), byte_of(k, 1), byte_of(k, 2), byte_of(k, 3));
}

// Row r of column C after ShiftRows comes from column C + r, after
// InvShiftRows from column C - r, that is C + r * Step with Step 1 or 3.
template <int C, int Step>
std::uint32_t shifted_column(const RoundTable& t, const std::uint32_t (&s)[4]) {
    return round_column(t, byte_of(s[C], 0), byte_of(s[(C + Step) & 3], 1), byte_of(s[(C + 2 * Step) & 3], 2),
                        byte_of(s[(C + 3 * Step) & 3], 3));
}

// One full round on the column words, the four columns written out so that
// every index is known when the program is built.
template <int Step>
void full_round(const RoundTable& t, std::uint32_t (&s)[4], const std::uint32_t (&key)[4]) {
    const std::uint32_t out[4] = {
        shifted_column<0, Step>(t, s) ^ key[0], shifted_column<1, Step>(t, s) ^ key[1],
        shifted_column<2, Step>(t, s) ^ key[2], shifted_column<3, Step>(t, s) ^ key[3]};
    std::memcpy(s, out, sizeof s);
}

// The last round: the S-box (or its inverse) and the shift, no mixing.
template <int Step>
void last_round(const std::uint8_t* box, const std::uint32_t (&s)[4], const std::uint8_t* key, std::uint8_t* output) {
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) output[4 * c + r] = box[byte_of(s[(c + r * Step) & 3], r)] ^ key[4 * c + r];
    }
}

constexpr int kShiftStep = 1, kInverseShiftStep = 3;

const std::uint8_t* round_key(const AesContext* ctx, int round) {
    return reinterpret_cast<const std::uint8_t*>(ctx->rk) + 16 * round;
}

void load_columns(std::uint32_t (&words)[4], const std::uint8_t* bytes) {
    for (int c = 0; c < 4; ++c) words[c] = load_word(bytes + 4 * c);
}

std::int32_t check_block_args(const AesContext* ctx, const std::uint8_t* out, const std::uint8_t* in) {
    if (ctx == nullptr || out == nullptr || in == nullptr) return 1;
    if (ctx->rk != ctx->buf || (ctx->nr != 10 && ctx->nr != 12 && ctx->nr != 14)) return 2;
    return 0;
}

// The decimal number at the start of a trailer block, read as atoi() reads
// it; the block need not hold a terminator, and an overlong number saturates
// instead of overflowing.
std::int32_t read_trailer_number(const std::uint8_t* block) {
    std::size_t i = 0;
    while (i < kAesBlockSize && (block[i] == ' ' || (block[i] >= '\t' && block[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < kAesBlockSize && (block[i] == '+' || block[i] == '-')) {
        negative = block[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    for (; i < kAesBlockSize && block[i] >= '0' && block[i] <= '9'; ++i) {
        value = value * 10 + (block[i] - '0');
        if (value > std::int64_t{INT_MAX} + 1) value = std::int64_t{INT_MAX} + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::int32_t aes_set_key(AesContext* ctx, const std::uint8_t* key, std::uint32_t keybits) {
    if (ctx == nullptr || key == nullptr) return 1;
    if (keybits != 128 && keybits != 192 && keybits != 256) return 1;

    ctx->nr = static_cast<std::int32_t>(keybits / 32 + 6);
    ctx->rk = ctx->buf;
    const int nk = ctx->nr - 6;
    const int words = 4 * (ctx->nr + 1);
    auto* w = reinterpret_cast<std::uint8_t*>(ctx->buf);

    std::memcpy(w, key, 4 * static_cast<std::size_t>(nk));
    for (int i = nk; i < words; ++i) {
        std::uint8_t temp[4];
        std::memcpy(temp, w + 4 * (i - 1), 4);
        if (i % nk == 0) {
            const std::uint8_t first = temp[0];
            temp[0] = static_cast<std::uint8_t>(kSbox[temp[1]] ^ kRcon[i / nk - 1]);
            temp[1] = kSbox[temp[2]];
            temp[2] = kSbox[temp[3]];
            temp[3] = kSbox[first];
        } else if (nk == 8 && i % 8 == 4) {
            for (auto& b : temp) b = kSbox[b];
        }
        for (int k = 0; k < 4; ++k) w[4 * i + k] = w[4 * (i - nk) + k] ^ temp[k];
    }
    for (int i = 0; i < words; ++i) ctx->inverseKeys[i] = inv_mix_word(load_word(w + 4 * i));
    return 0;
}

std::int32_t aes_encrypt_block(const AesContext* ctx, std::uint8_t* output, const std::uint8_t* input) {
    if (std::int32_t bad = check_block_args(ctx, output, input)) return bad;
    std::uint32_t s[4], key[4];
    load_columns(s, input);
    load_columns(key, round_key(ctx, 0));
    for (int c = 0; c < 4; ++c) s[c] ^= key[c];
    for (int round = 1; round < ctx->nr; ++round) {
        // SubBytes, ShiftRows, MixColumns and AddRoundKey at once.
        load_columns(key, round_key(ctx, round));
        full_round<kShiftStep>(kEncRound, s, key);
    }
    last_round<kShiftStep>(kSbox, s, round_key(ctx, ctx->nr), output);
    return 0;
}

std::int32_t aes_decrypt_block(const AesContext* ctx, std::uint8_t* output, const std::uint8_t* input) {
    if (std::int32_t bad = check_block_args(ctx, output, input)) return bad;
    std::uint32_t s[4], key[4];
    load_columns(s, input);
    load_columns(key, round_key(ctx, ctx->nr));
    for (int c = 0; c < 4; ++c) s[c] ^= key[c];
    for (int round = ctx->nr - 1; round > 0; --round) {
        // InvShiftRows, InvSubBytes, AddRoundKey, InvMixColumns: the round
        // key goes through InvMixColumns too, which is linear.
        std::memcpy(key, ctx->inverseKeys + 4 * round, sizeof key);
        full_round<kInverseShiftStep>(kDecRound, s, key);
    }
    last_round<kInverseShiftStep>(kInvSbox, s, round_key(ctx, 0), output);
    return 0;
}

std::int32_t aes_load_key() {
    return aes_set_key(&g_aesContext, kGatewayKeyTable, 128) == 0 ? 0 : -1;
}

std::int32_t udp_aes_encrypt_entry(const std::uint8_t* frame, std::uint32_t len, CipherSlot& slot,
                                   std::uint32_t* packetLen) {
    if ((frame == nullptr && len != 0) || packetLen == nullptr) return -1;
    const std::uint64_t blocks = std::uint64_t{len} / 16 + 1 + (len % 16 != 0 ? 1 : 0);
    try {
        slot.assign(static_cast<std::size_t>(16 * blocks), 0);
    } catch (const std::bad_alloc&) {
        slot.clear();
        return -1;
    }
    *packetLen = static_cast<std::uint32_t>(16 * blocks);

    std::uint8_t block[16];
    for (std::uint64_t b = 0; b + 1 < blocks; ++b) {
        // A last block only partly covered by the frame is completed with
        // zeros here; nothing past the frame's `len` bytes is read.
        const std::size_t offset = static_cast<std::size_t>(16 * b);
        const std::size_t take = std::min<std::size_t>(16, len - offset);
        std::memset(block, 0, sizeof block);
        std::memcpy(block, frame + offset, take);
        if (aes_encrypt_block(&g_aesContext, slot.data() + offset, block) != 0) return -1;
    }

    std::memset(block, 0, sizeof block);
    char digits[16];
    const int written = std::snprintf(digits, sizeof digits, "%d", static_cast<std::int32_t>(len));
    std::memcpy(block, digits, static_cast<std::size_t>(written));
    if (aes_encrypt_block(&g_aesContext, slot.data() + 16 * (blocks - 1), block) != 0) return -1;
    return 0;
}

std::int32_t udp_aes_decrypt_entry(const std::uint8_t* packet, std::uint32_t packetLen, CipherSlot& slot,
                                   std::uint32_t* frameLen) {
    if ((packet == nullptr && packetLen != 0) || frameLen == nullptr) return -1;
    const std::uint32_t blocks = packetLen / 16;
    try {
        slot.assign(packetLen, 0);
    } catch (const std::bad_alloc&) {
        slot.clear();
        return -1;
    }
    for (std::uint32_t b = 0; b < blocks; ++b) {
        if (aes_decrypt_block(&g_aesContext, slot.data() + 16 * b, packet + 16 * b) != 0) return -1;
    }

    const std::int32_t n = blocks == 0 ? 0 : read_trailer_number(slot.data() + 16 * (blocks - 1));
    *frameLen = static_cast<std::uint32_t>(n);
    const std::uint32_t low = packetLen - 32;   // both bounds wrap below 32 bytes, on purpose:
    const std::uint32_t high = packetLen - 16;  // no short packet can satisfy them
    return (low <= *frameLen && *frameLen <= high) ? 0 : -1;
}

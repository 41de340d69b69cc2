#include "packet_cipher.h"

#include "hex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

struct Kat {
    std::string name;
    std::vector<std::uint8_t> key, plain, cipher;
};

// FIPS-197 appendix B and C, and AESAVS GFSbox/KeySbox/VarTxt AES-128 rows,
// as published; each ciphertext was confirmed independently with OpenSSL.
std::vector<Kat> load_kats() {
    std::ifstream in(ORVYPC_TEST_DATA "/aes_kat.txt");
    std::vector<Kat> kats;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::stringstream fields(line);
        std::string name, key, plain, cipher;
        std::getline(fields, name, '|');
        std::getline(fields, key, '|');
        std::getline(fields, plain, '|');
        std::getline(fields, cipher, '|');
        kats.push_back({name, hex_bytes(key), hex_bytes(plain), hex_bytes(cipher)});
    }
    return kats;
}

TEST(AesBlock, ReproducesPublishedKnownAnswers) {
    const auto kats = load_kats();
    ASSERT_GE(kats.size(), 16u) << "vector file missing or cut short";
    for (const auto& kat : kats) {
        SCOPED_TRACE(kat.name);
        AesContext ctx;
        ASSERT_EQ(aes_set_key(&ctx, kat.key.data(), static_cast<std::uint32_t>(kat.key.size() * 8)), 0);
        std::uint8_t out[16];
        ASSERT_EQ(aes_encrypt_block(&ctx, out, kat.plain.data()), 0);
        EXPECT_EQ(hex_text(out, 16), hex_text(kat.cipher.data(), 16));
        ASSERT_EQ(aes_decrypt_block(&ctx, out, kat.cipher.data()), 0);
        EXPECT_EQ(hex_text(out, 16), hex_text(kat.plain.data(), 16));
    }
}

TEST(AesBlock, KeyScheduleMatchesFips197AppendixA1) {
    // Last round key of the AES-128 expansion example, words w40..w43.
    const auto key = hex_bytes("2b7e151628aed2a6abf7158809cf4f3c");
    AesContext ctx;
    ASSERT_EQ(aes_set_key(&ctx, key.data(), 128), 0);
    EXPECT_EQ(ctx.nr, 10);
    const auto* w = reinterpret_cast<const std::uint8_t*>(ctx.rk);
    EXPECT_EQ(hex_text(w + 160, 16), hex_text(hex_bytes("d014f9a8c9ee2589e13f0cc8b6630ca6").data(), 16));
}

TEST(AesBlock, RefusesBadArgumentsWithThePublishedResults) {
    std::uint8_t key[32] = {};
    std::uint8_t block[16] = {};
    AesContext ctx;
    EXPECT_EQ(aes_set_key(nullptr, key, 128), 1);
    EXPECT_EQ(aes_set_key(&ctx, nullptr, 128), 1);
    for (std::uint32_t bits : {0u, 64u, 127u, 129u, 160u, 512u}) EXPECT_EQ(aes_set_key(&ctx, key, bits), 1) << bits;

    AesContext empty;
    EXPECT_EQ(aes_encrypt_block(&empty, block, block), 2);
    EXPECT_EQ(aes_decrypt_block(&empty, block, block), 2);

    ASSERT_EQ(aes_set_key(&ctx, key, 192), 0);
    EXPECT_EQ(ctx.nr, 12);
    EXPECT_EQ(aes_encrypt_block(nullptr, block, block), 1);
    EXPECT_EQ(aes_encrypt_block(&ctx, nullptr, block), 1);
    EXPECT_EQ(aes_decrypt_block(&ctx, block, nullptr), 1);

    // A copied context still points at the original's storage: refused.
    AesContext copy = ctx;
    EXPECT_EQ(aes_encrypt_block(&copy, block, block), 2);
}

class Envelope : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(aes_load_key(), 0); }

    // A packet whose only (trailer) content is `text`, after `dataBlocks`
    // blocks of zeros, encrypted with the gateway key.
    static std::vector<std::uint8_t> packet_with_trailer(std::size_t dataBlocks, const char* text,
                                                         std::size_t tailBytes = 0) {
        std::vector<std::uint8_t> packet(16 * (dataBlocks + 1) + tailBytes, 0);
        std::uint8_t block[16] = {};
        for (std::size_t b = 0; b < dataBlocks; ++b) aes_encrypt_block(&g_aesContext, &packet[16 * b], block);
        std::memcpy(block, text, std::strlen(text));
        aes_encrypt_block(&g_aesContext, &packet[16 * dataBlocks], block);
        return packet;
    }
};

TEST_F(Envelope, PacketLengthIsDataBlocksPlusTrailer) {
    const struct { std::uint32_t frame, packet; } cases[] = {
        {0, 16}, {1, 32}, {16, 32}, {17, 48}, {18, 48}, {20, 48}, {22, 48}, {32, 48}, {33, 64}, {1048, 1072}};
    std::vector<std::uint8_t> frame(1048, 0x5A);
    for (const auto& c : cases) {
        CipherSlot slot;
        std::uint32_t packetLen = 0;
        ASSERT_EQ(udp_aes_encrypt_entry(frame.data(), c.frame, slot, &packetLen), 0);
        EXPECT_EQ(packetLen, c.packet) << "frame of " << c.frame;
        EXPECT_EQ(slot.size(), c.packet);
    }
}

TEST_F(Envelope, TrailerCarriesTheFrameLengthAsDecimalText) {
    const struct { std::uint32_t frame; const char* trailer; } cases[] = {
        {0, "30 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {18, "31 38 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {1048, "31 30 34 38 00 00 00 00 00 00 00 00 00 00 00 00"}};
    std::vector<std::uint8_t> frame(1048, 0);
    for (const auto& c : cases) {
        CipherSlot slot;
        std::uint32_t packetLen = 0;
        ASSERT_EQ(udp_aes_encrypt_entry(frame.data(), c.frame, slot, &packetLen), 0);
        std::uint8_t plain[16];
        ASSERT_EQ(aes_decrypt_block(&g_aesContext, plain, slot.data() + packetLen - 16), 0);
        EXPECT_EQ(hex_text(plain, 16), c.trailer);
    }
}

TEST_F(Envelope, EncryptReadsOnlyTheFrameBytesItIsGiven) {
    // An exact-size heap buffer: a read past its end is caught by
    // AddressSanitizer, and the partial block must match a zero-padded one.
    for (std::uint32_t len : {1u, 15u, 17u, 20u, 33u}) {
        auto exact = std::make_unique<std::uint8_t[]>(len);
        std::vector<std::uint8_t> padded(len + 16, 0);
        for (std::uint32_t i = 0; i < len; ++i) exact[i] = padded[i] = static_cast<std::uint8_t>(i * 7 + 1);
        CipherSlot a, b;
        std::uint32_t na = 0, nb = 0;
        ASSERT_EQ(udp_aes_encrypt_entry(exact.get(), len, a, &na), 0);
        ASSERT_EQ(udp_aes_encrypt_entry(padded.data(), len, b, &nb), 0);
        EXPECT_EQ(a, b) << len;
    }
}

TEST_F(Envelope, RoundTripsEveryFrameLength) {
    std::vector<std::uint8_t> frame(1048);
    for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 31 + 7);
    CipherSlots slots;
    for (std::uint32_t len = 1; len <= 1048; ++len) {
        std::uint32_t packetLen = 0, n = 0;
        ASSERT_EQ(udp_aes_encrypt_entry(frame.data(), len, slots.packet, &packetLen), 0);
        ASSERT_EQ(udp_aes_decrypt_entry(slots.packet.data(), packetLen, slots.plaintext, &n), 0) << len;
        ASSERT_EQ(n, len);
        ASSERT_EQ(slots.plaintext.size(), packetLen);
        ASSERT_EQ(0, std::memcmp(slots.plaintext.data(), frame.data(), len)) << len;
    }
}

TEST_F(Envelope, DecryptAcceptsOnlyLengthsThatFitThePacket) {
    const struct { std::size_t dataBlocks; const char* trailer; bool accepted; std::uint32_t n; } cases[] = {
        {2, "15", false, 15}, {2, "16", true, 16}, {2, "32", true, 32}, {2, "33", false, 33},
        {2, "  +20", true, 20},     // leading blanks and a sign, as atoi reads them
        {2, "-1", false, 0xFFFFFFFFu},
        {2, "abc", false, 0},       // no digits reads as 0
        {1, "0", true, 0},          // 32-byte packet, trailer 0: inside the window
        {1, "16", true, 16},
        {0, "0", false, 0},         // a trailer alone is always refused
        {0, "16", false, 16},
        {0, "-16", false, static_cast<std::uint32_t>(-16)},
        {2, "99999999999999", false, 0x7FFFFFFFu},  // saturates, never overflows
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.trailer);
        auto packet = packet_with_trailer(c.dataBlocks, c.trailer);
        CipherSlot slot;
        std::uint32_t n = 12345;
        EXPECT_EQ(udp_aes_decrypt_entry(packet.data(), static_cast<std::uint32_t>(packet.size()), slot, &n),
                  c.accepted ? 0 : -1);
        EXPECT_EQ(n, c.n) << "n is stored whether or not the packet is accepted";
    }
}

TEST_F(Envelope, TrailingPartialBlockIsIgnored) {
    // 40 bytes: two whole blocks; the second is the trailer, 8 bytes unread.
    auto packet = packet_with_trailer(1, "16", 8);
    ASSERT_EQ(packet.size(), 40u);
    for (std::size_t i = 32; i < 40; ++i) packet[i] = 0xEE;
    CipherSlot slot;
    std::uint32_t n = 0;
    EXPECT_EQ(udp_aes_decrypt_entry(packet.data(), 40, slot, &n), 0);
    EXPECT_EQ(n, 16u);
    EXPECT_EQ(slot.size(), 40u);
}

TEST_F(Envelope, SlotReplacesItsPreviousBuffer) {
    std::uint8_t frame[64] = {1, 2, 3};
    CipherSlot slot;
    std::uint32_t len = 0;
    ASSERT_EQ(udp_aes_encrypt_entry(frame, 64, slot, &len), 0);
    ASSERT_EQ(slot.size(), 80u);
    ASSERT_EQ(udp_aes_encrypt_entry(frame, 3, slot, &len), 0);
    EXPECT_EQ(slot.size(), 32u);
}

}  // namespace

namespace {

// The project's own gateway key, as shipped (a deployment that sets
// ORVYPC_GATEWAY_KEY has other packets). Reference value from OpenSSL:
// AES-128-ECB of a zero block under df8cc537...48968d4a.
TEST(GatewayKey, LoadKeyInstallsTheBuiltInKeyAs128Bit) {
    ASSERT_EQ(aes_load_key(), 0);
    EXPECT_EQ(g_aesContext.nr, 10);
    if (!ORVYPC_DEFAULT_KEY) GTEST_SKIP() << "built with a deployment key";
    const std::uint8_t zero[16] = {};
    std::uint8_t out[16];
    ASSERT_EQ(aes_encrypt_block(&g_aesContext, out, zero), 0);
    EXPECT_EQ(hex_text(out, 16), hex_text(hex_bytes("e8135d33a5f276585caa61e21d8d4683").data(), 16));
}

}  // namespace

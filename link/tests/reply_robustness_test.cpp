// Whatever a peer sends, opening and judging a reply ends in accept or
// reject: never a read or write outside a buffer. Run under the sanitizer
// build to make that a hard check.
#include "command_frame.h"
#include "reply.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

class ReplyPath : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(aes_load_key(), 0); }

    // Runs the whole receive-side judgement of an exchange; true if accepted.
    bool judge(const std::vector<std::uint8_t>& packet) {
        std::uint32_t n = 0;
        if (!open_reply(packet.data(), static_cast<std::uint32_t>(packet.size()), plain_, rx_, &n)) return false;
        EXPECT_LE(n, kRxBufSize);
        return reply_sum_ok(rx_, n);
    }

    // Encrypts `plain` block by block, the last block being the trailer text.
    static std::vector<std::uint8_t> seal(std::vector<std::uint8_t> plain, std::uint32_t claimed) {
        const std::size_t size = plain.size();
        char trailer[17] = {};
        std::snprintf(trailer, sizeof trailer, "%d", static_cast<std::int32_t>(claimed));
        std::memset(&plain[size - 16], 0, 16);
        std::memcpy(&plain[size - 16], trailer, std::strlen(trailer));
        for (std::size_t b = 0; b + 16 <= size; b += 16) aes_encrypt_block(&g_aesContext, &plain[b], &plain[b]);
        return plain;
    }

    CipherSlot plain_;
    std::uint8_t rx_[kRxBufSize];
};

TEST_F(ReplyPath, RandomBytesOfAnyLengthAreJudgedSafely) {
    std::mt19937 rng(20261209);
    for (int i = 0; i < 600; ++i) {
        std::vector<std::uint8_t> packet(rng() % 2049);
        for (auto& b : packet) b = static_cast<std::uint8_t>(rng());
        EXPECT_FALSE(judge(packet)) << "random bytes accepted at size " << packet.size();
    }
}

TEST_F(ReplyPath, WellSealedPacketsWithHostileLengthsAreJudgedSafely) {
    std::mt19937 rng(7);
    int accepted = 0;
    for (int i = 0; i < 1500; ++i) {
        const std::size_t blocks = 1 + rng() % 128;  // 16 .. 2048 bytes
        std::vector<std::uint8_t> plain(16 * blocks);
        for (auto& b : plain) b = static_cast<std::uint8_t>(rng());
        const std::uint32_t size = static_cast<std::uint32_t>(plain.size());
        // Claimed length anywhere in or around the accepted window.
        std::uint32_t claimed = size >= 32 ? size - 32 + rng() % 20 : rng() % 20;
        if (i % 3 == 0 && claimed >= 18 && claimed <= size) {
            plain[0] = kFrameMagic0;
            plain[1] = kFrameMagic1;
            plain[claimed - 1] = (i & 1) ? kFrameEnd : kFrameEndAlt;
        }
        if (judge(seal(plain, claimed))) ++accepted;
    }
    EXPECT_EQ(accepted, 0) << "random payloads do not carry a right sum";
}

TEST_F(ReplyPath, EveryTruncationOfAValidReplyIsRejected) {
    std::uint8_t frame[kFrameBufSize];
    const std::uint8_t payload[2] = {0x41, 0x05};
    const auto len = build_cmd_frame(frame, kCmdStatus, payload, 2);
    CipherSlot packetSlot;
    std::uint32_t packetLen = 0;
    ASSERT_EQ(udp_aes_encrypt_entry(frame, len, packetSlot, &packetLen), 0);
    ASSERT_TRUE(judge(packetSlot)) << "the whole reply is accepted";
    for (std::uint32_t cut = 0; cut < packetLen; ++cut) {
        std::vector<std::uint8_t> prefix(packetSlot.begin(), packetSlot.begin() + cut);
        EXPECT_FALSE(judge(prefix)) << "prefix of " << cut << " bytes";
    }
}

TEST_F(ReplyPath, ClaimBeyondTheReplyBufferIsDropped) {
    // 2048-byte packet claiming 2030 bytes: larger than the 1046-byte buffer.
    std::vector<std::uint8_t> plain(2048, 0);
    plain[0] = kFrameMagic0;
    plain[1] = kFrameMagic1;
    plain[2029] = kFrameEnd;
    const auto packet = seal(plain, 2030);
    std::uint32_t n = 0;
    EXPECT_FALSE(open_reply(packet.data(), 2048, plain_, rx_, &n));
    EXPECT_EQ(n, 2030u);
}

}  // namespace

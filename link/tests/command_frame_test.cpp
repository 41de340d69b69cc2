#include "command_frame.h"

#include "hex.h"

#include <gtest/gtest.h>

#include <array>

namespace {

struct Worked {
    const char* what;
    std::uint8_t cmd;
    std::vector<std::uint8_t> payload;
    const char* wire;
};

// The protocol's worked examples, byte for byte.
const Worked kWorked[] = {
    {"discovery", kCmdDiscovery, {}, "A5 6C 12 00 01 00 00 00 00 00 00 00 00 00 FF 23 02 AE"},
    {"heartbeat", kCmdHeartbeat, {0, 0, 0, 0}, "A5 6C 16 00 01 00 00 00 00 00 00 00 00 00 FF 00 00 00 00 27 02 AE"},
    {"first test results", kCmdTestResults, {}, "A5 6C 12 00 01 00 00 00 00 00 00 00 00 00 10 34 01 AE"},
    {"status of A5", kCmdStatus, {0x41, 0x05}, "A5 6C 14 00 01 00 00 00 00 00 00 00 00 00 21 41 05 8D 01 AE"},
};

TEST(BuildCmdFrame, ReproducesTheWorkedExamples) {
    for (const auto& w : kWorked) {
        SCOPED_TRACE(w.what);
        std::array<std::uint8_t, kFrameBufSize> buf;
        buf.fill(0xCC);
        const auto len = build_cmd_frame(buf.data(), w.cmd, w.payload.empty() ? nullptr : w.payload.data(),
                                         static_cast<std::uint16_t>(w.payload.size()));
        EXPECT_EQ(hex_text(buf.data(), len), w.wire);
        for (std::size_t i = len; i < kFrameBufSize; ++i) ASSERT_EQ(buf[i], 0) << "tail byte " << i;
    }
}

TEST(BuildCmdFrame, LengthAndSumCoverTheWholeHeader) {
    std::array<std::uint8_t, kFrameBufSize> buf{};
    // A payload large enough to need the length's high byte: L = 0x0112.
    std::vector<std::uint8_t> payload(256, 0x01);
    const auto len = build_cmd_frame(buf.data(), 0x42, payload.data(), 256);
    ASSERT_EQ(len, 274);
    EXPECT_EQ(buf[2], 0x12);
    EXPECT_EQ(buf[3], 0x01);
    // A5 + 6C + 12 + 01 (length) + 01 + 42 + 256 x 01 = 0x0267.
    EXPECT_EQ(buf[len - 3], 0x67);
    EXPECT_EQ(buf[len - 2], 0x02);
    EXPECT_EQ(buf[len - 1], kFrameEnd);

    const auto maxLen = build_cmd_frame(buf.data(), 0x42, std::vector<std::uint8_t>(kFrameMaxPayload, 0xFF).data(),
                                        static_cast<std::uint16_t>(kFrameMaxPayload));
    EXPECT_EQ(maxLen, kFrameBufSize);
    EXPECT_TRUE(reply_sum_ok(buf.data(), maxLen));
}

TEST(FrameSum16, WrapsModulo65536) {
    std::vector<std::uint8_t> bytes(300, 0xFF);
    EXPECT_EQ(frame_sum16(bytes.data(), 0), 0);
    EXPECT_EQ(frame_sum16(bytes.data(), 257), (257 * 255) % 65536);
    std::vector<std::uint8_t> many(65535, 0xFF);
    EXPECT_EQ(frame_sum16(many.data(), 65535), (65535u * 255u) % 65536u);
}

// A valid 22-byte reply to mutate.
std::vector<std::uint8_t> valid_reply(std::uint8_t end = kFrameEnd) {
    std::vector<std::uint8_t> buf(kFrameBufSize, 0);
    const std::uint8_t payload[4] = {0, 0, 0, 0};
    const auto len = build_cmd_frame(buf.data(), kCmdHeartbeat, payload, 4);
    buf[len - 1] = end;
    buf.resize(len);
    return buf;
}

TEST(ReplyCheck, JudgesMagicEndAndSumInTurn) {
    struct Case {
        const char* what;
        std::size_t at;
        int delta;
        bool magicEndOk;
        bool sumOk;
    };
    const Case cases[] = {
        {"untouched", 0, 0, true, true},
        {"first magic byte", 0, 1, false, false},
        {"second magic byte", 1, -1, false, false},
        {"end byte AE to AF", 21, 1, false, false},
        {"checksum low byte +1", 19, 1, true, false},
        {"checksum high byte -1", 20, -1, true, false},
        {"length byte, sum not redone", 2, 7, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto reply = valid_reply();
        reply[c.at] = static_cast<std::uint8_t>(reply[c.at] + c.delta);
        const auto n = static_cast<std::uint32_t>(reply.size());
        EXPECT_EQ(reply_magic_and_end_ok(reply.data(), n, reply.size()), c.magicEndOk);
        if (c.magicEndOk) {
            EXPECT_EQ(reply_sum_ok(reply.data(), n), c.sumOk);
        }
    }
}

TEST(ReplyCheck, AcceptsBothEndBytesOnly) {
    for (int end = 0; end < 256; ++end) {
        auto reply = valid_reply(static_cast<std::uint8_t>(end));
        const bool expected = end == 0xAE || end == 0x5F;
        EXPECT_EQ(reply_magic_and_end_ok(reply.data(), 22, reply.size()), expected) << end;
    }
}

TEST(ReplyCheck, LengthFieldOfAReplyIsNotExamined) {
    auto reply = valid_reply();
    reply[2] = 0x40;  // claims 64 bytes; re-sum so only the length disagrees
    const auto sum = frame_sum16(reply.data(), 19);
    reply[19] = static_cast<std::uint8_t>(sum & 0xFF);
    reply[20] = static_cast<std::uint8_t>(sum >> 8);
    EXPECT_TRUE(reply_magic_and_end_ok(reply.data(), 22, reply.size()));
    EXPECT_TRUE(reply_sum_ok(reply.data(), 22));
}

TEST(ReplyCheck, ShortOrOversizedRepliesFailTheFirstStep) {
    auto reply = valid_reply();
    // Every cut-short prefix (n = 0 .. 17) is rejected before anything is read
    // at n - 1 or summed.
    for (std::uint32_t n = 0; n < kFrameMinLength; ++n) {
        EXPECT_FALSE(reply_magic_and_end_ok(reply.data(), n, reply.size())) << n;
    }
    EXPECT_FALSE(reply_magic_and_end_ok(reply.data(), 23, 22)) << "longer than its buffer";
}

TEST(ReplyCheck, CommandEchoIsOffset14) {
    auto reply = valid_reply();
    EXPECT_TRUE(reply_command_ok(reply.data(), kCmdHeartbeat));
    EXPECT_FALSE(reply_command_ok(reply.data(), kCmdStatus));
}

}  // namespace

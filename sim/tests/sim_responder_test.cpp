// The gateway's replies without sockets: listing order and end, the latest
// entry, the status result byte, each frame fault, and the request stream.
#include "raw_client.h"
#include "sim_responder.h"
#include "sim_wire.h"

#include <gtest/gtest.h>

namespace {

SimTestEntry at(std::uint16_t year, std::uint8_t month, std::uint8_t day, std::uint8_t type = 0) {
    SimTestEntry e;
    e.year = year;
    e.month = month;
    e.day = day;
    e.type = type;
    e.result = 1;
    e.minutes = 1;
    return e;
}

SimLuminaire lum(std::uint8_t unit, std::vector<SimTestEntry> entries) {
    SimLuminaire l;
    l.unit = unit;
    l.name = u"N" + std::u16string(1, static_cast<char16_t>(u'0' + unit % 10));
    l.location = u"L";
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i].offset = static_cast<std::uint16_t>(i);
    l.entries = std::move(entries);
    return l;
}

SimFrame ask(SimResponder& r, std::uint8_t cmd, const Bytes& payload, const SimFaults& f = {}) {
    auto reply = r.reply_to(request_frame(cmd, payload), f);
    EXPECT_TRUE(reply);
    return reply.value_or(SimFrame{});
}

class ResponderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { aes_load_key(); }
};

TEST_F(ResponderTest, TestResultsListTheLatestEntryOfEachLuminaireInUnitOrderThenEnd) {
    // Given out of order; unit 3 has no entries, unit 64 has none either.
    SimResponder r({lum(70, {at(2025, 1, 1), at(2025, 3, 1, 1), at(2024, 12, 1)}), lum(3, {}),
                    lum(5, {at(2025, 5, 5)}), lum(64, {})});
    struct Step {
        std::size_t length;
        std::uint8_t status, unit, year0;
    };
    // First request: unit 5 (unit 3 has nothing); then 64 (no test data),
    // 70 (its 2025-03 entry), then the end, and the end again.
    const Step steps[] = {{72, 0, 5, 0xE9}, {22, 0, 64, 0}, {72, 0, 70, 0xE9}, {22, 0xFF, 0, 0}, {22, 0xFF, 0, 0}};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        const SimFrame f = i == 0 ? ask(r, kCmdTestResults, {}) : ask(r, kCmdTestResults, {0, 0, 0, 0});
        SCOPED_TRACE(i);
        ASSERT_EQ(f.size(), steps[i].length);
        EXPECT_EQ(f[kFrameOffsetCommand], kCmdTestResults);
        EXPECT_EQ(f[kReplyResult], steps[i].status);
        EXPECT_EQ(f[kReplyUnit], steps[i].unit);
        if (f.size() > 22) {
            EXPECT_EQ(f[kReplyEntryYear], steps[i].year0);
        }
        EXPECT_TRUE(reply_sum_ok(f.data(), static_cast<std::uint32_t>(f.size())));
    }
    // Unit 70's latest is the March duration test, not its last stored one.
    SimResponder again({lum(70, {at(2025, 1, 1), at(2025, 3, 1, 1), at(2024, 12, 1)})});
    const SimFrame f = ask(again, kCmdTestResults, {});
    EXPECT_EQ(f[kReplyEntryYear + 2], 3);
    EXPECT_EQ(f[kReplyEntryType], 1);
    EXPECT_EQ(f[kReplyEntryOffset], 1);
}

TEST_F(ResponderTest, TestResultsOfAnEmptyGatewayEndAtOnce) {
    SimResponder r({lum(1, {})});
    const SimFrame f = ask(r, kCmdTestResults, {});
    EXPECT_EQ(f.size(), kListingEndLength);
    EXPECT_EQ(f[kReplyResult], kListingEnd);
}

TEST_F(ResponderTest, AFirstRequestRestartsTheListing) {
    SimResponder r({lum(1, {at(2025, 1, 1)}), lum(2, {at(2025, 1, 1)})});
    EXPECT_EQ(ask(r, kCmdTestResults, {})[kReplyUnit], 1);
    EXPECT_EQ(ask(r, kCmdTestResults, {0, 0, 0, 0})[kReplyUnit], 2);
    EXPECT_EQ(ask(r, kCmdTestResults, {})[kReplyUnit], 1);
}

TEST_F(ResponderTest, DetailsListEveryStoredEntryInOrderThenEnd) {
    SimResponder r({lum(69, {at(2025, 1, 1), at(2025, 2, 1, 1), at(2025, 3, 1)})});
    EXPECT_EQ(ask(r, kCmdTestDetails, {69})[kReplyEntryOffset], 0);
    EXPECT_EQ(ask(r, kCmdTestDetails, {0, 69, 0, 0})[kReplyEntryOffset], 1);
    EXPECT_EQ(ask(r, kCmdTestDetails, {0, 69, 0, 0})[kReplyEntryOffset], 2);
    const SimFrame end = ask(r, kCmdTestDetails, {0, 69, 0, 0});
    EXPECT_EQ(end.size(), kListingEndLength);
    EXPECT_EQ(end[kReplyResult], kListingEnd);
    EXPECT_EQ(end[kFrameOffsetCommand], kCmdTestDetails);
}

TEST_F(ResponderTest, DetailsOfAnUnknownUnitOrAnotherUnitsFollowUpEndAtOnce) {
    SimResponder r({lum(69, {at(2025, 1, 1), at(2025, 2, 1)})});
    EXPECT_EQ(ask(r, kCmdTestDetails, {12})[kReplyResult], kListingEnd);
    EXPECT_EQ(ask(r, kCmdTestDetails, {69})[kReplyResult], 0);
    EXPECT_EQ(ask(r, kCmdTestDetails, {0, 12, 0, 0})[kReplyResult], kListingEnd);
    // A follow-up without a first request lists nothing either.
    EXPECT_EQ(ask(r, kCmdTestDetails, {0, 69, 0, 0})[kReplyResult], kListingEnd);
}

TEST_F(ResponderTest, EntryTextsAreUtf16LittleEndianEachEndedByAZero) {
    SimLuminaire l = lum(1, {at(2025, 1, 1)});
    l.name = std::u16string(kSimNameMaxChars, u'\u4e2d');
    l.location = std::u16string(kSimLocationMaxChars, u'x');
    const SimFrame f = entry_reply(kCmdTestDetails, l, l.entries[0]);
    EXPECT_EQ(f.size(), kReplyEntryLocation + 2 * (kSimLocationMaxChars + 1) + 3);
    EXPECT_EQ(f[kReplyEntryName], 0x2D);
    EXPECT_EQ(f[kReplyEntryName + 1], 0x4E);
    EXPECT_EQ(f[kReplyEntryName + 2 * kSimNameMaxChars], 0);       // the name's 0 ends before 65
    EXPECT_EQ(f[kReplyEntryName + 2 * kSimNameMaxChars + 1], 0);
    EXPECT_EQ(f[kReplyEntryLocation], 'x');
    EXPECT_EQ(f[kReplyEntryLocation + 2 * kSimLocationMaxChars], 0);
}

TEST_F(ResponderTest, UnknownRequestsAndShortPayloadsGetNoReply) {
    SimResponder r({lum(1, {})});
    EXPECT_FALSE(r.reply_to(request_frame(0x33, {}), {}));
    EXPECT_FALSE(r.reply_to(request_frame(kCmdStatus, {0x41}), {}));
    EXPECT_FALSE(r.reply_to(request_frame(kCmdTestDetails, {}), {}));
    EXPECT_FALSE(r.reply_to(SimFrame(10, 0), {}));
}

TEST_F(ResponderTest, DiscoveryOverTcpGetsTheHeartbeatReply) {
    SimResponder r({});
    EXPECT_EQ(ask(r, kCmdDiscovery, {}), heartbeat_reply());
}

// Frame faults keep the sum right unless the sum is the fault.
TEST_F(ResponderTest, FrameFaultsTouchOnlyWhatTheyName) {
    const SimFrame base = status_reply(9, 0, {});
    struct Case {
        const char* name;
        void (*set)(SimFaults&);
        bool hasUnit;
        std::size_t at;  // the one byte that changes, or SIZE_MAX
        std::uint8_t value;
        bool sumOk;
    };
    const Case cases[] = {
        {"none", [](SimFaults&) {}, true, SIZE_MAX, 0, true},
        {"command", [](SimFaults& f) { f.wrongCommandEcho = true; }, true, 14, kCmdTestResults, true},
        {"unit", [](SimFaults& f) { f.wrongUnitEcho = true; }, true, 16, 10, true},
        {"unit ignored without one", [](SimFaults& f) { f.wrongUnitEcho = true; }, false, SIZE_MAX, 0, true},
        {"end", [](SimFaults& f) { f.endByte5F = true; }, true, 59, kFrameEndAlt, true},
        {"bad end", [](SimFaults& f) { f.badEndByte = true; }, true, 59, 0x00, true},
        {"magic", [](SimFaults& f) { f.badMagic = true; }, true, 0, 0x5A, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimFaults f;
        c.set(f);
        const SimFrame out = apply_frame_faults(base, f, c.hasUnit);
        ASSERT_EQ(out.size(), base.size());
        for (std::size_t i = 0; i < base.size(); ++i) {
            if (i == c.at) {
                EXPECT_EQ(out[i], c.value);
            } else if (i != 57 && i != 58) {
                EXPECT_EQ(out[i], base[i]) << i;
            }
        }
        EXPECT_EQ(reply_sum_ok(out.data(), static_cast<std::uint32_t>(out.size())), c.sumOk);
    }
    SimFaults bad;
    bad.badChecksum = true;
    const SimFrame out = apply_frame_faults(base, bad, true);
    EXPECT_EQ(out[57], static_cast<std::uint8_t>(base[57] + 1));
    EXPECT_FALSE(reply_sum_ok(out.data(), static_cast<std::uint32_t>(out.size())));
    // Wrong echo of a test-results reply names the details command.
    SimFaults cmd;
    cmd.wrongCommandEcho = true;
    EXPECT_EQ(apply_frame_faults(bare_listing_reply(kCmdTestResults, 0xFF, 0), cmd, true)[14], kCmdTestDetails);
}

TEST_F(ResponderTest, ANewFrameLengthKeepsTheContentAndASoundFrame) {
    SimResponder r({});
    std::array<std::uint8_t, kSimStatusBytes> data{};
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(0x80 + i);
    const SimFrame base = status_reply(9, 0, data);
    for (int length : {18, 20, 56, 60, 70, 1040}) {
        SCOPED_TRACE(length);
        SimFaults f;
        f.replyFrameLength = length;
        const SimFrame out = apply_frame_faults(base, f, true);
        const auto n = static_cast<std::size_t>(length);
        ASSERT_EQ(out.size(), n);
        EXPECT_EQ(out[2] | out[3] << 8, length);
        EXPECT_TRUE(reply_magic_and_end_ok(out.data(), static_cast<std::uint32_t>(n), kRxBufSize + 4096));
        EXPECT_TRUE(reply_sum_ok(out.data(), static_cast<std::uint32_t>(n)));
        for (std::size_t i = 4; i < n - 3; ++i) {
            EXPECT_EQ(out[i], i < 57 ? base[i] : 0) << i;
        }
    }
    SimFaults big;
    big.oversizeReply = true;
    EXPECT_EQ(apply_frame_faults(base, big, true).size(), kOversizeFrameLength);
    EXPECT_EQ(sim_encrypt(apply_frame_faults(base, big, true)).size(), 1056u);
}

TEST_F(ResponderTest, EncryptionMatchesTheLinkCipher) {
    for (std::size_t len : {18u, 22u, 60u, 78u, 134u, 1040u}) {
        SimFrame frame(len);
        for (std::size_t i = 0; i < len; ++i) frame[i] = static_cast<std::uint8_t>(i * 7 + 3);
        std::vector<std::uint8_t> padded(kFrameBufSize, 0);
        std::copy(frame.begin(), frame.end(), padded.begin());
        CipherSlot slot;
        std::uint32_t packetLen = 0;
        ASSERT_EQ(udp_aes_encrypt_entry(padded.data(), static_cast<std::uint32_t>(len), slot, &packetLen), 0);
        const SimPacket mine = sim_encrypt(frame);
        EXPECT_EQ(mine, SimPacket(slot.begin(), slot.begin() + packetLen)) << len;
        EXPECT_EQ(sim_decrypt(mine.data(), mine.size()), frame) << len;
    }
}

TEST_F(ResponderTest, RequestStreamCutsPacketsWhateverTheSegments) {
    const Bytes a = encrypt_request(kCmdHeartbeat, {0, 0, 0, 0});
    const Bytes b = encrypt_request(kCmdStatus, {0x41, 5});
    Bytes all(5, 0xEE);  // garbage first
    all.insert(all.end(), a.begin(), a.end());
    all.insert(all.end(), b.begin(), b.end());
    for (std::size_t chunk : {1u, 7u, 16u, 48u, 1000u}) {
        SCOPED_TRACE(chunk);
        RequestStream s;
        std::vector<SimFrame> frames;
        for (std::size_t i = 0; i < all.size(); i += chunk) {
            s.feed(all.data() + i, std::min(chunk, all.size() - i));
            while (auto f = s.next()) frames.push_back(*f);
        }
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[0], request_frame(kCmdHeartbeat, {0, 0, 0, 0}));
        EXPECT_EQ(frames[1], request_frame(kCmdStatus, {0x41, 5}));
        EXPECT_EQ(s.discarded_bytes(), 5u);
    }
}

}  // namespace

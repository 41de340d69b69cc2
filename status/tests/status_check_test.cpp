// The checks of a status reply: their order, their messages and their trace
// lines, one row per way a reply can fail.
#include "command_frame.h"
#include "prompts.h"
#include "reply.h"
#include "status_query.h"
#include "trace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class RecordingPrompts final : public Prompts {
public:
    void message_box(const std::string& text) override { messages.push_back(text); }
    void set_status_line(const std::string&) override {}
    std::vector<std::string> messages;
};

// A status reply of `length` bytes (60 as the gateway sends it) in a
// kRxBufSize buffer.
struct StatusReply {
    std::uint8_t rx[kRxBufSize] = {};
    std::uint32_t n = 0;

    StatusReply(std::uint8_t result, std::uint8_t unit, std::uint16_t length = 60) {
        std::vector<std::uint8_t> payload(length - kFrameOverhead, 0);
        payload[0] = result;
        payload[1] = unit;
        for (std::size_t i = 2; i < payload.size() && i < 42; ++i) payload[i] = static_cast<std::uint8_t>(i);
        std::uint8_t frame[kFrameBufSize];
        n = build_cmd_frame(frame, kCmdStatus, payload.data(), static_cast<std::uint16_t>(payload.size()));
        std::memcpy(rx, frame, n);
    }
    void reseal() {   // new sum after an edit
        const std::uint16_t sum = frame_sum16(rx, static_cast<std::uint16_t>(n - 3));
        rx[n - 3] = static_cast<std::uint8_t>(sum & 0xFF);
        rx[n - 2] = static_cast<std::uint8_t>(sum >> 8);
    }
};

class StatusChecks : public ::testing::Test {
protected:
    void SetUp() override {
        set_prompts(&prompts_);
        set_trace_sink([this](std::string_view t) { trace_ += t; });
    }
    void TearDown() override {
        set_prompts(nullptr);
        set_trace_sink(trace_to_stdout);
    }
    RecordingPrompts prompts_;
    std::string trace_;
};

TEST_F(StatusChecks, EachFailureHasItsMessageTraceAndOutcome) {
    struct Case {
        const char* name;
        std::uint8_t command, result, unitEcho;
        bool badSum;
        const char* message;   // "" for none
        const char* trace;
        StatusOutcome outcome;
    };
    const Case cases[] = {
        {"command echo 0x10", 0x10, 0, 5, false, "", "查询的指令不对应", StatusOutcome::Refused},
        {"unit echo differs", 0x21, 0, 6, false, "Network exception, please reconnect",
         "ucRxBuf[15] 0 ucRxBuf[16]:6查询的地址不对应", StatusOutcome::Refused},
        {"unit echo differs and sum wrong", 0x21, 0, 6, true, "Network exception, please reconnect",
         "ucRxBuf[15] 0 ucRxBuf[16]:6查询的地址不对应", StatusOutcome::Refused},
        {"frame sum wrong", 0x21, 0, 5, true, "", "ucRxBuf[15] 0 ucRxBuf[16]:5check fails.\n",
         StatusOutcome::LinkFailed},
        {"result 2: DALI busy", 0x21, 2, 5, false, "DALI Busy, please try again later!",
         "ucRxBuf[15] 2 ucRxBuf[16]:5", StatusOutcome::Refused},
        {"result 1: unit missing", 0x21, 1, 5, false, "Current ID not exist!",
         "ucRxBuf[15] 1 ucRxBuf[16]:5receive status error!", StatusOutcome::Refused},
        {"result 1 with wrong sum", 0x21, 1, 5, true, "", "ucRxBuf[15] 1 ucRxBuf[16]:5check fails.\n",
         StatusOutcome::LinkFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompts_.messages.clear();
        trace_.clear();
        StatusReply r(c.result, c.unitEcho);
        r.rx[kFrameOffsetCommand] = c.command;
        r.reseal();
        if (c.badSum) r.rx[r.n - 3] ^= 0x01;

        EXPECT_FALSE(CheckStatusReply(r.rx, r.n, 5));
        EXPECT_EQ(trace_, c.trace);
        if (*c.message) EXPECT_EQ(prompts_.messages, std::vector<std::string>{c.message});
        else EXPECT_TRUE(prompts_.messages.empty());
        EXPECT_EQ(last_status_outcome(), c.outcome);
    }
}

TEST_F(StatusChecks, AnyResultButOneAndTwoIsStatusData) {
    for (int result : {0, 3, 0x80, 0xFF}) {
        StatusReply r(static_cast<std::uint8_t>(result), 127);
        trace_.clear();
        EXPECT_TRUE(CheckStatusReply(r.rx, r.n, 127)) << result;
        EXPECT_TRUE(prompts_.messages.empty());
        EXPECT_EQ(last_status_outcome(), StatusOutcome::Accepted);
    }
}

TEST_F(StatusChecks, AcceptedReplyTracesEchoThenTheFortyDataBytes) {
    StatusReply r(0, 5);
    ASSERT_TRUE(CheckStatusReply(r.rx, r.n, 5));
    std::string expected = "ucRxBuf[15] 0 ucRxBuf[16]:5 05  00 \n";
    char hex[8];
    for (int i = 17; i <= 56; ++i) {
        std::snprintf(hex, sizeof hex, " %02x ", r.rx[i]);
        expected += hex;
    }
    expected += "\n";
    EXPECT_EQ(trace_, expected);
}

// A short reply is not refused for its length; what lies past its end reads 0.
TEST_F(StatusChecks, ShortReplyIsReadAtFixedOffsets) {
    StatusReply r(0, 69, 30);
    ASSERT_TRUE(CheckStatusReply(r.rx, r.n, 69));
    const auto items = status_items(r.rx);
    EXPECT_EQ(items[kStatusSections[6].firstItem].value, "0 %");   // battery, offset 39, past the end
}

}  // namespace

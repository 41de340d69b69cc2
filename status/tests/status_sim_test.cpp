// The status query over the real link against the gateway simulator.
#include "sim_fixture.h"
#include "status_query.h"

#include <algorithm>
#include <functional>

namespace {

std::string hex(const std::vector<std::uint8_t>& bytes) {
    std::string s;
    char b[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", bytes[i]);
        s += b;
    }
    return s;
}

class StatusOverTheLink : public SimLinkTest {};

TEST_F(StatusOverTheLink, RequestOnTheWire) {
    ASSERT_TRUE(QueryStatus(5));
    const auto frames = requests_of(kCmdStatus);
    ASSERT_EQ(frames.size(), 1U);
    EXPECT_EQ(hex(frames[0]), "A5 6C 14 00 01 00 00 00 00 00 00 00 00 00 21 41 05 8D 01 AE");
    EXPECT_EQ(traced().rfind("number:5\n", 0), 0U) << traced();

    // Line B adds 64: B0 is 64, B63 is 127; A0 is 0.
    for (std::uint8_t unit : {0, 64, 127}) {
        sim_->clear_received_frames();
        QueryStatus(unit);
        ASSERT_EQ(requests_of(kCmdStatus).size(), 1U);
        EXPECT_EQ(requests_of(kCmdStatus)[0][15], 0x41);
        EXPECT_EQ(requests_of(kCmdStatus)[0][16], unit);
    }
}

TEST_F(StatusOverTheLink, RecordIsTheLuminairesFortyStatusBytes) {
    for (const SimLuminaire& l : demo_luminaires()) {
        ASSERT_TRUE(QueryStatus(l.unit)) << int(l.unit);
        EXPECT_TRUE(std::equal(l.status.begin(), l.status.end(), g_link.ucRxBuf + kStatusDataFirst)) << int(l.unit);
        EXPECT_EQ(status_items(g_link.ucRxBuf).size(), static_cast<std::size_t>(kStatusItemCount));
    }
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(last_status_outcome(), StatusOutcome::Accepted);
}

TEST_F(StatusOverTheLink, EachGatewayFaultHasItsMessageAndTrace) {
    struct Case {
        const char* name;
        void (*fault)(SimFaults&);
        bool accepted;
        const char* message;   // "" none
        const char* trace;
        StatusOutcome outcome;
    };
    const Case cases[] = {
        {"unit missing", [](SimFaults& f) { f.unitsMissing = {5}; }, false, "Current ID not exist!",
         "receive status error!", StatusOutcome::Refused},
        {"DALI busy", [](SimFaults& f) { f.unitsBusy = {5}; }, false, "DALI Busy, please try again later!",
         "ucRxBuf[15] 2 ucRxBuf[16]:5", StatusOutcome::Refused},
        {"unit echo", [](SimFaults& f) { f.wrongUnitEcho = true; }, false, "Network exception, please reconnect",
         "查询的地址不对应", StatusOutcome::Refused},
        {"unit echo and sum", [](SimFaults& f) { f.wrongUnitEcho = f.badChecksum = true; }, false,
         "Network exception, please reconnect", "查询的地址不对应", StatusOutcome::Refused},
        {"command echo", [](SimFaults& f) { f.wrongCommandEcho = true; }, false, "", "查询的指令不对应",
         StatusOutcome::Refused},
        {"checksum", [](SimFaults& f) { f.badChecksum = true; }, false, "", "check fails.\n",
         StatusOutcome::LinkFailed},
        {"no reply", [](SimFaults& f) { f.dropReplies = true; }, false, "", "res error!", StatusOutcome::LinkFailed},
        // The rest of the packet never comes: the receive times out.
        {"reply cut to one block", [](SimFaults& f) { f.shortPacket = true; }, false, "", "res error!",
         StatusOutcome::LinkFailed},
        {"reply in three pieces",
         [](SimFaults& f) {
             f.cutOffsets = {1, 33};
             f.cutPauseMs = 5;
         },
         true, "", "res:80", StatusOutcome::Accepted},
        {"end byte 5F", [](SimFaults& f) { f.endByte5F = true; }, true, "", "ucRxBuf[15] 0 ucRxBuf[16]:5 05  00 \n",
         StatusOutcome::Accepted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        set_faults(c.fault);
        {
            std::lock_guard lock(prompts_.mutex);
            prompts_.messages.clear();
        }
        {
            std::lock_guard lock(traceMutex_);
            trace_.clear();
        }
        EXPECT_EQ(QueryStatus(5), c.accepted);
        if (*c.message) EXPECT_EQ(messages(), std::vector<std::string>{c.message});
        else EXPECT_TRUE(messages().empty());
        EXPECT_NE(traced().find(c.trace), std::string::npos) << traced();
        EXPECT_EQ(last_status_outcome(), c.outcome);
        sim_->set_faults({});
    }
}

// With the connection gone and no address to reopen it, the send fails.
TEST_F(StatusOverTheLink, FailedSendShowsItsMessage) {
    ResetLink();
    EXPECT_FALSE(QueryStatus(5));
    EXPECT_EQ(messages(), std::vector<std::string>{"tcp send fails!"});
    EXPECT_NE(traced().find("number:5\ntcp send fails\n"), std::string::npos) << traced();
    EXPECT_EQ(last_status_outcome(), StatusOutcome::LinkFailed);
}

TEST_F(StatusOverTheLink, UnitNotOnTheGatewayIsRefused) {
    EXPECT_FALSE(QueryStatus(126));   // B62: not in the demonstration set
    EXPECT_EQ(messages(), std::vector<std::string>{"Current ID not exist!"});
}

}  // namespace

// The request exchange against the simulator: a reply reaches the query
// that asked for it, every fault of the gateway ends the way the exchange
// rules say, and a connection the gateway dropped is taken up again.
#include "hex.h"
#include "sim_link_test.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <cstring>

namespace {

using Exchange = SimLinkTest;

TEST_F(Exchange, AStatusRequestGetsItsOwnReply) {
    GatewaySim& sim = start_sim();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(status_exchange(69));

    EXPECT_EQ(g_link.ucRxBuf[kFrameOffsetCommand], kCmdStatus);
    EXPECT_EQ(g_link.ucRxBuf[16], 69);
    EXPECT_TRUE(reply_sum_ok(g_link.ucRxBuf, g_link.iRxLen));
    EXPECT_TRUE(trace_.contains("res:"));
    EXPECT_TRUE(prompts_.boxes().empty());
    // The request as the gateway decrypted it.
    const auto frames = sim.received_frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(hex_text(frames.back().data(), frames.back().size()),
              "A5 6C 14 00 01 00 00 00 00 00 00 00 00 00 21 41 45 CD 01 AE");
}

// Each gateway fault: how the exchange ends on it, and that the next
// request, to a sound gateway, gets its own reply and nothing left over.
TEST_F(Exchange, EndsEachGatewayFaultAsTheRulesSayAndTheNextGetsItsOwnReply) {
    struct Case {
        const char* what;
        void (*fault)(SimFaults&);
        ExchangeStatus status;
        ExchangeReason reason;
        const char* traced;  // a trace piece that marks the path taken
        bool box;            // the receive-failure message is shown
    };
    const Case cases[] = {
        {"a silent gateway", [](SimFaults& f) { f.dropReplies = true; }, ExchangeStatus::Failed,
         ExchangeReason::TimedOut, "res error!", true},
        {"a packet of 16 bytes and no more", [](SimFaults& f) { f.shortPacket = true; }, ExchangeStatus::Failed,
         ExchangeReason::TimedOut, "res error!", true},
        {"a reply after the time-out", [](SimFaults& f) { f.replyDelayMs = 250; }, ExchangeStatus::Failed,
         ExchangeReason::TimedOut, "res error!", true},
        {"end byte 5F", [](SimFaults& f) { f.endByte5F = true; }, ExchangeStatus::Reply, ExchangeReason::None,
         "res:80", false},
        // Judged later by the query, not here.
        {"a bad checksum", [](SimFaults& f) { f.badChecksum = true; }, ExchangeStatus::Reply, ExchangeReason::None,
         "res:80", false},
        {"another command", [](SimFaults& f) { f.wrongCommandEcho = true; }, ExchangeStatus::Reply,
         ExchangeReason::None, "res:80", false},
        {"a reply over 1024 bytes", [](SimFaults& f) { f.oversizeReply = true; }, ExchangeStatus::Reply,
         ExchangeReason::None, "res:1056", false},
        {"a reply cut after bytes 1, 16, 31, 32 and 33",
         [](SimFaults& f) {
             f.cutOffsets = {1, 16, 31, 32, 33};
             f.cutPauseMs = 5;
         },
         ExchangeStatus::Reply, ExchangeReason::None, "res:80", false},
        {"a reply one byte per write", [](SimFaults& f) { f.byteAtATime = true; }, ExchangeStatus::Reply,
         ExchangeReason::None, "res:80", false},
        {"a split reply", [](SimFaults& f) { f.splitReplies = true; }, ExchangeStatus::Reply, ExchangeReason::None,
         "res:80", false},
        {"a reply sent twice in one write", [](SimFaults& f) { f.replyTwice = true; }, ExchangeStatus::Reply,
         ExchangeReason::None, "duplicate reply dropped:80", false},
        {"a garbled reply", [](SimFaults& f) { f.garbleReply = true; }, ExchangeStatus::Dropped,
         ExchangeReason::Garbled, "garbled reply dropped", false},
        {"a wrong start", [](SimFaults& f) { f.badMagic = true; }, ExchangeStatus::Dropped, ExchangeReason::BadMagic,
         "res:80", false},
        {"a wrong end byte", [](SimFaults& f) { f.badEndByte = true; }, ExchangeStatus::Dropped,
         ExchangeReason::BadEnd, "res:80", false},
    };
    edit_settings([](LinkSettings& s) { s.recvTimeoutMs = 150; });
    GatewaySim& sim = start_sim();
    ASSERT_TRUE(connect());
    StopHeartbeat();
    std::uint8_t unit = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimFaults faults;
        c.fault(faults);
        sim.set_faults(faults);
        trace_.clear();
        const std::size_t boxesBefore = prompts_.boxes().size();
        const int repliesBefore = sim.replies_sent();

        const std::uint8_t payload[2] = {0x41, unit};
        const ExchangeOutcome outcome =
            ExchangeFrame(kCmdStatus, payload, sizeof payload, true, "tcp send fails!", "no reply");
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(outcome.reason, c.reason);
        EXPECT_TRUE(trace_.contains(c.traced)) << trace_.text();
        EXPECT_EQ(prompts_.boxes().size(), boxesBefore + (c.box ? 1 : 0));
        if (c.box) {
            EXPECT_EQ(prompts_.boxes().back(), "no reply");
        }
        EXPECT_FALSE(trace_.contains("tcp send fails"));
        if (outcome.ok()) {
            EXPECT_EQ(g_link.ucRxBuf[16], unit);
        }

        // Whatever the gateway sent has gone out before the sound request.
        sim.set_faults({});
        if (!faults.dropReplies) {
            ASSERT_TRUE(wait_until([&] { return sim.replies_sent() > repliesBefore; }));
        }
        ++unit;
        trace_.clear();
        ASSERT_TRUE(status_exchange(unit)) << trace_.text();
        EXPECT_EQ(g_link.ucRxBuf[kFrameOffsetCommand], kCmdStatus);
        EXPECT_EQ(g_link.ucRxBuf[16], unit);
        ++unit;
    }
}

TEST_F(Exchange, AfterATimeOutALateReplyIsNeverTakenForTheNextRequest) {
    edit_settings([](LinkSettings& s) { s.recvTimeoutMs = 100; });
    GatewaySim& sim = start_sim();
    ASSERT_TRUE(connect());
    StopHeartbeat();
    SimFaults faults;
    faults.replyDelayMs = 150;
    faults.onReply = 1;
    sim.set_faults(faults);
    EXPECT_FALSE(status_exchange(20));
    // The late reply is on its way while the next request goes out.
    trace_.clear();
    ASSERT_TRUE(wait_until([&] { return sim.replies_sent() >= 1; }));
    ASSERT_TRUE(status_exchange(21)) << trace_.text();
    EXPECT_EQ(g_link.ucRxBuf[16], 21);
    EXPECT_TRUE(trace_.contains("resynchronising: connection reopened\n"));
}

// The heartbeat runs every 2 ms beside the queries and its answers come
// 30 ms late, so a query often arrives while a beat waits: the beat gives
// way, and the query skips the late heartbeat answer that comes first.
TEST_F(Exchange, HeartbeatAndQueriesNeverTakeEachOthersReplies) {
    edit_settings([](LinkSettings& s) { s.heartbeatPeriodMs = 2; });
    SimFaults slowBeats;
    slowBeats.replyDelayMs = 30;
    slowBeats.onlyCommands = {kCmdHeartbeat};
    GatewaySim& sim = start_sim(slowBeats);
    ASSERT_TRUE(connect());
    int wrong = 0;
    for (int i = 0; i < 300; ++i) {
        const auto unit = static_cast<std::uint8_t>(i % 128);
        const bool ok = status_exchange(unit);
        if (!ok || g_link.ucRxBuf[kFrameOffsetCommand] != kCmdStatus || g_link.ucRxBuf[16] != unit ||
            !reply_sum_ok(g_link.ucRxBuf, g_link.iRxLen)) {
            ++wrong;
        }
        // Room for a beat to start.
        std::this_thread::sleep_for(std::chrono::microseconds(i % 3 == 0 ? 2500 : 200));
    }
    StopHeartbeat();
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(frames_seen(kCmdHeartbeat, 22), 0);  // the heartbeat did run beside them
    EXPECT_TRUE(trace_.contains("heartbeat gave way to a query"));
    EXPECT_TRUE(trace_.contains("late heartbeat reply skipped"));
    EXPECT_TRUE(prompts_.boxes().empty());
    EXPECT_FALSE(trace_.contains("check fails"));
    EXPECT_FALSE(trace_.contains("res error!"));
    EXPECT_EQ(sim.connections_accepted(), 1);
}

TEST_F(Exchange, AfterTheGatewayDropsTheConnectionTheNextExchangeGetsThrough) {
    struct Case {
        const char* what;
        bool closeAfterReply;  // else: the gateway drops it between requests
    };
    for (const Case c : {Case{"dropped between requests", false}, Case{"closed after its reply", true}}) {
        SCOPED_TRACE(c.what);
        ResetLink();
        GatewaySim& sim = start_sim();
        ASSERT_TRUE(connect());
        StopHeartbeat();
        if (c.closeAfterReply) {
            SimFaults faults;
            faults.closeAfterReplies = 1;
            sim.set_faults(faults);
            ASSERT_TRUE(status_exchange(1));
            ASSERT_TRUE(wait_until([&] { return sim.connections_accepted() == 1 && sim.replies_sent() == 1; }));
            sim.set_faults({});
        } else {
            ASSERT_TRUE(status_exchange(1));
            sim.drop_connection();
        }
        ASSERT_TRUE(wait_until(close_arrived));
        const int discoveries = frames_seen(kCmdDiscovery, 18);
        const std::uint32_t connectionsBefore = g_link.iConnectCount;

        EXPECT_TRUE(status_exchange(2));
        EXPECT_EQ(g_link.ucRxBuf[16], 2);
        EXPECT_EQ(sim.connections_accepted(), 2);
        EXPECT_EQ(g_link.iConnectCount, connectionsBefore + 1) << "listings learn of the reconnect by this count";
        EXPECT_EQ(frames_seen(kCmdDiscovery, 18), discoveries);  // no new discovery
        EXPECT_TRUE(prompts_.boxes().empty());
    }
}

TEST_F(Exchange, AGatewayThatRebootsIsReachedAgainWithoutRestarting) {
    start_sim();
    ASSERT_TRUE(connect());
    StopHeartbeat();
    ASSERT_TRUE(status_exchange(1));

    sim_.reset();  // off
    ASSERT_TRUE(wait_until(close_arrived));
    EXPECT_FALSE(status_exchange(2));
    EXPECT_EQ(prompts_.boxes(), std::vector<std::string>{"tcp send fails!"});
    EXPECT_FALSE(status_exchange(2));  // each try costs one connect attempt
    EXPECT_EQ(trace_.count("create tcp socket fails\n"), 2);

    GatewaySim& back = start_sim();  // on again, same address and port
    EXPECT_TRUE(status_exchange(3));
    EXPECT_EQ(g_link.ucRxBuf[16], 3);
    EXPECT_EQ(back.connections_accepted(), 1);
    EXPECT_EQ(g_link.bConnected, 1);
}

TEST_F(Exchange, WithoutAConnectionTheSendFailsWithTheQuerysMessage) {
    EXPECT_FALSE(ExchangeFrame(kCmdTestResults, nullptr, 0, false, "TCP connection disconnected "));
    EXPECT_TRUE(trace_.contains("tcp send fails\n"));
    EXPECT_EQ(prompts_.boxes(), std::vector<std::string>{"TCP connection disconnected "});
}

TEST_F(Exchange, APayloadBeyondTheFrameBufferIsRefused) {
    start_sim();
    ASSERT_TRUE(connect());
    std::vector<std::uint8_t> payload(kFrameMaxPayload + 1, 0x55);
    EXPECT_FALSE(ExchangeFrame(kCmdStatus, payload.data(), static_cast<std::uint16_t>(payload.size()), true, "x"));
    EXPECT_TRUE(prompts_.boxes().empty());
    EXPECT_FALSE(trace_.contains("res"));
}

}  // namespace

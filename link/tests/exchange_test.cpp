// The request exchange against the simulator: a reply reaches the query
// that asked for it, every fault of the gateway ends the way the exchange
// rules say, and a connection the gateway dropped is taken up again.
#include "hex.h"
#include "sim_link_test.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <cstdlib>
#include <cstring>

namespace {

using Exchange = SimLinkTest;

// Bytes that have reached the link's connection and wait to be read. Only
// looked at while the heartbeat is stopped.
int pending_bytes() {
    int n = 0;
    return ioctl(g_link.tcp_sock, FIONREAD, &n) == 0 ? n : -1;
}

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

// Each gateway fault, and how the exchange ends on it.
TEST_F(Exchange, EndsEachGatewayFaultAsTheRulesSay) {
    struct Case {
        const char* what;
        void (*fault)(SimFaults&);
        bool ok;
        const char* traced;  // a trace piece that marks the path taken
        bool box;            // the receive-failure message is shown
    };
    const Case cases[] = {
        {"a silent gateway", [](SimFaults& f) { f.dropReplies = true; }, false, "res error!", true},
        {"a packet under 32 bytes", [](SimFaults& f) { f.shortPacket = true; }, false, "res:16", false},
        {"end byte 5F", [](SimFaults& f) { f.endByte5F = true; }, true, "res:", false},
        // Judged later by the query, not here.
        {"a bad checksum", [](SimFaults& f) { f.badChecksum = true; }, true, "res:", false},
        {"another command", [](SimFaults& f) { f.wrongCommandEcho = true; }, true, "res:", false},
        // Last: it leaves its tail on the connection (see the leftover test).
        {"a reply over 1024 bytes", [](SimFaults& f) { f.oversizeReply = true; }, false, "res:1024", false},
    };
    edit_settings([](LinkSettings& s) { s.recvTimeoutMs = 100; });
    GatewaySim& sim = start_sim();
    ASSERT_TRUE(connect());
    StopHeartbeat();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimFaults faults;
        c.fault(faults);
        sim.set_faults(faults);
        trace_.clear();
        const std::size_t boxesBefore = prompts_.boxes().size();
        const int repliesBefore = sim.replies_sent();

        EXPECT_EQ(status_exchange(7, "no reply"), c.ok);

        EXPECT_TRUE(trace_.contains(c.traced)) << trace_.text();
        EXPECT_EQ(prompts_.boxes().size(), boxesBefore + (c.box ? 1 : 0));
        if (c.box) {
            EXPECT_EQ(prompts_.boxes().back(), "no reply");
        }
        EXPECT_FALSE(trace_.contains("check fails"));
        EXPECT_FALSE(trace_.contains("tcp send fails"));
        // Whatever the gateway sent has arrived before the next case.
        if (!faults.dropReplies) {
            ASSERT_TRUE(wait_until([&] { return sim.replies_sent() > repliesBefore; }));
        }
    }
    EXPECT_EQ(sim.connections_accepted(), 1);  // a time-out does not cost the connection
}

TEST_F(Exchange, AReplyOver1024BytesIsCutAndItsLastBlockReadAsTrailer) {
    SimFaults faults;
    faults.oversizeReply = true;
    start_sim(faults);
    ASSERT_TRUE(connect());
    StopHeartbeat();
    EXPECT_FALSE(status_exchange(3));
    ASSERT_TRUE(trace_.contains("res:1024"));
    // The one receive held 1024 bytes; block 64 is a data block, whose
    // "length" is whatever its first bytes read as.
    std::uint8_t block[16];
    ASSERT_EQ(aes_decrypt_block(&g_aesContext, block, g_link.ucRecvBuf + 1008), 0);
    char text[17] = {};
    std::memcpy(text, block, 16);
    EXPECT_EQ(g_link.iRxLen, static_cast<std::uint32_t>(std::atoi(text)));
    EXPECT_TRUE(prompts_.boxes().empty());
}

TEST_F(Exchange, LeftoverBytesOfAnEarlierReplyAreNotTakenForTheNext) {
    struct Case {
        const char* what;
        void (*fault)(SimFaults&);
    };
    const Case cases[] = {
        {"a reply after the time-out", [](SimFaults& f) { f.replyDelayMs = 300; }},
        {"the tail of a reply over 1024 bytes", [](SimFaults& f) { f.oversizeReply = true; }},
        {"the second half of a split reply", [](SimFaults& f) { f.splitReplies = true; }},
    };
    edit_settings([](LinkSettings& s) { s.recvTimeoutMs = 100; });
    GatewaySim& sim = start_sim();
    ASSERT_TRUE(connect());
    StopHeartbeat();
    std::uint8_t unit = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimFaults faults;
        c.fault(faults);
        sim.set_faults(faults);
        const int replies = sim.replies_sent();
        EXPECT_FALSE(status_exchange(unit++));
        sim.set_faults({});
        ASSERT_TRUE(wait_until([&] { return sim.replies_sent() > replies; }));
        ASSERT_TRUE(wait_until([] { return pending_bytes() > 0; }));
        trace_.clear();

        ASSERT_TRUE(status_exchange(unit)) << trace_.text();
        EXPECT_EQ(g_link.ucRxBuf[16], unit);
        EXPECT_TRUE(trace_.contains("stale bytes dropped:"));
        ++unit;
    }
}

TEST_F(Exchange, HeartbeatAndQueriesNeverTakeEachOthersReplies) {
    edit_settings([](LinkSettings& s) { s.heartbeatPeriodMs = 2; });
    GatewaySim& sim = start_sim();
    ASSERT_TRUE(connect());
    int wrong = 0;
    for (int i = 0; i < 1000; ++i) {
        const auto unit = static_cast<std::uint8_t>(i % 128);
        const bool ok = status_exchange(unit);
        if (!ok || g_link.ucRxBuf[kFrameOffsetCommand] != kCmdStatus || g_link.ucRxBuf[16] != unit ||
            !reply_sum_ok(g_link.ucRxBuf, g_link.iRxLen)) {
            ++wrong;
        }
    }
    StopHeartbeat();
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(frames_seen(kCmdHeartbeat, 22), 0);  // the heartbeat did run beside them
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

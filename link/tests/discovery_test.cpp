// Discovery against the gateway simulator on loopback: what it finds, what
// the status line says, when it connects, and what it leaves alone.
#include "gateway_sim.h"
#include "hex.h"
#include "link_test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>

#include <memory>
#include <string>

namespace {

const std::string kNoDevice = "There is no connection device. Please check the connection!\n";

class Discovery : public LinkTest {
protected:
    // A simulator on the port the link is set to.
    GatewaySim& start_sim(SimFaults faults = {}) {
        SimConfig config;
        config.port = link_settings().port;
        config.faults = faults;
        sim_ = std::make_unique<GatewaySim>(config);
        EXPECT_TRUE(sim_->start());
        return *sim_;
    }
    void change_settings(void (*edit)(LinkSettings&)) {
        LinkSettings s = link_settings();
        edit(s);
        set_link_settings(s);
    }
    std::string success_line() const { return "Connecting to 127.0.0.1 success !"; }

    std::unique_ptr<GatewaySim> sim_;
};

TEST_F(Discovery, FindsTheSimulatorConnectsAndStartsTheHeartbeat) {
    GatewaySim& sim = start_sim();
    ScanGateway();

    EXPECT_EQ(prompts_.status_lines(), std::vector<std::string>{success_line()});
    EXPECT_TRUE(prompts_.boxes().empty());
    EXPECT_EQ(g_link.bConnected, 1);
    EXPECT_EQ(g_link.iLinkState, 1);
    EXPECT_STREQ(g_link.pucDestIpBuf, "127.0.0.1");
    EXPECT_TRUE(trace_.contains("test 127.0.0.1 len :9\n"));
    EXPECT_TRUE(trace_.contains("IP:127.0.0.1"));
    EXPECT_TRUE(trace_.contains("tcp connect ok\n"));
    EXPECT_TRUE(wait_until([&] { return sim.connections_accepted() == 1; }));
    EXPECT_TRUE(HeartbeatRunning());

    // The frame is traced byte by byte as "%0x ", then sent encrypted.
    EXPECT_TRUE(trace_.contains("a5 6c 12 0 1 0 0 0 0 0 0 0 0 0 ff 23 2 ae \n"));
    EXPECT_TRUE(trace_.contains("sendto success"));
    const auto frames = sim.received_frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(hex_text(frames[0].data(), frames[0].size()), "A5 6C 12 00 01 00 00 00 00 00 00 00 00 00 FF 23 02 AE");
}

TEST_F(Discovery, WithoutAGatewayRunsEveryRoundAndSaysSo) {
    // The program's own pace: 50 rounds of 20 ms, about a second.
    change_settings([](LinkSettings& s) {
        s.discoveryRounds = 50;
        s.roundPauseMs = 20;
    });
    ScanGateway();

    EXPECT_EQ(prompts_.status_lines(), std::vector<std::string>{kNoDevice});
    EXPECT_TRUE(prompts_.boxes().empty());
    EXPECT_EQ(g_link.bConnected, 0);
    EXPECT_EQ(g_link.iLinkState, 0);
    EXPECT_EQ(trace_.count("iQueryCnt:"), 50);
    EXPECT_TRUE(trace_.contains("iQueryCnt:49\n"));
    EXPECT_TRUE(trace_.contains("iQueryCnt:0\n"));
    EXPECT_EQ(trace_.count("iResOrg = 0..\n"), 50);  // the socket is always writable, never has a datagram
    EXPECT_TRUE(trace_.contains("没有连接设备\n"));
    EXPECT_FALSE(trace_.contains("IP:"));
    EXPECT_FALSE(HeartbeatRunning());
}

TEST_F(Discovery, AGatewayThatIgnoresDiscoveryIsNotFound) {
    SimFaults faults;
    faults.ignoreDiscovery = true;
    GatewaySim& sim = start_sim(faults);
    ScanGateway();
    EXPECT_EQ(prompts_.status_lines(), std::vector<std::string>{kNoDevice});
    EXPECT_EQ(g_link.bConnected, 0);
    EXPECT_EQ(sim.connections_accepted(), 0);
}

TEST_F(Discovery, TheFirstOfSeveralAnsweringGatewaysWins) {
    SimFaults faults;
    faults.extraGateways = 2;  // answers from 127.0.0.1, then .2 and .3
    GatewaySim& sim = start_sim(faults);
    ScanGateway();
    EXPECT_EQ(trace_.count("test "), 1);
    EXPECT_STREQ(g_link.pucDestIpBuf, "127.0.0.1");
    EXPECT_EQ(prompts_.status_lines(), std::vector<std::string>{success_line()});
    EXPECT_TRUE(wait_until([&] { return sim.connections_accepted() == 1; }));
}

// The discovery answer is judged by magic and end byte only.
TEST_F(Discovery, AcceptsAnswersWithAnyCommandSumOrEndByte) {
    struct Case {
        const char* what;
        SimFaults faults;
    };
    SimFaults sum, command, end5F;
    sum.badChecksum = true;
    command.wrongCommandEcho = true;
    end5F.endByte5F = true;
    for (const Case& c : {Case{"bad checksum", sum}, Case{"wrong command", command}, Case{"end byte 5F", end5F}}) {
        SCOPED_TRACE(c.what);
        ResetLink();
        start_sim(c.faults);
        ScanGateway();
        EXPECT_EQ(g_link.bConnected, 1);
        EXPECT_STREQ(g_link.pucDestIpBuf, "127.0.0.1");
        EXPECT_FALSE(trace_.contains("check fails"));
        sim_.reset();
    }
}

TEST_F(Discovery, AnAnswerInTheLastRoundCountsAsFound) {
    // One round, long enough for the answer to be waiting when it is read:
    // the answer comes in the last round.
    change_settings([](LinkSettings& s) {
        s.discoveryRounds = 1;
        s.roundPauseMs = 300;
    });
    start_sim();
    ScanGateway();
    ASSERT_TRUE(trace_.contains("iQueryCnt:0\ndefault.\nsock read\ntest 127.0.0.1"));
    EXPECT_EQ(g_link.bConnected, 1);
    EXPECT_EQ(g_link.iLinkState, 1);
    EXPECT_EQ(prompts_.status_lines(), std::vector<std::string>{success_line()});
    EXPECT_TRUE(trace_.contains("tcp connect ok\n"));
}

// The status line is written when the outcome differs from what it shows.
TEST_F(Discovery, TheStatusLineChangesOnlyWithTheOutcome) {
    struct Case {
        const char* what;
        std::vector<bool> gatewayPresent;  // one discovery each
        std::vector<std::string> lines;
    };
    const std::string found = "Connecting to 127.0.0.1 success !";
    const Case cases[] = {
        {"found twice", {true, true}, {found}},
        {"not found twice", {false, false}, {kNoDevice}},
        {"found, lost, found", {true, false, true}, {found, kNoDevice, found}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetLink();
        RecordingPrompts recorder;
        set_prompts(&recorder);
        for (bool present : c.gatewayPresent) {
            if (present) {
                start_sim();
            } else {
                sim_.reset();
            }
            ScanGateway();
            EXPECT_EQ(g_link.bConnected, present ? 1 : 0);
        }
        EXPECT_EQ(recorder.status_lines(), c.lines);
        set_prompts(&prompts_);
        sim_.reset();
    }
}

TEST_F(Discovery, AFailedConnectLeavesNoSocketSoALaterDiscoveryConnects) {
    // The gateway's address given directly, with nothing listening yet.
    change_settings([](LinkSettings& s) { s.gatewayAddress = "127.0.0.1"; });
    ScanGateway();
    EXPECT_EQ(prompts_.boxes(), std::vector<std::string>{"create tcp socket fails!"});
    EXPECT_TRUE(trace_.contains("create tcp socket fails\n"));
    EXPECT_EQ(prompts_.status_lines(), std::vector<std::string>{success_line()});
    EXPECT_EQ(g_link.bConnected, 1);
    EXPECT_FALSE(HeartbeatRunning());

    GatewaySim& sim = start_sim();
    ScanGateway();
    EXPECT_EQ(prompts_.boxes().size(), 1u);
    EXPECT_TRUE(trace_.contains("tcp connect ok\n"));
    EXPECT_TRUE(wait_until([&] { return sim.connections_accepted() == 1; }));
    EXPECT_TRUE(HeartbeatRunning());
}

TEST_F(Discovery, AGivenAddressConnectsWithoutBroadcasting) {
    change_settings([](LinkSettings& s) { s.gatewayAddress = "127.0.0.1"; });
    GatewaySim& sim = start_sim();
    ScanGateway();
    EXPECT_EQ(prompts_.status_lines(), std::vector<std::string>{success_line()});
    EXPECT_EQ(g_link.bConnected, 1);
    EXPECT_TRUE(wait_until([&] { return sim.connections_accepted() == 1; }));
    EXPECT_FALSE(trace_.contains("sendto"));
    EXPECT_TRUE(sim.received_frames().empty());
}

TEST_F(Discovery, AMalformedGivenAddressIsNotAGateway) {
    for (const char* bad : {"gateway.local", "127.0.0", "127.0.0.1:8000", "1234567890.1.1.1"}) {
        SCOPED_TRACE(bad);
        ResetLink();
        LinkSettings s = link_settings();
        s.gatewayAddress = bad;
        set_link_settings(s);
        ScanGateway();
        EXPECT_EQ(g_link.bConnected, 0);
        EXPECT_EQ(g_link.pucDestIpBuf[0], '\0');
        EXPECT_TRUE(trace_.contains(std::string("bad gateway address:") + bad));
    }
    EXPECT_EQ(prompts_.status_lines().size(), 4u);
    EXPECT_TRUE(prompts_.boxes().empty());
}

TEST_F(Discovery, AFailedReadinessCheckCostsItsRoundNotTheProgram) {
    // With every descriptor below FD_SETSIZE taken, the discovery socket
    // lies beyond what the readiness check can ask about: each check fails.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_cur < FD_SETSIZE + 16) GTEST_SKIP() << "too few descriptors allowed";
    std::vector<int> filler;
    for (int fd = dup(0); fd >= 0; fd = dup(0)) {
        filler.push_back(fd);
        if (fd >= FD_SETSIZE - 1) break;
    }
    start_sim();  // its sockets, too, lie beyond: they do not use select
    ScanGateway();
    for (int fd : filler) close(fd);

    EXPECT_EQ(trace_.count("select fails\n"), link_settings().discoveryRounds);
    EXPECT_EQ(prompts_.status_lines(), std::vector<std::string>{kNoDevice});
    EXPECT_EQ(g_link.bConnected, 0);
}

TEST_F(Discovery, AMalformedBroadcastAddressSendsNothing) {
    change_settings([](LinkSettings& s) { s.broadcastAddress = "everyone"; });
    ScanGateway();
    EXPECT_TRUE(trace_.contains("bad broadcast address:everyone"));
    EXPECT_FALSE(trace_.contains("sendto"));
    EXPECT_TRUE(prompts_.status_lines().empty());
}

}  // namespace

// The heartbeat: its frame on the wire, how it judges the answer, what it
// tells the user when the connection is gone, and how its thread ends.
#include "hex.h"
#include "sim_link_test.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace {

const char* const kHeartbeatFrame = "A5 6C 16 00 01 00 00 00 00 00 00 00 00 00 FF 00 00 00 00 27 02 AE";
const std::string kDisconnected = "TCP connection disconnected ";

using Heartbeat = SimLinkTest;

TEST_F(Heartbeat, GoesOnTheWireAsA48BytePacketOfThe22ByteFrame) {
    // A bare peer that keeps what arrives, byte for byte.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len), 0);
    LinkSettings s = link_settings();
    s.gatewayAddress = "127.0.0.1";
    s.port = ntohs(sa.sin_port);
    set_link_settings(s);
    ScanGateway();
    StopHeartbeat();  // this test sends the one heartbeat itself
    const int peer = accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);

    std::thread beat(SendHeartbeat);
    std::uint8_t packet[256];
    const ssize_t got = recv(peer, packet, sizeof packet, 0);
    // Echo it: a heartbeat frame is itself a well-formed answer.
    if (got > 0) send(peer, packet, static_cast<std::size_t>(got), MSG_NOSIGNAL);
    beat.join();
    close(peer);
    close(listener);

    ASSERT_EQ(got, 48);
    CipherSlot plain;
    std::uint32_t n = 0;
    ASSERT_EQ(udp_aes_decrypt_entry(packet, 48, plain, &n), 0);
    EXPECT_EQ(hex_text(plain.data(), n), kHeartbeatFrame);
    EXPECT_TRUE(trace_.contains("res:48"));
    EXPECT_TRUE(prompts_.boxes().empty());
}

TEST_F(Heartbeat, TheWorkerSendsOneFrameEachPeriod) {
    edit_settings([](LinkSettings& s) { s.heartbeatPeriodMs = 10; });
    GatewaySim& sim = start_sim();
    ASSERT_TRUE(connect());
    ASSERT_TRUE(wait_until([&] { return frames_seen(kCmdHeartbeat, 22) >= 3; }));
    StopHeartbeat();
    EXPECT_FALSE(HeartbeatRunning());
    for (const auto& f : sim.received_frames()) {
        if (f.size() == 22) {
            EXPECT_EQ(hex_text(f.data(), f.size()), kHeartbeatFrame);
        }
    }
    EXPECT_TRUE(prompts_.boxes().empty());
    EXPECT_FALSE(trace_.contains("check fails"));
    StopHeartbeat();  // a second stop is harmless
}

// What each kind of answer makes of one heartbeat.
TEST_F(Heartbeat, JudgesTheAnswerByMagicEndByteAndSumOnly) {
    struct Case {
        const char* what;
        void (*fault)(SimFaults&);
        bool checkFails;
        bool box;
    };
    const Case cases[] = {
        {"a clean answer", [](SimFaults&) {}, false, false},
        {"end byte 5F", [](SimFaults& f) { f.endByte5F = true; }, false, false},
        {"another command", [](SimFaults& f) { f.wrongCommandEcho = true; }, false, false},
        {"bad checksum", [](SimFaults& f) { f.badChecksum = true; }, true, false},
        // The rest of the packet never comes: a receive that times out.
        {"a 16-byte packet", [](SimFaults& f) { f.shortPacket = true; }, false, true},
        // Read whole, in as many reads as it takes.
        {"a packet over 1024 bytes", [](SimFaults& f) { f.oversizeReply = true; }, false, false},
        {"a packet cut in three", [](SimFaults& f) { f.cutOffsets = {1, 17}; f.cutPauseMs = 5; }, false, false},
        {"no answer", [](SimFaults& f) { f.dropReplies = true; }, false, true},
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

        SendHeartbeat();

        EXPECT_EQ(trace_.contains("check fails.\n"), c.checkFails);
        EXPECT_EQ(prompts_.boxes().size(), boxesBefore + (c.box ? 1 : 0));
        EXPECT_EQ(trace_.contains("res error!"), c.box);
        if (c.box) {
            EXPECT_EQ(prompts_.boxes().back(), kDisconnected);
        }
        EXPECT_FALSE(trace_.contains("tcp send fails"));
        if (c.checkFails) {
            // The bad sum is the only thing said about the reply.
            const std::string text = trace_.text();
            const std::size_t res = text.rfind("res:");
            const std::size_t digits = text.find_first_not_of("0123456789", res + 4);
            EXPECT_TRUE(res != std::string::npos && digits > res + 4 && text.substr(digits) == "check fails.\n")
                << text;
        }
    }
}

TEST_F(Heartbeat, AGoneGatewayIsReportedEachPeriodUntilItIsBack) {
    edit_settings([](LinkSettings& s) { s.heartbeatPeriodMs = 10; });
    start_sim();
    ASSERT_TRUE(connect());
    sim_.reset();  // the gateway goes away
    ASSERT_TRUE(wait_until([&] { return prompts_.boxes().size() >= 2; }));
    for (const auto& box : prompts_.boxes()) EXPECT_EQ(box, kDisconnected);
    EXPECT_TRUE(trace_.contains("tcp connection closed by the gateway\n"));

    // It comes back on the same port: the next periods reach it again.
    GatewaySim& back = start_sim();
    ASSERT_TRUE(wait_until([&] { return frames_seen(kCmdHeartbeat, 22) >= 2; }));
    StopHeartbeat();
    const std::size_t boxes = prompts_.boxes().size();
    SendHeartbeat();
    EXPECT_EQ(prompts_.boxes().size(), boxes);
    EXPECT_EQ(back.connections_accepted(), 1);
}

// The user hears that the connection broke even though it is taken up again
// at once; the status line says so.
TEST_F(Heartbeat, AGatewayThatDroppedTheConnectionIsRejoinedAndTheUserTold) {
    GatewaySim& sim = start_sim();
    ASSERT_TRUE(connect());
    StopHeartbeat();
    sim.drop_connection();
    ASSERT_TRUE(wait_until(close_arrived));
    SendHeartbeat();
    EXPECT_EQ(prompts_.boxes(), std::vector<std::string>{kDisconnected});
    ASSERT_FALSE(prompts_.status_lines().empty());
    EXPECT_EQ(prompts_.status_lines().back(), "Reconnected to 127.0.0.1 !");
    EXPECT_EQ(sim.connections_accepted(), 2);
    EXPECT_EQ(frames_seen(kCmdHeartbeat, 22), 1);
}

TEST_F(Heartbeat, WithoutAConnectionTheSendFails) {
    SendHeartbeat();
    EXPECT_TRUE(trace_.contains("tcp send fails\n"));
    EXPECT_EQ(prompts_.boxes(), std::vector<std::string>{kDisconnected});
}

}  // namespace

namespace {

// A gateway that never answers the heartbeat (it answers everything else):
// the beat waits in its receive, yet a query gets through at once, a stop
// ends the thread at once, and a stop followed by a start runs again.
TEST_F(Heartbeat, GivesWayToAQueryAndStopsAtOnceWhileItsReceiveWaits) {
    edit_settings([](LinkSettings& s) {
        s.heartbeatPeriodMs = 5;
        s.recvTimeoutMs = 5000;   // the beat would wait this long for its answer
    });
    SimFaults silentBeats;
    silentBeats.dropReplies = true;
    silentBeats.onlyCommands = {kCmdHeartbeat};
    GatewaySim& sim = start_sim(silentBeats);
    ASSERT_TRUE(connect());
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const int beats = frames_seen(kCmdHeartbeat, 22);
        ASSERT_TRUE(wait_until([&] { return frames_seen(kCmdHeartbeat, 22) > beats; }));   // a beat is waiting
        const auto t0 = std::chrono::steady_clock::now();
        ASSERT_TRUE(status_exchange(static_cast<std::uint8_t>(10 + round)));
        EXPECT_EQ(g_link.ucRxBuf[16], 10 + round);
        // Far inside the beat's 5 s receive: the query did not wait for it.
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
        ASSERT_TRUE(wait_until([&] { return frames_seen(kCmdHeartbeat, 22) > beats + 1; }));
        EXPECT_TRUE(StopHeartbeatWithin(500)) << "the heartbeat did not end within 500 ms";
        EXPECT_FALSE(HeartbeatRunning());
        StartHeartbeat(5);
        ASSERT_TRUE(HeartbeatRunning());
    }
    StopHeartbeat();
    EXPECT_TRUE(prompts_.boxes().empty());
    EXPECT_EQ(sim.connections_accepted(), 1);
}

}  // namespace

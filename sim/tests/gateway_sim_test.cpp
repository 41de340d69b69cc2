// The simulator over real loopback sockets, driven by a bare client made of
// the link core: discovery by broadcast, the TCP replies byte by byte, every
// fault, and the record of received frames.
#include "gateway_sim.h"
#include "raw_client.h"
#include "sim_responder.h"
#include "sim_wire.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>

namespace {

// Status bytes 1..40, so every position is told apart.
SimLuminaire numbered_luminaire(std::uint8_t unit) {
    SimLuminaire lum;
    lum.unit = unit;
    for (std::size_t i = 0; i < kSimStatusBytes; ++i) lum.status[i] = static_cast<std::uint8_t>(i + 1);
    lum.name = u"Exit";
    lum.location = u"L3 \u00e9";
    SimTestEntry e;
    e.type = 1;
    e.year = 2018;
    e.month = 3;
    e.day = 9;
    e.hour = 14;
    e.minute = 5;
    e.second = 0;
    e.result = 1;
    e.minutes = 180;
    e.offset = 2;
    lum.entries = {e};
    return lum;
}

// Known-good replies, worked out by hand (sum by an independent script).
const char* const kStatusReplyUnit69 =
    "A5 6C 3C 00 01 00 00 00 00 00 00 00 00 00 21 00 45 "
    "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 "
    "15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27 28 E8 04 AE";
const char* const kDetailReplyUnit69 =
    "A5 6C 4E 00 01 00 00 00 00 00 00 00 00 00 15 00 45 02 00 00 01 E2 07 03 09 0E 05 00 00 01 B4 "
    "45 00 78 00 69 00 74 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "4C 00 33 00 20 00 E9 00 00 00 9C 06 AE";

class GatewaySimTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { aes_load_key(); }

    void start(SimFaults faults = {}) {
        SimConfig config;
        config.luminaires = {numbered_luminaire(69)};
        config.faults = std::move(faults);
        sim = std::make_unique<GatewaySim>(std::move(config));
        ASSERT_TRUE(sim->start());
        ASSERT_NE(sim->port(), 0);
    }

    // Waits until the simulator has recorded `count` frames.
    void wait_recorded(std::size_t count) {
        ASSERT_TRUE(eventually([&] { return sim->received_frames().size() >= count; }));
    }

    std::unique_ptr<GatewaySim> sim;
};

TEST_F(GatewaySimTest, AnswersDiscoveryBroadcastFromTheBindAddressAndPort) {
    start();
    const auto answers = discover(sim->port(), 1);
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].from, "127.0.0.1");
    EXPECT_EQ(answers[0].fromPort, sim->port());
    const auto frame = open_packet(answers[0].packet);
    ASSERT_TRUE(frame);
    EXPECT_EQ((*frame)[kFrameOffsetCommand], kCmdDiscovery);
    EXPECT_TRUE(reply_sum_ok(frame->data(), static_cast<std::uint32_t>(frame->size())));
    // The discovery frame itself is recorded as it came.
    EXPECT_EQ(sim->received_frames(), std::vector<Bytes>{hex_bytes("A5 6C 12 00 01 00 00 00 00 00 00 00 00 00 FF 23 02 AE")});
}

TEST_F(GatewaySimTest, AnswersUnicastDiscoveryToo) {
    start();
    const auto answers = discover(sim->port(), 1, "127.0.0.1");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0].from, "127.0.0.1");
}

TEST_F(GatewaySimTest, ExtraGatewaysAnswerFromFurtherLoopbackAddresses) {
    SimFaults f;
    f.extraGateways = 2;
    start(f);
    const auto answers = discover(sim->port(), 3);
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].from, "127.0.0.1");
    EXPECT_EQ(answers[1].from, "127.0.0.2");
    EXPECT_EQ(answers[2].from, "127.0.0.3");
    for (const auto& a : answers) EXPECT_TRUE(open_packet(a.packet)) << a.from;
}

TEST_F(GatewaySimTest, IgnoredDiscoveryGetsNoAnswer) {
    SimFaults f;
    f.ignoreDiscovery = true;
    start(f);
    SocketHandle sock = udp_socket();
    sock_set_broadcast(sock);
    const Bytes packet = encrypt_request(kCmdDiscovery, {});
    const Ipv4Endpoint to = loopback("127.255.255.255", sim->port());
    sock_sendto(sock, packet.data(), packet.size(), to);
    wait_recorded(1);
    // The second datagram's answer ends with 5F: had the first been
    // answered, its AE answer would have come first.
    SimFaults marked;
    marked.endByte5F = true;
    sim->set_faults(marked);
    sock_sendto(sock, packet.data(), packet.size(), to);
    std::uint8_t buf[256];
    const int n = sock_recv_within(sock, buf, sizeof buf, kWaitMs);
    sock_close(sock);
    ASSERT_GT(n, 0);
    const auto frame = open_packet(Bytes(buf, buf + n));
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->back(), kFrameEndAlt);
}

TEST_F(GatewaySimTest, StatusReplyOverTcpMatchesTheKnownFrame) {
    start();
    TcpClient c(sim->port());
    ASSERT_TRUE(c.connected());
    const auto reply = c.exchange(kCmdStatus, {0x41, 69});
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, hex_bytes(kStatusReplyUnit69));
    EXPECT_EQ(sim->received_frames(), std::vector<Bytes>{request_frame(kCmdStatus, {0x41, 69})});
    EXPECT_EQ(sim->connections_accepted(), 1);
}

TEST_F(GatewaySimTest, DetailReplyOverTcpMatchesTheKnownFrameThenEnds) {
    start();
    TcpClient c(sim->port());
    const auto first = c.exchange(kCmdTestDetails, {69});
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, hex_bytes(kDetailReplyUnit69));
    const auto end = c.exchange(kCmdTestDetails, {0, 69, 0, 0});
    ASSERT_TRUE(end);
    EXPECT_EQ(end->size(), kListingEndLength);
    EXPECT_EQ((*end)[kReplyResult], kListingEnd);
}

TEST_F(GatewaySimTest, HeartbeatReplyIsA22ByteFrameWithAValidSum) {
    start();
    TcpClient c(sim->port());
    const auto reply = c.exchange(kCmdHeartbeat, {0, 0, 0, 0});
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, hex_bytes("A5 6C 16 00 01 00 00 00 00 00 00 00 00 00 FF 00 00 00 00 27 02 AE"));
}

TEST_F(GatewaySimTest, RequestsSentBackToBackInOneSegmentAreEachAnswered) {
    start();
    TcpClient c(sim->port());
    Bytes both = encrypt_request(kCmdHeartbeat, {0, 0, 0, 0});
    const Bytes status = encrypt_request(kCmdStatus, {0x41, 69});
    both.insert(both.end(), status.begin(), status.end());
    ASSERT_TRUE(c.send_raw(both));
    const auto r1 = c.read_reply();
    ASSERT_TRUE(r1);
    EXPECT_EQ((*r1)[kFrameOffsetCommand], kCmdHeartbeat);
    const auto r2 = c.read_reply();
    ASSERT_TRUE(r2);
    EXPECT_EQ(*r2, hex_bytes(kStatusReplyUnit69));
    EXPECT_EQ(sim->received_frames().size(), 2u);
}

// Each frame fault changes exactly what it names.
struct FrameFaultCase {
    const char* name;
    void (*set)(SimFaults&);
    bool sumOk;
    std::uint8_t command;
    std::uint8_t unit;
    std::uint8_t end;
};

class FrameFaultTest : public GatewaySimTest, public ::testing::WithParamInterface<FrameFaultCase> {};

TEST_P(FrameFaultTest, StatusReplyCarriesTheFault) {
    const auto& p = GetParam();
    SimFaults f;
    p.set(f);
    start(f);
    TcpClient c(sim->port());
    const auto reply = c.exchange(kCmdStatus, {0x41, 69});
    ASSERT_TRUE(reply);
    const auto n = static_cast<std::uint32_t>(reply->size());
    EXPECT_EQ(n, kStatusReplyLength);
    EXPECT_EQ(reply_sum_ok(reply->data(), n), p.sumOk);
    EXPECT_EQ((*reply)[kFrameOffsetCommand], p.command);
    EXPECT_EQ((*reply)[kReplyUnit], p.unit);
    EXPECT_EQ(reply->back(), p.end);
    EXPECT_EQ((*reply)[kReplyStatusData], 1);  // the data itself untouched
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FrameFaultTest,
    ::testing::Values(
        FrameFaultCase{"none", [](SimFaults&) {}, true, kCmdStatus, 69, kFrameEnd},
        FrameFaultCase{"badChecksum", [](SimFaults& f) { f.badChecksum = true; }, false, kCmdStatus, 69, kFrameEnd},
        FrameFaultCase{"wrongCommand", [](SimFaults& f) { f.wrongCommandEcho = true; }, true, kCmdTestResults, 69,
                       kFrameEnd},
        FrameFaultCase{"wrongUnit", [](SimFaults& f) { f.wrongUnitEcho = true; }, true, kCmdStatus, 70, kFrameEnd},
        FrameFaultCase{"end5F", [](SimFaults& f) { f.endByte5F = true; }, true, kCmdStatus, 69, kFrameEndAlt},
        FrameFaultCase{"delayed", [](SimFaults& f) { f.replyDelayMs = 50; }, true, kCmdStatus, 69, kFrameEnd},
        FrameFaultCase{"split", [](SimFaults& f) { f.splitReplies = true; }, true, kCmdStatus, 69, kFrameEnd}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GatewaySimTest, FaultsKeptForOneCommandLeaveTheOthersClean) {
    SimFaults f;
    f.badChecksum = true;
    f.endByte5F = true;
    f.onlyCommands = {kCmdStatus};
    start(f);
    TcpClient c(sim->port());
    const auto heartbeat = c.exchange(kCmdHeartbeat, {0, 0, 0, 0});
    ASSERT_TRUE(heartbeat);
    EXPECT_EQ(*heartbeat, hex_bytes("A5 6C 16 00 01 00 00 00 00 00 00 00 00 00 FF 00 00 00 00 27 02 AE"));
    const auto status = c.exchange(kCmdStatus, {0x41, 69});
    ASSERT_TRUE(status);
    EXPECT_FALSE(reply_sum_ok(status->data(), static_cast<std::uint32_t>(status->size())));
    EXPECT_EQ(status->back(), kFrameEndAlt);
}

TEST_F(GatewaySimTest, ABadMagicOrEndByteReachesTheWire) {
    for (bool magic : {true, false}) {
        SimFaults f;
        (magic ? f.badMagic : f.badEndByte) = true;
        start(f);
        TcpClient c(sim->port());
        ASSERT_TRUE(c.send_request(kCmdStatus, {0x41, 69}));
        const auto packet = c.read_packet();
        ASSERT_TRUE(packet);
        EXPECT_FALSE(open_packet(*packet));  // the link's opener refuses it
        CipherSlot plain;
        std::uint32_t n = 0;
        ASSERT_EQ(udp_aes_decrypt_entry(packet->data(), static_cast<std::uint32_t>(packet->size()), plain, &n), 0);
        EXPECT_EQ(plain[0], magic ? 0x5A : 0xA5);
        EXPECT_EQ(plain[n - 1], magic ? 0xAE : 0x00);
    }
}

TEST_F(GatewaySimTest, TheFrameLogShowsEveryFrameBothWays) {
    std::mutex mu;
    std::vector<std::string> lines;
    SimConfig config;
    config.luminaires = {numbered_luminaire(69)};
    config.frameLog = [&](const std::string& line) {
        std::lock_guard lock(mu);
        lines.push_back(line);
    };
    sim = std::make_unique<GatewaySim>(std::move(config));
    ASSERT_TRUE(sim->start());
    ASSERT_EQ(discover(sim->port(), 1).size(), 1u);
    TcpClient c(sim->port());
    ASSERT_TRUE(c.exchange(kCmdHeartbeat, {0, 0, 0, 0}));
    sim->stop();
    const std::vector<std::string> expected = {
        "rx udp A5 6C 12 00 01 00 00 00 00 00 00 00 00 00 FF 23 02 AE",
        "tx udp A5 6C 1A 00 01 00 00 00 00 00 00 00 00 00 FF 53 49 4D 20 47 57 20 31 23 04 AE",
        "rx tcp A5 6C 16 00 01 00 00 00 00 00 00 00 00 00 FF 00 00 00 00 27 02 AE",
        "tx tcp A5 6C 16 00 01 00 00 00 00 00 00 00 00 00 FF 00 00 00 00 27 02 AE",
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(GatewaySimTest, StatusResultByteForMissingBusyAndUnknownUnits) {
    SimFaults f;
    f.unitsMissing = {69};
    f.unitsBusy = {5};
    start(f);
    TcpClient c(sim->port());
    const struct {
        std::uint8_t unit, result;
    } cases[] = {{69, kStatusUnitMissing}, {5, kStatusDaliBusy}, {100, kStatusUnitMissing}};
    for (const auto& k : cases) {
        const auto reply = c.exchange(kCmdStatus, {0x41, k.unit});
        ASSERT_TRUE(reply) << int(k.unit);
        EXPECT_EQ((*reply)[kReplyResult], k.result) << int(k.unit);
        EXPECT_EQ((*reply)[kReplyUnit], k.unit);
        EXPECT_TRUE(reply_sum_ok(reply->data(), static_cast<std::uint32_t>(reply->size())));
    }
}

TEST_F(GatewaySimTest, DroppedRepliesNeverArrive) {
    for (bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "dropReplies");
        SimFaults f;
        (silent ? f.silent : f.dropReplies) = true;
        start(f);
        TcpClient c(sim->port());
        ASSERT_TRUE(c.send_request(kCmdStatus, {0x41, 69}));
        wait_recorded(1);
        SimFaults marked;
        marked.endByte5F = true;
        sim->set_faults(marked);
        const auto reply = c.exchange(kCmdHeartbeat, {0, 0, 0, 0});
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[kFrameOffsetCommand], kCmdHeartbeat);
        EXPECT_EQ(reply->back(), kFrameEndAlt);
        EXPECT_TRUE(eventually([&] { return sim->replies_sent() == 1; }));
    }
}

TEST_F(GatewaySimTest, SplitReplyArrivesWholeAcrossReads) {
    SimFaults f;
    f.splitReplies = true;
    start(f);
    TcpClient c(sim->port());
    ASSERT_TRUE(c.send_request(kCmdStatus, {0x41, 69}));
    const auto packet = c.read_packet();
    ASSERT_TRUE(packet);
    EXPECT_EQ(packet->size(), 80u);  // 60-byte frame: four data blocks and the trailer
    EXPECT_EQ(open_packet(*packet), hex_bytes(kStatusReplyUnit69));
}

TEST_F(GatewaySimTest, OversizeReplyIsMoreThanOneReceiveCanTake) {
    SimFaults f;
    f.oversizeReply = true;
    start(f);
    TcpClient c(sim->port());
    ASSERT_TRUE(c.send_request(kCmdStatus, {0x41, 69}));
    const auto packet = c.read_packet();
    ASSERT_TRUE(packet);
    EXPECT_GT(packet->size(), kRecvBufSize);
    // Cut to one receive, it does not open.
    EXPECT_FALSE(open_packet(Bytes(packet->begin(), packet->begin() + kRecvBufSize)));
    const auto frame = open_packet(*packet);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->size(), kOversizeFrameLength);
    EXPECT_TRUE(reply_sum_ok(frame->data(), static_cast<std::uint32_t>(frame->size())));
    const Bytes known = hex_bytes(kStatusReplyUnit69);
    EXPECT_TRUE(std::equal(known.begin() + 4, known.begin() + 57, frame->begin() + 4));
}

TEST_F(GatewaySimTest, ShortPacketIsSixteenBytes) {
    SimFaults f;
    f.shortPacket = true;
    start(f);
    TcpClient c(sim->port());
    ASSERT_TRUE(c.send_request(kCmdHeartbeat, {0, 0, 0, 0}));
    ASSERT_TRUE(eventually([&] { return sim->replies_sent() == 1; }));
    sim->drop_connection();
    const auto bytes = c.read_until_closed();
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), kShortPacketLength);
    EXPECT_FALSE(open_packet(*bytes));
}

TEST_F(GatewaySimTest, ClosesAfterTheGivenNumberOfRepliesAndAcceptsAgain) {
    SimFaults f;
    f.closeAfterReplies = 2;
    start(f);
    {
        TcpClient c(sim->port());
        EXPECT_TRUE(c.exchange(kCmdHeartbeat, {0, 0, 0, 0}));
        EXPECT_TRUE(c.exchange(kCmdHeartbeat, {0, 0, 0, 0}));
        const auto rest = c.read_until_closed();
        ASSERT_TRUE(rest);
        EXPECT_TRUE(rest->empty());
    }
    TcpClient again(sim->port());
    EXPECT_TRUE(again.exchange(kCmdStatus, {0x41, 69}));
    EXPECT_EQ(sim->connections_accepted(), 2);
}

TEST_F(GatewaySimTest, CloseAfterZeroClosesOnAccept) {
    SimFaults f;
    f.closeAfterReplies = 0;
    start(f);
    TcpClient c(sim->port());
    const auto rest = c.read_until_closed();
    ASSERT_TRUE(rest);
    EXPECT_TRUE(rest->empty());
}

TEST_F(GatewaySimTest, FaultsChangeWhileRunning) {
    start();
    TcpClient c(sim->port());
    auto good = c.exchange(kCmdHeartbeat, {0, 0, 0, 0});
    ASSERT_TRUE(good);
    EXPECT_TRUE(reply_sum_ok(good->data(), static_cast<std::uint32_t>(good->size())));
    SimFaults f;
    f.badChecksum = true;
    sim->set_faults(f);
    auto bad = c.exchange(kCmdHeartbeat, {0, 0, 0, 0});
    ASSERT_TRUE(bad);
    EXPECT_FALSE(reply_sum_ok(bad->data(), static_cast<std::uint32_t>(bad->size())));
    sim->set_faults({});
    auto again = c.exchange(kCmdHeartbeat, {0, 0, 0, 0});
    ASSERT_TRUE(again);
    EXPECT_TRUE(reply_sum_ok(again->data(), static_cast<std::uint32_t>(again->size())));
}

TEST_F(GatewaySimTest, DropConnectionClosesThePeerAndKeepsListening) {
    start();
    TcpClient c(sim->port());
    ASSERT_TRUE(c.exchange(kCmdHeartbeat, {0, 0, 0, 0}));
    sim->drop_connection();
    const auto rest = c.read_until_closed();
    ASSERT_TRUE(rest);
    EXPECT_TRUE(rest->empty());
    TcpClient again(sim->port());
    EXPECT_TRUE(again.exchange(kCmdHeartbeat, {0, 0, 0, 0}));
    EXPECT_EQ(sim->connections_accepted(), 2);
}

TEST_F(GatewaySimTest, ANewConnectionReplacesTheOldOne) {
    start();
    TcpClient first(sim->port());
    ASSERT_TRUE(first.exchange(kCmdHeartbeat, {0, 0, 0, 0}));
    TcpClient second(sim->port());
    EXPECT_TRUE(second.exchange(kCmdHeartbeat, {0, 0, 0, 0}));
    const auto rest = first.read_until_closed();
    ASSERT_TRUE(rest);
    EXPECT_TRUE(rest->empty());
}

TEST_F(GatewaySimTest, StopEndsAPendingDelayAndFreesThePort) {
    SimFaults f;
    f.replyDelayMs = 600000;  // ten minutes: stop must not wait it out
    start(f);
    TcpClient c(sim->port());
    ASSERT_TRUE(c.send_request(kCmdHeartbeat, {0, 0, 0, 0}));
    wait_recorded(1);
    const std::uint16_t port = sim->port();
    sim->stop();
    const auto rest = c.read_until_closed();
    ASSERT_TRUE(rest);
    EXPECT_TRUE(rest->empty());
    SimConfig config;
    config.port = port;
    GatewaySim again(std::move(config));
    EXPECT_TRUE(again.start());
    EXPECT_EQ(again.port(), port);
}

TEST_F(GatewaySimTest, GarbageOnTheStreamIsSkippedAndTheNextRequestAnswered) {
    start();
    TcpClient c(sim->port());
    Bytes bytes(37, 0x5A);
    const Bytes request = encrypt_request(kCmdStatus, {0x41, 69});
    bytes.insert(bytes.end(), request.begin(), request.end());
    ASSERT_TRUE(c.send_raw(bytes));
    const auto reply = c.read_reply();
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, hex_bytes(kStatusReplyUnit69));
    EXPECT_EQ(sim->received_frames(), std::vector<Bytes>{request_frame(kCmdStatus, {0x41, 69})});
}

}  // namespace

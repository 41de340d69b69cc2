// The socket layer's promises that the link builds on: strict address text,
// a closed peer reported as such (and never as a signal), time-outs told
// apart from closures, and stale bytes dropped without waiting.
#include "socket_layer.h"

#include "sim_socket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kLoopback = 0x7F000001u;

// Winsock wants starting before any socket; POSIX has nothing to start.
class NetworkStack : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(net_startup(), NetStartup::Ok); }
    void TearDown() override { net_cleanup(); }
};
const auto* const g_stack = ::testing::AddGlobalTestEnvironment(new NetworkStack);

TEST(ParseIpv4, TakesDottedDecimalOnly) {
    struct Case {
        const char* text;
        bool ok;
        std::uint32_t address;
    };
    const Case cases[] = {
        {"127.0.0.1", true, 0x7F000001u},
        {"127.255.255.255", true, 0x7FFFFFFFu},
        {"0.0.0.0", true, 0},
        {"255.255.255.255", true, 0xFFFFFFFFu},  // the default broadcast address: parsed, never sent to
        {"1.2.3", false, 0},
        {"1.2.3.4.5", false, 0},
        {"256.1.1.1", false, 0},
        {"1.2.3.4 ", false, 0},
        {"-1.2.3.4", false, 0},
        {"01.2.3.4", false, 0},
        {"1.2.3.0x4", false, 0},
        {"1..2.3", false, 0},
        {"gateway", false, 0},
        {"", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Ipv4Endpoint ep;
        ASSERT_EQ(parse_ipv4(c.text, 8000, &ep), c.ok);
        if (c.ok) {
            EXPECT_EQ(ep.address, c.address);
            EXPECT_EQ(ep.port, 8000);
            char back[kIpv4TextSize];
            format_ipv4(ep, back);
            EXPECT_STREQ(back, c.text);
        }
    }
    Ipv4Endpoint ep;
    EXPECT_FALSE(parse_ipv4(nullptr, 1, &ep));
}

// A connection on loopback: the link's end (client_) and the peer's.
class StreamPair : public ::testing::Test {
protected:
    void SetUp() override {
        listener_ = tcp_socket();
        ASSERT_TRUE(sim_bind(listener_, Ipv4Endpoint{kLoopback, 0}));
        ASSERT_TRUE(sim_listen(listener_, 1));
        at_ = Ipv4Endpoint{kLoopback, sim_local_port(listener_)};
        client_ = tcp_socket();
        ASSERT_TRUE(sock_connect(client_, at_));
        peer_ = sim_accept(listener_);
        ASSERT_NE(peer_, kInvalidSocket);
    }
    void TearDown() override {
        sock_close(client_);
        sock_close(peer_);
        sock_close(listener_);
    }
    void peer_writes(std::size_t n) {
        const std::vector<std::uint8_t> bytes(n, 'x');
        ASSERT_EQ(sock_send(peer_, bytes.data(), n), static_cast<int>(n));
    }

    Ipv4Endpoint at_;
    SocketHandle listener_ = kInvalidSocket;
    SocketHandle client_ = kInvalidSocket;
    SocketHandle peer_ = kInvalidSocket;
    std::uint8_t buf_[64] = {};
};

TEST_F(StreamPair, AClosedPeerIsReportedAsClosedNotAsASignal) {
    sock_close(peer_);
    EXPECT_EQ(sock_recv(client_, buf_, sizeof buf_), 0);
    // The first send after the peer's close still leaves; the peer answers
    // with a reset, and a later one fails. Without care that is SIGPIPE.
    int result = 0;
    for (int i = 0; i < 20 && result != -1; ++i) result = sock_send(client_, buf_, sizeof buf_);
    ASSERT_EQ(result, -1);
    EXPECT_EQ(net_last_error(), NetError::Closed);
}

TEST_F(StreamPair, AReceiveTimeOutIsNotAClosure) {
    ASSERT_TRUE(sock_set_recv_timeout(client_, 30));
    EXPECT_EQ(sock_recv(client_, buf_, sizeof buf_), -1);
    EXPECT_EQ(net_last_error(), NetError::TimedOut);
}

TEST_F(StreamPair, PendingBytesAreDroppedAndAClosureNoticed) {
    bool closed = true;
    EXPECT_EQ(sock_discard_pending(client_, &closed), 0u);
    EXPECT_FALSE(closed);

    peer_writes(40);
    peer_writes(3000);  // more than one scratch read
    // Loopback delivers before send returns; the bound only guards a hang.
    std::size_t dropped = 0;
    for (int i = 0; i < 1000 && dropped < 3040; ++i) dropped += sock_discard_pending(client_, &closed);
    EXPECT_EQ(dropped, 3040u);
    EXPECT_FALSE(closed);

    peer_writes(5);
    sock_close(peer_);
    std::size_t last = 0;
    for (int i = 0; i < 1000 && !closed; ++i) last += sock_discard_pending(client_, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(last, 5u);
}

TEST_F(StreamPair, ReceivingWithinADeadlineTakesWhatCameAndTellsTheRestApart) {
    EXPECT_EQ(sock_recv_within(client_, buf_, sizeof buf_, 0), -1);
    EXPECT_EQ(net_last_error(), NetError::TimedOut);
    EXPECT_EQ(sock_recv_within(client_, buf_, sizeof buf_, 30), -1);
    EXPECT_EQ(net_last_error(), NetError::TimedOut);
    peer_writes(10);
    EXPECT_EQ(sock_recv_within(client_, buf_, 4, 3000), 4);  // no more than asked for
    EXPECT_EQ(sock_recv_within(client_, buf_, sizeof buf_, 3000), 6);  // what came, without waiting for more
    sock_close(peer_);
    EXPECT_EQ(sock_recv_within(client_, buf_, sizeof buf_, 3000), 0);
    SocketHandle none = kInvalidSocket;
    EXPECT_EQ(sock_recv_within(none, buf_, sizeof buf_, 0), -1);
}

TEST_F(StreamPair, ConnectingWithinADeadlineReachesAListenerAndIsRefusedByAClosedPort) {
    SocketHandle second = tcp_socket();
    EXPECT_TRUE(sock_connect_within(second, at_, 3000));
    // Blocking again: a receive waits for its time-out instead of failing at once.
    ASSERT_TRUE(sock_set_recv_timeout(second, 30));
    EXPECT_EQ(sock_recv(second, buf_, sizeof buf_), -1);
    EXPECT_EQ(net_last_error(), NetError::TimedOut);
    sock_close(second);

    const Ipv4Endpoint closed = at_;
    sock_close(listener_);  // nothing listens there any more
    second = tcp_socket();
    EXPECT_FALSE(sock_connect_within(second, closed, 3000));
    EXPECT_EQ(net_last_error(), NetError::Other);  // refused, not a time-out
    sock_close(second);
}

TEST_F(StreamPair, AnInvalidHandleFailsWithoutTouchingAnything) {
    SocketHandle none = kInvalidSocket;
    EXPECT_EQ(sock_send(none, buf_, sizeof buf_), -1);
    EXPECT_EQ(sock_recv(none, buf_, sizeof buf_), -1);
    EXPECT_NE(net_last_error(), NetError::Closed);
    bool closed = true;
    EXPECT_EQ(sock_discard_pending(none, &closed), 0u);
    EXPECT_FALSE(closed);
    sock_close(none);
    EXPECT_EQ(none, kInvalidSocket);
}

TEST(Datagram, ALoopbackBroadcastComesBackFromTheSendersAddress) {
    // The receiver listens on every local address, as a gateway does; the
    // broadcast goes to loopback's own broadcast address only.
    SocketHandle receiver = udp_socket();
    ASSERT_TRUE(sim_bind(receiver, Ipv4Endpoint{0, 0}));
    const std::uint16_t port = sim_local_port(receiver);

    SocketHandle udp = udp_socket();
    ASSERT_TRUE(sock_set_broadcast(udp));
    ASSERT_TRUE(sock_set_nonblocking(udp));
    EXPECT_EQ(sock_wait_ready(udp, 3000), 1);  // writable at once
    Ipv4Endpoint to;
    ASSERT_TRUE(parse_ipv4("127.255.255.255", port, &to));
    const std::uint8_t hello[5] = {'h', 'e', 'l', 'l', 'o'};
    ASSERT_EQ(sock_sendto(udp, hello, sizeof hello, to), 5);

    std::uint8_t got[16] = {};
    ASSERT_TRUE(sock_set_recv_timeout(receiver, 3000));
    Ipv4Endpoint from;
    ASSERT_EQ(sock_recvfrom(receiver, got, sizeof got, &from), 5);
    EXPECT_EQ(std::string(got, got + 5), "hello");
    EXPECT_EQ(from.address >> 24, 127u);
    // Nothing waits on the non-blocking socket: the receive returns at once.
    Ipv4Endpoint sender;
    std::uint8_t none[4];
    EXPECT_EQ(sock_recvfrom(udp, none, sizeof none, &sender), -1);
    EXPECT_EQ(net_last_error(), NetError::TimedOut);
    sock_close(receiver);
    sock_close(udp);
}

}  // namespace

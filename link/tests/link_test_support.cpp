#include "link_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

std::uint16_t unused_port() {
    // A port the system hands out for UDP and that TCP can bind too.
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int udp = socket(AF_INET, SOCK_DGRAM, 0);
        const int tcp = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof sa;
        std::uint16_t port = 0;
        if (bind(udp, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0 &&
            getsockname(udp, reinterpret_cast<sockaddr*>(&sa), &len) == 0 &&
            bind(tcp, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) {
            port = ntohs(sa.sin_port);
        }
        close(udp);
        close(tcp);
        if (port != 0) return port;
    }
    ADD_FAILURE() << "no free loopback port";
    return 0;
}

LinkSettings loopback_settings(std::uint16_t port) {
    LinkSettings s;
    s.broadcastAddress = "127.255.255.255";
    s.port = port;
    s.heartbeatPeriodMs = 60000;  // tests that want heartbeats ask for them
    s.discoveryRounds = 10;
    s.roundPauseMs = 10;
    s.sendTimeoutMs = 2000;
    s.recvTimeoutMs = 3000;
    return s;
}

void LinkTest::SetUp() {
    ASSERT_EQ(aes_load_key(), 0);
    ResetLink();
    set_link_settings(loopback_settings(unused_port()));
    set_prompts(&prompts_);
}

void LinkTest::TearDown() {
    ResetLink();
    set_prompts(nullptr);
}

namespace {
// Before any test runs, the link is pointed at loopback, so that even a test
// that forgets its settings can never broadcast beyond this machine.
const bool g_loopbackFromTheStart = [] {
    set_link_settings(loopback_settings(unused_port()));
    return true;
}();
}  // namespace

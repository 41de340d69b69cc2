// Prints every request of the gateway protocol as a frame and as the
// encrypted packet that goes on the wire.
#include "command_frame.h"
#include "packet_cipher.h"

#include <cstdio>

namespace {

void show(const char* what, std::uint8_t cmd, const std::uint8_t* payload, std::uint16_t payloadLen) {
    std::uint8_t frame[kFrameBufSize];
    const std::uint16_t len = build_cmd_frame(frame, cmd, payload, payloadLen);
    CipherSlot packet;
    std::uint32_t packetLen = 0;
    if (udp_aes_encrypt_entry(frame, len, packet, &packetLen) != 0) {
        std::printf("%s: encryption failed\n", what);
        return;
    }
    std::printf("%s\n  frame  (%2u bytes):", what, static_cast<unsigned>(len));
    for (std::uint16_t i = 0; i < len; ++i) std::printf(" %02X", frame[i]);
    std::printf("\n  packet (%2u bytes):", static_cast<unsigned>(packetLen));
    for (std::uint32_t i = 0; i < packetLen; ++i) std::printf("%s%02X", i % 16 == 0 ? "\n    " : " ", packet[i]);
    std::printf("\n\n");
}

}  // namespace

int main() {
    if (aes_load_key() != 0) {
        std::fprintf(stderr, "cannot load the gateway key\n");
        return 1;
    }
    const std::uint8_t zeros[4] = {0, 0, 0, 0};
    const std::uint8_t statusA5[2] = {0x41, 5};
    const std::uint8_t firstDetailsB3[1] = {64 + 3};
    show("discovery (UDP broadcast, port 8000)", kCmdDiscovery, nullptr, 0);
    show("heartbeat", kCmdHeartbeat, zeros, 4);
    show("status of luminaire A5", kCmdStatus, statusA5, 2);
    show("first test-results request", kCmdTestResults, nullptr, 0);
    show("follow-up test-results request", kCmdTestResults, zeros, 4);
    show("first test-details request for B3", kCmdTestDetails, firstDetailsB3, 1);
    return 0;
}

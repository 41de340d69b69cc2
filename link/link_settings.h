// Where the gateway is and how long the link waits for it. The defaults are
// the program's fixed values; the command-line front end and the tests
// override them (a gateway address given directly, a loopback broadcast
// address, a free port, shorter time-outs).
#pragma once

#include <cstdint>
#include <string>

struct LinkSettings {
    std::string broadcastAddress = "255.255.255.255";  // discovery destination
    std::uint16_t port = 8000;                         // UDP discovery port and TCP port
    std::string gatewayAddress;                        // non-empty: connect directly, no discovery
    int heartbeatPeriodMs = 25000;                     // pause before each heartbeat
    int discoveryRounds = 50;                          // polling rounds of one discovery
    int roundPauseMs = 20;                             // pause before each round
    int sendTimeoutMs = 4000;                          // SO_SNDTIMEO on the TCP connection
    int recvTimeoutMs = 20000;                         // SO_RCVTIMEO on the TCP connection
};

// Set before the first discovery. To change them later, ResetLink() first:
// the heartbeat and a reconnect read them from their own thread.
void set_link_settings(const LinkSettings& settings);
const LinkSettings& link_settings();

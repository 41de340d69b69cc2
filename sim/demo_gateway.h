// --demo: the gateway simulator runs inside the program, on loopback, with
// its demonstration luminaires, and discovery is pointed at it. Works for the
// window and for the front end's sub-commands alike.
#pragma once

#include "link_settings.h"

#include <memory>

class GatewaySim;

// Loopback broadcast: the discovery datagram never leaves the machine.
inline constexpr const char* kDemoBroadcast = "127.255.255.255";

class DemoGateway {
public:
    DemoGateway();
    ~DemoGateway();  // stops the simulator

    // Starts the simulator and points discovery at it (the loopback
    // broadcast and its port in `link`). False, said on standard error, when
    // it could not start.
    bool start(LinkSettings* link);

private:
    std::unique_ptr<GatewaySim> m_sim;
};

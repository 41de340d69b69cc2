#include "demo_gateway.h"

#include "gateway_sim.h"
#include "sim_data.h"

#include <cstdio>

DemoGateway::DemoGateway() = default;

DemoGateway::~DemoGateway()
{
    if (m_sim) m_sim->stop();
}

bool DemoGateway::start(LinkSettings* link)
{
    auto sim = std::make_unique<GatewaySim>(demo_gateway_config());
    if (!sim->start()) {
        std::fprintf(stderr, "orvypc: the demonstration gateway could not be started\n");
        return false;
    }
    m_sim = std::move(sim);
    link->broadcastAddress = kDemoBroadcast;
    link->port = m_sim->port();
    return true;
}

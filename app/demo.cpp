#include "demo.h"

#include "gateway_sim.h"
#include "sim_data.h"

#include <cstdio>

DemoGateway::DemoGateway() = default;

DemoGateway::~DemoGateway()
{
    if (m_sim) m_sim->stop();
}

std::vector<char*> DemoGateway::take_switch(int argc, char** argv)
{
    m_texts.clear();
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::string(argv[i]) == kDemoSwitch) m_requested = true;
        else m_texts.emplace_back(argv[i]);
    }
    if (m_requested) {
        auto sim = std::make_unique<GatewaySim>(demo_gateway_config());
        if (sim->start()) {
            m_sim = std::move(sim);
            m_texts.emplace_back("--broadcast");
            m_texts.emplace_back(kDemoBroadcast);
            m_texts.emplace_back("--port");
            m_texts.emplace_back(std::to_string(m_sim->port()));
        } else {
            std::fprintf(stderr, "orvypc: the demonstration gateway could not be started\n");
        }
    }
    std::vector<char*> args;
    for (std::string& text : m_texts) args.push_back(text.data());
    args.push_back(nullptr);
    return args;
}

// What the benchmark and the soak share: a quiet program-wide link to a
// simulator on loopback, and the simulator's data built to size.
#pragma once

#include "gateway_link.h"
#include "gateway_sim.h"
#include "prompts.h"
#include "sim_data.h"
#include "trace.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Message boxes are counted, not shown.
class CountingPrompts final : public Prompts {
public:
    void message_box(const std::string&) override { ++boxes; }
    void set_status_line(const std::string&) override {}
    int boxes = 0;
};

inline double micros_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count();
}

// The value at fraction q (0..1) of the sorted samples.
inline double percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<std::size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
    return v[i];
}

// Connects g_link directly to the simulator (no discovery).
inline bool connect_to(const GatewaySim& sim, int heartbeatPeriodMs) {
    LinkSettings s;
    s.gatewayAddress = "127.0.0.1";
    s.port = sim.port();
    s.heartbeatPeriodMs = heartbeatPeriodMs;
    s.recvTimeoutMs = 1000;
    s.sendTimeoutMs = 1000;
    set_link_settings(s);
    ScanGateway();
    return g_link.bConnected.load() == 1 && g_link.tcp_sock != kInvalidSocket;
}

// The program-wide link, quiet (boxes counted in `prompts`, no trace), to
// `sim` once it has started. False when it did not start or connect.
inline bool start_quietly_and_connect(GatewaySim& sim, CountingPrompts& prompts) {
    set_prompts(&prompts);
    set_trace_sink(nullptr);
    aes_load_key();
    return sim.start() && connect_to(sim, 3600 * 1000);
}

// `count` luminaires on units 0.., each with `entries` stored tests.
inline std::vector<SimLuminaire> luminaires(int count, int entries) {
    const std::vector<SimLuminaire> demo = demo_luminaires();
    std::vector<SimLuminaire> out;
    for (int u = 0; u < count; ++u) {
        SimLuminaire l = demo[static_cast<std::size_t>(u) % demo.size()];
        l.unit = static_cast<std::uint8_t>(u);
        l.name = u"Luminaire " + std::u16string(1, static_cast<char16_t>(u'A' + u % 26));
        l.location = u"Floor " + std::u16string(1, static_cast<char16_t>(u'0' + u / 16 % 10));
        l.entries.clear();
        for (int e = 0; e < entries; ++e) {
            SimTestEntry t;
            t.type = static_cast<std::uint8_t>(e % 3 == 0 ? 1 : 0);
            t.year = static_cast<std::uint16_t>(2020 + e / 336 % 7);
            t.month = static_cast<std::uint8_t>(1 + e / 28 % 12);
            t.day = static_cast<std::uint8_t>(1 + e % 28);
            t.hour = static_cast<std::uint8_t>(e % 24);
            t.minute = static_cast<std::uint8_t>(e % 60);
            t.second = static_cast<std::uint8_t>(7 * e % 60);
            t.result = static_cast<std::uint8_t>(e % 7 == 0 ? 0xFF : 1);
            t.minutes = static_cast<std::uint8_t>(t.type == 1 ? 180 : 1);
            t.offset = static_cast<std::uint16_t>(e);
            l.entries.push_back(t);
        }
        out.push_back(std::move(l));
    }
    return out;
}

}  // namespace bench

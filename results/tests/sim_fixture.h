// A link to the gateway simulator on loopback, for the query tests: short
// time-outs, no heartbeat during a test, recorded messages and traces.
#pragma once

#include "gateway_link.h"
#include "gateway_sim.h"
#include "prompts.h"
#include "sim_data.h"
#include "trace.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class SimPrompts final : public Prompts {
public:
    void message_box(const std::string& text) override {
        std::lock_guard lock(mutex);
        messages.push_back(text);
    }
    void set_status_line(const std::string&) override {}
    std::mutex mutex;
    std::vector<std::string> messages;
};

class SimLinkTest : public ::testing::Test {
protected:
    // The luminaires the simulator holds; the demonstration set by default.
    virtual std::vector<SimLuminaire> luminaires() const { return demo_luminaires(); }

    void SetUp() override {
        ASSERT_EQ(aes_load_key(), 0);
        ResetLink();
        SimConfig config;
        config.luminaires = luminaires();
        sim_ = std::make_unique<GatewaySim>(config);
        ASSERT_TRUE(sim_->start());
        LinkSettings s;
        s.gatewayAddress = "127.0.0.1";
        s.broadcastAddress = "127.255.255.255";
        s.port = sim_->port();
        s.heartbeatPeriodMs = 600000;
        s.sendTimeoutMs = 1000;
        s.recvTimeoutMs = 1000;
        set_link_settings(s);
        set_prompts(&prompts_);
        set_trace_sink([this](std::string_view t) {
            std::lock_guard lock(traceMutex_);
            trace_ += t;
        });
        ScanGateway();
        ASSERT_EQ(g_link.bConnected.load(), 1);
        ASSERT_NE(g_link.tcp_sock, kInvalidSocket);
        std::lock_guard lock(traceMutex_);
        trace_.clear();
    }
    void TearDown() override {
        ResetLink();
        sim_.reset();
        set_prompts(nullptr);
        set_trace_sink(trace_to_stdout);
    }

    void set_faults(void (*edit)(SimFaults&)) {
        SimFaults f;
        edit(f);
        sim_->set_faults(f);
    }
    // The requests of one command the simulator received, decrypted.
    std::vector<std::vector<std::uint8_t>> requests_of(std::uint8_t cmd) const {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto& f : sim_->received_frames())
            if (f.size() > 14 && f[14] == cmd) out.push_back(f);
        return out;
    }
    std::string traced() {
        std::lock_guard lock(traceMutex_);
        return trace_;
    }
    std::vector<std::string> messages() {
        std::lock_guard lock(prompts_.mutex);
        return prompts_.messages;
    }

    std::unique_ptr<GatewaySim> sim_;
    SimPrompts prompts_;
    std::mutex traceMutex_;
    std::string trace_;
};

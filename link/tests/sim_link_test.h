// A link test with the gateway simulator on the port the link is set to.
#pragma once

#include "gateway_sim.h"
#include "link_test_support.h"

#include <poll.h>

#include <cstdint>
#include <memory>
#include <vector>

class SimLinkTest : public LinkTest {
protected:
    void TearDown() override {
        LinkTest::TearDown();  // the heartbeat stops before the simulator goes
        sim_.reset();
    }

    // A fresh simulator (the one before is stopped first) on the link's port.
    GatewaySim& start_sim(const SimFaults& faults = {}) {
        sim_.reset();
        SimConfig config = demo_config();
        config.port = link_settings().port;
        config.faults = faults;
        sim_ = std::make_unique<GatewaySim>(config);
        EXPECT_TRUE(sim_->start());
        return *sim_;
    }

    void edit_settings(void (*edit)(LinkSettings&)) {
        LinkSettings s = link_settings();
        edit(s);
        set_link_settings(s);
    }

    // Discovery against the simulator; true once it is connected.
    bool connect() {
        ScanGateway();
        return g_link.bConnected == 1 && wait_until([&] { return sim_->connections_accepted() >= 1; });
    }

    // The TCP requests the simulator has seen with this command (the
    // discovery datagram is an 18-byte 0xFF frame; the heartbeat is 22).
    int frames_seen(std::uint8_t cmd, std::size_t len) const {
        int n = 0;
        for (const auto& f : sim_->received_frames()) {
            if (f.size() == len && f[kFrameOffsetCommand] == cmd) ++n;
        }
        return n;
    }

    // A status request for `unit` through the exchange, as the status query
    // makes it.
    static bool status_exchange(std::uint8_t unit, const char* recvFailMessage = nullptr) {
        const std::uint8_t payload[2] = {0x41, unit};
        return ExchangeFrame(kCmdStatus, payload, sizeof payload, true, "tcp send fails!", recvFailMessage).ok();
    }

    // The gateway's close has reached the link's end of the connection.
    // Only looked at while the heartbeat is stopped.
    static bool close_arrived() {
        pollfd p{g_link.tcp_sock, POLLRDHUP, 0};
        return poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP)) != 0;
    }

    std::unique_ptr<GatewaySim> sim_;
};

// A gateway on loopback for tests and demonstrations: it answers discovery
// datagrams and serves one TCP connection at a time with the replies of the
// real gateway, from luminaires it is given, with faults it is told to inject.
#pragma once

#include "sim_data.h"
#include "sim_types.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class GatewaySim {
public:
    explicit GatewaySim(SimConfig config);
    ~GatewaySim();  // stops
    GatewaySim(const GatewaySim&) = delete;
    GatewaySim& operator=(const GatewaySim&) = delete;

    // Binds UDP (discovery) and TCP to one port number and starts serving on
    // threads of its own. False when the sockets cannot be set up (the
    // reason goes to standard error).
    bool start();
    // Ends both threads and closes every socket; returns once they are gone.
    void stop();
    std::uint16_t port() const;

    // Takes effect for the next reply.
    void set_faults(const SimFaults& faults);
    // Changes one luminaire's data (status bytes, name, entries; not its
    // unit) while it runs: the next request sees it. False when it has no
    // such luminaire.
    bool change_luminaire(std::uint8_t unit, const std::function<void(SimLuminaire&)>& edit);
    SimFaults faults() const;
    // Closes the current TCP connection (the peer sees it closed at once)
    // and goes on listening.
    void drop_connection();

    // Every request frame received (discovery datagrams and TCP requests),
    // decrypted, in the order received.
    std::vector<std::vector<std::uint8_t>> received_frames() const;
    void clear_received_frames();
    int connections_accepted() const;
    // Replies sent on TCP (faulty ones included, dropped ones not).
    int replies_sent() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// --demo: the gateway simulator runs inside the program, on loopback, with
// its demonstration luminaires, and discovery is pointed at it. Works for the
// window and for the front end's sub-commands alike.
#pragma once

#include <memory>
#include <string>
#include <vector>

class GatewaySim;

inline constexpr const char* kDemoSwitch = "--demo";
// Loopback broadcast: the discovery datagram never leaves the machine.
inline constexpr const char* kDemoBroadcast = "127.255.255.255";

class DemoGateway {
public:
    DemoGateway();
    ~DemoGateway();  // stops the simulator

    // The command line without "--demo"; when it was there, the simulator is
    // started and "--broadcast 127.255.255.255 --port <its port>" are added,
    // which both the front end and the window read. The result ends with a
    // null pointer, as argv does; its texts live as long as this object.
    std::vector<char*> take_switch(int argc, char** argv);

    bool requested() const { return m_requested; }
    // False when --demo was given and the simulator could not start.
    bool ok() const { return !m_requested || m_sim != nullptr; }

private:
    bool m_requested = false;
    std::unique_ptr<GatewaySim> m_sim;
    std::vector<std::string> m_texts;
};

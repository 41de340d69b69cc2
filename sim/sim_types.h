// What the gateway simulator holds: its luminaires with their status bytes
// and stored test entries, the faults it is told to inject, and where it
// listens. No sockets here.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

// One stored test entry, as the gateway sends it in a test-results or
// details reply.
struct SimTestEntry {
    std::uint8_t type = 0;         // 1 = duration test, 0 = function test
    std::uint16_t year = 2000;
    std::uint8_t month = 1, day = 1, hour = 0, minute = 0, second = 0;
    std::uint8_t result = 0;       // 1 = passed, 0xFF = failed, other = no result
    std::uint8_t minutes = 0xFF;   // test duration; 0xFF = none
    std::uint16_t offset = 0;      // the gateway's own entry offset (reply bytes 17-18)
};

inline constexpr std::size_t kSimStatusBytes = 40;      // status reply bytes 17..56
inline constexpr std::size_t kSimNameMaxChars = 16;     // fits between offsets 31 and 65 with its 0
inline constexpr std::size_t kSimLocationMaxChars = 32;

// One emergency luminaire: unit number 0..63 line A, 64..127 line B.
struct SimLuminaire {
    std::uint8_t unit = 0;
    std::array<std::uint8_t, kSimStatusBytes> status{};  // status reply bytes 17..56
    std::u16string name, location;
    std::vector<SimTestEntry> entries;  // oldest first; details list them in this order
};

// Faults, each switchable while the simulator runs (GatewaySim::set_faults);
// they apply from the next reply on. TCP replies unless said otherwise.
struct SimFaults {
    int replyDelayMs = 0;           // wait before each reply
    bool dropReplies = false;       // read requests, answer nothing
    bool badChecksum = false;       // sum off by one (also on discovery answers)
    bool wrongCommandEcho = false;  // byte 14 names another command (also on discovery answers)
    bool wrongUnitEcho = false;     // byte 16 names another unit (status and entry replies)
    bool endByte5F = false;         // end byte 0x5F instead of 0xAE (also on discovery answers)
    bool splitReplies = false;      // each packet in two sends with a short pause between
    int closeAfterReplies = -1;     // close the connection after this many replies; -1 never
    std::set<std::uint8_t> unitsMissing;  // status result byte 1 for these units
    std::set<std::uint8_t> unitsBusy;     // status result byte 2 for these units
    // Busy now and then: for unit u with period n, the 1st, (n+1)th, ...
    // status request is answered busy, the others normally.
    std::map<std::uint8_t, int> unitsBusyEvery;
    int extraGateways = 0;          // more discovery answers, from 127.0.0.2, .3, ...
    // Beyond the basic set:
    bool oversizeReply = false;     // frame padded so that its packet exceeds 1024 bytes
    bool shortPacket = false;       // send only the first 16 bytes of each packet
    bool silent = false;            // as dropReplies
    bool ignoreDiscovery = false;   // answer no discovery datagram at all
    int discoveryDelayMs = 0;       // wait before answering a discovery datagram
    int replyFrameLength = 0;       // >= 18: each reply frame cut or zero-padded to this length
    bool badMagic = false;          // first byte 0x5A instead of 0xA5
    bool badEndByte = false;        // end byte 0x00: neither of the two accepted ones
    // How a reply packet reaches the wire. Each reply:
    std::vector<int> cutOffsets;    // written in pieces cut at these byte offsets, cutPauseMs apart
    int cutPauseMs = 60;
    bool byteAtATime = false;       // one byte per write
    bool replyTwice = false;        // the packet twice, in one write
    bool garbleReply = false;       // the first block scrambled: it names no sound frame length
    // > 0: the reply faults apply only to the Nth reply after the faults were
    // set (counted over every connection), the others are sound: a fault
    // that hits one reply, which a retry on a fresh connection gets past.
    int onReply = 0;
    // Non-empty: the reply faults above apply only to replies to these
    // commands; the others are answered cleanly (and at once).
    std::set<std::uint8_t> onlyCommands;
};

struct SimConfig {
    std::string bindAddress = "127.0.0.1";
    std::uint16_t port = 0;  // 0: pick a free port number (same for UDP and TCP)
    std::vector<SimLuminaire> luminaires;
    SimFaults faults;
    // Set: called with one line for every frame received and sent ("rx tcp
    // A5 6C ..."), from the simulator's threads.
    std::function<void(const std::string&)> frameLog;
};

// The gateway's side of the protocol, without sockets: one decrypted request
// frame in, the reply frame out (or none). It keeps the cursors of the two
// paged listings, one set per TCP connection.
#pragma once

#include "sim_types.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

using SimFrame = std::vector<std::uint8_t>;

// Offsets of the reply frames.
inline constexpr std::size_t kReplyResult = 15;     // status: result byte; listings: 0xFF = end
inline constexpr std::size_t kReplyUnit = 16;       // unit number echo
inline constexpr std::size_t kReplyStatusData = 17; // status: 40 bytes
inline constexpr std::size_t kReplyEntryOffset = 17;  // listings: entry offset, 2 bytes LE
inline constexpr std::size_t kReplyEntryType = 20;
inline constexpr std::size_t kReplyEntryYear = 21;    // 2 bytes LE, then month..second
inline constexpr std::size_t kReplyEntryResult = 29;
inline constexpr std::size_t kReplyEntryMinutes = 30;
inline constexpr std::size_t kReplyEntryName = 31;      // UTF-16LE, 0-terminated
inline constexpr std::size_t kReplyEntryLocation = 65;  // UTF-16LE, 0-terminated

inline constexpr std::uint8_t kStatusSubcommand = 0x41;  // first status payload byte
inline constexpr std::uint8_t kStatusUnitMissing = 1;
inline constexpr std::uint8_t kStatusDaliBusy = 2;
inline constexpr std::uint8_t kListingEnd = 0xFF;

inline constexpr std::size_t kStatusReplyLength = 60;   // 17 + 40 data bytes + sum + end
inline constexpr std::size_t kListingEndLength = 22;    // status, unit, offset; no test data
inline constexpr std::size_t kHeartbeatReplyLength = 22;

// A reply frame with command `cmd` and `payload` from offset 15, its length,
// sum and end byte 0xAE.
SimFrame make_reply_frame(std::uint8_t cmd, const std::vector<std::uint8_t>& payload);

// The answer to a discovery datagram: command 0xFF, payload naming the
// gateway ("SIM GW n").
SimFrame discovery_reply(int gatewayNumber);
SimFrame heartbeat_reply();
SimFrame status_reply(std::uint8_t unit, std::uint8_t result,
                      const std::array<std::uint8_t, kSimStatusBytes>& data);
SimFrame entry_reply(std::uint8_t cmd, const SimLuminaire& lum, const SimTestEntry& entry);
// No test data: 22 bytes holding result `status`, the unit and a zero offset.
SimFrame bare_listing_reply(std::uint8_t cmd, std::uint8_t status, std::uint8_t unit);

// The index of a luminaire's latest entry by date and time (the last of
// equal ones); the luminaire must have at least one entry.
std::size_t latest_entry_index(const SimLuminaire& lum);

class SimResponder {
public:
    // Luminaires are listed in unit order whatever their order here.
    explicit SimResponder(std::vector<SimLuminaire> luminaires);

    // The reply to one well-formed request frame; nullopt for a request the
    // gateway does not answer (unknown command, payload too short).
    // `faults` supplies the missing and busy units.
    std::optional<SimFrame> reply_to(const SimFrame& request, const SimFaults& faults);

    // A new connection starts with no listing in progress.
    void reset_cursors();

    const std::vector<SimLuminaire>& luminaires() const { return luminaires_; }
    // Edits one luminaire's data (its unit stays); false when there is none.
    bool change(std::uint8_t unit, const std::function<void(SimLuminaire&)>& edit);

private:
    std::optional<SimFrame> status(const SimFrame& request, const SimFaults& faults) const;
    SimFrame test_results(bool first);
    SimFrame details(bool first, std::uint8_t unit);
    const SimLuminaire* find(std::uint8_t unit) const;

    std::vector<SimLuminaire> luminaires_;
    std::size_t resultsNext_ = SIZE_MAX;   // next luminaire of the test-results listing
    int detailsUnit_ = -1;                 // luminaire of the details listing in progress
    std::size_t detailsNext_ = 0;          // its next entry
    mutable std::map<std::uint8_t, int> statusAsks_;   // status requests per unit, for unitsBusyEvery
};

// The status query: one request (command 0x21, payload 0x41 and the unit
// number) and one reply holding the status record.
#pragma once

#include "status_record.h"

#include <cstdint>

inline constexpr std::uint8_t kStatusRequestTag = 0x41;   // first payload byte, both lines
inline constexpr std::uint8_t kStatusResultMissing = 1;   // the unit does not exist on the gateway
inline constexpr std::uint8_t kStatusResultBusy = 2;      // the DALI line is busy

// How the last QueryStatus ended, for the command line (the page ignores it).
enum class StatusOutcome {
    Accepted,
    LinkFailed,   // not sent, nothing received, reply dropped, or the frame sum was wrong
    Refused,      // wrong command or unit echo, unit missing, DALI busy
};
StatusOutcome last_status_outcome();

// The checks of a reply that the exchange handed over, in order, with their
// trace lines and messages; true when the reply is accepted as status data.
// Records the outcome.
bool CheckStatusReply(const std::uint8_t* rx, std::uint32_t n, std::uint8_t unitNumber);

// Records the outcome of an exchange that handed over no reply.
void NoteStatusExchangeFailed();

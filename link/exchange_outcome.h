// How one request/reply exchange ended: a reply handed over, a reply that
// came but was dropped, or a failure; each with its reason.
#pragma once

#include <cstdint>

enum class ExchangeStatus : std::uint8_t {
    Reply,     // a reply that passed magic and end byte is in the caller's buffer
    Dropped,   // bytes came, but they were not a reply that could be used
    Failed,    // nothing was sent, or nothing came back; already reported
};

enum class ExchangeReason : std::uint8_t {
    None,
    // Failed
    NotEncrypted,    // the request could not be built or encrypted
    SendFailed,      // the send failed (or there is no connection)
    TimedOut,        // no whole reply within the receive time-out
    Closed,          // the gateway closed or reset the connection
    RecvFailed,      // the receive itself failed
    Abandoned,       // the heartbeat gave way to a query before its reply came
    Reconnected,     // the connection was reopened in the middle of a listing
    // Dropped
    Garbled,         // the packet names no frame length a reply can have, or its trailer disagrees
    BadMagic,        // the frame does not start A5 6C
    BadEnd,          // the frame ends neither AE nor 5F
    StrayBytes,      // more bytes came with the reply than the reply itself
    OtherReply,      // the heartbeat got the reply to another command
};

struct ExchangeOutcome {
    ExchangeStatus status = ExchangeStatus::Failed;
    ExchangeReason reason = ExchangeReason::None;

    bool ok() const { return status == ExchangeStatus::Reply; }
    explicit operator bool() const { return ok(); }

    static ExchangeOutcome reply() { return {ExchangeStatus::Reply, ExchangeReason::None}; }
    static ExchangeOutcome dropped(ExchangeReason why) { return {ExchangeStatus::Dropped, why}; }
    static ExchangeOutcome failed(ExchangeReason why) { return {ExchangeStatus::Failed, why}; }
};

// The reason in words, for traces and for the user ("no reply within the
// time-out").
const char* exchange_reason_text(ExchangeReason reason);

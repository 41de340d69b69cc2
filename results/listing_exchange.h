// The one request/reply step that the listings repeat, behind an interface so
// the listings run against the link or against a scripted fake alike.
#pragma once

#include "exchange_outcome.h"

#include <cstdint>

// One request of a listing.
struct ListingRequest {
    std::uint8_t cmd = 0;
    const std::uint8_t* payload = nullptr;
    std::uint16_t payloadLen = 0;
    bool setTimeouts = false;                // set the send and receive time-outs first
    const char* sendFailMessage = nullptr;   // the box for a failed send (null: none)
    const char* recvFailMessage = nullptr;   // the box when no reply came (null: none)
    const char* sentTrace = nullptr;         // a trace text once the request went out (null: none)
};

class ListingExchange {
public:
    virtual ~ListingExchange() = default;
    // Sends one request and takes one reply: a reply is at reply() when the
    // outcome is ExchangeStatus::Reply.
    virtual ExchangeOutcome exchange(const ListingRequest& request) = 0;
    // A listing starts: the gateway keeps its place in the listing for the
    // connection it came in on, so a later request that goes out on another
    // connection (the link reopened it) must end the listing as failed.
    virtual void begin_listing() {}
    // The last reply frame: a kRxBufSize buffer, zero past reply_length().
    virtual const std::uint8_t* reply() const = 0;
    virtual std::uint32_t reply_length() const = 0;
};

// The one request/reply step that the listings repeat, behind an interface so
// the listings run against the link or against a scripted fake alike.
#pragma once

#include <cstdint>

enum class ExchangeResult {
    Reply,     // a reply that passed magic and end byte is at reply()
    Dropped,   // a reply came but did not decrypt or failed magic/end byte
    Failed,    // not sent, or nothing received; already reported
};

class ListingExchange {
public:
    virtual ~ListingExchange() = default;
    // Sends one request and takes one reply. `setTimeouts`: set the send and
    // receive time-outs before sending and receiving. `sendFailMessage`,
    // `recvFailMessage`: the message boxes for a failed send and for a
    // receive that brought nothing (null: none). `sentTrace`: a trace text
    // for a request that went out (may be null).
    virtual ExchangeResult exchange(std::uint8_t cmd, const std::uint8_t* payload, std::uint16_t payloadLen,
                                    bool setTimeouts, const char* sendFailMessage, const char* recvFailMessage,
                                    const char* sentTrace) = 0;
    // A listing starts: the gateway keeps its place in the listing for the
    // connection it came in on, so a later request that goes out on another
    // connection (the link reopened it) must end the listing as failed.
    virtual void begin_listing() {}
    // The last reply frame: a kRxBufSize buffer, zero past reply_length().
    virtual const std::uint8_t* reply() const = 0;
    virtual std::uint32_t reply_length() const = 0;
};

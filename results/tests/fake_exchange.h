// A scripted exchange: each request takes the next scripted answer and is
// recorded. A listing that asks for more than the script holds gets a failed
// send, so every test ends by itself.
#pragma once

#include "listing_exchange.h"
#include "prompts.h"
#include "reply.h"
#include "trace.h"

#include <cstring>
#include <deque>
#include <string>
#include <vector>

struct Request {
    std::uint8_t cmd;
    std::vector<std::uint8_t> payload;
    bool setTimeouts;
    std::string sendFailMessage;
    std::string recvFailMessage;
};

// What the scripted gateway does with one request.
enum class Script { Reply, Dropped, SendFailed, NothingReceived };

struct Answer {
    Script what = Script::Reply;
    std::vector<std::uint8_t> frame;   // for Reply
};

class FakeExchange final : public ListingExchange {
public:
    void reply(std::vector<std::uint8_t> frame) { script.push_back({Script::Reply, std::move(frame)}); }
    void fail(Script what) { script.push_back({what, {}}); }

    // Like the link: a failed send or receive shows its message, if any.
    ExchangeOutcome exchange(const ListingRequest& r) override {
        requests.push_back({r.cmd, std::vector<std::uint8_t>(r.payload, r.payload + r.payloadLen), r.setTimeouts,
                            r.sendFailMessage ? r.sendFailMessage : "", r.recvFailMessage ? r.recvFailMessage : ""});
        const char* sendFailMessage = r.sendFailMessage;
        const char* recvFailMessage = r.recvFailMessage;
        const char* sentTrace = r.sentTrace;
        if (script.empty()) {
            ++overrun;
            return ExchangeOutcome::failed(ExchangeReason::SendFailed);
        }
        Answer a = std::move(script.front());
        script.pop_front();
        if (a.what == Script::SendFailed) {
            if (sendFailMessage) prompts().message_box(sendFailMessage);
            return ExchangeOutcome::failed(ExchangeReason::SendFailed);
        }
        if (sentTrace) trace("%s", sentTrace);
        if (a.what == Script::NothingReceived) {
            if (recvFailMessage) prompts().message_box(recvFailMessage);
            return ExchangeOutcome::failed(ExchangeReason::TimedOut);
        }
        std::memset(rx_, 0, sizeof rx_);
        n_ = 0;
        if (a.what == Script::Dropped) return ExchangeOutcome::dropped(ExchangeReason::BadMagic);
        n_ = static_cast<std::uint32_t>(a.frame.size());
        std::memcpy(rx_, a.frame.data(), a.frame.size());
        return ExchangeOutcome::reply();
    }
    const std::uint8_t* reply() const override { return rx_; }
    std::uint32_t reply_length() const override { return n_; }

    std::deque<Answer> script;
    std::vector<Request> requests;
    int overrun = 0;

private:
    std::uint8_t rx_[kRxBufSize] = {};
    std::uint32_t n_ = 0;
};

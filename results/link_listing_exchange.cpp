// The listings over the program's gateway link.
#include "gateway_link.h"
#include "listings.h"
#include "trace.h"

namespace {

class LinkListingExchange final : public ListingExchange {
public:
    ExchangeResult exchange(std::uint8_t cmd, const std::uint8_t* payload, std::uint16_t payloadLen, bool setTimeouts,
                            const char* sendFailMessage, const char* recvFailMessage, const char* sentTrace) override {
        // ExchangeFrame answers only true or false. The link writes iRxLen
        // only once a reply has been received, so a false with iRxLen
        // changed is a reply that was dropped (the listing goes on), and a
        // false with it untouched is a failed send or receive (it ends).
        g_link.iRxLen = kNotReceived;
        const bool ok = ExchangeFrame(cmd, payload, payloadLen, setTimeouts, sendFailMessage, recvFailMessage);
        const bool received = g_link.iRxLen != kNotReceived;
        if (!received) g_link.iRxLen = 0;
        if (received && sentTrace != nullptr) trace("%s", sentTrace);
        if (ok) return ExchangeResult::Reply;
        return received ? ExchangeResult::Dropped : ExchangeResult::Failed;
    }
    const std::uint8_t* reply() const override { return g_link.ucRxBuf; }
    std::uint32_t reply_length() const override { return g_link.iRxLen; }

private:
    static constexpr std::uint32_t kNotReceived = 0xFFFFFFFFU;
};

}  // namespace

ListingExchange& link_listing_exchange() {
    static LinkListingExchange exchange;
    return exchange;
}

void QueryTestResults(ResultList& list) { QueryTestResults(link_listing_exchange(), list); }

void QueryDetails(ResultList& list, std::uint8_t unit) { QueryDetails(link_listing_exchange(), list, unit); }

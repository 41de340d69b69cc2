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
        if (!on_listing_connection()) {
            // The gateway answered from a fresh connection, so from the start
            // of its list: rows from here would repeat or skip entries.
            trace("listing ends: the connection was reopened\n");
            return ExchangeResult::Failed;
        }
        if (received && sentTrace != nullptr) trace("%s", sentTrace);
        if (ok) return ExchangeResult::Reply;
        return received ? ExchangeResult::Dropped : ExchangeResult::Failed;
    }
    void begin_listing() override { listingConnection_ = kNoConnection; }
    const std::uint8_t* reply() const override { return g_link.ucRxBuf; }
    std::uint32_t reply_length() const override { return g_link.iRxLen; }

private:
    static constexpr std::uint32_t kNotReceived = 0xFFFFFFFFU;
    static constexpr std::uint64_t kNoConnection = ~std::uint64_t{0};

    // The first request of a listing fixes its connection; every later one
    // must go out on the same.
    bool on_listing_connection() {
        const std::uint64_t now = g_link.iConnectCount.load();
        if (listingConnection_ == kNoConnection) listingConnection_ = now;
        return listingConnection_ == now;
    }

    std::uint64_t listingConnection_ = kNoConnection;
};

}  // namespace

ListingExchange& link_listing_exchange() {
    static LinkListingExchange exchange;
    return exchange;
}

void QueryTestResults(ResultList& list) { QueryTestResults(link_listing_exchange(), list); }

void QueryDetails(ResultList& list, std::uint8_t unit) { QueryDetails(link_listing_exchange(), list, unit); }

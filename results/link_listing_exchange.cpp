// The listings over the program's gateway link.
#include "gateway_link.h"
#include "listings.h"
#include "trace.h"

namespace {

class LinkListingExchange final : public ListingExchange {
public:
    ExchangeOutcome exchange(const ListingRequest& r) override {
        const ExchangeOutcome outcome = ExchangeFrame(
            ExchangeRequest{r.cmd, r.payload, r.payloadLen, r.setTimeouts, r.sendFailMessage, r.recvFailMessage});
        if (outcome.status == ExchangeStatus::Failed) g_link.iRxLen = 0;
        if (!on_listing_connection()) {
            // The gateway answered from a fresh connection, so from the start
            // of its list: rows from here would repeat or skip entries.
            trace("listing ends: the connection was reopened\n");
            return ExchangeOutcome::failed(ExchangeReason::Reconnected);
        }
        if (outcome.status != ExchangeStatus::Failed && r.sentTrace != nullptr) trace("%s", r.sentTrace);
        return outcome;
    }
    void begin_listing() override { listingConnection_ = kNoConnection; }
    const std::uint8_t* reply() const override { return g_link.ucRxBuf; }
    std::uint32_t reply_length() const override { return g_link.iRxLen; }

private:
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

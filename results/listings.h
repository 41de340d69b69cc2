// The two paged listings of stored test entries:
//  - test results (command 0x10): the latest entry of every luminaire, rows in
//    the gateway's order, each row's unit appended to cShortAddressArr;
//  - details (command 0x15): every stored entry of one luminaire, each new row
//    inserted at the top, so the list shows them newest-received first.
// A first request starts a listing and follow-ups fetch the next entry until
// the gateway answers 0xFF or a check stops it. The listings run as loops.
#pragma once

#include "listing_exchange.h"
#include "result_list.h"

#include <cstdint>
#include <functional>
#include <string>

// How the last listing ended, for the command line (the pages ignore it).
enum class ListingOutcome {
    Complete,     // the gateway reported the end of the listing and no reply was dropped
    Incomplete,   // the gateway reported the end, but replies on the way were dropped
    LinkFailed,   // send or receive failed, a reply failed its checks, or replies kept failing to open
    Refused,      // a reply to another command
    Truncated,    // a bound ended it: unit list full, or too many follow-ups
};
ListingOutcome last_listing_outcome();
// A listing is complete only when the gateway reported its end and no reply
// on the way was dropped. The reason says why not, in words for the user
// (empty when complete).
bool last_listing_complete();
std::string last_listing_reason();

// Runs `listing` (one of the Query* calls below) and, while it ends
// incomplete, reopens the connection and runs it again, at most `retries`
// more times, with a trace line per retry. Gives the last run's outcome.
ListingOutcome run_listing_with_retries(const std::function<void()>& listing, int retries);

// Bounds that keep a misbehaving gateway from holding a listing for ever.
struct ListingLimits {
    int maxDroppedInRow = 16;     // consecutive replies that fail to open
    int maxFollowUps = 4096;      // follow-up requests of one listing
};
void set_listing_limits(const ListingLimits& limits);   // tests shorten them

enum class ListingStep { Continue, End };

// Request payloads.
inline constexpr std::uint16_t kFollowUpPayloadLen = 4;   // test results: 00 00 00 00; details: 00 unit 00 00

void QueryTestResults(ListingExchange& ex, ResultList& list);
ListingStep QueryNextTestResult(ListingExchange& ex, ResultList& list);
// `unit`: the luminaire; the details page passes cShortAddressArr[ucSelectID].
void QueryDetails(ListingExchange& ex, ResultList& list, std::uint8_t unit);
ListingStep QueryNextDetail(ListingExchange& ex, ResultList& list, std::uint8_t unit);

// The same over the program's gateway link (g_link and ExchangeFrame).
ListingExchange& link_listing_exchange();
void QueryTestResults(ResultList& list);
void QueryDetails(ResultList& list, std::uint8_t unit);

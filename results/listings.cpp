#include "listings.h"

#include "command_frame.h"
#include "gateway_link.h"
#include "prompts.h"
#include "selection_state.h"
#include "trace.h"

namespace {

constexpr const char* kMsgSendFails = "tcp send fails!";
constexpr const char* kMsgDisconnected = "TCP connection disconnected ";   // sic: ends with a blank
constexpr const char* kMsgNetworkException = "Network exception, please reconnect";
// The two receive messages differ in one blank after "fails!".
constexpr const char* kMsgRecvFailsFirst = "tcp recv fails! The current network may have been disconnected.";
constexpr const char* kMsgRecvFailsNext = "tcp recv fails!The current network may have been disconnected.";

ListingOutcome g_outcome = ListingOutcome::Complete;
ListingLimits g_limits;

// Per listing: how many replies in a row failed to open, and how many
// follow-ups went out.
struct Progress {
    int droppedInRow = 0;
    int followUps = 0;
};
Progress g_progress;

ListingStep end_with(ListingOutcome outcome) {
    g_outcome = outcome;
    return ListingStep::End;
}

// A reply that does not open does not end a listing, but only so many in a row.
ListingStep on_dropped() {
    if (++g_progress.droppedInRow >= g_limits.maxDroppedInRow) {
        trace("listing ends: %d replies in a row did not open\n", g_progress.droppedInRow);
        return end_with(ListingOutcome::LinkFailed);
    }
    return ListingStep::Continue;
}

// Ends the listing when it has sent as many follow-ups as it may.
bool follow_ups_exhausted() {
    if (g_progress.followUps < g_limits.maxFollowUps) return false;
    trace("listing ends: %d follow-up requests sent\n", g_progress.followUps);
    g_outcome = ListingOutcome::Truncated;
    return true;
}

// The unit list holds one entry per row; when it is full, no row can be added.
bool append_unit(std::uint8_t unit) {
    if (iShortAddressCount >= kShortAddressArrSize) {
        trace("listing ends: cShortAddressArr holds %d units\n", kShortAddressArrSize);
        g_outcome = ListingOutcome::Truncated;
        return false;
    }
    cShortAddressArr[iShortAddressCount++] = unit;
    return true;
}

void trace_unit_list() {
    for (int i = 0; i < iShortAddressCount; ++i) trace("%d ", cShortAddressArr[i]);
    trace("\n");
}

// A details listing files every entry under its luminaire's address: an
// entry the gateway sent for another unit is not shown as this one's.
bool unit_echo_ok(const std::uint8_t* rx, std::uint8_t unit) {
    if (rx[kEntryOffsetUnit] == unit) return true;
    trace("查询的地址不对应");
    prompts().message_box(kMsgNetworkException);
    return false;
}

RowTexts row_of(const ListingExchange& ex, MinutesColumn rule) {
    return result_row_texts(DecodeTestResultRecord(ex.reply(), ex.reply_length()), rule);
}

void run_test_result_follow_ups(ListingExchange& ex, ResultList& list) {
    while (!follow_ups_exhausted() && QueryNextTestResult(ex, list) == ListingStep::Continue) {
    }
    trace_unit_list();
}

void run_detail_follow_ups(ListingExchange& ex, ResultList& list, std::uint8_t unit) {
    while (!follow_ups_exhausted() && QueryNextDetail(ex, list, unit) == ListingStep::Continue) {
    }
}

}  // namespace

ListingOutcome last_listing_outcome() { return g_outcome; }

bool last_listing_complete() { return g_outcome == ListingOutcome::Complete; }

std::string last_listing_reason() {
    switch (g_outcome) {
    case ListingOutcome::Complete: return {};
    case ListingOutcome::LinkFailed: return "the link failed or a reply was lost";
    case ListingOutcome::Refused: return "the gateway answered another request";
    case ListingOutcome::Truncated: return "the listing was longer than the program takes";
    }
    return "unknown";
}

ListingOutcome run_listing_with_retries(const std::function<void()>& listing, int retries) {
    listing();
    for (int attempt = 1; attempt <= retries && !last_listing_complete(); ++attempt) {
        trace("listing incomplete (%s): retry %d of %d on a fresh connection\n", last_listing_reason().c_str(),
              attempt, retries);
        if (!ReopenConnection()) continue;
        listing();
    }
    return g_outcome;
}

void set_listing_limits(const ListingLimits& limits) { g_limits = limits; }

void QueryTestResults(ListingExchange& ex, ResultList& list) {
    ex.begin_listing();
    list.clear();
    iShortAddressCount = 0;
    g_outcome = ListingOutcome::Complete;
    g_progress = {};

    switch (ex.exchange(kCmdTestResults, nullptr, 0, true, kMsgSendFails, nullptr, "send 第一条查询指令 ok\n")) {
    case ExchangeResult::Failed:
        end_with(ListingOutcome::LinkFailed);
        return;
    case ExchangeResult::Dropped:
        if (on_dropped() == ListingStep::End) return;
        run_test_result_follow_ups(ex, list);
        return;
    case ExchangeResult::Reply:
        break;
    }

    const std::uint8_t* rx = ex.reply();
    const std::uint32_t n = ex.reply_length();
    if (!reply_command_ok(rx, kCmdTestResults)) {
        trace("查询的指令不对应");
        prompts().message_box(kMsgNetworkException);
        end_with(ListingOutcome::Refused);
        return;
    }
    if (rx[kEntryOffsetStatus] == kEntryStatusEnd) {
        trace("查询完毕！\n");
        return;
    }
    if (n != kEntryHeaderOnlyLength) {
        if (!reply_sum_ok(rx, n)) {
            trace("check fails.\n");
            end_with(ListingOutcome::LinkFailed);
            return;
        }
        const std::uint8_t unit = rx[kEntryOffsetUnit];
        if (!append_unit(unit)) return;
        trace("step 1 cShortAddressArr %s\n", FormatUnitAddress(unit).c_str());
        // Only the first reply hides a function test's minutes.
        list.insert_row(false, row_of(ex, MinutesColumn::DurationTestsOnly));
    }
    run_test_result_follow_ups(ex, list);
}

ListingStep QueryNextTestResult(ListingExchange& ex, ResultList& list) {
    static constexpr std::uint8_t kPayload[kFollowUpPayloadLen] = {0, 0, 0, 0};
    ++g_progress.followUps;
    // The time-outs set for the first request stay on the socket.
    switch (ex.exchange(kCmdTestResults, kPayload, kFollowUpPayloadLen, false, kMsgDisconnected, nullptr, nullptr)) {
    case ExchangeResult::Failed:
        return end_with(ListingOutcome::LinkFailed);
    case ExchangeResult::Dropped:
        return on_dropped();
    case ExchangeResult::Reply:
        break;
    }
    g_progress.droppedInRow = 0;

    const std::uint8_t* rx = ex.reply();
    const std::uint32_t n = ex.reply_length();
    if (!reply_command_ok(rx, kCmdTestResults)) {
        trace("查询的指令不对应");
        return end_with(ListingOutcome::Refused);
    }
    if (rx[kEntryOffsetStatus] == kEntryStatusEnd) {
        trace("查询完毕！\n");
        return ListingStep::End;
    }
    if (n < kEntryHeaderOnlyLength) {
        trace("to short long avoid ");
        return end_with(ListingOutcome::LinkFailed);
    }
    if (!reply_sum_ok(rx, n)) {
        trace("check fails.\n");
        return end_with(ListingOutcome::LinkFailed);
    }
    if (n == kEntryHeaderOnlyLength) return ListingStep::Continue;

    const std::uint8_t unit = rx[kEntryOffsetUnit];
    if (!append_unit(unit)) return ListingStep::End;
    trace("cShortAddressArr %s\n", FormatUnitAddress(unit).c_str());
    trace("ucRxBuf[30]:%d", rx[kEntryOffsetMinutes]);
    list.insert_row(false, row_of(ex, MinutesColumn::Always));
    return ListingStep::Continue;
}

void QueryDetails(ListingExchange& ex, ResultList& list, std::uint8_t unit) {
    ex.begin_listing();
    list.clear();
    g_outcome = ListingOutcome::Complete;
    g_progress = {};

    const std::uint8_t payload[1] = {unit};
    switch (ex.exchange(kCmdTestDetails, payload, 1, true, kMsgSendFails, kMsgRecvFailsFirst, nullptr)) {
    case ExchangeResult::Failed:
        end_with(ListingOutcome::LinkFailed);
        return;
    case ExchangeResult::Dropped:
        if (on_dropped() == ListingStep::End) return;
        run_detail_follow_ups(ex, list, unit);
        return;
    case ExchangeResult::Reply:
        break;
    }

    const std::uint8_t* rx = ex.reply();
    const std::uint32_t n = ex.reply_length();
    // The end mark is looked at before the command echo here.
    if (rx[kEntryOffsetStatus] == kEntryStatusEnd) {
        trace("查询完毕！\n");
        return;
    }
    if (!reply_command_ok(rx, kCmdTestDetails)) {
        trace("查询的指令不对应");
        end_with(ListingOutcome::Refused);
        return;
    }
    if (!unit_echo_ok(rx, unit)) {
        end_with(ListingOutcome::Refused);
        return;
    }
    if (!reply_sum_ok(rx, n)) {
        trace("check fails.\n");
        end_with(ListingOutcome::LinkFailed);
        return;
    }
    trace("===cShortAddressArr %s ,offset %d, %d \n", FormatUnitAddress(unit).c_str(), rx[kEntryOffsetIndex],
          rx[kEntryOffsetIndex + 1]);
    list.insert_row(true, row_of(ex, MinutesColumn::Always));
    run_detail_follow_ups(ex, list, unit);
}

ListingStep QueryNextDetail(ListingExchange& ex, ResultList& list, std::uint8_t unit) {
    const std::uint8_t payload[kFollowUpPayloadLen] = {0, unit, 0, 0};
    ++g_progress.followUps;
    trace_unit_list();
    switch (ex.exchange(kCmdTestDetails, payload, kFollowUpPayloadLen, true, kMsgSendFails, kMsgRecvFailsNext,
                        nullptr)) {
    case ExchangeResult::Failed:
        return end_with(ListingOutcome::LinkFailed);
    case ExchangeResult::Dropped:
        return on_dropped();
    case ExchangeResult::Reply:
        break;
    }
    g_progress.droppedInRow = 0;

    const std::uint8_t* rx = ex.reply();
    const std::uint32_t n = ex.reply_length();
    if (!reply_command_ok(rx, kCmdTestDetails)) {
        trace("查询的指令不对应");
        prompts().message_box(kMsgNetworkException);
        return end_with(ListingOutcome::Refused);
    }
    if (rx[kEntryOffsetStatus] == kEntryStatusEnd) {
        trace("查询完毕！\n");
        return ListingStep::End;
    }
    if (!unit_echo_ok(rx, unit)) return end_with(ListingOutcome::Refused);
    if (!reply_sum_ok(rx, n)) {
        trace("check fails.\n");
        return end_with(ListingOutcome::LinkFailed);
    }
    trace("ucRxBuf[30]:%d\n", rx[kEntryOffsetMinutes]);
    list.insert_row(true, row_of(ex, MinutesColumn::Always));
    return ListingStep::Continue;
}

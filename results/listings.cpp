#include "listings.h"

#include "command_frame.h"
#include "gateway_link.h"
#include "prompts.h"
#include "selection_state.h"
#include "trace.h"

#include <optional>

namespace {

constexpr const char* kMsgSendFails = "tcp send fails!";
constexpr const char* kMsgDisconnected = "TCP connection disconnected ";   // sic: ends with a blank
constexpr const char* kMsgNetworkException = "Network exception, please reconnect";
// The two receive messages differ in one blank after "fails!".
constexpr const char* kMsgRecvFailsFirst = "tcp recv fails! The current network may have been disconnected.";
constexpr const char* kMsgRecvFailsNext = "tcp recv fails!The current network may have been disconnected.";
constexpr const char* kReasonOtherReply = "the gateway answered another request";
constexpr const char* kReasonOtherUnit = "the gateway sent an entry of another luminaire";

ListingOutcome g_outcome = ListingOutcome::Complete;
std::string g_reason;
ListingLimits g_limits;

// Per listing: how many replies in a row failed to open, how many follow-ups
// went out, and the replies dropped on the way (the first one's reason).
struct Progress {
    int droppedInRow = 0;
    int followUps = 0;
    int dropped = 0;
    ExchangeReason firstDrop = ExchangeReason::None;
};
Progress g_progress;

void start_listing() {
    g_outcome = ListingOutcome::Complete;
    g_reason.clear();
    g_progress = {};
}

ListingStep end_with(ListingOutcome outcome, std::string reason) {
    g_outcome = outcome;
    g_reason = std::move(reason);
    return ListingStep::End;
}

ListingStep end_failed(const ExchangeOutcome& outcome) {
    return end_with(ListingOutcome::LinkFailed, exchange_reason_text(outcome.reason));
}

// The gateway reported the end. A listing during which a reply was dropped
// lacks that reply's entry, whatever the gateway says.
ListingStep end_of_listing() {
    trace("查询完毕！\n");
    if (g_progress.dropped == 0) return ListingStep::End;
    trace("listing incomplete: %d replies dropped\n", g_progress.dropped);
    return end_with(ListingOutcome::Incomplete, std::to_string(g_progress.dropped) +
                                                    (g_progress.dropped == 1 ? " reply was" : " replies were") +
                                                    " lost on the way (" +
                                                    exchange_reason_text(g_progress.firstDrop) + ")");
}

// A reply that does not open does not end a listing, but only so many in a
// row; each one makes the listing incomplete.
ListingStep on_dropped(const ExchangeOutcome& outcome) {
    if (g_progress.dropped++ == 0) g_progress.firstDrop = outcome.reason;
    if (++g_progress.droppedInRow >= g_limits.maxDroppedInRow) {
        trace("listing ends: %d replies in a row did not open\n", g_progress.droppedInRow);
        return end_with(ListingOutcome::LinkFailed, std::to_string(g_progress.droppedInRow) +
                                                        " replies in a row could not be used (" +
                                                        exchange_reason_text(outcome.reason) + ")");
    }
    return ListingStep::Continue;
}

ListingStep end_check_failed() {
    trace("check fails.\n");
    return end_with(ListingOutcome::LinkFailed, "a reply failed its checksum");
}

// Ends the listing when it has sent as many follow-ups as it may.
bool follow_ups_exhausted() {
    if (g_progress.followUps < g_limits.maxFollowUps) return false;
    trace("listing ends: %d follow-up requests sent\n", g_progress.followUps);
    end_with(ListingOutcome::Truncated, "the gateway kept the listing going past " +
                                            std::to_string(g_limits.maxFollowUps) + " entries");
    return true;
}

// The unit list holds one entry per row; when it is full, no row can be added.
bool append_unit(std::uint8_t unit) {
    if (iShortAddressCount >= kShortAddressArrSize) {
        trace("listing ends: cShortAddressArr holds %d units\n", kShortAddressArrSize);
        end_with(ListingOutcome::Truncated, "the gateway listed more than " + std::to_string(kShortAddressArrSize) +
                                                " luminaires");
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

void add_entry(const ListingExchange& ex, ResultList& list, bool atTop, MinutesColumn rule) {
    list.insert_entry(atTop, DecodeTestResultRecord(ex.reply(), ex.reply_length()), rule);
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

// An exchange of a listing that brought no reply to judge: how the listing
// goes on (it ends, or carries on without that entry). Nothing when there
// is a reply.
std::optional<ListingStep> without_reply(const ExchangeOutcome& outcome) {
    switch (outcome.status) {
    case ExchangeStatus::Failed: return end_failed(outcome);
    case ExchangeStatus::Dropped: return on_dropped(outcome);
    case ExchangeStatus::Reply: break;
    }
    return std::nullopt;
}

// How the first request of a listing went: a reply to judge, none and the
// listing has ended, or none and the listing goes on without it.
enum class FirstReply { ToJudge, Ended, WithoutIt };

FirstReply first_reply(const ExchangeOutcome& outcome) {
    const std::optional<ListingStep> step = without_reply(outcome);
    if (!step) return FirstReply::ToJudge;
    return *step == ListingStep::End ? FirstReply::Ended : FirstReply::WithoutIt;
}

}  // namespace

ListingOutcome last_listing_outcome() { return g_outcome; }

bool last_listing_complete() { return g_outcome == ListingOutcome::Complete; }

std::string last_listing_reason() { return g_reason; }

ListingOutcome run_listing_with_retries(const std::function<void()>& listing, int retries) {
    listing();
    for (int attempt = 1; attempt <= retries && !last_listing_complete(); ++attempt) {
        trace("listing incomplete (%s): retry %d of %d on a fresh connection\n", g_reason.c_str(), attempt, retries);
        if (!ReopenConnection()) {
            end_with(ListingOutcome::LinkFailed, "the connection could not be reopened for a retry");
            continue;
        }
        listing();
    }
    return g_outcome;
}

void set_listing_limits(const ListingLimits& limits) { g_limits = limits; }

void QueryTestResults(ListingExchange& ex, ResultList& list) {
    ex.begin_listing();
    list.clear();
    iShortAddressCount = 0;
    start_listing();

    const ExchangeOutcome outcome =
        ex.exchange({kCmdTestResults, nullptr, 0, true, kMsgSendFails, nullptr, "send 第一条查询指令 ok\n"});
    switch (first_reply(outcome)) {
    case FirstReply::Ended:
        return;
    case FirstReply::WithoutIt:
        run_test_result_follow_ups(ex, list);
        return;
    case FirstReply::ToJudge:
        break;
    }

    const std::uint8_t* rx = ex.reply();
    const std::uint32_t n = ex.reply_length();
    if (!reply_command_ok(rx, kCmdTestResults)) {
        trace("查询的指令不对应");
        prompts().message_box(kMsgNetworkException);
        end_with(ListingOutcome::Refused, kReasonOtherReply);
        return;
    }
    if (rx[kEntryOffsetStatus] == kEntryStatusEnd) {
        end_of_listing();
        return;
    }
    if (n != kEntryHeaderOnlyLength) {
        if (!reply_sum_ok(rx, n)) {
            end_check_failed();
            return;
        }
        const std::uint8_t unit = rx[kEntryOffsetUnit];
        if (!append_unit(unit)) return;
        trace("step 1 cShortAddressArr %s\n", FormatUnitAddress(unit).c_str());
        // Only the first reply hides a function test's minutes.
        add_entry(ex, list, false, MinutesColumn::DurationTestsOnly);
    }
    run_test_result_follow_ups(ex, list);
}

ListingStep QueryNextTestResult(ListingExchange& ex, ResultList& list) {
    static constexpr std::uint8_t kPayload[kFollowUpPayloadLen] = {0, 0, 0, 0};
    ++g_progress.followUps;
    // The time-outs set for the first request stay on the socket.
    const ExchangeOutcome outcome =
        ex.exchange({kCmdTestResults, kPayload, kFollowUpPayloadLen, false, kMsgDisconnected, nullptr, nullptr});
    if (const std::optional<ListingStep> step = without_reply(outcome)) return *step;
    g_progress.droppedInRow = 0;

    const std::uint8_t* rx = ex.reply();
    const std::uint32_t n = ex.reply_length();
    if (!reply_command_ok(rx, kCmdTestResults)) {
        trace("查询的指令不对应");
        return end_with(ListingOutcome::Refused, kReasonOtherReply);
    }
    if (rx[kEntryOffsetStatus] == kEntryStatusEnd) return end_of_listing();
    if (n < kEntryHeaderOnlyLength) {
        trace("to short long avoid ");
        return end_with(ListingOutcome::LinkFailed, "a reply was too short to hold an entry");
    }
    if (!reply_sum_ok(rx, n)) return end_check_failed();
    if (n == kEntryHeaderOnlyLength) return ListingStep::Continue;

    const std::uint8_t unit = rx[kEntryOffsetUnit];
    if (!append_unit(unit)) return ListingStep::End;
    trace("cShortAddressArr %s\n", FormatUnitAddress(unit).c_str());
    trace("ucRxBuf[30]:%d", rx[kEntryOffsetMinutes]);
    add_entry(ex, list, false, MinutesColumn::Always);
    return ListingStep::Continue;
}

void QueryDetails(ListingExchange& ex, ResultList& list, std::uint8_t unit) {
    ex.begin_listing();
    list.clear();
    start_listing();

    const std::uint8_t payload[1] = {unit};
    const ExchangeOutcome outcome =
        ex.exchange({kCmdTestDetails, payload, 1, true, kMsgSendFails, kMsgRecvFailsFirst, nullptr});
    switch (first_reply(outcome)) {
    case FirstReply::Ended:
        return;
    case FirstReply::WithoutIt:
        run_detail_follow_ups(ex, list, unit);
        return;
    case FirstReply::ToJudge:
        break;
    }

    const std::uint8_t* rx = ex.reply();
    const std::uint32_t n = ex.reply_length();
    // The end mark is looked at before the command echo here.
    if (rx[kEntryOffsetStatus] == kEntryStatusEnd) {
        end_of_listing();
        return;
    }
    if (!reply_command_ok(rx, kCmdTestDetails)) {
        trace("查询的指令不对应");
        end_with(ListingOutcome::Refused, kReasonOtherReply);
        return;
    }
    if (!unit_echo_ok(rx, unit)) {
        end_with(ListingOutcome::Refused, kReasonOtherUnit);
        return;
    }
    if (!reply_sum_ok(rx, n)) {
        end_check_failed();
        return;
    }
    trace("===cShortAddressArr %s ,offset %d, %d \n", FormatUnitAddress(unit).c_str(), rx[kEntryOffsetIndex],
          rx[kEntryOffsetIndex + 1]);
    add_entry(ex, list, true, MinutesColumn::Always);
    run_detail_follow_ups(ex, list, unit);
}

ListingStep QueryNextDetail(ListingExchange& ex, ResultList& list, std::uint8_t unit) {
    const std::uint8_t payload[kFollowUpPayloadLen] = {0, unit, 0, 0};
    ++g_progress.followUps;
    trace_unit_list();
    const ExchangeOutcome outcome =
        ex.exchange({kCmdTestDetails, payload, kFollowUpPayloadLen, true, kMsgSendFails, kMsgRecvFailsNext, nullptr});
    if (const std::optional<ListingStep> step = without_reply(outcome)) return *step;
    g_progress.droppedInRow = 0;

    const std::uint8_t* rx = ex.reply();
    const std::uint32_t n = ex.reply_length();
    if (!reply_command_ok(rx, kCmdTestDetails)) {
        trace("查询的指令不对应");
        prompts().message_box(kMsgNetworkException);
        return end_with(ListingOutcome::Refused, kReasonOtherReply);
    }
    if (rx[kEntryOffsetStatus] == kEntryStatusEnd) return end_of_listing();
    if (!unit_echo_ok(rx, unit)) return end_with(ListingOutcome::Refused, kReasonOtherUnit);
    if (!reply_sum_ok(rx, n)) return end_check_failed();
    trace("ucRxBuf[30]:%d\n", rx[kEntryOffsetMinutes]);
    add_entry(ex, list, true, MinutesColumn::Always);
    return ListingStep::Continue;
}

// The two listings against a scripted gateway: the order of requests, rows
// and trace lines, and every way a listing ends.
#include "entry_reply.h"
#include "fake_exchange.h"
#include "listings.h"
#include "prompts.h"
#include "selection_state.h"
#include "trace.h"

#include <gtest/gtest.h>

namespace {

class RecordingPrompts final : public Prompts {
public:
    void message_box(const std::string& text) override { messages.push_back(text); }
    void set_status_line(const std::string&) override {}
    std::vector<std::string> messages;
};

EntryFields entry(std::uint8_t command, std::uint8_t unit, std::uint8_t minutes = 90, std::uint8_t type = 1) {
    EntryFields f;
    f.command = command;
    f.unit = unit;
    f.minutes = minutes;
    f.type = type;
    f.name = u"N" + std::u16string(1, static_cast<char16_t>(u'0' + unit % 10));
    return f;
}
std::vector<std::uint8_t> results_entry(std::uint8_t unit, std::uint8_t minutes = 90, std::uint8_t type = 1) {
    return entry_frame(entry(kCmdTestResults, unit, minutes, type));
}
std::vector<std::uint8_t> detail_entry(std::uint8_t unit, std::uint16_t index, std::uint8_t minutes) {
    EntryFields f = entry(kCmdTestDetails, unit, minutes);
    f.index = index;
    return entry_frame(f);
}
std::vector<std::uint8_t> end_of(std::uint8_t command) { return short_frame(command, 0xFF, 0, 2); }
std::vector<std::uint8_t> bad_sum(std::vector<std::uint8_t> frame) {
    frame[frame.size() - 3] ^= 0x5A;
    return frame;
}
std::vector<std::string> column(const ResultList& list, std::size_t col) {
    std::vector<std::string> out;
    for (const RowTexts& r : list.rows()) out.push_back(r[col]);
    return out;
}
std::vector<std::uint8_t> unit_list() {
    return std::vector<std::uint8_t>(cShortAddressArr, cShortAddressArr + iShortAddressCount);
}

class Listings : public ::testing::Test {
protected:
    void SetUp() override {
        set_prompts(&prompts_);
        set_trace_sink([this](std::string_view t) { trace_ += t; });
        set_listing_limits({});
        iShortAddressCount = 0;
    }
    void TearDown() override {
        set_prompts(nullptr);
        set_trace_sink(trace_to_stdout);
        set_listing_limits({});
        EXPECT_EQ(gateway_.overrun, 0) << "the listing asked past the script";
    }
    FakeExchange gateway_;
    MemoryResultList list_;
    RecordingPrompts prompts_;
    std::string trace_;
};

// ---- test results ----

TEST_F(Listings, TestResultsInGatewayOrderWithTheirUnits) {
    gateway_.reply(results_entry(5));
    gateway_.reply(results_entry(64));
    gateway_.reply(results_entry(127));
    gateway_.reply(end_of(kCmdTestResults));
    QueryTestResults(gateway_, list_);

    EXPECT_EQ(column(list_, kColAddress), (std::vector<std::string>{"A5", "B0", "B63"}));
    EXPECT_EQ(unit_list(), (std::vector<std::uint8_t>{5, 64, 127}));
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Complete);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(trace_,
              "send 第一条查询指令 ok\n"
              "step 1 cShortAddressArr A5\n"
              "cShortAddressArr B0\nucRxBuf[30]:90"
              "cShortAddressArr B63\nucRxBuf[30]:90"
              "查询完毕！\n"
              "5 64 127 \n");

    ASSERT_EQ(gateway_.requests.size(), 4U);
    const Request& first = gateway_.requests[0];
    EXPECT_EQ(first.cmd, kCmdTestResults);
    EXPECT_TRUE(first.payload.empty());
    EXPECT_TRUE(first.setTimeouts);
    EXPECT_EQ(first.sendFailMessage, "tcp send fails!");
    for (std::size_t i = 1; i < 4; ++i) {
        const Request& next = gateway_.requests[i];
        EXPECT_EQ(next.cmd, kCmdTestResults);
        EXPECT_EQ(next.payload, (std::vector<std::uint8_t>{0, 0, 0, 0}));
        EXPECT_FALSE(next.setTimeouts);
        EXPECT_EQ(next.sendFailMessage, "TCP connection disconnected ");
    }
}

TEST_F(Listings, FirstReplyEndMarkLeavesTheListEmptyWithoutFollowUp) {
    list_.insert_row(false, RowTexts{"old"});
    iShortAddressCount = 3;
    gateway_.reply(end_of(kCmdTestResults));
    QueryTestResults(gateway_, list_);
    EXPECT_TRUE(list_.rows().empty());
    EXPECT_EQ(iShortAddressCount, 0);
    EXPECT_EQ(gateway_.requests.size(), 1U);
    EXPECT_EQ(trace_, "send 第一条查询指令 ok\n查询完毕！\n");
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Complete);
}

TEST_F(Listings, FunctionTestMinutesShowOnlyAfterTheFirstReply) {
    gateway_.reply(results_entry(1, 5, 0));
    gateway_.reply(results_entry(2, 5, 0));
    gateway_.reply(results_entry(3, 5, 1));
    gateway_.reply(end_of(kCmdTestResults));
    QueryTestResults(gateway_, list_);
    EXPECT_EQ(column(list_, kColMinutes), (std::vector<std::string>{"none", "5", "5"}));
}

TEST_F(Listings, HeaderOnlyRepliesAddNoRowAndTheListingGoesOn) {
    gateway_.reply(short_frame(kCmdTestResults, 0, 9, 2));   // 22 bytes, first
    gateway_.reply(results_entry(7));
    gateway_.reply(short_frame(kCmdTestResults, 0, 9, 2));   // 22 bytes, follow-up
    gateway_.reply(results_entry(8));
    gateway_.reply(end_of(kCmdTestResults));
    QueryTestResults(gateway_, list_);
    EXPECT_EQ(column(list_, kColAddress), (std::vector<std::string>{"A7", "A8"}));
    EXPECT_EQ(unit_list(), (std::vector<std::uint8_t>{7, 8}));
    EXPECT_EQ(gateway_.requests.size(), 5U);
}

TEST_F(Listings, ShortFollowUpEndsTheListingButAShortFirstReplyIsARow) {
    gateway_.reply(short_frame(kCmdTestResults, 0, 9, 0));   // 20 bytes, first: decoded
    gateway_.reply(short_frame(kCmdTestResults, 0, 9, 1));   // 21 bytes, follow-up: the end
    gateway_.reply(results_entry(1));                         // never asked for
    QueryTestResults(gateway_, list_);
    EXPECT_EQ(column(list_, kColAddress), (std::vector<std::string>{"A9"}));
    EXPECT_EQ(gateway_.requests.size(), 2U);
    EXPECT_NE(trace_.find("to short long avoid "), std::string::npos);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
    gateway_.script.clear();
}

TEST_F(Listings, FailedChecksumAddsNoRowAndEndsTheListing) {
    for (bool inFirst : {true, false}) {
        SCOPED_TRACE(inFirst ? "first reply" : "follow-up");
        gateway_ = FakeExchange();
        trace_.clear();
        if (!inFirst) gateway_.reply(results_entry(3));
        gateway_.reply(bad_sum(results_entry(4)));
        QueryTestResults(gateway_, list_);
        EXPECT_EQ(unit_list(), inFirst ? std::vector<std::uint8_t>{} : std::vector<std::uint8_t>{3});
        EXPECT_EQ(list_.rows().size(), inFirst ? 0U : 1U);
        EXPECT_NE(trace_.find("check fails.\n"), std::string::npos);
        EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
        EXPECT_TRUE(prompts_.messages.empty());
    }
}

TEST_F(Listings, ReplyToAnotherCommandEndsTheListing) {
    auto other = results_entry(4);
    other = entry_frame(entry(kCmdStatus, 4));
    gateway_.reply(other);
    QueryTestResults(gateway_, list_);
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Network exception, please reconnect"});
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Refused);

    // In a follow-up: the same end, without a message.
    prompts_.messages.clear();
    gateway_.reply(results_entry(1));
    gateway_.reply(other);
    QueryTestResults(gateway_, list_);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(list_.rows().size(), 1U);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Refused);
}

TEST_F(Listings, LinkFailuresEndTheTestResultsListingWithoutMessage) {
    for (Script r : {Script::SendFailed, Script::NothingReceived}) {
        gateway_ = FakeExchange();
        gateway_.reply(results_entry(1));
        gateway_.fail(r);
        QueryTestResults(gateway_, list_);
        EXPECT_EQ(list_.rows().size(), 1U);   // rows already added stay
        EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
        EXPECT_EQ(gateway_.requests.size(), 2U);
        EXPECT_EQ(gateway_.requests[1].recvFailMessage, "");   // no box for an empty receive
    }
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"TCP connection disconnected "});
}

TEST_F(Listings, UnopenedRepliesAreSkippedButNotForEver) {
    // Some replies that do not open, then the listing goes on.
    gateway_.fail(Script::Dropped);
    gateway_.reply(results_entry(1));
    for (int i = 0; i < 15; ++i) gateway_.fail(Script::Dropped);
    gateway_.reply(results_entry(2));
    gateway_.reply(end_of(kCmdTestResults));
    QueryTestResults(gateway_, list_);
    EXPECT_EQ(unit_list(), (std::vector<std::uint8_t>{1, 2}));
    // The gateway reported the end, but the dropped replies' entries are
    // missing: the list is not whole.
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Incomplete);
    EXPECT_FALSE(last_listing_complete());
    EXPECT_EQ(last_listing_reason(), "16 replies were lost on the way (a reply with a wrong start was dropped)");

    // Sixteen in a row end it.
    gateway_ = FakeExchange();
    trace_.clear();
    gateway_.reply(results_entry(1));
    for (int i = 0; i < 16; ++i) gateway_.fail(Script::Dropped);
    gateway_.reply(results_entry(2));
    QueryTestResults(gateway_, list_);
    EXPECT_EQ(unit_list(), (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(gateway_.requests.size(), 17U);
    EXPECT_NE(trace_.find("listing ends: 16 replies in a row did not open\n"), std::string::npos);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
    gateway_.script.clear();
}

TEST_F(Listings, UnitListNeverOverflows) {
    for (int i = 0; i < 130; ++i) gateway_.reply(results_entry(static_cast<std::uint8_t>(i)));
    gateway_.reply(end_of(kCmdTestResults));
    QueryTestResults(gateway_, list_);
    EXPECT_EQ(iShortAddressCount, kShortAddressArrSize);
    ASSERT_EQ(list_.rows().size(), 128U);
    for (int i = 0; i < 128; ++i) EXPECT_EQ(list_.rows()[i][kColAddress], FormatUnitAddress(cShortAddressArr[i]));
    EXPECT_NE(trace_.find("listing ends: cShortAddressArr holds 128 units\n"), std::string::npos);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Truncated);
    EXPECT_EQ(gateway_.requests.size(), 129U);
    gateway_.script.clear();
}

TEST_F(Listings, EndlessHeaderOnlyRepliesAreBounded) {
    set_listing_limits({16, 40});
    for (int i = 0; i < 100; ++i) gateway_.reply(short_frame(kCmdTestResults, 0, 1, 2));
    QueryTestResults(gateway_, list_);
    EXPECT_EQ(gateway_.requests.size(), 41U);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Truncated);
    gateway_.script.clear();
}

// ---- details ----

TEST_F(Listings, DetailsNewestReceivedOnTop) {
    iShortAddressCount = 2;
    cShortAddressArr[0] = 3;
    cShortAddressArr[1] = 69;
    gateway_.reply(detail_entry(69, 0x0102, 11));
    gateway_.reply(detail_entry(69, 2, 22));
    gateway_.reply(detail_entry(69, 3, 33));
    gateway_.reply(end_of(kCmdTestDetails));
    QueryDetails(gateway_, list_, 69);

    EXPECT_EQ(column(list_, kColMinutes), (std::vector<std::string>{"33", "22", "11"}));
    EXPECT_EQ(column(list_, kColAddress), (std::vector<std::string>{"B5", "B5", "B5"}));
    EXPECT_EQ(unit_list(), (std::vector<std::uint8_t>{3, 69}));   // not changed by details
    EXPECT_EQ(trace_,
              "===cShortAddressArr B5 ,offset 2, 1 \n"
              "3 69 \nucRxBuf[30]:22\n"
              "3 69 \nucRxBuf[30]:33\n"
              "3 69 \n查询完毕！\n");
    ASSERT_EQ(gateway_.requests.size(), 4U);
    EXPECT_EQ(gateway_.requests[0].payload, std::vector<std::uint8_t>{69});
    for (const Request& r : gateway_.requests) {
        EXPECT_EQ(r.cmd, kCmdTestDetails);
        EXPECT_TRUE(r.setTimeouts);
        EXPECT_EQ(r.sendFailMessage, "tcp send fails!");
        if (&r != &gateway_.requests[0]) {
            EXPECT_EQ(r.payload, (std::vector<std::uint8_t>{0, 69, 0, 0}));
        }
    }
}

TEST_F(Listings, DetailsEntryForAnotherUnitEndsTheListing) {
    // First reply or follow-up: an entry of another luminaire is never filed
    // under this one; the rows before it stay.
    for (const bool inFollowUp : {false, true}) {
        SCOPED_TRACE(inFollowUp ? "follow-up" : "first reply");
        prompts_.messages.clear();
        trace_.clear();
        if (inFollowUp) gateway_.reply(detail_entry(69, 1, 11));
        gateway_.reply(detail_entry(70, 2, 22));
        gateway_.reply(end_of(kCmdTestDetails));
        QueryDetails(gateway_, list_, 69);
        EXPECT_EQ(column(list_, kColAddress), inFollowUp ? std::vector<std::string>{"B5"} : std::vector<std::string>{});
        EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Network exception, please reconnect"});
        EXPECT_NE(trace_.find("查询的地址不对应"), std::string::npos);
        EXPECT_EQ(last_listing_outcome(), ListingOutcome::Refused);
        gateway_.script.clear();
    }
}

TEST_F(Listings, DetailsEndMarkIsJudgedBeforeTheCommandEcho) {
    gateway_.reply(short_frame(kCmdStatus, 0xFF, 0, 2));
    QueryDetails(gateway_, list_, 4);
    EXPECT_TRUE(list_.rows().empty());
    EXPECT_EQ(trace_, "查询完毕！\n");
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Complete);

    // Without the end mark, another command ends the first reply silently...
    gateway_.reply(entry_frame(entry(kCmdTestResults, 4)));
    QueryDetails(gateway_, list_, 4);
    EXPECT_TRUE(prompts_.messages.empty());
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Refused);

    // ...and a follow-up with a message.
    gateway_.reply(detail_entry(4, 1, 1));
    gateway_.reply(entry_frame(entry(kCmdTestResults, 4)));
    QueryDetails(gateway_, list_, 4);
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"Network exception, please reconnect"});
    EXPECT_EQ(list_.rows().size(), 1U);
}

TEST_F(Listings, DetailsReceiveFailuresHaveTheirTwoMessages) {
    gateway_.fail(Script::NothingReceived);
    QueryDetails(gateway_, list_, 4);
    gateway_.reply(detail_entry(4, 1, 1));
    gateway_.fail(Script::NothingReceived);
    QueryDetails(gateway_, list_, 4);
    EXPECT_EQ(prompts_.messages,
              (std::vector<std::string>{"tcp recv fails! The current network may have been disconnected.",
                                        "tcp recv fails!The current network may have been disconnected."}));
    EXPECT_EQ(list_.rows().size(), 1U);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);

    prompts_.messages.clear();
    gateway_.fail(Script::SendFailed);
    QueryDetails(gateway_, list_, 4);
    EXPECT_EQ(prompts_.messages, std::vector<std::string>{"tcp send fails!"});
    EXPECT_TRUE(list_.rows().empty());
}

TEST_F(Listings, DetailsChecksumAndShortRepliesAreDecodedOrEnded) {
    // A failed sum ends the listing; a short reply is still a row.
    gateway_.reply(short_frame(kCmdTestDetails, 0, 4, 0));
    gateway_.reply(bad_sum(detail_entry(4, 2, 2)));
    QueryDetails(gateway_, list_, 4);
    EXPECT_EQ(list_.rows().size(), 1U);
    EXPECT_NE(trace_.find("check fails.\n"), std::string::npos);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
}

TEST_F(Listings, DetailsAreBoundedInCountAndInUnopenedReplies) {
    set_listing_limits({4, 10});
    for (int i = 0; i < 20; ++i) gateway_.reply(detail_entry(4, static_cast<std::uint16_t>(i), 1));
    QueryDetails(gateway_, list_, 4);
    EXPECT_EQ(list_.rows().size(), 11U);   // the first reply and ten follow-ups
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Truncated);

    gateway_ = FakeExchange();
    for (int i = 0; i < 20; ++i) gateway_.fail(Script::Dropped);
    QueryDetails(gateway_, list_, 4);
    EXPECT_EQ(gateway_.requests.size(), 4U);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
    gateway_.script.clear();
}

}  // namespace

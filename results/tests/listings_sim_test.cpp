// The listings over the real link against the gateway simulator.
#include "listings.h"
#include "selection_state.h"
#include "sim_fixture.h"

#include <algorithm>

namespace {

std::vector<std::uint8_t> units_with_entries(const std::vector<SimLuminaire>& all) {
    std::vector<std::uint8_t> units;
    for (const SimLuminaire& l : all)
        if (!l.entries.empty()) units.push_back(l.unit);
    return units;
}

class ListingsOverTheLink : public SimLinkTest {};

TEST_F(ListingsOverTheLink, TestResultsListEveryLuminaireInGatewayOrder) {
    MemoryResultList list;
    QueryTestResults(list);
    const auto units = units_with_entries(demo_luminaires());
    ASSERT_EQ(std::vector<std::uint8_t>(cShortAddressArr, cShortAddressArr + iShortAddressCount), units);
    ASSERT_EQ(list.rows().size(), units.size());
    for (std::size_t i = 0; i < units.size(); ++i) EXPECT_EQ(list.rows()[i][kColAddress], FormatUnitAddress(units[i]));
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Complete);
    EXPECT_TRUE(messages().empty());

    // First request without payload, then one 00 00 00 00 follow-up per
    // further luminaire: one without a stored test answers with a 22-byte
    // reply that adds no row.
    const auto requests = requests_of(kCmdTestResults);
    ASSERT_EQ(requests.size(), demo_luminaires().size() + 1);
    ASSERT_GT(demo_luminaires().size(), units.size());
    EXPECT_EQ(requests[0].size(), 18U);
    for (std::size_t i = 1; i < requests.size(); ++i) {
        ASSERT_EQ(requests[i].size(), 22U);
        EXPECT_TRUE(std::all_of(requests[i].begin() + 15, requests[i].begin() + 19, [](auto b) { return b == 0; }));
    }
    EXPECT_NE(traced().find("send 第一条查询指令 ok\n"), std::string::npos);
    EXPECT_NE(traced().find("查询完毕！\n"), std::string::npos);
}

TEST_F(ListingsOverTheLink, DetailsAreListedNewestReceivedFirst) {
    const auto all = demo_luminaires();
    const auto it = std::find_if(all.begin(), all.end(), [](const SimLuminaire& l) { return l.entries.size() >= 3; });
    ASSERT_NE(it, all.end());
    MemoryResultList list;
    QueryDetails(list, it->unit);
    ASSERT_EQ(list.rows().size(), it->entries.size());
    for (std::size_t i = 0; i < it->entries.size(); ++i) {
        const SimTestEntry& e = it->entries[it->entries.size() - 1 - i];
        char date[32];
        std::snprintf(date, sizeof date, "%04d/%02d/%02d %02d:%02d:%02d", e.year, e.month, e.day, e.hour, e.minute,
                      e.second);
        EXPECT_EQ(list.rows()[i][kColTestDate], date) << i;
    }
    const auto requests = requests_of(kCmdTestDetails);
    ASSERT_EQ(requests.size(), it->entries.size() + 1);
    EXPECT_EQ(requests[0][15], it->unit);
    EXPECT_EQ(requests[1][16], it->unit);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Complete);
}

TEST_F(ListingsOverTheLink, UnknownUnitEndsAtOnce) {
    MemoryResultList list;
    list.insert_row(false, RowTexts{"stale"});
    QueryDetails(list, 127 - 1);   // B62: not in the demonstration set
    EXPECT_TRUE(list.rows().empty());
    EXPECT_EQ(requests_of(kCmdTestDetails).size(), 1U);
}

TEST_F(ListingsOverTheLink, FailedChecksumAddsNoRow) {
    set_faults([](SimFaults& f) { f.badChecksum = true; });
    MemoryResultList list;
    QueryTestResults(list);
    EXPECT_TRUE(list.rows().empty());
    EXPECT_EQ(iShortAddressCount, 0);
    EXPECT_NE(traced().find("check fails.\n"), std::string::npos);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
}

// Replies that never open (a wrong start) end the listing after sixteen
// in a row instead of keeping it going.
TEST_F(ListingsOverTheLink, RepliesThatNeverOpenAreBounded) {
    set_faults([](SimFaults& f) { f.badMagic = true; });
    MemoryResultList list;
    QueryTestResults(list);
    EXPECT_TRUE(list.rows().empty());
    EXPECT_EQ(requests_of(kCmdTestResults).size(), 16U);
    EXPECT_NE(traced().find("listing ends: 16 replies in a row did not open\n"), std::string::npos);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);

    QueryDetails(list, 0);
    EXPECT_EQ(requests_of(kCmdTestDetails).size(), 16U);
}

TEST_F(ListingsOverTheLink, SilentGatewayEndsTheDetailsWithTheReceiveMessage) {
    set_faults([](SimFaults& f) { f.dropReplies = true; });
    MemoryResultList list;
    QueryDetails(list, 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"tcp recv fails! The current network may have been disconnected."});
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
    EXPECT_NE(traced().find("res error!"), std::string::npos);
}

// With the connection gone and no address to reopen it, the first request
// of either listing fails with its message and the listing ends.
TEST_F(ListingsOverTheLink, FailedSendEndsAListing) {
    ResetLink();
    MemoryResultList list;
    QueryTestResults(list);
    QueryDetails(list, 0);
    EXPECT_EQ(messages(), (std::vector<std::string>{"tcp send fails!", "tcp send fails!"}));
    EXPECT_TRUE(list.rows().empty());
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
    EXPECT_TRUE(requests_of(kCmdTestResults).empty());
    EXPECT_TRUE(requests_of(kCmdTestDetails).empty());
}

class EmptyGateway : public SimLinkTest {
protected:
    std::vector<SimLuminaire> luminaires() const override { return {}; }
};

TEST_F(EmptyGateway, FirstEndMarkSendsNoFollowUp) {
    MemoryResultList list;
    QueryTestResults(list);
    EXPECT_TRUE(list.rows().empty());
    EXPECT_EQ(requests_of(kCmdTestResults).size(), 1U);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Complete);
}

}  // namespace

namespace {

// A gateway that closes the connection in the middle of a listing starts its
// list afresh on the next connection: the listing must not run on there and
// report the mixture as the whole list. Whether the link sees the close
// before its next send (and reopens) or at the receive is a race on
// loopback; both must end the listing as failed.
class ListingAcrossAReconnect : public SimLinkTest {};

TEST_F(ListingAcrossAReconnect, TestResultsEndAsFailedKeepingTheRowsBefore) {
    set_faults([](SimFaults& f) { f.closeAfterReplies = 3; });
    MemoryResultList list;
    QueryTestResults(list);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
    EXPECT_LE(list.rows().size(), 3U);
    EXPECT_EQ(static_cast<std::size_t>(iShortAddressCount), list.rows().size());
}

TEST_F(ListingAcrossAReconnect, DetailsEndAsFailed) {
    const auto all = demo_luminaires();
    const auto it = std::find_if(all.begin(), all.end(), [](const SimLuminaire& l) { return l.entries.size() >= 3; });
    ASSERT_NE(it, all.end());
    set_faults([](SimFaults& f) { f.closeAfterReplies = 2; });
    MemoryResultList list;
    QueryDetails(list, it->unit);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::LinkFailed);
    EXPECT_LT(list.rows().size(), it->entries.size());
}

TEST_F(ListingAcrossAReconnect, AListingAfterTheReconnectRunsWhole) {
    set_faults([](SimFaults& f) { f.closeAfterReplies = 3; });
    MemoryResultList list;
    QueryTestResults(list);
    set_faults([](SimFaults& f) { f.closeAfterReplies = -1; });
    QueryTestResults(list);
    EXPECT_EQ(last_listing_outcome(), ListingOutcome::Complete);
    EXPECT_EQ(list.rows().size(), units_with_entries(demo_luminaires()).size());
}

}  // namespace

// The store's contract, "nothing lost, nothing doubled", as the monitor
// lives it: rounds of one site against a mail server that is up or away,
// and what went out at each step.
#include "memory_monitor_store.h"
#include "monitor.h"

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr std::time_t kStart = 1'800'000'000;
constexpr std::time_t kHour = 3600;

// A mail server that takes messages while it is up, and counts them.
class CountingSender final : public MailSender {
public:
    MailResult send(const MailMessage& m) override {
        if (!up) return {false, "the mail server is away"};
        sent.push_back(m);
        return {true, {}};
    }
    bool up = true;
    std::vector<MailMessage> sent;
};

LuminaireOutcome lum(std::uint8_t unit, bool battery) {
    LuminaireOutcome l;
    l.unit = unit;
    l.verdict = battery ? Verdict::Fault : Verdict::Ok;
    if (battery) l.reasons = {{Verdict::Fault, "Battery fault", "Battery fault"}};
    l.knownVerdict = l.verdict;
    l.knownReasons = l.reasons;
    return l;
}

SiteOutcome site(bool a1Faulty, bool a2Faulty = false) {
    SiteOutcome s;
    s.site = s.gateway = "10.0.0.9";
    s.reachable = s.listComplete = s.complete = true;
    s.luminaires = {lum(1, a1Faulty), lum(2, a2Faulty)};
    return s;
}

struct Step {
    const char* what;
    std::time_t at;
    SiteOutcome outcome;
    bool serverUp;
    // What arrives at the server in this step: each mail's subject and the
    // hour (from kStart) of its Date.
    std::vector<std::pair<std::string, std::time_t>> arrives;
    int waitingAfter;
};

struct Case {
    const char* name;
    DigestPeriod digest;
    std::vector<Step> steps;
};

const std::string kFault = "OrvyPc: 1 new fault at 10.0.0.9";
const std::string kRecovered = "OrvyPc: 1 recovered at 10.0.0.9";

TEST(MonitorStore, AnAlertIsSentOnceWithItsOriginalTimeWhateverTheServerDoes) {
    const Case cases[] = {
        {"a fault, mailed once, then its recovery",
         DigestPeriod::None,
         {{"all fine", kStart, site(false), true, {}, 0},
          {"A1 fails", kStart + kHour, site(true), true, {{kFault, 1}}, 0},
          {"it stays", kStart + 2 * kHour, site(true), true, {}, 0},
          {"it recovers", kStart + 3 * kHour, site(false), true, {{kRecovered, 3}}, 0}}},
        {"the server away: the alert waits, undoubled, and goes with its time",
         DigestPeriod::None,
         {{"all fine", kStart, site(false), true, {}, 0},
          {"A1 fails, server away", kStart + kHour, site(true), false, {}, 1},
          {"it stays, server away", kStart + 2 * kHour, site(true), false, {}, 1},
          {"server back", kStart + 3 * kHour, site(true), true, {{kFault, 1}}, 0},
          {"it stays", kStart + 4 * kHour, site(true), true, {}, 0}}},
        {"two alerts waiting go oldest first",
         DigestPeriod::None,
         {{"all fine", kStart, site(false), false, {}, 0},
          {"A1 fails", kStart + kHour, site(true), false, {}, 1},
          {"A1 recovers", kStart + 2 * kHour, site(false), false, {}, 2},
          {"server back", kStart + 3 * kHour, site(false), true, {{kFault, 1}, {kRecovered, 2}}, 0}}},
        {"the weekly digest: its clock starts with the first round",
         DigestPeriod::Weekly,
         {{"first round", kStart, site(true), true, {{kFault, 0}}, 0},
          {"six days on", kStart + 6 * 24 * kHour, site(true), true, {}, 0},
          {"a week on",
           kStart + 7 * 24 * kHour,
           site(true, true),
           true,
           {{kFault, 7 * 24}, {"OrvyPc: weekly digest for 10.0.0.9: 2 luminaires need attention", 7 * 24}},
           0},
          {"an hour later", kStart + 7 * 24 * kHour + kHour, site(true, true), true, {}, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryMonitorStore store;
        Monitor monitor(store, {false, c.digest, "example.org"});
        CountingSender server;
        const MailAddressing to{"orvypc@example.org", {"tech@example.org"}, "pc"};
        for (const Step& step : c.steps) {
            SCOPED_TRACE(step.what);
            server.up = step.serverUp;
            server.sent.clear();
            ASSERT_TRUE(monitor.take_site(step.outcome, step.at, nullptr).committed);
            const SendReport r = monitor.send_waiting(server, to, nullptr, [&] { return step.at; });
            std::vector<std::pair<std::string, std::time_t>> arrived;
            for (const MailMessage& m : server.sent) arrived.emplace_back(m.subject, (m.date - kStart) / kHour);
            EXPECT_EQ(arrived, step.arrives);
            EXPECT_EQ(r.waiting, step.waitingAfter);
        }
        // Every alert ever queued went once, each with its own Message-ID.
        std::set<std::string> ids;
        for (const auto& [alert, when] : store.sent()) EXPECT_TRUE(ids.insert(alert.messageId).second);
    }
}

// A store that fails the commits it is told to fail, as a logbook whose
// server is away would.
class FailingStore final : public MonitorStore {
public:
    std::optional<SiteOutcome> previous(const std::string& s) override { return inner.previous(s); }
    std::vector<std::string> sites() override { return inner.sites(); }
    std::optional<std::time_t> digest_mark(const std::string& s) override { return inner.digest_mark(s); }
    bool commit(const SiteRound& round) override { return !failCommit && inner.commit(round); }
    std::vector<Alert> unsent() override { return inner.unsent(); }
    bool mark_sent(const std::string& uid, std::time_t when) override { return inner.mark_sent(uid, when); }
    std::string error() const override { return failCommit ? "the store is away" : inner.error(); }
    MemoryMonitorStore inner;
    bool failCommit = false;
};

TEST(MonitorStore, ARoundThatIsNotKeptIsFoundAgainAndQueuedOnce) {
    FailingStore store;
    Monitor monitor(store, {true, DigestPeriod::None, "example.org"});
    int workbooks = 0;
    const auto workbook = [&]() -> std::optional<MailAttachment> {
        ++workbooks;
        return MailAttachment{"Site survey.xlsx", "application/octet-stream", "PK"};
    };
    ASSERT_TRUE(monitor.take_site(site(false), kStart, workbook).committed);
    EXPECT_EQ(workbooks, 0) << "no alert, no workbook";

    store.failCommit = true;
    const SiteTurn lost = monitor.take_site(site(true), kStart + kHour, workbook);
    EXPECT_FALSE(lost.committed);
    EXPECT_EQ(lost.alertsQueued, 0);
    EXPECT_TRUE(store.unsent().empty());

    store.failCommit = false;
    const SiteTurn kept = monitor.take_site(site(true), kStart + 2 * kHour, workbook);
    ASSERT_TRUE(kept.committed);
    ASSERT_EQ(store.unsent().size(), 1U);
    EXPECT_EQ(store.unsent()[0].created, kStart + 2 * kHour);
    ASSERT_TRUE(store.unsent()[0].workbook);
    EXPECT_EQ(store.unsent()[0].workbook->bytes, "PK");

    // An alert marked sent is not waiting any more; a second mark says so.
    const std::string uid = store.unsent()[0].uid;
    EXPECT_TRUE(store.mark_sent(uid, kStart + 3 * kHour));
    EXPECT_FALSE(store.mark_sent(uid, kStart + 4 * kHour));
    // A commit holding an alert that was queued before keeps nothing of it.
    SiteRound again{site(false), {store.inner.sent().front().first}, std::nullopt, {}};
    EXPECT_FALSE(store.inner.commit(again));
    EXPECT_EQ(store.inner.previous("10.0.0.9")->luminaires[0].verdict, Verdict::Fault);
    EXPECT_TRUE(store.unsent().empty());
}

}  // namespace

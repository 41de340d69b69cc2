// The store's contract, "nothing lost, nothing doubled", as the monitor
// lives it: rounds of one site against a mail server that is up, away or
// refusing, and what went out at each step. Each store keeps it: in memory,
// and in the logbook (a SQLite file, the suite's PostgreSQL server), where
// every step starts from a store opened anew, as a restarted monitor or a
// `monitor --once` does.
#include "logbook_fixture.h"
#include "logbook_monitor_store.h"
#include "memory_monitor_store.h"
#include "mirrored_monitor_store.h"
#include "monitor.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace {

constexpr std::time_t kStart = 1'800'000'000;
constexpr std::time_t kHour = 3600;

// A mail server that takes messages while it is up, refuses for good those
// whose subject has `refuse` in it, and keeps what it took.
class CountingSender final : public MailSender {
public:
    MailResult send(const MailMessage& m) override {
        if (!up) return {false, "the mail server is away"};
        if (!refuse.empty() && m.subject.find(refuse) != std::string::npos)
            return {false, "554 5.7.1 refused", true, false};
        sent.push_back(m);
        return {true, {}};
    }
    bool up = true;
    std::string refuse;
    std::vector<MailMessage> sent;
};

LuminaireOutcome lum(std::uint8_t unit, bool battery, bool read = true) {
    LuminaireOutcome l;
    l.unit = unit;
    l.name = unit == 1 ? "Stair 2 exit" : "走廊 东";
    l.location = "Level 3";
    l.verdict = battery ? Verdict::Fault : Verdict::Ok;
    if (battery) l.reasons = {{Verdict::Fault, "Battery fault", "Battery fault"}};
    l.knownVerdict = l.verdict;
    l.knownReasons = l.reasons;
    if (!read) {
        l.verdict = Verdict::NotRead;
        l.reasons = {{Verdict::NotRead, "", "no reply"}};
    }
    return l;
}

SiteOutcome site(bool a1Faulty, bool a2Faulty = false, bool a1Read = true) {
    SiteOutcome s;
    s.site = s.key = s.gateway = "10.0.0.9";
    s.reachable = s.listComplete = s.complete = true;
    s.luminaires = {lum(1, a1Faulty, a1Read), lum(2, a2Faulty)};
    return s;
}

enum class Kind { Memory, Sqlite, Postgres };
void PrintTo(Kind kind, std::ostream* out) {
    *out << (kind == Kind::Memory ? "memory" : kind == Kind::Sqlite ? "SQLite" : "PostgreSQL");
}

// Opens the same store again for each step: a logbook's monitor state
// outlives its program, the memory's does not need to.
class Stores {
public:
    explicit Stores(Kind kind) : kind_(kind) {
        if (kind != Kind::Memory) where_ = fx_.new_store(kind == Kind::Sqlite ? StoreKind::Sqlite : StoreKind::Postgres);
    }
    MonitorStore& open() {
        if (kind_ == Kind::Memory) return memory_;
        store_.reset();
        book_ = fx_.open(where_);
        if (!book_) throw std::runtime_error("no store at " + where_);
        store_ = std::make_unique<LogbookMonitorStore>(book_->monitor_state(), "this-pc");
        return *store_;
    }
    Logbook* book() { return book_.get(); }

private:
    Kind kind_;
    StoreFixture fx_;
    std::string where_;
    MemoryMonitorStore memory_;
    std::unique_ptr<Logbook> book_;
    std::unique_ptr<MonitorStore> store_;
};

class MonitorStoreTest : public testing::TestWithParam<Kind> {};

struct Step {
    const char* what;
    std::time_t at;
    SiteOutcome outcome;
    bool serverUp;
    // What arrives at the server in this step: each mail's subject and the
    // hour (from kStart) of its Date.
    std::vector<std::pair<std::string, std::time_t>> arrives;
    int waitingAfter;
    // Words one of the mails of this step has in its text.
    const char* mailSays = "";
};

struct Case {
    const char* name;
    DigestPeriod digest;
    std::vector<Step> steps;
    const char* refuse = "";   // subjects with this are refused for good
};

const std::string kFault = "OrvyPc: 1 new fault at 10.0.0.9";
const std::string kRecovered = "OrvyPc: 1 recovered at 10.0.0.9";

// Runs the steps, each in a store opened anew; every mail the server took,
// in order.
std::vector<MailMessage> run_steps(const std::function<MonitorStore&(std::size_t)>& storeFor, const Case& c) {
    CountingSender server;
    server.refuse = c.refuse;
    const MailAddressing to{"orvypc@example.org", {"tech@example.org"}, "pc"};
    std::vector<MailMessage> all;
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const Step& step = c.steps[i];
        SCOPED_TRACE(step.what);
        MonitorStore& store = storeFor(i);
        Monitor monitor(store, {false, c.digest, "example.org"});
        server.up = step.serverUp;
        server.sent.clear();
        SiteOutcome surveyed = step.outcome;
        surveyed.surveyed = step.at;
        const SiteTurn turn = monitor.take_site(surveyed, step.at, nullptr);
        EXPECT_TRUE(turn.committed) << turn.error;
        const SendReport r = monitor.send_waiting(server, to, nullptr, [&] { return step.at; });
        std::vector<std::pair<std::string, std::time_t>> arrived;
        std::string texts;
        for (const MailMessage& m : server.sent) {
            arrived.emplace_back(m.subject, (m.date - kStart) / kHour);
            texts += m.text;
        }
        EXPECT_EQ(arrived, step.arrives);
        EXPECT_EQ(r.waiting, step.waitingAfter) << r.error;
        EXPECT_NE(texts.find(step.mailSays), std::string::npos) << texts;
        all.insert(all.end(), server.sent.begin(), server.sent.end());
    }
    return all;
}

TEST_P(MonitorStoreTest, AnAlertIsSentOnceWithItsOriginalTimeWhateverTheServerDoes) {
    const Case cases[] = {
        {"a fault, mailed once, then its recovery",
         DigestPeriod::None,
         {{"all fine", kStart, site(false), true, {}, 0},
          {"A1 fails", kStart + kHour, site(true), true, {{kFault, 1}}, 0, "A1  Stair 2 exit, Level 3: Battery fault (new)"},
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
        {"a luminaire silent, then back with the fault it had: only that it answers again",
         DigestPeriod::None,
         {{"A1 faulty", kStart, site(true), true, {{kFault, 0}}, 0},
          {"A1 silent", kStart + kHour, site(true, false, false), true, {{"OrvyPc: 1 stopped answering at 10.0.0.9", 1}}, 0},
          {"A1 back, still faulty", kStart + 2 * kHour, site(true), true,
           {{"OrvyPc: 1 answering again at 10.0.0.9", 2}}, 0}}},
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
        {"an alert refused for good is set aside at its third refusal; the others go, the digest names it",
         DigestPeriod::Daily,
         {{"all fine", kStart, site(false), true, {}, 0},
          {"A1 fails: refused", kStart + kHour, site(true), true, {}, 1},
          {"A1 recovers: its alert goes, the fault's is refused again", kStart + 2 * kHour, site(false), true,
           {{kRecovered, 2}}, 1},
          {"refused a third time: set aside", kStart + 3 * kHour, site(false), true, {}, 0},
          {"the day's digest", kStart + 24 * kHour, site(false), true,
           {{"OrvyPc: daily digest for 10.0.0.9: nothing needs attention", 24}}, 0,
           "1 alert the mail server refused, set aside since the last digest:"}},
         "new fault"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Stores stores(GetParam());
        const std::vector<MailMessage> sent = run_steps([&](std::size_t) -> MonitorStore& { return stores.open(); }, c);
        // Every alert went once, each with its own Message-ID.
        std::set<std::string> ids;
        for (const MailMessage& m : sent) EXPECT_TRUE(ids.insert(m.messageId).second) << m.subject;
    }
}

// A commit is all or nothing: one holding an alert queued before keeps
// nothing of the round, not its outcome either.
TEST_P(MonitorStoreTest, ACommitWithAnAlertQueuedBeforeKeepsNothing) {
    Stores stores(GetParam());
    MonitorStore& store = stores.open();
    Monitor monitor(store, {false, DigestPeriod::None, "example.org"});
    ASSERT_TRUE(monitor.take_site(site(false), kStart, nullptr).committed);
    ASSERT_TRUE(monitor.take_site(site(true), kStart + kHour, nullptr).committed);
    const std::vector<Alert> queued = store.unsent().value();
    ASSERT_EQ(queued.size(), 1U);
    EXPECT_FALSE(store.commit({site(false), queued, std::nullopt, {}}));
    SiteState kept;
    ASSERT_TRUE(store.site_state("10.0.0.9", &kept));
    EXPECT_EQ(kept.outcome->luminaires[0].verdict, Verdict::Fault);
    EXPECT_EQ(store.unsent()->size(), 1U);
    // Marked sent once; a second mark says it was not waiting.
    EXPECT_TRUE(store.mark_sent(queued[0].uid, kStart + 2 * kHour));
    EXPECT_FALSE(store.mark_sent(queued[0].uid, kStart + 3 * kHour));
}

// A store that fails the commits it is told to fail, as a logbook whose
// server is away would.
class FailingStore final : public MonitorStore {
public:
    bool site_state(const std::string& s, SiteState* state) override { return inner.site_state(s, state); }
    std::optional<std::vector<KnownSite>> sites() override { return inner.sites(); }
    bool commit(const SiteRound& round) override { return !failCommit && inner.commit(round); }
    std::optional<std::vector<Alert>> unsent() override { return inner.unsent(); }
    std::optional<std::vector<Alert>> set_aside(const std::string& s, std::time_t t) override { return inner.set_aside(s, t); }
    bool mark_sending(const std::string& uid, std::time_t when) override { return inner.mark_sending(uid, when); }
    bool mark_sent(const std::string& uid, std::time_t when) override { return inner.mark_sent(uid, when); }
    bool mark_not_taken(const std::string& uid, const NotTaken& how, bool* aside) override {
        return inner.mark_not_taken(uid, how, aside);
    }
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
    EXPECT_TRUE(store.unsent()->empty());

    store.failCommit = false;
    const SiteTurn kept = monitor.take_site(site(true), kStart + 2 * kHour, workbook);
    ASSERT_TRUE(kept.committed);
    ASSERT_EQ(store.unsent()->size(), 1U);
    EXPECT_EQ(store.unsent()->at(0).created, kStart + 2 * kHour);
    ASSERT_TRUE(store.unsent()->at(0).workbook);
    EXPECT_EQ(store.unsent()->at(0).workbook->bytes, "PK");
}

// In the logbook, the round goes in the transaction that records its
// survey: both are kept, or neither. The monitor's rows are no records of
// the test: the seal chain holds with them.
class LogbookMonitorStoreTest : public testing::TestWithParam<Kind> {};

TEST_P(LogbookMonitorStoreTest, TheRoundAndItsSurveyAreKeptTogetherOrNotAtAll) {
    Stores stores(GetParam());
    MonitorStore& store = stores.open();
    Logbook& book = *stores.book();
    Monitor monitor(store, {true, DigestPeriod::None, "example.org"});
    const auto workbook = [] { return std::optional<MailAttachment>(MailAttachment{"s.xlsx", "x/y", std::string("PK\0\x01\xff", 5)}); };
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "kept" : "given up");
        RunRecord run = run_of({entry("2026-03-01 10:00:00", 1, "Stair 2 exit", 1, 0, "10.0.0.9")}, {1});
        run.kind = "survey";
        const bool done = book.record_with(run, [&] {
            EXPECT_EQ(book.history(address_site_uid("10.0.0.9"), 1, "").items.size(), 1U) << "the run is seen inside";
            return monitor.take_site(site(true), kStart, workbook, run.uid).committed && keep;
        });
        EXPECT_EQ(done, keep) << book.error();
        SiteState kept;
        ASSERT_TRUE(store.site_state("10.0.0.9", &kept)) << store.error();
        EXPECT_EQ(kept.outcome.has_value(), keep);
        EXPECT_EQ(store.unsent()->size(), keep ? 1U : 0U);
        EXPECT_EQ(book.entry_count(), keep ? 1U : 0U);
    }
    EXPECT_EQ(store.unsent()->at(0).workbook->bytes, std::string("PK\0\x01\xff", 5));
    const ChainCheck check = book.verify_seals();
    EXPECT_TRUE(check.holds()) << (check.findings.empty() ? book.error() : check.findings[0].text);
    EXPECT_EQ(check.runs, 1U);
}

std::string kind_name(const testing::TestParamInfo<Kind>& info) {
    std::ostringstream name;
    PrintTo(info.param, &name);
    return name.str();
}

#if ORVYPC_TEST_POSTGRES_STORE
INSTANTIATE_TEST_SUITE_P(Stores, MonitorStoreTest, testing::Values(Kind::Memory, Kind::Sqlite, Kind::Postgres), kind_name);
INSTANTIATE_TEST_SUITE_P(Stores, LogbookMonitorStoreTest, testing::Values(Kind::Sqlite, Kind::Postgres), kind_name);
#else
INSTANTIATE_TEST_SUITE_P(Stores, MonitorStoreTest, testing::Values(Kind::Memory, Kind::Sqlite), kind_name);
INSTANTIATE_TEST_SUITE_P(Stores, LogbookMonitorStoreTest, testing::Values(Kind::Sqlite), kind_name);
#endif

// A team logbook away and back: the rounds in between go into this
// machine's file, which also holds a copy of each outcome kept on the
// server. No alert is repeated, none is left behind.
TEST(MonitorStore, ATeamLogbookAwayAndBackNeitherRepeatsNorLosesAnAlert) {
    StoreFixture fx;
    const std::unique_ptr<Logbook> server = fx.open(fx.new_store(StoreKind::Sqlite, "server"));
    const std::unique_ptr<Logbook> file = fx.open(fx.new_store(StoreKind::Sqlite, "local"));
    ASSERT_TRUE(server && file);
    LogbookMonitorStore there(server->monitor_state(), "pc"), here(file->monitor_state(), "pc");
    MirroredMonitorStore both(there, here);
    // Steps 1, 3, 5 on the server, 2 and 4 in the file.
    const Case c{"away and back",
                 DigestPeriod::None,
                 {{"all fine", kStart, site(false), true, {}, 0},
                  {"away: A1 fails, mail down too", kStart + kHour, site(true), false, {}, 1},
                  {"back: what waited in the file goes, nothing new", kStart + 2 * kHour, site(true), true, {{kFault, 1}}, 0},
                  {"away again: no change", kStart + 3 * kHour, site(true), true, {}, 0},
                  {"back: A1 recovers", kStart + 4 * kHour, site(false), true, {{kRecovered, 4}}, 0}}};
    run_steps(
        [&](std::size_t step) -> MonitorStore& {
            both.settle(true);   // the step before, kept
            return step % 2 == 0 ? static_cast<MonitorStore&>(both) : here;
        },
        c);
}

}  // namespace

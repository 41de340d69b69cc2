// The logbook against real stores: a SQLite file and the suite's own
// PostgreSQL server, the same cases for both.
#include "logbook_fixture.h"

#include <sqlite3.h>

#include <atomic>
#include <thread>

namespace {

class LogbookTest : public testing::TestWithParam<StoreKind> {
protected:
    StoreFixture fx;
};

struct DuplicateCase {
    const char* rule;
    std::vector<std::vector<LogEntry>> runs;
    std::size_t stored;
};

TEST_P(LogbookTest, AnEntryReadAgainIsStoredOnce) {
    const LogEntry a = entry("2026-03-01 10:00:00");
    const std::vector<DuplicateCase> cases = {
        {"the same entry in two runs", {{a}, {a}}, 1},
        {"the same entry twice in one run", {{a, a}}, 1},
        {"another name only: still the same entry", {{a}, {entry("2026-03-01 10:00:00", 5, "Lobby")}}, 1},
        {"another result", {{a}, {entry("2026-03-01 10:00:00", 5, "Hall", 0xFF)}}, 2},
        {"other minutes", {{a}, {entry("2026-03-01 10:00:00", 5, "Hall", 1, 90)}}, 2},
        {"another luminaire", {{a}, {entry("2026-03-01 10:00:00", 6)}}, 2},
        {"another gateway", {{a}, {entry("2026-03-01 10:00:00", 5, "Hall", 1, 0, "10.0.0.8")}}, 2},
    };
    for (const DuplicateCase& c : cases) {
        auto book = fx.open(fx.new_store(GetParam()));
        ASSERT_TRUE(book);
        std::size_t added = 0, duplicates = 0;
        for (const auto& entries : c.runs) {
            RecordCounts counts;
            ASSERT_TRUE(book->record(run_of(entries), &counts)) << book->error();
            added += counts.added;
            duplicates += counts.duplicates;
        }
        std::size_t total = 0;
        for (const auto& entries : c.runs) total += entries.size();
        EXPECT_EQ(book->entry_count(), c.stored) << c.rule;
        EXPECT_EQ(added, c.stored) << c.rule;
        EXPECT_EQ(duplicates, total - c.stored) << c.rule;
    }
}

TEST_P(LogbookTest, ARunStoredTwiceIsKeptOnce) {
    auto book = fx.open(fx.new_store(GetParam()));
    ASSERT_TRUE(book);
    const RunRecord run = run_of({entry("2026-03-01 10:00:00"), entry("2026-04-01 10:00:00")}, {5});
    ASSERT_TRUE(book->record(run));
    RecordCounts again;
    ASSERT_TRUE(book->record(run, &again));
    EXPECT_EQ(again.added + again.duplicates, 0u);
    EXPECT_EQ(book->history("", 5, "").items.size(), 2u);
}

TEST_P(LogbookTest, EachEntryKeepsTheNameItHadWhenRead) {
    auto book = fx.open(fx.new_store(GetParam()));
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->record(run_of({entry("2025-01-01 09:00:00", 5, "Hall")})));
    // Renamed on the gateway: the old entry, read again, keeps its name.
    ASSERT_TRUE(book->record(run_of({entry("2025-01-01 09:00:00", 5, "Lobby"), entry("2026-01-01 09:00:00", 5, "Lobby")})));
    const auto h = book->history(address_site_uid("10.0.0.7"), 5, "").items;
    ASSERT_EQ(h.size(), 2u);
    EXPECT_EQ(h[0].entry.name, "Lobby");
    EXPECT_EQ(h[1].entry.name, "Hall");
}

TEST_P(LogbookTest, HistoryMarksWhatTheLastFullListingNoLongerHeld) {
    auto book = fx.open(fx.new_store(GetParam()));
    ASSERT_TRUE(book);
    const LogEntry e1 = entry("2024-01-01 09:00:00"), e2 = entry("2025-01-01 09:00:00"), e3 = entry("2026-01-01 09:00:00");
    EXPECT_FALSE(book->history("", 5, "").items.size());
    ASSERT_TRUE(book->record(run_of({e1})));   // a results run: no full listing
    ASSERT_EQ(book->history("", 5, "").items.size(), 1u);
    EXPECT_FALSE(book->history("", 5, "").items[0].onGateway.has_value());
    ASSERT_TRUE(book->record(run_of({e1, e2}, {5})));
    ASSERT_TRUE(book->record(run_of({e2, e3}, {5})));
    ASSERT_TRUE(book->record(run_of({e3})));   // a later results run changes nothing
    const auto h = book->history(address_site_uid("10.0.0.7"), 5, "").items;
    ASSERT_EQ(h.size(), 3u);
    const std::vector<std::pair<std::string, bool>> expected = {
        {e3.testTime, true}, {e2.testTime, true}, {e1.testTime, false}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(h[i].entry.testTime, expected[i].first);
        ASSERT_TRUE(h[i].onGateway.has_value());
        EXPECT_EQ(*h[i].onGateway, expected[i].second) << i;
    }
}

TEST_P(LogbookTest, RemarksStandAmongTheTestsAndSinceCuts) {
    auto book = fx.open(fx.new_store(GetParam()));
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->record(run_of({entry("2024-06-01 09:00:00"), entry("2026-06-01 09:00:00"), entry("2025-06-01 09:00:00", 6)})));
    Remark r{new_run_uid(), "10.0.0.7", 5, "2025-02-03 11:00:00", "tech", "battery replaced"};
    ASSERT_TRUE(book->add_remark(r));
    ASSERT_TRUE(book->add_remark(r));   // the same remark (by uid) stays one
    const std::vector<std::tuple<std::string, std::vector<std::string>>> cases = {
        {"", {"2026-06-01 09:00:00", "2025-02-03 11:00:00", "2024-06-01 09:00:00"}},
        {"2025-01-01", {"2026-06-01 09:00:00", "2025-02-03 11:00:00"}},
        {"2027-01-01", {}},
    };
    for (const auto& [since, times] : cases) {
        const auto h = book->history(address_site_uid("10.0.0.7"), 5, since).items;
        std::vector<std::string> got;
        for (const HistoryItem& item : h) got.push_back(item.when());
        EXPECT_EQ(got, times) << since;
    }
    EXPECT_TRUE(book->history(address_site_uid("10.0.0.7"), 5, "").items[1].isRemark);
    EXPECT_EQ(book->history(address_site_uid("10.0.0.7"), 5, "").items[1].remark.text, "battery replaced");
    EXPECT_EQ(book->site_history("", "").items.size(), 4u);
}

TEST_P(LogbookTest, StatusSnapshotsKeepTheirBytes) {
    auto book = fx.open(fx.new_store(GetParam()));
    ASSERT_TRUE(book);
    RunRecord survey = run_of({entry("2026-01-01 09:00:00")}, {5});
    survey.kind = "survey";
    StatusSnapshot s;
    s.gateway = "10.0.0.7";
    s.unit = 5;
    s.taken = "2026-01-02T10:00:00Z";
    for (std::size_t i = 0; i < kStatusSnapshotBytes; ++i) s.status[i] = static_cast<std::uint8_t>(i * 37 + 1);
    s.status[3] = 0;   // a zero byte is data, not an end
    survey.snapshots = {s};
    ASSERT_TRUE(book->record(survey)) << book->error();
    const auto got = book->snapshots(address_site_uid("10.0.0.7"), 5);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].status, s.status);
    EXPECT_EQ(got[0].taken, s.taken);
}

// A period's read: the entries and remarks inside it, each luminaire's first
// entry, its newest tests with a result from before it and its newest
// snapshot, and nothing of another gateway.
TEST_P(LogbookTest, APeriodReadTakesThePeriodAndWhatCameBefore) {
    auto book = fx.open(fx.new_store(GetParam()));
    ASSERT_TRUE(book);
    auto dt = [](LogEntry e) {
        e.testType = 1;
        return e;
    };
    RunRecord run = run_of({
        entry("2024-05-01 01:00:00"),                      // A5's first entry
        dt(entry("2024-06-02 02:00:00", 5, "Hall", 0xFF)),   // its newest duration test before the period
        entry("2025-12-01 01:00:00"),                      // its newest function test with a result before
        entry("2025-12-20 01:00:00", 5, "Hall", 0),         // without a result: not taken
        entry("2026-01-01 00:00:00"),                      // the period's first moment
        entry("2026-06-30 23:59:59", 5, "Hall", 0xFF),
        entry("2026-07-01 00:00:00"),                      // the day after the period
        entry("2026-03-01 01:00:00", 6),                   // A6: history begins in the period
        entry("2027-01-01 01:00:00", 7),                   // A7: known only after it
    });
    auto snapshot = [](std::uint8_t unit, const char* taken, std::uint8_t mark) {
        StatusSnapshot s;
        s.gateway = "10.0.0.7";
        s.unit = unit;
        s.taken = taken;
        s.status[0] = mark;
        return s;
    };
    run.snapshots = {snapshot(5, "2026-06-30T22:00:00Z", 1), snapshot(5, "2026-07-01T00:00:01Z", 2),
                     snapshot(9, "2025-01-01T00:00:00Z", 3)};
    ASSERT_TRUE(book->record(run)) << book->error();
    ASSERT_TRUE(book->record(run_of({entry("2026-03-01 01:00:00", 5, "Hall", 1, 0, "10.0.0.8")})));   // another site
    ASSERT_TRUE(book->add_remark({new_run_uid(), "10.0.0.7", 5, "2026-02-03 11:00:00", "tech", "lamp replaced"}));
    ASSERT_TRUE(book->add_remark({new_run_uid(), "10.0.0.7", 5, "2025-02-03 11:00:00", "tech", "before"}));

    const PeriodRead p = book->period(address_site_uid("10.0.0.7"), "2026-01-01", "2026-07-01");
    ASSERT_TRUE(p.complete) << book->error();
    std::vector<std::string> times;
    for (const LogEntry& e : p.entries) times.push_back(std::to_string(e.unit) + " " + e.testTime);
    EXPECT_EQ(times, (std::vector<std::string>{"5 2026-01-01 00:00:00", "5 2026-06-30 23:59:59", "6 2026-03-01 01:00:00"}));
    ASSERT_EQ(p.remarks.size(), 1u);
    EXPECT_EQ(p.remarks[0].text, "lamp replaced");
    ASSERT_EQ(p.luminaires.size(), 3u);   // 5, 6, and 9 by its snapshot
    const PeriodRead::Luminaire& a5 = p.luminaires[0];
    EXPECT_EQ(a5.unit, 5);
    EXPECT_EQ(a5.firstTest, "2024-05-01 01:00:00");
    ASSERT_TRUE(a5.functionBefore && a5.durationBefore);
    EXPECT_EQ(a5.functionBefore->testTime, "2025-12-01 01:00:00");
    EXPECT_EQ(a5.durationBefore->testTime, "2024-06-02 02:00:00");
    EXPECT_EQ(a5.durationBefore->result, 0xFF);
    ASSERT_TRUE(a5.snapshot);
    EXPECT_EQ(a5.snapshot->status[0], 1);
    EXPECT_EQ(p.luminaires[1].unit, 6);
    EXPECT_EQ(p.luminaires[1].firstTest, "2026-03-01 01:00:00");
    EXPECT_FALSE(p.luminaires[1].functionBefore || p.luminaires[1].snapshot);
    EXPECT_EQ(p.luminaires[2].unit, 9);
    EXPECT_TRUE(p.luminaires[2].firstTest.empty());
    EXPECT_EQ(p.luminaires[2].snapshot->status[0], 3);
}

// A read the store breaks off is said so, never passed off as the whole
// history: here the remarks went from under an open logbook.
TEST_P(LogbookTest, AHistoryTheStoreBrokeOffIsMarkedIncomplete) {
    const std::string where = fx.new_store(GetParam());
    auto book = fx.open(where);
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->record(run_of({entry("2026-01-01 09:00:00")}, {5})));
    ASSERT_TRUE(book->history(address_site_uid("10.0.0.7"), 5, "").complete) << book->error();
    ASSERT_TRUE(store_exec(GetParam(), where, "DROP TABLE remarks"));
    const HistoryRead one = book->history(address_site_uid("10.0.0.7"), 5, "");
    EXPECT_FALSE(one.complete);
    EXPECT_NE(book->error().find("remarks"), std::string::npos) << book->error();
    EXPECT_FALSE(book->site_history("", "").complete);
    EXPECT_FALSE(book->period(address_site_uid("10.0.0.7"), "2026-01-01", "2027-01-01").complete);
}

// Each writer records runs of its own entries and of entries that both read.
TEST_P(LogbookTest, TwoWritersAtOnceLoseNothing) {
    const std::string where = fx.new_store(GetParam());
    auto first = fx.open(where), second = fx.open(where);
    ASSERT_TRUE(first && second);
    // A writer that met an entry stored before still sees what the other
    // wrote after it: no read of its own keeps an old view of the store.
    const LogEntry seen = entry("2026-01-01 09:00:00", 1);
    ASSERT_TRUE(first->record(run_of({seen})));
    ASSERT_TRUE(first->record(run_of({seen})));
    ASSERT_TRUE(second->record(run_of({entry("2026-01-01 09:00:01", 2)})));
    ASSERT_EQ(first->entry_count(), 2u);
    ASSERT_TRUE(second->record(run_of({entry("2026-01-01 09:00:02", 2)})));
    ASSERT_EQ(first->entry_count(), 3u);
    constexpr int kRuns = 15, kEach = 40;
    auto write = [&](Logbook* book, std::uint8_t unit, std::atomic<int>* failures) {
        for (int r = 0; r < kRuns; ++r) {
            std::vector<LogEntry> entries;
            for (int i = 0; i < kEach; ++i) {
                const std::string t = "2026-01-01 10:" + std::to_string(10 + r) + ":" + std::to_string(10 + i);
                entries.push_back(entry(t, unit));
                entries.push_back(entry(t, 99));   // both writers read this one
            }
            if (!book->record(run_of(entries))) ++*failures;
        }
    };
    std::atomic<int> failures{0};
    std::thread a(write, first.get(), 1, &failures), b(write, second.get(), 2, &failures);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0) << first->error() << second->error();
    EXPECT_EQ(first->entry_count(), std::size_t{3 + 3 * kRuns * kEach});
}

TEST_P(LogbookTest, SyncAfterTheServerWasAwayPushesEachEntryOnce) {
    // Entries recorded on two laptops while the shared store was away.
    const std::string away = "postgresql:///postgres?host=" + fx.file("no-server") + "&user=nobody";
    std::string why;
    EXPECT_FALSE(open_logbook(away, &why));
    EXPECT_NE(why.find(team_logbook_available() ? "cannot be reached" : kNoTeamLogbook), std::string::npos) << why;
    auto laptop1 = fx.open(fx.new_store(StoreKind::Sqlite, "laptop1"));
    auto laptop2 = fx.open(fx.new_store(StoreKind::Sqlite, "laptop2"));
    const std::string teamWhere = fx.new_store(GetParam(), "team");
    auto team = fx.open(teamWhere);
    ASSERT_TRUE(laptop1 && laptop2 && team);
    const LogEntry shared = entry("2026-02-01 08:00:00");
    ASSERT_TRUE(laptop1->record(run_of({shared, entry("2026-02-02 08:00:00")}, {5})));
    ASSERT_TRUE(laptop2->record(run_of({shared, entry("2026-02-03 08:00:00")})));
    ASSERT_TRUE(laptop1->add_remark({new_run_uid(), "10.0.0.7", 5, "2026-02-04 09:00:00", "tech", "lamp changed"}));

    // A sync cut short before it noted what it pushed: run again, what the
    // team logbook had already is counted as such, not as new.
    const std::string cutShort = "a sync cut short";
    struct Step { Logbook* from; std::string target; std::size_t runsNew, runsThere, remarksNew, remarksThere, teamEntries; };
    const std::vector<Step> steps = {
        {laptop1.get(), cutShort, 1, 0, 1, 0, 2},
        {laptop1.get(), team->where(), 0, 1, 0, 1, 2},
        {laptop1.get(), team->where(), 0, 0, 0, 0, 2},   // again: nothing new, nothing doubled
        {laptop2.get(), team->where(), 1, 0, 0, 0, 3},
        {laptop2.get(), team->where(), 0, 0, 0, 0, 3},
    };
    for (const Step& s : steps) {
        SyncCounts c{99, 99, 99, 99};
        ASSERT_TRUE(sync_logbook(*s.from, *team, s.target, &why, &c)) << why;
        EXPECT_EQ(std::vector<std::size_t>({c.runsNew, c.runsThere, c.remarksNew, c.remarksThere}),
                  std::vector<std::size_t>({s.runsNew, s.runsThere, s.remarksNew, s.remarksThere}));
        EXPECT_EQ(team->entry_count(), s.teamEntries);
    }
    // Recorded afterwards: only that run goes.
    ASSERT_TRUE(laptop1->record(run_of({shared, entry("2026-03-01 08:00:00")})));
    SyncCounts c;
    ASSERT_TRUE(sync_logbook(*laptop1, *team, team->where(), &why, &c)) << why;
    EXPECT_EQ(c.runsNew, 1u);
    const auto h = team->history(address_site_uid("10.0.0.7"), 5, "").items;
    ASSERT_EQ(h.size(), 5u);   // four entries and the remark
    EXPECT_EQ(h[1].remark.text, "lamp changed");
    // Each sync's runs are sealed in the team logbook's own chain.
    EXPECT_TRUE(team->verify_seals().holds());
    EXPECT_EQ(team->verify_seals().runs, 3u);
}

TEST_P(LogbookTest, BackupDuringAWriteIsAConsistentCopy) {
    auto book = fx.open(fx.new_store(GetParam()));
    ASSERT_TRUE(book);
    auto writer = fx.open(book->where());   // a second connection
    ASSERT_TRUE(writer);
    constexpr int kPerRun = 200;
    std::atomic<bool> stop{false};
    std::atomic<int> runs{0};
    std::thread t([&] {
        for (int r = 0; !stop && r < 200; ++r) {
            std::vector<LogEntry> entries;
            for (int i = 0; i < kPerRun; ++i) entries.push_back(entry("2026-01-01 " + std::to_string(r) + ":" + std::to_string(i), static_cast<std::uint8_t>(i % 128)));
            if (writer->record(run_of(entries))) ++runs;
        }
    });
    while (runs < 2) std::this_thread::yield();
    const std::string copyPath = fx.file("backup.sqlite");
    const bool backedUp = book->backup(copyPath);
    stop = true;
    t.join();
    ASSERT_TRUE(backedUp) << book->error();
    EXPECT_FALSE(book->backup(copyPath)) << "a backup never overwrites";
    auto copy = fx.open(copyPath);
    ASSERT_TRUE(copy);
    const std::size_t n = copy->entry_count();
    EXPECT_GE(n, std::size_t{2 * kPerRun});
    EXPECT_EQ(n % kPerRun, 0u) << "a run is in the copy whole or not at all";
}

INSTANTIATE_TEST_SUITE_P(Stores, LogbookTest, kStoreKinds, store_name);

}  // namespace

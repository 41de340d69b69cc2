// The seal chain against a logbook edited behind the program's back, in
// both stores: each edit is named, a logbook left alone holds.
#include "logbook_fixture.h"

namespace {

class SealTest : public testing::TestWithParam<StoreKind> {
protected:
    StoreFixture fx;
};

struct Edit {
    const char* what;
    std::string sql;                 // {run} the first run's uid, {remark} the remark's
    std::size_t findings;
    SealFinding::What first;
    const char* names;               // which record the first finding names: "run", "remark", "inserted", ""
};

std::string filled(std::string sql, const std::string& run, const std::string& remark) {
    for (const auto& [mark, value] : {std::pair<std::string, std::string>{"{run}", run}, {"{remark}", remark}}) {
        for (std::size_t at = sql.find(mark); at != std::string::npos; at = sql.find(mark))
            sql.replace(at, mark.size(), value);
    }
    return sql;
}

TEST_P(SealTest, VerifyNamesEachRecordChangedRemovedOrPutIn) {
    const std::string entryOfFirst = "SELECT id FROM entries WHERE test_time = '2026-01-01 09:00:00'";
    const std::vector<Edit> edits = {
        {"left alone", "", 0, SealFinding::What::Changed, ""},
        {"a result changed from FAIL to OK", "UPDATE entries SET result = 1 WHERE test_time = '2026-01-01 09:00:00'", 1,
         SealFinding::What::Changed, "run"},
        {"an entry deleted",
         "DELETE FROM sightings WHERE entry_id IN (" + entryOfFirst + "); DELETE FROM entries WHERE id IN (" +
             entryOfFirst + ")",
         1, SealFinding::What::Changed, "run"},
        {"a run inserted by hand",
         "INSERT INTO runs (uid, gateway, kind, started, complete, reason, host, user_name) VALUES"
         " ('hand', '10.0.0.7', 'results', '2026-01-05T00:00:00Z', 1, '', 'h', 'u')",
         1, SealFinding::What::Inserted, "inserted"},
        {"an entry inserted without a run that read it",
         "INSERT INTO entries (gateway, unit, test_time, test_type, result, minutes, name, location, first_read,"
         " first_run, site) SELECT '10.0.0.7', 5, '2026-01-04 09:00:00', 0, 1, 0, 'Hall', 'Floor 1', '', id, site"
         " FROM runs WHERE uid = '{run}'",
         1, SealFinding::What::Inserted, ""},
        {"a remark edited", "UPDATE remarks SET body = 'all fine' WHERE uid = '{remark}'", 1, SealFinding::What::Changed,
         "remark"},
        {"a remark deleted", "DELETE FROM remarks WHERE uid = '{remark}'", 1, SealFinding::What::Removed, "remark"},
        {"a remark deleted with its seal", "DELETE FROM remarks WHERE uid = '{remark}'; DELETE FROM seals WHERE uid = '{remark}'",
         1, SealFinding::What::Removed, ""},
        {"a seal changed", "UPDATE seals SET seal = '" + std::string(64, 'f') + "' WHERE uid = '{run}'", 1,
         SealFinding::What::Changed, "run"},
        {"a repair's part edited", "UPDATE remarks SET part = 'lamp' WHERE uid = '{remark}'", 1,
         SealFinding::What::Changed, "remark"},
        {"a repair made a note", "UPDATE remarks SET kind = 'note' WHERE uid = '{remark}'", 1,
         SealFinding::What::Changed, "remark"},
        {"a run moved to another site", "UPDATE runs SET site = 'elsewhere' WHERE uid = '{run}'", 1,
         SealFinding::What::Changed, "run"},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.what);
        const std::string where = fx.new_store(GetParam());
        auto book = fx.open(where);
        ASSERT_TRUE(book);
        const RunRecord first = run_of({entry("2026-01-01 09:00:00", 5, "Hall", 0xFF), entry("2026-01-02 09:00:00")}, {5});
        const Remark remark{new_run_uid(), "10.0.0.7", 5, "2026-01-03 10:00:00", "tech", "battery replaced", "",
                            kRemarkRepair, "battery"};
        const RunRecord second = run_of({entry("2026-01-02 09:00:00"), entry("2026-01-03 09:00:00")});
        ASSERT_TRUE(book->record(first) && book->add_remark(remark) && book->record(second)) << book->error();
        const auto last = book->last_seal("");
        ASSERT_TRUE(last);
        EXPECT_EQ(last->position, 3);
        EXPECT_EQ(last->uid, second.uid);
        if (!e.sql.empty()) {
            ASSERT_TRUE(store_exec(GetParam(), where, filled(e.sql, first.uid, remark.uid)));
        }

        const ChainCheck chain = book->verify_seals();
        ASSERT_TRUE(chain.whole) << book->error();
        EXPECT_EQ(chain.last.seal, last->seal);
        ASSERT_EQ(chain.findings.size(), e.findings);
        if (e.findings == 0) {
            EXPECT_TRUE(chain.holds());
            continue;
        }
        const SealFinding& f = chain.findings.front();
        EXPECT_EQ(f.what, e.first);
        const std::string named = e.names;
        const std::string uid = named == "run"        ? first.uid
                                : named == "remark"   ? remark.uid
                                : named == "inserted" ? "hand"
                                                      : "";
        EXPECT_EQ(f.uid, uid) << f.text;
        if (!uid.empty()) {
            EXPECT_NE(f.text.find(uid), std::string::npos) << f.text;
        }
    }
}

// What the logbook held before it had seals is sealed once, when it is
// opened, and later records follow on in the same chain.
TEST_P(SealTest, ALogbookWithoutSealsIsSealedOnOpening) {
    const std::string where = fx.new_store(GetParam());
    ASSERT_TRUE(make_older_store(GetParam(), where, 2, kVersion2Rows));
    auto book = fx.open(where);
    ASSERT_TRUE(book);
    ASSERT_TRUE(book->record(run_of({entry("2026-02-01 09:00:00")})));
    const ChainCheck chain = book->verify_seals();
    EXPECT_TRUE(chain.holds()) << (chain.findings.empty() ? book->error() : chain.findings[0].text);
    EXPECT_EQ(chain.runs, 2u);
    EXPECT_EQ(chain.remarks, 1u);
    EXPECT_EQ(chain.last.position, 3);
}

INSTANTIATE_TEST_SUITE_P(Stores, SealTest, kStoreKinds, store_name);

}  // namespace

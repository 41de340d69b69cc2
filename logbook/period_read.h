// The queries of Logbook::period(), the same for both stores, written with
// ?1, ?2 ... placeholders (in_dialect() spells them for PostgreSQL). Each
// walks the 128 units of a site and reaches each luminaire's rows through
// its index, so a read grows with the period asked for, not with the years
// the logbook holds.
#pragma once

#include "logbook.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// unit, test time of its first entry before ?2; ?1 site. Only units
// that have one.
std::string period_first_tests_query();
// The entry columns of history_query() (without its mark): each unit's
// newest function test and newest duration test with a result before ?2;
// ?1 site.
std::string period_tests_before_query();
// The entry columns: every entry from ?2 up to ?3, by unit and time; ?1
// site.
std::string period_entries_query();
// The remark columns: every remark (notes and repairs) from ?2 up to ?3,
// by unit and time; ?1 site.
std::string period_remarks_query();
// gateway, unit, taken, status: each unit's newest snapshot taken before
// ?2; ?1 site.
std::string period_snapshots_query();

// The luminaires of a period read, gathered as the queries' rows come in.
class PeriodLuminaires {
public:
    void first_test(std::int64_t unit, std::string testTime) { of(unit).firstTest = std::move(testTime); }
    void test_before(LogEntry e) {
        PeriodRead::Luminaire& l = of(e.unit);
        (e.testType == 1 ? l.durationBefore : l.functionBefore) = std::move(e);
    }
    void snapshot(const StatusSnapshot& s) { of(s.unit).snapshot = s; }
    std::vector<PeriodRead::Luminaire> take();   // by unit

private:
    PeriodRead::Luminaire& of(std::int64_t unit);
    std::map<std::uint8_t, PeriodRead::Luminaire> known_;
};

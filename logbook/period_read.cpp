#include "period_read.h"

#include "logbook_schema.h"

namespace {

// The unit numbers 0..127 of a gateway's two lines, as a table to walk.
const char* const kUnits =
    "WITH RECURSIVE units (unit) AS (SELECT 0 UNION ALL SELECT unit + 1 FROM units WHERE unit < 127) ";


// Stored results: 1 passed, 255 failed.
const char* const kWithResult = " AND f.result IN (1, 255)";

// The newest entry of one type, in the order of the entries' unique index
// (site, unit, test_time, test_type, result, minutes), so the store
// reads it backwards from ?2 and stops at the first row.
std::string newest_before(const char* typeTest) {
    return std::string("(SELECT f.id FROM entries f WHERE f.site = ?1 AND f.unit = u.unit AND f.test_time < ?2 AND ") +
           typeTest + kWithResult +
           " ORDER BY f.test_time DESC, f.test_type DESC, f.result DESC, f.minutes DESC LIMIT 1)";
}

}  // namespace

std::string period_first_tests_query() {
    return std::string(kUnits) +
           "SELECT x.unit, x.first_test FROM (SELECT u.unit, (SELECT f.test_time FROM entries f WHERE f.site = ?1"
           " AND f.unit = u.unit AND f.test_time < ?2 ORDER BY f.test_time LIMIT 1) AS first_test FROM units u) x"
           " WHERE x.first_test IS NOT NULL ORDER BY x.unit";
}

std::string period_tests_before_query() {
    const std::string one = "SELECT " + entry_columns("e") + " FROM units u CROSS JOIN entries e WHERE e.id = ";
    return std::string(kUnits) + one + newest_before("f.test_type <> 1") + " UNION ALL " + one +
           newest_before("f.test_type = 1") + " ORDER BY 3, 4";
}

std::string period_entries_query() {
    return std::string(kUnits) + "SELECT " + entry_columns("e") +
           " FROM units u CROSS JOIN entries e WHERE e.site = ?1 AND e.unit = u.unit AND e.test_time >= ?2"
           " AND e.test_time < ?3 ORDER BY e.unit, e.test_time, e.test_type, e.result, e.minutes";
}

std::string period_remarks_query() {
    return std::string(kUnits) + "SELECT " + remark_columns("r") + " FROM units u CROSS JOIN remarks r"
           " WHERE r.site = ?1 AND r.unit = u.unit AND r.written >= ?2 AND r.written < ?3"
           " ORDER BY r.unit, r.written, r.id";
}

std::string period_snapshots_query() {
    return std::string(kUnits) +
           "SELECT s.gateway, s.unit, s.taken, s.status FROM units u CROSS JOIN snapshots s WHERE s.id ="
           " (SELECT t.id FROM snapshots t WHERE t.site = ?1 AND t.unit = u.unit AND t.taken < ?2"
           " ORDER BY t.taken DESC LIMIT 1) ORDER BY s.unit";
}

PeriodRead::Luminaire& PeriodLuminaires::of(std::int64_t unit) {
    PeriodRead::Luminaire& l = known_[static_cast<std::uint8_t>(unit)];
    l.unit = static_cast<std::uint8_t>(unit);
    return l;
}

std::vector<PeriodRead::Luminaire> PeriodLuminaires::take() {
    std::vector<PeriodRead::Luminaire> out;
    for (auto& [unit, l] : known_) out.push_back(std::move(l));
    known_.clear();
    return out;
}

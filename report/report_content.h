// What a period's report says, computed from the logbook's values: a pure
// function of what the logbook holds for the site and the period, tested
// with tables. No I/O and no PDF here.
//
// The rules:
//  - A month cell counts every test of the month (function or duration)
//    that gave a result; a failure makes the month failed, a repair after
//    it makes it repaired. Months before the luminaire's first entry in the
//    logbook are no record; a month only partly in the period with no test
//    in that part is partial, and neither is a deviation.
//  - A failed function test is re-tested by the next test with a result, a
//    failed duration test by the next duration test with a result; the
//    repairs between the two belong to the failure. A repair that belongs
//    to no failure of the period is listed among the remarks.
//  - A duration test is required within twelve calendar months of the one
//    before (or of the start of the luminaire's history when there was
//    none); a duration test without a result does not count.
//  - The next tests fall due the gear's interval after the last ones (its
//    newest status snapshot, offsets 31 and 33), or a month and twelve
//    months after them when the interval is not known; a test due before
//    the period's end is overdue. The standing at the period's end is the
//    survey's verdict over the snapshot's failure bits, the latest test and
//    those overdue tests; a luminaire without any test is never tested
//    unless its gear reports a fault.
//  - The cover's sentence speaks of the tests only: a luminaire whose
//    status the logbook never read is a deviation, but not one of testing.
#pragma once

#include "logbook.h"
#include "report_values.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A site: the name the technician gave it and every gateway address it had.
struct ReportSite {
    std::string name;
    std::vector<std::string> gateways;
};

// A repair: a remark of kind repair, with the part it names.
struct ReportRepair {
    std::uint8_t unit = 0;
    std::string when;              // local "YYYY-MM-DD HH:MM:SS", as remarks are written
    std::string part;              // battery, lamp, gear, other
    std::string text;
    std::string author;
};

struct ReportInput {
    ReportSite site;
    std::string from, to;          // "YYYY-MM-DD", both days included
    // What the logbook holds of the site's gateways for the period
    // (Logbook::period, merged by unit when the site had several addresses).
    std::vector<PeriodRead::Luminaire> luminaires;
    std::vector<LogEntry> entries;
    std::vector<Remark> remarks;
    std::vector<ReportRepair> repairs;
    std::string madeBy, machine, madeAt;   // madeAt local "YYYY-MM-DD HH:MM"
    std::string incomplete;        // what the reading before the report missed; empty: nothing
    std::optional<std::string> seal;   // the logbook's last seal when the period was read, in words
};

ReportContent compute_report(const ReportInput& input);

// The period's checks, for the command line and the window: "" when
// `from` and `to` are real dates, from before to, not after `today`, and at
// most kMaxReportMonths apart; else why not, in words.
inline constexpr int kMaxReportMonths = 120;
std::string check_report_period(const std::string& from, const std::string& to, const std::string& today);
// The default period ending `today`: the first day of the month eleven
// months before, so the report shows twelve months with the present one.
std::string default_report_from(const std::string& today);
// The day after `date` ("YYYY-MM-DD"): where a period read stops.
std::string day_after(const std::string& date);

// What a period's report says, as plain values: the computation
// (report_content.h) fills them from the logbook, the PDF layout
// (report_pdf.h) only places them. Nothing here knows the logbook or the
// PDF writer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One month of one luminaire's record.
enum class MonthMark : std::uint8_t {
    NoRecord,    // before the logbook's history of the luminaire begins: it cannot say
    NotTested,   // a whole month of the period without a test
    NoResult,    // tested, but no test of the month gave a result
    Passed,      // every test of the month that gave a result passed
    Failed,      // a test of the month failed
    Repaired,    // a test of the month failed, and a repair was recorded after it
    Partial,     // only part of the month lies in the period, and that part holds no test
};

// How a luminaire stands at the end of the period.
enum class Standing : std::uint8_t { Ok, Fault, Overdue, NeverTested };

struct YearMonth {
    int year = 0;
    int month = 0;   // 1..12
    bool operator==(const YearMonth&) const = default;
};

// The last duration test up to the period's end.
struct DurationTestValue {
    std::string date;                  // "YYYY-MM-DD"
    std::optional<int> minutes;        // none when the gateway gave none
    std::uint8_t result = 0;           // 1 passed, 0xFF failed, else none
};

struct ReportLuminaire {
    std::uint8_t unit = 0;
    std::string address;               // "A5"
    std::string name, location;        // as the newest entry has them
    std::vector<MonthMark> months;     // one per month of the period
    std::optional<DurationTestValue> lastDuration;
    std::optional<int> ratedMinutes;   // from the newest status snapshot
    // "YYYY-MM-DD" when the next test falls due; empty when it cannot be
    // said (never tested). Overdue: due before the period's end.
    std::string nextFunctionDue, nextDurationDue;
    bool functionOverdue = false, durationOverdue = false;
    Standing standing = Standing::Ok;
    std::string why;                   // the faults and overdue tests in words; empty when none
};

// A repair recorded after a failure, as the technician wrote it.
struct RepairValue {
    std::string when;                  // "YYYY-MM-DD HH:MM:SS"
    std::string part;                  // battery, lamp, gear, other; may be empty
    std::string text;
    std::string author;
};

// A failed test of the period, what was done about it, and the test after.
struct DefectValue {
    std::string address, name;
    std::string when;                  // the failed test's time
    bool durationTest = false;
    std::optional<int> minutes;
    std::vector<RepairValue> repairs;  // between the failure and its re-test
    // The first test after it that shows whether the fault is gone: for a
    // function test any test with a result, for a duration test a duration
    // test with a result. None: not re-tested in the period.
    std::optional<std::string> retestWhen;
    bool retestPassed = false;
};

enum class DeviationKind : std::uint8_t {
    NeverTested,        // known to the logbook, no test entry
    HistoryStartsLate,  // its history in the logbook begins after the period does
    MonthsNotTested,    // whole months without a test with a result
    NoDurationTest,     // no duration test within twelve months somewhere in the period
    ImpossibleDate,     // an entry whose test time is no date
    StatusNeverRead,    // tested, but no status of it in the logbook: faults and rated duration unknown
};

struct DeviationValue {
    std::string address, name;
    DeviationKind kind = DeviationKind::MonthsNotTested;
    std::string text;                  // what is missing, in words
};

struct RemarkValue {
    std::string when;                  // as written, "YYYY-MM-DD HH:MM:SS"
    std::string address;
    std::string author;
    std::string text;
};

struct StandingCounts {
    int ok = 0, fault = 0, overdue = 0, neverTested = 0;
};

struct ReportContent {
    std::string site;
    std::vector<std::string> gateways;   // every address the site's gateway had
    std::string from, to;                // "YYYY-MM-DD", both days included
    std::string madeBy, machine, madeAt; // the user, this machine, local "YYYY-MM-DD HH:MM"
    std::vector<YearMonth> months;       // the months the period touches, in order
    bool endsToday = true;               // the period ends on the day the report is made (or later)
    int lineA = 0, lineB = 0;            // luminaires on each line
    StandingCounts counts;
    // Whether every luminaire had a test in every month and a duration test
    // within twelve months, and the sentence that says it.
    bool asRequired = false;
    std::string summary;
    // What was missing from what the report was made of (an incomplete
    // reading of the gateway before it); empty when nothing was.
    std::string incomplete;
    std::vector<ReportLuminaire> luminaires;   // by unit
    std::vector<DefectValue> defects;          // by time
    std::vector<DeviationValue> deviations;    // by luminaire
    std::vector<RemarkValue> remarks;          // by time
    // The earliest test falling due on the site after the period, and which.
    std::string nextDue, nextDueWhat;
    // The seal of the logbook's last record when the report read it, with
    // its place in the chain: the report can be matched with the logbook it
    // came from. None when the logbook had no sealed record.
    std::optional<std::string> seal;
};

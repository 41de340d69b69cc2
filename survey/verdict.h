// The verdict of a surveyed luminaire: which failure-status bits make it a
// fault, which make it overdue, and how each verdict is written and
// coloured. The command line, the survey page, the survey workbook and the
// tests all read these tables, so the rule lives here only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class Verdict : std::uint8_t { Ok, Overdue, Fault, NotRead };

// What one failure-status bit (status reply offset 49, lowest bit first)
// makes of a luminaire, and its short column heading.
struct FailureBitRule {
    std::uint8_t bit;
    Verdict verdict;        // Fault or Overdue
    const char* heading;    // survey column heading and the words on the command line
};

inline constexpr std::array<FailureBitRule, 8> kFailureBitRules = {{
    {0, Verdict::Fault, "Circuit failure"},
    {1, Verdict::Fault, "Rated duration not achieved"},
    {2, Verdict::Fault, "Battery fault"},
    {3, Verdict::Fault, "Lamp failure"},
    {4, Verdict::Overdue, "Function test overdue"},
    {5, Verdict::Overdue, "Duration test overdue"},
    {6, Verdict::Fault, "Function test failed"},
    {7, Verdict::Fault, "Duration test failed"},
}};

// The bits that say a test is overdue, which the history can stand in for.
inline constexpr std::uint8_t kFunctionOverdueBit = 4;
inline constexpr std::uint8_t kDurationOverdueBit = 5;

// A failed latest test entry makes a fault as well.
inline constexpr Verdict kLatestTestFailedVerdict = Verdict::Fault;
inline constexpr const char* kLatestTestFailedWords = "Last test failed";

// How a verdict is shown. `colorIndex` picks from the workbook's palette
// (0: no fill); `rgb` is the same colour for the page. `rank` orders the
// list of luminaires that need attention (lower first; 0 = needs none).
struct VerdictStyle {
    Verdict verdict;
    const char* text;
    int colorIndex;
    unsigned rgb;
    int rank;
};

inline constexpr std::array<VerdictStyle, 4> kVerdictStyles = {{
    {Verdict::Fault, "fault", 3, 0xFF0000, 1},        // palette red
    {Verdict::Overdue, "overdue", 45, 0xFF9900, 2},   // palette amber
    {Verdict::NotRead, "not read", 15, 0xC0C0C0, 3},  // palette grey
    {Verdict::Ok, "ok", 0, 0xFFFFFF, 0},
}};

const VerdictStyle& verdict_style(Verdict verdict);

// How often the gear wants its tests: status reply offset 31 (days between
// function tests) and 33 (weeks between duration tests); 0 means no interval.
inline constexpr std::size_t kStatusOffsetFunctionTestInterval = 31;
inline constexpr std::size_t kStatusOffsetDurationTestInterval = 33;
inline constexpr int kDaysPerWeek = 7;

struct TestIntervals {
    std::uint8_t functionDays = 0;
    std::uint8_t durationWeeks = 0;
};

// The newest function and duration test known (the logbook's history and
// the gateway's entries), "YYYY-MM-DD..." as the logbook writes a test
// time; empty when none is known.
struct LastTests {
    std::string functionTest;
    std::string durationTest;
};

// The tests that are overdue by the history: the gateway's bits may not say
// so, and the gateway may have forgotten the last test long ago.
struct HistoryOverdue {
    bool function = false;
    bool duration = false;
    std::string functionLast, durationLast;   // "YYYY-MM-DD" of the last test known
    bool any() const { return function || duration; }
};

// A test is overdue when more days than its interval have passed from its
// last test to `today` ("YYYY-MM-DD", the survey's date). An interval of 0,
// no such test known or a date that is no date decides nothing.
HistoryOverdue overdue_by_history(const TestIntervals& intervals, const LastTests& last, const std::string& today);

// How an overdue test found in the history is said: "Duration test overdue
// (last in the logbook 2025-01-10)".
inline constexpr const char* kLastInLogbookWords = "last in the logbook";

// The verdict from the failure-status byte, the latest entry and the
// history: fault before overdue before ok.
Verdict judge_luminaire(std::uint8_t failureBits, bool latestTestFailed, const HistoryOverdue& history = {});

// One reason for a verdict: what it makes of the luminaire, what it is
// (the rule's heading, which stays the same when the words change: an
// overdue test's last date, say) and how it is said.
struct VerdictReason {
    Verdict verdict;        // Fault or Overdue
    std::string key;        // the heading of its rule, or kLatestTestFailedWords
    std::string words;
};

// The reasons in the order of the rules, the failed latest test last. A test
// overdue by the history is said with its last date, in place of the
// gateway's bit.
std::vector<VerdictReason> failure_reasons(std::uint8_t failureBits, bool latestTestFailed,
                                           const HistoryOverdue& history = {});
// The reasons' words, "; " between them ("Battery fault; Lamp failure");
// empty when there is none.
std::string failure_words(std::uint8_t failureBits, bool latestTestFailed, const HistoryOverdue& history = {});

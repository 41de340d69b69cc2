// The verdict of a surveyed luminaire: which failure-status bits make it a
// fault, which make it overdue, and how each verdict is written and
// coloured. The command line, the survey page, the survey workbook and the
// tests all read these tables, so the rule lives here only.
#pragma once

#include <array>
#include <cstdint>
#include <string>

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

// The verdict from the failure-status byte and the latest entry: fault
// before overdue before ok.
Verdict judge_luminaire(std::uint8_t failureBits, bool latestTestFailed);

// The failures in words, "; " between them ("Battery fault; Lamp failure"),
// the failed latest test last; empty when there is none.
std::string failure_words(std::uint8_t failureBits, bool latestTestFailed);

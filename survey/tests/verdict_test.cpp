// The verdict rule: which failure-status bits make a fault, which make a
// luminaire overdue, and that a failed latest test is a fault too.
#include "verdict.h"

#include <gtest/gtest.h>

namespace {

TEST(Verdict, FaultBeforeOverdueBeforeOk) {
    struct Case {
        std::uint8_t bits;
        bool latestFailed;
        Verdict expected;
        const char* words;
    };
    const Case cases[] = {
        {0x00, false, Verdict::Ok, ""},
        {0x01, false, Verdict::Fault, "Circuit failure"},
        {0x02, false, Verdict::Fault, "Rated duration not achieved"},
        {0x04, false, Verdict::Fault, "Battery fault"},
        {0x08, false, Verdict::Fault, "Lamp failure"},
        {0x10, false, Verdict::Overdue, "Function test overdue"},
        {0x20, false, Verdict::Overdue, "Duration test overdue"},
        {0x40, false, Verdict::Fault, "Function test failed"},
        {0x80, false, Verdict::Fault, "Duration test failed"},
        {0x30, false, Verdict::Overdue, "Function test overdue; Duration test overdue"},
        {0x14, false, Verdict::Fault, "Battery fault; Function test overdue"},
        {0x00, true, Verdict::Fault, "Last test failed"},
        {0x20, true, Verdict::Fault, "Duration test overdue; Last test failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.bits));
        EXPECT_EQ(judge_luminaire(c.bits, c.latestFailed), c.expected);
        EXPECT_EQ(failure_words(c.bits, c.latestFailed), c.words);
    }
}

// Overdue by the history: the last test known older than its interval at
// the survey's date, whatever the gateway's bits say; a fault still wins.
TEST(Verdict, ATestOlderThanItsIntervalIsOverdue) {
    struct Case {
        const char* name;
        std::uint8_t bits;
        TestIntervals intervals;   // days, weeks
        LastTests last;
        const char* today;
        Verdict expected;
        const char* words;
    };
    const Case cases[] = {
        {"function test within 28 days", 0, {28, 52}, {"2026-11-03 01:09:21", "2026-06-04 02:00:00"}, "2026-12-01",
         Verdict::Ok, ""},
        {"function test 29 days ago", 0, {28, 52}, {"2026-11-03 01:09:21", "2026-06-04 02:00:00"}, "2026-12-02",
         Verdict::Overdue, "Function test overdue (last in the logbook 2026-11-03)"},
        {"duration test 52 weeks and a day ago", 0, {28, 52}, {"2026-01-20", "2025-01-10 02:00:00"}, "2026-01-10",
         Verdict::Overdue, "Duration test overdue (last in the logbook 2025-01-10)"},
        {"duration test exactly 52 weeks ago", 0, {28, 52}, {"2026-01-09", "2025-01-10"}, "2026-01-09", Verdict::Ok,
         ""},
        {"over a leap day", 0, {28, 0}, {"2024-02-01", ""}, "2024-02-29", Verdict::Ok, ""},
        {"over a leap day, one more", 0, {28, 0}, {"2024-02-01", ""}, "2024-03-01", Verdict::Overdue,
         "Function test overdue (last in the logbook 2024-02-01)"},
        {"intervals of 0 decide nothing", 0, {0, 0}, {"2000-01-01", "2000-01-01"}, "2026-12-09", Verdict::Ok, ""},
        {"no test known decides nothing", 0, {28, 52}, {"", ""}, "2026-12-09", Verdict::Ok, ""},
        {"a date that is no date decides nothing", 0, {28, 52}, {"2026-02-30", "garbage"}, "2026-12-09", Verdict::Ok,
         ""},
        {"the gateway's bit stands", 0x20, {28, 52}, {"", ""}, "2026-12-09", Verdict::Overdue, "Duration test overdue"},
        {"bit and history said once", 0x20, {28, 52}, {"2026-12-01", "2025-01-10"}, "2026-12-09", Verdict::Overdue,
         "Duration test overdue (last in the logbook 2025-01-10)"},
        {"both overdue", 0, {28, 52}, {"2026-10-01", "2025-01-10"}, "2026-12-09", Verdict::Overdue,
         "Function test overdue (last in the logbook 2026-10-01); Duration test overdue (last in the logbook 2025-01-10)"},
        {"a fault wins", 0x04, {28, 52}, {"2026-10-01", ""}, "2026-12-09", Verdict::Fault,
         "Battery fault; Function test overdue (last in the logbook 2026-10-01)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HistoryOverdue h = overdue_by_history(c.intervals, c.last, c.today);
        EXPECT_EQ(judge_luminaire(c.bits, false, h), c.expected);
        EXPECT_EQ(failure_words(c.bits, false, h), c.words);
    }
}

TEST(Verdict, EachVerdictHasItsTextAndColour) {
    struct Case {
        Verdict verdict;
        const char* text;
        int colorIndex;   // the palette's red, amber (light orange), grey
    };
    const Case cases[] = {{Verdict::Fault, "fault", 3}, {Verdict::Overdue, "overdue", 45},
                          {Verdict::NotRead, "not read", 15}, {Verdict::Ok, "ok", 0}};
    for (const Case& c : cases) {
        EXPECT_STREQ(verdict_style(c.verdict).text, c.text);
        EXPECT_EQ(verdict_style(c.verdict).colorIndex, c.colorIndex);
    }
    EXPECT_LT(verdict_style(Verdict::Fault).rank, verdict_style(Verdict::Overdue).rank);
    EXPECT_LT(verdict_style(Verdict::Overdue).rank, verdict_style(Verdict::NotRead).rank);
    EXPECT_EQ(verdict_style(Verdict::Ok).rank, 0);
}

}  // namespace

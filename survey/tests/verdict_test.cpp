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

// What a report says, from hand-made logbook values: the month cells, the
// failures with their repairs and re-tests, the deviations, the tests due
// and the standing at the period's end, the cover's counts and sentence.
#include "report_content.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint8_t kUnit = 5;   // A5
constexpr std::uint8_t P = 1, F = 0xFF, N = 0;   // passed, failed, no result

LogEntry test(const std::string& when, std::uint8_t result, bool duration = false, std::uint8_t minutes = 1) {
    LogEntry e;
    e.gateway = "10.0.0.7";
    e.unit = kUnit;
    e.testType = duration ? 1 : 0;
    e.testTime = when.size() == 10 ? when + " 01:00:00" : when;
    e.result = result;
    e.minutes = minutes;
    e.name = "Lobby";
    e.location = "Ground floor";
    return e;
}
LogEntry dt(const std::string& when, std::uint8_t result, std::uint8_t minutes = 180) {
    return test(when, result, true, minutes);
}

ReportRepair repair(const std::string& when, const std::string& text) { return {kUnit, when + " 12:00:00", "battery", text, "tech"}; }

// One luminaire known since `first`, its tests of the period and what came before.
ReportInput one(const std::string& from, const std::string& to, std::vector<LogEntry> entries,
                const std::string& first = "2020-01-01 01:00:00") {
    ReportInput in;
    in.site = {"Hospital West", {"10.0.0.7"}};
    in.from = from;
    in.to = to;
    PeriodRead::Luminaire l;
    l.unit = kUnit;
    l.firstTest = first;
    in.luminaires.push_back(l);
    in.entries = std::move(entries);
    return in;
}

std::string marks(const ReportLuminaire& l) {
    std::string out;
    for (const MonthMark m : l.months) out += " -?PFR."[static_cast<int>(m)];
    return out;
}

TEST(ReportMonths, EachMonthShowsWhatItsTestsSay) {
    struct Case {
        const char* rule;
        std::string from, to, first;
        std::vector<LogEntry> entries;
        std::vector<ReportRepair> repairs;
        const char* marks;
    };
    const std::string since = "2020-01-01 01:00:00";
    const std::vector<Case> cases = {
        {"a test each month; the month in progress has none yet", "2026-01-01", "2026-04-15", since,
         {test("2026-01-05", P), test("2026-02-05", P), test("2026-03-05", P)}, {}, "PPP."},
        {"a month without a test", "2026-01-01", "2026-04-30", since,
         {test("2026-01-05", P), test("2026-03-05", P), test("2026-04-05", P)}, {}, "P-PP"},
        {"a failure makes the month failed, a pass after it too", "2026-01-01", "2026-02-28", since,
         {test("2026-01-05", F), test("2026-01-07", P), test("2026-02-05", P)}, {}, "FP"},
        {"a repair after the failure marks it repaired", "2026-01-01", "2026-02-28", since,
         {test("2026-01-05", F), test("2026-01-07", P), test("2026-02-05", P)}, {repair("2026-01-06", "new battery")},
         "RP"},
        {"a test without a result is no pass", "2026-01-01", "2026-02-28", since,
         {test("2026-01-05", P), test("2026-02-05", N)}, {}, "P?"},
        {"the duration test counts for its month", "2026-01-01", "2026-02-28", since,
         {test("2026-01-05", P), dt("2026-02-06", P)}, {}, "PP"},
        {"before the logbook's history nothing can be said", "2026-01-01", "2026-03-31", "2026-02-10 01:00:00",
         {test("2026-02-10", P), test("2026-03-10", P)}, {}, " PP"},
        {"a never tested luminaire has no record", "2026-01-01", "2026-02-28", "", {}, {}, "  "},
        {"a period from mid-month: its first month is partial", "2026-01-15", "2026-02-28", since,
         {test("2026-02-05", P)}, {}, ".P"},
        {"the period's last moment counts", "2026-01-01", "2026-01-31", since, {test("2026-01-31 23:59:59", P)}, {}, "P"},
    };
    for (const Case& c : cases) {
        ReportInput in = one(c.from, c.to, c.entries, c.first);
        in.repairs = c.repairs;
        const ReportContent r = compute_report(in);
        ASSERT_EQ(r.luminaires.size(), 1u) << c.rule;
        EXPECT_EQ(marks(r.luminaires[0]), c.marks) << c.rule;
    }
}

// "OK 2026-01-07", "FAILED ...", "none", and the repairs linked to it.
std::string defect_text(const DefectValue& d) {
    std::string out = d.when.substr(0, 10) + (d.durationTest ? " DT" : " FT") + " re-test ";
    out += d.retestWhen ? (d.retestPassed ? "OK " : "FAILED ") + d.retestWhen->substr(0, 10) : "none";
    for (const RepairValue& r : d.repairs) out += " / " + r.text;
    return out;
}

TEST(ReportDefects, EachFailureGetsItsRepairsAndTheTestAfterThem) {
    struct Case {
        const char* rule;
        std::vector<LogEntry> entries;
        std::vector<ReportRepair> repairs;
        std::vector<std::string> defects;
    };
    const std::vector<Case> cases = {
        {"re-tested two days later", {test("2026-03-05", F), test("2026-03-07", P)}, {}, {"2026-03-05 FT re-test OK 2026-03-07"}},
        {"a duration test re-tests a function test",
         {test("2026-03-05", F), dt("2026-03-09", P)}, {}, {"2026-03-05 FT re-test OK 2026-03-09"}},
        {"only a duration test re-tests a duration test",
         {dt("2026-03-05", F, 47), test("2026-03-07", P), dt("2026-03-20", P)}, {},
         {"2026-03-05 DT re-test OK 2026-03-20"}},
        {"a test without a result re-tests nothing", {test("2026-03-05", F), test("2026-03-07", N)}, {},
         {"2026-03-05 FT re-test none"}},
        {"a failed re-test is a failure of its own",
         {test("2026-03-05", F), test("2026-03-07", F), test("2026-04-05", P)}, {repair("2026-03-08", "lamp")},
         {"2026-03-05 FT re-test FAILED 2026-03-07", "2026-03-07 FT re-test OK 2026-04-05 / lamp"}},
        {"repairs between failure and re-test are its own, not those before or after",
         {test("2026-03-05", F), test("2026-03-20", P)},
         {repair("2026-03-01", "before"), repair("2026-03-06", "battery"), repair("2026-03-10", "gear"),
          repair("2026-03-21", "after")},
         {"2026-03-05 FT re-test OK 2026-03-20 / battery / gear"}},
        {"a repair with no test after it yet", {test("2026-03-05", F)}, {repair("2026-03-06", "battery")},
         {"2026-03-05 FT re-test none / battery"}},
    };
    for (const Case& c : cases) {
        ReportInput in = one("2026-01-01", "2026-06-30", c.entries);
        in.repairs = c.repairs;
        std::vector<std::string> got;
        for (const DefectValue& d : compute_report(in).defects) got.push_back(defect_text(d));
        EXPECT_EQ(got, c.defects) << c.rule;
    }
}

std::vector<std::string> deviation_texts(const ReportContent& r, DeviationKind kind) {
    std::vector<std::string> out;
    for (const DeviationValue& d : r.deviations)
        if (d.kind == kind) out.push_back(d.text);
    return out;
}

TEST(ReportDeviations, ADurationTestIsDueWithinTwelveMonthsOfTheOneBefore) {
    struct Case {
        const char* rule;
        std::optional<LogEntry> before;
        std::string first;
        std::vector<LogEntry> entries;
        std::vector<std::string> gaps;
    };
    const std::vector<Case> cases = {
        {"twelve months to the day is in time", dt("2025-03-01", P), "2020-01-01", {dt("2026-03-01", P)}, {}},
        {"a day late", dt("2025-03-01", P), "2020-01-01", {dt("2026-03-02", P)},
         {"no duration test from 2026-03-01 until 2026-03-02 (the last before was on 2025-03-01)"}},
        {"none since", dt("2025-06-01", F, 40), "2020-01-01", {},
         {"no duration test within twelve months since 2026-06-01 (the last before was on 2025-06-01)"}},
        {"one without a result does not count", dt("2025-03-01", P), "2020-01-01", {dt("2026-02-01", N)},
         {"no duration test within twelve months since 2026-03-01 (the last before was on 2025-03-01)"}},
        {"a history of less than a year owes none yet", std::nullopt, "2026-02-01 01:00:00", {test("2026-02-01", P)}, {}},
        {"a history of more than a year owes one", std::nullopt, "2025-01-10 01:00:00", {},
         {"no duration test within twelve months since 2026-01-10 (its history in the logbook began on 2025-01-10)"}},
    };
    for (const Case& c : cases) {
        ReportInput in = one("2026-01-01", "2026-12-09", c.entries, c.first);
        in.luminaires[0].durationBefore = c.before;
        EXPECT_EQ(deviation_texts(compute_report(in), DeviationKind::NoDurationTest), c.gaps) << c.rule;
    }
}

TEST(ReportDeviations, MissingMonthsLateHistoriesNeverTestedAndNoDates) {
    ReportInput in = one("2026-01-01", "2026-04-30",
                         {test("2026-01-05", P), test("2026-03-05", N), test("2026-04-05", P),
                          test("2026-02-30 01:00:00", P), dt("2026-01-20", P)});
    PeriodRead::Luminaire late, never;
    late.unit = 70;
    late.firstTest = "2026-03-02 01:00:00";
    never.unit = 71;
    never.snapshot = StatusSnapshot{};
    in.luminaires.push_back(late);
    in.luminaires.push_back(never);
    in.luminaires[0].durationBefore = dt("2025-02-01", P);
    for (const char* day : {"2026-03-02", "2026-04-02"}) {
        LogEntry lateTest = test(day, P);
        lateTest.unit = 70;
        in.entries.push_back(lateTest);
    }
    const ReportContent r = compute_report(in);
    EXPECT_EQ(deviation_texts(r, DeviationKind::MonthsNotTested),
              std::vector<std::string>{"no function test in 2026-02, 2026-03 (tested, no result)"});
    EXPECT_EQ(deviation_texts(r, DeviationKind::ImpossibleDate),
              std::vector<std::string>{"a test whose time \"2026-02-30 01:00:00\" is no date; it is left out"});
    EXPECT_EQ(deviation_texts(r, DeviationKind::HistoryStartsLate),
              std::vector<std::string>{"its history in the logbook begins on 2026-03-02: the logbook cannot show the "
                                       "months before"});
    EXPECT_EQ(deviation_texts(r, DeviationKind::NeverTested),
              std::vector<std::string>{"never tested: no test of it in the logbook"});
    // The status of A5 and B6 was never read: said, but no failure of testing.
    EXPECT_EQ(deviation_texts(r, DeviationKind::StatusNeverRead).size(), 2u);
    EXPECT_EQ(r.counts.neverTested, 1);
    EXPECT_EQ(r.lineA, 1);
    EXPECT_EQ(r.lineB, 2);
    EXPECT_FALSE(r.asRequired);
    EXPECT_EQ(r.summary,
              "Not every luminaire was tested as required: 1 luminaire without a function test in some month, "
              "1 luminaire never tested, 1 luminaire whose history in the logbook starts after the period begins and "
              "1 luminaire with a test whose date is no date. The deviations are listed below.");
}

StatusSnapshot status(std::uint8_t failureBits, std::uint8_t functionDays = 28, std::uint8_t durationWeeks = 52) {
    StatusSnapshot s;
    s.status[31 - 17] = functionDays;
    s.status[33 - 17] = durationWeeks;
    s.status[47 - 17] = 180;
    s.status[49 - 17] = failureBits;
    return s;
}

TEST(ReportStanding, TheVerdictAtThePeriodsEndAndTheTestsDue) {
    struct Case {
        const char* rule;
        std::vector<LogEntry> entries;
        std::optional<StatusSnapshot> snapshot;
        Standing standing;
        std::string function, duration;   // due, "!" marks overdue
        const char* why;
    };
    const std::vector<Case> cases = {
        {"tested in time", {dt("2026-06-01", P), test("2026-11-20", P)}, status(0), Standing::Ok, "2026-12-18",
         "2027-05-31", ""},
        {"the gear's fault bits", {dt("2026-06-01", P), test("2026-11-20", P)}, status(0x04), Standing::Fault,
         "2026-12-18", "2027-05-31", "Battery fault"},
        {"the latest test failed", {dt("2026-06-01", P), test("2026-11-20", F)}, status(0), Standing::Fault,
         "2026-12-18", "2027-05-31", "Last test failed"},
        {"a function test more than the interval ago", {dt("2026-06-01", P), test("2026-11-01", P)}, status(0),
         Standing::Overdue, "!2026-11-29", "2027-05-31", "Function test overdue (last in the logbook 2026-11-01)"},
        {"without a snapshot, by the calendar", {dt("2025-11-01", P), test("2026-11-20", P)}, std::nullopt,
         Standing::Overdue, "2026-12-20", "!2026-11-01", "Duration test overdue (last in the logbook 2025-11-01)"},
    };
    for (const Case& c : cases) {
        ReportInput in = one("2026-01-01", "2026-12-09", c.entries);
        in.luminaires[0].snapshot = c.snapshot;
        const ReportLuminaire l = compute_report(in).luminaires.at(0);
        EXPECT_EQ(l.standing, c.standing) << c.rule;
        EXPECT_EQ((l.functionOverdue ? "!" : "") + l.nextFunctionDue, c.function) << c.rule;
        EXPECT_EQ((l.durationOverdue ? "!" : "") + l.nextDurationDue, c.duration) << c.rule;
        EXPECT_EQ(l.why, c.why) << c.rule;
    }
}

TEST(ReportCover, AllTestedAsRequiredIsSaidSo) {
    ReportInput in = one("2026-01-01", "2026-02-28", {dt("2026-01-05", P, 175), test("2026-02-02", P)});
    in.luminaires[0].snapshot = status(0);
    in.luminaires[0].durationBefore = dt("2025-02-01", P);
    in.remarks.push_back({"u", "10.0.0.7", kUnit, "2026-02-03 09:00:00", "tech", "cleaned"});
    const ReportContent r = compute_report(in);
    EXPECT_TRUE(r.asRequired);
    EXPECT_EQ(r.summary, "Every luminaire had a function test in every month of the period and a duration test within "
                         "twelve months.");
    EXPECT_EQ(r.counts.ok, 1);
    ASSERT_TRUE(r.luminaires[0].lastDuration);
    EXPECT_EQ(*r.luminaires[0].lastDuration->minutes, 175);
    EXPECT_EQ(*r.luminaires[0].ratedMinutes, 180);
    EXPECT_EQ(r.nextDue, "2026-03-02");
    EXPECT_EQ(r.nextDueWhat, "A5 Lobby, function test");
    ASSERT_EQ(r.remarks.size(), 1u);
    EXPECT_EQ(r.remarks[0].address, "A5");
    EXPECT_EQ(r.months.size(), 2u);
}

TEST(ReportPeriod, ChecksAndTheDefault) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"2026-01-01", "2026-12-09", ""},
        {"2026-01-01", "2026-12-10", "the period ends after today (2026-12-09)"},
        {"2026-02-01", "2026-01-31", "the period ends (2026-01-31) before it begins (2026-02-01)"},
        {"2016-12-10", "2026-12-09", ""},
        {"2016-12-09", "2026-12-09", "a report covers at most 10 years"},
        {"2026-02-29", "2026-12-09", "'2026-02-29' is not a date YYYY-MM-DD"},
    };
    for (const auto& [from, to, why] : cases) EXPECT_EQ(check_report_period(from, to, "2026-12-09"), why) << from;
    EXPECT_EQ(default_report_from("2026-12-09"), "2026-01-01");
    EXPECT_EQ(default_report_from("2026-03-31"), "2025-04-01");
    EXPECT_EQ(day_after("2028-02-28"), "2028-02-29");
}

}  // namespace

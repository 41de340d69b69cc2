// What the monitor keeps in the logbook reads back as it was written: the
// mail of an alert read back is the mail of the alert, and the next round
// compares with an outcome read back as with the outcome itself. Text that
// no program of ours wrote is refused, never half read.
#include "alert_mail.h"
#include "monitor_state_text.h"

#include <gtest/gtest.h>

namespace {

LuminaireOutcome luminaire(std::uint8_t unit, Verdict verdict, Verdict known, std::string name) {
    LuminaireOutcome l;
    l.unit = unit;
    l.name = std::move(name);
    l.location = "二楼";
    l.verdict = verdict;
    if (verdict == Verdict::NotRead) l.reasons = {{Verdict::NotRead, "", "no reply"}};
    else if (verdict != Verdict::Ok) l.reasons = {{verdict, "Battery fault", "Battery fault"}};
    l.knownVerdict = known;
    if (known != Verdict::Ok && known != Verdict::NotRead)
        l.knownReasons = {{known, "Function test overdue", "Function test overdue (last in the logbook 2026-01-02)"}};
    return l;
}

SiteOutcome outcome() {
    SiteOutcome o;
    o.site = "Hospital West";
    o.gateway = "10.0.0.9";
    o.surveyed = 1'800'000'123;
    o.reachable = true;
    o.listComplete = true;
    o.incompleteReason = "B3: no reply";
    o.luminaires = {luminaire(1, Verdict::Fault, Verdict::Fault, "Stair 2 exit"),
                    luminaire(66, Verdict::NotRead, Verdict::Overdue, "走廊 东")};
    return o;
}

TEST(MonitorStateText, AnOutcomeReadBackComparesAsTheOutcomeItself) {
    const SiteOutcome before = outcome();
    const std::optional<SiteOutcome> back = outcome_from_text(outcome_text(before));
    ASSERT_TRUE(back);
    // The next round: A1 recovered, B2 answers again with the overdue test
    // it had (known only through the kept outcome).
    SiteOutcome next = before;
    next.luminaires = {luminaire(1, Verdict::Ok, Verdict::Ok, "Stair 2 exit"),
                       luminaire(66, Verdict::Overdue, Verdict::Overdue, "走廊 东")};
    next.luminaires[1].reasons = before.luminaires[1].knownReasons;
    const SiteComparison expected = compare_outcomes(before, next);
    const SiteComparison got = compare_outcomes(*back, next);
    ASSERT_EQ(got.changes.size(), 2U);
    ASSERT_EQ(got.changes.size(), expected.changes.size());
    for (std::size_t i = 0; i < got.changes.size(); ++i) {
        EXPECT_EQ(got.changes[i].kind, expected.changes[i].kind);
        EXPECT_EQ(got.changes[i].reasons.size(), expected.changes[i].reasons.size());
    }
    EXPECT_EQ(got.changes[1].kind, ChangeKind::AnswersAgain);
    EXPECT_EQ(outcome_text(*back), outcome_text(before));
    EXPECT_EQ(back->incompleteReason, "B3: no reply");
}

TEST(MonitorStateText, AnAlertReadBackMakesTheSameMail) {
    const SiteOutcome o = outcome();
    Alert a;
    a.uid = "0123456789abcdef0123456789abcdef";
    a.messageId = "<0123456789abcdef0123456789abcdef.alert@example.org>";
    a.site = o.site;
    a.gateway = o.gateway;
    a.created = 1'800'000'200;
    a.surveyed = o.surveyed;
    a.firstRound = true;
    a.changes = compare_outcomes(std::nullopt, o).changes;
    a.counts = {3, 1, 1, 1};
    a.workbook = MailAttachment{"Site survey.xlsx", "application/x", ""};
    Alert digest = a;
    digest.kind = AlertKind::Digest;
    digest.period = "weekly";
    digest.reachable = false;
    digest.attention = o.luminaires;
    digest.setAside = {{"OrvyPc: 1 new fault at Hospital West", 1'800'000'000, "554 5.7.1 refused"}};
    const MailAddressing to{"orvypc@example.org", {"tech@example.org"}, "pc"};
    for (const Alert& alert : {a, digest}) {
        const std::optional<Alert> back = alert_from_text(alert_text(alert));
        ASSERT_TRUE(back);
        EXPECT_EQ(compose_mail(alert_mail(*back, to)), compose_mail(alert_mail(alert, to)));
        EXPECT_EQ(back->uid, alert.uid);
        EXPECT_TRUE(back->workbook) << "the workbook's bytes are kept apart, its name with the alert";
    }
}

TEST(MonitorStateText, TextNoProgramOfOursWroteIsRefused) {
    const std::string good = outcome_text(outcome());
    std::string unknownVerdict = good;
    unknownVerdict.replace(unknownVerdict.find("\"fault\""), 7, "\"broken\"");
    const std::string cases[] = {"", "garbage", "[1, 2]", "{}", R"({"site": 5})", unknownVerdict,
                                 good.substr(0, good.size() / 2)};
    for (const std::string& text : cases) {
        EXPECT_FALSE(outcome_from_text(text)) << text;
        EXPECT_FALSE(alert_from_text(text)) << text;
    }
}

TEST(MonitorStateText, NamesThatAreNoTextAreKeptWithReplacementCharacters) {
    SiteOutcome o = outcome();
    o.luminaires[0].name = "Pr\xfc" "fung";
    const std::optional<SiteOutcome> back = outcome_from_text(outcome_text(o));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->luminaires[0].name, "Pr\xef\xbf\xbd" "fung");
}

}  // namespace

// The comparison of a site's rounds: each case is a run of rounds, each
// round compared with what the previous comparison kept, and the changes it
// must find, written "A1 new fault: Battery fault*" (* a reason new then).
#include "site_changes.h"

#include <gtest/gtest.h>

namespace {

LuminaireOutcome lum(std::uint8_t unit, std::vector<std::string> reasons = {}) {
    LuminaireOutcome l;
    l.unit = unit;
    l.name = "L" + std::to_string(unit);
    l.verdict = Verdict::Ok;
    for (const std::string& r : reasons) {
        // "Function test overdue (last in the logbook 2025-01-10)" keeps the rule's key.
        const bool overdue = r.find("overdue") != std::string::npos;
        const std::string key = overdue ? r.substr(0, r.find(" (")) : r;
        l.reasons.push_back({overdue ? Verdict::Overdue : Verdict::Fault, key, r});
        if (!overdue) l.verdict = Verdict::Fault;
        else if (l.verdict == Verdict::Ok) l.verdict = Verdict::Overdue;
    }
    l.knownVerdict = l.verdict;
    l.knownReasons = l.reasons;
    return l;
}

LuminaireOutcome silent(std::uint8_t unit) {
    LuminaireOutcome l;
    l.unit = unit;
    l.reasons = {{Verdict::NotRead, "", "busy"}};
    return l;
}

SiteOutcome site(std::vector<LuminaireOutcome> ls, bool listComplete = true) {
    SiteOutcome s;
    s.site = s.key = s.gateway = "10.0.0.9";
    s.reachable = true;
    s.listComplete = listComplete;
    s.luminaires = std::move(ls);
    return s;
}

SiteOutcome down() {
    SiteOutcome s;
    s.site = s.key = s.gateway = "10.0.0.9";
    s.unreachableReason = "no connection to the gateway";
    return s;
}

std::string text_of(const SiteChange& c) {
    std::string out = (c.about_gateway() ? "" : c.address() + " ") + change_kind_text(c.kind) + ":";
    for (std::size_t i = 0; i < c.reasons.size(); ++i)
        out += (i ? ", " : " ") + c.reasons[i].words + (i < c.fresh.size() && c.fresh[i] ? "*" : "");
    for (std::size_t i = 0; i < c.still.size(); ++i) out += (i ? ", " : "; still ") + c.still[i].words;
    return out;
}

struct Round {
    SiteOutcome outcome;
    std::vector<std::string> changes;
};

struct Case {
    const char* name;
    std::vector<Round> rounds;
};

TEST(SiteChanges, EachRoundReportsWhatChangedSinceTheLastAndNothingTwice) {
    const std::string battery = "Battery fault", lamp = "Lamp failure", ft = "Function test overdue";
    const Case cases[] = {
        {"a site that is fine gives nothing, first round or not",
         {{site({lum(1), lum(2)}), {}}, {site({lum(1), lum(2)}), {}}}},
        {"the first round reports what needs attention",
         {{site({lum(1, {battery}), lum(2), silent(3)}), {"A1 new fault: Battery fault*", "A3 stopped answering: busy"}}}},
        {"a fault appears, stays, and recovers",
         {{site({lum(1)}), {}},
          {site({lum(1, {battery})}), {"A1 new fault: Battery fault*"}},
          {site({lum(1, {battery})}), {}},
          {site({lum(1)}), {"A1 recovered: Battery fault"}},
          {site({lum(1)}), {}}}},
        {"a further fault on a faulty luminaire is news; one clearing of two is not",
         {{site({lum(1, {battery})}), {"A1 new fault: Battery fault*"}},
          {site({lum(1, {battery, lamp})}), {"A1 new fault: Battery fault, Lamp failure*"}},
          {site({lum(1, {lamp})}), {}}}},
        {"overdue, then a fault on top, then the fault repaired",
         {{site({lum(1)}), {}},
          {site({lum(1, {ft})}), {"A1 newly overdue: Function test overdue*"}},
          {site({lum(1, {battery, ft})}), {"A1 new fault: Battery fault*, Function test overdue"}},
          {site({lum(1, {ft})}), {"A1 recovered: Battery fault; still Function test overdue"}},
          {site({lum(1)}), {"A1 recovered: Function test overdue"}}}},
        {"an overdue test whose words change (its last date) stays the same reason",
         {{site({lum(1, {ft})}), {"A1 newly overdue: Function test overdue*"}},
          {site({lum(1, {ft + " (last in the logbook 2025-01-10)"})}), {}}}},
        {"a faulty luminaire falls silent and comes back unchanged",
         {{site({lum(1, {battery})}), {"A1 new fault: Battery fault*"}},
          {site({silent(1)}), {"A1 stopped answering: busy"}},
          {site({silent(1)}), {}},
          {site({lum(1, {battery})}), {"A1 answers again: Battery fault"}}}},
        {"a faulty luminaire falls silent and comes back repaired, or worse",
         {{site({lum(1, {battery}), lum(2)}), {"A1 new fault: Battery fault*"}},
          {site({silent(1), silent(2)}), {"A1 stopped answering: busy", "A2 stopped answering: busy"}},
          {site({lum(1), lum(2, {lamp})}), {"A2 new fault: Lamp failure*", "A1 recovered: Battery fault"}}}},
        {"a whole list without a luminaire: gone, once; back as it was",
         {{site({lum(1), lum(2)}), {}},
          {site({lum(1)}), {"A2 stopped answering: the gateway no longer lists it"}},
          {site({lum(1)}), {}},
          {site({lum(1), lum(2)}), {"A2 answers again:"}}}},
        {"a list cut short says nothing of those after the cut",
         {{site({lum(1), lum(2, {battery})}), {"A2 new fault: Battery fault*"}},
          {site({lum(1)}, false), {}},
          {site({lum(1), lum(2, {battery})}), {}}}},
        {"a gateway goes away and comes back: one alert each, its faults no news",
         {{site({lum(1, {battery}), lum(2)}), {"A1 new fault: Battery fault*"}},
          {down(), {"gateway unreachable: no connection to the gateway"}},
          {down(), {}},
          {site({lum(1, {battery}), lum(2)}), {"gateway back:"}},
          {site({lum(1, {battery}), lum(2)}), {}}}},
        {"what changed while the gateway was away is told when it is back",
         {{site({lum(1), lum(2)}), {}},
          {down(), {"gateway unreachable: no connection to the gateway"}},
          {site({lum(1, {lamp}), lum(2)}), {"A1 new fault: Lamp failure*", "gateway back:"}}}},
        {"a gateway never reached, then reached",
         {{down(), {"gateway unreachable: no connection to the gateway"}},
          {site({lum(1, {battery})}), {"A1 new fault: Battery fault*", "gateway back:"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<SiteOutcome> previous;
        for (std::size_t i = 0; i < c.rounds.size(); ++i) {
            SCOPED_TRACE("round " + std::to_string(i + 1));
            const SiteComparison cmp = compare_outcomes(previous, c.rounds[i].outcome);
            std::vector<std::string> got;
            for (const SiteChange& change : cmp.changes) got.push_back(text_of(change));
            EXPECT_EQ(got, c.rounds[i].changes);
            EXPECT_EQ(cmp.firstRound, i == 0);
            previous = cmp.baseline;
        }
    }
}

}  // namespace

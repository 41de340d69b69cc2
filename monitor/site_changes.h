// The comparison of two surveys of one site: what changed since the last
// round, which is what the monitor writes about. A pure function of plain
// values; the survey's verdicts say what is a fault, overdue, ok or not read.
//
// A change is one of:
//  - a luminaire with a reason it did not have (a new fault, or a test newly
//    overdue), with all its reasons now;
//  - one that recovered: it had faults or overdue tests and now has none, or
//    its faults cleared and only an overdue test is left;
//  - one that stopped answering (not read, or no longer listed by a gateway
//    whose whole list was read), and one that answers again unchanged;
//  - a gateway that cannot be reached, and one that is back.
// The same fault seen again is never a change, and neither is one that
// comes back after a silence: what was last read is carried through the
// rounds in which the luminaire or its gateway was not.
#pragma once

#include "site_outcome.h"

#include <optional>
#include <string>
#include <vector>

enum class ChangeKind : std::uint8_t {
    NewFault,
    NewOverdue,
    StoppedAnswering,
    GatewayUnreachable,
    Recovered,
    AnswersAgain,
    GatewayBack,
};

// "new fault", "newly overdue", "stopped answering", "gateway unreachable",
// "recovered", "answers again", "gateway back".
const char* change_kind_text(ChangeKind kind);

struct SiteChange {
    ChangeKind kind = ChangeKind::NewFault;
    std::uint8_t unit = 0;            // luminaire changes only
    std::string name, location;
    Verdict verdict = Verdict::Ok;    // the luminaire's verdict now (not read: NotRead)
    // New fault or overdue: every reason it has now, `fresh` marking the new
    // ones. Recovered: what it recovered from. Not answering: why. Gateway:
    // why it cannot be reached.
    std::vector<VerdictReason> reasons;
    std::vector<bool> fresh;
    // Recovered with an overdue test left: that test.
    std::vector<VerdictReason> still;

    bool about_gateway() const { return kind == ChangeKind::GatewayUnreachable || kind == ChangeKind::GatewayBack; }
    std::string address() const;      // "A5"; empty for a gateway
};

struct SiteComparison {
    // Most urgent first (kinds in the order above), in unit order within a kind.
    std::vector<SiteChange> changes;
    // What the next round compares with: the new outcome, with what was
    // last known of every luminaire it did not read.
    SiteOutcome baseline;
    // There was no previous outcome: every luminaire that needs attention is
    // reported, as new to the monitor.
    bool firstRound = false;
};

SiteComparison compare_outcomes(const std::optional<SiteOutcome>& previous, const SiteOutcome& current);

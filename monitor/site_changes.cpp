#include "site_changes.h"

#include "test_result_record.h"

#include <algorithm>

namespace {

// Why a luminaire that a whole list no longer names is not read.
constexpr const char* kNotListedWords = "the gateway no longer lists it";

bool has_key(const std::vector<VerdictReason>& reasons, const std::string& key) {
    return std::any_of(reasons.begin(), reasons.end(), [&](const VerdictReason& r) { return r.key == key; });
}

std::vector<VerdictReason> of_verdict(const std::vector<VerdictReason>& reasons, Verdict verdict) {
    std::vector<VerdictReason> out;
    std::copy_if(reasons.begin(), reasons.end(), std::back_inserter(out),
                 [&](const VerdictReason& r) { return r.verdict == verdict; });
    return out;
}

SiteChange luminaire_change(ChangeKind kind, const LuminaireOutcome& l, std::vector<VerdictReason> reasons) {
    SiteChange c;
    c.kind = kind;
    c.unit = l.unit;
    c.name = l.name;
    c.location = l.location;
    c.verdict = l.verdict;
    c.reasons = std::move(reasons);
    return c;
}

SiteChange gateway_change(ChangeKind kind, const std::string& reason) {
    SiteChange c;
    c.kind = kind;
    if (!reason.empty()) c.reasons = {{Verdict::NotRead, "", reason}};
    return c;
}

// One luminaire seen this round (`now`, which becomes its baseline entry)
// against its previous entry (null when the site or the luminaire is new).
void compare_luminaire(const LuminaireOutcome* before, LuminaireOutcome& now, std::vector<SiteChange>& out) {
    if (!now.read()) {
        if (before) {
            now.knownVerdict = before->knownVerdict;
            now.knownReasons = before->knownReasons;
        }
        if (!before || before->read()) out.push_back(luminaire_change(ChangeKind::StoppedAnswering, now, now.reasons));
        return;
    }
    static const std::vector<VerdictReason> kNone;
    const Verdict was = before ? before->knownVerdict : Verdict::NotRead;
    const std::vector<VerdictReason>& wasReasons = before ? before->knownReasons : kNone;

    SiteChange change = luminaire_change(ChangeKind::NewOverdue, now, now.reasons);
    bool anyFresh = false;
    for (const VerdictReason& r : now.reasons) {
        const bool fresh = !has_key(wasReasons, r.key);
        change.fresh.push_back(fresh);
        if (!fresh) continue;
        anyFresh = true;
        if (r.verdict == Verdict::Fault) change.kind = ChangeKind::NewFault;
    }
    if (anyFresh) {
        out.push_back(std::move(change));
    } else if ((was == Verdict::Fault || was == Verdict::Overdue) && now.verdict == Verdict::Ok) {
        out.push_back(luminaire_change(ChangeKind::Recovered, now, wasReasons));
    } else if (was == Verdict::Fault && now.verdict == Verdict::Overdue) {
        SiteChange recovered = luminaire_change(ChangeKind::Recovered, now, of_verdict(wasReasons, Verdict::Fault));
        recovered.still = now.reasons;
        out.push_back(std::move(recovered));
    } else if (before && !before->read()) {
        out.push_back(luminaire_change(ChangeKind::AnswersAgain, now, now.reasons));
    }
}

void order(std::vector<SiteChange>& changes) {
    std::stable_sort(changes.begin(), changes.end(), [](const SiteChange& a, const SiteChange& b) {
        return a.kind != b.kind ? a.kind < b.kind : a.unit < b.unit;
    });
}

}  // namespace

const char* change_kind_text(ChangeKind kind) {
    switch (kind) {
    case ChangeKind::NewFault: return "new fault";
    case ChangeKind::NewOverdue: return "newly overdue";
    case ChangeKind::StoppedAnswering: return "stopped answering";
    case ChangeKind::GatewayUnreachable: return "gateway unreachable";
    case ChangeKind::Recovered: return "recovered";
    case ChangeKind::AnswersAgain: return "answers again";
    case ChangeKind::GatewayBack: return "gateway back";
    }
    return "change";
}

std::string SiteChange::address() const { return about_gateway() ? std::string() : FormatUnitAddress(unit); }

SiteComparison compare_outcomes(const std::optional<SiteOutcome>& previous, const SiteOutcome& current) {
    SiteComparison out;
    out.firstRound = !previous;
    out.baseline = current;
    if (!current.reachable) {
        if (!previous || previous->reachable)
            out.changes.push_back(gateway_change(ChangeKind::GatewayUnreachable, current.unreachableReason));
        // Nothing was read: the luminaires stay as last seen.
        if (previous) out.baseline.luminaires = previous->luminaires;
        return out;
    }
    if (previous && !previous->reachable) out.changes.push_back(gateway_change(ChangeKind::GatewayBack, {}));

    for (LuminaireOutcome& now : out.baseline.luminaires)
        compare_luminaire(previous ? previous->find(now.unit) : nullptr, now, out.changes);
    if (previous) {
        for (const LuminaireOutcome& before : previous->luminaires) {
            if (current.find(before.unit)) continue;
            LuminaireOutcome kept = before;
            // Only a whole list says a luminaire is gone; a list cut short
            // says nothing of those after the cut.
            if (current.listComplete) {
                kept.verdict = Verdict::NotRead;
                kept.reasons = {{Verdict::NotRead, "", kNotListedWords}};
                if (before.read()) out.changes.push_back(luminaire_change(ChangeKind::StoppedAnswering, kept, kept.reasons));
            }
            out.baseline.luminaires.push_back(std::move(kept));
        }
        std::stable_sort(out.baseline.luminaires.begin(), out.baseline.luminaires.end(),
                         [](const LuminaireOutcome& a, const LuminaireOutcome& b) { return a.unit < b.unit; });
    }
    order(out.changes);
    return out;
}

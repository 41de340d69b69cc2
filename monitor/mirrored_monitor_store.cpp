#include "mirrored_monitor_store.h"

#include <algorithm>

bool MirroredMonitorStore::site_state(const std::string& site, SiteState* state) {
    SiteState here;
    if (!main_.site_state(site, state)) return failed(main_);
    if (!local_.site_state(site, &here)) return failed(local_);
    if (here.outcome && (!state->outcome || here.outcome->surveyed > state->outcome->surveyed))
        state->outcome = here.outcome;
    if (here.digestMark && (!state->digestMark || *here.digestMark > *state->digestMark))
        state->digestMark = here.digestMark;
    return true;
}

std::optional<std::vector<KnownSite>> MirroredMonitorStore::sites() {
    std::optional<std::vector<KnownSite>> out = main_.sites();
    const std::optional<std::vector<KnownSite>> here = local_.sites();
    if (!out || !here) return failed(out ? local_ : main_), std::nullopt;
    for (const KnownSite& s : *here) {
        if (std::none_of(out->begin(), out->end(), [&](const KnownSite& k) { return k.site == s.site; }))
            out->push_back(s);
    }
    return out;
}

bool MirroredMonitorStore::commit(const SiteRound& round) {
    if (!main_.commit(round)) return failed(main_);
    pending_.push_back({round.outcome, {}, round.digestMark, round.surveyRunUid});
    return true;
}

std::string MirroredMonitorStore::settle(bool kept) {
    std::string problems;
    for (const SiteRound& copy : kept ? pending_ : std::vector<SiteRound>{}) {
        if (!local_.commit(copy))
            problems += (problems.empty() ? "" : "; ") + copy.outcome.site + ": " + local_.error();
    }
    pending_.clear();
    return problems;
}

namespace {

// Both stores' alerts, oldest first (a stable merge keeps each one's order).
std::optional<std::vector<Alert>> both(const std::optional<std::vector<Alert>>& a,
                                       const std::optional<std::vector<Alert>>& b) {
    if (!a || !b) return std::nullopt;
    std::vector<Alert> out = *a;
    out.insert(out.end(), b->begin(), b->end());
    std::stable_sort(out.begin(), out.end(), [](const Alert& x, const Alert& y) { return x.created < y.created; });
    return out;
}

}  // namespace

std::optional<std::vector<Alert>> MirroredMonitorStore::unsent() {
    const std::optional<std::vector<Alert>> there = main_.unsent();
    const std::optional<std::vector<Alert>> here = local_.unsent();
    if (!there || !here) return failed(there ? local_ : main_), std::nullopt;
    localUids_.clear();
    for (const Alert& a : *here) localUids_.insert(a.uid);
    return both(there, here);
}

std::optional<std::vector<Alert>> MirroredMonitorStore::set_aside(const std::string& site, std::time_t since) {
    const std::optional<std::vector<Alert>> there = main_.set_aside(site, since);
    const std::optional<std::vector<Alert>> here = local_.set_aside(site, since);
    if (!there || !here) return failed(there ? local_ : main_), std::nullopt;
    return both(there, here);
}

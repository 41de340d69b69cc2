#include "memory_monitor_store.h"

#include <algorithm>

bool MemoryMonitorStore::site_state(const std::string& site, SiteState* state) {
    const auto it = sites_.find(site);
    *state = it == sites_.end() ? SiteState{} : it->second;
    return true;
}

std::optional<std::vector<KnownSite>> MemoryMonitorStore::sites() { return order_; }

bool MemoryMonitorStore::commit(const SiteRound& round) {
    // Checked before anything is kept: all of the round or nothing.
    for (const Alert& a : round.alerts) {
        if (a.uid.empty() || uids_.count(a.uid) != 0) {
            error_ = "alert " + a.uid + " is queued already";
            return false;
        }
    }
    const std::string& site = round.outcome.key;
    if (sites_.count(site) == 0) order_.push_back({site, round.outcome.gateway});
    SiteState& kept = sites_[site];
    kept.outcome = round.outcome;
    if (round.digestMark) kept.digestMark = round.digestMark;
    for (const Alert& a : round.alerts) {
        uids_.insert(a.uid);
        queue_.push_back(a);
    }
    return true;
}

std::optional<std::vector<Alert>> MemoryMonitorStore::set_aside(const std::string& site, std::time_t since) {
    std::vector<Alert> out;
    std::copy_if(setAside_.begin(), setAside_.end(), std::back_inserter(out),
                 [&](const Alert& a) { return a.siteKey == site && a.setAsideAt >= since; });
    return out;
}

Alert* MemoryMonitorStore::waiting(const std::string& uid) {
    const auto it = std::find_if(queue_.begin(), queue_.end(), [&](const Alert& a) { return a.uid == uid; });
    if (it != queue_.end()) return &*it;
    error_ = "alert " + uid + " is not waiting";
    return nullptr;
}

bool MemoryMonitorStore::mark_sending(const std::string& uid, std::time_t) {
    Alert* a = waiting(uid);
    if (a) a->maybeCopy = true;
    return a != nullptr;
}

bool MemoryMonitorStore::mark_sent(const std::string& uid, std::time_t) {
    if (!waiting(uid)) return false;
    queue_.erase(std::find_if(queue_.begin(), queue_.end(), [&](const Alert& a) { return a.uid == uid; }));
    return true;
}

bool MemoryMonitorStore::mark_not_taken(const std::string& uid, const NotTaken& how, bool* setAside) {
    Alert* a = waiting(uid);
    if (!a) return false;
    a->maybeCopy = how.mayHaveArrived && a->maybeCopy;
    a->lastError = how.error;
    if (how.forGood) ++a->refusals;
    const bool aside = how.forGood && a->refusals >= how.setAsideAfter;
    if (setAside) *setAside = aside;
    if (aside) {
        a->setAsideAt = how.when;
        setAside_.push_back(*a);
        queue_.erase(queue_.begin() + (a - queue_.data()));
    }
    return true;
}

#include "memory_monitor_store.h"

#include <algorithm>

std::optional<SiteOutcome> MemoryMonitorStore::previous(const std::string& site) {
    const auto it = outcomes_.find(site);
    if (it == outcomes_.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> MemoryMonitorStore::sites() { return order_; }

std::optional<std::time_t> MemoryMonitorStore::digest_mark(const std::string& site) {
    const auto it = digestMarks_.find(site);
    if (it == digestMarks_.end()) return std::nullopt;
    return it->second;
}

bool MemoryMonitorStore::commit(const SiteRound& round) {
    // Checked before anything is kept: all of the round or nothing.
    for (const Alert& a : round.alerts) {
        if (a.uid.empty() || uids_.count(a.uid) != 0) {
            error_ = "alert " + a.uid + " is queued already";
            return false;
        }
    }
    const std::string& site = round.outcome.site;
    if (outcomes_.count(site) == 0) order_.push_back(site);
    outcomes_[site] = round.outcome;
    if (round.digestMark) digestMarks_[site] = *round.digestMark;
    for (const Alert& a : round.alerts) {
        uids_.insert(a.uid);
        queue_.push_back(a);
    }
    return true;
}

std::vector<Alert> MemoryMonitorStore::unsent() { return queue_; }

bool MemoryMonitorStore::mark_sent(const std::string& uid, std::time_t when) {
    const auto it = std::find_if(queue_.begin(), queue_.end(), [&](const Alert& a) { return a.uid == uid; });
    if (it == queue_.end()) {
        error_ = "alert " + uid + " is not waiting";
        return false;
    }
    sent_.emplace_back(std::move(*it), when);
    queue_.erase(it);
    return true;
}

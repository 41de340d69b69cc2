// The monitor's store held in memory: it keeps the contract of
// monitor_store.h while the program runs, and forgets everything when it
// ends (a restarted monitor starts every site as new). The monitor uses it
// with --no-logbook; the tests use it as the contract's first witness.
#pragma once

#include "monitor_store.h"

#include <map>
#include <set>
#include <vector>

class MemoryMonitorStore final : public MonitorStore {
public:
    bool site_state(const std::string& site, SiteState* state) override;
    std::optional<std::vector<KnownSite>> sites() override;
    bool commit(const SiteRound& round) override;
    std::optional<std::vector<Alert>> unsent() override { return queue_; }
    std::optional<std::vector<Alert>> set_aside(const std::string& site, std::time_t since) override;
    bool mark_sending(const std::string& uid, std::time_t when) override;
    bool mark_sent(const std::string& uid, std::time_t when) override;
    bool mark_not_taken(const std::string& uid, const NotTaken& how, bool* setAside) override;
    std::string error() const override { return error_; }

private:
    // The waiting alert `uid`, or null (error_ said).
    Alert* waiting(const std::string& uid);

    std::map<std::string, SiteState> sites_;
    std::vector<KnownSite> order_;
    std::vector<Alert> queue_, setAside_;
    std::set<std::string> uids_;   // every alert ever queued
    std::string error_;
};

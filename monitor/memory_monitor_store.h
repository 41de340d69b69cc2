// The monitor's store held in memory: it keeps the contract of
// monitor_store.h while the program runs, and forgets everything when it
// ends (a restarted monitor starts every site as new).
#pragma once

#include "monitor_store.h"

#include <map>
#include <set>
#include <vector>

class MemoryMonitorStore final : public MonitorStore {
public:
    std::optional<SiteOutcome> previous(const std::string& site) override;
    std::vector<std::string> sites() override;
    std::optional<std::time_t> digest_mark(const std::string& site) override;
    bool commit(const SiteRound& round) override;
    std::vector<Alert> unsent() override;
    bool mark_sent(const std::string& uid, std::time_t when) override;
    std::string error() const override { return error_; }

    // Alerts sent, with the time the server accepted each (oldest first).
    std::vector<std::pair<Alert, std::time_t>> sent() const { return sent_; }

private:
    std::map<std::string, SiteOutcome> outcomes_;
    std::vector<std::string> order_;
    std::map<std::string, std::time_t> digestMarks_;
    std::vector<Alert> queue_;
    std::vector<std::pair<Alert, std::time_t>> sent_;
    std::set<std::string> uids_;   // every alert ever queued
    std::string error_;
};

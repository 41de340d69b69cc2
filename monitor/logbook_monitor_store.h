// The monitor's store in the logbook (logbook/monitor_state.h): what a round
// keeps outlives the program, so a monitor started again, and each
// `monitor --once`, compares with the last round and sends what was left
// waiting. Kept per machine: two monitors that share a team logbook each
// keep their own rounds and alerts. Inside Logbook::record_with(), a commit
// takes part in the transaction that records the round's survey.
#pragma once

#include "monitor_store.h"

#include "monitor_state.h"

class LogbookMonitorStore final : public MonitorStore {
public:
    // `host`: this machine's name, whose rows it reads and writes.
    LogbookMonitorStore(MonitorState& state, std::string host) : state_(state), host_(std::move(host)) {}

    bool site_state(const std::string& site, SiteState* state) override;
    std::optional<std::vector<KnownSite>> sites() override;
    bool commit(const SiteRound& round) override;
    std::optional<std::vector<Alert>> unsent() override;
    std::optional<std::vector<Alert>> set_aside(const std::string& site, std::time_t since) override;
    bool mark_sending(const std::string& uid, std::time_t when) override;
    bool mark_sent(const std::string& uid, std::time_t when) override;
    bool mark_not_taken(const std::string& uid, const NotTaken& how, bool* setAside) override;
    std::string error() const override { return error_.empty() ? state_.error() : error_; }

private:
    std::optional<std::vector<Alert>> alerts_of(const std::optional<std::vector<MonitorAlertRecord>>& rows);
    bool marked(AlertMark mark, const std::string& uid);

    MonitorState& state_;
    std::string host_;
    std::string error_;   // the store's own, before the logbook's
};

#include "logbook_monitor_store.h"

#include "logbook.h"
#include "monitor_state_text.h"

namespace {

// A time the store holds; 0 for none (or text no program of ours wrote).
std::time_t time_of(const std::string& utc) { return utc_time(utc).value_or(0); }

int attention_count(const SiteOutcome& o) { return static_cast<int>(o.attention().size()); }

}  // namespace

bool LogbookMonitorStore::site_state(const std::string& site, SiteState* state) {
    error_.clear();
    std::optional<MonitorSiteRecord> row;
    if (!state_.site(host_, site, &row)) return false;
    *state = {};
    if (!row) return true;
    state->outcome = outcome_from_text(row->outcome);
    // Text this program cannot read is no "new site": comparing against
    // nothing would report every fault again.
    if (!state->outcome) {
        error_ = "the outcome kept for " + site + " cannot be read";
        return false;
    }
    state->outcome->key = site;
    if (!row->digestMark.empty()) state->digestMark = time_of(row->digestMark);
    return true;
}

std::optional<std::vector<KnownSite>> LogbookMonitorStore::sites() {
    error_.clear();
    const std::optional<std::vector<MonitorSiteRecord>> rows = state_.sites(host_);
    if (!rows) return std::nullopt;
    std::vector<KnownSite> out;
    for (const MonitorSiteRecord& r : *rows) out.push_back({r.site, r.gateway});
    return out;
}

bool LogbookMonitorStore::commit(const SiteRound& round) {
    error_.clear();
    const SiteOutcome& o = round.outcome;
    MonitorRoundRecord r;
    r.site = {host_, o.key, o.gateway, utc_text(o.surveyed), round.surveyRunUid, o.reachable, attention_count(o),
              outcome_text(o), round.digestMark ? utc_text(*round.digestMark) : std::string()};
    for (const Alert& a : round.alerts) {
        MonitorAlertRecord row;
        row.uid = a.uid;
        row.host = host_;
        row.site = a.siteKey;
        row.messageId = a.messageId;
        row.kind = alert_kind_text(a.kind);
        row.created = utc_text(a.created);
        row.content = alert_text(a);
        if (a.workbook) row.workbook = a.workbook->bytes;
        row.runUid = round.surveyRunUid;
        r.alerts.push_back(std::move(row));
    }
    return state_.commit_round(r);
}

std::optional<std::vector<Alert>> LogbookMonitorStore::alerts_of(
    const std::optional<std::vector<MonitorAlertRecord>>& rows) {
    if (!rows) return std::nullopt;
    std::vector<Alert> out;
    for (const MonitorAlertRecord& r : *rows) {
        std::optional<Alert> a = alert_from_text(r.content);
        // One this program cannot read is said, not skipped: it would wait
        // unseen for ever.
        if (!a) {
            error_ = "alert " + r.uid + " in the logbook cannot be read";
            return std::nullopt;
        }
        if (a->workbook) {
            if (r.workbook) a->workbook->bytes = *r.workbook;
            else a->workbook.reset();
        }
        a->siteKey = r.site;
        a->maybeCopy = !r.sendingSince.empty();
        a->refusals = r.refusals;
        a->lastError = r.lastError;
        a->setAsideAt = time_of(r.setAsideAt);
        out.push_back(std::move(*a));
    }
    return out;
}

std::optional<std::vector<Alert>> LogbookMonitorStore::unsent() {
    error_.clear();
    return alerts_of(state_.waiting(host_));
}

std::optional<std::vector<Alert>> LogbookMonitorStore::set_aside(const std::string& site, std::time_t since) {
    error_.clear();
    return alerts_of(state_.set_aside(host_, site, utc_text(since)));
}

bool LogbookMonitorStore::marked(AlertMark mark, const std::string& uid) {
    error_.clear();
    if (mark == AlertMark::NotWaiting) error_ = "alert " + uid + " is not waiting";
    return mark == AlertMark::Done;
}

bool LogbookMonitorStore::mark_sending(const std::string& uid, std::time_t when) {
    return marked(state_.sending(uid, utc_text(when)), uid);
}

bool LogbookMonitorStore::mark_sent(const std::string& uid, std::time_t when) {
    return marked(state_.sent(uid, utc_text(when)), uid);
}

bool LogbookMonitorStore::mark_not_taken(const std::string& uid, const NotTaken& how, bool* setAside) {
    const AlertNotTaken row{utc_text(how.when), how.error, how.forGood, how.mayHaveArrived, how.setAsideAfter};
    return marked(state_.not_taken(uid, row, setAside), uid);
}

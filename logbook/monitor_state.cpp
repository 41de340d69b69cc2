// The monitor's state as both stores keep it: the same statements, run
// through the store's own SqlRunner.
#include "logbook_stores.h"

namespace {

constexpr const char* kSiteColumns =
    "host, site, gateway, surveyed, run_uid, reachable, attention, outcome, digest_mark";
// The workbook last: set_aside() leaves it out.
constexpr const char* kAlertColumns =
    "uid, host, site, message_id, kind, created, content, run_uid, sending_since, sent_at, set_aside_at, refusals,"
    " last_error, workbook";
constexpr const char* kWaiting = "sent_at IS NULL AND set_aside_at IS NULL";

SqlValue text(const std::string& v) { return {v, false}; }
SqlValue text_or_null(const std::string& v) { return v.empty() ? SqlValue{} : text(v); }
SqlValue number(std::int64_t v) { return text(std::to_string(v)); }

std::string at(const SqlRow& row, std::size_t i) { return i < row.size() && row[i] ? *row[i] : std::string(); }
int integer_at(const SqlRow& row, std::size_t i) {
    try {
        return std::stoi(at(row, i));
    } catch (const std::exception&) {
        return 0;
    }
}

MonitorSiteRecord site_from(const SqlRow& r) {
    MonitorSiteRecord s;
    s.host = at(r, 0);
    s.site = at(r, 1);
    s.gateway = at(r, 2);
    s.surveyed = at(r, 3);
    s.runUid = at(r, 4);
    s.reachable = integer_at(r, 5) != 0;
    s.attention = integer_at(r, 6);
    s.outcome = at(r, 7);
    s.digestMark = at(r, 8);
    return s;
}

MonitorAlertRecord alert_from(const SqlRow& r) {
    MonitorAlertRecord a;
    a.uid = at(r, 0);
    a.host = at(r, 1);
    a.site = at(r, 2);
    a.messageId = at(r, 3);
    a.kind = at(r, 4);
    a.created = at(r, 5);
    a.content = at(r, 6);
    a.runUid = at(r, 7);
    a.sendingSince = at(r, 8);
    a.sentAt = at(r, 9);
    a.setAsideAt = at(r, 10);
    a.refusals = integer_at(r, 11);
    a.lastError = at(r, 12);
    if (r.size() > 13 && r[13]) a.workbook = *r[13];
    return a;
}

class SqlMonitorState final : public MonitorState {
public:
    explicit SqlMonitorState(SqlRunner& store) : store_(store) {}

    bool commit_round(const MonitorRoundRecord& round) override {
        return store_.write([&] {
            if (!write_site(round.site)) return false;
            for (const MonitorAlertRecord& a : round.alerts) {
                if (!write_alert(a)) return false;
            }
            return true;
        });
    }

    bool site(const std::string& host, const std::string& site, std::optional<MonitorSiteRecord>* out) override {
        std::vector<SqlRow> rows;
        if (!store_.run(std::string("SELECT ") + kSiteColumns + " FROM monitor_sites WHERE host = ?1 AND site = ?2",
                        {text(host), text(site)}, &rows))
            return false;
        *out = rows.empty() ? std::nullopt : std::optional<MonitorSiteRecord>(site_from(rows.front()));
        return true;
    }

    std::optional<std::vector<MonitorSiteRecord>> sites(const std::string& host) override {
        std::vector<SqlRow> rows;
        if (!store_.run("SELECT host, site, gateway, surveyed, run_uid, reachable, attention, '', digest_mark"
                        " FROM monitor_sites WHERE ?1 = '' OR host = ?1 ORDER BY id",
                        {text(host)}, &rows))
            return std::nullopt;
        std::vector<MonitorSiteRecord> out;
        for (const SqlRow& r : rows) out.push_back(site_from(r));
        return out;
    }

    std::optional<std::vector<MonitorAlertRecord>> waiting(const std::string& host) override {
        return alerts(std::string("SELECT ") + kAlertColumns + " FROM monitor_alerts WHERE host = ?1 AND " + kWaiting +
                          " ORDER BY id",
                      {text(host)});
    }

    std::optional<std::vector<MonitorAlertRecord>> set_aside(const std::string& host, const std::string& site,
                                                             const std::string& since) override {
        return alerts(std::string("SELECT ") + kAlertColumns +
                          " FROM monitor_alerts WHERE host = ?1 AND site = ?2 AND set_aside_at >= ?3 ORDER BY id",
                      {text(host), text(site), text(since)}, false);
    }

    AlertMark sending(const std::string& uid, const std::string& when) override {
        return mark(std::string("UPDATE monitor_alerts SET sending_since = ?2 WHERE uid = ?1 AND ") + kWaiting,
                    {text(uid), text(when)});
    }

    AlertMark sent(const std::string& uid, const std::string& when) override {
        return mark(std::string("UPDATE monitor_alerts SET sent_at = ?2 WHERE uid = ?1 AND ") + kWaiting,
                    {text(uid), text(when)});
    }

    AlertMark not_taken(const std::string& uid, const AlertNotTaken& how, bool* setAside) override {
        AlertMark result = AlertMark::NotWaiting;
        bool aside = false;
        const bool written = store_.write([&] {
            std::vector<SqlRow> rows;
            if (!store_.run(std::string("SELECT refusals, sending_since FROM monitor_alerts WHERE uid = ?1 AND ") +
                                kWaiting,
                            {text(uid)}, &rows))
                return false;
            if (rows.empty()) return true;
            const int refusals = integer_at(rows.front(), 0) + (how.forGood ? 1 : 0);
            aside = how.forGood && refusals >= how.setAsideAfter;
            // A send that may have arrived keeps its mark: the next one may be a copy.
            const std::string sending = how.mayHaveArrived ? at(rows.front(), 1) : std::string();
            result = AlertMark::Done;
            return store_.run("UPDATE monitor_alerts SET refusals = ?2, last_error = ?3, sending_since = ?4,"
                              " set_aside_at = ?5 WHERE uid = ?1",
                              {text(uid), number(refusals), text(how.error), text_or_null(sending),
                               aside ? text(how.when) : SqlValue{}});
        });
        if (!written) return AlertMark::Failed;
        if (setAside != nullptr) *setAside = aside;
        return result;
    }

    std::string error() const override { return store_.error(); }

private:
    bool write_site(const MonitorSiteRecord& s) {
        return store_.run(
            "INSERT INTO monitor_sites (host, site, gateway, surveyed, run_uid, reachable, attention, outcome, digest_mark)"
            " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9) ON CONFLICT (host, site) DO UPDATE SET"
            " gateway = excluded.gateway, surveyed = excluded.surveyed, run_uid = excluded.run_uid,"
            " reachable = excluded.reachable, attention = excluded.attention, outcome = excluded.outcome,"
            " digest_mark = COALESCE(excluded.digest_mark, monitor_sites.digest_mark)",
            {text(s.host), text(s.site), text(s.gateway), text(s.surveyed), text(s.runUid), number(s.reachable ? 1 : 0),
             number(s.attention), text(s.outcome), text_or_null(s.digestMark)});
    }

    bool write_alert(const MonitorAlertRecord& a) {
        SqlValue workbook;
        if (a.workbook) workbook = {*a.workbook, true};
        return store_.run(
            "INSERT INTO monitor_alerts (uid, host, site, message_id, kind, created, content, workbook, run_uid)"
            " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)",
            {text(a.uid), text(a.host), text(a.site), text(a.messageId), text(a.kind), text(a.created), text(a.content),
             workbook, text(a.runUid)});
    }

    std::optional<std::vector<MonitorAlertRecord>> alerts(std::string sql, const std::vector<SqlValue>& params,
                                                          bool withWorkbooks = true) {
        if (!withWorkbooks) sql.replace(sql.find(", workbook"), 10, ", NULL");
        std::vector<SqlRow> rows;
        if (!store_.run(sql, params, &rows)) return std::nullopt;
        std::vector<MonitorAlertRecord> out;
        for (const SqlRow& r : rows) out.push_back(alert_from(r));
        return out;
    }

    AlertMark mark(const std::string& sql, const std::vector<SqlValue>& params) {
        std::int64_t changed = 0;
        if (!store_.write([&] { return store_.run(sql, params, nullptr, &changed); })) return AlertMark::Failed;
        return changed == 1 ? AlertMark::Done : AlertMark::NotWaiting;
    }

    SqlRunner& store_;
};

}  // namespace

std::unique_ptr<MonitorState> sql_monitor_state(SqlRunner& store) { return std::make_unique<SqlMonitorState>(store); }

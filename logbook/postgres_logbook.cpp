// The logbook on a PostgreSQL server that a team shares: the same schema as
// the SQLite file, every run in one transaction. The entries of a run go in
// by COPY into a temporary table and two set statements, so a survey's
// 33,000 entries take a handful of round trips, not 100,000; two laptops
// writing the same entry at once meet on its unique key and keep one. The
// seal chain is kept in the server's order: each writer appends its link
// under one lock, held to its commit.
#include "logbook_schema.h"
#include "logbook_stores.h"
#include "period_read.h"
#include "seal.h"
#include "site_rows.h"

#include <libpq-fe.h>

#include <functional>
#include <memory>

namespace {

// A server that does not answer within this is taken as unreachable: the
// run then records on this machine.
constexpr const char* kConnectTimeoutSeconds = "5";
// Held for the moment a store is created or migrated, so two programs that
// open a fresh server at once do not both create the tables.
constexpr const char* kMigrationLock = "SELECT pg_advisory_xact_lock(4216016)";
// Held from reading the chain's last link to the commit of the new one, so
// the links go on in one line whoever writes.
constexpr const char* kChainLock = "SELECT pg_advisory_xact_lock(4216017)";

using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

std::string trimmed(const char* text) {
    std::string s;
    for (const char* c = text ? text : ""; *c != '\0'; ++c) {
        if (*c == '\n') s += "; ";
        else if (*c != '\t') s += *c;
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == ';')) s.pop_back();
    return s;
}

// COPY's text format: a tab, line end or backslash inside a field is escaped.
void append_copy_field(std::string& line, const std::string& text) {
    for (const char c : text) {
        switch (c) {
        case '\\': line += "\\\\"; break;
        case '\t': line += "\\t"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        default: line += c;
        }
    }
}

std::uint8_t hex_digit(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    return static_cast<std::uint8_t>(c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0);
}

class PostgresLogbook final : public Logbook, public SchemaStore, private SealSource, private SqlRunner {
public:
    PostgresLogbook(PGconn* conn, std::string url)
        : conn_(conn), where_(url_without_password(url)), monitor_(sql_monitor_state(*this)) {}
    ~PostgresLogbook() override { PQfinish(conn_); }

    bool record(const RunRecord& run, RecordCounts* counts) override { return record_with(run, {}, counts); }
    bool record_with(const RunRecord& run, const std::function<bool()>& alongside, RecordCounts* counts) override;
    bool add_remark(const Remark& remark, bool* added) override;
    HistoryRead history(const std::string& site, std::uint8_t unit, const std::string& since) override;
    HistoryRead site_history(const std::string& site, const std::string& since) override;
    std::vector<StatusSnapshot> snapshots(const std::string& site, std::uint8_t unit) override;
    std::size_t entry_count() override;
    PeriodRead period(const std::string& site, const std::string& from, const std::string& until) override;
    std::optional<std::vector<Site>> sites() override;
    bool save_site(const Site& site) override;
    bool join_site(const std::string& other, const std::string& site) override;
    std::optional<Changes> changes_after(std::int64_t runMark, std::int64_t remarkMark) override;
    std::pair<std::int64_t, std::int64_t> sync_marks(const std::string& target) override;
    bool set_sync_marks(const std::string& target, std::int64_t run, std::int64_t remark) override;
    bool backup(const std::string& path) override {
        std::string why;
        if (copy_into_new_file(*this, path, &why)) return true;
        error_ = why;
        return false;
    }
    ChainCheck verify_seals() override;
    // The server checks its own pages; the logbook has nothing to add.
    std::string integrity_problem() override { return {}; }
    std::optional<SealMark> last_seal(const std::string& until) override;
    MonitorState& monitor_state() override { return *monitor_; }
    std::string error() const override { return error_; }
    std::string where() const override { return where_; }

    // SchemaStore: the steps of the schema, inside check_and_migrate()'s
    // transaction.
    SqlDialect dialect() const override { return SqlDialect::Postgres; }
    bool exec(const std::string& sql) override { return ok(sql); }
    bool seal_unsealed() override;

    // Runs `sql` (with ?N placeholders) with text parameters; null result
    // and error() set when the server refused it.
    Result query(const std::string& sql, const std::vector<std::string>& params = {}) {
        std::vector<const char*> values;
        for (const std::string& p : params) values.push_back(p.c_str());
        Result r(PQexecParams(conn_, in_dialect(sql, SqlDialect::Postgres).c_str(), static_cast<int>(values.size()),
                              nullptr, values.data(), nullptr, nullptr, 0),
                 &PQclear);
        const ExecStatusType st = PQresultStatus(r.get());
        if (st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK || st == PGRES_COPY_IN) return r;
        error_ = where_ + ": " + trimmed(PQerrorMessage(conn_));
        return Result(nullptr, &PQclear);
    }
    bool ok(const std::string& sql, const std::vector<std::string>& params = {}) { return query(sql, params) != nullptr; }

private:
    bool rollback() {
        Result r(PQexec(conn_, "ROLLBACK"), &PQclear);
        return false;
    }
    bool write_run(const RunRecord& run, RecordCounts* counts);
    // The site a record goes under (see the SQLite store), stored with its
    // address; empty when that failed.
    std::string site_for(const std::string& site, const std::string& gateway, const std::string& seen);
    std::optional<std::string> joined_into(const std::string& uid);
    std::optional<std::vector<Site>> read_sites();
    bool seal_what_no_seal_covers();
    bool copy_entries(const RunRecord& run, const std::string& firstRead);
    bool write_snapshot(const std::string& runId, const std::string& site, const StatusSnapshot& s);
    std::vector<HistoryItem> entries_of(const PGresult* r);
    static std::vector<Remark> remarks_of(const PGresult* r);
    bool run_contents(const std::string& runId, RunRecord& run);
    // The chain's last link sealed at or before `until` (empty: the last).
    bool read_last_link(const std::string& until, SealMark* link);
    // Appends a record's link; the caller holds kChainLock. `last` (when
    // given) is the chain's last link, kept up to date for many at once.
    bool append_seal(const char* kind, const std::string& uid, const std::string& content, SealMark* last = nullptr);
    // SealSource: the walk of the chain, inside verify_seals()'s read.
    bool each_link(const std::function<bool(const SealMark&)>& visit) override;
    Found sealed_run(const std::string& uid, RunRecord* run) override;
    Found sealed_remark(const std::string& uid, Remark* remark) override;
    bool unsealed(std::vector<SealFinding>* findings) override;
    // SqlRunner: the monitor's state.
    bool run(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>* rows,
             std::int64_t* changed) override;
    bool write(const std::function<bool()>& body) override;
    // Inside a transaction already (record_with()): a call takes part in it.
    bool in_transaction() const { return PQtransactionStatus(conn_) != PQTRANS_IDLE; }
    // The end of a transaction this object began. A failed statement has
    // aborted it, and the server would take COMMIT for ROLLBACK: said as the
    // failure it is.
    bool commit() {
        if (PQtransactionStatus(conn_) == PQTRANS_INERROR) {
            if (error_.empty()) error_ = where_ + ": a statement failed; nothing was written";
            return rollback();
        }
        return ok("COMMIT") || rollback();
    }

    PGconn* conn_;
    std::string where_;
    std::string error_;
    bool beforeSites_ = false;   // sealing a store of version 3 (step 3): rows as it holds them
    std::unique_ptr<MonitorState> monitor_;
};

std::string text(const PGresult* r, int row, int col) {
    return std::string(PQgetvalue(r, row, col), static_cast<std::size_t>(PQgetlength(r, row, col)));
}
std::int64_t integer(const PGresult* r, int row, int col) { return std::stoll(PQgetvalue(r, row, col)); }

LogEntry entry_from(const PGresult* r, int row) {
    LogEntry e;
    e.gateway = text(r, row, 1);
    e.unit = static_cast<std::uint8_t>(integer(r, row, 2));
    e.testTime = text(r, row, 3);
    e.testType = static_cast<std::uint8_t>(integer(r, row, 4));
    e.result = static_cast<std::uint8_t>(integer(r, row, 5));
    e.minutes = static_cast<std::uint8_t>(integer(r, row, 6));
    e.name = text(r, row, 7);
    e.location = text(r, row, 8);
    e.firstRead = text(r, row, 9);
    e.site = text(r, row, 10);
    return e;
}

// bytea's text output: "\x" and two hex digits a byte.
std::string unhex_bytea(const std::string& hex) {
    std::string out;
    for (std::size_t i = 2; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(hex_digit(hex[i]) << 4 | hex_digit(hex[i + 1]));
    return out;
}

StatusSnapshot snapshot_from(const PGresult* r, int row) {
    StatusSnapshot s;
    s.gateway = text(r, row, 0);
    s.unit = static_cast<std::uint8_t>(integer(r, row, 1));
    s.taken = text(r, row, 2);
    const std::string hex = text(r, row, 3);   // bytea output: "\x" and two digits a byte
    for (std::size_t i = 0; i < kStatusSnapshotBytes && 2 + 2 * i + 1 < hex.size(); ++i)
        s.status[i] = static_cast<std::uint8_t>(hex_digit(hex[2 + 2 * i]) << 4 | hex_digit(hex[3 + 2 * i]));
    return s;
}

bool PostgresLogbook::record_with(const RunRecord& given, const std::function<bool()>& alongside, RecordCounts* counts) {
    RunRecord scratch;
    const RunRecord& run = with_valid_text(given, scratch);
    RecordCounts tried;
    if (!ok("BEGIN")) return false;
    if (!write_run(run, &tried) || (alongside && !alongside())) return rollback();
    if (!commit()) return false;
    if (counts != nullptr) *counts = tried;
    return true;
}

bool PostgresLogbook::run(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>* rows,
                          std::int64_t* changed) {
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
    for (const SqlValue& p : params) {
        values.push_back(p.text ? p.text->data() : nullptr);
        lengths.push_back(p.text ? static_cast<int>(p.text->size()) : 0);
        formats.push_back(p.blob ? 1 : 0);   // bytes go as they are
    }
    Result r(PQexecParams(conn_, in_dialect(sql, SqlDialect::Postgres).c_str(), static_cast<int>(params.size()), nullptr,
                          values.data(), lengths.data(), formats.data(), 0),
             &PQclear);
    const ExecStatusType st = PQresultStatus(r.get());
    if (st != PGRES_COMMAND_OK && st != PGRES_TUPLES_OK) {
        error_ = where_ + ": " + trimmed(PQerrorMessage(conn_));
        return false;
    }
    constexpr Oid kByteaType = 17;
    for (int row = 0; rows != nullptr && row < PQntuples(r.get()); ++row) {
        SqlRow out;
        for (int c = 0; c < PQnfields(r.get()); ++c) {
            if (PQgetisnull(r.get(), row, c)) out.emplace_back();
            else if (PQftype(r.get(), c) == kByteaType) out.emplace_back(unhex_bytea(text(r.get(), row, c)));
            else out.emplace_back(text(r.get(), row, c));
        }
        rows->push_back(std::move(out));
    }
    if (changed != nullptr) {
        const std::string n = PQcmdTuples(r.get());
        *changed = n.empty() ? 0 : std::stoll(n);
    }
    return true;
}

bool PostgresLogbook::write(const std::function<bool()>& body) {
    if (in_transaction()) return body();
    if (!ok("BEGIN")) return false;
    if (!body()) return rollback();
    return commit();
}

bool PostgresLogbook::write_run(const RunRecord& run, RecordCounts* counts) {
    const std::string started = run.started.empty() ? utc_now_text() : run.started;
    const Result before = query("SELECT 1 FROM runs WHERE uid = ?1", {run.uid});
    if (!before) return false;
    if (PQntuples(before.get()) == 1) return true;   // stored before (a repeated sync)
    const std::string site = site_for(run.site, run.gateway, started);
    if (site.empty()) return false;
    // Two laptops pushing the same run at once meet on its uid: the second
    // stores nothing.
    const Result ins = query(
        "INSERT INTO runs (uid, gateway, kind, started, complete, reason, host, user_name, site)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9) ON CONFLICT (uid) DO NOTHING RETURNING id",
        {run.uid, run.gateway, run.kind, started, run.complete ? "1" : "0", run.reason, run.host, run.user, site});
    if (!ins) return false;
    if (PQntuples(ins.get()) == 0) return true;
    counts->runAdded = true;
    const std::string runId = text(ins.get(), 0, 0);
    if (!run.entries.empty()) {
        if (!copy_entries(run, started)) return false;
        const Result added = query(
            // An entry twice in one run: the first row of it goes in (the
            // table is emptied at each commit, so it is read in COPY order)
            // and the second meets it on the unique key.
            "INSERT INTO entries (gateway, unit, test_time, test_type, result, minutes, name, location, first_read,"
            " first_run, site) SELECT gateway, unit, test_time, test_type, result, minutes, name, location,"
            " first_read, ?1::bigint, ?2 FROM staging ON CONFLICT DO NOTHING",
            {runId, site});
        if (!added) return false;
        const std::size_t n = std::stoul(PQcmdTuples(added.get()));
        counts->added += n;
        counts->duplicates += run.entries.size() - n;
        // One index look-up per row: a join would hash the whole table.
        if (!ok("INSERT INTO sightings (run_id, entry_id) SELECT ?1::bigint, (SELECT e.id FROM entries e"
                " WHERE e.site = ?2 AND e.unit = s.unit AND e.test_time = s.test_time"
                " AND e.test_type = s.test_type AND e.result = s.result AND e.minutes = s.minutes) FROM staging s"
                " ON CONFLICT DO NOTHING",
                {runId, site}))
            return false;
    }
    if (!run.fullListings.empty()) {
        std::string units = "{";
        for (std::size_t i = 0; i < run.fullListings.size(); ++i)
            units += (i ? "," : "") + std::to_string(run.fullListings[i]);
        if (!ok("INSERT INTO full_listings (run_id, unit) SELECT ?1::bigint, u FROM unnest(?2::int[]) u"
                " ON CONFLICT DO NOTHING",
                {runId, units + "}"}))
            return false;
    }
    for (const StatusSnapshot& s : run.snapshots) {
        if (!write_snapshot(runId, site, s)) return false;
    }
    // Sealed as the server now holds it: an entry another laptop stored
    // first keeps that laptop's name and first reading.
    RunRecord stored;
    if (!ok(kChainLock) || sealed_run(run.uid, &stored) != Found::Yes) return false;
    return append_seal(kSealedRun, run.uid, sealed_content(stored));
}

bool PostgresLogbook::copy_entries(const RunRecord& run, const std::string& firstRead) {
    if (!query("COPY staging FROM STDIN")) return false;
    std::string data;
    std::size_t seq = 0;
    for (const LogEntry& e : run.entries) {
        data += std::to_string(seq++) + '\t';
        append_copy_field(data, e.gateway);
        data += '\t' + std::to_string(e.unit) + '\t';
        append_copy_field(data, e.testTime);
        data += '\t' + std::to_string(e.testType) + '\t' + std::to_string(e.result) + '\t' + std::to_string(e.minutes) + '\t';
        append_copy_field(data, e.name);
        data += '\t';
        append_copy_field(data, e.location);
        data += '\t';
        append_copy_field(data, e.firstRead.empty() ? firstRead : e.firstRead);
        data += '\n';
    }
    if (PQputCopyData(conn_, data.data(), static_cast<int>(data.size())) != 1 || PQputCopyEnd(conn_, nullptr) != 1) {
        error_ = where_ + ": " + trimmed(PQerrorMessage(conn_));
        return false;
    }
    bool fine = true;
    while (PGresult* r = PQgetResult(conn_)) {
        if (PQresultStatus(r) != PGRES_COMMAND_OK) {
            error_ = where_ + ": " + trimmed(PQresultErrorMessage(r));
            fine = false;
        }
        PQclear(r);
    }
    return fine;
}

bool PostgresLogbook::write_snapshot(const std::string& runId, const std::string& site, const StatusSnapshot& s) {
    const std::string unit = std::to_string(s.unit);
    const char* values[] = {runId.c_str(), s.gateway.c_str(), unit.c_str(), s.taken.c_str(),
                            reinterpret_cast<const char*>(s.status.data()), site.c_str()};
    const int lengths[] = {0, 0, 0, 0, static_cast<int>(kStatusSnapshotBytes), 0};
    const int formats[] = {0, 0, 0, 0, 1, 0};   // the status bytes go as they are
    Result r(PQexecParams(conn_,
                          "INSERT INTO snapshots (run_id, gateway, unit, taken, status, site)"
                          " VALUES ($1, $2, $3, $4, $5, $6)",
                          6, nullptr, values, lengths, formats, 0),
             &PQclear);
    if (PQresultStatus(r.get()) == PGRES_COMMAND_OK) return true;
    error_ = where_ + ": " + trimmed(PQerrorMessage(conn_));
    return false;
}

bool PostgresLogbook::add_remark(const Remark& given, bool* added) {
    Remark r = with_valid_text(given);
    if (!ok("BEGIN")) return false;
    const Result before = query("SELECT 1 FROM remarks WHERE uid = ?1", {r.uid});
    if (!before) return rollback();
    bool inserted = false;   // else stored before (a repeated sync)
    if (PQntuples(before.get()) == 0) {
        r.site = site_for(r.site, r.gateway, "");
        if (r.site.empty()) return rollback();
        const Result ins = query(
            "INSERT INTO remarks (uid, gateway, unit, written, author, body, site, kind, part)"
            " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9) ON CONFLICT (uid) DO NOTHING RETURNING id",
            {r.uid, r.gateway, std::to_string(r.unit), r.written, r.author, r.text, r.site, r.kind, r.part});
        if (!ins) return rollback();
        inserted = PQntuples(ins.get()) == 1;
    }
    if (inserted && (!ok(kChainLock) || !append_seal(kSealedRemark, r.uid, sealed_content(r)))) return rollback();
    if (!ok("COMMIT")) return rollback();
    if (added != nullptr) *added = inserted;
    return true;
}

bool PostgresLogbook::read_last_link(const std::string& until, SealMark* link) {
    const Result r = query(
        "SELECT n, kind, uid, sealed, digest, seal FROM seals WHERE ?1 = '' OR sealed <= ?1 ORDER BY n DESC LIMIT 1",
        {until});
    if (!r) return false;
    *link = {};
    if (PQntuples(r.get()) == 1) {
        *link = {integer(r.get(), 0, 0), text(r.get(), 0, 1), text(r.get(), 0, 2),
                 text(r.get(), 0, 3), text(r.get(), 0, 4), text(r.get(), 0, 5)};
    }
    return true;
}

bool PostgresLogbook::append_seal(const char* kind, const std::string& uid, const std::string& content, SealMark* last) {
    SealMark previous;
    if (last != nullptr) previous = *last;
    else if (!read_last_link("", &previous)) return false;
    const std::optional<SealMark> link = next_seal(previous, kind, uid, content, utc_now_text());
    if (!link) {
        error_ = where_ + ": the seal could not be made (SHA-256 failed)";
        return false;
    }
    if (!ok("INSERT INTO seals (n, kind, uid, sealed, digest, seal) VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
            {std::to_string(link->position), link->kind, link->uid, link->sealed, link->digest, link->seal}))
        return false;
    if (last != nullptr) *last = *link;
    return true;
}

std::vector<HistoryItem> PostgresLogbook::entries_of(const PGresult* r) {
    std::vector<HistoryItem> out;
    for (int row = 0; r && row < PQntuples(r); ++row) {
        HistoryItem item;
        item.entry = entry_from(r, row);
        if (!PQgetisnull(r, row, 11)) item.onGateway = integer(r, row, 11) != 0;
        out.push_back(std::move(item));
    }
    return out;
}

std::vector<Remark> PostgresLogbook::remarks_of(const PGresult* r) {
    std::vector<Remark> out;
    for (int row = 0; r && row < PQntuples(r); ++row) {
        Remark m;
        m.uid = text(r, row, 0);
        m.gateway = text(r, row, 1);
        m.unit = static_cast<std::uint8_t>(integer(r, row, 2));
        m.written = text(r, row, 3);
        m.author = text(r, row, 4);
        m.text = text(r, row, 5);
        m.site = text(r, row, 6);
        m.kind = text(r, row, 7);
        m.part = text(r, row, 8);
        out.push_back(std::move(m));
    }
    return out;
}

HistoryRead PostgresLogbook::history(const std::string& site, std::uint8_t unit, const std::string& since) {
    const bool one = !site.empty();
    std::vector<std::string> params{std::to_string(unit), since};
    if (one) params.push_back(site);
    HistoryRead out;
    // Inside record_with(), its transaction, which holds the run.
    const bool own = !in_transaction();
    out.complete = !own || ok("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    const Result e = query(history_query(one) , params);
    const Result m = query(remarks_query(one), params);
    out.complete = out.complete && e && m && read_last_link("", &out.seal) && (!own || ok("COMMIT"));
    if (!out.complete && own) ok("ROLLBACK");
    out.items = merge_history(entries_of(e.get()), remarks_of(m.get()), false);
    return out;
}

HistoryRead PostgresLogbook::site_history(const std::string& site, const std::string& since) {
    HistoryRead out;
    const bool one = !site.empty();
    std::vector<std::string> params{since};
    if (one) params.push_back(site);
    out.complete = ok("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    const Result e = query(site_history_query(one), params);
    const Result m = query(site_remarks_query(one), params);
    out.complete = out.complete && e && m && read_last_link("", &out.seal) && ok("COMMIT");
    if (!out.complete) ok("ROLLBACK");
    out.items = merge_history(entries_of(e.get()), remarks_of(m.get()), true);
    return out;
}

std::vector<StatusSnapshot> PostgresLogbook::snapshots(const std::string& site, std::uint8_t unit) {
    const Result r = query("SELECT gateway, unit, taken, status FROM snapshots WHERE site = ?1 AND unit = ?2"
                           " ORDER BY taken DESC, id DESC",
                           {site, std::to_string(unit)});
    std::vector<StatusSnapshot> out;
    for (int row = 0; r && row < PQntuples(r.get()); ++row) out.push_back(snapshot_from(r.get(), row));
    return out;
}

std::size_t PostgresLogbook::entry_count() {
    const Result r = query("SELECT count(*) FROM entries");
    return r && PQntuples(r.get()) == 1 ? static_cast<std::size_t>(integer(r.get(), 0, 0)) : 0;
}

PeriodRead PostgresLogbook::period(const std::string& site, const std::string& from, const std::string& until) {
    PeriodRead out;
    out.complete = ok("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
    const Result first = query(period_first_tests_query(), {site, until});
    const Result before = query(period_tests_before_query(), {site, from});
    const Result snaps = query(period_snapshots_query(), {site, until});
    const Result entries = query(period_entries_query(), {site, from, until});
    const Result remarks = query(period_remarks_query(), {site, from, until});
    out.complete = out.complete && first && before && snaps && entries && remarks && ok("COMMIT");
    if (!out.complete) ok("ROLLBACK");
    PeriodLuminaires known;
    for (int row = 0; first && row < PQntuples(first.get()); ++row)
        known.first_test(integer(first.get(), row, 0), text(first.get(), row, 1));
    for (int row = 0; before && row < PQntuples(before.get()); ++row) known.test_before(entry_from(before.get(), row));
    for (int row = 0; snaps && row < PQntuples(snaps.get()); ++row) known.snapshot(snapshot_from(snaps.get(), row));
    for (int row = 0; entries && row < PQntuples(entries.get()); ++row) out.entries.push_back(entry_from(entries.get(), row));
    out.remarks = remarks_of(remarks.get());
    out.luminaires = known.take();
    return out;
}

bool PostgresLogbook::run_contents(const std::string& runId, RunRecord& run) {
    // The run's entries looked up by id: a join would hash the whole table,
    // which a logbook of years makes cost half a second a run.
    const Result e = this->query(
        "SELECT " + entry_columns("e", beforeSites_) +
            " FROM entries e WHERE e.id = ANY(ARRAY(SELECT s.entry_id FROM sightings s WHERE s.run_id = ?1))"
            " ORDER BY e.id",
        {runId});
    for (int row = 0; e && row < PQntuples(e.get()); ++row) run.entries.push_back(entry_from(e.get(), row));
    const Result f = this->query("SELECT unit FROM full_listings WHERE run_id = ?1 ORDER BY unit", {runId});
    for (int row = 0; f && row < PQntuples(f.get()); ++row)
        run.fullListings.push_back(static_cast<std::uint8_t>(integer(f.get(), row, 0)));
    const Result s = this->query("SELECT gateway, unit, taken, status FROM snapshots WHERE run_id = ?1 ORDER BY id", {runId});
    for (int row = 0; s && row < PQntuples(s.get()); ++row) run.snapshots.push_back(snapshot_from(s.get(), row));
    return e && f && s;
}

RunRecord run_header(const PGresult* r, int row) {
    RunRecord out;
    out.uid = text(r, row, 1);
    out.gateway = text(r, row, 2);
    out.kind = text(r, row, 3);
    out.started = text(r, row, 4);
    out.complete = integer(r, row, 5) != 0;
    out.reason = text(r, row, 6);
    out.host = text(r, row, 7);
    out.user = text(r, row, 8);
    out.site = text(r, row, 9);
    return out;
}

std::optional<Logbook::Changes> PostgresLogbook::changes_after(std::int64_t runMark, std::int64_t remarkMark) {
    if (!ok("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")) return std::nullopt;
    Changes out;
    out.lastRun = runMark;
    out.lastRemark = remarkMark;
    const Result runs =
        query("SELECT " + run_columns("r") + " FROM runs r WHERE r.id > ?1 ORDER BY r.id", {std::to_string(runMark)});
    const Result remarks = query("SELECT " + remark_columns("m") + ", m.id FROM remarks m WHERE m.id > ?1 ORDER BY m.id",
                                 {std::to_string(remarkMark)});
    std::optional<std::vector<Site>> sites = read_sites();
    if (!runs || !remarks || !sites) return rollback(), std::nullopt;
    out.sites = std::move(*sites);
    for (int row = 0; row < PQntuples(runs.get()); ++row) {
        RunRecord r = run_header(runs.get(), row);
        if (!run_contents(text(runs.get(), row, 0), r)) return rollback(), std::nullopt;
        out.lastRun = integer(runs.get(), row, 0);
        out.runs.push_back(std::move(r));
    }
    out.remarks = remarks_of(remarks.get());
    if (!out.remarks.empty()) out.lastRemark = integer(remarks.get(), PQntuples(remarks.get()) - 1, 9);
    ok("COMMIT");
    return out;
}

std::pair<std::int64_t, std::int64_t> PostgresLogbook::sync_marks(const std::string& target) {
    const Result r = query("SELECT run_mark, remark_mark FROM sync_marks WHERE target = ?1", {target});
    if (!r || PQntuples(r.get()) != 1) return {0, 0};
    return {integer(r.get(), 0, 0), integer(r.get(), 0, 1)};
}

bool PostgresLogbook::set_sync_marks(const std::string& target, std::int64_t runMark, std::int64_t remarkMark) {
    return ok("INSERT INTO sync_marks (target, run_mark, remark_mark) VALUES (?1, ?2, ?3) ON CONFLICT (target)"
              " DO UPDATE SET run_mark = excluded.run_mark, remark_mark = excluded.remark_mark",
              {target, std::to_string(runMark), std::to_string(remarkMark)});
}

// ---- sites ----

std::optional<std::string> PostgresLogbook::joined_into(const std::string& uid) {
    const Result r = query(joined_site_query(), {uid});
    if (!r) return std::nullopt;
    return PQntuples(r.get()) == 1 ? text(r.get(), 0, 0) : uid;
}

std::string PostgresLogbook::site_for(const std::string& site, const std::string& gateway, const std::string& seen) {
    const std::optional<std::string> uid = joined_into(site.empty() ? address_site_uid(gateway) : site);
    if (!uid || !ok(ensure_site_statement(), {*uid, gateway}) ||
        !ok(merge_site_address_statement(), {*uid, gateway, seen, seen}))
        return {};
    return *uid;
}

std::optional<std::vector<Site>> PostgresLogbook::read_sites() {
    const Result s = query(sites_query());
    const Result a = query(site_addresses_query());
    const Result j = query(site_joins_query());
    if (!s || !a || !j) return std::nullopt;
    std::vector<Site> out;
    for (int row = 0; row < PQntuples(s.get()); ++row) {
        Site site;
        site.uid = text(s.get(), row, 0);
        site.name = text(s.get(), row, 1);
        site.named = text(s.get(), row, 2);
        site.fingerprint = fingerprint_of(text(s.get(), row, 3));
        site.fingerprintTaken = text(s.get(), row, 4);
        out.push_back(std::move(site));
    }
    for (int row = 0; row < PQntuples(a.get()); ++row)
        add_address(out, text(a.get(), row, 0), {text(a.get(), row, 1), text(a.get(), row, 2), text(a.get(), row, 3)});
    for (int row = 0; row < PQntuples(j.get()); ++row) add_joined(out, text(j.get(), row, 1), text(j.get(), row, 0));
    for (Site& site : out) {
        if (!site.fingerprint.empty()) continue;
        const Result n = query(newest_names_query(), {site.uid});
        if (!n) return std::nullopt;
        for (int row = 0; row < PQntuples(n.get()); ++row)
            site.fingerprint.push_back(
                {static_cast<std::uint8_t>(integer(n.get(), row, 0)), text(n.get(), row, 1), text(n.get(), row, 2)});
    }
    return out;
}

std::optional<std::vector<Site>> PostgresLogbook::sites() {
    if (!ok("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")) return std::nullopt;
    std::optional<std::vector<Site>> out = read_sites();
    if (!out) return rollback(), std::nullopt;
    ok("COMMIT");
    return out;
}

bool PostgresLogbook::save_site(const Site& given) {
    const Site site = with_valid_text(given);
    if (!ok("BEGIN")) return false;
    const std::optional<std::string> uid = joined_into(site.uid);
    if (!uid || !ok(merge_site_statement(),
                    {*uid, site.name, site.named, fingerprint_text(site.fingerprint), site.fingerprintTaken}))
        return rollback();
    for (const SiteAddress& a : site.addresses) {
        if (!ok(merge_site_address_statement(), {*uid, a.gateway, a.firstSeen, a.lastSeen})) return rollback();
    }
    return ok("COMMIT") || rollback();
}

bool PostgresLogbook::join_site(const std::string& other, const std::string& site) {
    return ok(join_site_statement(), {other, site});
}

// ---- the seal chain ----

ChainCheck PostgresLogbook::verify_seals() {
    ChainCheck out;
    if (!ok("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")) {
        out.whole = false;
        return out;
    }
    out = walk_seal_chain(*this);
    ok("COMMIT");
    return out;
}

std::optional<SealMark> PostgresLogbook::last_seal(const std::string& until) {
    SealMark link;
    if (!read_last_link(until, &link)) return std::nullopt;
    return link;
}

bool PostgresLogbook::each_link(const std::function<bool(const SealMark&)>& visit) {
    const Result r = query("SELECT n, kind, uid, sealed, digest, seal FROM seals ORDER BY n");
    for (int row = 0; r && row < PQntuples(r.get()); ++row) {
        const PGresult* p = r.get();
        if (!visit({integer(p, row, 0), text(p, row, 1), text(p, row, 2), text(p, row, 3), text(p, row, 4), text(p, row, 5)}))
            return false;
    }
    return r != nullptr;
}

SealSource::Found PostgresLogbook::sealed_run(const std::string& uid, RunRecord* run) {
    const Result r = query("SELECT " + run_columns("r", beforeSites_) + " FROM runs r WHERE r.uid = ?1", {uid});
    if (!r) return Found::Failed;
    if (PQntuples(r.get()) != 1) return Found::No;
    *run = run_header(r.get(), 0);
    return run_contents(text(r.get(), 0, 0), *run) ? Found::Yes : Found::Failed;
}

SealSource::Found PostgresLogbook::sealed_remark(const std::string& uid, Remark* remark) {
    const Result r = query("SELECT " + remark_columns("m", beforeSites_) + " FROM remarks m WHERE m.uid = ?1", {uid});
    if (!r) return Found::Failed;
    if (PQntuples(r.get()) != 1) return Found::No;
    *remark = remarks_of(r.get()).at(0);
    return Found::Yes;
}

bool PostgresLogbook::unsealed(std::vector<SealFinding>* findings) {
    const Result runs = query(unsealed_runs_query());
    const Result remarks = query(unsealed_remarks_query());
    const Result entries = query(unread_entries_query());
    const Result snaps = query(loose_snapshots_query());
    if (!runs || !remarks || !entries || !snaps) return false;
    for (int row = 0; row < PQntuples(runs.get()); ++row) findings->push_back(unsealed_finding(run_header(runs.get(), row)));
    for (const Remark& r : remarks_of(remarks.get())) findings->push_back(unsealed_finding(r));
    for (int row = 0; row < PQntuples(entries.get()); ++row) findings->push_back(unread_finding(entry_from(entries.get(), row)));
    for (int row = 0; row < PQntuples(snaps.get()); ++row) findings->push_back(loose_finding(snapshot_from(snaps.get(), row)));
    return true;
}

bool PostgresLogbook::seal_unsealed() {
    // Step 3 runs on the store as version 3 had it, before the sites.
    beforeSites_ = true;
    const bool sealed = seal_what_no_seal_covers();
    beforeSites_ = false;
    return sealed;
}

bool PostgresLogbook::seal_what_no_seal_covers() {
    SealMark last;
    const Result runs = query(unsealed_runs_query(true));
    const Result remarks = query(unsealed_remarks_query(true));
    if (!runs || !remarks || !ok(kChainLock) || !read_last_link("", &last)) return false;
    for (int row = 0; row < PQntuples(runs.get()); ++row) {
        const std::string uid = text(runs.get(), row, 1);
        RunRecord run;
        if (sealed_run(uid, &run) != Found::Yes || !append_seal(kSealedRun, uid, sealed_content(run), &last)) return false;
    }
    for (const Remark& remark : remarks_of(remarks.get())) {
        if (!append_seal(kSealedRemark, remark.uid, sealed_content(remark), &last)) return false;
    }
    return true;
}

// "ok", or why this server's logbook cannot be used; creates or migrates it.
std::string check_and_migrate(PostgresLogbook& book) {
    if (!book.ok("BEGIN") || !book.ok(kMigrationLock)) return book.error();
    const Result has = book.query("SELECT to_regclass('logbook_meta') IS NOT NULL");
    if (!has) return book.error();
    int version = 0;
    if (text(has.get(), 0, 0) == "t") {
        const Result v = book.query("SELECT value FROM logbook_meta WHERE key = 'schema'");
        if (!v) return book.error();
        if (PQntuples(v.get()) == 1) version = std::atoi(PQgetvalue(v.get(), 0, 0));
    }
    std::string why;
    if (version > kLogbookSchemaVersion) {
        why = "the logbook was written by a newer version of the program (schema " + std::to_string(version) +
              ", this one knows " + std::to_string(kLogbookSchemaVersion) + ")";
    } else if (!migrate_schema(book, version)) {
        why = book.error();
    }
    if (!why.empty()) {
        book.ok("ROLLBACK");
        return why;
    }
    return book.ok("COMMIT") ? "ok" : book.error();
}

}  // namespace

std::unique_ptr<Logbook> open_postgres_logbook(const std::string& url, std::string* why) {
    const char* keys[] = {"dbname", "connect_timeout", "client_encoding", nullptr};
    const char* values[] = {url.c_str(), kConnectTimeoutSeconds, "UTF8", nullptr};
    PGconn* conn = PQconnectdbParams(keys, values, 1);
    if (PQstatus(conn) != CONNECTION_OK) {
        *why = url_without_password(url) + ": the server cannot be reached (" + trimmed(PQerrorMessage(conn)) + ")";
        PQfinish(conn);
        return nullptr;
    }
    // The server's notices (a table that is there already) are no news here.
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    auto book = std::make_unique<PostgresLogbook>(conn, url);
    const std::string verdict = check_and_migrate(*book);
    if (verdict != "ok") {
        *why = verdict;
        return nullptr;
    }
    // Per connection: the rows of one run on their way in.
    if (!book->ok("CREATE TEMP TABLE IF NOT EXISTS staging (seq INT, gateway TEXT, unit INT, test_time TEXT,"
                  " test_type INT, result INT, minutes INT, name TEXT, location TEXT, first_read TEXT)"
                  " ON COMMIT DELETE ROWS")) {
        *why = book->error();
        return nullptr;
    }
    return book;
}

bool team_logbook_available() { return true; }

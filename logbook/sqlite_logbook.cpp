// The logbook in one SQLite file: WAL journal (a reader never waits for the
// writer), a busy time-out (two programs may write at once), every run and
// remark in one IMMEDIATE transaction with its seal, the schema created and
// migrated under the write lock, a cheap check on opening that costs the
// same for a day's logbook as for ten years', and a file that is damaged,
// foreign or newer refused and left untouched.
#include "logbook_schema.h"
#include "logbook_stores.h"
#include "period_read.h"
#include "seal.h"
#include "logbook_text.h"
#include "site_rows.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

namespace {

// Another program writing holds the file at most this long before a write
// here gives up (a whole survey's run takes well under a second).
constexpr int kBusyTimeoutMs = 15000;
// Opening waits this long for another program that creates or migrates the
// logbook: sealing what an older version stored reads the whole file once.
constexpr int kMigrationWaitMs = 120000;
// The lines of the integrity check's verdict that a message quotes.
constexpr int kIntegrityLinesQuoted = 5;

// A prepared statement. One that could not be prepared (a table gone from
// under the program, say) steps to SQLITE_ERROR and keeps the reason.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) prepareError_ = sqlite3_errmsg(db);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return stmt_ != nullptr; }
    Statement& bind(int i, const std::string& v) {
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, std::int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& bind_blob(int i, const void* data, int size) {
        sqlite3_bind_blob(stmt_, i, data, size, SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    void reset() {
        if (stmt_ == nullptr) return;
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    // Why the latest step failed.
    std::string error() const { return stmt_ ? sqlite3_errmsg(sqlite3_db_handle(stmt_)) : prepareError_; }
    std::string text(int col) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col))) : std::string();
    }
    std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_, col); }
    bool is_null(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
    const void* blob(int col) const { return sqlite3_column_blob(stmt_, col); }
    int bytes(int col) const { return sqlite3_column_bytes(stmt_, col); }
    int columns() const { return sqlite3_column_count(stmt_); }

private:
    sqlite3_stmt* stmt_ = nullptr;
    std::string prepareError_;
};

LogEntry entry_from(const Statement& q) {
    LogEntry e;
    e.gateway = q.text(1);
    e.unit = static_cast<std::uint8_t>(q.integer(2));
    e.testTime = q.text(3);
    e.testType = static_cast<std::uint8_t>(q.integer(4));
    e.result = static_cast<std::uint8_t>(q.integer(5));
    e.minutes = static_cast<std::uint8_t>(q.integer(6));
    e.name = q.text(7);
    e.location = q.text(8);
    e.firstRead = q.text(9);
    e.site = q.text(10);
    return e;
}

Remark remark_from(const Statement& q) {
    Remark r;
    r.uid = q.text(0);
    r.gateway = q.text(1);
    r.unit = static_cast<std::uint8_t>(q.integer(2));
    r.written = q.text(3);
    r.author = q.text(4);
    r.text = q.text(5);
    r.site = q.text(6);
    r.kind = q.text(7);
    r.part = q.text(8);
    return r;
}

// A snapshot row: gateway, unit, taken, status. A stored blob shorter than
// the status bytes leaves the rest zero.
StatusSnapshot snapshot_from(const Statement& q) {
    StatusSnapshot s;
    s.gateway = q.text(0);
    s.unit = static_cast<std::uint8_t>(q.integer(1));
    s.taken = q.text(2);
    const auto* bytes = static_cast<const std::uint8_t*>(q.blob(3));
    for (int i = 0; bytes && i < q.bytes(3) && i < static_cast<int>(kStatusSnapshotBytes); ++i) s.status[i] = bytes[i];
    return s;
}

std::string single_text(sqlite3* db, const char* sql, int* rc) {
    sqlite3_stmt* q = nullptr;
    *rc = sqlite3_prepare_v2(db, sql, -1, &q, nullptr);
    std::string out;
    if (*rc == SQLITE_OK) {
        *rc = sqlite3_step(q);
        if (*rc == SQLITE_ROW) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
            out = t ? t : "";
            *rc = SQLITE_OK;
        } else if (*rc == SQLITE_DONE) {
            *rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(q);
    return out;
}

bool damage_code(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

class SqliteLogbook final : public Logbook, private SchemaStore, private SealSource, private SqlRunner {
public:
    SqliteLogbook(sqlite3* db, std::string path, bool seals)
        : db_(db), path_(std::move(path)), seals_(seals), monitor_(sql_monitor_state(*this)) {}
    ~SqliteLogbook() override {
        statements_.clear();
        sqlite3_close(db_);
    }

    // "ok", or why the file is no sound logbook of this version; creates
    // or migrates it.
    std::string open_checks();

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
    bool backup(const std::string& path) override;
    ChainCheck verify_seals() override;
    std::string integrity_problem() override;
    std::optional<SealMark> last_seal(const std::string& until) override;
    MonitorState& monitor_state() override { return *monitor_; }
    std::string error() const override { return error_; }
    std::string where() const override { return path_; }

private:
    // A statement left on a row keeps its read open, and with it this
    // connection's view of the store from that moment: every public call
    // ends all its statements, so the next call sees what others wrote.
    struct Settle {
        std::map<std::string, std::unique_ptr<Statement>>& statements;
        ~Settle() {
            for (auto& [sql, statement] : statements) statement->reset();
        }
    };
    Settle settle() { return Settle{statements_}; }

    Statement& cached(const std::string& sql) {
        auto& slot = statements_[sql];
        if (!slot || !slot->ok()) slot = std::make_unique<Statement>(db_, sql);   // a failed one is tried again
        slot->reset();
        return *slot;
    }
    bool fail(const std::string& what, char* toFree = nullptr) {
        error_ = path_ + ": " + what;
        sqlite3_free(toFree);
        return false;
    }
    // A failure SQLite reported with `code`. Damage is judged by the check
    // of the whole file, and from then on nothing more is read or written.
    bool failed_with(int code, const std::string& what);
    bool failed_step() { return failed_with(sqlite3_errcode(db_), sqlite3_errmsg(db_)); }
    bool is_damaged() {
        if (!damage_.empty()) error_ = damage_;
        return !damage_.empty();
    }
    bool rollback() {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    // `body` in one IMMEDIATE transaction: the write lock is taken at the
    // start, so two writers queue on the busy time-out instead of failing on
    // a lock upgrade. SQLite can still answer "busy" without waiting (a WAL
    // file being set up by the other writer): the whole body is then tried
    // again, within the busy time-out, and nothing of a failed try stays.
    bool write_transaction(const std::function<bool()>& body);
    bool write_run(const RunRecord& run, RecordCounts* counts);
    // The site a record goes under: its own (the address's when it names
    // none), or the one it was joined into; the site and its address are
    // stored with it. Empty when that failed.
    std::string site_for(const std::string& site, const std::string& gateway, const std::string& seen);
    bool merge_address(const std::string& site, const SiteAddress& address);
    bool write_entry(std::int64_t runId, const LogEntry& e, const std::string& firstRead, RecordCounts* counts,
                     std::vector<LogEntry>* sighted);
    // Appends the link of a record to the chain; `last` (when given) is the
    // chain's last link, kept up to date by the caller for many at once.
    bool append_seal(const char* kind, const std::string& uid, const std::string& content, SealMark* last = nullptr);
    bool read_last_link(const std::string& until, SealMark* link);
    // Every row of the query; *whole false when the read broke off.
    std::vector<HistoryItem> entries_of(Statement& q, bool* whole);
    std::vector<Remark> remarks_of(Statement& q, bool* whole);
    bool read_to_end(int lastStep);
    bool run_contents(std::int64_t runId, RunRecord& run);
    std::string integrity_words(const std::string& otherwise);
    // Opening: the schema's version, and the cheap look at every table.
    bool read_version(int* version, std::string* why);
    std::string probe_tables();

    // SchemaStore: the steps of the schema, inside open_checks()'s transaction.
    SqlDialect dialect() const override { return SqlDialect::Sqlite; }
    bool exec(const std::string& sql) override;
    bool seal_unsealed() override;
    bool seal_what_no_seal_covers();
    std::optional<std::vector<Site>> read_sites();
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
    bool in_transaction() const { return sqlite3_get_autocommit(db_) == 0; }

    sqlite3* db_;
    std::string path_;
    std::string error_;
    std::string damage_;   // why the file is damaged, once found
    bool seals_ = true;    // false only in the benchmark's comparison
    int lastFailure_ = SQLITE_OK;   // the code of the last failure SQLite reported
    bool beforeSites_ = false;      // sealing a store of version 3 (step 3): rows as it holds them
    std::map<std::string, std::unique_ptr<Statement>> statements_;
    std::unique_ptr<MonitorState> monitor_;
};

bool SqliteLogbook::exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return true;
    const std::string what = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    return failed_with(rc, what);
}

std::string SqliteLogbook::integrity_words(const std::string& otherwise) {
    sqlite3_stmt* q = nullptr;
    const std::string sql = "PRAGMA integrity_check(" + std::to_string(kIntegrityLinesQuoted) + ")";
    std::string verdict;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &q, nullptr) == SQLITE_OK) {
        while (sqlite3_step(q) == SQLITE_ROW) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
            verdict += (verdict.empty() ? "" : "; ") + std::string(t ? t : "");
        }
    }
    sqlite3_finalize(q);
    if (verdict.empty() || verdict == "ok") return otherwise;
    return "integrity check: " + verdict;
}

bool SqliteLogbook::failed_with(int code, const std::string& what) {
    lastFailure_ = code;
    if (!damage_code(code)) return fail(what);
    damage_ = path_ + ": the file is damaged (" + integrity_words(what) + "); it is left as it is";
    error_ = damage_;
    return false;
}

bool SqliteLogbook::write_transaction(const std::function<bool()>& body) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (int attempt = 0;; ++attempt) {
        lastFailure_ = SQLITE_OK;
        const bool began = exec("BEGIN IMMEDIATE");
        if (began && body() && exec("COMMIT")) return true;
        const bool busy = (lastFailure_ & 0xFF) == SQLITE_BUSY;
        if (began) rollback();
        if (!busy || !damage_.empty() || std::chrono::steady_clock::now() >= giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, 1 + attempt * 5)));
    }
}

bool SqliteLogbook::record_with(const RunRecord& given, const std::function<bool()>& alongside, RecordCounts* counts) {
    const Settle settled = settle();
    if (is_damaged()) return false;
    RunRecord scratch;
    const RunRecord& run = with_valid_text(given, scratch);
    RecordCounts tried;
    const bool done = write_transaction([&] {
        tried = {};
        return write_run(run, &tried) && (!alongside || alongside());
    });
    if (done && counts != nullptr) *counts = tried;
    return done;
}

bool SqliteLogbook::write_run(const RunRecord& run, RecordCounts* counts) {
    // The run as the store now holds it, which its seal covers: an entry
    // read before keeps the name and the first reading it was stored with.
    RunRecord stored;
    stored.uid = run.uid;
    stored.gateway = run.gateway;
    stored.kind = run.kind;
    stored.started = run.started.empty() ? utc_now_text() : run.started;
    stored.complete = run.complete;
    stored.reason = run.reason;
    stored.host = run.host;
    stored.user = run.user;
    Statement& stored_before = cached("SELECT 1 FROM runs WHERE uid = ?1");
    const int before = stored_before.bind(1, run.uid).step();
    if (before == SQLITE_ROW) return true;   // stored before (a repeated sync)
    if (before != SQLITE_DONE) return failed_step();
    stored.site = site_for(run.site, run.gateway, stored.started);
    if (stored.site.empty()) return false;
    Statement& ins = cached(
        "INSERT INTO runs (uid, gateway, kind, started, complete, reason, host, user_name, site)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    ins.bind(1, run.uid).bind(2, run.gateway).bind(3, run.kind).bind(4, stored.started);
    ins.bind(5, std::int64_t{run.complete}).bind(6, run.reason).bind(7, run.host).bind(8, run.user);
    if (ins.bind(9, stored.site).step() != SQLITE_DONE) return failed_step();
    counts->runAdded = true;
    const std::int64_t runId = sqlite3_last_insert_rowid(db_);
    stored.entries.reserve(run.entries.size());
    for (LogEntry e : run.entries) {
        e.site = stored.site;
        if (!write_entry(runId, e, stored.started, counts, &stored.entries)) return false;
    }
    for (const std::uint8_t unit : run.fullListings) {
        Statement& q = cached("INSERT OR IGNORE INTO full_listings (run_id, unit) VALUES (?1, ?2)");
        if (q.bind(1, runId).bind(2, std::int64_t{unit}).step() != SQLITE_DONE) return failed_step();
        if (sqlite3_changes(db_) == 1) stored.fullListings.push_back(unit);
    }
    for (const StatusSnapshot& s : run.snapshots) {
        Statement& q = cached(
            "INSERT INTO snapshots (run_id, gateway, unit, taken, status, site) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
        q.bind(1, runId).bind(2, s.gateway).bind(3, std::int64_t{s.unit}).bind(4, s.taken).bind(6, stored.site);
        if (q.bind_blob(5, s.status.data(), static_cast<int>(s.status.size())).step() != SQLITE_DONE)
            return failed_step();
        stored.snapshots.push_back(s);
    }
    return !seals_ || append_seal(kSealedRun, run.uid, sealed_content(stored));
}

bool SqliteLogbook::write_entry(std::int64_t runId, const LogEntry& e, const std::string& firstRead,
                                RecordCounts* counts, std::vector<LogEntry>* sighted) {
    LogEntry held = e;
    if (held.firstRead.empty()) held.firstRead = firstRead;
    Statement& ins = cached(
        "INSERT INTO entries (gateway, unit, test_time, test_type, result, minutes, name, location, first_read,"
        " first_run, site) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11) ON CONFLICT DO NOTHING");
    ins.bind(1, e.gateway).bind(2, std::int64_t{e.unit}).bind(3, e.testTime).bind(4, std::int64_t{e.testType});
    ins.bind(5, std::int64_t{e.result}).bind(6, std::int64_t{e.minutes}).bind(7, e.name).bind(8, e.location);
    ins.bind(9, held.firstRead).bind(10, runId).bind(11, e.site);
    if (ins.step() != SQLITE_DONE) return failed_step();
    std::int64_t entryId = 0;
    if (sqlite3_changes(db_) == 1) {
        entryId = sqlite3_last_insert_rowid(db_);
        ++counts->added;
    } else {
        // Read before, perhaps at another address of the site: it keeps
        // what it was first stored with.
        Statement& find = cached(
            "SELECT id, name, location, first_read, gateway FROM entries WHERE site = ?1 AND unit = ?2"
            " AND test_time = ?3 AND test_type = ?4 AND result = ?5 AND minutes = ?6");
        find.bind(1, e.site).bind(2, std::int64_t{e.unit}).bind(3, e.testTime).bind(4, std::int64_t{e.testType});
        find.bind(5, std::int64_t{e.result}).bind(6, std::int64_t{e.minutes});
        if (find.step() != SQLITE_ROW) return failed_step();
        entryId = find.integer(0);
        held.name = find.text(1);
        held.location = find.text(2);
        held.firstRead = find.text(3);
        held.gateway = find.text(4);
        ++counts->duplicates;
    }
    Statement& seen = cached("INSERT OR IGNORE INTO sightings (run_id, entry_id) VALUES (?1, ?2)");
    if (seen.bind(1, runId).bind(2, entryId).step() != SQLITE_DONE) return failed_step();
    if (sqlite3_changes(db_) == 1) sighted->push_back(std::move(held));   // an entry twice in one run is one sighting
    return true;
}

bool SqliteLogbook::read_last_link(const std::string& until, SealMark* link) {
    Statement& q = cached(
        "SELECT n, kind, uid, sealed, digest, seal FROM seals WHERE ?1 = '' OR sealed <= ?1 ORDER BY n DESC LIMIT 1");
    const int step = q.bind(1, until).step();
    *link = {};
    if (step == SQLITE_ROW) {
        *link = {q.integer(0), q.text(1), q.text(2), q.text(3), q.text(4), q.text(5)};
        return true;
    }
    return read_to_end(step);
}

bool SqliteLogbook::append_seal(const char* kind, const std::string& uid, const std::string& content, SealMark* last) {
    SealMark previous;
    if (last != nullptr) previous = *last;
    else if (!read_last_link("", &previous)) return false;
    const std::optional<SealMark> link = next_seal(previous, kind, uid, content, utc_now_text());
    if (!link) return fail("the seal could not be made (SHA-256 failed)");
    Statement& q = cached("INSERT INTO seals (n, kind, uid, sealed, digest, seal) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    q.bind(1, link->position).bind(2, link->kind).bind(3, link->uid).bind(4, link->sealed).bind(5, link->digest);
    if (q.bind(6, link->seal).step() != SQLITE_DONE) return failed_step();
    if (last != nullptr) *last = *link;
    return true;
}

bool SqliteLogbook::add_remark(const Remark& given, bool* added) {
    const Settle settled = settle();
    if (is_damaged()) return false;
    Remark r = with_valid_text(given);
    const std::string asked = r.site;
    bool inserted = false;
    const bool done = write_transaction([&] {
        inserted = false;
        Statement& before = cached("SELECT 1 FROM remarks WHERE uid = ?1");
        const int step = before.bind(1, r.uid).step();
        if (step == SQLITE_ROW) return true;   // stored before (a repeated sync)
        if (step != SQLITE_DONE) return failed_step();
        r.site = site_for(asked, r.gateway, "");
        if (r.site.empty()) return false;
        Statement& q = cached(
            "INSERT INTO remarks (uid, gateway, unit, written, author, body, site, kind, part)"
            " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
        q.bind(1, r.uid).bind(2, r.gateway).bind(3, std::int64_t{r.unit}).bind(4, r.written).bind(5, r.author);
        if (q.bind(6, r.text).bind(7, r.site).bind(8, r.kind).bind(9, r.part).step() != SQLITE_DONE) return failed_step();
        inserted = true;
        return append_seal(kSealedRemark, r.uid, sealed_content(r));
    });
    if (done && added != nullptr) *added = inserted;
    return done;
}

bool SqliteLogbook::run(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>* rows,
                        std::int64_t* changed) {
    const Settle settled = settle();
    if (is_damaged()) return false;
    Statement& q = cached(sql);
    for (std::size_t i = 0; i < params.size(); ++i) {
        const SqlValue& p = params[i];
        const int at = static_cast<int>(i) + 1;
        if (!p.text) continue;   // unbound is NULL
        if (p.blob) q.bind_blob(at, p.text->data(), static_cast<int>(p.text->size()));
        else q.bind(at, *p.text);
    }
    int step = 0;
    while ((step = q.step()) == SQLITE_ROW) {
        if (rows == nullptr) continue;
        SqlRow row;
        for (int c = 0; c < q.columns(); ++c) {
            if (q.is_null(c)) {
                row.emplace_back();
                continue;
            }
            const auto* bytes = static_cast<const char*>(q.blob(c));   // before its size, as SQLite asks
            const auto size = static_cast<std::size_t>(q.bytes(c));
            row.emplace_back(bytes ? std::string(bytes, size) : std::string());
        }
        rows->push_back(std::move(row));
    }
    if (!q.ok()) return fail(q.error());
    if (!read_to_end(step)) return false;
    if (changed != nullptr) *changed = sqlite3_changes(db_);
    return true;
}

bool SqliteLogbook::write(const std::function<bool()>& body) {
    if (in_transaction()) return body();
    const Settle settled = settle();
    if (is_damaged()) return false;
    return write_transaction(body);
}

// A read's last step: the end of its rows, or the failure it broke off on.
bool SqliteLogbook::read_to_end(int lastStep) {
    if (lastStep == SQLITE_DONE) return true;
    return failed_with(lastStep, sqlite3_errmsg(db_));
}

std::vector<HistoryItem> SqliteLogbook::entries_of(Statement& q, bool* whole) {
    std::vector<HistoryItem> out;
    int step = 0;
    while ((step = q.step()) == SQLITE_ROW) {
        HistoryItem item;
        item.entry = entry_from(q);
        if (!q.is_null(11)) item.onGateway = q.integer(11) != 0;
        out.push_back(std::move(item));
    }
    if (!q.ok()) *whole = fail(q.error());
    else *whole = read_to_end(step) && *whole;
    return out;
}

std::vector<Remark> SqliteLogbook::remarks_of(Statement& q, bool* whole) {
    std::vector<Remark> out;
    int step = 0;
    while ((step = q.step()) == SQLITE_ROW) out.push_back(remark_from(q));
    if (!q.ok()) *whole = fail(q.error());
    else *whole = read_to_end(step) && *whole;
    return out;
}

HistoryRead SqliteLogbook::history(const std::string& site, std::uint8_t unit, const std::string& since) {
    const Settle settled = settle();
    HistoryRead out;
    if (is_damaged()) {
        out.complete = false;
        return out;
    }
    // One read transaction: entries, remarks and the seal from the same
    // moment; inside record_with(), its transaction, which holds the run.
    const bool own = !in_transaction();
    const bool began = !own || exec("BEGIN");
    out.complete = began;
    const bool one = !site.empty();
    Statement& q = cached(history_query(one));
    q.bind(1, std::int64_t{unit}).bind(2, since);
    if (one) q.bind(3, site);
    std::vector<HistoryItem> entries = entries_of(q, &out.complete);
    Statement& r = cached(remarks_query(one));
    r.bind(1, std::int64_t{unit}).bind(2, since);
    if (one) r.bind(3, site);
    const std::vector<Remark> remarks = remarks_of(r, &out.complete);
    out.complete = read_last_link("", &out.seal) && out.complete;
    if (own && began) out.complete = exec("COMMIT") && out.complete;
    out.items = merge_history(std::move(entries), remarks, false);
    return out;
}

HistoryRead SqliteLogbook::site_history(const std::string& site, const std::string& since) {
    const Settle settled = settle();
    HistoryRead out;
    if (is_damaged()) {
        out.complete = false;
        return out;
    }
    const bool began = exec("BEGIN");
    out.complete = began;
    const bool one = !site.empty();
    Statement& q = cached(site_history_query(one));
    if (one) q.bind(2, site);
    std::vector<HistoryItem> entries = entries_of(q.bind(1, since), &out.complete);
    Statement& r = cached(site_remarks_query(one));
    if (one) r.bind(2, site);
    const std::vector<Remark> remarks = remarks_of(r.bind(1, since), &out.complete);
    out.complete = read_last_link("", &out.seal) && out.complete;
    if (began) out.complete = exec("COMMIT") && out.complete;
    out.items = merge_history(std::move(entries), remarks, true);
    return out;
}

std::vector<StatusSnapshot> SqliteLogbook::snapshots(const std::string& site, std::uint8_t unit) {
    const Settle settled = settle();
    if (is_damaged()) return {};
    Statement& q = cached(
        "SELECT gateway, unit, taken, status FROM snapshots WHERE site = ?1 AND unit = ?2 ORDER BY taken DESC, id DESC");
    q.bind(1, site).bind(2, std::int64_t{unit});
    std::vector<StatusSnapshot> out;
    int step = 0;
    while ((step = q.step()) == SQLITE_ROW) out.push_back(snapshot_from(q));
    read_to_end(step);
    return out;
}

std::size_t SqliteLogbook::entry_count() {
    const Settle settled = settle();
    if (is_damaged()) return 0;
    Statement& q = cached("SELECT count(*) FROM entries");
    const int step = q.step();
    if (step == SQLITE_ROW) return static_cast<std::size_t>(q.integer(0));
    read_to_end(step);
    return 0;
}

PeriodRead SqliteLogbook::period(const std::string& site, const std::string& from, const std::string& until) {
    const Settle settled = settle();
    PeriodRead out;
    if (is_damaged()) {
        out.complete = false;
        return out;
    }
    out.complete = exec("BEGIN");
    // Each row of a query, and whether its read ran to its end.
    auto rows = [&](Statement& q, auto&& take) {
        int step = 0;
        while ((step = q.step()) == SQLITE_ROW) take(q);
        out.complete = (q.ok() ? read_to_end(step) : fail(q.error())) && out.complete;
    };
    PeriodLuminaires known;
    rows(cached(period_first_tests_query()).bind(1, site).bind(2, until),
         [&](const Statement& q) { known.first_test(q.integer(0), q.text(1)); });
    rows(cached(period_tests_before_query()).bind(1, site).bind(2, from),
         [&](const Statement& q) { known.test_before(with_valid_text(entry_from(q))); });
    rows(cached(period_snapshots_query()).bind(1, site).bind(2, until),
         [&](const Statement& q) { known.snapshot(snapshot_from(q)); });
    rows(cached(period_entries_query()).bind(1, site).bind(2, from).bind(3, until),
         [&](const Statement& q) { out.entries.push_back(with_valid_text(entry_from(q))); });
    rows(cached(period_remarks_query()).bind(1, site).bind(2, from).bind(3, until),
         [&](const Statement& q) { out.remarks.push_back(with_valid_text(remark_from(q))); });
    out.complete = exec("COMMIT") && out.complete;
    out.luminaires = known.take();
    return out;
}

bool SqliteLogbook::run_contents(std::int64_t runId, RunRecord& run) {
    Statement& e = cached("SELECT " + entry_columns("e", beforeSites_) +
                          " FROM sightings s JOIN entries e ON e.id = s.entry_id WHERE s.run_id = ?1 ORDER BY e.id");
    e.bind(1, runId);
    int step = 0;
    while ((step = e.step()) == SQLITE_ROW) run.entries.push_back(entry_from(e));
    if (!read_to_end(step)) return false;
    Statement& f = cached("SELECT unit FROM full_listings WHERE run_id = ?1 ORDER BY unit");
    f.bind(1, runId);
    while ((step = f.step()) == SQLITE_ROW) run.fullListings.push_back(static_cast<std::uint8_t>(f.integer(0)));
    if (!read_to_end(step)) return false;
    Statement& s = cached("SELECT gateway, unit, taken, status FROM snapshots WHERE run_id = ?1 ORDER BY id");
    s.bind(1, runId);
    while ((step = s.step()) == SQLITE_ROW) run.snapshots.push_back(snapshot_from(s));
    return read_to_end(step);
}

RunRecord run_header(const Statement& q) {
    RunRecord r;
    r.uid = q.text(1);
    r.gateway = q.text(2);
    r.kind = q.text(3);
    r.started = q.text(4);
    r.complete = q.integer(5) != 0;
    r.reason = q.text(6);
    r.host = q.text(7);
    r.user = q.text(8);
    r.site = q.text(9);
    return r;
}

std::optional<Logbook::Changes> SqliteLogbook::changes_after(std::int64_t runMark, std::int64_t remarkMark) {
    const Settle settled = settle();
    if (is_damaged() || !exec("BEGIN")) return std::nullopt;
    Changes out;
    out.lastRun = runMark;
    out.lastRemark = remarkMark;
    std::vector<std::pair<std::int64_t, RunRecord>> runs;
    bool whole = true;
    {
        Statement& q = cached("SELECT " + run_columns("r") + " FROM runs r WHERE r.id > ?1 ORDER BY r.id");
        q.bind(1, runMark);
        int step = 0;
        while ((step = q.step()) == SQLITE_ROW) runs.emplace_back(q.integer(0), run_header(q));
        whole = read_to_end(step);
    }
    for (auto& [id, run] : runs) {
        if (!whole || !(whole = run_contents(id, run))) break;
        out.lastRun = id;
        out.runs.push_back(std::move(run));
    }
    Statement& r = cached("SELECT " + remark_columns("m") + ", m.id FROM remarks m WHERE m.id > ?1 ORDER BY m.id");
    r.bind(1, remarkMark);
    int step = 0;
    while (whole && (step = r.step()) == SQLITE_ROW) {
        out.remarks.push_back(remark_from(r));
        out.lastRemark = r.integer(9);
    }
    whole = whole && read_to_end(step);
    if (whole) {
        std::optional<std::vector<Site>> sites = read_sites();
        whole = sites.has_value();
        if (whole) out.sites = std::move(*sites);
    }
    exec("COMMIT");
    if (!whole) return std::nullopt;
    return out;
}

std::pair<std::int64_t, std::int64_t> SqliteLogbook::sync_marks(const std::string& target) {
    const Settle settled = settle();
    Statement& q = cached("SELECT run_mark, remark_mark FROM sync_marks WHERE target = ?1");
    if (q.bind(1, target).step() != SQLITE_ROW) return {0, 0};
    return {q.integer(0), q.integer(1)};
}

bool SqliteLogbook::set_sync_marks(const std::string& target, std::int64_t run, std::int64_t remark) {
    const Settle settled = settle();
    if (is_damaged()) return false;
    Statement& q = cached(
        "INSERT INTO sync_marks (target, run_mark, remark_mark) VALUES (?1, ?2, ?3)"
        " ON CONFLICT (target) DO UPDATE SET run_mark = excluded.run_mark, remark_mark = excluded.remark_mark");
    if (q.bind(1, target).bind(2, run).bind(3, remark).step() != SQLITE_DONE) return failed_step();
    return true;
}

bool SqliteLogbook::backup(const std::string& path) {
    if (is_damaged()) return false;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return fail(path + ": " + kLeftAlone);
    const std::string temp = path + ".part-" + new_run_uid().substr(0, 8);
    sqlite3* copy = nullptr;
    if (sqlite3_open(temp.c_str(), &copy) != SQLITE_OK) {
        const std::string why = sqlite3_errmsg(copy);
        sqlite3_close(copy);
        return fail(temp + ": " + why);
    }
    // One step copies every page under one read snapshot: writers go on,
    // the copy is the logbook as it was at that moment, seals and all.
    sqlite3_backup* b = sqlite3_backup_init(copy, "main", db_, "main");
    int rc = b ? sqlite3_backup_step(b, -1) : SQLITE_ERROR;
    if (b) sqlite3_backup_finish(b);
    const std::string why = sqlite3_errmsg(copy);
    sqlite3_close(copy);
    if (rc != SQLITE_DONE) {
        std::filesystem::remove(temp, ec);
        return failed_with(rc, "backup: " + why);
    }
    std::string publishWhy;
    if (!publish_new_file(temp, path, &publishWhy)) return fail(publishWhy);
    return true;
}

// ---- sites ----

std::string SqliteLogbook::site_for(const std::string& site, const std::string& gateway, const std::string& seen) {
    std::string uid = site.empty() ? address_site_uid(gateway) : site;
    Statement& joined = cached(joined_site_query());
    const int step = joined.bind(1, uid).step();
    if (step == SQLITE_ROW) uid = joined.text(0);
    else if (step != SQLITE_DONE) return failed_step(), std::string();
    joined.reset();
    Statement& ensure = cached(ensure_site_statement());
    if (ensure.bind(1, uid).bind(2, gateway).step() != SQLITE_DONE) return failed_step(), std::string();
    if (!merge_address(uid, {gateway, seen, seen})) return {};
    return uid;
}

bool SqliteLogbook::merge_address(const std::string& site, const SiteAddress& a) {
    Statement& q = cached(merge_site_address_statement());
    q.bind(1, site).bind(2, a.gateway).bind(3, a.firstSeen).bind(4, a.lastSeen);
    return q.step() == SQLITE_DONE || failed_step();
}

std::optional<std::vector<Site>> SqliteLogbook::read_sites() {
    std::vector<Site> out;
    int step = 0;
    Statement& q = cached(sites_query());
    while ((step = q.step()) == SQLITE_ROW) {
        Site site;
        site.uid = q.text(0);
        site.name = q.text(1);
        site.named = q.text(2);
        site.fingerprint = fingerprint_of(q.text(3));
        site.fingerprintTaken = q.text(4);
        out.push_back(std::move(site));
    }
    if (!read_to_end(step)) return std::nullopt;
    Statement& a = cached(site_addresses_query());
    while ((step = a.step()) == SQLITE_ROW) add_address(out, a.text(0), {a.text(1), a.text(2), a.text(3)});
    if (!read_to_end(step)) return std::nullopt;
    Statement& j = cached(site_joins_query());
    while ((step = j.step()) == SQLITE_ROW) add_joined(out, j.text(1), j.text(0));
    if (!read_to_end(step)) return std::nullopt;
    for (Site& site : out) {
        if (!site.fingerprint.empty()) continue;
        Statement& n = cached(newest_names_query());
        n.bind(1, site.uid);
        while ((step = n.step()) == SQLITE_ROW)
            site.fingerprint.push_back({static_cast<std::uint8_t>(n.integer(0)), n.text(1), n.text(2)});
        if (!read_to_end(step)) return std::nullopt;
    }
    return out;
}

std::optional<std::vector<Site>> SqliteLogbook::sites() {
    const Settle settled = settle();
    if (is_damaged() || !exec("BEGIN")) return std::nullopt;
    std::optional<std::vector<Site>> out = read_sites();
    exec("COMMIT");
    return out;
}

bool SqliteLogbook::save_site(const Site& given) {
    const Settle settled = settle();
    if (is_damaged()) return false;
    const Site site = with_valid_text(given);
    return write_transaction([&] {
        Statement& joined = cached(joined_site_query());
        std::string uid = site.uid;
        const int step = joined.bind(1, uid).step();
        if (step == SQLITE_ROW) uid = joined.text(0);
        else if (step != SQLITE_DONE) return failed_step();
        joined.reset();
        Statement& q = cached(merge_site_statement());
        q.bind(1, uid).bind(2, site.name).bind(3, site.named).bind(4, fingerprint_text(site.fingerprint));
        if (q.bind(5, site.fingerprintTaken).step() != SQLITE_DONE) return failed_step();
        for (const SiteAddress& a : site.addresses) {
            if (!merge_address(uid, a)) return false;
        }
        return true;
    });
}

bool SqliteLogbook::join_site(const std::string& other, const std::string& site) {
    const Settle settled = settle();
    if (is_damaged()) return false;
    return write_transaction([&] {
        Statement& q = cached(join_site_statement());
        return q.bind(1, other).bind(2, site).step() == SQLITE_DONE || failed_step();
    });
}

// ---- the seal chain ----

ChainCheck SqliteLogbook::verify_seals() {
    const Settle settled = settle();
    ChainCheck out;
    if (is_damaged() || !exec("BEGIN")) {
        out.whole = false;
        return out;
    }
    out = walk_seal_chain(*this);
    exec("COMMIT");
    return out;
}

std::string SqliteLogbook::integrity_problem() {
    const Settle settled = settle();
    const std::string words = integrity_words("");
    if (!words.empty()) damage_ = path_ + ": the file is damaged (" + words + "); it is left as it is";
    return words;
}

std::optional<SealMark> SqliteLogbook::last_seal(const std::string& until) {
    const Settle settled = settle();
    SealMark link;
    if (is_damaged() || !read_last_link(until, &link)) return std::nullopt;
    return link;
}

bool SqliteLogbook::each_link(const std::function<bool(const SealMark&)>& visit) {
    Statement& q = cached("SELECT n, kind, uid, sealed, digest, seal FROM seals ORDER BY n");
    int step = 0;
    while ((step = q.step()) == SQLITE_ROW) {
        if (!visit({q.integer(0), q.text(1), q.text(2), q.text(3), q.text(4), q.text(5)})) return false;
    }
    if (!q.ok()) return fail(q.error());
    return read_to_end(step);
}

SealSource::Found SqliteLogbook::sealed_run(const std::string& uid, RunRecord* run) {
    Statement& q = cached("SELECT " + run_columns("r", beforeSites_) + " FROM runs r WHERE r.uid = ?1");
    const int step = q.bind(1, uid).step();
    if (step != SQLITE_ROW) return read_to_end(step) ? Found::No : Found::Failed;
    *run = run_header(q);
    return run_contents(q.integer(0), *run) ? Found::Yes : Found::Failed;
}

SealSource::Found SqliteLogbook::sealed_remark(const std::string& uid, Remark* remark) {
    Statement& q = cached("SELECT " + remark_columns("m", beforeSites_) + " FROM remarks m WHERE m.uid = ?1");
    const int step = q.bind(1, uid).step();
    if (step != SQLITE_ROW) return read_to_end(step) ? Found::No : Found::Failed;
    *remark = remark_from(q);
    return Found::Yes;
}

bool SqliteLogbook::unsealed(std::vector<SealFinding>* findings) {
    int step = 0;
    Statement& runs = cached(unsealed_runs_query());
    while ((step = runs.step()) == SQLITE_ROW) findings->push_back(unsealed_finding(run_header(runs)));
    if (!read_to_end(step)) return false;
    Statement& remarks = cached(unsealed_remarks_query());
    while ((step = remarks.step()) == SQLITE_ROW) findings->push_back(unsealed_finding(remark_from(remarks)));
    if (!read_to_end(step)) return false;
    Statement& entries = cached(unread_entries_query());
    while ((step = entries.step()) == SQLITE_ROW) findings->push_back(unread_finding(entry_from(entries)));
    if (!read_to_end(step)) return false;
    Statement& snaps = cached(loose_snapshots_query());
    while ((step = snaps.step()) == SQLITE_ROW) findings->push_back(loose_finding(snapshot_from(snaps)));
    return read_to_end(step);
}

bool SqliteLogbook::seal_unsealed() {
    // No read is left open when the step ends: a later step may drop a table.
    const Settle settled = settle();
    // Step 3 runs on the store as version 3 had it, before the sites.
    beforeSites_ = true;
    const bool sealed = seal_what_no_seal_covers();
    beforeSites_ = false;
    return sealed;
}

bool SqliteLogbook::seal_what_no_seal_covers() {
    SealMark last;
    if (!read_last_link("", &last)) return false;
    // The uids first: the seals go in while nothing reads them.
    std::vector<std::string> runs, remarks;
    int step = 0;
    Statement& r = cached(unsealed_runs_query(true));
    while ((step = r.step()) == SQLITE_ROW) runs.push_back(r.text(1));
    if (!read_to_end(step)) return false;
    Statement& m = cached(unsealed_remarks_query(true));
    while ((step = m.step()) == SQLITE_ROW) remarks.push_back(m.text(0));
    if (!read_to_end(step)) return false;
    for (const std::string& uid : runs) {
        RunRecord run;
        if (sealed_run(uid, &run) != Found::Yes || !append_seal(kSealedRun, uid, sealed_content(run), &last)) return false;
    }
    for (const std::string& uid : remarks) {
        Remark remark;
        if (sealed_remark(uid, &remark) != Found::Yes || !append_seal(kSealedRemark, uid, sealed_content(remark), &last))
            return false;
    }
    return true;
}

// ---- opening ----

std::string newer_version(int version) {
    return "the logbook was written by a newer version of the program (schema " + std::to_string(version) +
           ", this one knows " + std::to_string(kLogbookSchemaVersion) + ")";
}

bool SqliteLogbook::read_version(int* version, std::string* why) {
    *version = 0;
    Statement& tables = cached("SELECT count(*), sum(type = 'table' AND name = 'logbook_meta') FROM sqlite_master");
    int step = tables.step();
    if (step != SQLITE_ROW) {
        *why = damage_code(step) || !tables.ok()
                   ? std::string("the file is damaged or no SQLite database (") + tables.error() + ")"
                   : tables.error();
        return false;
    }
    const bool empty = tables.integer(0) == 0;
    const bool hasMeta = tables.integer(1) == 1;
    tables.reset();
    if (empty) return true;
    if (!hasMeta) {
        *why = "the file is a database of something else, not a logbook";
        return false;
    }
    Statement& v = cached("SELECT value FROM logbook_meta WHERE key = 'schema'");
    step = v.step();
    if (step == SQLITE_ROW) *version = std::atoi(v.text(0).c_str());
    // Ended at once: a statement left on its row would hold this read open,
    // and a write after it could then not wait its turn.
    v.reset();
    if (step != SQLITE_ROW && step != SQLITE_DONE) {
        *why = (damage_code(step) ? "the file is damaged (" : "(") + v.error() + ")";
        return false;
    }
    return true;
}

// The root and the last page of every table: damage there, where every
// read and write starts, is found at once, in time that does not grow with
// the logbook. SQLite itself has compared the header's page count with the
// file's size by then, under its lock (a file cut short is "malformed").
// Damage further in is found by the reads that meet it (and by `orvypc
// logbook check`).
std::string SqliteLogbook::probe_tables() {
    std::vector<std::string> names;
    Statement& t = cached("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%'");
    int step = 0;
    while ((step = t.step()) == SQLITE_ROW) names.push_back(t.text(0));
    t.reset();
    for (const std::string& name : names) {
        std::string quoted = "\"";
        for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        Statement probe(db_, "SELECT max(rowid) FROM " + quoted + "\"");
        step = probe.step();
        if (step != SQLITE_ROW) {
            return damage_code(step) ? "the file is damaged (" + integrity_words(probe.error()) + ")" : probe.error();
        }
    }
    return "ok";
}

std::string SqliteLogbook::open_checks() {
    const Settle settled = settle();
    int version = 0;
    std::string why;
    if (!read_version(&version, &why)) return why;
    if (version > kLogbookSchemaVersion) return newer_version(version);
    if (version == kLogbookSchemaVersion) return probe_tables();
    // Created or brought up to date under the write lock, with the version
    // read again there: another program may have done it meanwhile.
    sqlite3_busy_timeout(db_, kMigrationWaitMs);
    const bool done = write_transaction([&] {
        why.clear();
        if (!read_version(&version, &why)) return false;
        if (version > kLogbookSchemaVersion) why = newer_version(version);
        return why.empty() && (version == kLogbookSchemaVersion || migrate_schema(*this, version));
    });
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    if (done) return "ok";
    return why.empty() ? error_.substr(std::min(error_.size(), path_.size() + 2)) : why;
}

std::unique_ptr<Logbook> open_sqlite_store(const std::string& path, std::string* why, bool seals) {
    std::error_code ec;
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    const bool exists = std::filesystem::exists(file, ec);
    if (!exists) {
        const std::filesystem::path parent = file.parent_path();
        if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    }
    // An existing file is never created anew: a path that vanished or a
    // folder in its place fails here instead.
    const int flags = SQLITE_OPEN_READWRITE | (exists ? 0 : SQLITE_OPEN_CREATE) | SQLITE_OPEN_FULLMUTEX;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        *why = path + ": cannot be opened (" + (db ? sqlite3_errmsg(db) : "out of memory") + ")";
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    auto book = std::make_unique<SqliteLogbook>(db, path, seals);
    const std::string verdict = book->open_checks();
    if (verdict != "ok") {
        *why = path + ": " + verdict;
        return nullptr;
    }
    // WAL only once the file is known to be ours: setting it writes.
    int rc = SQLITE_OK;
    const std::string journal = single_text(db, "PRAGMA journal_mode=WAL", &rc);
    if (journal != "wal") {
        *why = path + ": the WAL journal cannot be used (" + (rc != SQLITE_OK ? sqlite3_errmsg(db) : journal) + ")";
        return nullptr;
    }
    sqlite3_exec(db, "PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    return book;
}

}  // namespace

std::unique_ptr<Logbook> open_sqlite_logbook(const std::string& path, std::string* why) {
    return open_sqlite_store(path, why, true);
}

std::unique_ptr<Logbook> open_unsealed_sqlite_logbook_for_benchmark(const std::string& path, std::string* why) {
    return open_sqlite_store(path, why, false);
}

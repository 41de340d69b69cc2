// The logbook in one SQLite file: WAL journal (a reader never waits for the
// writer), a busy time-out (two programs may write at once), every run in
// one IMMEDIATE transaction, the schema checked and migrated on open, and a
// file that is damaged, foreign or newer refused and left untouched.
#include "logbook_schema.h"
#include "logbook_stores.h"
#include "period_read.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <map>

namespace {

// Another program writing holds the file at most this long before a write
// here gives up (a whole survey's run takes well under a second).
constexpr int kBusyTimeoutMs = 15000;

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

class SqliteLogbook final : public Logbook {
public:
    SqliteLogbook(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
    ~SqliteLogbook() override {
        statements_.clear();
        sqlite3_close(db_);
    }

    bool record(const RunRecord& run, RecordCounts* counts) override;
    bool add_remark(const Remark& remark) override;
    HistoryRead history(const std::string& gateway, std::uint8_t unit, const std::string& since) override;
    HistoryRead site_history(const std::string& since) override;
    std::vector<StatusSnapshot> snapshots(const std::string& gateway, std::uint8_t unit) override;
    std::size_t entry_count() override;
    PeriodRead period(const std::string& gateway, const std::string& from, const std::string& until) override;
    std::optional<Changes> changes_after(std::int64_t runMark, std::int64_t remarkMark) override;
    std::pair<std::int64_t, std::int64_t> sync_marks(const std::string& target) override;
    bool set_sync_marks(const std::string& target, std::int64_t run, std::int64_t remark) override;
    bool backup(const std::string& path) override;
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
    bool exec(const char* sql) {
        char* message = nullptr;
        if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
        return fail(message ? message : sqlite3_errmsg(db_), message);
    }
    bool fail(const std::string& what, char* toFree = nullptr) {
        error_ = path_ + ": " + what;
        sqlite3_free(toFree);
        return false;
    }
    bool failed_step() { return fail(sqlite3_errmsg(db_)); }
    bool rollback() {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    bool write_run(const RunRecord& run, RecordCounts* counts);
    bool write_entry(std::int64_t runId, const LogEntry& e, const std::string& firstRead, RecordCounts* counts);
    // Every row of the query; *whole false when the read broke off.
    std::vector<HistoryItem> entries_of(Statement& q, bool* whole);
    std::vector<Remark> remarks_of(Statement& q, bool* whole);
    bool read_to_end(const Statement& q, int lastStep);
    bool run_contents(std::int64_t runId, RunRecord& run);

    sqlite3* db_;
    std::string path_;
    std::string error_;
    std::map<std::string, std::unique_ptr<Statement>> statements_;
};

bool SqliteLogbook::record(const RunRecord& run, RecordCounts* counts) {
    const Settle settled = settle();
    // IMMEDIATE: take the write lock at the start, so two writers queue on
    // the busy time-out instead of failing on a lock upgrade. SQLite can
    // still answer "busy" without waiting (a WAL file being set up by the
    // other writer): the whole run is then tried again, within the busy
    // time-out, and nothing of a failed try stays.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (int attempt = 0;; ++attempt) {
        RecordCounts tried;
        const bool began = exec("BEGIN IMMEDIATE");
        const bool done = began && write_run(run, &tried) && exec("COMMIT");
        if (done) {
            if (counts != nullptr) *counts = tried;
            return true;
        }
        // Judged before the rollback, which resets the error.
        const bool busy = (sqlite3_extended_errcode(db_) & 0xFF) == SQLITE_BUSY;
        if (began) rollback();
        if (!busy || std::chrono::steady_clock::now() >= giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, 1 + attempt * 5)));
    }
}

bool SqliteLogbook::write_run(const RunRecord& run, RecordCounts* counts) {
    Statement& ins = cached(
        "INSERT INTO runs (uid, gateway, kind, started, complete, reason, host, user_name)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) ON CONFLICT (uid) DO NOTHING");
    ins.bind(1, run.uid).bind(2, run.gateway).bind(3, run.kind).bind(4, run.started.empty() ? utc_now_text() : run.started);
    ins.bind(5, std::int64_t{run.complete}).bind(6, run.reason).bind(7, run.host).bind(8, run.user);
    if (ins.step() != SQLITE_DONE) return failed_step();
    if (sqlite3_changes(db_) == 0) return true;   // stored before (a repeated sync)
    const std::int64_t runId = sqlite3_last_insert_rowid(db_);
    const std::string firstRead = run.started.empty() ? utc_now_text() : run.started;
    for (const LogEntry& e : run.entries) {
        if (!write_entry(runId, e, firstRead, counts)) return false;
    }
    for (const std::uint8_t unit : run.fullListings) {
        Statement& q = cached("INSERT OR IGNORE INTO full_listings (run_id, unit) VALUES (?1, ?2)");
        if (q.bind(1, runId).bind(2, std::int64_t{unit}).step() != SQLITE_DONE) return failed_step();
    }
    for (const StatusSnapshot& s : run.snapshots) {
        Statement& q = cached("INSERT INTO snapshots (run_id, gateway, unit, taken, status) VALUES (?1, ?2, ?3, ?4, ?5)");
        q.bind(1, runId).bind(2, s.gateway).bind(3, std::int64_t{s.unit}).bind(4, s.taken);
        if (q.bind_blob(5, s.status.data(), static_cast<int>(s.status.size())).step() != SQLITE_DONE)
            return failed_step();
    }
    return true;
}

bool SqliteLogbook::write_entry(std::int64_t runId, const LogEntry& e, const std::string& firstRead,
                                RecordCounts* counts) {
    Statement& ins = cached(
        "INSERT INTO entries (gateway, unit, test_time, test_type, result, minutes, name, location, first_read,"
        " first_run) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10) ON CONFLICT DO NOTHING");
    ins.bind(1, e.gateway).bind(2, std::int64_t{e.unit}).bind(3, e.testTime).bind(4, std::int64_t{e.testType});
    ins.bind(5, std::int64_t{e.result}).bind(6, std::int64_t{e.minutes}).bind(7, e.name).bind(8, e.location);
    ins.bind(9, e.firstRead.empty() ? firstRead : e.firstRead).bind(10, runId);
    if (ins.step() != SQLITE_DONE) return failed_step();
    std::int64_t entryId = 0;
    if (sqlite3_changes(db_) == 1) {
        entryId = sqlite3_last_insert_rowid(db_);
        if (counts) ++counts->added;
    } else {
        Statement& find = cached(
            "SELECT id FROM entries WHERE gateway = ?1 AND unit = ?2 AND test_time = ?3 AND test_type = ?4"
            " AND result = ?5 AND minutes = ?6");
        find.bind(1, e.gateway).bind(2, std::int64_t{e.unit}).bind(3, e.testTime).bind(4, std::int64_t{e.testType});
        find.bind(5, std::int64_t{e.result}).bind(6, std::int64_t{e.minutes});
        if (find.step() != SQLITE_ROW) return failed_step();
        entryId = find.integer(0);
        if (counts) ++counts->duplicates;
    }
    Statement& seen = cached("INSERT OR IGNORE INTO sightings (run_id, entry_id) VALUES (?1, ?2)");
    if (seen.bind(1, runId).bind(2, entryId).step() != SQLITE_DONE) return failed_step();
    return true;
}

bool SqliteLogbook::add_remark(const Remark& r) {
    const Settle settled = settle();
    Statement& q = cached(
        "INSERT INTO remarks (uid, gateway, unit, written, author, body) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"
        " ON CONFLICT (uid) DO NOTHING");
    q.bind(1, r.uid).bind(2, r.gateway).bind(3, std::int64_t{r.unit}).bind(4, r.written).bind(5, r.author);
    if (q.bind(6, r.text).step() != SQLITE_DONE) return failed_step();
    return true;
}

// A read's last step: the end of its rows, or the failure it broke off on.
bool SqliteLogbook::read_to_end(const Statement& q, int lastStep) {
    if (lastStep == SQLITE_DONE) return true;
    return fail(q.error());
}

std::vector<HistoryItem> SqliteLogbook::entries_of(Statement& q, bool* whole) {
    std::vector<HistoryItem> out;
    int step = 0;
    while ((step = q.step()) == SQLITE_ROW) {
        HistoryItem item;
        item.entry = entry_from(q);
        if (!q.is_null(10)) item.onGateway = q.integer(10) != 0;
        out.push_back(std::move(item));
    }
    *whole = read_to_end(q, step) && *whole;
    return out;
}

std::vector<Remark> SqliteLogbook::remarks_of(Statement& q, bool* whole) {
    std::vector<Remark> out;
    int step = 0;
    while ((step = q.step()) == SQLITE_ROW) out.push_back(remark_from(q));
    *whole = read_to_end(q, step) && *whole;
    return out;
}

HistoryRead SqliteLogbook::history(const std::string& gateway, std::uint8_t unit, const std::string& since) {
    const Settle settled = settle();
    // One read transaction: entries and remarks from the same moment.
    HistoryRead out;
    const bool began = exec("BEGIN");
    out.complete = began;
    const bool one = !gateway.empty();
    Statement& q = cached(history_query(one));
    q.bind(1, std::int64_t{unit}).bind(2, since);
    if (one) q.bind(3, gateway);
    std::vector<HistoryItem> entries = entries_of(q, &out.complete);
    Statement& r = cached(remarks_query(one));
    r.bind(1, std::int64_t{unit}).bind(2, since);
    if (one) r.bind(3, gateway);
    const std::vector<Remark> remarks = remarks_of(r, &out.complete);
    if (began) out.complete = exec("COMMIT") && out.complete;
    out.items = merge_history(std::move(entries), remarks, false);
    return out;
}

HistoryRead SqliteLogbook::site_history(const std::string& since) {
    const Settle settled = settle();
    HistoryRead out;
    const bool began = exec("BEGIN");
    out.complete = began;
    Statement& q = cached(site_history_query());
    std::vector<HistoryItem> entries = entries_of(q.bind(1, since), &out.complete);
    Statement& r = cached(site_remarks_query());
    const std::vector<Remark> remarks = remarks_of(r.bind(1, since), &out.complete);
    if (began) out.complete = exec("COMMIT") && out.complete;
    out.items = merge_history(std::move(entries), remarks, true);
    return out;
}

std::vector<StatusSnapshot> SqliteLogbook::snapshots(const std::string& gateway, std::uint8_t unit) {
    const Settle settled = settle();
    Statement& q = cached(
        "SELECT gateway, unit, taken, status FROM snapshots WHERE gateway = ?1 AND unit = ?2 ORDER BY taken DESC, id DESC");
    q.bind(1, gateway).bind(2, std::int64_t{unit});
    std::vector<StatusSnapshot> out;
    while (q.step() == SQLITE_ROW) out.push_back(snapshot_from(q));
    return out;
}

std::size_t SqliteLogbook::entry_count() {
    const Settle settled = settle();
    Statement& q = cached("SELECT count(*) FROM entries");
    return q.step() == SQLITE_ROW ? static_cast<std::size_t>(q.integer(0)) : 0;
}

PeriodRead SqliteLogbook::period(const std::string& gateway, const std::string& from, const std::string& until) {
    const Settle settled = settle();
    PeriodRead out;
    out.complete = exec("BEGIN");
    // Each row of a query, and whether its read ran to its end.
    auto rows = [&](Statement& q, auto&& take) {
        int step = 0;
        while ((step = q.step()) == SQLITE_ROW) take(q);
        out.complete = read_to_end(q, step) && out.complete;
    };
    PeriodLuminaires known;
    rows(cached(period_first_tests_query()).bind(1, gateway).bind(2, until),
         [&](const Statement& q) { known.first_test(q.integer(0), q.text(1)); });
    rows(cached(period_tests_before_query()).bind(1, gateway).bind(2, from),
         [&](const Statement& q) { known.test_before(entry_from(q)); });
    rows(cached(period_snapshots_query()).bind(1, gateway).bind(2, until),
         [&](const Statement& q) { known.snapshot(snapshot_from(q)); });
    rows(cached(period_entries_query()).bind(1, gateway).bind(2, from).bind(3, until),
         [&](const Statement& q) { out.entries.push_back(entry_from(q)); });
    rows(cached(period_remarks_query()).bind(1, gateway).bind(2, from).bind(3, until),
         [&](const Statement& q) { out.remarks.push_back(remark_from(q)); });
    out.complete = exec("COMMIT") && out.complete;
    out.luminaires = known.take();
    return out;
}

bool SqliteLogbook::run_contents(std::int64_t runId, RunRecord& run) {
    Statement& e = cached(
        "SELECT e.id, e.gateway, e.unit, e.test_time, e.test_type, e.result, e.minutes, e.name, e.location,"
        " e.first_read FROM sightings s JOIN entries e ON e.id = s.entry_id WHERE s.run_id = ?1 ORDER BY e.id");
    e.bind(1, runId);
    while (e.step() == SQLITE_ROW) run.entries.push_back(entry_from(e));
    Statement& f = cached("SELECT unit FROM full_listings WHERE run_id = ?1 ORDER BY unit");
    f.bind(1, runId);
    while (f.step() == SQLITE_ROW) run.fullListings.push_back(static_cast<std::uint8_t>(f.integer(0)));
    Statement& s = cached("SELECT gateway, unit, taken, status FROM snapshots WHERE run_id = ?1 ORDER BY id");
    s.bind(1, runId);
    while (s.step() == SQLITE_ROW) run.snapshots.push_back(snapshot_from(s));
    return true;
}

std::optional<Logbook::Changes> SqliteLogbook::changes_after(std::int64_t runMark, std::int64_t remarkMark) {
    const Settle settled = settle();
    if (!exec("BEGIN")) return std::nullopt;
    Changes out;
    out.lastRun = runMark;
    out.lastRemark = remarkMark;
    std::vector<std::pair<std::int64_t, RunRecord>> runs;
    {
        Statement& q = cached(
            "SELECT id, uid, gateway, kind, started, complete, reason, host, user_name FROM runs WHERE id > ?1 ORDER BY id");
        q.bind(1, runMark);
        while (q.step() == SQLITE_ROW) {
            RunRecord r;
            r.uid = q.text(1);
            r.gateway = q.text(2);
            r.kind = q.text(3);
            r.started = q.text(4);
            r.complete = q.integer(5) != 0;
            r.reason = q.text(6);
            r.host = q.text(7);
            r.user = q.text(8);
            runs.emplace_back(q.integer(0), std::move(r));
        }
    }
    for (auto& [id, run] : runs) {
        run_contents(id, run);
        out.lastRun = id;
        out.runs.push_back(std::move(run));
    }
    Statement& r = cached("SELECT uid, gateway, unit, written, author, body, id FROM remarks WHERE id > ?1 ORDER BY id");
    r.bind(1, remarkMark);
    while (r.step() == SQLITE_ROW) {
        out.remarks.push_back(remark_from(r));
        out.lastRemark = r.integer(6);
    }
    exec("COMMIT");
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
    Statement& q = cached(
        "INSERT INTO sync_marks (target, run_mark, remark_mark) VALUES (?1, ?2, ?3)"
        " ON CONFLICT (target) DO UPDATE SET run_mark = excluded.run_mark, remark_mark = excluded.remark_mark");
    if (q.bind(1, target).bind(2, run).bind(3, remark).step() != SQLITE_DONE) return failed_step();
    return true;
}

bool SqliteLogbook::backup(const std::string& path) {
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
    // the copy is the logbook as it was at that moment.
    sqlite3_backup* b = sqlite3_backup_init(copy, "main", db_, "main");
    int rc = b ? sqlite3_backup_step(b, -1) : SQLITE_ERROR;
    if (b) sqlite3_backup_finish(b);
    const std::string why = sqlite3_errmsg(copy);
    sqlite3_close(copy);
    if (rc != SQLITE_DONE) {
        std::filesystem::remove(temp, ec);
        return fail("backup: " + why);
    }
    std::string publishWhy;
    if (!publish_new_file(temp, path, &publishWhy)) return fail(publishWhy);
    return true;
}

// ---- opening ----

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

// "ok", or why the file is no sound logbook of this version; migrates an
// older one inside one transaction.
std::string check_and_migrate(sqlite3* db) {
    int rc = SQLITE_OK;
    const std::string integrity = single_text(db, "PRAGMA integrity_check", &rc);
    if (rc != SQLITE_OK) return std::string("the file is damaged or no SQLite database (") + sqlite3_errmsg(db) + ")";
    if (integrity != "ok") return "the file is damaged (integrity check: " + integrity + ")";
    const std::string tables = single_text(db, "SELECT count(*) FROM sqlite_master", &rc);
    const std::string hasMeta =
        single_text(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'logbook_meta'", &rc);
    if (rc != SQLITE_OK) return sqlite3_errmsg(db);
    if (tables != "0" && hasMeta != "1") return "the file is a database of something else, not a logbook";
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return sqlite3_errmsg(db);
    int version = 0;
    if (hasMeta == "1") version = std::atoi(single_text(db, "SELECT value FROM logbook_meta WHERE key = 'schema'", &rc).c_str());
    std::string why;
    if (version > kLogbookSchemaVersion) {
        why = "the logbook was written by a newer version of the program (schema " + std::to_string(version) +
              ", this one knows " + std::to_string(kLogbookSchemaVersion) + ")";
    }
    for (int step = version + 1; why.empty() && step <= kLogbookSchemaVersion; ++step) {
        for (const std::string& sql : migration_statements(step, SqlDialect::Sqlite)) {
            if (why.empty() && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) why = sqlite3_errmsg(db);
        }
        if (why.empty() && sqlite3_exec(db, schema_version_statement(step).c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
            why = sqlite3_errmsg(db);
    }
    const char* end = why.empty() ? "COMMIT" : "ROLLBACK";
    if (sqlite3_exec(db, end, nullptr, nullptr, nullptr) != SQLITE_OK && why.empty()) why = sqlite3_errmsg(db);
    return why.empty() ? "ok" : why;
}

}  // namespace

std::unique_ptr<Logbook> open_sqlite_logbook(const std::string& path, std::string* why) {
    std::error_code ec;
    const bool exists = std::filesystem::exists(path, ec);
    if (!exists) {
        const std::filesystem::path parent = std::filesystem::path(path).parent_path();
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
    const std::string verdict = check_and_migrate(db);
    int rc = SQLITE_OK;
    // WAL only once the file is known to be ours: setting it writes.
    const std::string journal = verdict == "ok" ? single_text(db, "PRAGMA journal_mode=WAL", &rc) : "";
    if (verdict != "ok" || journal != "wal") {
        *why = path + ": " + (verdict != "ok" ? verdict : "the WAL journal cannot be used (" + journal + ")");
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_exec(db, "PRAGMA foreign_keys=ON; PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
    return std::make_unique<SqliteLogbook>(db, path);
}

#include "logbook_schema.h"

#include <cctype>
#include <iterator>

namespace {

// Spelled per dialect: {id} a row id the store assigns, {ref} a column that
// holds one, {blob} bytes.
const char* const kStep1[] = {
    "CREATE TABLE logbook_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    // One run of a listing or a survey, as the program ran it.
    "CREATE TABLE runs (id {id}, uid TEXT NOT NULL UNIQUE, gateway TEXT NOT NULL, kind TEXT NOT NULL,"
    " started TEXT NOT NULL, complete INTEGER NOT NULL, reason TEXT NOT NULL, host TEXT NOT NULL,"
    " user_name TEXT NOT NULL)",
    // One stored test entry, once: the unique key is what makes it the same
    // entry; it also orders one luminaire's history by test time.
    "CREATE TABLE entries (id {id}, gateway TEXT NOT NULL, unit INTEGER NOT NULL, test_time TEXT NOT NULL,"
    " test_type INTEGER NOT NULL, result INTEGER NOT NULL, minutes INTEGER NOT NULL, name TEXT NOT NULL,"
    " location TEXT NOT NULL, first_read TEXT NOT NULL, first_run {ref} NOT NULL REFERENCES runs(id),"
    " UNIQUE (gateway, unit, test_time, test_type, result, minutes))",
    // Which run read which entry.
    "CREATE TABLE sightings (run_id {ref} NOT NULL REFERENCES runs(id),"
    " entry_id {ref} NOT NULL REFERENCES entries(id), PRIMARY KEY (run_id, entry_id))",
    // Luminaires whose whole stored list a run read to its end.
    "CREATE TABLE full_listings (run_id {ref} NOT NULL REFERENCES runs(id), unit INTEGER NOT NULL,"
    " PRIMARY KEY (run_id, unit))",
    "CREATE INDEX full_listings_by_unit ON full_listings (unit, run_id)",
};

const char* const kStep2[] = {
    "CREATE TABLE snapshots (id {id}, run_id {ref} NOT NULL REFERENCES runs(id), gateway TEXT NOT NULL,"
    " unit INTEGER NOT NULL, taken TEXT NOT NULL, status {blob} NOT NULL)",
    "CREATE INDEX snapshots_by_unit ON snapshots (gateway, unit, taken)",
    "CREATE TABLE remarks (id {id}, uid TEXT NOT NULL UNIQUE, gateway TEXT NOT NULL, unit INTEGER NOT NULL,"
    " written TEXT NOT NULL, author TEXT NOT NULL, body TEXT NOT NULL)",
    "CREATE INDEX remarks_by_unit ON remarks (gateway, unit, written)",
    // What this store has pushed to another one (local row ids).
    "CREATE TABLE sync_marks (target TEXT PRIMARY KEY, run_mark BIGINT NOT NULL, remark_mark BIGINT NOT NULL)",
};

// The seal chain (seal.h): one link per sealed record, in the order the
// records were stored. `n` is given by the program, under the write lock,
// one more than the last: a gap means a link was removed.
const char* const kStep3[] = {
    "CREATE TABLE seals (n {ref} PRIMARY KEY, kind TEXT NOT NULL, uid TEXT NOT NULL, sealed TEXT NOT NULL,"
    " digest TEXT NOT NULL, seal TEXT NOT NULL, UNIQUE (kind, uid))",
};

// The monitor's state (monitor_state.h): each site's last round and the
// alerts it queued, per machine. Not part of the test record: not sealed,
// not synced. Created if missing: these rows hold no record, and a store that
// a test or a hand edit set back to an older version may have them already.
const char* const kStepMonitor[] = {
    "CREATE TABLE IF NOT EXISTS monitor_sites (id {id}, host TEXT NOT NULL, site TEXT NOT NULL,"
    " gateway TEXT NOT NULL, surveyed TEXT NOT NULL, run_uid TEXT NOT NULL, reachable INTEGER NOT NULL,"
    " attention INTEGER NOT NULL, outcome TEXT NOT NULL, digest_mark TEXT, UNIQUE (host, site))",
    "CREATE TABLE IF NOT EXISTS monitor_alerts (id {id}, uid TEXT NOT NULL UNIQUE, host TEXT NOT NULL,"
    " site TEXT NOT NULL, message_id TEXT NOT NULL, kind TEXT NOT NULL, created TEXT NOT NULL,"
    " content TEXT NOT NULL, workbook {blob}, run_uid TEXT NOT NULL, sending_since TEXT, sent_at TEXT,"
    " refusals INTEGER NOT NULL DEFAULT 0, last_error TEXT NOT NULL DEFAULT '', set_aside_at TEXT)",
    // What is still to be sent: a handful of rows, however many were sent.
    "CREATE INDEX IF NOT EXISTS monitor_alerts_waiting ON monitor_alerts (host, id)"
    " WHERE sent_at IS NULL AND set_aside_at IS NULL",
};

std::string replace_all(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

std::string spelled(const std::string& sql, SqlDialect d) {
    const bool pg = d == SqlDialect::Postgres;
    std::string s = replace_all(sql, "{id}", pg ? "BIGSERIAL PRIMARY KEY" : "INTEGER PRIMARY KEY");
    s = replace_all(s, "{ref}", pg ? "BIGINT" : "INTEGER");
    return replace_all(s, "{blob}", pg ? "BYTEA" : "BLOB");
}

// The entry columns and the "held at the last full listing" mark.
const char* const kEntryColumns =
    "x.id, x.gateway, x.unit, x.test_time, x.test_type, x.result, x.minutes, x.name, x.location, x.first_read,"
    " CASE WHEN x.lf IS NULL THEN NULL"
    " WHEN EXISTS (SELECT 1 FROM sightings s WHERE s.run_id = x.lf AND s.entry_id = x.id) THEN 1 ELSE 0 END";
const char* const kLastFull =
    "(SELECT max(f.run_id) FROM full_listings f JOIN runs r ON r.id = f.run_id"
    " WHERE f.unit = e.unit AND r.gateway = e.gateway) AS lf";
// The same for one gateway's luminaire: free of the row, so it is worked
// out once per query and not once per entry.
const char* const kLastFullOfOne =
    "(SELECT max(f.run_id) FROM full_listings f JOIN runs r ON r.id = f.run_id"
    " WHERE f.unit = ?1 AND r.gateway = ?3) AS lf";

template <std::size_t N>
std::vector<std::string> spelled_all(const char* const (&statements)[N], SqlDialect dialect) {
    std::vector<std::string> out;
    for (const char* s : statements) out.push_back(spelled(s, dialect));
    return out;
}

bool run_all(SchemaStore& store, const std::vector<std::string>& statements) {
    for (const std::string& sql : statements) {
        if (!store.exec(sql)) return false;
    }
    return true;
}

bool step1(SchemaStore& store) { return run_all(store, spelled_all(kStep1, store.dialect())); }
bool step2(SchemaStore& store) { return run_all(store, spelled_all(kStep2, store.dialect())); }
// What was stored before the seals is sealed as it is now.
bool step3(SchemaStore& store) { return run_all(store, spelled_all(kStep3, store.dialect())) && store.seal_unsealed(); }
// New tables only: nothing stored before changes.
bool step_monitor(SchemaStore& store) { return run_all(store, spelled_all(kStepMonitor, store.dialect())); }

// kSteps[v] takes a store from version v to v + 1.
bool (*const kSteps[])(SchemaStore&) = {step1, step2, step3, step_monitor};
static_assert(std::size(kSteps) == kLogbookSchemaVersion, "one step per version");

}  // namespace

bool migrate_schema(SchemaStore& store, int version) {
    for (int v = version; v < kLogbookSchemaVersion; ++v) {
        if (!kSteps[v](store) || !store.exec(schema_version_statement(v + 1))) return false;
    }
    return true;
}

std::vector<std::string> migration_statements(int step, SqlDialect dialect) {
    if (step == 1) return spelled_all(kStep1, dialect);
    if (step == 2) return spelled_all(kStep2, dialect);
    if (step == 3) return spelled_all(kStep3, dialect);
    if (step == 4) return spelled_all(kStepMonitor, dialect);
    return {};
}

std::string schema_version_statement(int version) {
    const std::string v = std::to_string(version);
    return "INSERT INTO logbook_meta (key, value) VALUES ('schema', '" + v +
           "') ON CONFLICT (key) DO UPDATE SET value = '" + v + "'";
}

std::string in_dialect(const std::string& sql, SqlDialect dialect) {
    if (dialect == SqlDialect::Sqlite) return sql;
    std::string out = sql;
    for (char& c : out) {
        if (c == '?') c = '$';
    }
    return out;
}

std::string history_query(bool oneGateway) {
    return std::string("SELECT ") + kEntryColumns + " FROM (SELECT e.*, " + (oneGateway ? kLastFullOfOne : kLastFull) +
           " FROM entries e WHERE e.unit = ?1 AND e.test_time >= ?2" + (oneGateway ? " AND e.gateway = ?3" : "") +
           ") x ORDER BY x.test_time DESC, x.id DESC";
}

std::string remarks_query(bool oneGateway) {
    return std::string("SELECT uid, gateway, unit, written, author, body FROM remarks WHERE unit = ?1 AND written >= ?2") +
           (oneGateway ? " AND gateway = ?3" : "") + " ORDER BY written DESC, id DESC";
}

std::string site_history_query() {
    return std::string("SELECT ") + kEntryColumns + " FROM (SELECT e.*, " + kLastFull +
           " FROM entries e WHERE e.test_time >= ?1) x ORDER BY x.gateway, x.unit, x.test_time DESC, x.id DESC";
}

std::string site_remarks_query() {
    return "SELECT uid, gateway, unit, written, author, body FROM remarks WHERE written >= ?1"
           " ORDER BY gateway, unit, written DESC, id DESC";
}

std::string unsealed_runs_query() {
    return "SELECT r.id, r.uid, r.gateway, r.kind, r.started, r.complete, r.reason, r.host, r.user_name FROM runs r"
           " WHERE NOT EXISTS (SELECT 1 FROM seals s WHERE s.kind = 'run' AND s.uid = r.uid) ORDER BY r.id";
}

std::string unsealed_remarks_query() {
    return "SELECT m.uid, m.gateway, m.unit, m.written, m.author, m.body FROM remarks m"
           " WHERE NOT EXISTS (SELECT 1 FROM seals s WHERE s.kind = 'remark' AND s.uid = m.uid) ORDER BY m.id";
}

std::string unread_entries_query() {
    return "SELECT e.id, e.gateway, e.unit, e.test_time, e.test_type, e.result, e.minutes, e.name, e.location,"
           " e.first_read FROM entries e"
           " WHERE NOT EXISTS (SELECT 1 FROM sightings s WHERE s.run_id = e.first_run AND s.entry_id = e.id) ORDER BY e.id";
}

std::string loose_snapshots_query() {
    return "SELECT s.gateway, s.unit, s.taken, s.status FROM snapshots s"
           " WHERE NOT EXISTS (SELECT 1 FROM runs r WHERE r.id = s.run_id) ORDER BY s.id";
}

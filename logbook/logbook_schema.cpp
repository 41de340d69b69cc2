#include "logbook_schema.h"

#include <cctype>
#include <initializer_list>
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

// Sites. Everything stored before belongs to the site of its address
// (address_site_uid, spelled here in SQL), named after the address;
// nothing else of it changes. A site's fingerprint is the text of
// fingerprint_text(); `named` is empty until a user names it.
const char* const kStep4[] = {
    "CREATE TABLE sites (id {id}, uid TEXT NOT NULL UNIQUE, name TEXT NOT NULL, named TEXT NOT NULL,"
    " fingerprint TEXT NOT NULL, fingerprint_taken TEXT NOT NULL)",
    // Every address a site's gateway had, from when to when.
    "CREATE TABLE site_gateways (site TEXT NOT NULL, gateway TEXT NOT NULL, first_seen TEXT NOT NULL,"
    " last_seen TEXT NOT NULL, PRIMARY KEY (site, gateway))",
    "CREATE INDEX site_gateways_by_address ON site_gateways (gateway, last_seen)",
    // A site another logbook made for a site's gateway, met in a sync.
    "CREATE TABLE site_joins (joined TEXT PRIMARY KEY, site TEXT NOT NULL)",
    "INSERT INTO sites (uid, name, named, fingerprint, fingerprint_taken) SELECT {address_site}, g.gateway, '', '', ''"
    " FROM (SELECT gateway FROM runs UNION SELECT gateway FROM remarks) g ORDER BY g.gateway",
    "INSERT INTO site_gateways (site, gateway, first_seen, last_seen) SELECT {address_prefix} || g.gateway, g.gateway,"
    " coalesce(min(r.started), ''), coalesce(max(r.started), '') FROM (SELECT gateway FROM runs UNION"
    " SELECT gateway FROM remarks) g LEFT JOIN runs r ON r.gateway = g.gateway GROUP BY g.gateway",
    "ALTER TABLE runs ADD COLUMN site TEXT NOT NULL DEFAULT ''",
    "UPDATE runs SET site = {address_site}",
    "CREATE INDEX runs_by_site ON runs (site, id)",
    "ALTER TABLE snapshots ADD COLUMN site TEXT NOT NULL DEFAULT ''",
    "UPDATE snapshots SET site = {address_site}",
    "CREATE INDEX snapshots_by_site ON snapshots (site, unit, taken)",
    "ALTER TABLE remarks ADD COLUMN site TEXT NOT NULL DEFAULT ''",
    "ALTER TABLE remarks ADD COLUMN kind TEXT NOT NULL DEFAULT 'note'",
    "ALTER TABLE remarks ADD COLUMN part TEXT NOT NULL DEFAULT ''",
    "UPDATE remarks SET site = {address_site}",
    "CREATE INDEX remarks_by_site ON remarks (site, unit, written)",
};

// The entries' unique key takes the site in place of the address, which
// SQLite can only do by building the table anew (same ids, same rows).
const char* const kStep4EntriesSqlite[] = {
    "CREATE TABLE entries_of_sites (id {id}, site TEXT NOT NULL, gateway TEXT NOT NULL, unit INTEGER NOT NULL,"
    " test_time TEXT NOT NULL, test_type INTEGER NOT NULL, result INTEGER NOT NULL, minutes INTEGER NOT NULL,"
    " name TEXT NOT NULL, location TEXT NOT NULL, first_read TEXT NOT NULL,"
    " first_run {ref} NOT NULL REFERENCES runs(id), UNIQUE (site, unit, test_time, test_type, result, minutes))",
    "INSERT INTO entries_of_sites (id, site, gateway, unit, test_time, test_type, result, minutes, name, location,"
    " first_read, first_run) SELECT id, {address_site}, gateway, unit, test_time, test_type, result, minutes, name,"
    " location, first_read, first_run FROM entries ORDER BY id",
    "DROP TABLE entries",
    "ALTER TABLE entries_of_sites RENAME TO entries",
};
const char* const kStep4EntriesPostgres[] = {
    "ALTER TABLE entries ADD COLUMN site TEXT NOT NULL DEFAULT ''",
    "UPDATE entries SET site = {address_site}",
    "DO $$ DECLARE c text; BEGIN SELECT conname INTO c FROM pg_constraint WHERE conrelid = 'entries'::regclass"
    " AND contype = 'u'; EXECUTE format('ALTER TABLE entries DROP CONSTRAINT %I', c); END $$",
    "ALTER TABLE entries ADD CONSTRAINT entries_site_key UNIQUE (site, unit, test_time, test_type, result, minutes)",
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
    s = replace_all(s, "{address_site}", "{address_prefix} || gateway");
    s = replace_all(s, "{address_prefix}", std::string("'") + kAddressSitePrefix + "'");
    return replace_all(s, "{blob}", pg ? "BYTEA" : "BLOB");
}

// The "held at the last full listing" mark of an entry row x with lf, the
// last run of its site that read the luminaire's whole list.
const char* const kHeldMark =
    "CASE WHEN x.lf IS NULL THEN NULL"
    " WHEN EXISTS (SELECT 1 FROM sightings s WHERE s.run_id = x.lf AND s.entry_id = x.id) THEN 1 ELSE 0 END";
const char* const kLastFull =
    "(SELECT max(f.run_id) FROM full_listings f JOIN runs r ON r.id = f.run_id"
    " WHERE f.unit = e.unit AND r.site = e.site) AS lf";
// The same for one site's luminaire: free of the row, so it is worked out
// once per query and not once per entry.
const char* const kLastFullOfOne =
    "(SELECT max(f.run_id) FROM full_listings f JOIN runs r ON r.id = f.run_id"
    " WHERE f.unit = ?1 AND r.site = ?3) AS lf";

std::string with_alias(const char* alias, std::initializer_list<const char*> names) {
    std::string out;
    for (const char* n : names) out += (out.empty() ? "" : ", ") + std::string(alias) + "." + n;
    return out;
}
std::string address_site_of(const char* alias) {
    return std::string("'") + kAddressSitePrefix + "' || " + alias + ".gateway";
}

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

std::vector<std::string> step4_statements(SqlDialect dialect) {
    std::vector<std::string> out = spelled_all(kStep4, dialect);
    const std::vector<std::string> entries = dialect == SqlDialect::Sqlite ? spelled_all(kStep4EntriesSqlite, dialect)
                                                                           : spelled_all(kStep4EntriesPostgres, dialect);
    out.insert(out.end(), entries.begin(), entries.end());
    return out;
}
// Every record keeps its content: the sealed content of a record of its
// address's site is what it was (seal.h), so the seals still hold.
bool step4(SchemaStore& store) { return run_all(store, step4_statements(store.dialect())); }

// kSteps[v] takes a store from version v to v + 1.
bool (*const kSteps[])(SchemaStore&) = {step1, step2, step3, step4, step_monitor};
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
    if (step == 4) return step4_statements(dialect);
    if (step == 5) return spelled_all(kStepMonitor, dialect);
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

std::string entry_columns(const char* alias, bool beforeSites) {
    return with_alias(alias, {"id", "gateway", "unit", "test_time", "test_type", "result", "minutes", "name", "location",
                              "first_read"}) +
           ", " + (beforeSites ? address_site_of(alias) : std::string(alias) + ".site");
}

std::string run_columns(const char* alias, bool beforeSites) {
    return with_alias(alias, {"id", "uid", "gateway", "kind", "started", "complete", "reason", "host", "user_name"}) +
           ", " + (beforeSites ? address_site_of(alias) : std::string(alias) + ".site");
}

std::string remark_columns(const char* alias, bool beforeSites) {
    return with_alias(alias, {"uid", "gateway", "unit", "written", "author", "body"}) + ", " +
           (beforeSites ? address_site_of(alias) + ", 'note', ''" : with_alias(alias, {"site", "kind", "part"}));
}

std::string history_query(bool oneSite) {
    return "SELECT " + entry_columns("x") + ", " + kHeldMark + " FROM (SELECT e.*, " +
           (oneSite ? kLastFullOfOne : kLastFull) + " FROM entries e WHERE e.unit = ?1 AND e.test_time >= ?2" +
           (oneSite ? " AND e.site = ?3" : "") + ") x ORDER BY x.test_time DESC, x.id DESC";
}

std::string remarks_query(bool oneSite) {
    return "SELECT " + remark_columns("m") + " FROM remarks m WHERE m.unit = ?1 AND m.written >= ?2" +
           (oneSite ? " AND m.site = ?3" : "") + " ORDER BY m.written DESC, m.id DESC";
}

std::string site_history_query(bool oneSite) {
    return "SELECT " + entry_columns("x") + ", " + kHeldMark + " FROM (SELECT e.*, " + kLastFull +
           " FROM entries e WHERE e.test_time >= ?1" + (oneSite ? " AND e.site = ?2" : "") +
           ") x ORDER BY x.site, x.unit, x.test_time DESC, x.id DESC";
}

std::string site_remarks_query(bool oneSite) {
    return "SELECT " + remark_columns("m") + " FROM remarks m WHERE m.written >= ?1" +
           (oneSite ? " AND m.site = ?2" : "") + " ORDER BY m.site, m.unit, m.written DESC, m.id DESC";
}

std::string unsealed_runs_query(bool beforeSites) {
    return "SELECT " + run_columns("r", beforeSites) +
           " FROM runs r WHERE NOT EXISTS (SELECT 1 FROM seals s WHERE s.kind = 'run' AND s.uid = r.uid) ORDER BY r.id";
}

std::string unsealed_remarks_query(bool beforeSites) {
    return "SELECT " + remark_columns("m", beforeSites) +
           " FROM remarks m WHERE NOT EXISTS (SELECT 1 FROM seals s WHERE s.kind = 'remark' AND s.uid = m.uid)"
           " ORDER BY m.id";
}

std::string unread_entries_query() {
    return "SELECT " + entry_columns("e") + " FROM entries e"
           " WHERE NOT EXISTS (SELECT 1 FROM sightings s WHERE s.run_id = e.first_run AND s.entry_id = e.id) ORDER BY e.id";
}

std::string loose_snapshots_query() {
    return "SELECT s.gateway, s.unit, s.taken, s.status FROM snapshots s"
           " WHERE NOT EXISTS (SELECT 1 FROM runs r WHERE r.id = s.run_id) ORDER BY s.id";
}

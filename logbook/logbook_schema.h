// The logbook's schema, the same for both stores, as numbered steps. A
// store at version v runs the steps v+1 .. kLogbookSchemaVersion, one
// function each, all in the one write transaction in which its version was
// read (so two programs opening it at once never both migrate it); a store
// above kLogbookSchemaVersion was written by a newer program and is
// refused, never changed.
//
// A new step: its statements (kStepN in logbook_schema.cpp), a function
// that runs them and whatever else it needs of the store, its place in the
// steps' table, and kLogbookSchemaVersion one up.
#pragma once

#include <string>
#include <vector>

inline constexpr int kLogbookSchemaVersion = 5;

// address_site_uid() is this prefix and the address (version 4 brings the
// sites, and gives each address of an older store one).
inline constexpr const char* kAddressSitePrefix = "address ";

enum class SqlDialect { Sqlite, Postgres };

// What a step asks of the store it runs in, inside the write transaction.
class SchemaStore {
public:
    virtual ~SchemaStore() = default;
    virtual SqlDialect dialect() const = 0;
    // One statement; false, with the reason in error(), when it failed.
    virtual bool exec(const std::string& sql) = 0;
    // Seals every run, then every remark, that no seal covers yet, in the
    // order they were stored (version 3 brings the seals).
    virtual bool seal_unsealed() = 0;
    virtual std::string error() const = 0;
};

// Takes `store` from `version` up to kLogbookSchemaVersion, a step at a
// time, noting each version reached. False (error()) when a step failed:
// the caller then rolls the whole transaction back.
bool migrate_schema(SchemaStore& store, int version);

// The statements of step `step` (1 .. kLogbookSchemaVersion) alone, in the
// dialect's spelling: an older store, as a test makes one.
std::vector<std::string> migration_statements(int step, SqlDialect dialect);

// The statement that records the version a store is at.
std::string schema_version_statement(int version);

// The queries both stores run, written with ?1, ?2 ... placeholders; for
// PostgreSQL they become $1, $2 ...
std::string in_dialect(const std::string& sql, SqlDialect dialect);

// The columns every read of a row takes, in this order, for the table
// behind `alias`: an entry's id, gateway, unit, test_time, test_type,
// result, minutes, name, location, first_read, site; a run's id, uid,
// gateway, kind, started, complete, reason, host, user_name, site; a
// remark's uid, gateway, unit, written, author, body, site, kind, part.
// `beforeSites`: as a store of version 3 holds them (step 3 seals such a
// store), every row of its address's site, every remark a note.
std::string entry_columns(const char* alias, bool beforeSites = false);
std::string run_columns(const char* alias, bool beforeSites = false);
std::string remark_columns(const char* alias, bool beforeSites = false);

// The history of one luminaire: the entry columns, then on_gateway (NULL:
// no full listing known; 1 held at the last one of its site; 0 not held).
// ?1 unit, ?2 since, ?3 site when `oneSite`.
std::string history_query(bool oneSite);
// Remarks of one luminaire: the remark columns; same parameters.
std::string remarks_query(bool oneSite);
// Every entry of the logbook from ?1 on (of the site ?2 when `oneSite`),
// with the same columns, by site, unit and newest first.
std::string site_history_query(bool oneSite);
std::string site_remarks_query(bool oneSite);

// What no seal covers, for the walk of the chain and for sealing a store
// that had no seals: runs and remarks without a link (their columns), by
// row id; entries that the run which stored them did not read (the entry
// columns); snapshots of no run (gateway, unit, taken, status).
std::string unsealed_runs_query(bool beforeSites = false);
std::string unsealed_remarks_query(bool beforeSites = false);
std::string unread_entries_query();
std::string loose_snapshots_query();

// The logbook's schema, the same for both stores, as numbered migrations.
// A store at version v runs the steps v+1 .. kLogbookSchemaVersion, all in
// one transaction; a store above kLogbookSchemaVersion was written by a newer
// program and is refused, never changed.
#pragma once

#include <string>
#include <vector>

inline constexpr int kLogbookSchemaVersion = 2;

enum class SqlDialect { Sqlite, Postgres };

// The statements that take a store from version `step - 1` to `step`
// (1 .. kLogbookSchemaVersion), in the dialect's spelling.
std::vector<std::string> migration_statements(int step, SqlDialect dialect);

// The statement that records the version a store is at.
std::string schema_version_statement(int version);

// The queries both stores run, written with ?1, ?2 ... placeholders; for
// PostgreSQL they become $1, $2 ...
std::string in_dialect(const std::string& sql, SqlDialect dialect);

// The history of one luminaire: id, gateway, unit, test_time, test_type,
// result, minutes, name, location, first_read, on_gateway (NULL: no full
// listing known; 1 held at the last one; 0 not held). ?1 unit, ?2 since,
// ?3 gateway when `oneGateway`.
std::string history_query(bool oneGateway);
// Remarks of one luminaire: uid, gateway, unit, written, author, body; same
// parameters.
std::string remarks_query(bool oneGateway);
// Every entry of the site from ?1 on, with the same columns, by gateway,
// unit and newest first.
std::string site_history_query();
std::string site_remarks_query();

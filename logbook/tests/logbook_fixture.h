// Real stores for the logbook tests: a SQLite file in a fresh folder, or a
// fresh database on the suite's own PostgreSQL server (ORVYPC_TEST_POSTGRES,
// set by the ctest fixture that starts it). A build without the server
// store (Windows) has the SQLite file only: kStoreKinds.
#pragma once

#include "logbook.h"
#include "logbook_schema.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#if ORVYPC_TEST_POSTGRES_STORE
#include <libpq-fe.h>
#endif

#include <filesystem>
#include <fstream>
#include <string>

enum class StoreKind { Sqlite, Postgres };
#if ORVYPC_TEST_POSTGRES_STORE
inline const auto kStoreKinds = testing::Values(StoreKind::Sqlite, StoreKind::Postgres);
#else
inline const auto kStoreKinds = testing::Values(StoreKind::Sqlite);
#endif

inline std::string store_name(const testing::TestParamInfo<StoreKind>& info) {
    return info.param == StoreKind::Sqlite ? "Sqlite" : "Postgres";
}

inline std::string test_server_url(const std::string& database = "postgres") {
    // "?host=<socket folder>&user=<server user>", from the ctest fixture.
    const char* query = std::getenv("ORVYPC_TEST_POSTGRES");
#ifdef ORVYPC_TEST_POSTGRES_QUERY
    if (query == nullptr) query = ORVYPC_TEST_POSTGRES_QUERY;
#endif
    if (query == nullptr) return {};
    return "postgresql:///" + database + query;
}

// One SQL statement on the test server's maintenance database.
inline bool server_exec(const std::string& sql, const std::string& database = "postgres") {
#if ORVYPC_TEST_POSTGRES_STORE
    PGconn* c = PQconnectdb(test_server_url(database).c_str());
    bool ok = PQstatus(c) == CONNECTION_OK;
    if (ok) {
        PGresult* r = PQexec(c, sql.c_str());
        ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        if (!ok) ADD_FAILURE() << PQresultErrorMessage(r);
        PQclear(r);
    }
    PQfinish(c);
    return ok;
#else
    ADD_FAILURE() << "no server store in this build: " << sql << " on " << database;
    return false;
#endif
}

// SQL on a store from outside the program, as another program would run it.
inline bool store_exec(StoreKind kind, const std::string& where, const std::string& sql) {
#if ORVYPC_TEST_POSTGRES_STORE
    if (kind == StoreKind::Postgres) {
        PGconn* c = PQconnectdb(where.c_str());
        PGresult* r = PQexec(c, sql.c_str());
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        if (!ok) ADD_FAILURE() << sql << ": " << PQresultErrorMessage(r);
        PQclear(r);
        PQfinish(c);
        return ok;
    }
#else
    EXPECT_EQ(kind, StoreKind::Sqlite) << "no server store in this build";
#endif
    sqlite3* db = nullptr;
    char* error = nullptr;
    const bool ok = sqlite3_open_v2(where.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
                    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK;
    if (!ok) ADD_FAILURE() << sql << ": " << (error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    return ok;
}

// A store as an older program left it: the schema's steps 1 .. `version`
// alone, then `rows` (SQL of that version) in it.
inline bool make_older_store(StoreKind kind, const std::string& where, int version, const std::string& rows) {
    std::string sql;
    const SqlDialect dialect = kind == StoreKind::Sqlite ? SqlDialect::Sqlite : SqlDialect::Postgres;
    for (int step = 1; step <= version; ++step) {
        for (const std::string& statement : migration_statements(step, dialect)) sql += statement + ";\n";
    }
    sql += schema_version_statement(version) + ";\n" + rows;
    if (kind == StoreKind::Sqlite) {
        sqlite3* db = nullptr;
        const bool made = sqlite3_open(where.c_str(), &db) == SQLITE_OK;   // creates the file
        sqlite3_close(db);
        if (!made) return false;
    }
    return store_exec(kind, where, sql);
}

// What a program of version 2 stored: one details run of 10.0.0.7 that
// read A5's entry, and a remark.
inline const char* const kVersion2Rows =
    "INSERT INTO runs (uid, gateway, kind, started, complete, reason, host, user_name) VALUES"
    " ('r1', '10.0.0.7', 'details', '2026-01-01T10:00:00Z', 1, '', 'h', 'u');"
    "INSERT INTO entries (gateway, unit, test_time, test_type, result, minutes, name, location, first_read,"
    " first_run) VALUES ('10.0.0.7', 5, '2026-01-01 09:00:00', 0, 1, 0, 'Hall', 'Floor 1', '2026-01-01T10:00:00Z', 1);"
    "INSERT INTO sightings (run_id, entry_id) VALUES (1, 1); INSERT INTO full_listings (run_id, unit) VALUES (1, 5);"
    "INSERT INTO remarks (uid, gateway, unit, written, author, body) VALUES"
    " ('m1', '10.0.0.7', 5, '2026-01-03 10:00:00', 'tech', 'checked');";

inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A folder for the test's files, and a place for each kind of store.
class StoreFixture {
public:
    StoreFixture() {
        dir_ = std::filesystem::temp_directory_path() / ("orvypc-logbook-" + new_run_uid().substr(0, 12));
        std::filesystem::create_directories(dir_);
    }
    ~StoreFixture() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        for (const std::string& db : databases_) server_exec("DROP DATABASE IF EXISTS " + db + " WITH (FORCE)");
    }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }

    // Where a new, empty store of that kind lives ("" when the test server
    // is not there: the test then fails, it is never skipped silently).
    std::string new_store(StoreKind kind, const std::string& name = "logbook") {
        if (kind == StoreKind::Sqlite) return file(name + "-" + new_run_uid().substr(0, 8) + ".sqlite");
        const std::string db = "t" + new_run_uid().substr(0, 16);
        if (test_server_url().empty() || !server_exec("CREATE DATABASE " + db)) return {};
        databases_.push_back(db);
        return test_server_url(db);
    }

    std::unique_ptr<Logbook> open(const std::string& where) {
        std::string why;
        auto book = open_logbook(where, &why);
        EXPECT_TRUE(book) << where << ": " << why;
        return book;
    }

private:
    std::filesystem::path dir_;
    std::vector<std::string> databases_;
};

inline LogEntry entry(const std::string& time, std::uint8_t unit = 5, const std::string& name = "Hall",
                      std::uint8_t result = 1, std::uint8_t minutes = 0, const std::string& gateway = "10.0.0.7") {
    LogEntry e;
    e.gateway = gateway;
    e.unit = unit;
    e.testType = 0;
    e.testTime = time;
    e.result = result;
    e.minutes = minutes;
    e.name = name;
    e.location = "Floor 1";
    return e;
}

inline RunRecord run_of(std::vector<LogEntry> entries, std::vector<std::uint8_t> full = {}) {
    RunRecord r;
    r.uid = new_run_uid();
    r.gateway = entries.empty() ? "10.0.0.7" : entries[0].gateway;
    r.kind = full.empty() ? "results" : "details";
    r.complete = true;
    r.entries = std::move(entries);
    r.fullListings = std::move(full);
    return r;
}

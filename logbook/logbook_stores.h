// The two stores behind the Logbook interface, and what they share. Callers
// outside this folder use open_logbook().
#pragma once

#include "logbook.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

std::unique_ptr<Logbook> open_sqlite_logbook(const std::string& path, std::string* why);
// The same store writing no seals: for the logbook benchmark only, which
// measures what the seals cost. Its runs show as put in by hand.
std::unique_ptr<Logbook> open_unsealed_sqlite_logbook_for_benchmark(const std::string& path, std::string* why);
std::unique_ptr<Logbook> open_postgres_logbook(const std::string& url, std::string* why);

// Entries and remarks, each newest first within a luminaire, merged into one
// history in the order `sorted_before` gives.
std::vector<HistoryItem> merge_history(std::vector<HistoryItem> entries, const std::vector<Remark>& remarks,
                                       bool bySite);

// Text read out of a store, for showing: every text valid UTF-8 (an older
// program or a hand edit may have left other bytes).
void make_valid_text(HistoryItem& item);
// A run or remark on its way in, with every text valid UTF-8: the record
// itself when it is, else `scratch` filled with the mended copy.
const RunRecord& with_valid_text(const RunRecord& run, RunRecord& scratch);
Remark with_valid_text(Remark remark);
Site with_valid_text(Site site);
LogEntry with_valid_text(LogEntry entry);

// What a store gives the walk of its seal chain, all within one read.
class SealSource {
public:
    virtual ~SealSource() = default;
    enum class Found { Yes, No, Failed };
    // Every link in chain order; false when the read broke off.
    virtual bool each_link(const std::function<bool(const SealMark&)>& visit) = 0;
    // A sealed record as the store holds it, byte for byte.
    virtual Found sealed_run(const std::string& uid, RunRecord* run) = 0;
    virtual Found sealed_remark(const std::string& uid, Remark* remark) = 0;
    // What no seal covers: runs and remarks without a link, entries that no
    // run read, snapshots of no run. False when the read broke off.
    virtual bool unsealed(std::vector<SealFinding>* findings) = 0;
};
ChainCheck walk_seal_chain(SealSource& source);

// One statement with parameters, for what both stores do alike (the
// monitor's state): ?1, ?2 ... placeholders, every value as text or bytes.
struct SqlValue {
    std::optional<std::string> text;   // none: NULL
    bool blob = false;                 // bytes, not text
};
using SqlRow = std::vector<std::optional<std::string>>;   // a blob's bytes as they are
class SqlRunner {
public:
    virtual ~SqlRunner() = default;
    // False (error()) when the statement failed; `rows` gets what it
    // returned, `changed` how many rows it changed.
    virtual bool run(const std::string& sql, const std::vector<SqlValue>& params, std::vector<SqlRow>* rows = nullptr,
                     std::int64_t* changed = nullptr) = 0;
    // `body` in one write transaction, or in the one open already.
    virtual bool write(const std::function<bool()>& body) = 0;
    virtual std::string error() const = 0;
};
// The monitor's state over a store's statements, the same for both.
std::unique_ptr<MonitorState> sql_monitor_state(SqlRunner& store);

// A server URL with any password blanked out, for messages.
std::string url_without_password(const std::string& url);

// Copies everything `from` holds into a new SQLite file at `path` (refused
// when it exists): the backup of a store that has no file of its own.
bool copy_into_new_file(Logbook& from, const std::string& path, std::string* why);
// Moves the finished file at `temp` to `path` unless something is there;
// `temp` is gone either way. One implementation file per platform.
bool publish_new_file(const std::string& temp, const std::string& path, std::string* why);
inline constexpr const char* kLeftAlone = "a file of that name is there already; it was left alone";

// Bytes from the system's random source (one implementation file per
// platform).
void system_random_bytes(unsigned char* bytes, std::size_t n);

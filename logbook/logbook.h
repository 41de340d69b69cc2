// The logbook: every test entry this program has read from a gateway, every
// status snapshot a survey took and every remark a technician wrote, kept
// for years. Append-only: nothing here deletes or changes what was written,
// and every run and remark is sealed as it is stored (seal.h), so that a
// change made by anyone else shows.
//
// One interface, two stores: a SQLite file on this machine (the default) and
// a PostgreSQL server that a maintenance team shares. Both hold the same
// schema. No Qt, no network of the gateway, no workbooks here: callers hand
// in plain values and get plain values back.
#pragma once

#include "monitor_state.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A site: a place with one gateway, by the name the technician gives it.
// Everything the logbook holds belongs to one site, and a site keeps every
// address its gateway had; two gateways at the same address (a factory
// default, the same private subnet at every customer) are two sites whose
// records never mix. sites.h tells which site a gateway is.
struct SiteLuminaire {         // one line of a fingerprint
    std::uint8_t unit = 0;
    std::string name, location;
    bool operator==(const SiteLuminaire&) const = default;
};
struct SiteAddress {
    std::string gateway;       // the address text
    std::string firstSeen, lastSeen;   // UTC "YYYY-MM-DDTHH:MM:SSZ"
};
struct Site {
    std::string uid;           // the same site in every logbook, whatever its name
    std::string name;
    std::string named;         // UTC when it got that name; empty: named after its address by the program
    std::vector<SiteAddress> addresses;        // oldest first
    // What its gateway held when last read whole, by unit; empty: not known.
    std::vector<SiteLuminaire> fingerprint;
    std::string fingerprintTaken;              // UTC
    // The uids of sites that another logbook made for this site's gateway
    // and a sync found to be this one: what comes under them is stored here.
    std::vector<std::string> joined;
};
// The site an address had in a logbook written before sites: its uid is
// made from the address, the same in every such logbook, so a sync brings
// their records together as they always were.
std::string address_site_uid(const std::string& gateway);

// One test entry as the gateway stored it. Two entries are the same entry
// when site, unit, type, test time, result and minutes agree (the same
// gateway at a new address reads them again); the name, the location and
// the address are what the gateway had when the entry was first read.
struct LogEntry {
    std::string gateway;       // the gateway's address text
    std::uint8_t unit = 0;     // 0..63 line A, 64..127 line B
    std::uint8_t testType = 0; // 1 duration test, else function test
    std::string testTime;      // "YYYY-MM-DD HH:MM:SS", the gateway's clock
    std::uint8_t result = 0;   // 1 passed, 0xFF failed, else none
    std::uint8_t minutes = 0;  // 0xFF none
    std::string name, location;
    std::string firstRead;     // UTC "YYYY-MM-DDTHH:MM:SSZ"; filled by record() when empty
    std::string site;          // as read back; a run's entries are its site's
};

inline constexpr std::size_t kStatusSnapshotBytes = 40;   // the data bytes of a status reply

struct StatusSnapshot {
    std::string gateway;
    std::uint8_t unit = 0;
    std::string taken;         // UTC "YYYY-MM-DDTHH:MM:SSZ"
    std::array<std::uint8_t, kStatusSnapshotBytes> status{};
};

// What one run of a listing or a survey read, written in one transaction.
struct RunRecord {
    std::string uid;           // new_run_uid(); the same run is never stored twice
    std::string site;          // the site's uid; empty: address_site_uid(gateway)
    std::string gateway;
    std::string kind;          // "results", "details", "survey"
    std::string started;       // UTC
    bool complete = false;     // false: the run ended early; its entries are kept all the same
    std::string reason;        // why it is incomplete, in words
    std::string host, user;
    std::vector<LogEntry> entries;
    // Luminaires whose whole stored list this run read to its end (a details
    // listing, a survey): what the gateway holds for them is known.
    std::vector<std::uint8_t> fullListings;
    std::vector<StatusSnapshot> snapshots;
};

// A remark is a note, or a repair with the part it names.
inline constexpr const char* kRemarkNote = "note";
inline constexpr const char* kRemarkRepair = "repair";
inline constexpr const char* const kRepairParts[] = {"battery", "lamp", "gear", "other"};

struct Remark {
    std::string uid;           // new_run_uid()
    std::string gateway;
    std::uint8_t unit = 0;
    std::string written;       // local time "YYYY-MM-DD HH:MM:SS", to sort among the tests
    std::string author;
    std::string text;
    std::string site = {};     // the site's uid; empty: address_site_uid(gateway)
    std::string kind = kRemarkNote;
    std::string part = {};     // a repair's: one of kRepairParts, or empty (not said)
    bool is_repair() const { return kind == kRemarkRepair; }
};

// One line of a luminaire's history: a test entry or a remark.
struct HistoryItem {
    bool isRemark = false;
    LogEntry entry;            // test entries
    Remark remark;             // remarks
    // Whether the gateway still held the entry at the last full listing of
    // the luminaire that the logbook knows; empty when there was none.
    std::optional<bool> onGateway;
    std::string when() const { return isRemark ? remark.written : entry.testTime; }
};

// One link of the seal chain (seal.h): the record it seals and its seal.
struct SealMark {
    std::int64_t position = 0;   // 1 for the first record sealed; 0: none yet
    std::string kind;            // "run" or "remark"
    std::string uid;             // the record's
    std::string sealed;          // UTC "YYYY-MM-DDTHH:MM:SSZ", when it was sealed
    std::string digest;          // of its content, 64 hex digits
    std::string seal;            // 64 hex digits
};

// A history as read. `complete` is false when the store broke the read off
// (error() says why): what came before stays in `items`, and is never to be
// shown as the whole history. `seal`: the chain's last link in the same
// read, so what is shown can be matched with the logbook it came from.
struct HistoryRead {
    std::vector<HistoryItem> items;
    bool complete = true;
    SealMark seal;
};

struct RecordCounts {
    std::size_t added = 0;       // entries new to the logbook
    std::size_t duplicates = 0;  // entries it held already
    bool runAdded = false;       // false: the run (its uid) was stored before
};

// What a period's report needs of one site, read luminaire by luminaire
// through the indexes, so its cost grows with the period and not with the
// logbook. `complete` is false when the store broke the read off (error()
// says why): such a read is never to be reported as the whole period.
struct PeriodRead {
    // Each luminaire the logbook knows before the period's end: one with an
    // entry or a status snapshot from before then.
    struct Luminaire {
        std::uint8_t unit = 0;
        std::string firstTest;                    // test time of its first entry; empty: none
        // Its newest function and duration test with a result (passed or
        // failed) from before the period.
        std::optional<LogEntry> functionBefore, durationBefore;
        std::optional<StatusSnapshot> snapshot;   // its newest, taken before the period's end
    };
    std::vector<Luminaire> luminaires;   // by unit
    std::vector<LogEntry> entries;       // of the period, by unit, oldest first
    std::vector<Remark> remarks;         // of the period, by unit, oldest first
    bool complete = true;
};

// What a walk of the seal chain found wrong: a record changed, removed, or
// put in (without a seal, or between two sealed ones), in words that name it.
struct SealFinding {
    enum class What { Changed, Removed, Inserted };
    What what = What::Changed;
    std::int64_t position = 0;   // in the chain; 0: a record no seal covers
    std::string uid;             // the record's (empty for an entry or a snapshot)
    std::string text;
};

struct ChainCheck {
    bool whole = true;                  // false: the store broke the walk off (error())
    std::size_t runs = 0, remarks = 0;  // links walked
    SealMark last;                      // the chain's last link
    std::vector<SealFinding> findings;  // in chain order, then what no seal covers
    std::size_t findingsLeftOut = 0;    // beyond kMaxFindings
    bool holds() const { return whole && findings.empty(); }
};
inline constexpr std::size_t kMaxFindings = 1000;

class Logbook {
public:
    virtual ~Logbook() = default;

    // Writes the whole run in one transaction with its seal, or nothing
    // (false, error()). A run whose uid is stored already is skipped (true,
    // no counts). Text that is no UTF-8 is stored with U+FFFD in its place.
    virtual bool record(const RunRecord& run, RecordCounts* counts = nullptr) = 0;
    // Writes the run as record() does and, in the same transaction, runs
    // `alongside`, whose calls of history() and of monitor_state() on this
    // logbook take part in it (they see the run): all of it is kept, or
    // nothing when `alongside` says false. The monitor keeps each survey
    // together with its round this way.
    virtual bool record_with(const RunRecord& run, const std::function<bool()>& alongside,
                             RecordCounts* counts = nullptr) = 0;
    // The same for a remark; `added` false when its uid was stored before.
    // Its text is the user's: check it with utf8_problem() (logbook_text.h)
    // first; what is no UTF-8 all the same is stored with U+FFFD.
    virtual bool add_remark(const Remark& remark, bool* added = nullptr) = 0;

    // Entries and remarks of one luminaire of a site (its uid; empty: of
    // every site), newest first; `since` is a date "YYYY-MM-DD" (empty: all).
    virtual HistoryRead history(const std::string& site, std::uint8_t unit, const std::string& since) = 0;
    // Every luminaire of a site (empty: of every site), by site, unit, newest
    // first.
    virtual HistoryRead site_history(const std::string& site, const std::string& since) = 0;
    // Status snapshots of one luminaire of a site, newest first.
    virtual std::vector<StatusSnapshot> snapshots(const std::string& site, std::uint8_t unit) = 0;
    virtual std::size_t entry_count() = 0;
    // One site's entries and remarks from `from` up to but not including
    // `until` (dates "YYYY-MM-DD"), and what its luminaires had before; one
    // read transaction.
    virtual PeriodRead period(const std::string& site, const std::string& from, const std::string& until) = 0;

    // Every site, by when it was first stored; a site of an older logbook
    // without a fingerprint gets the names and locations of its newest
    // entries. No value when the read failed (error()).
    virtual std::optional<std::vector<Site>> sites() = 0;
    // Stores a site, or what is new of it: its name when `named` is later
    // than the stored one's, every address (each seen from the earliest to
    // the latest time either knows), its fingerprint when taken later. A
    // run stores its site and address itself; this names them.
    virtual bool save_site(const Site& site) = 0;
    // From now on, what comes under the uid `other` (a site another
    // logbook made for the same gateway) is stored under `site`. A uid
    // joined before stays with the site it joined.
    virtual bool join_site(const std::string& other, const std::string& site) = 0;

    // Runs and remarks stored after the marks (local row ids, see the sync),
    // each run with all that it read; a consistent snapshot.
    struct Changes {
        std::vector<Site> sites;       // every site, whatever the marks
        std::vector<RunRecord> runs;
        std::vector<Remark> remarks;
        std::int64_t lastRun = 0, lastRemark = 0;
    };
    virtual std::optional<Changes> changes_after(std::int64_t runMark, std::int64_t remarkMark) = 0;
    // The marks of what has been pushed to `target` (0, 0 when nothing).
    virtual std::pair<std::int64_t, std::int64_t> sync_marks(const std::string& target) = 0;
    virtual bool set_sync_marks(const std::string& target, std::int64_t run, std::int64_t remark) = 0;

    // A consistent copy into a new SQLite file at `path` (refused when the
    // path exists), while others may write.
    virtual bool backup(const std::string& path) = 0;

    // Walks the whole seal chain in one consistent read: every sealed record
    // against its seal, every seal against the one before, and what no seal
    // covers.
    virtual ChainCheck verify_seals() = 0;
    // The store's own check of everything it holds (SQLite: the integrity
    // check of the whole file, which reads all of it); empty when sound,
    // else what is wrong (error() when it could not be run).
    virtual std::string integrity_problem() = 0;
    // The last link sealed at or before `until` (UTC "YYYY-MM-DDTHH:MM:SSZ";
    // empty: the last of all); position 0 when there is none, no value when
    // the read failed (error()).
    virtual std::optional<SealMark> last_seal(const std::string& until) = 0;

    // The unattended monitor's state kept in this logbook.
    virtual MonitorState& monitor_state() = 0;

    // Why the last call failed, in words for the user.
    virtual std::string error() const = 0;
    // Where it lives: the file path, or the server URL without its password.
    virtual std::string where() const = 0;
};

// Opens a logbook: "postgresql://..." or "postgres://..." (a server), anything
// else a SQLite file path (created when missing, with its folder). Null and
// the reason in `why` when it cannot be used: unreachable, not a logbook,
// corrupt, or written by a newer version of the program; the file or the
// server is then left exactly as it was.
std::unique_ptr<Logbook> open_logbook(const std::string& where, std::string* why);
bool is_server_logbook(const std::string& where);
// Whether this build has the team server's store: the Windows build keeps
// its logbook in a SQLite file only, and a server's URL there is refused
// with kNoTeamLogbook.
bool team_logbook_available();
inline constexpr const char* kNoTeamLogbook =
    "a team logbook server is not available in the Windows build; it keeps its logbook in a SQLite file";

// Pushes everything `from` holds that `to` has not had from it yet, its
// sites first (by uid: a site made on a laptop stays one site on the
// server, with its name and addresses); never doubles an entry however
// often it runs or wherever it stopped. False and
// the reason in `why` when it could not finish (what was pushed stays, and
// is counted).
struct SyncCounts {
    std::size_t runsNew = 0, runsThere = 0;        // new to `to`; stored there already
    std::size_t remarksNew = 0, remarksThere = 0;
};
bool sync_logbook(Logbook& from, Logbook& to, const std::string& targetName, std::string* why,
                  SyncCounts* counts = nullptr);

// A fresh random identifier (32 hex digits).
std::string new_run_uid();
// Now, UTC "YYYY-MM-DDTHH:MM:SSZ", and local "YYYY-MM-DD HH:MM:SS".
std::string utc_now_text();
std::string local_now_text();
// A moment as UTC "YYYY-MM-DDTHH:MM:SSZ", and back (none for other text).
std::string utc_text(std::time_t when);
std::optional<std::time_t> utc_time(const std::string& text);
// "YYYY-MM-DD" of a real date.
bool valid_since_date(const std::string& text);

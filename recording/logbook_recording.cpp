#include "logbook_recording.h"

#include "key_store.h"
#include "user_folders.h"

#include <cstdio>

namespace {

// The one value this needs from the key store (the desktop program reads
// and writes the whole store): "Location" under [Software\OrvyPc\Logbook].
std::string key_store_location() {
    KeyStore store;
    if (!load_user_key_store(&store)) return {};
    const std::string* location = store.value("Software\\OrvyPc\\Logbook", "Location");
    return location ? *location : std::string();
}

bool loopback(const std::string& address) { return address.rfind("127.", 0) == 0 || address == "localhost"; }

std::vector<Remark>& demonstration_remarks() {
    static std::vector<Remark> remarks;
    return remarks;
}

}  // namespace

std::string local_logbook_path() { return local_data_file("logbook.sqlite"); }
std::string demo_logbook_path() { return local_data_file("demo-logbook.sqlite"); }

std::string logbook_location(const LogbookChoice& choice) {
    if (!choice.explicitLocation.empty()) return choice.explicitLocation;
    const std::string& gateway = choice.link.gatewayAddress;
    if (gateway.empty() ? loopback(choice.link.broadcastAddress) : loopback(gateway)) return demo_logbook_path();
    const std::string configured = key_store_location();
    return configured.empty() ? local_logbook_path() : configured;
}

OpenedLogbook open_for_recording(const LogbookChoice& choice) {
    OpenedLogbook out;
    const std::string where = logbook_location(choice);
    out.book = open_logbook(where, &out.why);
    // A build without the server store has nothing to push the run with
    // later: it is refused, not kept locally.
    if (out.book || !is_server_logbook(where) || !team_logbook_available()) return out;
    // The team server is away: this machine keeps the run until a sync.
    std::string localWhy;
    out.book = open_logbook(local_logbook_path(), &localWhy);
    if (out.book) out.fellBack = true;
    else out.why += "; " + localWhy;
    return out;
}

void set_demonstration_remarks(std::vector<Remark> remarks) { demonstration_remarks() = std::move(remarks); }

namespace {
constexpr const char* kNotRecorded = "; this run is not recorded in the logbook";
}

RecordedRun record_run_in(const std::shared_ptr<Logbook>& book, const std::string& site, RunRecord run,
                          const GatewayFound& found) {
    SiteChoice chosen = choose_site(*book, found, site);
    if (!chosen.site) return {nullptr, "logbook: " + chosen.note + kNotRecorded, {}};
    run.site = chosen.site->uid;
    if (!book->record(run)) return {nullptr, "logbook: " + book->error() + kNotRecorded, {}};
    for (Remark r : demonstration_remarks()) {
        r.site = run.site;
        r.gateway = run.gateway;
        book->add_remark(r);   // demonstration data: a failure here leaves the run as it is
    }
    return {book, chosen.note.empty() ? std::string() : "logbook: " + chosen.note, *chosen.site};
}

RecordedRun record_run_into(const LogbookChoice& choice, RunRecord run, const GatewayFound& found) {
    OpenedLogbook opened = open_for_recording(choice);
    if (!opened.book) return {nullptr, "logbook: " + opened.why + kNotRecorded, {}};
    RecordedRun recorded = record_run_in(opened.book, choice.site, std::move(run), found);
    if (recorded.book && opened.fellBack)
        recorded.note += (recorded.note.empty() ? "" : "; ") + std::string("logbook: ") + opened.why +
                         "; recorded in " + opened.book->where() + " instead ('orvypc logbook sync' pushes it later)";
    return recorded;
}

std::string record_run(const LogbookChoice& choice, const RunRecord& run, const GatewayFound& found) {
    return record_run_into(choice, run, found).note;
}

LogEntry log_entry_of(const std::string& gateway, const TestResultRecord& r) {
    LogEntry e;
    e.gateway = gateway;
    e.unit = r.unit;
    e.testType = r.testType;
    char when[32] = {};
    std::snprintf(when, sizeof when, "%04u-%02u-%02u %02u:%02u:%02u", r.year, r.month, r.day, r.hour, r.minute, r.second);
    e.testTime = when;
    e.result = r.result;
    e.minutes = r.minutes;
    e.name = r.name;
    e.location = r.location;
    return e;
}

RunRecord listing_run(const std::string& kind, const std::string& gateway,
                      const std::vector<TestResultRecord>& records, bool complete, const std::string& reason,
                      std::optional<std::uint8_t> fullUnit) {
    RunRecord run;
    run.uid = new_run_uid();
    run.gateway = gateway;
    run.kind = kind;
    run.started = utc_now_text();
    run.complete = complete;
    run.reason = reason;
    run.host = system_host_name();
    run.user = system_user_name();
    for (const TestResultRecord& r : records) run.entries.push_back(log_entry_of(gateway, r));
    if (complete && fullUnit) run.fullListings.push_back(*fullUnit);
    return run;
}

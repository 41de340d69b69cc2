#include "logbook_stores.h"

#include "logbook_text.h"
#include "sites.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>

bool is_server_logbook(const std::string& where) {
    return where.rfind("postgresql://", 0) == 0 || where.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Logbook> open_logbook(const std::string& where, std::string* why) {
    if (is_server_logbook(where)) return open_postgres_logbook(where, why);
    return open_sqlite_logbook(where, why);
}

std::string new_run_uid() {
    unsigned char bytes[16] = {};
    system_random_bytes(bytes, sizeof bytes);
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    for (const unsigned char b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

namespace {
std::string format_time(const char* format, bool utc, std::time_t now = std::time(nullptr)) {
    std::tm parts{};
    if (utc) gmtime_r(&now, &parts);
    else localtime_r(&now, &parts);
    char buf[32] = {};
    std::strftime(buf, sizeof buf, format, &parts);
    return buf;
}
}  // namespace

std::string utc_now_text() { return format_time("%Y-%m-%dT%H:%M:%SZ", true); }
std::string local_now_text() { return format_time("%Y-%m-%d %H:%M:%S", false); }
std::string utc_text(std::time_t when) { return format_time("%Y-%m-%dT%H:%M:%SZ", true, when); }

std::optional<std::time_t> utc_time(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char z = 0;
    if (text.size() != 20 || std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 ||
        z != 'Z' || !valid_since_date(text.substr(0, 10)) || h > 23 || mi > 59 || s > 60)
        return std::nullopt;
    // Days since 1970-01-01 of the proleptic Gregorian date (no time zone
    // functions: the same on every platform).
    const int yy = mo <= 2 ? y - 1 : y;
    const int era = yy / 400;
    const int yoe = yy - era * 400;
    const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long days = era * 146097LL + yoe * 365LL + yoe / 4 - yoe / 100 + doy - 719468;
    return static_cast<std::time_t>(days * 86400 + h * 3600 + mi * 60 + s);
}

bool valid_since_date(const std::string& text) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return false;
    if (y < 1970 || m < 1 || m > 12 || d < 1) return false;
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

namespace {

bool entry_text_valid(const LogEntry& e) {
    for (const std::string* t : {&e.gateway, &e.testTime, &e.name, &e.location, &e.firstRead}) {
        if (!utf8_problem(*t).empty()) return false;
    }
    return true;
}

void make_valid(LogEntry& e) {
    for (std::string* t : {&e.gateway, &e.testTime, &e.name, &e.location, &e.firstRead}) make_valid_utf8(*t);
}

void make_valid(Remark& r) {
    for (std::string* t : {&r.uid, &r.gateway, &r.written, &r.author, &r.text, &r.site, &r.kind, &r.part})
        make_valid_utf8(*t);
}

}  // namespace

void make_valid_text(HistoryItem& item) {
    if (item.isRemark) make_valid(item.remark);
    else make_valid(item.entry);
}

const RunRecord& with_valid_text(const RunRecord& run, RunRecord& scratch) {
    bool valid = true;
    for (const std::string* t :
         {&run.uid, &run.site, &run.gateway, &run.kind, &run.started, &run.reason, &run.host, &run.user})
        valid = valid && utf8_problem(*t).empty();
    for (const LogEntry& e : run.entries) valid = valid && entry_text_valid(e);
    for (const StatusSnapshot& s : run.snapshots) valid = valid && utf8_problem(s.gateway).empty() && utf8_problem(s.taken).empty();
    if (valid) return run;
    scratch = run;
    for (std::string* t : {&scratch.uid, &scratch.site, &scratch.gateway, &scratch.kind, &scratch.started,
                           &scratch.reason, &scratch.host, &scratch.user})
        make_valid_utf8(*t);
    for (LogEntry& e : scratch.entries) make_valid(e);
    for (StatusSnapshot& s : scratch.snapshots) {
        make_valid_utf8(s.gateway);
        make_valid_utf8(s.taken);
    }
    return scratch;
}

LogEntry with_valid_text(LogEntry entry) {
    make_valid(entry);
    return entry;
}

Remark with_valid_text(Remark remark) {
    make_valid(remark);
    return remark;
}

Site with_valid_text(Site site) {
    for (std::string* t : {&site.uid, &site.name, &site.named, &site.fingerprintTaken}) make_valid_utf8(*t);
    for (SiteLuminaire& l : site.fingerprint) {
        make_valid_utf8(l.name);
        make_valid_utf8(l.location);
    }
    for (SiteAddress& a : site.addresses) {
        for (std::string* t : {&a.gateway, &a.firstSeen, &a.lastSeen}) make_valid_utf8(*t);
    }
    return site;
}

std::vector<HistoryItem> merge_history(std::vector<HistoryItem> entries, const std::vector<Remark>& remarks,
                                       bool bySite) {
    for (const Remark& r : remarks) {
        HistoryItem item;
        item.isRemark = true;
        item.remark = r;
        entries.push_back(item);
    }
    for (HistoryItem& item : entries) make_valid_text(item);
    auto key = [](const HistoryItem& h) {
        return h.isRemark ? std::tie(h.remark.site, h.remark.unit) : std::tie(h.entry.site, h.entry.unit);
    };
    // Stable: the stores' own newest-first order stays among equal times.
    std::stable_sort(entries.begin(), entries.end(), [&](const HistoryItem& a, const HistoryItem& b) {
        if (bySite && key(a) != key(b)) return key(a) < key(b);
        return a.when() > b.when();
    });
    return entries;
}

std::string url_without_password(const std::string& url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string::npos) return url;
    const std::size_t at = url.find('@', scheme + 3);
    if (at == std::string::npos) return url;
    const std::size_t colon = url.find(':', scheme + 3);
    if (colon == std::string::npos || colon > at) return url;
    return url.substr(0, colon + 1) + "***" + url.substr(at);
}

bool copy_into_new_file(Logbook& from, const std::string& path, std::string* why) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        *why = path + ": " + kLeftAlone;
        return false;
    }
    const std::string temp = path + ".part-" + new_run_uid().substr(0, 8);
    {
        std::unique_ptr<Logbook> to = open_sqlite_logbook(temp, why);
        if (!to) return false;
        const auto changes = from.changes_after(0, 0);
        bool ok = changes.has_value();
        if (!ok) *why = from.error();
        for (std::size_t i = 0; ok && i < changes->sites.size(); ++i) {
            const Site& site = changes->sites[i];
            ok = to->save_site(site);
            for (std::size_t j = 0; ok && j < site.joined.size(); ++j) ok = to->join_site(site.joined[j], site.uid);
        }
        for (std::size_t i = 0; ok && i < changes->runs.size(); ++i) ok = to->record(changes->runs[i]);
        for (std::size_t i = 0; ok && changes && i < changes->remarks.size(); ++i)
            ok = to->add_remark(changes->remarks[i]);
        if (!ok) {
            if (why->empty()) *why = to->error();
            to.reset();
            std::filesystem::remove(temp);
            return false;
        }
    }
    return publish_new_file(temp, path, why);
}

namespace {

// Each site goes before its runs: one the target knows (by uid, or joined)
// takes what is new of it; one it does not is judged as a gateway found at
// the site's newest address, and joins the target's site of the same
// gateway, or stays a site of its own.
bool push_sites(const std::vector<Site>& sites, Logbook& to, std::string* why) {
    std::optional<std::vector<Site>> there = to.sites();
    if (!there) {
        *why = to.error();
        return false;
    }
    for (const Site& site : sites) {
        Site pushed = site;
        if (!site_with_uid(*there, site.uid)) {
            const GatewayFound found{latest_address(site), site.fingerprint, true};
            const SiteVerdict verdict = tell_site(*there, found);
            if (!found.gateway.empty() && verdict.kind == SiteVerdict::Kind::Known) {
                pushed.uid = (*there)[verdict.site].uid;
                if (!to.join_site(site.uid, pushed.uid)) {
                    *why = to.error();
                    return false;
                }
                (*there)[verdict.site].joined.push_back(site.uid);
            } else {
                there->push_back(site);
            }
        }
        if (!to.save_site(pushed)) {
            *why = to.error();
            return false;
        }
    }
    return true;
}

}  // namespace

bool sync_logbook(Logbook& from, Logbook& to, const std::string& targetName, std::string* why,
                  SyncCounts* counts) {
    SyncCounts tally;
    if (counts == nullptr) counts = &tally;
    *counts = {};
    const auto [runMark, remarkMark] = from.sync_marks(targetName);
    const auto changes = from.changes_after(runMark, remarkMark);
    if (!changes) {
        *why = from.error();
        return false;
    }
    if (!push_sites(changes->sites, to, why)) return false;
    // Each run is one transaction on the target and is stored there once
    // (by its uid), sealed in the target's chain as it goes in: a sync cut
    // short is simply run again, and what the target had is counted so.
    for (const RunRecord& run : changes->runs) {
        RecordCounts stored;
        if (!to.record(run, &stored)) {
            *why = to.error();
            return false;
        }
        (stored.runAdded ? counts->runsNew : counts->runsThere) += 1;
    }
    for (const Remark& remark : changes->remarks) {
        bool added = false;
        // An older program stored what it was given: the target holds only
        // UTF-8, so such a remark goes with U+FFFD in place of the rest.
        if (!to.add_remark(with_valid_text(remark), &added)) {
            *why = to.error();
            return false;
        }
        (added ? counts->remarksNew : counts->remarksThere) += 1;
    }
    if (!from.set_sync_marks(targetName, changes->lastRun, changes->lastRemark)) {
        *why = from.error();
        return false;
    }
    return true;
}

#include "seal.h"

#include "sha256.h"

#include <algorithm>

namespace {

constexpr const char* kSealVersion = "orvypc seal 1";
const std::string kNoPreviousSeal(64, '0');

// Appends field(x): four bytes of length, most significant first, then x.
void field(std::string& out, std::string_view x) {
    const auto n = static_cast<std::uint32_t>(x.size());
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((n >> shift) & 0xFF);
    out.append(x.data(), x.size());
}
void number(std::string& out, std::int64_t v) { field(out, std::to_string(v)); }

// A group of fields, sorted: the order a store reads them in is no content.
void sorted_group(std::string& out, std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    number(out, static_cast<std::int64_t>(items.size()));
    for (const std::string& item : items) field(out, item);
}

std::string entry_content(const LogEntry& e) {
    std::string out;
    field(out, e.gateway);
    number(out, e.unit);
    field(out, e.testTime);
    number(out, e.testType);
    number(out, e.result);
    number(out, e.minutes);
    field(out, e.name);
    field(out, e.location);
    field(out, e.firstRead);
    return out;
}

std::string snapshot_content(const StatusSnapshot& s) {
    std::string out;
    field(out, s.gateway);
    number(out, s.unit);
    field(out, s.taken);
    field(out, std::string_view(reinterpret_cast<const char*>(s.status.data()), s.status.size()));
    return out;
}

std::string address_text(std::uint8_t unit) {
    const bool lineB = unit >= 64;
    return (lineB ? "B" : "A") + std::to_string(lineB ? unit - 64 : unit);
}

// The site, unless it is the one of the record's address (every record
// of a logbook from before sites, and what a gateway at its first address
// records): such content is what it was then, and the seals made before
// sites still hold. Moving a record to another site changes its content
// either way.
void site_field(std::string& out, const std::string& site, const std::string& gateway) {
    if (site.empty() || site == address_site_uid(gateway)) return;
    field(out, "site");
    field(out, site);
}

constexpr const char* kOutside = ": it was stored outside the program";

std::optional<std::string> hex_digest(std::string_view bytes) {
    const auto d = sha256_of(bytes);
    if (!d) return std::nullopt;
    return hex_text(*d);
}

}  // namespace

std::optional<Sha256Digest> sha256_of(std::string_view bytes) {
    Sha256 h;
    h.add(bytes);
    return h.finish();
}

std::string hex_text(const Sha256Digest& digest) {
    static const char* const kHex = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t b : digest) {
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    return out;
}

std::string sealed_content(const RunRecord& run) {
    std::string out;
    field(out, kSealedRun);
    field(out, run.uid);
    field(out, run.gateway);
    field(out, run.kind);
    field(out, run.started);
    number(out, run.complete ? 1 : 0);
    field(out, run.reason);
    field(out, run.host);
    field(out, run.user);
    std::vector<std::string> items;
    items.reserve(run.entries.size());
    for (const LogEntry& e : run.entries) items.push_back(entry_content(e));
    sorted_group(out, std::move(items));
    std::vector<std::uint8_t> units = run.fullListings;
    std::sort(units.begin(), units.end());
    units.erase(std::unique(units.begin(), units.end()), units.end());
    number(out, static_cast<std::int64_t>(units.size()));
    for (const std::uint8_t u : units) number(out, u);
    items.clear();
    for (const StatusSnapshot& s : run.snapshots) items.push_back(snapshot_content(s));
    sorted_group(out, std::move(items));
    site_field(out, run.site, run.gateway);
    return out;
}

std::string sealed_content(const Remark& r) {
    std::string out;
    // A note's content is what it was before repairs; a repair's names its
    // kind first and its part after the text.
    field(out, r.is_repair() ? kRemarkRepair : kSealedRemark);
    field(out, r.uid);
    field(out, r.gateway);
    number(out, r.unit);
    field(out, r.written);
    field(out, r.author);
    field(out, r.text);
    if (r.is_repair()) field(out, r.part);
    site_field(out, r.site, r.gateway);
    return out;
}

std::optional<std::string> content_digest(const std::string& content) { return hex_digest(content); }

std::optional<std::string> expected_seal(const std::string& previousSeal, const SealMark& link) {
    std::string bytes;
    field(bytes, kSealVersion);
    field(bytes, previousSeal.empty() ? kNoPreviousSeal : previousSeal);
    field(bytes, link.kind);
    field(bytes, link.uid);
    field(bytes, link.sealed);
    field(bytes, link.digest);
    return hex_digest(bytes);
}

std::optional<SealMark> next_seal(const SealMark& last, const std::string& kind, const std::string& uid,
                                  const std::string& content, const std::string& sealedAt) {
    SealMark link;
    link.position = last.position + 1;
    link.kind = kind;
    link.uid = uid;
    link.sealed = sealedAt;
    const auto digest = content_digest(content);
    if (!digest) return std::nullopt;
    link.digest = *digest;
    const auto seal = expected_seal(last.position == 0 ? std::string() : last.seal, link);
    if (!seal) return std::nullopt;
    link.seal = *seal;
    return link;
}

std::string described(const RunRecord& run) {
    std::string out = "run " + run.uid + " (" + run.kind + " of " + run.gateway + ", started " + run.started;
    if (!run.host.empty() || !run.user.empty()) out += " on " + run.host + " by " + run.user;
    return out + ", " + std::to_string(run.entries.size()) + " entries)";
}

std::string described(const Remark& r) {
    return std::string(r.is_repair() ? "repair " : "remark ") + r.uid + " (" + address_text(r.unit) + " of " + r.gateway + ", written " + r.written + " by " +
           r.author + ")";
}

SealFinding unsealed_finding(const RunRecord& run) {
    const std::string what = "run " + run.uid + " (" + run.kind + " of " + run.gateway + ", started " + run.started + ")";
    return {SealFinding::What::Inserted, 0, run.uid, what + " has no seal" + kOutside};
}

SealFinding unsealed_finding(const Remark& remark) {
    return {SealFinding::What::Inserted, 0, remark.uid, described(remark) + " has no seal" + kOutside};
}

SealFinding unread_finding(const LogEntry& e) {
    return {SealFinding::What::Inserted, 0, {},
            "entry " + address_text(e.unit) + " of " + e.gateway + " tested " + e.testTime +
                " was read by no sealed run" + kOutside};
}

SealFinding loose_finding(const StatusSnapshot& s) {
    return {SealFinding::What::Inserted, 0, {},
            "status snapshot of " + address_text(s.unit) + " of " + s.gateway + " taken " + s.taken +
                " belongs to no run" + kOutside};
}

#include "sites.h"

#include <algorithm>
#include <map>

FingerprintMatch compare_fingerprints(const std::vector<SiteLuminaire>& known,
                                      const std::vector<SiteLuminaire>& found, bool knownWhole) {
    std::map<std::uint8_t, const SiteLuminaire*> a, b;
    for (const SiteLuminaire& l : known) a.emplace(l.unit, &l);
    for (const SiteLuminaire& l : found) b.emplace(l.unit, &l);
    FingerprintMatch m;
    m.total = a.size();
    for (const auto& [unit, l] : b) {
        const auto k = a.find(unit);
        if (k == a.end()) {
            if (knownWhole) ++m.total;
        } else if (k->second->name == l->name && k->second->location == l->location) {
            ++m.same;
        }
    }
    return m;
}

FingerprintMatch compare_with(const Site& site, const std::vector<SiteLuminaire>& found) {
    // A fingerprint stored with the time it was taken came from a whole
    // reading; one without was made from the site's newest entries.
    return compare_fingerprints(site.fingerprint, found, !site.fingerprintTaken.empty());
}

namespace {

const SiteAddress* address_of(const Site& site, const std::string& gateway) {
    for (const SiteAddress& a : site.addresses) {
        if (a.gateway == gateway) return &a;
    }
    return nullptr;
}

}  // namespace

std::optional<std::size_t> site_at_address(const std::vector<Site>& sites, const std::string& gateway) {
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < sites.size(); ++i) {
        const SiteAddress* a = address_of(sites[i], gateway);
        // Seen as late: the later stored site, the one made for it.
        if (a && (!best || a->lastSeen >= address_of(sites[*best], gateway)->lastSeen)) best = i;
    }
    return best;
}

SiteVerdict tell_site(const std::vector<Site>& sites, const GatewayFound& found) {
    const std::optional<std::size_t> current = site_at_address(sites, found.gateway);
    const bool judged = found.whole && !found.luminaires.empty();
    if (current && (!judged || sites[*current].fingerprint.empty()))
        return {SiteVerdict::Kind::Known, *current, {}};
    if (!judged) return {};
    FingerprintMatch againstCurrent;
    if (current) {
        againstCurrent = compare_with(sites[*current], found.luminaires);
        if (againstCurrent.same_gateway()) return {SiteVerdict::Kind::Known, *current, againstCurrent};
    }
    // Another site whose gateway this is: one that had the address first,
    // then the one with the most luminaires the same.
    std::optional<std::size_t> best;
    FingerprintMatch bestMatch;
    bool bestHadAddress = false;
    for (std::size_t i = 0; i < sites.size(); ++i) {
        if (current && i == *current) continue;
        if (sites[i].fingerprint.empty()) continue;
        const FingerprintMatch m = compare_with(sites[i], found.luminaires);
        // Recognised by what it holds: too few compared say nothing.
        if (m.total < kFewestLuminairesToJudge || !m.same_gateway()) continue;
        const bool had = address_of(sites[i], found.gateway) != nullptr;
        if (!best || (had && !bestHadAddress) || (had == bestHadAddress && m.same > bestMatch.same)) {
            best = i;
            bestMatch = m;
            bestHadAddress = had;
        }
    }
    if (best) return {SiteVerdict::Kind::Known, *best, bestMatch};
    if (current) return {SiteVerdict::Kind::NotTheSite, *current, againstCurrent};
    return {};
}

std::optional<std::size_t> site_named(const std::vector<Site>& sites, const std::string& name,
                                      const std::string& gateway, bool* ambiguous) {
    std::vector<std::size_t> named;
    for (std::size_t i = 0; i < sites.size(); ++i) {
        if (sites[i].name == name) named.push_back(i);
    }
    if (ambiguous) *ambiguous = false;
    if (named.size() == 1) return named[0];
    for (const std::size_t i : named) {
        if (!gateway.empty() && address_of(sites[i], gateway)) return i;
    }
    if (ambiguous) *ambiguous = named.size() > 1;
    return std::nullopt;
}

std::optional<std::size_t> site_with_uid(const std::vector<Site>& sites, const std::string& uid) {
    for (std::size_t i = 0; i < sites.size(); ++i) {
        if (sites[i].uid == uid || std::find(sites[i].joined.begin(), sites[i].joined.end(), uid) != sites[i].joined.end())
            return i;
    }
    return std::nullopt;
}

std::string latest_address(const Site& site) {
    const SiteAddress* latest = nullptr;
    for (const SiteAddress& a : site.addresses) {
        if (!latest || a.lastSeen >= latest->lastSeen) latest = &a;
    }
    return latest ? latest->gateway : std::string();
}

// Which site a gateway is. A site is bound to the addresses its gateway had
// and to a fingerprint of what that gateway holds: its luminaires'
// addresses, names and locations. The gateway found at an address is its
// site's when most of its luminaires are the same (fewer than half of them
// differ); else it is another site's, or a new one, and the program asks or
// says so before it records anything. Pure functions over plain values.
#pragma once

#include "logbook.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Fewer luminaires than this compared say nothing of which gateway it is (a
// site known by one luminaire's listing, a gateway of two).
inline constexpr std::size_t kFewestLuminairesToJudge = 4;

// Two fingerprints compared: a luminaire is the same when both have its
// unit with the same name and location. Over every unit either has when
// the known one was taken from a whole reading; else (made from the newest
// entries a site's older records hold) over the units it has.
struct FingerprintMatch {
    std::size_t same = 0;
    std::size_t total = 0;   // units compared
    std::size_t differ() const { return total - same; }
    // Not "most of its luminaires differ": at most half of them do, or too
    // few were compared to tell.
    bool same_gateway() const { return total < kFewestLuminairesToJudge || 2 * same >= total; }
};
FingerprintMatch compare_fingerprints(const std::vector<SiteLuminaire>& known,
                                      const std::vector<SiteLuminaire>& found, bool knownWhole = true);
// A site's fingerprint against what was found.
FingerprintMatch compare_with(const Site& site, const std::vector<SiteLuminaire>& found);

// What a run read of the gateway at an address: its whole list of
// luminaires (a survey, a results listing that ran to its end), or less
// (the list of one luminaire), which tells no site from another.
struct GatewayFound {
    std::string gateway;
    std::vector<SiteLuminaire> luminaires;   // by unit
    bool whole = false;
};

struct SiteVerdict {
    enum class Kind {
        Known,            // `site` is this gateway's site
        NewAddress,       // no site had the address, and no site's fingerprint is this gateway's
        NotTheSite,       // the address is `site`'s, and this gateway is not its gateway
    };
    Kind kind = Kind::NewAddress;
    std::size_t site = 0;       // into the sites given
    FingerprintMatch match;     // NotTheSite: against `site`'s fingerprint
};
// The site the address had last (the one whose gateway was seen there most
// recently); a site without a fingerprint (named before its first reading)
// takes the gateway found. A gateway that is not that site's is another
// site's when that site's fingerprint is its own (the same gateway at a new
// address, or back at an old one); the sites that had the address first.
SiteVerdict tell_site(const std::vector<Site>& sites, const GatewayFound& found);

std::optional<std::size_t> site_at_address(const std::vector<Site>& sites, const std::string& gateway);
// By name; several of that name (met in a sync): the one at `gateway`, else
// none (`ambiguous` set).
std::optional<std::size_t> site_named(const std::vector<Site>& sites, const std::string& name,
                                      const std::string& gateway = {}, bool* ambiguous = nullptr);
// By uid, or by a uid joined into it (a site met in a sync).
std::optional<std::size_t> site_with_uid(const std::vector<Site>& sites, const std::string& uid);
// The site's newest address; empty when it has none.
std::string latest_address(const Site& site);

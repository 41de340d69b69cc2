#include "site_choice.h"

#include "locale_text.h"
#include "logbook_text.h"
#include "prompts.h"

#include <map>

namespace {

// "10.0.0.7 2026-11-20", and " (2)", " (3)" ... after it while another site
// has that name.
std::string free_name(const std::vector<Site>& sites, const std::string& wanted) {
    std::string name = wanted;
    for (int n = 2; site_named(sites, name); ++n) name = wanted + " (" + std::to_string(n) + ")";
    return name;
}

Site new_site(const std::vector<Site>& sites, const std::string& name, bool named) {
    Site site;
    site.uid = new_run_uid();
    site.name = free_name(sites, name);
    if (named) site.named = utc_now_text();
    return site;
}

// The site as this run leaves it: the address seen now, the fingerprint
// of a whole reading.
Site seen(Site site, const GatewayFound& found, const std::string& now) {
    site.addresses = {{found.gateway, now, now}};
    if (found.whole && !found.luminaires.empty()) {
        site.fingerprint = found.luminaires;
        site.fingerprintTaken = now;
    }
    return site;
}

std::string differ_words(const FingerprintMatch& m) {
    return std::to_string(m.differ()) + " of " + std::to_string(m.total) + " luminaires differ in address, name or "
           "location";
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

GatewayFound gateway_found(const std::string& gateway, const std::vector<TestResultRecord>& records, bool whole) {
    std::map<std::uint8_t, SiteLuminaire> byUnit;
    for (const TestResultRecord& r : records) byUnit.emplace(r.unit, SiteLuminaire{r.unit, r.name, r.location});
    GatewayFound found{gateway, {}, whole};
    for (auto& [unit, l] : byUnit) found.luminaires.push_back(std::move(l));
    return found;
}

std::string site_words(const Site& site) {
    std::string addresses;
    for (const SiteAddress& a : site.addresses) addresses += (addresses.empty() ? "" : ", ") + a.gateway;
    return addresses.empty() ? site.name : site.name + " (" + addresses + ")";
}

std::optional<std::string> site_name_text(const std::string& typed, std::string* why) {
    std::string text = typed;
    if (const std::string problem = utf8_problem(typed); !problem.empty()) {
        const std::optional<std::string> converted = locale_text_as_utf8(typed);
        if (!converted || !utf8_problem(*converted).empty()) {
            const std::string encoding = locale_encoding();
            *why = "the site's name is not UTF-8 text (" + problem + ")" +
                   (encoding.empty() ? std::string(" and the locale names no other encoding")
                                     : " nor text in the locale's encoding, " + encoding) +
                   "; nothing was stored";
            return std::nullopt;
        }
        text = *converted;
    }
    if (text.find_first_not_of(" \t") == std::string::npos) {
        *why = "the site's name is empty";
        return std::nullopt;
    }
    if (text.find_first_of("\r\n") != std::string::npos) {
        *why = "the site's name is one line";
        return std::nullopt;
    }
    return text;
}

std::optional<Site> known_site(Logbook& book, const std::string& gateway, const std::string& named, std::string* why) {
    const std::optional<std::vector<Site>> sites = book.sites();
    if (!sites) {
        *why = "the logbook's sites could not be read: " + book.error();
        return std::nullopt;
    }
    if (!named.empty()) {
        bool ambiguous = false;
        const std::optional<std::size_t> i = site_named(*sites, named, gateway, &ambiguous);
        if (i) return (*sites)[*i];
        *why = ambiguous ? "several sites are named " + quoted(named) + "; 'orvypc site list' shows them"
                         : "the logbook has no site named " + quoted(named) + " ('orvypc site list' shows its sites)";
        return std::nullopt;
    }
    if (const std::optional<std::size_t> i = site_at_address(*sites, gateway)) return (*sites)[*i];
    *why = "the logbook has no site at " + gateway;
    return std::nullopt;
}

SiteChoice choose_site(Logbook& book, const GatewayFound& found, const std::string& named) {
    SiteChoice out;
    const std::optional<std::vector<Site>> known = book.sites();
    if (!known) {
        out.note = "the logbook's sites could not be read (" + book.error() + ")";
        return out;
    }
    const std::vector<Site>& sites = *known;
    const std::string now = utc_now_text();
    Site site;
    if (!named.empty()) {
        bool ambiguous = false;
        if (const std::optional<std::size_t> i = site_named(sites, named, found.gateway, &ambiguous)) {
            site = sites[*i];
        } else if (ambiguous) {
            out.note = "several sites are named " + quoted(named) + "; 'orvypc site list' shows them";
            return out;
        } else {
            site = new_site(sites, named, true);
            out.note = "a new site " + quoted(site.name) + " at " + found.gateway;
        }
    } else {
        const SiteVerdict verdict = tell_site(sites, found);
        if (verdict.kind == SiteVerdict::Kind::Known) {
            site = sites[verdict.site];
        } else if (verdict.kind == SiteVerdict::Kind::NewAddress) {
            site = new_site(sites, found.gateway, false);
        } else {
            const Site& expected = sites[verdict.site];
            const std::string what = "The gateway at " + found.gateway + " is not the one of the site " +
                                     quoted(expected.name) + ": " + differ_words(verdict.match) + ".";
            std::vector<std::string> options;
            for (const Site& s : sites) options.push_back(site_words(s));
            options.push_back("A new site");
            const std::optional<std::size_t> answer = prompts().ask_choice(what + " Which site is this?", options);
            if (answer && *answer < sites.size()) {
                site = sites[*answer];
            } else {
                const std::string today = local_now_text().substr(0, 10);
                site = new_site(sites, found.gateway + " " + today, false);
                if (!answer) {
                    out.note = what + " It is recorded as a new site " + quoted(site.name) +
                               "; name it with: orvypc site name \"NAME\" --site " + quoted(site.name) +
                               " (or give --site NAME for a site the logbook knows)";
                }
            }
        }
    }
    const Site stored = seen(site, found, now);
    if (!book.save_site(stored)) {
        out.note = "the site could not be stored (" + book.error() + ")";
        return out;
    }
    out.site = site;
    out.site->addresses.push_back(stored.addresses.front());
    if (!stored.fingerprint.empty()) {
        out.site->fingerprint = stored.fingerprint;
        out.site->fingerprintTaken = stored.fingerprintTaken;
    }
    return out;
}

std::string give_site_name(Logbook& book, std::optional<Site> site, const std::string& gateway,
                           const std::string& name) {
    const std::optional<std::vector<Site>> sites = book.sites();
    if (!sites) return "the logbook's sites could not be read: " + book.error();
    for (const Site& other : *sites) {
        if (other.name == name && (!site || other.uid != site->uid))
            return "another site is named " + quoted(name) + " already: " + site_words(other);
    }
    if (!site) {
        site = new_site(*sites, name, true);
        site->addresses = {{gateway, {}, {}}};
    } else {
        site->addresses.clear();   // as they are
        site->fingerprint.clear();
        site->fingerprintTaken.clear();
    }
    site->name = name;
    site->named = utc_now_text();
    if (!book.save_site(*site)) return "the site could not be stored: " + book.error();
    return {};
}

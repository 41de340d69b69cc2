// The sites on the command line: `site list` shows every site of the
// logbook with its addresses and luminaires; `site name NAME` names the site
// of the gateway found (or of --gateway, or --site OLD).
#include "cli.h"
#include "cli_commands.h"
#include "cli_json.h"
#include "cli_logbook.h"
#include "cli_session.h"
#include "gateway_link.h"
#include "listed_records.h"
#include "listings.h"
#include "site_choice.h"
#include "sites.h"

#include <nlohmann/json.hpp>

#include <iostream>

namespace {

std::string last_seen(const Site& site) {
    std::string latest;
    for (const SiteAddress& a : site.addresses) latest = std::max(latest, a.lastSeen);
    return latest;
}

int list_sites(Session& s) {
    const std::shared_ptr<Logbook> book = open_for_reading(s);
    if (!book) return kExitLogbook;
    const std::optional<std::vector<Site>> sites = book->sites();
    if (!sites) return s.failed_always(kExitLogbook, "the logbook's sites could not be read: " + book->error());
    if (s.options().json) {
        Json out = json_header("site", true, {});
        out["sites"] = Json::array();
        for (const Site& site : *sites) {
            Json j;
            j["name"] = site.name;
            j["addresses"] = Json::array();
            for (const SiteAddress& a : site.addresses)
                j["addresses"].push_back({{"address", a.gateway}, {"first_seen", a.firstSeen}, {"last_seen", a.lastSeen}});
            j["luminaires"] = site.fingerprint.size();
            out["sites"].push_back(j);
        }
        std::cout << json_text(out) << '\n';
        return kExitOk;
    }
    print_line({"Site", "Addresses", "Luminaires", "Last seen"});
    for (const Site& site : *sites) {
        std::string addresses;
        for (const SiteAddress& a : site.addresses) addresses += (addresses.empty() ? "" : ", ") + a.gateway;
        print_line({site.name, addresses, std::to_string(site.fingerprint.size()), last_seen(site)});
    }
    return kExitOk;
}

// The site to name: --site OLD; else the site of the gateway that answers,
// told from its whole list of luminaires (read, and recorded, now); else
// the one the logbook has at --gateway.
std::optional<Site> site_to_name(Session& s, Logbook& book, int* status) {
    const CliOptions& o = s.options();
    std::string why;
    if (!o.site.empty()) {
        std::optional<Site> known = known_site(book, o.link.gatewayAddress, o.site, &why);
        if (!known) *status = s.failed_always(kExitUsage, why);
        return known;
    }
    if (s.connect()) {
        MemoryResultList shown;
        ListedRecords listed(shown);
        run_listing_with_retries([&] { QueryTestResults(listed); }, o.retries);
        std::string uid;
        if (!record_listing(s, "results", listed, std::nullopt, &uid)) {
            *status = s.failed_always(kExitLogbook, "the gateway's site could not be told: its list is not in the logbook");
            return std::nullopt;
        }
        const std::optional<std::vector<Site>> sites = book.sites();
        const std::optional<std::size_t> i = sites ? site_with_uid(*sites, uid) : std::nullopt;
        if (!i) *status = s.failed_always(kExitLogbook, "the logbook's sites could not be read: " + book.error());
        return i ? std::optional<Site>((*sites)[*i]) : std::nullopt;
    }
    if (o.link.gatewayAddress.empty()) {
        *status = s.failed_always(kExitNoLink, "no gateway answered: name the site with --gateway ADDRESS or --site NAME");
        return std::nullopt;
    }
    std::cerr << "orvypc: the gateway did not answer; the site is the logbook's at " << o.link.gatewayAddress << '\n';
    std::optional<Site> known = known_site(book, o.link.gatewayAddress, {}, &why);
    if (!known) *status = s.failed_always(kExitUsage, why);
    return known;
}

int name_site(Session& s) {
    std::string why;
    const std::optional<std::string> name = site_name_text(s.options().arguments[1], &why);
    if (!name) return s.failed_always(kExitUsage, why);   // checked before; the locale is read again
    const std::shared_ptr<Logbook> book = open_for_reading(s);
    if (!book) return kExitLogbook;
    int status = kExitUsage;
    const std::optional<Site> site = site_to_name(s, *book, &status);
    if (!site) return status;
    if (const std::string problem = give_site_name(*book, site, {}, *name); !problem.empty())
        return s.failed_always(problem.rfind("another", 0) == 0 ? kExitUsage : kExitLogbook, problem);
    return kExitOk;
}

}  // namespace

std::string check_site(const CliOptions& o) {
    const std::string what = o.arguments.empty() ? "" : o.arguments[0];
    if (!o.output.empty()) return "-o writes a workbook; site has none";
    if (o.allGateways) return "site names one gateway's site: --all-gateways is not for it";
    if (what == "list") return o.arguments.size() == 1 ? "" : "site list takes no argument";
    if (what == "name") {
        if (o.arguments.size() != 2) return "site name needs the name: site name \"Hospital West\"";
        if (o.noLogbook) return "a site's name is kept in the logbook: --no-logbook leaves nowhere to keep it";
        std::string why;
        return site_name_text(o.arguments[1], &why) ? "" : why;
    }
    return "site needs list or name: site name \"Hospital West\"";
}

int run_site(Session& s) { return s.options().arguments[0] == "list" ? list_sites(s) : name_site(s); }

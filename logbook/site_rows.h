// What both stores do with sites, written once: the queries (with ?1, ?2 ...
// placeholders; in_dialect() spells them for PostgreSQL), the statements
// that merge a site into a store, and the fingerprint as the text a store
// keeps.
#pragma once

#include "logbook.h"

#include <string>
#include <vector>

// uid, name, named, fingerprint, fingerprint_taken: every site, oldest first.
std::string sites_query();
// site, gateway, first_seen, last_seen: every address of every site.
std::string site_addresses_query();
// joined, site: every uid joined into a site.
std::string site_joins_query();
// ?1 joined, ?2 site; a uid joined before keeps its site.
std::string join_site_statement();
// site: the site a uid is stored under (?1), when it was joined into one.
std::string joined_site_query();
// unit, name, location: each unit's newest entry of the site ?1, walked
// unit by unit through the entries' index (a fingerprint for a site that
// was never read whole).
std::string newest_names_query();

// A site stored, or merged into the one stored: ?1 uid, ?2 name, ?3 named,
// ?4 fingerprint, ?5 fingerprint_taken; the later name and fingerprint win.
std::string merge_site_statement();
// A site as a run or a remark meets it: ?1 uid, ?2 its address as the name
// when the store has no such site yet.
std::string ensure_site_statement();
// An address of a site: ?1 site, ?2 gateway, ?3 first seen, ?4 last seen
// (either may be empty: not known); the earliest and the latest win.
std::string merge_site_address_statement();

// The fingerprint as a store keeps it: a line per luminaire, its unit, name
// and location separated by tabs (a tab, line end or backslash in a text
// escaped), by unit.
std::string fingerprint_text(const std::vector<SiteLuminaire>& luminaires);
std::vector<SiteLuminaire> fingerprint_of(const std::string& text);

// Sites and addresses as the queries gave them, put together: each address
// to its site, oldest first.
void add_address(std::vector<Site>& sites, const std::string& site, SiteAddress address);
void add_joined(std::vector<Site>& sites, const std::string& site, std::string joined);

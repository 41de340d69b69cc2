// Which site a run is recorded under, told before anything is recorded, for
// the command line and the window alike (no Qt here): --site NAME when
// given; else the site of the address, when the gateway there is its
// gateway (sites.h); else another site whose gateway it is; else the user
// is asked through prompts() which site this is, or a new one. Where nobody
// answers (the command line) a gateway that is not its address's site's
// becomes a new site, named after the address and the date, and the note
// says so with the command that names it.
#pragma once

#include "logbook.h"
#include "sites.h"
#include "test_result_record.h"

#include <optional>
#include <string>
#include <vector>

// What a listing read of the gateway at `gateway`: the luminaires of a
// results listing that ran to its end are its whole list.
GatewayFound gateway_found(const std::string& gateway, const std::vector<TestResultRecord>& records, bool whole);

struct SiteChoice {
    std::optional<Site> site;   // stored; none when it could not be (note says why)
    std::string note;           // what the user should know; empty when nothing
};
// Tells and stores the site of the gateway found: its address seen now,
// and its fingerprint when the run read the gateway whole. `named`: the
// site the user named (--site), made when no site has that name.
SiteChoice choose_site(Logbook& book, const GatewayFound& found, const std::string& named);

// The site the logbook knows at an address, or by name, without asking or
// storing anything (reading a history, writing a remark or a report from
// the logbook alone). None and why when there is none.
std::optional<Site> known_site(Logbook& book, const std::string& gateway, const std::string& named, std::string* why);

// Names the site (none: a new site at `gateway`, which the logbook has no
// site at yet). Empty, or why not: another site has that name, the logbook
// failed.
std::string give_site_name(Logbook& book, std::optional<Site> site, const std::string& gateway,
                           const std::string& name);

// "Hospital West (10.0.0.7, 192.168.1.20)", as a choice or a message names it.
std::string site_words(const Site& site);
// A site's name as the user gives it: UTF-8, converted from the locale's
// encoding when it says one; not empty, one line. None and why when not.
std::optional<std::string> site_name_text(const std::string& typed, std::string* why);

#include "cli_logbook.h"

#include "cli.h"
#include "cli_json.h"
#include "gateway_link.h"
#include "history_rows.h"
#include "listings.h"
#include "locale_text.h"
#include "logbook.h"
#include "logbook_recording.h"
#include "logbook_text.h"
#include "logbook_workbook.h"
#include "site_choice.h"
#include "sites.h"
#include "survey_logbook.h"

#include <nlohmann/json.hpp>

#include <iostream>

namespace {

LogbookChoice choice_of(const CliOptions& o) { return {o.logbook, o.link, o.site}; }

}  // namespace

// The logbook for reading or for a remark: the configured one, or the
// local file when the team server is away (said on standard error).
std::shared_ptr<Logbook> open_for_reading(Session& s) {
    OpenedLogbook opened = open_for_recording(choice_of(s.options()));
    if (!opened.book) {
        s.failed_always(kExitLogbook, "logbook: " + opened.why);
        return nullptr;
    }
    if (opened.fellBack)
        std::cerr << "orvypc: logbook: " << opened.why << "; using " << opened.book->where() << " on this machine\n";
    return std::move(opened.book);
}

namespace {

std::string unit_address(std::uint8_t unit) { return FormatUnitAddress(unit); }

nlohmann::ordered_json json_of(const HistoryItem& h) {
    const LogbookRow row = history_row(h);
    nlohmann::ordered_json j;
    static const char* const kKeys[] = {"address", "name", "location", "test_date", "type",
                                        "minutes", "result", "gateway", "first_read"};
    for (std::size_t c = 0; c < row.size(); ++c) j[kKeys[c]] = row[c];
    if (h.isRemark) {
        j["remark"] = h.remark.text;
        j["author"] = h.remark.author;
        j["kind"] = h.remark.is_repair() ? "repair" : "note";
        if (h.remark.is_repair())
            j["part"] = h.remark.part.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(h.remark.part);
    } else {
        j["on_gateway"] = h.onGateway ? nlohmann::ordered_json(*h.onGateway) : nlohmann::ordered_json(nullptr);
    }
    return j;
}

void print_history(const CliOptions& o, std::uint8_t unit, const std::vector<HistoryItem>& items,
                   const std::string& brokenOff) {
    if (o.json) {
        nlohmann::ordered_json out = json_header("history", brokenOff.empty(), brokenOff);
        out["address"] = unit_address(unit);
        out["entries"] = nlohmann::ordered_json::array();
        for (const HistoryItem& h : items) out["entries"].push_back(json_of(h));
        std::cout << json_text(out) << '\n';
        return;
    }
    std::vector<std::string> heading(kLogbookColumns.begin(), kLogbookColumns.end());
    heading.push_back("On Gateway");
    print_line(heading);
    for (const HistoryItem& h : items) {
        const LogbookRow row = history_row(h);
        std::vector<std::string> fields(row.begin(), row.end());
        fields.push_back(on_gateway_text(h));
        print_line(fields);
    }
}

int write_rows(Session& s, const std::vector<HistoryItem>& items, const std::string& title,
               const std::string& footnote = {}) {
    std::vector<LogbookRow> rows;
    for (const HistoryItem& h : items) rows.push_back(history_row(h));
    const std::string why = write_logbook_workbook(rows, title, s.options().output, footnote);
    if (!why.empty()) return s.failed_always(kExitExport, why);
    return kExitOk;
}

// The seal of the chain's last link, as a printed workbook or report shows
// it, so that it can be matched with the logbook it came from.
std::string seal_words(const SealMark& seal) {
    if (seal.position == 0) return "the logbook holds no sealed record yet";
    return "seal of the last record: " + seal.seal + " (record " + std::to_string(seal.position) +
           " of the logbook, sealed " + seal.sealed + ")";
}

// Reads what the gateway holds for the luminaire now, into the logbook, so
// the history's marks are today's. False when no gateway answered;
// *recorded false when its run could not be recorded, else *site is the
// site it went under.
bool refresh_from_gateway(Session& s, std::uint8_t unit, std::string* gateway, bool* recorded, std::string* site) {
    if (!s.connect()) return false;
    MemoryResultList shown;
    ListedRecords listed(shown);
    run_listing_with_retries([&] { QueryDetails(listed, unit); }, s.options().retries);
    *gateway = g_link.pucDestIpBuf;
    *recorded = record_listing(s, "details", listed, unit, site);
    if (!last_listing_complete())
        std::cerr << "orvypc: the gateway's list was incomplete (" << last_listing_reason()
                  << "); the marks are from the last complete one\n";
    return true;
}

// The site whose history is asked for: the one the refresh recorded into,
// --site, the one at the gateway's address; every site with
// --all-gateways, or when no gateway is known at all. False (said) when
// the site named or the address has none.
bool history_site(Session& s, Logbook& book, const std::string& gateway, std::string* site) {
    const CliOptions& o = s.options();
    if (o.allGateways || !site->empty() || (o.site.empty() && gateway.empty())) {
        if (o.allGateways) site->clear();
        return true;
    }
    std::string why;
    const std::optional<Site> known = known_site(book, gateway, o.site, &why);
    if (!known) {
        if (o.site.empty()) std::cerr << "orvypc: " << why << '\n';
        else s.failed_always(kExitUsage, why);
        return false;
    }
    *site = known->uid;
    return true;
}

int history_command(Session& s) {
    const CliOptions& o = s.options();
    const std::uint8_t unit = address_argument(o);
    std::string gateway = o.allGateways ? "" : o.link.gatewayAddress;
    std::string site;
    bool recorded = true;
    if (!refresh_from_gateway(s, unit, &gateway, &recorded, &site)) {
        std::cerr << "orvypc: the gateway was not reached; the history is the logbook's, marked as of its "
                     "last complete list\n";
    }
    const std::shared_ptr<Logbook> book = open_for_reading(s);
    if (!book) return kExitLogbook;
    if (!history_site(s, *book, gateway, &site)) {
        // An address the logbook has no site at holds no history.
        if (!o.site.empty()) return kExitUsage;
        print_history(o, unit, {}, "");
        return recorded ? kExitOk : kExitLogbook;
    }
    const HistoryRead read = book->history(site, unit, o.since);
    if (!read.complete) {
        const std::string why = "the logbook's history could not be read whole: " + book->error();
        if (!o.output.empty()) return s.failed_always(kExitLogbook, why + "; no workbook written");
        print_history(o, unit, read.items, why);
        return s.failed_always(kExitLogbook, why + "; the lines above are only part of it");
    }
    const int status = !o.output.empty() ? write_rows(s, read.items, "Logbook of " + unit_address(unit))
                                         : (print_history(o, unit, read.items, ""), kExitOk);
    return status == kExitOk && !recorded ? kExitLogbook : status;
}

// The remark as UTF-8: as typed when it is UTF-8, else converted from the
// encoding the user's locale names. No value, and why, when it is neither:
// nothing that is no text goes into the logbook.
std::optional<std::string> remark_text(const std::string& typed, std::string* why) {
    const std::string problem = utf8_problem(typed);
    if (problem.empty()) return typed;
    if (std::optional<std::string> converted = locale_text_as_utf8(typed); converted && utf8_problem(*converted).empty())
        return converted;
    const std::string encoding = locale_encoding();
    *why = "the remark is not UTF-8 text (" + problem + ")" +
           (encoding.empty() ? std::string(" and the locale names no other encoding")
                             : " nor text in the locale's encoding, " + encoding) +
           "; nothing was stored: write it as UTF-8, or name the terminal's encoding in the locale (such as "
           "LC_ALL=de_DE.ISO-8859-1)";
    return std::nullopt;
}

// The site and the address a remark belongs to: --site, else the site at
// the address given, else the one whose entries the logbook holds for that
// luminaire most recently. False (said) when none can be told.
bool remark_site(Session& s, Logbook& book, std::uint8_t unit, std::string* site, std::string* gateway) {
    const CliOptions& o = s.options();
    *gateway = o.link.gatewayAddress;
    if (!o.site.empty()) {
        std::string why;
        const std::optional<Site> known = known_site(book, *gateway, o.site, &why);
        if (!known) return s.failed_always(kExitUsage, why), false;
        *site = known->uid;
        if (gateway->empty()) *gateway = latest_address(*known);
        return true;
    }
    if (!gateway->empty()) {
        std::string why;
        const std::optional<Site> known = known_site(book, *gateway, {}, &why);
        if (known) *site = known->uid;   // else the address's own site, made with the remark
        return true;
    }
    for (const HistoryItem& h : book.history("", unit, "").items) {
        if (h.isRemark) continue;
        *site = h.entry.site;
        *gateway = h.entry.gateway;
        return true;
    }
    return s.failed_always(kExitUsage, "the logbook has no entry of " + o.arguments[1] +
                                           " yet: name its gateway with --gateway HOST or its site with --site NAME"),
           false;
}

// logbook note ADDRESS TEXT, logbook repair ADDRESS WHAT [--part PART].
int remark_command(Session& s, bool repair) {
    const CliOptions& o = s.options();
    const std::uint8_t unit = parse_luminaire_address(o.arguments[1]).value();
    const std::shared_ptr<Logbook> book = open_for_reading(s);
    if (!book) return kExitLogbook;
    std::string site, gateway;
    if (!remark_site(s, *book, unit, &site, &gateway)) return kExitUsage;
    std::string why;
    const std::optional<std::string> text = remark_text(o.arguments[2], &why);
    if (!text) return s.failed_always(kExitUsage, why);   // checked before; the locale is read again
    Remark remark = repair ? dated_repair(gateway, unit, *text, o.part) : dated_remark(gateway, unit, *text);
    remark.site = site;
    if (!book->add_remark(remark)) return s.failed_always(kExitLogbook, "logbook: " + book->error());
    return kExitOk;
}

int export_command(Session& s) {
    const CliOptions& o = s.options();
    const std::shared_ptr<Logbook> book = open_for_reading(s);
    if (!book) return kExitLogbook;
    std::string site, title = "Logbook";
    if (!o.site.empty()) {
        std::string why;
        const std::optional<Site> known = known_site(*book, o.link.gatewayAddress, o.site, &why);
        if (!known) return s.failed_always(kExitUsage, why);
        site = known->uid;
        title = "Logbook of " + known->name;
    }
    const HistoryRead read = book->site_history(site, o.since);
    if (!read.complete)
        return s.failed_always(kExitLogbook, "the logbook could not be read whole: " + book->error() +
                                                 "; no workbook written");
    const int status = write_rows(s, read.items, title, seal_words(read.seal));
    if (status == kExitOk) std::cout << seal_words(read.seal) << '\n';
    return status;
}

int backup_command(Session& s) {
    const std::shared_ptr<Logbook> book = open_for_reading(s);
    if (!book) return kExitLogbook;
    if (!book->backup(s.options().arguments[1])) return s.failed_always(kExitLogbook, "backup: " + book->error());
    return kExitOk;
}

int sync_command(Session& s) {
    if (!team_logbook_available()) return s.failed_always(kExitLogbook, std::string("logbook sync: ") + kNoTeamLogbook);
    const std::string target = logbook_location(choice_of(s.options()));
    if (!is_server_logbook(target))
        return s.failed_always(kExitUsage, "sync pushes to a team logbook: give --logbook postgresql://... "
                                           "or set it in the key store");
    std::string why;
    std::unique_ptr<Logbook> local = open_logbook(local_logbook_path(), &why);
    if (!local) return s.failed_always(kExitLogbook, "logbook: " + why);
    std::unique_ptr<Logbook> team = open_logbook(target, &why);
    if (!team) return s.failed_always(kExitLogbook, "logbook: " + why + "; nothing was pushed");
    SyncCounts counts;
    const bool whole = sync_logbook(*local, *team, team->where(), &why, &counts);
    std::cerr << "orvypc: " << counts.runsNew << " run(s) and " << counts.remarksNew << " remark(s) new on "
              << team->where() << "; " << counts.runsThere << " run(s) and " << counts.remarksThere
              << " remark(s) it had already\n";
    if (!whole) return s.failed_always(kExitLogbook, "sync: " + why + "; run it again to push the rest");
    return kExitOk;
}

// The logbook for a check: the configured one itself, never a stand-in.
std::unique_ptr<Logbook> open_to_check(Session& s) {
    std::string why;
    std::unique_ptr<Logbook> book = open_logbook(logbook_location(choice_of(s.options())), &why);
    if (!book) s.failed_always(kExitLogbook, "logbook: " + why);
    return book;
}

// Walks the seal chain: what it covers on standard output, each finding a
// line; 0 when the chain holds, 8 when a record was changed, removed or
// put in, 7 when it could not be read.
int walk_chain(Session& s, Logbook& book) {
    const ChainCheck chain = book.verify_seals();
    for (const SealFinding& f : chain.findings) std::cout << f.text << '\n';
    if (chain.findingsLeftOut > 0) std::cout << "and " << chain.findingsLeftOut << " finding(s) more\n";
    if (!chain.whole) return s.failed_always(kExitLogbook, "the seal chain could not be read whole: " + book.error());
    std::cout << chain.runs << " run(s) and " << chain.remarks << " remark(s) sealed; " << seal_words(chain.last) << '\n';
    if (chain.holds()) return kExitOk;
    const std::size_t n = chain.findings.size() + chain.findingsLeftOut;
    return s.failed_always(kExitSealBroken, "the logbook was changed after it was sealed (" + std::to_string(n) +
                                                " finding(s)); the first: " + chain.findings.front().text);
}

int verify_command(Session& s) {
    const std::unique_ptr<Logbook> book = open_to_check(s);
    return book ? walk_chain(s, *book) : kExitLogbook;
}

int check_command(Session& s) {
    const std::unique_ptr<Logbook> book = open_to_check(s);
    if (!book) return kExitLogbook;
    const std::string problem = book->integrity_problem();
    if (!problem.empty()) return s.failed_always(kExitLogbook, book->where() + ": the file is damaged (" + problem + ")");
    std::cout << "integrity check: ok\n";
    return walk_chain(s, *book);
}

}  // namespace

bool record_listing(Session& s, const char* kind, const ListedRecords& listed, std::optional<std::uint8_t> unit,
                    std::string* site) {
    const CliOptions& o = s.options();
    if (o.noLogbook) return true;
    const std::string gateway = g_link.pucDestIpBuf;
    const bool complete = last_listing_complete();
    const RunRecord run = listing_run(kind, gateway, listed.records(), complete, last_listing_reason(), unit);
    // A results listing read to its end is the gateway's whole list.
    const bool whole = complete && std::string(kind) == "results";
    const RecordedRun recorded = record_run_into(choice_of(o), run, gateway_found(gateway, listed.records(), whole));
    if (!recorded.note.empty()) std::cerr << "orvypc: " << recorded.note << '\n';
    if (site != nullptr && recorded.book) *site = recorded.site.uid;
    return recorded.book != nullptr;
}

bool record_survey(Session& s, SiteSurvey& survey) {
    const CliOptions& o = s.options();
    if (o.noLogbook) return true;
    bool recorded = false;
    if (const std::string note = record_survey_in_logbook(o.logbook, survey, &recorded, o.site); !note.empty())
        std::cerr << "orvypc: " << note << '\n';
    return recorded;
}

std::string check_history(const CliOptions& o) {
    if (const std::string e = check_one_address(o); !e.empty()) return e;
    if (!o.since.empty() && !valid_since_date(o.since)) return "--since: '" + o.since + "' is not a date YYYY-MM-DD";
    return {};
}

int run_history(Session& s) { return history_command(s); }

std::string check_logbook(const CliOptions& o) {
    const std::string what = o.arguments.empty() ? "" : o.arguments[0];
    const std::size_t n = o.arguments.size();
    if (!o.since.empty() && !valid_since_date(o.since)) return "--since: '" + o.since + "' is not a date YYYY-MM-DD";
    if (what == "export") {
        if (n != 1) return "logbook export takes no argument; the workbook goes to -o FILE";
        if (o.output.empty()) return "logbook export needs -o FILE";
        return {};
    }
    if (!o.output.empty()) return "-o writes a workbook; only logbook export has one";
    if (!o.part.empty() && what != "repair") return "--part names a repaired part: only logbook repair takes it";
    if (what == "note" || what == "repair") {
        if (n != 3)
            return what == "note" ? "logbook note needs a luminaire address and the remark: logbook note A5 \"checked\""
                                  : "logbook repair needs a luminaire address and what was done: logbook repair A5 "
                                    "\"battery replaced\" [--part battery]";
        if (!parse_luminaire_address(o.arguments[1])) return "'" + o.arguments[1] + "' is not a luminaire address such as A5";
        if (o.arguments[2].empty()) return what == "note" ? "the remark is empty" : "what was repaired is empty";
        std::string why;
        if (!remark_text(o.arguments[2], &why)) return why;
        return {};
    }
    if (!o.site.empty() && what != "export")
        return "--site names the site of a listing, a remark or a report: logbook " + what + " has none";
    if (what == "backup") return n == 2 ? "" : "logbook backup needs the file to write: logbook backup FILE";
    if (what == "sync" || what == "verify" || what == "check") return n == 1 ? "" : "logbook " + what + " takes no argument";
    return "logbook needs export, note, repair, backup, sync, verify or check";
}

int run_logbook(Session& s) {
    const std::string& what = s.options().arguments[0];
    if (what == "export") return export_command(s);
    if (what == "note") return remark_command(s, false);
    if (what == "repair") return remark_command(s, true);
    if (what == "backup") return backup_command(s);
    if (what == "verify") return verify_command(s);
    if (what == "check") return check_command(s);
    return sync_command(s);
}

// The front end's site survey and the scan that lists every gateway.
#include "cli.h"
#include "cli_commands.h"
#include "cli_logbook.h"
#include "cli_session.h"
#include "export_guard.h"
#include "gateway_link.h"
#include "site_survey.h"
#include "survey_export.h"

#include "cli_json.h"

#include <nlohmann/json.hpp>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>

namespace {


// One updating line on standard error, only when a person watches it.
class ProgressLine {
public:
    ProgressLine() : shown_(::isatty(STDERR_FILENO) == 1) {}
    ~ProgressLine() { clear(); }
    void update(const std::string& gateway, int done, int total) {
        if (!shown_) return;
        std::fprintf(stderr, "\rsurveying %s: %d of %d luminaires", gateway.c_str(), done, total);
        std::fflush(stderr);
        dirty_ = true;
    }
    void clear() {
        if (!dirty_) return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        dirty_ = false;
    }

private:
    bool shown_;
    bool dirty_ = false;
};

std::string last_test_words(const SurveyedLuminaire& l) {
    if (!l.latest) return "no stored test";
    const RowTexts& r = *l.latest;
    return r[kColType] + " " + r[kColTestDate] + " " + r[kColResult];
}

std::string next_tests_words(const SurveyedLuminaire& l) {
    if (!l.status_read()) return "";
    return "FT in " + std::to_string(l.hours_to_function_test()) + " h, DT in " +
           std::to_string(l.hours_to_duration_test()) + " h";
}

// "2026-11-03T01:09:21" of the logbook's "2026-11-03 01:09:21".
std::string iso_time(std::string local) {
    if (local.size() > 10 && local[10] == ' ') local[10] = 'T';
    return local;
}

// A line of the logbook's history: an entry as the gateway's are, with
// whether the gateway still holds it; a remark with its text and author.
Json json_logged_line(std::uint8_t unit, const LoggedLine& line) {
    if (line.entry) {
        Json j = json_entry(*line.entry);
        j["on_gateway"] = line.onGateway ? Json(*line.onGateway) : Json();
        return j;
    }
    Json j;
    add_json_address(j, unit);
    j["type"] = line.repair ? "repair" : "remark";
    j["written_at"] = iso_time(line.written);
    j["remark"] = line.remark;
    j["author"] = line.author;
    if (line.repair) j["part"] = line.part.empty() ? Json() : Json(line.part);
    return j;
}

std::string summary_words(const SiteSurvey& s) {
    std::string out = std::to_string(s.luminaires.size()) + " luminaires:";
    const char* sep = " ";
    for (const Verdict v : {Verdict::Ok, Verdict::Overdue, Verdict::Fault, Verdict::NotRead}) {
        out += sep + std::to_string(s.count(v)) + " " + verdict_style(v).text;
        sep = ", ";
    }
    if (!s.complete()) out += "; incomplete: " + s.incomplete_reason();
    return out;
}

void print_survey(const SiteSurvey& s, bool withGateway) {
    if (withGateway) print_line({"Gateway", s.gateway});
    for (const SurveyedLuminaire& l : s.luminaires)
        print_line({l.address(), verdict_style(l.verdict()).text, l.why(), last_test_words(l), next_tests_words(l)});
    print_line({summary_words(s)});
}

Json survey_json(const SiteSurvey& s) {
    Json out = json_header("survey", s.complete(), s.incomplete_reason());
    out["gateway"] = s.gateway;
    for (const Verdict v : {Verdict::Ok, Verdict::Overdue, Verdict::Fault, Verdict::NotRead})
        out["counts"][verdict_key_text(verdict_style(v).text)] = s.count(v);
    out["luminaires"] = Json::array();
    for (const SurveyedLuminaire& l : s.luminaires) {
        Json j;
        add_json_address(j, l.unit);
        j["name"] = l.name;
        j["location"] = l.location;
        j["verdict"] = verdict_key_text(verdict_style(l.verdict()).text);
        j["read"] = read_state_text(l.state);
        j["reason"] = l.reason.empty() ? Json() : Json(l.reason);
        if (l.status_read()) {
            j["failures"] = Json::array();
            for (const FailureBitRule& rule : kFailureBitRules)
                if (l.failure_bits() >> rule.bit & 1U) j["failures"].push_back(rule.heading);
            j["emergency_status"] = l.emergency_status();
            j["battery_charge"] = l.battery_charge();
            j["hours_to_function_test"] = l.hours_to_function_test();
            j["hours_to_duration_test"] = l.hours_to_duration_test();
        }
        j["why"] = l.why().empty() ? Json() : Json(l.why());
        j["latest"] = l.latestRecord ? json_entry(*l.latestRecord) : Json();
        j["history"] = Json::array();
        if (l.logged) {
            for (const LoggedLine& line : *l.logged) j["history"].push_back(json_logged_line(l.unit, line));
        } else {
            for (const RowTexts& row : l.history) j["history"].push_back(json_entry_of_row(row));
        }
        j["history_from"] = l.logged ? "logbook" : "gateway";
        j["history_complete"] = l.historyComplete;
        out["luminaires"].push_back(j);
    }
    return out;
}

// FILE for one gateway among several: "site.xlsx" -> "site-127.0.0.2.xlsx".
std::string output_for(const std::string& output, const std::string& gateway, bool several) {
    if (!several || output.empty() || output.back() == '/') return output;
    const std::size_t dot = output.find_last_of('.');
    const std::size_t slash = output.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return output + "-" + gateway;
    return output.substr(0, dot) + "-" + gateway + output.substr(dot);
}

// The survey of the connected gateway, with the retries of the options.
SiteSurvey survey_with(const CliOptions& o, SurveyOptions options) {
    options.listingRetries = o.retries;
    options.linkRetries = o.retries;
    return run_site_survey(options);
}

SurveyOptions with_progress(ProgressLine& progress, const std::string& gateway) {
    SurveyOptions options;
    options.progress = [&progress, gateway](int done, int total) { progress.update(gateway, done, total); };
    return options;
}

SiteSurvey survey_connected(const CliOptions& o, ProgressLine& progress) {
    SiteSurvey s = survey_with(o, with_progress(progress, g_link.pucDestIpBuf));
    progress.clear();
    return s;
}

// As Session::write_workbook, to a path of its own for each gateway.
int write_survey_workbook(Session& session, const SiteSurvey& survey, const std::string& path) {
    FixedPathPrompt prompt(path);
    const int shownBefore = session.cli_prompts().shown;
    const bool ran = run_export([&] { ExportSiteSurvey(survey, prompt); });
    std::string file = path;
    if (!file.empty() && file.back() == '/' && !prompt.proposed().empty()) file += prompt.proposed().back();
    std::error_code ec;
    if (ran && session.cli_prompts().shown == shownBefore && std::filesystem::is_regular_file(file, ec)) return kExitOk;
    return session.failed_always(kExitExport, "the workbook of " + survey.gateway + " was not written");
}

// A gateway the survey could not reach: nothing read, and it says so.
SiteSurvey unreachable(const std::string& gateway) {
    SiteSurvey s;
    s.gateway = gateway;
    s.started = std::time(nullptr);
    s.listReason = "no connection to the gateway";
    return s;
}

// The gateways to survey, each connected in turn.
std::vector<SiteSurvey> survey_gateways(Session& session) {
    const CliOptions& o = session.options();
    ProgressLine progress;
    std::vector<SiteSurvey> out;
    if (!o.allGateways) {
        if (session.connect()) out.push_back(survey_connected(o, progress));
        return out;
    }
    if (aes_load_key() != 0) return out;
    set_link_settings(o.link);
    for (const std::string& gateway : ScanAllGateways()) {
        out.push_back(survey_gateway(o, gateway, with_progress(progress, gateway)));
        progress.clear();
    }
    return out;
}

}  // namespace

SiteSurvey survey_connected_gateway(const CliOptions& o) {
    ProgressLine progress;
    return survey_connected(o, progress);
}

SiteSurvey survey_gateway(const CliOptions& o, const std::string& gateway, const SurveyOptions& options) {
    ResetLink();
    LinkSettings one = o.link;
    one.gatewayAddress = gateway;
    set_link_settings(one);
    ScanGateway();
    const bool up = g_link.bConnected.load() == 1 && g_link.tcp_sock != kInvalidSocket;
    return up ? survey_with(o, options) : unreachable(gateway);
}

std::string check_survey(const CliOptions& o) {
    if (o.allGateways && !o.link.gatewayAddress.empty()) return "--all-gateways and --gateway exclude each other";
    return check_no_arguments(o);
}

int run_survey(Session& session) {
    const CliOptions& o = session.options();
    std::vector<SiteSurvey> surveys = survey_gateways(session);
    if (surveys.empty()) return session.failed_always(kExitNoLink, "no gateway to survey");
    bool recorded = true;
    for (SiteSurvey& s : surveys) recorded = record_survey(session, s) && recorded;
    int status = kExitOk;
    if (!o.output.empty()) {
        for (const SiteSurvey& s : surveys) {
            if (write_survey_workbook(session, s, output_for(o.output, s.gateway, surveys.size() > 1)) != kExitOk)
                status = kExitExport;
        }
    } else if (o.json) {
        Json out = Json::array();
        for (const SiteSurvey& s : surveys) out.push_back(survey_json(s));
        std::cout << json_text(o.allGateways ? out : out[0]) << '\n';
    } else {
        for (const SiteSurvey& s : surveys) print_survey(s, o.allGateways);
    }
    for (const SiteSurvey& s : surveys) {
        if (s.complete()) continue;
        std::cerr << "orvypc: survey of " << s.gateway << " incomplete: " << s.incomplete_reason() << '\n';
        if (status == kExitOk) status = kExitSurveyIncomplete;
    }
    return status == kExitOk && !recorded ? kExitLogbook : status;
}

int run_scan_gateways(Session& session) {
    const CliOptions& o = session.options();
    std::vector<std::string> gateways;
    if (!o.link.gatewayAddress.empty()) {
        // A named gateway is listed when it takes a connection.
        if (!session.connect()) return kExitNoLink;
        gateways.push_back(g_link.pucDestIpBuf);
    } else {
        if (aes_load_key() != 0) return session.failed_always(kExitNoLink, "the cipher key could not be loaded");
        set_link_settings(o.link);
        gateways = ScanAllGateways();
    }
    if (gateways.empty()) return session.failed_always(kExitNoLink, "no gateway found");
    if (o.json) std::cout << json_text(Json(gateways)) << '\n';
    else for (const std::string& g : gateways) std::cout << g << '\n';
    return kExitOk;
}

// The front end's unattended monitor: a round of surveys on a schedule, each
// recorded in the logbook as `orvypc survey` records it, compared with the
// site's previous round, and an e-mail for what changed. The monitor's state
// (each site's last round, the alerts waiting) is kept in the same logbook,
// each site's round in the transaction that records its survey, so a
// restarted monitor, and each `--once`, goes on where the last one stopped.
// Between rounds it holds no connection and waits on nothing but the end
// request and, while alerts wait for the mail server, the next try.
#include "cli.h"
#include "cli_commands.h"
#include "cli_json.h"
#include "cli_logbook.h"
#include "cli_session.h"

#include "end_request.h"
#include "export_guard.h"
#include "gateway_link.h"
#include "key_store.h"
#include "logbook.h"
#include "logbook_monitor_store.h"
#include "logbook_recording.h"
#include "memory_monitor_store.h"
#include "mirrored_monitor_store.h"
#include "monitor.h"
#include "save_prompt.h"
#include "site_outcome.h"
#include "survey_export.h"
#include "survey_logbook.h"
#include "system_identity.h"
#include "test_kill_point.h"
#include "user_folders.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

namespace {

// However a round is stopped, the program is gone this soon after the
// request (an exchange with a silent gateway may hold the round up).
constexpr int kEndAtLatestMs = 450;
// While alerts wait for the mail server, it is tried again this often
// between rounds (and at every round).
constexpr long kMailRetrySeconds = 300;
// A summary line names at most this many changes; the mail has them all.
constexpr std::size_t kChangesInSummary = 5;

constexpr const char* kWorkbookType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

std::string mail_domain(const std::string& sender) {
    const std::size_t at = sender.find('@');
    return at == std::string::npos ? std::string() : sender.substr(at + 1);
}

// What the monitor needs of the run, set up once.
struct MonitorRun {
    Session& session;
    const CliOptions& o;
    MonitorConfig config;
    std::unique_ptr<MailSender> sender;   // null: no mail server set up
    MailAddressing addressing;
    MonitorPolicy policy;
    // --no-logbook: the state lives as long as the program.
    std::unique_ptr<MemoryMonitorStore> memory;
};

// The monitor's one logbook, for its surveys and its state: --logbook, else
// the one of its (first) gateway, as a survey of it records into (a
// loopback gateway's is the demonstration logbook).
LogbookChoice monitor_logbook(const MonitorRun& run) {
    LogbookChoice choice{run.o.logbook, run.o.link};
    if (!run.config.gateways.empty()) choice.link.gatewayAddress = run.config.gateways.front();
    return choice;
}

// The monitor's state for one round, or one try of the mail between
// rounds: in the logbook, opened anew (a team server that is away is met as
// it is now, and this machine's file stands in, as for every run).
struct RoundState {
    OpenedLogbook opened;
    std::shared_ptr<Logbook> local;       // this machine's file beside a team server
    std::unique_ptr<LogbookMonitorStore> main, here;
    std::unique_ptr<MirroredMonitorStore> mirrored;
    MonitorStore* store = nullptr;        // null: none can be used (why)
    std::string why;
    Logbook* book() const { return opened.book.get(); }
};

std::unique_ptr<RoundState> open_state(const MonitorRun& run) {
    auto s = std::make_unique<RoundState>();
    if (run.memory) {
        s->store = run.memory.get();
        return s;
    }
    s->opened = open_for_recording(monitor_logbook(run));
    if (!s->opened.book) {
        s->why = "logbook: " + s->opened.why;
        return s;
    }
    if (s->opened.fellBack)
        std::cerr << "orvypc: logbook: " << s->opened.why << "; the monitor keeps this round in "
                  << s->opened.book->where() << " ('orvypc logbook sync' pushes its surveys later)\n";
    const std::string host = system_host_name();
    s->main = std::make_unique<LogbookMonitorStore>(s->opened.book->monitor_state(), host);
    s->store = s->main.get();
    if (s->opened.fellBack || !is_server_logbook(s->opened.book->where())) return s;
    // A team server: each outcome copied into this machine's file too.
    std::string why;
    s->local = open_logbook(local_logbook_path(), &why);
    if (!s->local) {
        std::cerr << "orvypc: monitor: " << why << "; while the team logbook is away, its rounds start anew\n";
        return s;
    }
    s->here = std::make_unique<LogbookMonitorStore>(s->local->monitor_state(), host);
    s->mirrored = std::make_unique<MirroredMonitorStore>(*s->main, *s->here);
    s->store = s->mirrored.get();
    return s;
}

struct RoundReport {
    int number = 0;
    std::time_t started = 0;
    std::vector<SiteTurn> sites;
    SendReport mail;
    bool stopped = false;
};

// The survey's workbook as an attachment, written to a temporary file
// through the same export as `survey -o` and read back.
std::optional<MailAttachment> survey_workbook(Session& session, const SiteSurvey& survey) {
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::temp_directory_path(ec) / ("orvypc-monitor-" + new_run_uid() + ".xlsx");
    if (ec) return std::nullopt;
    FixedPathPrompt prompt(file.string());
    const int shownBefore = session.cli_prompts().shown;
    const bool ran = run_export([&] { ExportSiteSurvey(survey, prompt); });
    std::optional<MailAttachment> out;
    if (ran && session.cli_prompts().shown == shownBefore) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        if (in) out = MailAttachment{survey_proposed_name(survey), kWorkbookType, bytes.str()};
    }
    std::filesystem::remove(file, ec);
    if (!out) std::cerr << "orvypc: monitor: the survey workbook of " << survey.gateway << " could not be made; the mail goes without it\n";
    return out;
}

// The gateways of a round: those named, else every one that answers and
// every one that answered before (so that one gone silent is noticed).
std::vector<std::string> round_gateways(const MonitorRun& run, MonitorStore* store) {
    if (!run.o.allGateways && !run.config.gateways.empty()) return run.config.gateways;
    // --demo names its gateway the way --gateway does.
    if (!run.o.allGateways && !run.o.link.gatewayAddress.empty()) return {run.o.link.gatewayAddress};
    LinkSettings scan = run.o.link;
    scan.gatewayAddress.clear();
    set_link_settings(scan);
    std::vector<std::string> out = ScanAllGateways();
    const std::optional<std::vector<KnownSite>> known = store ? store->sites() : std::nullopt;
    if (store && !known)
        std::cerr << "orvypc: monitor: the gateways of earlier rounds could not be read: " << store->error() << '\n';
    for (const KnownSite& site : known.value_or(std::vector<KnownSite>{})) {
        if (std::find(out.begin(), out.end(), site.gateway) == out.end()) out.push_back(site.gateway);
    }
    return out;
}

// One site's turn: the survey recorded and the round kept in one
// transaction, or neither (the next round finds the same changes again).
SiteTurn take_survey(MonitorRun& run, RoundState& state, SiteSurvey& survey, const std::string& gateway) {
    const auto workbook = [&] { return survey_workbook(run.session, survey); };
    SiteTurn turn;
    turn.outcome = site_outcome(survey, gateway);
    if (!state.store) {
        turn.error = state.why;
        return turn;
    }
    Monitor monitor(*state.store, run.policy);
    if (!state.book()) return monitor.take_site(turn.outcome, std::time(nullptr), workbook);
    std::string note;
    const std::string runUid = new_run_uid();
    const bool kept = record_survey_with(*state.book(), survey, runUid, run.o.site, [&](const Site& site) {
        // The verdicts with the logbook's histories, which now hold this
        // survey, kept under its site.
        SiteOutcome outcome = site_outcome(survey, site.name);
        outcome.key = site.uid;
        turn = monitor.take_site(outcome, std::time(nullptr), workbook, runUid);
        return turn.committed;
    }, &note);
    if (state.mirrored) {
        if (const std::string problems = state.mirrored->settle(kept); !problems.empty())
            std::cerr << "orvypc: monitor: not copied to this machine's logbook (" << problems
                      << "): while the team logbook is away, this site compares with an older round\n";
    }
    if (kept) {
        if (!note.empty()) std::cerr << "orvypc: " << note << '\n';
        return turn;
    }
    if (turn.error.empty()) turn.error = state.book()->error().empty() ? note : state.book()->error();
    turn.committed = false;
    turn.alertsQueued = 0;
    return turn;
}

SendReport send_or_count(MonitorRun& run, MonitorStore& store) {
    Monitor monitor(store, run.policy);
    if (!run.sender) return monitor.waiting();
    return monitor.send_waiting(*run.sender, run.addressing, [] { return end_requested(); },
                                [] { return std::time(nullptr); });
}

RoundReport run_round(MonitorRun& run, int number) {
    RoundReport r;
    r.number = number;
    r.started = std::time(nullptr);
    SurveyOptions options;
    options.cancelled = [] {
        test_kill_point("survey");
        return end_requested();
    };
    const std::unique_ptr<RoundState> state = open_state(run);
    for (const std::string& gateway : round_gateways(run, state->store)) {
        if (end_requested()) break;
        SiteSurvey survey = survey_gateway(run.o, gateway, options);
        // A round cut short is neither recorded nor compared: the next
        // start reads it all again.
        if (survey.cancelled || end_requested()) break;
        SiteTurn turn = take_survey(run, *state, survey, gateway);
        if (!turn.committed) std::cerr << "orvypc: monitor: the round of " << gateway << " was not kept: " << turn.error << '\n';
        r.sites.push_back(std::move(turn));
    }
    ResetLink();
    if (end_requested()) {
        r.stopped = true;
        return r;
    }
    test_kill_point("alert-queued");
    if (state->store) r.mail = send_or_count(run, *state->store);
    else r.mail.error = state->why;
    r.stopped = end_requested();
    return r;
}

std::string counts_words(const SiteOutcome& s) {
    std::string out = std::to_string(s.luminaires.size()) + " luminaires (";
    const char* sep = "";
    for (const Verdict v : {Verdict::Ok, Verdict::Overdue, Verdict::Fault, Verdict::NotRead}) {
        out += sep + std::to_string(s.count(v)) + " " + verdict_style(v).text;
        sep = ", ";
    }
    return out + ")";
}

std::string changes_words(const SiteTurn& t) {
    if (t.changes.empty()) return "no change";
    std::string out = std::to_string(t.changes.size()) + (t.changes.size() == 1 ? " change: " : " changes: ");
    for (std::size_t i = 0; i < t.changes.size() && i < kChangesInSummary; ++i) {
        const SiteChange& c = t.changes[i];
        out += (i ? ", " : "") + (c.about_gateway() ? std::string() : c.address() + " ") + change_kind_text(c.kind);
    }
    if (t.changes.size() > kChangesInSummary) out += ", ...";
    return out;
}

std::string mail_words(const MonitorRun& run, const SendReport& m) {
    std::string out = run.sender ? "mail: " + std::to_string(m.sent) + " sent, " : "mail: not set up, ";
    out += std::to_string(m.waiting) + " waiting";
    if (m.waiting > 0) out += " since " + local_time_text(m.oldestWaiting);
    for (const Alert& a : m.setAside)
        out += "; set aside after " + std::to_string(a.refusals) + " refusals: \"" + alert_subject(a) + "\" of " +
               local_time_text(a.created);
    return out;
}

void print_summary(const MonitorRun& run, const RoundReport& r) {
    std::string line = local_time_text(r.started) + " round " + std::to_string(r.number) + ":";
    for (const SiteTurn& t : r.sites) {
        const SiteOutcome& s = t.outcome;
        line += " " + s.site + " ";
        line += s.reachable ? counts_words(s) : "unreachable (" + s.unreachableReason + ")";
        line += ", " + changes_words(t) + ";";
    }
    if (r.sites.empty()) line += " no gateway;";
    std::cout << line << " " << mail_words(run, r.mail) << std::endl;
}

Json change_json(const SiteChange& c) {
    Json j;
    j["change"] = change_kind_text(c.kind);
    if (!c.about_gateway()) {
        add_json_address(j, c.unit);
        j["name"] = c.name;
        j["location"] = c.location;
        j["verdict"] = verdict_key_text(verdict_style(c.verdict).text);
    }
    j["reasons"] = Json::array();
    j["new"] = Json::array();
    for (std::size_t i = 0; i < c.reasons.size(); ++i) {
        j["reasons"].push_back(c.reasons[i].words);
        if (i < c.fresh.size() && c.fresh[i]) j["new"].push_back(c.reasons[i].words);
    }
    j["still"] = Json::array();
    for (const VerdictReason& r : c.still) j["still"].push_back(r.words);
    return j;
}

void print_json(const MonitorRun& run, const RoundReport& r) {
    bool complete = true;
    std::string reason;
    Json sites = Json::array();
    for (const SiteTurn& t : r.sites) {
        const SiteOutcome& s = t.outcome;
        Json j;
        j["site"] = s.site;
        j["gateway"] = s.gateway;
        j["reachable"] = s.reachable;
        j["complete"] = s.complete;
        j["reason"] = s.complete ? Json() : Json(s.incompleteReason);
        for (const Verdict v : {Verdict::Ok, Verdict::Overdue, Verdict::Fault, Verdict::NotRead})
            j["counts"][verdict_key_text(verdict_style(v).text)] = s.count(v);
        j["first_round"] = t.firstRound;
        j["changes"] = Json::array();
        for (const SiteChange& c : t.changes) j["changes"].push_back(change_json(c));
        j["alerts_queued"] = t.alertsQueued;
        j["kept"] = t.committed;
        sites.push_back(j);
        if (!s.complete || !t.committed) {
            complete = false;
            reason += (reason.empty() ? "" : "; ") + s.site + ": " + (t.committed ? s.incompleteReason : t.error);
        }
    }
    Json out = json_header("monitor", complete, reason);
    out["round"] = r.number;
    out["started"] = local_time_text(r.started, kLocalIsoFormat);
    out["sites"] = sites;
    Json& mail = out["mail"];
    mail["set_up"] = run.sender != nullptr;
    mail["sent"] = r.mail.sent;
    mail["waiting"] = r.mail.waiting;
    mail["oldest_waiting"] =
        r.mail.waiting > 0 ? Json(local_time_text(r.mail.oldestWaiting, kLocalIsoFormat)) : Json();
    mail["error"] = r.mail.error.empty() ? Json() : Json(r.mail.error);
    mail["set_aside"] = Json::array();
    for (const Alert& a : r.mail.setAside) {
        mail["set_aside"].push_back({{"site", a.site},
                                     {"subject", alert_subject(a)},
                                     {"created", local_time_text(a.created, kLocalIsoFormat)},
                                     {"refusals", a.refusals},
                                     {"error", a.lastError}});
    }
    std::cout << out.dump() << std::endl;
}

void report_round(const MonitorRun& run, const RoundReport& r) {
    if (!r.mail.error.empty())
        std::cerr << "orvypc: monitor: alerts waiting: " << r.mail.waiting << ": " << r.mail.error << '\n';
    for (const Alert& a : r.mail.setAside)
        std::cerr << "orvypc: monitor: set aside after " << a.refusals << " refusals, kept in the logbook: \""
                  << alert_subject(a) << "\": " << a.lastError << '\n';
    if (run.o.json) print_json(run, r);
    else print_summary(run, r);
}

// --once: what a timer's log and its exit status should show.
int once_status(const MonitorRun& run, const RoundReport& r) {
    if (std::any_of(r.sites.begin(), r.sites.end(), [](const SiteTurn& t) { return !t.committed; })) return kExitLogbook;
    if (run.sender && (r.mail.waiting > 0 || !r.mail.setAside.empty())) return kExitMail;
    const bool whole = std::all_of(r.sites.begin(), r.sites.end(), [](const SiteTurn& t) { return t.outcome.complete; });
    return whole && !r.sites.empty() ? kExitOk : kExitSurveyIncomplete;
}

// Until the next round is due, or the end: no connection, no work, except
// a try of the mail server now and then while alerts wait for it.
bool wait_for_next_round(MonitorRun& run, std::chrono::steady_clock::time_point due, bool alertsWaiting) {
    using namespace std::chrono;
    for (;;) {
        const auto left = duration_cast<milliseconds>(due - steady_clock::now()).count();
        if (left <= 0) return !end_requested();
        const bool retry = run.sender && alertsWaiting;
        const long long wait = retry ? std::min<long long>(left, kMailRetrySeconds * 1000) : left;
        if (wait_for_end_request(wait)) return false;
        if (!retry) continue;
        const std::unique_ptr<RoundState> state = open_state(run);
        if (!state->store) continue;
        const SendReport sent = send_or_count(run, *state->store);
        if (sent.sent > 0) std::cerr << "orvypc: monitor: " << sent.sent << " waiting alerts sent\n";
        for (const Alert& a : sent.setAside)
            std::cerr << "orvypc: monitor: set aside after " << a.refusals << " refusals: \"" << alert_subject(a)
                      << "\": " << a.lastError << '\n';
        alertsWaiting = sent.waiting > 0 || !sent.error.empty();
    }
}

int send_test_mail(const MonitorRun& run) {
    if (!run.sender) {
        std::cerr << "orvypc: no mail server set up: \"Server\" under [" << kMonitorKey
                  << "] in the key store, or --smtp HOST\n";
        return kExitMail;
    }
    const std::string server = run.config.server.host + ":" + std::to_string(run.config.server.port);
    const MailResult result = run.sender->send(test_mail(run.addressing, server, std::time(nullptr),
                                                         alert_message_id(new_alert_uid(), mail_domain(run.config.sender))));
    if (!result.accepted) {
        std::cerr << "orvypc: " << result.error << '\n';
        return kExitMail;
    }
    std::cout << "test message sent through " << server << " to ";
    for (std::size_t i = 0; i < run.config.recipients.size(); ++i) std::cout << (i ? ", " : "") << run.config.recipients[i];
    std::cout << std::endl;
    return kExitOk;
}

// The settings, the mail server's password and the sender; false (with the
// reason said) when the mail settings cannot be used.
bool set_up(MonitorRun& run) {
    KeyStore store;
    std::vector<std::string> warnings;
    if (!load_user_key_store(&store))
        warnings.push_back("the key store " + user_key_store_path() + " cannot be read; its settings are not used");
    run.config = monitor_config(store, run.o.monitor, &warnings);
    // The key store's gateways as --gateway takes them: host names resolved.
    std::vector<std::string> gateways;
    for (const std::string& g : run.config.gateways) {
        LinkSettings one;
        if (const std::string why = apply_link_option("--gateway", g, one); !why.empty())
            warnings.push_back(std::string("key store ") + kMonitorKey + ": \"Gateways\": " +
                               why.substr(why.find(": ") + 2) + "; it is left out");
        else
            gateways.push_back(one.gatewayAddress);
    }
    run.config.gateways = gateways;
    for (const std::string& w : warnings) std::cerr << "orvypc: " << w << '\n';
    if (const std::string why = check_mail_config(run.config); !why.empty()) {
        std::cerr << "orvypc: mail settings: " << why << '\n';
        return false;
    }
    if (!run.config.mail_configured()) {
        if (!run.o.monitor.testMail)
            std::cerr << "orvypc: monitor: no mail server set up (\"Server\" under [" << kMonitorKey
                      << "] in the key store, or --smtp): alerts are printed and kept, not sent\n";
        return true;
    }
    MailServer server;
    std::string why;
    if (!mail_server_with_password(run.config, &server, &why)) {
        std::cerr << "orvypc: " << why << '\n';
        return false;
    }
    // --test-mail says it with the test's own failure.
    if (!mail_sending_available() && !run.o.monitor.testMail) std::cerr << "orvypc: " << kNoMailInThisBuild << '\n';
    run.sender = make_mail_sender(server, [] { return end_requested(); });
    run.addressing = {run.config.sender, run.config.recipients, system_host_name()};
    return true;
}

std::string flag_value(const std::string& name, const std::string& value) {
    return value.empty() ? std::string() : "option '" + name + "' takes no value";
}

}  // namespace

bool monitor_option_takes_value(const std::string& name) {
    return name == "--every" || name == "--digest" || name == "--smtp" || name == "--smtp-user" ||
           name == "--mail-from" || name == "--mail-to";
}

bool monitor_flag(const std::string& name) { return name == "--once" || name == "--test-mail" || name == "--attach"; }

std::optional<std::string> apply_monitor_option(const std::string& name, const std::string& value, CliOptions& o) {
    MonitorOptions& m = o.monitor;
    if (name == "--once") return m.once = true, flag_value(name, value);
    if (name == "--test-mail") return m.testMail = true, flag_value(name, value);
    if (name == "--attach") return m.attach = true, flag_value(name, value);
    if (name == "--every") {
        const std::optional<long> seconds = parse_interval(value);
        if (!seconds) return "--every: '" + value + "' is not a time such as 90s, 30m, 6h or 2d (1 second to 366 days)";
        m.everySeconds = *seconds;
        return std::string();
    }
    if (name == "--digest") {
        const std::optional<DigestPeriod> period = parse_digest(value);
        if (!period) return "--digest: '" + value + "' is not weekly, daily or off";
        m.digest = *period;
        return std::string();
    }
    if (name == "--smtp") {
        if (!parse_server(value, &m.smtpHost, &m.smtpPort)) return "--smtp: '" + value + "' is not HOST or HOST:PORT";
        return std::string();
    }
    if (name == "--smtp-user") {
        if (value.empty()) return std::string("option '--smtp-user' needs a name");
        m.smtpUser = value;
        return std::string();
    }
    if (name == "--mail-from" || name == "--mail-to") {
        const std::vector<std::string> addresses = split_addresses(value);
        if (addresses.empty()) return "option '" + name + "' needs an address";
        for (const std::string& a : addresses)
            if (!plain_mail_address(a)) return name + ": '" + a + "' is not a plain address such as tech@example.org";
        if (name == "--mail-from") {
            if (addresses.size() != 1) return std::string("--mail-from takes one address");
            m.mailFrom = addresses.front();
        } else {
            m.mailTo.insert(m.mailTo.end(), addresses.begin(), addresses.end());
        }
        return std::string();
    }
    return std::nullopt;
}

std::string check_monitor(const CliOptions& o) {
    if (o.allGateways && !o.monitor.gateways.empty()) return "--all-gateways and --gateway exclude each other";
    if (!o.output.empty()) return "-o writes a workbook; the monitor sends it with its mail (--attach)";
    if (o.monitor.once && o.monitor.everySeconds > 0) return "--once and --every exclude each other";
    return check_no_arguments(o);
}

int run_monitor(Session& session) {
    MonitorRun run{session, session.options(), {}, nullptr, {}, {}, nullptr};
    if (!set_up(run)) return kExitMail;
    if (run.o.monitor.testMail) return send_test_mail(run);
    if (aes_load_key() != 0) return session.failed_always(kExitNoLink, "the cipher key could not be loaded");

    watch_end_requests(kEndAtLatestMs);
    run.policy = {run.config.attach, run.config.digest, mail_domain(run.config.sender)};
    if (run.o.noLogbook) run.memory = std::make_unique<MemoryMonitorStore>();
    for (int number = 1;; ++number) {
        const auto due = std::chrono::steady_clock::now() + std::chrono::seconds(run.config.everySeconds);
        const RoundReport r = run_round(run, number);
        if (r.stopped) return kExitOk;
        report_round(run, r);
        if (run.o.monitor.once) return once_status(run, r);
        if (!wait_for_next_round(run, due, r.mail.waiting > 0 || !r.mail.error.empty())) return kExitOk;
    }
}

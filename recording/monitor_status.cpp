#include "monitor_status.h"

#include <algorithm>
#include <filesystem>
#include <map>

MonitorStatus monitor_status_of(Logbook& book) {
    MonitorStatus out;
    const std::optional<std::vector<MonitorSiteRecord>> rows = book.monitor_state().sites("");
    if (!rows) {
        out.problem = book.error();
        return out;
    }
    // Two machines' monitors of one site: its newest round counts.
    std::map<std::string, const MonitorSiteRecord*> newest;
    for (const MonitorSiteRecord& r : *rows) {
        const MonitorSiteRecord*& kept = newest[r.site];
        if (kept == nullptr || r.surveyed > kept->surveyed) kept = &r;
    }
    for (const auto& [site, r] : newest) {
        ++out.sites;
        out.lastRound = std::max(out.lastRound, utc_time(r->surveyed).value_or(0));
        out.attention += r->attention;
        out.unreachable += r->reachable ? 0 : 1;
    }
    return out;
}

MonitorStatus read_monitor_status(const LogbookChoice& choice) {
    const std::string where = logbook_location(choice);
    std::error_code ec;
    if (!is_server_logbook(where) && !std::filesystem::exists(std::filesystem::path(std::u8string(where.begin(), where.end())), ec))
        return {};
    const OpenedLogbook opened = open_for_recording(choice);
    if (!opened.book) return {0, 0, 0, 0, opened.why};
    return monitor_status_of(*opened.book);
}

std::string monitor_status_text(const MonitorStatus& s) {
    if (s.sites == 0 || !s.problem.empty()) return {};
    std::tm t{};
    localtime_r(&s.lastRound, &t);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &t);
    std::string out = std::string("Monitor ") + when + ": ";
    if (s.attention == 0) out += "no luminaire needs attention";
    else out += std::to_string(s.attention) + (s.attention == 1 ? " luminaire needs" : " luminaires need") + " attention";
    if (s.unreachable > 0)
        out += ", " + std::to_string(s.unreachable) + (s.unreachable == 1 ? " gateway" : " gateways") + " unreachable";
    return out;
}

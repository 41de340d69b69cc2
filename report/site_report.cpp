#include "site_report.h"

#include "report_pdf.h"

#include <algorithm>

#include <ctime>

namespace {

std::string local_minute_now() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &t);
    return text;
}

}  // namespace

void report_on_site(ReportRequest& request, const Site& site) {
    request.siteUid = site.uid;
    request.site.name = site.name;
    request.site.gateways.clear();
    for (const SiteAddress& a : site.addresses) request.site.gateways.push_back(a.gateway);
}

std::optional<ReportInput> read_report_input(Logbook& book, const ReportRequest& request, std::string* why) {
    ReportInput in;
    in.site = request.site;
    in.from = request.from;
    in.to = request.to;
    in.madeBy = request.madeBy;
    in.machine = request.machine;
    in.madeAt = local_minute_now();
    in.incomplete = request.incomplete;
    const std::string until = day_after(request.to);
    PeriodRead read = book.period(request.siteUid, request.from, until);
    if (!read.complete) {
        *why = "the logbook's record of the site could not be read whole: " + book.error();
        return std::nullopt;
    }
    in.luminaires = std::move(read.luminaires);
    in.entries = std::move(read.entries);
    for (Remark& r : read.remarks) {
        if (r.is_repair()) in.repairs.push_back({r.unit, r.written, r.part, r.text, r.author});
        else in.remarks.push_back(std::move(r));
    }
    // The seal of the chain's last record when the period was read: it
    // covers everything read (entries of the period may have been recorded
    // long after it, by a later reading of the gateway), so the printed
    // report can be matched with the logbook it came from.
    const std::optional<SealMark> seal = book.last_seal("");
    if (!seal) {
        *why = "the logbook's seal could not be read: " + book.error();
        return std::nullopt;
    }
    if (seal->position > 0)
        in.seal = seal->seal + " (record " + std::to_string(seal->position) + " of the logbook, sealed " +
                  seal->sealed + ")";
    return in;
}

std::string write_site_report(Logbook& book, const ReportRequest& request, const std::string& path) {
    std::string why;
    const std::optional<ReportInput> input = read_report_input(book, request, &why);
    if (!input) return why + "; no report written";
    return write_report_pdf(compute_report(*input), path);
}

std::string proposed_report_name(const ReportRequest& request) {
    return "Test record " + request.site.name + " " + request.to + ".pdf";
}

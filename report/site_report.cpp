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

// A luminaire the site's logbook knows under several gateway addresses is
// one luminaire: the earliest first entry, the newest tests and snapshot.
void merge(PeriodRead::Luminaire& into, const PeriodRead::Luminaire& from) {
    if (into.firstTest.empty() || (!from.firstTest.empty() && from.firstTest < into.firstTest))
        into.firstTest = from.firstTest;
    auto newer = [](std::optional<LogEntry>& a, const std::optional<LogEntry>& b) {
        if (b && (!a || b->testTime > a->testTime)) a = b;
    };
    newer(into.functionBefore, from.functionBefore);
    newer(into.durationBefore, from.durationBefore);
    if (from.snapshot && (!into.snapshot || from.snapshot->taken > into.snapshot->taken)) into.snapshot = from.snapshot;
}

}  // namespace

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
    for (const std::string& gateway : request.site.gateways) {
        PeriodRead read = book.period(gateway, request.from, until);
        if (!read.complete) {
            *why = "the logbook's record of " + gateway + " could not be read whole: " + book.error();
            return std::nullopt;
        }
        for (const PeriodRead::Luminaire& l : read.luminaires) {
            auto same = std::find_if(in.luminaires.begin(), in.luminaires.end(),
                                     [&](const PeriodRead::Luminaire& k) { return k.unit == l.unit; });
            if (same == in.luminaires.end()) in.luminaires.push_back(l);
            else merge(*same, l);
        }
        in.entries.insert(in.entries.end(), read.entries.begin(), read.entries.end());
        in.remarks.insert(in.remarks.end(), read.remarks.begin(), read.remarks.end());
    }
    // Repairs are remarks of their own kind, and the seal of the last record
    // covered is the logbook's: the logbook offers neither yet, so the
    // report has no repair to link and prints no seal. Both are filled here
    // (in.repairs, in.seal) once the logbook gives them.
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

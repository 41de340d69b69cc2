// The front end's report: the gateway surveyed into the logbook, then the
// site's record of the period from the logbook, as a PDF.
#include "cli.h"
#include "cli_commands.h"
#include "cli_logbook.h"
#include "cli_session.h"
#include "logbook_recording.h"
#include "report_pdf.h"
#include "site_choice.h"
#include "site_report.h"
#include "site_survey.h"
#include "survey_logbook.h"
#include "system_identity.h"

#include <iostream>

namespace {

std::string today() { return local_now_text().substr(0, 10); }

// The period the options name: --from and --to, each defaulting.
std::pair<std::string, std::string> period_of(const CliOptions& o) {
    const std::string to = o.to.empty() ? today() : o.to;
    return {o.from.empty() ? default_report_from(to) : o.from, to};
}

// The file to write: -o, or the proposed name inside a folder given as "dir/".
std::string output_path(const CliOptions& o, const ReportRequest& request) {
    if (!o.output.empty() && o.output.back() == '/') return o.output + proposed_report_name(request);
    return o.output;
}

}  // namespace

std::string check_report(const CliOptions& o) {
    if (o.output.empty()) return "report needs -o FILE: the PDF to write";
    if (o.noLogbook) return "the report is made from the logbook: --no-logbook leaves nothing to report";
    if (o.allGateways) return "report takes one gateway: the one found, or --gateway";
    if (o.json) return "report writes a PDF (-o FILE); it has no JSON";
    if (!o.since.empty()) return "report takes --from and --to, not --since";
    if (!o.part.empty()) return "--part names a repaired part: only logbook repair takes it";
    for (const auto& [name, date] : {std::pair{"--from", o.from}, std::pair{"--to", o.to}}) {
        if (!date.empty() && !valid_since_date(date)) return std::string(name) + ": '" + date + "' is not a date YYYY-MM-DD";
    }
    const auto [from, to] = period_of(o);
    if (const std::string why = check_report_period(from, to, today()); !why.empty()) return why;
    return check_no_arguments(o);
}

int run_report(Session& s) {
    const CliOptions& o = s.options();
    if (!report_pdf_available()) return s.failed_always(kExitExport, std::string("report: ") + kNoReportPdf);
    ReportRequest request;
    std::tie(request.from, request.to) = period_of(o);
    request.madeBy = system_user_name();
    request.machine = system_host_name();

    // Today's entries and status first, so the report ends today.
    std::optional<SiteSurvey> survey;
    std::string gateway = o.link.gatewayAddress;
    if (s.connect()) {
        survey = survey_connected_gateway(o);
        gateway = survey->gateway;
    } else if (gateway.empty() && o.site.empty()) {
        return s.failed_always(kExitNoLink, "no gateway to report on: name it with --gateway ADDRESS or its site "
                                            "with --site NAME to make the report from the logbook alone");
    } else {
        std::cerr << "orvypc: the gateway did not answer; the report is made from the logbook alone\n";
    }

    LogbookChoice choice{o.logbook, o.link, o.site};
    choice.link.gatewayAddress = gateway;
    const OpenedLogbook opened = open_for_recording(choice);
    if (!opened.book) return s.failed_always(kExitLogbook, "logbook: " + opened.why + "; no report written");
    // This machine's file holds only what it recorded while the team's
    // logbook was away: a report of it would pass for the whole record.
    if (opened.fellBack)
        return s.failed_always(kExitLogbook, "logbook: " + opened.why + "; the report is made from the team's "
                                             "logbook only: no report written");
    // The site: the one the survey is recorded under (told before it is
    // recorded), or the logbook's at the address or by --site.
    std::optional<Site> site;
    if (survey) {
        const RecordedRun recorded = record_run_in(opened.book, o.site, survey_run(*survey), survey_found(*survey));
        if (!recorded.note.empty()) std::cerr << "orvypc: " << recorded.note << '\n';
        if (!recorded.book)
            return s.failed_always(kExitLogbook, "the survey is not in the logbook, so no report was written");
        site = recorded.site;
    } else {
        std::string why;
        site = known_site(*opened.book, gateway, o.site, &why);
        if (!site) return s.failed_always(o.site.empty() ? kExitLogbook : kExitUsage, why + "; no report written");
    }
    report_on_site(request, *site);
    if (survey && !survey->complete())
        request.incomplete = "the survey of the gateway before this report was incomplete (" +
                             survey->incomplete_reason() + "): entries the gateway holds may be missing";
    std::string why;
    const std::optional<ReportInput> input = read_report_input(*opened.book, request, &why);
    if (!input) return s.failed_always(kExitLogbook, why + "; no report written");
    if (why = write_report_pdf(compute_report(*input), output_path(o, request)); !why.empty())
        return s.failed_always(kExitExport, why);
    if (!request.incomplete.empty())
        return s.failed_always(kExitSurveyIncomplete, "the report was written, but " + request.incomplete +
                                                          "; its cover says so");
    return kExitOk;
}

#include "survey_report.h"

#include "logbook_recording.h"
#include "prompts.h"
#include "report_pdf.h"
#include "site_report.h"
#include "system_identity.h"

void report_surveyed_site(const std::string& where, const SiteSurvey& survey, const std::string& logbookNote,
                          SavePrompt& prompt) {
    if (!report_pdf_available()) {
        prompts().message_box(std::string("The report cannot be made: ") + kNoReportPdf + ".");
        return;
    }
    if (!logbookNote.empty()) {
        prompts().message_box("The report is made from the logbook, and this survey is not in it: " + logbookNote);
        return;
    }
    LogbookChoice choice{where, {}};
    choice.link.gatewayAddress = survey.gateway;
    const OpenedLogbook opened = open_for_recording(choice);
    if (!opened.book || opened.fellBack) {
        prompts().message_box("The report was not written: the logbook cannot be read (" + opened.why + ").");
        return;
    }
    // The site just surveyed: the survey made it the address's latest.
    std::string why;
    const std::optional<Site> site = known_site(*opened.book, survey.gateway, {}, &why);
    if (!site) {
        prompts().message_box("The report was not written: " + why + ".");
        return;
    }
    ReportRequest request;
    report_on_site(request, *site);
    request.to = local_now_text().substr(0, 10);
    request.from = default_report_from(request.to);
    request.madeBy = system_user_name();
    request.machine = system_host_name();
    if (!survey.complete())
        request.incomplete = "the survey before this report was incomplete (" + survey.incomplete_reason() +
                             "): entries the gateway holds may be missing";
    const std::optional<std::string> path = prompt.ask_save_path(proposed_report_name(request));
    if (!path) return;
    if (why = write_site_report(*opened.book, request, *path); !why.empty()) {
        prompts().message_box("The report was not written: " + why);
        return;
    }
    if (!request.incomplete.empty())
        prompts().message_box("The report was written, but " + request.incomplete + "; its cover says so.");
}

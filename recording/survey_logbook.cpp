#include "survey_logbook.h"

#include "history_rows.h"
#include "survey_read_hook.h"

#include <algorithm>
#include <ctime>
#include <map>

static_assert(kSurveyStatusBytes == kStatusSnapshotBytes, "a snapshot holds the status bytes the survey read");

namespace {

std::string utc_text(std::time_t when) {
    std::tm t{};
    gmtime_r(&when, &t);
    char out[32];
    std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%SZ", &t);
    return out;
}

// The logbook of the surveyed gateway: a loopback one (the simulator) has
// its own, as its listings do.
LogbookChoice choice_for(const std::string& where, const SiteSurvey& survey) {
    LogbookChoice choice{where, {}};
    choice.link.gatewayAddress = survey.gateway;
    return choice;
}

}  // namespace

RunRecord survey_run(const SiteSurvey& survey) {
    std::vector<TestResultRecord> records = survey.listRecords;
    for (const SurveyedLuminaire& l : survey.luminaires)
        records.insert(records.end(), l.historyRecords.begin(), l.historyRecords.end());
    RunRecord run = listing_run(kSurveyRunKind, survey.gateway, records, survey.complete(), survey.incomplete_reason(),
                                std::nullopt);
    run.started = utc_text(survey.started);
    for (const SurveyedLuminaire& l : survey.luminaires) {
        if (l.historyComplete) run.fullListings.push_back(l.unit);
        if (!l.status_read()) continue;
        StatusSnapshot snap;
        snap.gateway = survey.gateway;
        snap.unit = l.unit;
        snap.taken = utc_text(l.statusTime);
        std::copy(l.status.begin(), l.status.end(), snap.status.begin());
        run.snapshots.push_back(snap);
    }
    return run;
}

GatewayFound survey_found(const SiteSurvey& survey) {
    GatewayFound found{survey.gateway, {}, survey.listComplete};
    for (const SurveyedLuminaire& l : survey.luminaires) found.luminaires.push_back({l.unit, l.name, l.location});
    std::sort(found.luminaires.begin(), found.luminaires.end(),
              [](const SiteLuminaire& a, const SiteLuminaire& b) { return a.unit < b.unit; });
    return found;
}

std::string record_survey_in_logbook(const std::string& where, SiteSurvey& survey, bool* stored,
                                     const std::string& site) {
    LogbookChoice choice = choice_for(where, survey);
    choice.site = site;
    const RecordedRun recorded = record_run_into(choice, survey_run(survey), survey_found(survey));
    if (stored != nullptr) *stored = recorded.book != nullptr;
    if (!recorded.book) return recorded.note;
    Logbook& book = *recorded.book;
    std::map<std::uint8_t, std::vector<LoggedLine>> histories;
    for (const SurveyedLuminaire& l : survey.luminaires) {
        const HistoryRead read = book.history(recorded.site.uid, l.unit, "");
        // Part of a history would pass for the whole of it: the survey then
        // keeps what the gateway holds, as without a logbook.
        if (!read.complete)
            return "logbook: the history of " + l.address() + " could not be read back (" + book.error() +
                   "); the survey was recorded, and shows the gateway's entries";
        std::vector<LoggedLine>& lines = histories[l.unit];
        for (const HistoryItem& h : read.items) lines.push_back(logged_line(h));
    }
    use_logbook_history(survey, histories);
    return recorded.note;
}

void record_surveys_in_logbook(const std::string& where) {
    set_survey_read_hook([where](SiteSurvey& survey) { return record_survey_in_logbook(where, survey); });
}

#include "survey_logbook.h"

#include "history_rows.h"
#include "survey_read_hook.h"

#include <algorithm>
#include <ctime>
#include <map>

static_assert(kSurveyStatusBytes == kStatusSnapshotBytes, "a snapshot holds the status bytes the survey read");

namespace {

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

namespace {

// Each luminaire's history at `site` as `book` now holds it, back into the
// survey; what to tell the user when one could not be read.
std::string use_histories_of(Logbook& book, const Site& site, SiteSurvey& survey) {
    std::map<std::uint8_t, std::vector<LoggedLine>> histories;
    for (const SurveyedLuminaire& l : survey.luminaires) {
        const HistoryRead read = book.history(site.uid, l.unit, "");
        // Part of a history would pass for the whole of it: the survey then
        // keeps what the gateway holds, as without a logbook.
        if (!read.complete)
            return "logbook: the history of " + l.address() + " could not be read back (" + book.error() +
                   "); the survey was recorded, and shows the gateway's entries";
        std::vector<LoggedLine>& lines = histories[l.unit];
        for (const HistoryItem& h : read.items) lines.push_back(logged_line(h));
    }
    use_logbook_history(survey, histories);
    return {};
}

}  // namespace

std::string record_survey_in_logbook(const std::string& where, SiteSurvey& survey, bool* stored,
                                     const std::string& site) {
    LogbookChoice choice = choice_for(where, survey);
    choice.site = site;
    const RecordedRun recorded = record_run_into(choice, survey_run(survey), survey_found(survey));
    if (stored != nullptr) *stored = recorded.book != nullptr;
    if (!recorded.book) return recorded.note;
    const std::string note = use_histories_of(*recorded.book, recorded.site, survey);
    return note.empty() ? recorded.note : recorded.note.empty() ? note : recorded.note + "; " + note;
}

bool record_survey_with(Logbook& book, SiteSurvey& survey, const std::string& runUid, const std::string& named,
                        const std::function<bool(const Site&)>& alongside, std::string* note) {
    // The site is told (and stored) before the run, as for any survey; a
    // site stored for a run that then is not kept holds no record.
    SiteChoice chosen = choose_site(book, survey_found(survey), named);
    if (!chosen.site) {
        *note = "logbook: " + chosen.note;
        return false;
    }
    RunRecord run = survey_run(survey);
    run.uid = runUid;
    run.site = chosen.site->uid;
    const bool kept = book.record_with(run, [&] {
        *note = use_histories_of(book, *chosen.site, survey);
        return alongside(*chosen.site);
    });
    if (!chosen.note.empty()) *note = "logbook: " + chosen.note + (note->empty() ? "" : "; " + *note);
    return kept;
}

void record_surveys_in_logbook(const std::string& where) {
    set_survey_read_hook([where](SiteSurvey& survey) { return record_survey_in_logbook(where, survey); });
}

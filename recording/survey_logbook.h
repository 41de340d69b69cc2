// How a site survey goes into the logbook, for the command line and the
// window alike: one run of kind "survey" with every entry it read, the
// luminaires whose whole history it read and a status snapshot of each
// luminaire whose status it read; then each luminaire's history as the
// logbook holds it goes back into the survey (its History sheet, JSON and
// overdue verdict).
#pragma once

#include "logbook_recording.h"
#include "site_survey.h"

#include <functional>
#include <string>

inline constexpr const char* kSurveyRunKind = "survey";

RunRecord survey_run(const SiteSurvey& survey);
// The gateway as the survey found it: whole when its luminaire list was.
GatewayFound survey_found(const SiteSurvey& survey);

// Records the survey into the logbook for its gateway (`where`: --logbook,
// else the usual place), under its site (`site`: --site NAME; else told or
// asked, site_choice.h), and hands the histories of that site back. Empty
// when all went well; else what to tell the user. A logbook that cannot be
// used leaves the survey as it was read, and `recorded` (when given) false.
std::string record_survey_in_logbook(const std::string& where, SiteSurvey& survey, bool* recorded = nullptr,
                                     const std::string& site = {});

// Records the survey into `book` as run `runUid`, under its site (`named`:
// --site NAME; else told, site_choice.h), and, in the same transaction,
// hands the histories back and runs `alongside` with the site (the monitor
// keeps its round there): all of it is kept, or nothing. `note`: what to
// tell the user (a new site; a history that could not be read back, the
// survey then shows the gateway's entries; why no site could be stored).
bool record_survey_with(Logbook& book, SiteSurvey& survey, const std::string& runUid, const std::string& named,
                        const std::function<bool(const Site&)>& alongside, std::string* note);

// Every survey the Site survey page runs goes into the logbook at `where`.
void record_surveys_in_logbook(const std::string& where);

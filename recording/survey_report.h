// The report of the site a survey just read: the Site survey page's REPORT,
// over the last twelve months, from the logbook the survey went into.
#pragma once

#include "save_prompt.h"
#include "site_survey.h"

#include <string>

// Asks for the file through `prompt` and writes the report from the logbook
// at `where` (--logbook, else the usual place for the survey's gateway).
// What goes wrong is said through prompts(), and nothing is written: a
// survey that is not in that logbook (`logbookNote`, what its recording
// said), a team logbook that is away, a read the store broke off. A survey
// that missed something still gives its report, which says so on its
// cover, and a message says so too.
void report_surveyed_site(const std::string& where, const SiteSurvey& survey, const std::string& logbookNote,
                          SavePrompt& prompt);

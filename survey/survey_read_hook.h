// Where a finished survey goes before the page shows it: the program sets a
// hook (the logbook records the survey and hands back each luminaire's
// history); the page takes the hook when a survey starts and calls it on
// its worker. Without a hook nothing happens, so the page runs the same in
// its tests.
#pragma once

#include "site_survey.h"

#include <functional>
#include <string>

// Returns what to tell the user (a logbook that could not be used), or "".
using SurveyReadHook = std::function<std::string(SiteSurvey& survey)>;

void set_survey_read_hook(SurveyReadHook hook);   // empty: none; user-interface thread only
SurveyReadHook survey_read_hook();                // a copy, for a worker to call

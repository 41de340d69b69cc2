#include "survey_read_hook.h"

namespace {
SurveyReadHook g_hook;   // user-interface thread only
}

void set_survey_read_hook(SurveyReadHook hook) { g_hook = std::move(hook); }

SurveyReadHook survey_read_hook() { return g_hook; }

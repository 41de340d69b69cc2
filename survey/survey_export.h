// The site survey workbook, through the same automation layer and engine as
// the other workbooks: "Summary" (gateway, time, counts per verdict with a
// native chart, the luminaires that need attention), "Luminaires" (one row
// each, verdicts coloured, header frozen and filtered) and "History" (every
// stored entry, in the details workbook's seven columns; with a logbook,
// every entry ever read and the remarks, newest first, an eighth column
// saying whether the gateway still holds each).
#pragma once

#include "save_prompt.h"
#include "site_survey.h"

#include <string>

inline constexpr const char* kSurveySummarySheet = "Summary";
inline constexpr const char* kSurveyLuminairesSheet = "Luminaires";
inline constexpr const char* kSurveyHistorySheet = "History";

// "Site survey_<survey time>.xlsx".
std::string survey_proposed_name(const SiteSurvey& survey);

// Proposes the name, asks for the path and writes the workbook there (saved
// atomically, as every workbook). A cancelled dialog ends it quietly. May
// throw AutomationError (the caller reports it, run_export).
void ExportSiteSurvey(const SiteSurvey& survey, SavePrompt& prompt);

// The column headings of the Luminaires sheet, in order.
std::vector<std::string> survey_luminaire_headings();
// One luminaire's row of the Luminaires sheet, as texts.
std::vector<std::string> survey_luminaire_row(const SurveyedLuminaire& l);

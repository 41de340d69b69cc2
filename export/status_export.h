// The status export: the complete state of one luminaire, item by item,
// in a workbook of two sheets, "LOG" (the values) and "Log Explanations"
// (what each item means).
#pragma once

#include "save_prompt.h"
#include "status_record.h"

#include <array>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// Proposes "<line><address> Status_<print time>.xlsx", asks for the path
// and writes the workbook there. A cancelled dialog ends it without a
// word; the spreadsheet is started only after a path was chosen. `items`
// are the 74 status items in table order, `lineLetter` "A" or "B",
// `shortAddress` 0..63 as entered, `printTime` when PRINT was pressed.
// May throw AutomationError (the caller reports it, run_export).
void ExportStatus(const std::vector<StatusItem>& items, std::string_view lineLetter, int shortAddress,
                  std::time_t printTime, SavePrompt& prompt);

// Writes the two sheets and saves a copy at `path`; the sheet title takes
// the time of writing.
void WriteStatusWorkbook(const std::vector<StatusItem>& items, std::string_view lineLetter,
                         int shortAddress, const std::string& path);

// What each of the 74 items means, in table order, with its label.
struct StatusExplanation {
    const char* label;
    const char* text;
};
extern const std::array<StatusExplanation, kStatusItemCount> kStatusExplanations;

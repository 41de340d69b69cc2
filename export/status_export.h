// The status export: the complete state of one luminaire, item by item,
// in a workbook of two sheets, "LOG" (the values) and "Log Explanations"
// (what each item means).
#pragma once

#include "save_prompt.h"

#include <array>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// One line of the status workbook: the section it belongs to, the item's
// label and its value, UTF-8 texts.
struct StatusLine {
    std::string section;
    std::string label;
    std::string value;
};
// A luminaire's status is exactly this many lines, in nine sections.
inline constexpr int kStatusLineCount = 74;

// Proposes "<line><address> Status_<print time>.xlsx", asks for the path
// and writes the workbook there. A cancelled dialog ends it without a
// word; the spreadsheet is started only after a path was chosen. `items`
// are the 74 status lines in table order, `lineLetter` "A" or "B",
// `shortAddress` 0..63 as entered, `printTime` when PRINT was pressed.
// May throw AutomationError (the caller reports it, run_export).
void ExportStatus(const std::vector<StatusLine>& items, std::string_view lineLetter, int shortAddress,
                  std::time_t printTime, SavePrompt& prompt);

// Writes the two sheets and saves a copy at `path`; the sheet title takes
// the time of writing.
void WriteStatusWorkbook(const std::vector<StatusLine>& items, std::string_view lineLetter,
                         int shortAddress, const std::string& path);

// What each of the 74 items means, in table order, with its label.
struct StatusExplanation {
    const char* label;
    const char* text;
};
extern const std::array<StatusExplanation, kStatusLineCount> kStatusExplanations;

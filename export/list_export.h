// The two list exports: the test results list and the details list of one
// luminaire, each written into the first sheet of a new workbook through
// the spreadsheet's automation interface.
#pragma once

#include "result_list.h"
#include "save_prompt.h"

#include <cstdint>
#include <ctime>
#include <string>

// Both may throw AutomationError (a failed automation call); the caller
// reports it (run_export). A missing spreadsheet server or a cancelled
// dialog ends the export quietly after its message or trace line.
void ExportTestResults(const ResultList& list, SavePrompt& prompt);
void ExportDetails(const ResultList& list, std::uint8_t ucSelectUnit, SavePrompt& prompt);

// "Excel.Application create fails！" (ending in a full-width mark).
inline constexpr const char* kCreateFailsMessage = "Excel.Application create fails\xEF\xBC\x81";
// The one sheet of a list workbook.
inline constexpr const char* kListSheetName = "Proposed ZEQ Spreadsheet";
// Width of the sheet column of each list column ("Address" .. "Result").
inline constexpr int kListColumnWidths[7] = {8, 18, 20, 23, 8, 10, 8};

// "%Y-%m-%d %H_%M_%S" of `when` in local time: "2015-07-08 14_03_09".
std::string export_timestamp(std::time_t when);

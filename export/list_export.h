// The two list exports: the test results list and the details list of one
// luminaire, each written into the first sheet of a new workbook through
// the spreadsheet's automation interface. They lay out plain texts; the
// lists they come from are their callers' business.
#pragma once

#include "save_prompt.h"

#include <array>
#include <cstddef>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kListColumnCount = 7;
// One row of a list, UTF-8, in column order ("Address" .. "Result").
using ListRowTexts = std::array<std::string, kListColumnCount>;

// What a list workbook shows: the column headings and the rows, top to
// bottom, as the list shows them.
struct ListTable {
    ListRowTexts headings;
    std::vector<ListRowTexts> rows;
};

// Reads the list once, when the sheet is filled: after the spreadsheet was
// started and the path chosen, as the list stands then.
using ListReader = std::function<ListTable()>;

// Both may throw AutomationError (a failed automation call); the caller
// reports it (run_export). A missing spreadsheet server or a cancelled
// dialog ends the export quietly after its message or trace line.
// `unitAddress` is the luminaire's address text ("B5").
void ExportTestResults(const ListReader& list, SavePrompt& prompt);
void ExportDetails(const ListReader& list, std::string_view unitAddress, SavePrompt& prompt);

// The one sheet of a list workbook.
inline constexpr const char* kListSheetName = "Proposed ZEQ Spreadsheet";
// Width of the sheet column of each list column ("Address" .. "Result").
inline constexpr int kListColumnWidths[kListColumnCount] = {8, 18, 20, 23, 8, 10, 8};

// "%Y-%m-%d %H_%M_%S" of `when` in local time: "2015-07-08 14_03_09".
std::string export_timestamp(std::time_t when);

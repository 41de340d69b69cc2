// The logbook workbook: one sheet of history rows (the details workbook's
// seven columns, then the gateway and when the entry was first read),
// landscape and one page wide, the heading row repeated on every page and
// the title in the page header.
// Written straight to .xlsx: the logbook's history is no list the gateway
// sent, so it does not go through the automation layer.
#pragma once

#include <array>
#include <string>
#include <vector>

inline constexpr std::array<const char*, 9> kLogbookColumns = {
    "Address", "Name", "Location", "Test Date", "Type", "Time(min)", "Result", "Gateway", "First Read"};
using LogbookRow = std::array<std::string, 9>;

inline constexpr const char* kLogbookSheetName = "Logbook";

// Writes the rows to `path` (beside it under a temporary name first, then
// renamed, so a failed write harms nothing there). Empty on success, else
// why not. `footnote`: a line for the left of every page's footer (the
// logbook's seal), none when empty.
std::string write_logbook_workbook(const std::vector<LogbookRow>& rows, const std::string& title,
                                   const std::string& path, const std::string& footnote = {});

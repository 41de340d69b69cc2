// How a line of the logbook's history is written, for every place that
// shows one: `orvypc history`, the logbook workbook, the survey's History
// sheet and JSON, and the desktop's Details page; and a remark as a user
// writes it. One row format, so a remark stands the same way
// among the tests everywhere.
#pragma once

#include "logbook.h"
#include "logbook_workbook.h"
#include "survey_history.h"
#include "test_result_record.h"

#include <cstdint>
#include <optional>
#include <string>

// The seven columns of the details list, then gateway and first read; a
// remark stands as a "Note" with its text and author as the result, a
// repair as a "Repair" with its part, text and author.
LogbookRow history_row(const HistoryItem& h);
// Whether the gateway still holds an entry: "yes", "no", "unknown" (no
// full listing of the luminaire known); empty for a remark.
std::string on_gateway_text(const HistoryItem& h);
// The logbook's entry as the record the gateway sent.
TestResultRecord record_of(const LogEntry& e);
// A remark written now (local time) by the user logged in here, for the
// luminaire `unit` of `gateway`; a new uid, so it is stored once.
Remark dated_remark(const std::string& gateway, std::uint8_t unit, const std::string& text);
// The same for a repair; `part` one of kRepairParts, or empty (not said).
Remark dated_repair(const std::string& gateway, std::uint8_t unit, const std::string& text, const std::string& part);
bool repair_part_known(const std::string& part);
// The line as the survey keeps it: the seven columns, then "yes"/"no"
// (blank for a remark), and the values behind them.
LoggedLine logged_line(const HistoryItem& h);

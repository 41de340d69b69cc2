// How a line of the logbook's history is written, for every place that
// shows one: `orvypc history`, the logbook workbook and the survey's
// History sheet and JSON. One row format, so a remark stands the same way
// among the tests everywhere.
#pragma once

#include "logbook.h"
#include "logbook_workbook.h"
#include "survey_history.h"
#include "test_result_record.h"

#include <optional>
#include <string>

// The seven columns of the details list, then gateway and first read; a
// remark stands as a "Note" with its text and author as the result.
LogbookRow history_row(const HistoryItem& h);
// Whether the gateway still holds an entry: "yes", "no" or "unknown".
std::string held_text(const std::optional<bool>& held);
// The logbook's entry as the record the gateway sent.
TestResultRecord record_of(const LogEntry& e);
// The line as the survey keeps it: the seven columns, then "yes"/"no"
// (blank for a remark), and the values behind them.
LoggedLine logged_line(const HistoryItem& h);

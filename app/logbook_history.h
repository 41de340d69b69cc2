// The logbook's history as its readers show it, and a remark as a user
// writes it: the command line, its workbook and the desktop's Details page
// share these.
#pragma once

#include "logbook.h"
#include "logbook_workbook.h"

#include <cstdint>
#include <string>

// A history line as texts: the seven columns of the details list, then the
// gateway and when the entry was first read. A remark stands as a "Note"
// with its text and author as the result.
LogbookRow history_row(const HistoryItem& h);
// Whether the gateway still holds an entry: "yes", "no", "unknown" (no
// full listing of the luminaire known); empty for a remark.
std::string on_gateway_text(const HistoryItem& h);

// A remark written now (local time) by the user logged in here, for the
// luminaire `unit` of `gateway`; a new uid, so it is stored once.
Remark dated_remark(const std::string& gateway, std::uint8_t unit, const std::string& text);
